// The graph viewer driven through the real program: unfolding by clicks, colours on screen, hints, paths, saving.
#include <QImage>
#include <QScrollArea>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/windows/WindowTestSupport.h"
#include "app/Sdimain.h"
#include "app/views/Graphic.h"

using quarvo::GraphColor;
using quarvo::testing::Example;
using quarvo::testing::TestApp;

namespace {

const QColor Red(255, 0, 0), Lime(0, 255, 0), Silver(192, 192, 192), White(255, 255, 255);

// BUFFER.LOT: 0 -PUT-> 1 -I_MID-> 2 -GET-> 4, 2 -PUT-> 3, ...; each state but 0 has one event.
void Generate(TestApp& t, bool interleaving = false) {
    t.app->Main().OpenSpecification(Example("BUFFER.LOT"));
    t.app->Main().Compiler1Click();
    if (interleaving) t.app->Main().EntrelaceItemClick();
    t.app->Main().SemEntreClick();
    QVERIFY(t.GetSession().hasStem);
}

TGraph& Graph(TestApp& t) { return *t.Windows().graph; }

QImage Screen(TGraph& graph) { return graph.PaintBox1->grab(QRect(0, 0, 800, 600)).toImage(); }

QColor Pixel(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

const quarvo::TGraphicState* Drawn(TGraph& graph, int number) {
    return quarvo::ieme(number, graph.Model().States());
}

void Click(TGraph& graph, Qt::MouseButton button, QPoint at) { QTest::mouseClick(graph.PaintBox1, button, {}, at); }

}  // namespace

class GraphWindowTest : public QObject {
    Q_OBJECT
private slots:
    void ClicksUnfoldOneSuccessorAtATimeAndRightClicksMakeLimeStatesCurrent() {
        TestApp t;
        Generate(t);
        t.app->Main().VisualisationGraphique1Click();
        TGraph& graph = Graph(t);
        QVERIFY(graph.isVisible());
        QCOMPARE(graph.PaintBox1->size(), QSize(15000, 10000));
        QImage screen = Screen(graph);
        QCOMPARE(Pixel(screen, 293, 50), Red);  // the root, a circle of radius 10 centred on (300, 50)
        QCOMPARE(Pixel(screen, 300, 58), Red);
        QCOMPARE(Pixel(screen, 300, 62), White);
        QCOMPARE(Pixel(screen, 313, 50), White);

        Click(graph, Qt::LeftButton, QPoint(400, 200));
        QCOMPARE(graph.Model().States().size(), std::size_t(2));
        QCOMPARE(Drawn(graph, 1)->X, 400);
        QCOMPARE(Drawn(graph, 1)->Y, 200);
        screen = Screen(graph);
        QCOMPARE(Pixel(screen, 393, 200), Lime);
        QCOMPARE(Pixel(screen, 293, 50), Silver);  // its only successor is drawn

        Click(graph, Qt::LeftButton, QPoint(600, 200));
        QCOMPARE(graph.Model().States().size(), std::size_t(2));

        Click(graph, Qt::RightButton, QPoint(405, 205));
        QCOMPARE(graph.Model().CurrentState(), 1);
        QCOMPARE(Pixel(Screen(graph), 393, 200), Red);

        Click(graph, Qt::LeftButton, QPoint(400, 350));
        QVERIFY(Drawn(graph, 2));
        screen = Screen(graph);
        QCOMPARE(Pixel(screen, 393, 350), Lime);
        QCOMPARE(Pixel(screen, 393, 200), Silver);
        // The arrow from 1 down to 2 ends 18 pixels above 2's centre.
        QCOMPARE(Pixel(screen, 400, 320), QColor(Qt::black));
        QCOMPARE(Pixel(screen, 400, 335), QColor(Qt::black));

        Click(graph, Qt::RightButton, QPoint(400, 350));
        Click(graph, Qt::LeftButton, QPoint(250, 500));
        Click(graph, Qt::LeftButton, QPoint(550, 500));
        QVERIFY(Drawn(graph, 4));
        QVERIFY(Drawn(graph, 3));
        QCOMPARE(Drawn(graph, 4)->X, 250);
        QCOMPARE(Drawn(graph, 3)->X, 550);
        QCOMPARE(Drawn(graph, 2)->Color, GraphColor::Silver);
    }

    void DoubleClickWithTheRightButtonSelectsAndTheNextPressDrags() {
        TestApp t;
        Generate(t);
        t.app->Main().VisualisationGraphique1Click();
        TGraph& graph = Graph(t);
        Click(graph, Qt::LeftButton, QPoint(400, 200));
        Click(graph, Qt::LeftButton, QPoint(400, 200));  // nothing left to add: state 0 is complete
        QTest::mouseDClick(graph.PaintBox1, Qt::RightButton, {}, QPoint(400, 200));
        QCOMPARE(graph.SelectedState, 1);
        QVERIFY(graph.Model().MoveArmed());
        const QImage selected = Screen(graph);
        int blue = 0;
        for (int x = 385; x <= 415; ++x) blue += Pixel(selected, x, 185) == QColor(0, 0, 255);
        QVERIFY2(blue > 10 && blue < 31, "the top of the square is dashed blue");

        QTest::mousePress(graph.PaintBox1, Qt::LeftButton, {}, QPoint(700, 500));
        QVERIFY(graph.Model().Dragging());
        QTest::mouseMove(graph.PaintBox1, QPoint(650, 450));
        QCOMPARE(Drawn(graph, 1)->X, 650);
        QCOMPARE(Drawn(graph, 1)->Y, 450);
        QTest::mouseRelease(graph.PaintBox1, Qt::LeftButton, {}, QPoint(650, 450));
        QVERIFY(!graph.Model().Dragging());
        QTest::mouseMove(graph.PaintBox1, QPoint(100, 100));
        QCOMPARE(Drawn(graph, 1)->X, 650);
        QCOMPARE(Pixel(Screen(graph), 643, 450), Red);  // the first press of the double click made it current
    }

    void HintsShowTheStateUnderMaximalityOnly() {
        TestApp t;
        Generate(t);
        t.app->Main().VisualisationGraphique1Click();
        TGraph& graph = Graph(t);
        Click(graph, Qt::LeftButton, QPoint(400, 200));
        graph.PaintBox1MouseMove(QPoint(402, 195));
        QCOMPARE(graph.PaintBox1->toolTip(),
                 QString(" Etat Numéro 1\n Evénements maximaux : {x1: PUT} \n Etats buts = {2}"));
        QCOMPARE(graph.PaintBox1->toolTipDuration(), 30000);
        graph.PaintBox1MouseMove(QPoint(450, 195));
        QCOMPARE(graph.PaintBox1->toolTip(), QString());

        TestApp entre;
        Generate(entre, true);
        TGraph& plain = Graph(entre);
        plain.draw_stem();
        Click(plain, Qt::LeftButton, QPoint(400, 200));
        plain.PaintBox1MouseMove(QPoint(400, 200));
        QCOMPARE(plain.PaintBox1->toolTip(), QString());
        const auto arcs = plain.Model().LayOutTransitions(entre.GetSession().stem.actions, entre.GetSession().semantics);
        QCOMPARE(QString::fromStdString(arcs.at(0).label.text), QString("PUT"));
    }

    void PathIsASilverChainFromTheRootDown() {
        TestApp t;
        Generate(t);
        TGraph& graph = Graph(t);
        graph.draw_stem();
        Click(graph, Qt::LeftButton, QPoint(600, 400));
        graph.draw_trace({0, 1, 2, 4});
        QVERIFY(graph.isVisible());
        QCOMPARE(graph.Model().States().size(), std::size_t(4));
        QCOMPARE(graph.Zoom(), 1.0);
        const QImage screen = Screen(graph);
        int above = -1;
        for (const int s : {0, 1, 2, 4}) {
            const quarvo::TGraphicState* drawn = Drawn(graph, s);
            QVERIFY(drawn->Y > above);  // laid out from the top down
            above = drawn->Y;
            QCOMPARE(Pixel(screen, drawn->X - 7, drawn->Y), Silver);
        }
        QCOMPARE(Pixel(screen, 593, 400), White);  // the unfolded state of before is gone
        Click(graph, Qt::LeftButton, QPoint(600, 400));
        QCOMPARE(graph.Model().States().size(), std::size_t(4));
    }

    // "De gauche à droite" lays the shown path out again along a line; off, from the top down once more.
    void APathIsLaidOutFromLeftToRightWhenAsked() {
        TestApp t;
        Generate(t);
        TGraph& graph = Graph(t);
        graph.draw_trace({0, 1, 2, 4});
        QVERIFY(!graph.LeftToRight->isChecked());
        graph.LeftToRight->trigger();
        QVERIFY(graph.LeftToRight->isChecked());
        const int row = Drawn(graph, 0)->Y;
        int left = -1;
        for (const int s : {0, 1, 2, 4}) {
            const quarvo::TGraphicState* drawn = Drawn(graph, s);
            QVERIFY(drawn->X > left);
            left = drawn->X;
            QCOMPARE(drawn->Y, row);
        }
        QCOMPARE(graph.Model().States().size(), std::size_t(4));
        QVERIFY(graph.MouseHelp->text().startsWith("Chemin du diagnostic, de l'état initial (à gauche) à son dernier"));
        graph.LeftToRight->trigger();
        QVERIFY(graph.MouseHelp->text().startsWith("Chemin du diagnostic, de l'état initial (en haut) à son dernier"));
        QVERIFY(Drawn(graph, 4)->Y > Drawn(graph, 0)->Y);
        QCOMPARE(Drawn(graph, 4)->X, Drawn(graph, 0)->X);
    }

    void NewGenerationEmptiesTheViewAndTheNextShowingStartsAtTheRoot() {
        TestApp t;
        Generate(t);
        TGraph& graph = Graph(t);
        graph.draw_stem();
        Click(graph, Qt::LeftButton, QPoint(400, 200));
        graph.draw_stem();
        QCOMPARE(graph.Model().States().size(), std::size_t(2));  // already shown: the drawing stays
        t.app->Main().SemEntreClick();
        QVERIFY(graph.Model().States().empty());
        QCOMPARE(graph.SelectedState, -1);
        QCOMPARE(Pixel(Screen(graph), 293, 50), White);
        graph.draw_stem();
        QCOMPARE(graph.Model().States().size(), std::size_t(1));
        QCOMPARE(Drawn(graph, 0)->Color, GraphColor::Red);
    }

    void SavesTheDrawingAsSvgOrPng() {
        TestApp t;
        Generate(t);
        TGraph& graph = Graph(t);
        graph.draw_stem();
        Click(graph, Qt::LeftButton, QPoint(400, 200));
        QTemporaryDir dir;
        const QString svg = dir.filePath("graph.svg"), png = dir.filePath("graph.png");

        t.dialogs.fileNames = {svg, png};
        QVERIFY(QTest::qWaitForWindowActive(&graph));
        QTest::keyClick(&graph, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(t.dialogs.fileNames.size(), std::size_t(1));
        graph.SaveDrawingAs();
        QCOMPARE(t.dialogs.defaultSuffixes.back(), QString("svg"));
        QSvgRenderer renderer(svg);
        QVERIFY(renderer.isValid());
        QVERIFY(renderer.defaultSize().width() > 400 && renderer.defaultSize().height() > 200);
        QImage image(png);
        QVERIFY(!image.isNull());
        QCOMPARE(image.pixelColor(293, 50), Silver);
        QCOMPARE(image.pixelColor(393, 200), Lime);
        QVERIFY(image.width() < 1000 && image.height() < 1000);

        t.dialogs.fileNames = {dir.filePath("missing/dir/graph.png")};
        graph.SaveDrawingAs();
        QVERIFY(t.dialogs.Last());
        QCOMPARE(t.dialogs.Last()->icon, QMessageBox::Critical);
        const auto shown = t.dialogs.shown.size();
        graph.SaveDrawingAs();  // cancelled
        QCOMPARE(t.dialogs.shown.size(), shown);
    }
};

QTEST_MAIN(GraphWindowTest)
#include "GraphWindowTest.moc"
