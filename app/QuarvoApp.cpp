// Creation of the windows in the start-up order, and what one window asks of another.
#include "app/QuarvoApp.h"

#include "app/AboutBox.h"
#include "app/CompFrm.h"
#include "app/GenFrm.h"
#include "app/HelpWindow.h"
#include "app/RegenProgress.h"
#include "app/Sdimain.h"
#include "app/ctl/CtlWindow.h"
#include "app/ctl/DiagnosticWindow.h"
#include "app/logic/PropertiesWindow.h"
#include "app/toolchain/AfficherAlpha.h"
#include "app/toolchain/Alpha.h"
#include "app/toolchain/StemDot.h"
#include "app/views/GoToState.h"
#include "app/views/Graphic.h"
#include "app/views/ChartWindow.h"
#include "app/views/LevelOverviewWindow.h"
#include "app/views/SimulationWindow.h"
#include "app/views/SteV.h"

#include <QWindow>

namespace quarvo {

QuarvoApp::QuarvoApp(std::string startDirectory, UserDialogs& dialogs, QString programDirectory)
    : session_(std::move(startDirectory)), context_(session_, dialogs, *this, std::move(programDirectory)) {
    main_ = std::make_unique<TSDIAppForm>(context_);
    compilation_ = std::make_unique<TCompFrm>();
    generation_ = std::make_unique<TGenFrm>(context_);
    explorer_ = std::make_unique<TSteVisual>(context_);
    regeneration_ = std::make_unique<TForm3>();
    checker_ = std::make_unique<TForm5>(context_);
    diagnostic_ = std::make_unique<TForm6>(context_);
    graph_ = std::make_unique<TGraph>(context_);
    about_ = std::make_unique<TAboutBox>(context_);
    goTo_ = std::make_unique<TForm9>(context_);
    outputFormat_ = std::make_unique<TFormAlpha>(context_);
    alphaResult_ = std::make_unique<TFormAfficherAlpha>(context_);
    picture_ = std::make_unique<TSTEMJPG>(context_);
    help_ = std::make_unique<THelpWindow>(context_);
    properties_ = std::make_unique<TPropertiesWindow>(context_);
    simulation_ = std::make_unique<TSimulationWindow>(context_);
    overview_ = std::make_unique<TLevelOverviewWindow>(context_);
    chart_ = std::make_unique<TChartWindow>(context_);
    Connect();
    main_->init_main();
}

QuarvoApp::~QuarvoApp() {
    // The windows may still ask for each other while they close: nothing is carried out then.
    closing_ = true;
}

AppWindows QuarvoApp::Windows() const {
    return {main_.get(),         compilation_.get(), generation_.get(),  explorer_.get(), regeneration_.get(),
            checker_.get(),      diagnostic_.get(),  graph_.get(),       about_.get(),    goTo_.get(),
            outputFormat_.get(), alphaResult_.get(), picture_.get(),     help_.get(),    properties_.get(),
            simulation_.get(),   overview_.get(),     chart_.get()};
}

// Each window's reaction to what happened; a connection ends with the window that reacts.
void QuarvoApp::Connect() {
    AppNotifications& n = context_.notifications;
    TCompFrm* compilation = compilation_.get();
    QObject::connect(&n, &AppNotifications::CompilationStarted, compilation, [compilation] {
        compilation->CompilationStarted();
    });
    QObject::connect(&n, &AppNotifications::Compiled, compilation,
                     [compilation](const QString& status) { compilation->Compiled(status); });
    // The graph first: the checker's labels go with the STEM after it.
    TGraph* graph = graph_.get();
    QObject::connect(&n, &AppNotifications::StemReplaced, graph, [graph] {
        graph->init_graph();
        graph->SelectedState = -1;
    });
    TForm5* checker = checker_.get();
    QObject::connect(&n, &AppNotifications::StemReplaced, checker, [checker] { checker->StemChanged(); });
    TPropertiesWindow* properties = properties_.get();
    QObject::connect(&n, &AppNotifications::StemReplaced, properties, [properties] { properties->StemChanged(); });
    TSimulationWindow* simulation = simulation_.get();
    QObject::connect(&n, &AppNotifications::StemReplaced, simulation, [simulation] { simulation->StemChanged(); });
    // The viewer, when it shows the system, follows the simulator's current state.
    QObject::connect(simulation, &TSimulationWindow::CurrentStateChanged, graph,
                     [graph](std::int32_t number) { graph->FollowState(number); });
    TLevelOverviewWindow* overview = overview_.get();
    QObject::connect(&n, &AppNotifications::StemReplaced, overview, [overview] { overview->StemChanged(); });
    // A state chosen in the overview is drawn with a path to it.
    QObject::connect(overview, &TLevelOverviewWindow::StateChosen, graph, [graph](std::int32_t number) {
        if (graph->Model().ShowsPath() || !graph->isVisible()) graph->draw_stem();
        graph->FindState(number);
    });
    TSDIAppForm* main = main_.get();
    QObject::connect(&n, &AppNotifications::ToolChainResultShown, main, [main] { main->ToolChainResultShown(); });
    QObject::connect(&n, &AppNotifications::HintShown, main, [main](const QString& text) { main->ShowHint(text); });
    QObject::connect(&n, &AppNotifications::MessageShown, main,
                     [main](const QString& text) { main->ShowMessage(text); });
    TFormAfficherAlpha* result = alphaResult_.get();
    QObject::connect(&n, &AppNotifications::PictureClosed, result, [result] { result->EnableVisualiser(); });
}

GenerationMonitor& QuarvoApp::GenerationProgress() {
    // The dialog stays above the main window, which starts every generation.
    if (QWindow* owner = main_->windowHandle()) {
        generation_->winId();  // makes its platform window, whose owner is set below
        if (QWindow* own = generation_->windowHandle(); own && own->transientParent() != owner)
            own->setTransientParent(owner);
    }
    return *generation_;
}

StemReadMonitor& QuarvoApp::RegenerationProgress() { return *regeneration_; }

void QuarvoApp::ShowGenerationSettings() {
    if (!closing_) generation_->ShowSettings();
}

void QuarvoApp::ShowExplorer() {
    if (!closing_) explorer_->exec();
}

void QuarvoApp::ShowStateInExplorer(std::int64_t index) {
    if (!closing_) explorer_->ShowStateAt(index);
}

void QuarvoApp::ShowGoTo() {
    if (!closing_) goTo_->exec();
}

void QuarvoApp::DrawStem() {
    if (!closing_) graph_->draw_stem();
}

void QuarvoApp::DrawTrace(const std::vector<std::int32_t>& states, const QString& kind) {
    if (!closing_) graph_->draw_trace(states, kind);
}

void QuarvoApp::OpenSimulator() {
    if (!closing_) simulation_->Open();
}

void QuarvoApp::ShowChart(const std::vector<std::string>& actions) {
    if (!closing_) chart_->ShowChart(actions);
}

void QuarvoApp::ShowPathChart(const std::vector<std::int32_t>& states) {
    if (!closing_) chart_->ShowPathChart(states);
}

void QuarvoApp::ShowComparisonCharts(const ComparisonCharts& charts) {
    if (!closing_) chart_->ShowComparison(charts);
}

void QuarvoApp::ShowOverview() {
    if (!closing_) overview_->ShowOverview();
}

void QuarvoApp::SimulatePath(const std::vector<std::int32_t>& states) {
    if (!closing_) simulation_->SimulatePath(states);
}

void QuarvoApp::CloseGraph() {
    if (!closing_) graph_->CloseAndMaximise();
}

void QuarvoApp::OpenChecker() {
    if (!closing_) checker_->OpenNewFormula();
}

void QuarvoApp::OpenProperties() {
    if (!closing_) properties_->Open();
}

bool QuarvoApp::ConfirmFormulaSaved() {
    return closing_ || (checker_->AskSaveBeforeQuitting() && properties_->AskSaveBeforeQuitting());
}

void QuarvoApp::OpenDiagnostic() {
    if (!closing_) diagnostic_->OpenDiagnostic(checker_->windowHandle());
}

void QuarvoApp::CloseDiagnostic() {
    if (!closing_) diagnostic_->close();
}

void QuarvoApp::ShowAbout() {
    if (!closing_) about_->exec();
}

bool QuarvoApp::ShowHelp(const QString& path) { return !closing_ && help_->ShowGuide(path); }

void QuarvoApp::ChooseOutputFormat() {
    if (!closing_) outputFormat_->exec();
}

void QuarvoApp::RunGpmDirectly() {
    if (closing_) return;
    alphaResult_->setWindowTitle("GPM");
    outputFormat_->RunDotDirectly();
}

bool QuarvoApp::ShowToolChainResult(OcamlOutput output, OcamlFormat format) {
    if (closing_) return false;
    if (output == OcamlOutput::AlphaReduced) alphaResult_->setWindowTitle("STEM alpha-réduit");
    if (!alphaResult_->Produce(output, format)) return false;
    alphaResult_->ShowResult();
    return true;
}

bool QuarvoApp::ShowPicture(const QString& path) {
    if (closing_ || !picture_->LoadPicture(path)) return false;
    picture_->exec();
    return true;
}

}  // namespace quarvo
