// The simulator window driven as a user would: a verdict's trace simulated and walked back, traces saved,
// reloaded and replayed where they stop being possible, and the viewer following the current state.
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include "app/Sdimain.h"
#include "app/logic/PropertiesWindow.h"
#include "app/views/ChartWindow.h"
#include "app/views/Graphic.h"
#include "app/views/SimulationWindow.h"
#include "tests/windows/WindowTestSupport.h"

using quarvo::testing::Component;
using quarvo::testing::Example;
using quarvo::testing::TestApp;

namespace {

// Opens, compiles and generates an example under the semantics.
void Generate(TestApp& t, const char* example, bool interleaving) {
    TSDIAppForm& main = t.app->Main();
    main.OpenSpecification(Example(example));
    main.Compiler1Click();
    if (interleaving) Component<QAction>(main, "EntrelaceItem")->trigger();
    main.SemEntreClick();
}

QStringList Rows(const QListWidget* list) {
    QStringList rows;
    for (int i = 0; i < list->count(); ++i) rows << list->item(i)->text();
    return rows;
}

// Clicks the row of the list, as the mouse does.
void ClickRow(QListWidget* list, int row) {
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

}  // namespace

class SimulationWindowTest : public QObject {
    Q_OBJECT

private slots:
    void DeadlockTraceOfThePhilosophersAndBack() {
        TestApp t;
        Generate(t, "PHILO.LOT", true);
        TPropertiesWindow& properties = *t.Windows().properties;
        QVERIFY(!properties.SimulateAction->isEnabled());
        properties.DeadlockClick();
        const std::vector<std::int32_t> trace = properties.TraceStates();
        QVERIFY(trace.size() >= 2);
        QVERIFY(properties.SimulateAction->isEnabled());
        // The same trace as a chart: a philosopher and a fork take each fork together.
        QVERIFY(properties.ChartAction->isEnabled());
        properties.ChartAction->trigger();
        const TChartWindow& chart = *t.Windows().chart;
        QVERIFY(chart.isVisible());
        QCOMPARE(chart.Chart().lifelines.size(), std::size_t{6});
        QCOMPARE(chart.Chart().steps.size(), trace.size() - 1);
        QCOMPARE(chart.Chart().steps[0].lifelines.size(), std::size_t{2});
        properties.SimulateAction->trigger();

        TSimulationWindow& w = *t.Windows().simulation;
        QVERIFY(w.isVisible());
        QVERIFY(w.Sim());
        QCOMPARE(w.Sim()->Steps().size(), trace.size() - 1);
        QCOMPARE(w.Sim()->CurrentNumber(), trace.back());
        QCOMPARE(w.StateLabel->text(), QString("État courant : %1").arg(trace.back()));
        QCOMPARE(Rows(w.Enabled), QStringList{QString("Blocage : l'état %1 n'a aucun successeur.").arg(trace.back())});
        QCOMPARE(w.Trace->count(), static_cast<int>(trace.size()));
        QVERIFY(w.Trace->item(1)->text().startsWith("1. I_T"));
        QVERIFY(!w.ForwardButton->isEnabled());

        // Back one step with the button, then to the initial state from the trace, then forward again.
        QTest::mouseClick(w.BackButton, Qt::LeftButton);
        QCOMPARE(w.Sim()->CurrentNumber(), trace[trace.size() - 2]);
        QVERIFY(w.ForwardButton->isEnabled());
        QVERIFY(w.Enabled->count() >= 1);
        ClickRow(w.Trace, 0);
        QCOMPARE(w.Sim()->Position(), std::size_t{0});
        QCOMPARE(w.Sim()->CurrentNumber(), 0);
        // The steps ahead stay until another is taken.
        QCOMPARE(w.Sim()->Steps().size(), trace.size() - 1);
        QTest::mouseClick(w.ForwardButton, Qt::LeftButton);
        QCOMPARE(w.Sim()->CurrentNumber(), trace[1]);

        // A click on an enabled transition fires it and forgets the steps ahead.
        const int before = w.Enabled->count();
        QVERIFY(before >= 1);
        ClickRow(w.Enabled, 0);
        QCOMPARE(w.Sim()->Position(), std::size_t{2});
        QCOMPARE(w.Sim()->Steps().size(), std::size_t{2});
        // Enter fires the current row as well.
        w.Enabled->setFocus();
        w.Enabled->setCurrentRow(0);
        QTest::keyClick(w.Enabled, Qt::Key_Return);
        QCOMPARE(w.Sim()->Position(), std::size_t{3});

        // A new system: the simulation starts again.
        t.app->Main().SemEntreClick();
        QVERIFY(!w.Sim());
    }

    void SavesReloadsAndReplaysTraces() {
        TestApp t;
        Generate(t, "PHILO.LOT", true);
        TSDIAppForm& main = t.app->Main();
        QAction* item = Component<QAction>(main, "Simulation1");
        QVERIFY(item->isEnabled());
        item->trigger();
        TSimulationWindow& w = *t.Windows().simulation;
        QVERIFY(w.isVisible());
        QCOMPARE(w.Sim()->CurrentNumber(), 0);
        w.RandomSteps->setValue(5);
        QTest::mouseClick(w.RandomButton, Qt::LeftButton);
        QVERIFY(w.Sim()->Steps().size() >= 1);
        const std::vector<std::string> walked = w.Sim()->TraceActions();
        const std::int32_t reached = w.Sim()->CurrentNumber();

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("walk.trace");
        t.dialogs.fileNames.push_back(path);
        QTest::mouseClick(w.SaveButton, Qt::LeftButton);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray expected;
        for (const std::string& a : walked) expected += QByteArray::fromStdString(a) + "\r\n";
        QCOMPARE(file.readAll(), expected);

        QTest::mouseClick(w.RestartButton, Qt::LeftButton);
        QVERIFY(w.Sim()->Steps().empty());
        t.dialogs.fileNames.push_back(path);
        QTest::mouseClick(w.LoadButton, Qt::LeftButton);
        QCOMPARE(w.Sim()->TraceActions(), walked);
        QCOMPARE(w.Sim()->CurrentNumber(), reached);
        QCOMPARE(w.Message->text(), QString("Trace rejouée en entier : %1 pas.").arg(walked.size()));

        // The first philosopher cannot eat before he holds both forks.
        const QString impossible = dir.filePath("impossible.trace");
        QFile out(impossible);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("I_T11\nEAT1\n");
        out.close();
        QVERIFY(!w.ReplayFile(impossible));
        QCOMPARE(w.Sim()->Steps().size(), std::size_t{1});
        QVERIFY(w.Message->text().startsWith(QString("Étape 2 impossible : « EAT1 » depuis l'état %1.\nActions possibles : ")
                                                 .arg(w.Sim()->CurrentNumber())));
        QVERIFY(w.Message->text().contains("I_T12"));
    }

    void TheViewerFollowsTheCurrentStateUnderMaximality() {
        TestApp t;
        Generate(t, "BUFFER.LOT", false);
        t.app->Main().VisualisationGraphique1Click();
        TGraph& graph = *t.Windows().graph;
        QVERIFY(graph.isVisible());
        t.app->Main().Simulation1Click();
        TSimulationWindow& w = *t.Windows().simulation;
        QVERIFY(w.EventsLabel->isVisible());
        QCOMPARE(w.EventsLabel->text(), QString("Evénements maximaux : {}"));
        QVERIFY(Rows(w.Enabled).front().startsWith("PUT  x1  causes {}  → "));
        QVERIFY(w.FireRow(0));
        QVERIFY(w.FireRow(0));
        const std::int32_t current = w.Sim()->CurrentNumber();
        QVERIFY(current != 0);
        QVERIFY(quarvo::ieme(current, graph.Model().States()));
    }

    void TheBuffersTraceAsAChartExportedInSvgAndPng() {
        TestApp t;
        Generate(t, "BUFFER.LOT", true);
        t.app->Main().Simulation1Click();
        TSimulationWindow& w = *t.Windows().simulation;
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString trace = dir.filePath("buffer.trace");
        QFile out(trace);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("PUT\r\nI_MID\r\nGET\r\n");
        out.close();
        QVERIFY(w.ReplayFile(trace));
        QTest::mouseClick(w.ChartButton, Qt::LeftButton);
        TChartWindow& chart = *t.Windows().chart;
        QVERIFY(chart.isVisible());
        QCOMPARE(chart.Chart().lifelines.size(), std::size_t{2});
        QCOMPARE(chart.Chart().steps.size(), std::size_t{3});
        QCOMPARE(chart.Chart().steps[1].lifelines, (std::vector<std::size_t>{0, 1}));
        QVERIFY(!chart.Picture->pixmap().isNull());
        QVERIFY(chart.Picture->pixmap().width() > 300);

        t.dialogs.fileNames.push_back(dir.filePath("chart.svg"));
        QTest::mouseClick(chart.ExportButton, Qt::LeftButton);
        QFile svg(dir.filePath("chart.svg"));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        QVERIFY(svg.readAll().startsWith("<svg "));
        QVERIFY(chart.Export(dir.filePath("chart.png")));
        QImage png(dir.filePath("chart.png"));
        QVERIFY(!png.isNull());
        QCOMPARE(png.size(), chart.Picture->pixmap().size());
    }
};

QTEST_MAIN(SimulationWindowTest)
#include "SimulationWindowTest.moc"
