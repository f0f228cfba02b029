// The overview by level driven as a user would: one bar per level with its counts, a click listing a level's
// states, a double click drawing one in the viewer, and a new system forgetting it all.
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>

#include "app/Sdimain.h"
#include "app/views/Graphic.h"
#include "app/views/LevelOverviewWindow.h"
#include "tests/windows/WindowTestSupport.h"

using quarvo::testing::Component;
using quarvo::testing::Example;
using quarvo::testing::TestApp;

namespace {

// The ways n processes of two steps each have made k steps in all: the
// coefficient of x^k in (1 + x + x^2)^n.
std::vector<std::size_t> Trinomials(int n) {
    std::vector<std::size_t> c{1};
    for (int i = 0; i < n; ++i) {
        std::vector<std::size_t> next(c.size() + 2, 0);
        for (std::size_t k = 0; k < c.size(); ++k)
            for (std::size_t step = 0; step < 3; ++step) next[k + step] += c[k];
        c = std::move(next);
    }
    return c;
}

}  // namespace

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
        QVERIFY(w.Summary->text().endsWith(", 0 blocage."));
        // Each bar's counts, in the singular for none or one.
        QCOMPARE(TLevelBars::Counts(overview->levels[0]), QString("1 état, 9 arcs"));
        QCOMPARE(TLevelBars::Counts(overview->levels[1]), QString("9 états, 81 arcs"));
        QCOMPARE(TLevelBars::Counts(overview->levels[19]), QString("1 état, 0 arc, 1 terminaison"));
        QCOMPARE(w.Bars->height(), 20 * TLevelBars::RowHeight + 4);
        // The widest level's bar is the longest.
        QVERIFY(w.Bars->BarRect(9).width() > w.Bars->BarRect(1).width());

        w.ChooseLevel(0);
        QCOMPARE(w.LevelTitle->text(), QString("Niveau 0 : 1 état."));
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

    // Twelve independent processes, 3^12 + 1 states on two threads: a bar per
    // level, each with the states that have made that many steps and, from
    // each, one arc per process not yet at its end.
    void TwelveIndependentProcessesHaveABarPerLevelWithItsCounts() {
        TestApp t;
        TSDIAppForm& main = t.app->Main();
        auto* editor = Component<QPlainTextEdit>(main, "Editor");
        editor->selectAll();
        editor->insertPlainText(quarvo::testing::IndependentProcesses(12));
        main.Compiler1Click();
        Component<QAction>(main, "EntrelaceItem")->trigger();
        t.GetSession().threads = 2;
        main.SemEntreClick();
        QCOMPARE(t.GetSession().stem.StemStateCount, 531442);
        Component<QAction>(main, "Overview1")->trigger();
        TLevelOverviewWindow& w = *t.Windows().overview;
        const quarvo::LevelOverview* overview = w.Overview();
        QVERIFY(overview);
        QCOMPARE(overview->levels.size(), std::size_t{26});
        const std::vector<std::size_t> twelve = Trinomials(12), eleven = Trinomials(11);
        for (std::size_t k = 0; k < 24; ++k) {
            QCOMPARE(overview->levels[k].states, twelve[k]);
            const std::size_t below = k > 0 ? eleven[k - 1] : 0;
            QCOMPARE(overview->levels[k].arcs, 12 * ((k < eleven.size() ? eleven[k] : 0) + below));
            QCOMPARE(overview->levels[k].deadlocks, std::size_t{0});
        }
        QCOMPARE(overview->levels[24].states, std::size_t{1});  // every process at its EXIT
        QCOMPARE(overview->levels[24].arcs, std::size_t{1});
        QCOMPARE(overview->levels[25].terminations, std::size_t{1});
        QCOMPARE(w.Bars->height(), 26 * TLevelBars::RowHeight + 4);
        QVERIFY(w.Bars->BarRect(12).width() > w.Bars->BarRect(11).width());
    }
};

QTEST_MAIN(LevelOverviewWindowTest)
#include "LevelOverviewWindowTest.moc"
