// What every window of the program can reach: the session, the user's dialogs,
// the application's notifications and the intents other windows carry out.
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

#include "app/Session.h"
#include "app/UserDialogs.h"
#include "generation/Generator.h"
#include "generation/Progress.h"
#include "stemio/OcamlWriter.h"
#include "stemio/StemReader.h"

namespace quarvo {

// What happened, for the windows that follow it. The application object
// connects each window's reaction; a window only emits.
class AppNotifications : public QObject {
    Q_OBJECT
signals:
    // A compilation starts, then ends with its status line ("" when it failed).
    void CompilationStarted();
    void Compiled(const QString& status);
    // The session's STEM is about to be replaced: nothing may keep pointing into it.
    void StemReplaced();
    // The tool chain's result window has been shown (its output can be produced again).
    void ToolChainResultShown();
    // The picture of the tool chain's result has been closed.
    void PictureClosed();
    // A hint for the main window's status bar, from a window that is not active.
    void HintShown(const QString& text);
    // A line for the main window's message list, from another window:
    // the confirmation of a file it wrote, for instance.
    void MessageShown(const QString& text);
};

// The generation dialog as the generation command drives it.
class GenerationMonitor : public Progress {
public:
    // Resets the values and shows the dialog for a generation that starts.
    virtual void Start() = 0;
    // The generation has ended with these counts.
    virtual void Finish(std::int64_t states, std::int64_t transitions) = 0;
    // Its times and memory figures, once it has ended.
    virtual void Figures(const GenerationResult& result) = 0;
};

// The progress window of a regeneration as the regeneration command drives it.
class StemReadMonitor : public StemReadProgress {
public:
    virtual void Begin() = 0;
    virtual void End() = 0;
};

struct ComparisonCharts;

// What one window asks of another, carried out by the application object,
// which alone knows the windows.
class AppIntents {
public:
    virtual ~AppIntents() = default;
    virtual GenerationMonitor& GenerationProgress() = 0;
    virtual StemReadMonitor& RegenerationProgress() = 0;
    // The generation dialog without a generation: its threads and memory limit, set before one.
    virtual void ShowGenerationSettings() = 0;
    virtual void ShowExplorer() = 0;
    virtual void ShowStateInExplorer(std::int64_t index) = 0;
    virtual void ShowGoTo() = 0;
    virtual void DrawStem() = 0;
    // A verdict's path in the viewer, named by kind ("Trace du blocage", "Lasso"…).
    virtual void DrawTrace(const std::vector<std::int32_t>& states, const QString& kind) = 0;
    // The chart of a trace (its actions from the initial state) of the current system.
    virtual void ShowChart(const std::vector<std::string>& actions) = 0;
    // The chart of a verdict's path (state numbers from the initial state) of the current system.
    virtual void ShowPathChart(const std::vector<std::int32_t>& states) = 0;
    // A comparison's two charts side by side, up to the step where the systems part.
    virtual void ShowComparisonCharts(const ComparisonCharts& charts) = 0;
    // The overview of the current system by breadth-first level.
    virtual void ShowOverview() = 0;
    // The simulator window on the current system, where it was left.
    virtual void OpenSimulator() = 0;
    // The simulator window with a verdict's path (state numbers from the initial state) as its trace.
    virtual void SimulatePath(const std::vector<std::int32_t>& states) = 0;
    virtual void CloseGraph() = 0;
    virtual void OpenChecker() = 0;
    // The properties window of the action logic, on any system.
    virtual void OpenProperties() = 0;
    // As the program ends, asks once to save a modified formula; false when the user cancelled.
    virtual bool ConfirmFormulaSaved() = 0;
    virtual void OpenDiagnostic() = 0;
    virtual void CloseDiagnostic() = 0;
    virtual void ShowAbout() = 0;
    // The user's guide in the help window; false (with a message) when it cannot be read.
    virtual bool ShowHelp(const QString& path) = 0;
    // The output-format dialog of the tool chain, or ("Fichier GPM") its run in DOT at once.
    virtual void ChooseOutputFormat() = 0;
    virtual void RunGpmDirectly() = 0;
    // Produces the tool chain's output in format and shows it; false when the chain failed.
    virtual bool ShowToolChainResult(OcamlOutput output, OcamlFormat format) = 0;
    // Shows the JPEG picture at path modally; false (with a message shown) when it cannot be read.
    virtual bool ShowPicture(const QString& path) = 0;
};

struct AppContext {
    AppContext(Session& s, UserDialogs& d, AppIntents& i, QString directory)
        : session(s), dialogs(d), intents(i), programDirectory(std::move(directory)) {}

    Session& session;
    UserDialogs& dialogs;
    AppIntents& intents;
    AppNotifications notifications;
    // The directory of the program file: the help, the licence and the OCaml modules lie there.
    QString programDirectory;

    // A file shipped with the program (help, licence, OCaml modules): beside the
    // program file in the build tree, or in share/quarvo once installed. When
    // neither exists, the path beside the program, for the message.
    QString ProgramFile(const QString& relative) const;
};

}  // namespace quarvo
