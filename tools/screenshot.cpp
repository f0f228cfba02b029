// Starts the real main window, opens an example, compiles and generates it, and saves a picture of
// the window: the screenshots of the README. With --disposition, pictures of the viewer before and
// after its automatic layout; with --comparaison, the main window and the comparison's answer.
#include <QApplication>
#include <QLabel>
#include <QDir>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cstdio>

#include "app/CompareDialog.h"
#include "app/GenFrm.h"
#include "app/QuarvoApp.h"
#include "app/Sdimain.h"
#include "app/logic/PropertiesWindow.h"
#include "app/views/ChartWindow.h"
#include "app/views/Graphic.h"
#include "app/views/LevelOverviewWindow.h"
#include "app/views/SimulationWindow.h"

namespace {

// The viewer on an example unfolded to a depth from the initial state, its
// states at the fixed places of the rows (before) and once laid out
// automatically and fitted to the window (after): two pictures of the whole window.
int ViewerBeforeAndAfterLayout(const QString& example, int depth, const QString& before, const QString& after) {
    quarvo::DesktopDialogs dialogs;
    quarvo::QuarvoApp app(QDir::currentPath().toStdString(), dialogs, QCoreApplication::applicationDirPath());
    TSDIAppForm& form = app.Main();
    if (!form.OpenSpecification(example)) return 1;
    form.Compiler1Click();
    form.SemEntreClick();
    if (TGenFrm* dialog = app.Windows().generation) dialog->hide();
    TGraph* graph = app.Windows().graph;
    graph->resize(1000, 720);
    graph->draw_stem();
    // The rows of the unfolding as the model places them, before the layout the command would apply.
    graph->Model().UnfoldToDepth(depth, quarvo::GraphModel::MaxDrawnStates);
    graph->PaintBox1->update();
    int status = 1;
    QTimer::singleShot(500, [&] {
        status = graph->grab().save(before) ? 0 : 1;
        if (!graph->AutoLayout()) status = 1;
        graph->FitToWindow();
        QTimer::singleShot(300, [&] {
            if (!graph->grab().save(after)) status = 1;
            QApplication::quit();
        });
    });
    QApplication::exec();
    if (status != 0) std::fprintf(stderr, "Impossible d'écrire %s ou %s\n", qPrintable(before), qPrintable(after));
    return status;
}

// The main window at the README's size, the example opened, compiled and generated.
bool ShowGenerated(quarvo::QuarvoApp& app, const QString& example) {
    TSDIAppForm& form = app.Main();
    form.resize(900, 640);
    form.show();
    if (!form.OpenSpecification(example)) return false;
    form.Compiler1Click();
    form.SemEntreClick();
    if (TGenFrm* dialog = app.Windows().generation) dialog->hide();
    return true;
}

// An example generated, then compared by branching bisimulation with another
// through "Comparer avec…": the dialog and the main window with the answer,
// and, when chartsPicture is given, both systems' charts side by side.
int Comparison(const QString& example, const QString& other, const QString& dialogPicture, const QString& mainPicture,
               const QString& chartsPicture) {
    quarvo::DesktopDialogs dialogs;
    quarvo::QuarvoApp app(QDir::currentPath().toStdString(), dialogs, QCoreApplication::applicationDirPath());
    TSDIAppForm& form = app.Main();
    if (!ShowGenerated(app, example)) return 1;
    auto* compare = form.findChild<quarvo::CompareDialog*>();
    if (!compare) return 1;
    form.ComparerAvec1Click();
    compare->FileName->setText(other);
    compare->Branchement->setChecked(true);
    compare->Compare();
    if (!chartsPicture.isEmpty()) {
        compare->ChartButton->click();
        app.Windows().chart->resize(1250, 320);
    }
    int status = 1;
    QTimer::singleShot(500, [&] {
        status = compare->grab().save(dialogPicture) && form.grab().save(mainPicture) ? 0 : 1;
        if (!chartsPicture.isEmpty() && !app.Windows().chart->grab().save(chartsPicture)) status = 1;
        QApplication::quit();
    });
    QApplication::exec();
    if (status != 0)
        std::fprintf(stderr, "Impossible d'écrire %s ou %s\n", qPrintable(dialogPicture), qPrintable(mainPicture));
    return status;
}

// An example generated under interleaving, its deadlock's trace loaded in
// the simulator and walked back one step, and its chart; then the overview
// by level of another.
int SimulatorAndOverview(const QString& example, const QString& large, const QString& simulationPicture,
                         const QString& chartPicture, const QString& overviewPicture) {
    quarvo::DesktopDialogs dialogs;
    quarvo::QuarvoApp app(QDir::currentPath().toStdString(), dialogs, QCoreApplication::applicationDirPath());
    TSDIAppForm& form = app.Main();
    form.resize(900, 640);
    form.show();
    if (!form.OpenSpecification(example)) return 1;
    form.Compiler1Click();
    form.EntrelaceItemClick();
    form.SemEntreClick();
    if (TGenFrm* dialog = app.Windows().generation) dialog->hide();
    TPropertiesWindow& properties = *app.Windows().properties;
    properties.DeadlockClick();
    properties.SimulateClick();
    TSimulationWindow& simulation = *app.Windows().simulation;
    simulation.resize(760, 480);
    simulation.BackClick();
    simulation.ChartClick();
    TChartWindow& chart = *app.Windows().chart;
    // The whole chart, the philosophers' and forks' lifelines side by side, above the export button.
    chart.resize(std::max(1100, chart.Picture->sizeHint().width() + 40), chart.Picture->sizeHint().height() + 80);
    int status = 1;
    QTimer::singleShot(500, [&] {
        status = simulation.grab().save(simulationPicture) && chart.grab().save(chartPicture) ? 0 : 1;
        chart.close();
        simulation.close();
        if (!form.OpenSpecification(large)) status = 1;
        form.Compiler1Click();
        form.SemEntreClick();
        if (TGenFrm* dialog = app.Windows().generation) dialog->hide();
        TLevelOverviewWindow& overview = *app.Windows().overview;
        overview.resize(760, 620);
        overview.ShowOverview();
        overview.ChooseLevel(4);
        QTimer::singleShot(500, [&] {
            if (!overview.grab().save(overviewPicture)) status = 1;
            QApplication::quit();
        });
    });
    QApplication::exec();
    if (status != 0)
        std::fprintf(stderr, "Impossible d'écrire %s ou %s\n", qPrintable(simulationPicture), qPrintable(overviewPicture));
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc == 6 && QString::fromLocal8Bit(argv[1]) == "--disposition") {
        bool number = false;
        const int depth = QString::fromLocal8Bit(argv[3]).toInt(&number);
        if (number)
            return ViewerBeforeAndAfterLayout(QString::fromLocal8Bit(argv[2]), depth, QString::fromLocal8Bit(argv[4]),
                                              QString::fromLocal8Bit(argv[5]));
    }
    if (argc == 7 && QString::fromLocal8Bit(argv[1]) == "--simulation")
        return SimulatorAndOverview(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                                    QString::fromLocal8Bit(argv[4]), QString::fromLocal8Bit(argv[5]),
                                    QString::fromLocal8Bit(argv[6]));
    if ((argc == 6 || argc == 7) && QString::fromLocal8Bit(argv[1]) == "--comparaison")
        return Comparison(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[4]),
                          QString::fromLocal8Bit(argv[5]), argc == 7 ? QString::fromLocal8Bit(argv[6]) : QString());
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr,
                     "Usage : quarvo_screenshot EXEMPLE.LOT IMAGE.png [GRAPHE.png]\n"
                     "        quarvo_screenshot --disposition EXEMPLE.LOT PROFONDEUR AVANT.png APRES.png\n"
                     "        quarvo_screenshot --comparaison EXEMPLE.LOT AUTRE.LOT DIALOGUE.png FENETRE.png [DIAGRAMMES.png]\n"
                     "        quarvo_screenshot --simulation EXEMPLE.LOT GRAND.LOT SIMULATION.png DIAGRAMME.png NIVEAUX.png\n");
        return 2;
    }
    const QString example = QString::fromLocal8Bit(argv[1]);
    const QString picture = QString::fromLocal8Bit(argv[2]);
    quarvo::DesktopDialogs dialogs;
    quarvo::QuarvoApp app(QDir::currentPath().toStdString(), dialogs, QCoreApplication::applicationDirPath());
    TSDIAppForm& form = app.Main();
    if (!ShowGenerated(app, example)) return 1;
    int status = 1;
    QTimer::singleShot(500, [&] {
        status = form.grab().save(picture) ? 0 : 1;
        if (argc == 4) {
            // The viewer with the first states unfolded by left clicks below the initial one.
            TGraph* graph = app.Windows().graph;
            graph->resize(700, 500);
            graph->draw_stem();
            // Each round makes the newest state current (right click) and unfolds it (left clicks).
            const QPoint places[] = {{120, 150}, {300, 150}, {480, 150}, {120, 290}, {300, 290},
                                     {480, 290}, {120, 420}, {300, 420}, {480, 420}};
            int next = 0;
            for (int round = 0; round < 5 && next < 9; ++round) {
                const quarvo::TGraphicState* newest = nullptr;
                for (const quarvo::TGraphicState& state : graph->Model().States())
                    if (!state.Complete) newest = &state;
                if (!newest) break;
                graph->PaintBox1MouseDown(Qt::RightButton, QPoint(newest->X, newest->Y), false);
                graph->PaintBox1MouseUp();
                for (int i = 0; i < 2 && next < 9; ++i) {
                    graph->PaintBox1MouseDown(Qt::LeftButton, places[next++], false);
                    graph->PaintBox1MouseUp();
                }
            }
            if (!graph->SaveDrawing(QString::fromLocal8Bit(argv[3]))) status = 1;
        }
        QApplication::quit();
    });
    QApplication::exec();
    if (status != 0) std::fprintf(stderr, "Impossible d'écrire %s\n", argv[2]);
    return status;
}
