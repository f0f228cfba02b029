// The graph viewer's commands driven through its menus and keys: automatic
// layout, zoom, search, unfolding, export and printing, and where the view
// opens.
#include <deque>
#include <map>
#include <set>

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QLayout>
#include <QMenuBar>
#include <QPrinter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QtTest>

#include "tests/windows/WindowTestSupport.h"
#include "app/Sdimain.h"
#include "app/logic/PropertiesWindow.h"
#include "app/views/AbstractionDialog.h"
#include "app/views/GraphLayout.h"
#include "app/views/Graphic.h"

using quarvo::GraphColor;
using quarvo::testing::Component;
using quarvo::testing::Example;
using quarvo::testing::TestApp;

namespace {

const QColor Red(255, 0, 0), Black(0, 0, 0);

void Generate(TestApp& t, const QString& spec, bool interleaving = false) {
    QVERIFY(t.app->Main().OpenSpecification(spec));
    t.app->Main().Compiler1Click();
    if (interleaving) t.app->Main().EntrelaceItemClick();
    t.app->Main().SemEntreClick();
    QVERIFY(t.GetSession().hasStem);
}

TGraph& ShownGraph(TestApp& t) {
    TGraph& graph = *t.Windows().graph;
    graph.draw_stem();
    if (!QTest::qWaitForWindowActive(&graph)) qFatal("the viewer never became active");
    return graph;
}

void Key(TGraph& graph, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
    QTest::keyClick(&graph, key, modifiers);
}

const quarvo::TGraphicState* Drawn(TGraph& graph, int number) {
    return quarvo::ieme(number, graph.Model().States());
}

// The pairs of rectangles that share some area.
int Overlaps(const std::vector<QRect>& rects) {
    int pairs = 0;
    for (std::size_t a = 0; a < rects.size(); ++a)
        for (std::size_t b = a + 1; b < rects.size(); ++b) pairs += rects[a].intersects(rects[b]);
    return pairs;
}

QRect Circle(const quarvo::TGraphicState& state) {
    const quarvo::GraphBox box = quarvo::LayOutState(state).circle;
    return QRect(QPoint(box.left, box.top), QPoint(box.right, box.bottom));
}

// A rectangle of the drawing as it lies in the scroll area's viewport at the current zoom and scroll.
QRect InViewport(TGraph& graph, const QRect& drawing) {
    const double zoom = graph.Zoom();
    const QRect zoomed(QPoint(static_cast<int>(drawing.left() * zoom), static_cast<int>(drawing.top() * zoom)),
                       QPoint(static_cast<int>(std::ceil(drawing.right() * zoom)),
                              static_cast<int>(std::ceil(drawing.bottom() * zoom))));
    return zoomed.translated(graph.PaintBox1->mapTo(graph.ScrollBox->viewport(), QPoint(0, 0)));
}

bool Visible(TGraph& graph, const QRect& drawing) {
    return graph.ScrollBox->viewport()->rect().contains(InViewport(graph, drawing));
}

// Distances over the arcs from the first state, found here independently of the viewer.
std::map<std::int32_t, int> Distances(const quarvo::StemStore& stem) {
    std::map<std::int32_t, int> distance{{stem.State(0).Number, 0}};
    std::deque<std::int32_t> queue{stem.State(0).Number};
    while (!queue.empty()) {
        const std::int32_t number = queue.front();
        queue.pop_front();
        const quarvo::StateView state = *stem.FindState(number);
        for (const quarvo::ArcView arc : state.Arcs) {
            if (distance.count(arc.Target) || !stem.FindState(arc.Target)) continue;
            distance[arc.Target] = distance[number] + 1;
            queue.push_back(arc.Target);
        }
    }
    return distance;
}

bool HasArc(const quarvo::StemStore& stem, std::int32_t from, std::int32_t to) {
    const quarvo::StateView state = *stem.FindState(from);
    for (const quarvo::ArcView arc : state.Arcs)
        if (arc.Target == to) return true;
    return false;
}

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Wheel(TGraph& graph, QPoint at, int delta, Qt::KeyboardModifiers modifiers) {
    const QPointF local(at);
    QWheelEvent event(local, graph.PaintBox1->mapToGlobal(local), QPoint(), QPoint(0, delta), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(graph.PaintBox1, &event);
}

}  // namespace

class GraphCommandsWindowTest : public QObject {
    Q_OBJECT
private slots:
    void AutomaticLayoutOfThePhilosophersSeparatesEveryLabelAndFitShowsTheWholeDrawing() {
        TestApp t;
        Generate(t, Example("PHILO.LOT"));
        TGraph& graph = ShownGraph(t);
        t.dialogs.inputs = {{true, "6"}};
        Key(graph, Qt::Key_D);
        QCOMPARE(t.dialogs.inputPrompts.back(), QString("Profondeur :"));
        const auto distance = Distances(t.GetSession().stem);
        std::size_t within = 0;
        for (const auto& [number, d] : distance) {
            within += d <= 6;
            QCOMPARE(Drawn(graph, number) != nullptr, d <= 6);
        }
        QCOMPARE(graph.Model().States().size(), within);
        QVERIFY(within > 30);
        // The unfolding lays the drawing out at once: its rows would put labels on one another.
        QVERIFY(graph.Model().HasRoutes());
        QCOMPARE(Overlaps(graph.LabelRects()), 0);

        Key(graph, Qt::Key_L);
        QVERIFY(graph.Model().HasRoutes());
        const std::vector<QRect> labels = graph.LabelRects();
        QVERIFY(labels.size() + 1 >= within);  // at least the arcs of a tree over the states
        QCOMPARE(Overlaps(labels), 0);
        std::vector<QRect> circles;
        for (const quarvo::TGraphicState& s : graph.Model().States()) circles.push_back(Circle(s));
        QCOMPARE(Overlaps(circles), 0);
        for (const quarvo::ArcDrawing& arc :
             graph.Model().LayOutTransitions(t.GetSession().stem.actions, t.GetSession().semantics))
            QVERIFY2(arc.curve.size() >= 4, "every arc follows its route");
        // The layout starts at the top left corner, and the initial state was brought into view.
        QVERIFY(Visible(graph, Circle(*Drawn(graph, 0))));

        // The whole drawing would need a zoom too small to read: "Ajuster" stops at
        // the readable one, centred on the current state, and says so.
        Key(graph, Qt::Key_0);
        QCOMPARE(graph.Zoom(), TGraph::MinReadableZoom);
        QVERIFY(graph.StatusBar->currentMessage().startsWith(
            QString::fromUtf8("Le graphe entier ne tiendrait dans la fenêtre qu'à")));
        QVERIFY(graph.StatusBar->currentMessage().endsWith(
            QString::fromUtf8("zoom de 75\u00a0%, centré sur l'état courant.")));
        QVERIFY(graph.Model().HasCurrentState());
        const quarvo::TGraphicState& current = *Drawn(graph, graph.Model().CurrentState());
        QVERIFY(Visible(graph, Circle(current)));
        // The picture at that zoom shows the states where they were placed: the current one red.
        const QImage screen = graph.ScrollBox->viewport()->grab().toImage();
        const QRect seen = InViewport(graph, Circle(current));
        int red = 0;
        for (int x = seen.left(); x <= seen.right(); ++x) red += screen.pixelColor(x, seen.center().y()) == Red;
        QVERIFY(red > 0);
    }

    void LayoutKeepsItsRoutesUntilAStateIsMovedAndUnfoldingGoesOn() {
        TestApp t;
        Generate(t, Example("BUFFER.LOT"));
        TGraph& graph = ShownGraph(t);
        graph.PaintBox1MouseDown(Qt::LeftButton, QPoint(400, 200), false);
        QVERIFY(graph.AutoLayout());
        const quarvo::TGraphicState* one = Drawn(graph, 1);
        QVERIFY(one->Y > Drawn(graph, 0)->Y);
        // The top row lies the margin below the top of the area.
        QVERIFY(std::abs(Drawn(graph, 0)->Y - (quarvo::GraphModel::LayoutMargin + 10)) <= 2);
        QVERIFY(graph.Model().HasRoutes());
        // Moving state 1 by hand gives its arcs back their plain drawing.
        const QPoint at(one->X, one->Y);
        QTest::mouseDClick(graph.PaintBox1, Qt::RightButton, {}, at);
        QTest::mousePress(graph.PaintBox1, Qt::LeftButton, {}, QPoint(600, 600));
        QTest::mouseMove(graph.PaintBox1, QPoint(650, 450));
        QTest::mouseRelease(graph.PaintBox1, Qt::LeftButton, {}, QPoint(650, 450));
        QCOMPARE(Drawn(graph, 1)->X, 650);
        QVERIFY(!graph.Model().HasRoutes());
        const auto arcs = graph.Model().LayOutTransitions(t.GetSession().stem.actions, t.GetSession().semantics);
        QCOMPARE(arcs.size(), std::size_t(1));
        QVERIFY(arcs[0].curve.empty());
        QCOMPARE(arcs[0].lines[0].to, (quarvo::GraphPoint{650, 450 - 18}));
    }

    void FindStateDrawsAShortestPathToItWithCirclesThatHoldItsNumber() {
        TestApp t;
        Generate(t, Example("PHILO.LOT"));
        TGraph& graph = ShownGraph(t);
        const quarvo::StemStore& stem = t.GetSession().stem;
        const auto distance = Distances(stem);
        const std::int32_t far = 131;
        QVERIFY(distance.count(far));

        t.dialogs.inputs = {{true, " 131 "}};
        Key(graph, Qt::Key_F);
        QCOMPARE(t.dialogs.inputCaptions.back(), QString("Chercher un état"));
        // The prompt gives the range of the numbers.
        QCOMPARE(t.dialogs.inputPrompts.back(),
                 QString("Numéro de l'état (de 0 à %1) :").arg(stem.StateCount() - 1));
        QVERIFY(t.dialogs.shown.empty());
        const quarvo::GraphicStateList& states = graph.Model().States();
        QCOMPARE(states.size(), std::size_t(distance.at(far) + 1));
        // The drawn states are a path: each one after the first reached by an arc from the one before.
        std::vector<std::int32_t> path;
        for (const auto& s : states) path.push_back(s.Number);
        std::sort(path.begin(), path.end(), [&](int a, int b) { return distance.at(a) < distance.at(b); });
        for (std::size_t k = 0; k < path.size(); ++k) QCOMPARE(distance.at(path[k]), int(k));
        for (std::size_t k = 1; k < path.size(); ++k) QVERIFY(HasArc(stem, path[k - 1], path[k]));
        QVERIFY(Visible(graph, Circle(*Drawn(graph, far))));
        QCOMPARE(graph.Model().CurrentState(), far);

        // A three-digit number stays inside its circle, which is larger than the others.
        const QRect circle = Circle(*Drawn(graph, far));
        const QFontMetrics metrics(graph.PaintBox1->font());
        QVERIFY(circle.width() > Circle(*Drawn(graph, 0)).width());
        QVERIFY(metrics.horizontalAdvance("131") + 4 <= circle.width());
        const QImage screen = graph.ScrollBox->viewport()->grab().toImage();
        const QRect seen = InViewport(graph, circle);
        const int y = seen.center().y();
        QCOMPARE(screen.pixelColor(seen.left() + 2, y), Red);  // the red reaches beyond the digits
        QCOMPARE(screen.pixelColor(seen.right() - 2, y), Red);

        // No such state, or no number at all: a message, and the drawing stays.
        t.dialogs.inputs = {{true, "9999"}, {true, "douze"}};
        Key(graph, Qt::Key_F);
        QVERIFY(t.dialogs.Last());
        QCOMPARE(t.dialogs.Last()->text, QString("Il n'y a pas d'état numéro 9999."));
        QCOMPARE(t.dialogs.Last()->caption, QString("Chercher un état"));
        graph.FindStateAsked();
        QCOMPARE(t.dialogs.Last()->text, QString("« douze » n'est pas un numéro d'état."));
        QCOMPARE(states.size(), std::size_t(distance.at(far) + 1));
        const auto shown = t.dialogs.shown.size();
        graph.FindStateAsked();  // cancelled
        QCOMPARE(t.dialogs.shown.size(), shown);
    }

    void UnfoldAllDrawsEverySuccessorOfTheCurrentStateOnce() {
        TestApp t;
        Generate(t, Example("PHILO.LOT"));
        TGraph& graph = ShownGraph(t);
        const quarvo::StemStore& stem = t.GetSession().stem;
        std::set<std::int32_t> successors;
        for (const quarvo::ArcView arc : stem.State(0).Arcs) successors.insert(arc.Target);
        QVERIFY(successors.size() >= 3);

        Key(graph, Qt::Key_U);
        QCOMPARE(graph.Model().States().size(), successors.size() + 1);
        for (const std::int32_t s : successors) QVERIFY(Drawn(graph, s));
        QCOMPARE(Drawn(graph, 0)->Color, GraphColor::Silver);  // every successor is drawn
        // Below the current state, side by side.
        std::vector<QRect> circles;
        for (const std::int32_t s : successors) {
            QVERIFY(Drawn(graph, s)->Y > Drawn(graph, 0)->Y);
            circles.push_back(Circle(*Drawn(graph, s)));
        }
        QCOMPARE(Overlaps(circles), 0);
        QVERIFY(t.dialogs.shown.empty());

        // A successor that has more to draw became current: the next unfolding goes on from it.
        const std::int32_t current = graph.Model().CurrentState();
        QVERIFY(successors.count(current));
        QCOMPARE(Drawn(graph, current)->Color, GraphColor::Red);
        QVERIFY(graph.MouseHelp->text().contains(QString::fromUtf8("l'état courant (rouge)")));
        Key(graph, Qt::Key_U);
        QVERIFY(graph.Model().States().size() > successors.size() + 1);
        QVERIFY(graph.Model().HasCurrentState());

        // Everything drawn: no state is current any more, the hint and the command say so.
        QVERIFY(graph.UnfoldToDepth(1000));
        QCOMPARE(graph.Model().States().size(), stem.StateCount());
        QVERIFY(!graph.Model().HasCurrentState());
        QVERIFY(graph.MouseHelp->text().startsWith(QString::fromUtf8("Tous les successeurs des états dessinés")));
        Key(graph, Qt::Key_U);
        QVERIFY(t.dialogs.Last());
        QCOMPARE(t.dialogs.Last()->text, QString("Tous les successeurs de l'état courant sont déjà dessinés."));
    }

    void UnfoldingToADepthStopsAtTwoThousandStatesAndLargeDrawingsAreLaidOutByForce() {
        TestApp t;
        QTemporaryDir dir;
        const QString spec = dir.filePath("SIX.LOT");
        {
            QFile file(spec);
            QVERIFY(file.open(QIODevice::WriteOnly));
            // Six independent processes of four actions: 4^6 = 4096 states under interleaving.
            file.write("SYSTEM S [A0, B0, C0, A1, B1, C1, A2, B2, C2, A3, B3, C3, A4, B4, C4, A5, B5, C5] :=\r\n"
                       "    A0; B0; C0; EXIT ||| A1; B1; C1; EXIT ||| A2; B2; C2; EXIT\r\n"
                       "||| A3; B3; C3; EXIT ||| A4; B4; C4; EXIT ||| A5; B5; C5; EXIT\r\nENDSYS\r\n");
        }
        Generate(t, spec, true);
        QVERIFY(t.GetSession().stem.StateCount() > 4000);
        TGraph& graph = ShownGraph(t);

        t.dialogs.inputs = {{true, "-1"}};
        Key(graph, Qt::Key_D);
        QCOMPARE(t.dialogs.Last()->text, QString("La profondeur doit être un nombre entier positif ou nul."));
        QCOMPARE(graph.Model().States().size(), std::size_t(1));

        QVERIFY(graph.UnfoldToDepth(2));
        QCOMPARE(graph.Model().States().size(), std::size_t(1 + 6 + 15 + 6));  // two steps of six processes

        // An unfolding stops at what the layered layout draws readably, and lays out what it drew.
        QVERIFY(!graph.UnfoldToDepth(5));
        QCOMPARE(graph.Model().States().size(), quarvo::LayeredLayoutLimit);
        QVERIFY(graph.Model().HasRoutes());
        std::vector<QRect> circles;
        for (const quarvo::TGraphicState& s : graph.Model().States()) circles.push_back(Circle(s));
        QCOMPARE(Overlaps(circles), 0);
        // Past a few hundred states Ctrl+L lays out force-directed.
        QCOMPARE(quarvo::LayoutEngine(quarvo::LayeredLayoutLimit + 1), std::string("sfdp"));
        QCOMPARE(quarvo::LayoutEngine(132), std::string("dot"));

        t.dialogs.inputs = {{true, "30"}};
        Key(graph, Qt::Key_D);
        QCOMPARE(graph.Model().States().size(), quarvo::LayeredLayoutLimit);
        QVERIFY(t.dialogs.Last());
        QCOMPARE(t.dialogs.Last()->icon, QMessageBox::Warning);
        QCOMPARE(t.dialogs.Last()->text,
                 QString("Le dépliage s'est arrêté à 300 états dessinés, avant la profondeur 30 : au-delà, le dessin "
                         "ne serait plus lisible. Graphe › Vue d'ensemble par niveaux (Ctrl+G) montre tout le "
                         "système."));
        // The area grew to hold the rows.
        const QSize drawing = graph.DrawingSize();
        QVERIFY(graph.PaintBox1->width() >= drawing.width() && graph.PaintBox1->height() >= drawing.height());
        for (const auto& s : graph.Model().States())
            QVERIFY(s.X < graph.PaintBox1->width() && s.Y < graph.PaintBox1->height());
    }

    void ZoomByKeysAndWheelAboutThePointerFitAndResetView() {
        TestApp t;
        Generate(t, Example("BUFFER.LOT"));
        TGraph& graph = ShownGraph(t);
        QTest::mouseClick(graph.PaintBox1, Qt::LeftButton, {}, QPoint(400, 200));
        QCOMPARE(graph.ZoomLabel->text(), QString("100\u00a0%"));

        Key(graph, Qt::Key_Plus);
        QCOMPARE(graph.Zoom(), 1.25);
        QCOMPARE(graph.PaintBox1->size(), QSize(18750, 12500));
        QCOMPARE(graph.ZoomLabel->text(), QString("125\u00a0%"));
        Key(graph, Qt::Key_Minus);
        Key(graph, Qt::Key_Minus);
        QCOMPARE(graph.Zoom(), 0.8);
        QCOMPARE(graph.PaintBox1->size(), QSize(12000, 8000));

        // At 80 %, state 1 drawn at (400, 200) lies at (320, 160) of the area, and the mouse finds it there.
        graph.ScrollBox->horizontalScrollBar()->setValue(0);
        graph.ScrollBox->verticalScrollBar()->setValue(0);
        QTest::mouseClick(graph.PaintBox1, Qt::RightButton, {}, QPoint(320, 160));
        QCOMPARE(graph.Model().CurrentState(), 1);
        QCOMPARE(graph.PaintBox1->grab(QRect(300, 140, 40, 40)).toImage().pixelColor(14, 20), Red);

        // Ctrl + wheel zooms about the pointer: the drawing point under it stays under it.
        Key(graph, Qt::Key_1);
        QCOMPARE(graph.Zoom(), 1.0);
        QCOMPARE(graph.PaintBox1->size(), QSize(15000, 10000));
        const QPoint pointer(400, 200);
        const QPoint before = graph.PaintBox1->mapTo(graph.ScrollBox->viewport(), pointer);
        Wheel(graph, pointer, 120, Qt::ControlModifier);
        QCOMPARE(graph.Zoom(), 1.25);
        const QPoint after = graph.PaintBox1->mapTo(graph.ScrollBox->viewport(), QPoint(500, 250));
        QVERIFY((after - before).manhattanLength() <= 2);
        Wheel(graph, pointer, 120, Qt::NoModifier);  // scrolls, does not zoom
        QCOMPARE(graph.Zoom(), 1.25);
        Wheel(graph, QPoint(500, 250), -240, Qt::ControlModifier);
        QCOMPARE(graph.Zoom(), 0.8);
        for (int k = 0; k < 40; ++k) Key(graph, Qt::Key_Plus);
        QCOMPARE(graph.Zoom(), TGraph::MaxZoom);

        // Fit: the whole drawing in the view; reset: 100 % with the initial state in view.
        graph.ScrollBox->horizontalScrollBar()->setValue(9000);
        Key(graph, Qt::Key_0);
        QVERIFY(graph.Zoom() > 1.0);
        // The area is the view's: no scroll bar is left.
        QCOMPARE(graph.PaintBox1->size(), graph.ScrollBox->maximumViewportSize());
        QVERIFY(graph.ScrollBox->horizontalScrollBar()->maximum() == 0);
        QVERIFY(graph.ScrollBox->verticalScrollBar()->maximum() == 0);
        for (const auto& s : graph.Model().States()) QVERIFY(Visible(graph, Circle(s)));
        for (const QRect& r : graph.LabelRects()) QVERIFY(Visible(graph, r));
        Key(graph, Qt::Key_1);
        QCOMPARE(graph.Zoom(), 1.0);
        QCOMPARE(graph.PaintBox1->size(), QSize(15000, 10000));
        QVERIFY(Visible(graph, Circle(*Drawn(graph, 0))));
    }

    // "Graphe > Abstraction…": the buffer seen from PUT and GET is a buffer of two
    // places; with GET hidden, one state that always takes PUT. Too large a
    // quotient is said, not drawn.
    void AnAbstractionIsTheQuotientWithTheChosenGatesHidden() {
        TestApp t;
        Generate(t, Example("BUFFER.LOT"), true);
        TGraph& graph = ShownGraph(t);
        Component<QAction>(graph, "Abstraction1")->trigger();
        TAbstractionDialog& dialog = graph.AbstractionDialog();
        QVERIFY(dialog.isVisible());
        QStringList gates;
        for (int i = 0; i < dialog.Gates->count(); ++i) gates << dialog.Gates->item(i)->text();
        QCOMPARE(gates, (QStringList{"PUT", "GET"}));

        QVERIFY(dialog.Compute());
        QCOMPARE(graph.Model().States().size(), std::size_t{3});
        QVERIFY(graph.MouseHelp->text().startsWith(
            "Quotient modulo la bissimulation de branchement, aucune action cachée (3 états, 4 arcs)."));
        QVERIFY(graph.Model().HasRoutes());
        std::multiset<std::string> labels;
        for (const quarvo::ArcDrawing& arc : graph.Model().LayOutTransitions(graph.Model().Shown()->actions,
                                                                             quarvo::Semantics::Interleaving))
            labels.insert(arc.label.text);
        QCOMPARE(labels, (std::multiset<std::string>{"GET", "GET", "PUT", "PUT"}));

        QVERIFY(dialog.Hide("GET"));
        QVERIFY(!dialog.Hide("MID"));
        QVERIFY(dialog.Compute());
        QCOMPARE(graph.Model().States().size(), std::size_t{1});
        QVERIFY(graph.MouseHelp->text().startsWith(
            "Quotient modulo la bissimulation de branchement, actions cachées : GET (1 état, 1 arc)."));
        QVERIFY(dialog.Result->text().startsWith("Abstraction : "));

        // Nine independent processes with nothing hidden stay far too large to draw.
        Generate(t, QString::fromStdString(quarvo::testing::SourceDirectory()) + "/tests/data/INDEPENDENT9.LOT", true);
        dialog.Open();
        QVERIFY(!dialog.Compute());
        QVERIFY(dialog.Result->text().contains("Trop d'états pour un dessin lisible (plus de 300)"));
        // Every gate hidden: the run of internal steps to the end.
        for (int i = 0; i < dialog.Gates->count(); ++i) dialog.Gates->item(i)->setCheckState(Qt::Checked);
        QVERIFY(dialog.Compute());
        QCOMPARE(graph.Model().States().size(), std::size_t{2});
    }

    void ALassoIsLaidOutWithItsLabelsApartAndNamedAtAnyZoom() {
        TestApp t;
        Generate(t, Example("PROTOCOL.LOT"), true);
        TGraph& graph = ShownGraph(t);
        // A zoom left small from before does not carry over to the path.
        graph.ZoomBy(0.17, QPoint(0, 0));
        TPropertiesWindow& properties = *t.Windows().properties;
        properties.LivelockClick();
        QVERIFY(properties.TraceStates().size() >= 4);
        properties.ResultClicked(0);
        QVERIFY(graph.Model().ShowsPath());
        QCOMPARE(graph.Zoom(), 1.0);
        QVERIFY(graph.MouseHelp->text().startsWith("Lasso, de l'état initial"));
        // Its closing arc goes back up: the labels keep clear of the states and of each other.
        QVERIFY(graph.Model().HasRoutes());
        const std::vector<QRect> labels = graph.LabelRects();
        QVERIFY(labels.size() >= 4);
        QCOMPARE(Overlaps(labels), 0);
        for (const quarvo::TGraphicState& s : graph.Model().States())
            for (const QRect& label : labels) QVERIFY(!label.intersects(Circle(s)));
        for (const quarvo::TGraphicState& s : graph.Model().States()) QVERIFY(Visible(graph, Circle(s)));

        // A deadlock's trace says what it is.
        Generate(t, Example("PHILO.LOT"), true);
        properties.DeadlockClick();
        properties.ResultClicked(0);
        QVERIFY(graph.MouseHelp->text().startsWith("Trace du blocage, de l'état initial"));
    }

    void NewPathsAndNewShowingsOpenOnTheInitialState() {
        TestApp t;
        Generate(t, Example("BUFFER.LOT"));
        TGraph& graph = ShownGraph(t);
        auto scrollAway = [&] {
            graph.ScrollBox->horizontalScrollBar()->setValue(8000);
            graph.ScrollBox->verticalScrollBar()->setValue(6000);
            QVERIFY(!Visible(graph, Circle(*Drawn(graph, 0))));
        };
        scrollAway();
        graph.draw_trace({0, 1, 2, 4});
        for (const int s : {0, 1, 2, 4}) QVERIFY(Visible(graph, Circle(*Drawn(graph, s))));
        // The hint is that of a path, which the clicks do not unfold.
        QVERIFY(graph.MouseHelp->text().startsWith(QString::fromUtf8("Chemin du diagnostic")));
        QCOMPARE(graph.ScrollBox->horizontalScrollBar()->value(), 0);
        QCOMPARE(graph.ScrollBox->verticalScrollBar()->value(), 0);

        scrollAway();
        graph.close();
        graph.draw_stem();
        QVERIFY(graph.isVisible());
        QVERIFY(Visible(graph, Circle(*Drawn(graph, 0))));
        QVERIFY(graph.MouseHelp->text().startsWith(QString::fromUtf8("Clic gauche")));

        // Still shown: the view stays where the user left it.
        scrollAway();
        graph.draw_stem();
        QCOMPARE(graph.ScrollBox->horizontalScrollBar()->value(), 8000);
    }

    void TheCurrentNumberIsWhiteOnRedAndTheStatusLineTellsTheMouseRules() {
        TestApp t;
        Generate(t, Example("BUFFER.LOT"));
        TGraph& graph = ShownGraph(t);
        // Inside the circle, away from its edge: light pixels of the digit, none black.
        auto count = [](const QImage& image, auto test) {
            int n = 0;
            for (int y = 4; y <= 16; ++y)
                for (int x = 4; x <= 16; ++x) n += test(image.pixelColor(x, y));
            return n;
        };
        auto light = [](const QColor& c) { return c.red() > 200 && c.green() > 200 && c.blue() > 200; };
        auto dark = [](const QColor& c) { return c.red() < 90 && c.green() < 90 && c.blue() < 90; };
        const QImage root = graph.PaintBox1->grab(QRect(290, 40, 21, 21)).toImage();
        QVERIFY2(count(root, light) > 3, "the digit is written in white");
        QCOMPARE(count(root, [](const QColor& c) { return c == Black; }), 0);
        QTest::mouseClick(graph.PaintBox1, Qt::LeftButton, {}, QPoint(400, 200));
        const QImage lime = graph.PaintBox1->grab(QRect(390, 190, 21, 21)).toImage();
        QVERIFY2(count(lime, dark) > 3, "on the other colours the digits stay black");
        QCOMPARE(count(lime, light), 0);

        QVERIFY(graph.StatusBar->isVisible());
        QVERIFY(graph.MouseHelp->isVisible());
        const QString help = graph.MouseHelp->text();
        for (const char* rule : {"Clic gauche", "successeur suivant de l'état courant", "Clic droit sur un état vert",
                                 "Double clic droit", "glissant", "Ctrl + molette"})
            QVERIFY2(help.contains(QString::fromUtf8(rule)), rule);
        QVERIFY(graph.StatusBar->geometry().top() >= graph.ScrollBox->geometry().bottom());
        // The hint has its lines whole, above the status line, whatever the window's width.
        for (const int width : {795, 520, 360}) {
            graph.resize(width, 570);
            graph.layout()->activate();
            QVERIFY(graph.MouseHelp->height() >= graph.MouseHelp->heightForWidth(graph.MouseHelp->width()));
            QVERIFY(graph.MouseHelp->geometry().bottom() < graph.StatusBar->geometry().top());
        }
        // State 0 has its one successor drawn: the hint says how to choose another current state.
        QVERIFY(!graph.Model().HasCurrentState());
        QVERIFY(help.startsWith(QString::fromUtf8("Aucun état n'est courant.")));
    }

    void ExportsSvgPngAndPdfThroughTemporaryFilesAndPrints() {
        TestApp t;
        Generate(t, Example("BUFFER.LOT"));
        TGraph& graph = ShownGraph(t);
        QTest::mouseClick(graph.PaintBox1, Qt::LeftButton, {}, QPoint(400, 200));
        QMenu* file = Component<QMenu>(graph, "Fichier1");
        QCOMPARE(file->title(), QString("&Fichier"));
        QAction* exportItem = Component<QAction>(graph, "Exporter1");
        QCOMPARE(exportItem->text(), QString("&Exporter…"));
        QCOMPARE(exportItem->shortcut(), QKeySequence("Ctrl+E"));
        QCOMPARE(Component<QAction>(graph, "Imprimer1")->text(), QString("&Imprimer…"));
        QCOMPARE(Component<QAction>(graph, "Imprimer1")->shortcut(), QKeySequence("Ctrl+P"));
        QCOMPARE(Component<QAction>(graph, "Disposition1")->text(), QString("&Disposition automatique"));

        QTemporaryDir dir;
        const QString svg = dir.filePath("graphe.svg"), png = dir.filePath("graphe.png"),
                      pdf = dir.filePath("graphe.pdf");
        t.dialogs.fileNames = {svg, png, pdf};
        Key(graph, Qt::Key_E);
        exportItem->trigger();
        Key(graph, Qt::Key_E);
        QVERIFY(t.dialogs.fileNames.empty());
        QVERIFY(t.dialogs.shown.empty());
        QVERIFY(t.dialogs.fileFilters.back().contains("Document PDF (*.pdf)|*.pdf"));
        QCOMPARE(t.dialogs.fileTitles.back(), QString("Exporter le graphe"));
        QVERIFY(ReadBytes(svg).contains("<svg"));
        QVERIFY(ReadBytes(png).startsWith("\x89PNG"));
        QCOMPARE(QImage(png).pixelColor(393, 200), QColor(0, 255, 0));
        const QByteArray document = ReadBytes(pdf);
        QVERIFY(document.startsWith("%PDF"));
        QVERIFY(document.size() > 500);
        // Nothing else is left in the folder: the temporary files were renamed.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);

        // A second export replaces the file whole.
        QFile::resize(png, 3);
        QVERIFY(graph.SaveDrawing(png));
        QVERIFY(!QImage(png).isNull());
        QVERIFY(!graph.SaveDrawing(dir.filePath("absent/graphe.pdf")));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);

        // Printing draws on the printer it is given: here one that writes PDF.
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("imprime.pdf"));
        QVERIFY(graph.PrintDrawing(printer));
        QVERIFY(ReadBytes(dir.filePath("imprime.pdf")).startsWith("%PDF"));
    }
};

QTEST_MAIN(GraphCommandsWindowTest)
#include "GraphCommandsWindowTest.moc"
