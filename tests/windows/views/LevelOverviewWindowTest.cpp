// The overview by level driven as a user would: one bar per level with its counts, a click listing a level's
// states, a double click drawing one in the viewer, and a new system forgetting it all.
#include <QLabel>
#include <QListWidget>
#include <QTest>

#include "app/Sdimain.h"
#include "app/views/Graphic.h"
#include "app/views/LevelOverviewWindow.h"
#include "tests/windows/WindowTestSupport.h"

using quarvo::testing::Component;
using quarvo::testing::Example;
using quarvo::testing::TestApp;

class LevelOverviewWindowTest : public QObject {
    Q_OBJECT

private slots:
    void BarsPerLevelAndTheStatesOfOne() {
        TestApp t;
        TSDIAppForm& main = t.app->Main();
        // Nine independent processes: 3^9 + 1 states, far too many to draw.
        QVERIFY(main.OpenSpecification(QString::fromStdString(quarvo::testing::SourceDirectory()) +
                                       "/tests/data/INDEPENDENT9.LOT"));
        main.Compiler1Click();
        Component<QAction>(main, "EntrelaceItem")->trigger();
        main.SemEntreClick();
        QVERIFY(t.GetSession().hasStem);
        Component<QAction>(main, "Overview1")->trigger();
        TLevelOverviewWindow& w = *t.Windows().overview;
        QVERIFY(w.isVisible());
        const quarvo::LevelOverview* overview = w.Overview();
        QVERIFY(overview);
        // Levels 0 to 18, then the state after the last EXIT.
        QCOMPARE(overview->levels.size(), std::size_t{20});
        QCOMPARE(overview->levels[0].states, std::size_t{1});
        QCOMPARE(overview->levels[1].states, std::size_t{9});
        QCOMPARE(overview->levels[1].arcs, std::size_t{9 * 9});
        QCOMPARE(overview->levels[2].states, std::size_t{9 + 36});  // one process twice, or two once
        QCOMPARE(overview->levels[19].deadlocks, std::size_t{0});
        QCOMPARE(overview->levels[19].terminations, std::size_t{1});
        QVERIFY(w.Summary->text().startsWith("19684 états en 20 niveaux depuis l'état initial"));
        QCOMPARE(w.Bars->height(), 20 * TLevelBars::RowHeight + 4);
        // The widest level's bar is the longest.
        QVERIFY(w.Bars->BarRect(9).width() > w.Bars->BarRect(1).width());

        const QPoint onSecond = w.Bars->BarRect(1).center();
        QTest::mouseClick(w.Bars, Qt::LeftButton, {}, onSecond);
        QCOMPARE(w.States->count(), 9);
        QCOMPARE(w.LevelTitle->text(), QString("Niveau 1 : 9 états."));
        const std::int32_t first = w.States->item(0)->data(Qt::UserRole).toInt();
        emit w.States->itemDoubleClicked(w.States->item(0));
        TGraph& graph = *t.Windows().graph;
        QVERIFY(graph.isVisible());
        QVERIFY(quarvo::ieme(first, graph.Model().States()));

        main.SemEntreClick();
        QVERIFY(!w.Overview());
        QCOMPARE(w.States->count(), 0);
    }
};

QTEST_MAIN(LevelOverviewWindowTest)
#include "LevelOverviewWindowTest.moc"
