// The application object: owns the session and every window, created in the
// start-up order, and carries out what one window asks of another.
#pragma once

#include <memory>
#include <string>

#include <QString>

#include "app/AppContext.h"

class TSDIAppForm;
class TCompFrm;
class TGenFrm;
class TSteVisual;
class TForm3;
class TForm5;
class TForm6;
class TGraph;
class TAboutBox;
class TForm9;
class TFormAlpha;
class TFormAfficherAlpha;
class TSTEMJPG;
class THelpWindow;
class TPropertiesWindow;
class TSimulationWindow;
class TLevelOverviewWindow;
class TChartWindow;

namespace quarvo {

// The windows, created once at start-up in this order and alive until the end.
// Only the application object and the window tests see them all.
struct AppWindows {
    TSDIAppForm* main = nullptr;
    TCompFrm* compilation = nullptr;
    TGenFrm* generation = nullptr;
    TSteVisual* explorer = nullptr;
    TForm3* regeneration = nullptr;
    TForm5* checker = nullptr;
    TForm6* diagnostic = nullptr;
    TGraph* graph = nullptr;
    TAboutBox* about = nullptr;
    TForm9* goTo = nullptr;
    TFormAlpha* outputFormat = nullptr;
    TFormAfficherAlpha* alphaResult = nullptr;
    TSTEMJPG* picture = nullptr;
    THelpWindow* help = nullptr;
    TPropertiesWindow* properties = nullptr;
    TSimulationWindow* simulation = nullptr;
    TLevelOverviewWindow* overview = nullptr;
    TChartWindow* chart = nullptr;
};

class QuarvoApp final : private AppIntents {
public:
    // startDirectory locates the tables; programDirectory the help, licence and OCaml modules.
    QuarvoApp(std::string startDirectory, UserDialogs& dialogs, QString programDirectory);
    ~QuarvoApp() override;
    QuarvoApp(const QuarvoApp&) = delete;
    QuarvoApp& operator=(const QuarvoApp&) = delete;

    AppContext& Context() { return context_; }
    Session& GetSession() { return session_; }
    TSDIAppForm& Main() { return *main_; }
    AppWindows Windows() const;

private:
    void Connect();

    GenerationMonitor& GenerationProgress() override;
    StemReadMonitor& RegenerationProgress() override;
    void ShowGenerationSettings() override;
    void ShowExplorer() override;
    void ShowStateInExplorer(std::int64_t index) override;
    void ShowGoTo() override;
    void DrawStem() override;
    void DrawTrace(const std::vector<std::int32_t>& states, const QString& kind) override;
    void OpenSimulator() override;
    void ShowOverview() override;
    void ShowChart(const std::vector<std::string>& actions) override;
    void ShowPathChart(const std::vector<std::int32_t>& states) override;
    void ShowComparisonCharts(const ComparisonCharts& charts) override;
    void SimulatePath(const std::vector<std::int32_t>& states) override;
    void CloseGraph() override;
    void OpenChecker() override;
    void OpenProperties() override;
    bool ConfirmFormulaSaved() override;
    void OpenDiagnostic() override;
    void CloseDiagnostic() override;
    void ShowAbout() override;
    bool ShowHelp(const QString& path) override;
    void ChooseOutputFormat() override;
    void RunGpmDirectly() override;
    bool ShowToolChainResult(OcamlOutput output, OcamlFormat format) override;
    bool ShowPicture(const QString& path) override;

    Session session_;
    AppContext context_;
    // Set while the windows are destroyed: what they ask then is not carried out.
    bool closing_ = false;
    // Declared in creation order, so they are destroyed in the reverse one.
    std::unique_ptr<TSDIAppForm> main_;
    std::unique_ptr<TCompFrm> compilation_;
    std::unique_ptr<TGenFrm> generation_;
    std::unique_ptr<TSteVisual> explorer_;
    std::unique_ptr<TForm3> regeneration_;
    std::unique_ptr<TForm5> checker_;
    std::unique_ptr<TForm6> diagnostic_;
    std::unique_ptr<TGraph> graph_;
    std::unique_ptr<TAboutBox> about_;
    std::unique_ptr<TForm9> goTo_;
    std::unique_ptr<TFormAlpha> outputFormat_;
    std::unique_ptr<TFormAfficherAlpha> alphaResult_;
    std::unique_ptr<TSTEMJPG> picture_;
    std::unique_ptr<THelpWindow> help_;
    std::unique_ptr<TPropertiesWindow> properties_;
    std::unique_ptr<TSimulationWindow> simulation_;
    std::unique_ptr<TLevelOverviewWindow> overview_;
    std::unique_ptr<TChartWindow> chart_;
};

}  // namespace quarvo
