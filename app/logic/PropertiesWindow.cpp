// The properties window: the formula document, the templates, and the verify and search commands.
#include "app/logic/PropertiesWindow.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QMenuBar>
#include <QSplitter>
#include <QTextBlock>

#include "app/TaskProgress.h"
#include "app/WidgetHelpers.h"
#include "frontend/TextFile.h"
#include "generation/LevelExploration.h"
#include "generation/reduction/ReducedSearch.h"
#include "logic/PropertyTemplates.h"
#include "logic/ReducedSearches.h"
#include "logic/Verification.h"

using quarvo::AddCommand;
using quarvo::AddToolCommand;

namespace {

constexpr const char* kFilter = "Formules d'actions (*.mcl)|*.mcl|Tous les fichiers (*.*)|*.*";
constexpr const char* kCaption = "Propriétés";
constexpr const char* kNoSystem =
    "Aucun système : engendrez un STEM ou un STE, ou ouvrez un fichier STEM, avant de vérifier une propriété.";

QString FromStd(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

TPropertiesWindow::TPropertiesWindow(quarvo::AppContext& app) : app_(app) {
    setObjectName("Properties");
    setWindowTitle("QUARVO - Propriétés d'actions (mu-calcul modal)");
    resize(640, 460);

    auto* splitter = new QSplitter(Qt::Vertical, this);
    Formula = new QPlainTextEdit(splitter);
    Formula->setObjectName("Formula");
    Formula->setFont(quarvo::FixedPitchFont());
    Results = new QListWidget(splitter);
    Results->setObjectName("Results");
    Results->setFont(quarvo::FixedPitchFont());
    splitter->addWidget(Formula);
    splitter->addWidget(Results);
    setCentralWidget(splitter);
    connect(Formula, &QPlainTextEdit::textChanged, this, [this] {
        if (!loading_) modified = true;
    });
    connect(Results, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { ResultClicked(Results->row(item)); });

    BuildMenus();
}

void TPropertiesWindow::BuildMenus() {
    FileMenu = menuBar()->addMenu("&Fichier");
    NewAction = AddCommand(FileMenu, "&Nouvelle formule", this, &TPropertiesWindow::NewClick, QKeySequence("Ctrl+N"));
    OpenAction = AddCommand(FileMenu, "&Ouvrir une formule...", this, &TPropertiesWindow::OpenClick,
                            QKeySequence("Ctrl+O"));
    SaveAction = AddCommand(FileMenu, "&Enregistrer", this, &TPropertiesWindow::SaveClick, QKeySequence("Ctrl+S"));
    SaveAsAction = AddCommand(FileMenu, "Enregistrer &sous...", this, &TPropertiesWindow::SaveAsClick);
    FileMenu->addSeparator();
    CloseAction = AddCommand(FileMenu, "&Fermer", this, &QWidget::close);

    TemplatesMenu = menuBar()->addMenu("&Modèles");
    const auto& templates = quarvo::logic::PropertyTemplates();
    for (std::size_t i = 0; i < templates.size(); ++i) {
        QAction* a = TemplatesMenu->addAction(FromStd(templates[i].title));
        a->setObjectName(QString("Template%1").arg(i));
        a->setStatusTip(FromStd(templates[i].explanation));
        connect(a, &QAction::triggered, this, [this, i] { UseTemplate(i); });
    }

    AnalysisMenu = menuBar()->addMenu("&Analyse");
    VerifyAction = AddCommand(AnalysisMenu, "&Vérifier", this, &TPropertiesWindow::VerifyClick, QKeySequence("F8"));
    DeadlockAction = AddCommand(AnalysisMenu, "&Blocages", this, &TPropertiesWindow::DeadlockClick);
    LivelockAction = AddCommand(AnalysisMenu, "Boucles &internes", this, &TPropertiesWindow::LivelockClick);
    VerifyAction->setObjectName("VerifyAction");
    DeadlockAction->setObjectName("DeadlockAction");
    LivelockAction->setObjectName("LivelockAction");
    AnalysisMenu->addSeparator();
    SimulateAction = AddCommand(AnalysisMenu, "&Simuler la trace", this, &TPropertiesWindow::SimulateClick);
    SimulateAction->setObjectName("SimulateAction");
    SimulateAction->setEnabled(false);
    ChartAction = AddCommand(AnalysisMenu, "&Diagramme de la trace", this, &TPropertiesWindow::ChartClick);
    ChartAction->setObjectName("ChartAction");
    ChartAction->setEnabled(false);

    Tools = addToolBar("Tools");
    Tools->setObjectName("Tools");
    Tools->setMovable(false);
    Tools->setToolButtonStyle(Qt::ToolButtonTextOnly);
    AddToolCommand(Tools, "&Vérifier", "Vérifier (F8)|Vérifier la formule à l'état initial du système", this,
                   &TPropertiesWindow::VerifyClick);
    AddToolCommand(Tools, "&Blocages", "Blocages|Chercher un état accessible sans successeur", this,
                   &TPropertiesWindow::DeadlockClick);
    AddToolCommand(Tools, "Boucles &internes", "Boucles internes|Chercher un cycle accessible d'actions internes", this,
                   &TPropertiesWindow::LivelockClick);
    Tools->addAction(SimulateAction);
    Tools->addAction(ChartAction);
}

void TPropertiesWindow::Open() {
    show();
    raise();
    activateWindow();
    Formula->setFocus();
}

void TPropertiesWindow::StemChanged() {
    Results->clear();
    trace_.clear();
    SimulateAction->setEnabled(false);
    ChartAction->setEnabled(false);
}

void TPropertiesWindow::closeEvent(QCloseEvent* event) {
    // Hidden whatever the answer; the text stays until the window comes back.
    AskSave();
    event->accept();
}

std::string TPropertiesWindow::FormulaText() const { return Formula->toPlainText().toStdString(); }

bool TPropertiesWindow::WriteTo(const QString& path) {
    std::vector<std::string> lines;
    for (QTextBlock block = Formula->document()->begin(); block.isValid(); block = block.next())
        lines.push_back(block.text().toStdString());
    const quarvo::Status written =
        quarvo::WriteFileAtomically(path.toStdString(), quarvo::EncodeLinesWindows1252(lines));
    if (!written) {
        app_.dialogs.Tell(this, QMessageBox::Critical, kCaption, FromStd(written.message()));
        return false;
    }
    fileName = path;
    modified = false;
    return true;
}

void TPropertiesWindow::SetText(const QString& text) {
    loading_ = true;
    Formula->setPlainText(text);
    loading_ = false;
}

bool TPropertiesWindow::AskSave() {
    if (!modified || Formula->document()->isEmpty()) return true;
    const QString question = fileName.isEmpty()
                                 ? QString("Enregistrer les modifications de la nouvelle formule ?")
                                 : "Enregistrer les modifications de la formule « " + QFileInfo(fileName).fileName() +
                                       " » ?";
    const auto answer = app_.dialogs.Ask(this, QMessageBox::Question, "Enregistrer...", question,
                                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::No) return true;
    if (answer != QMessageBox::Yes) return false;
    if (!fileName.isEmpty()) return WriteTo(fileName);
    const QString name = app_.dialogs.SaveFileName(this, QString(), kFilter, "mcl");
    return !name.isEmpty() && WriteTo(name);
}

bool TPropertiesWindow::AskSaveBeforeQuitting() {
    if (!AskSave()) return false;
    modified = false;
    return true;
}

void TPropertiesWindow::NewClick() {
    if (!AskSave()) return;
    SetText(QString());
    fileName.clear();
    modified = false;
    StemChanged();
}

void TPropertiesWindow::OpenClick() {
    if (!AskSave()) return;
    const QString name = app_.dialogs.OpenFileName(this, QString(), kFilter);
    if (name.isEmpty()) return;
    const quarvo::TextFileResult file = quarvo::ReadTextFile(name.toStdString());
    if (!file.status) {
        app_.dialogs.Tell(this, QMessageBox::Critical, kCaption, FromStd(file.status.message()));
        return;
    }
    QStringList lines;
    for (const std::string& line : file.lines) lines << FromStd(line);
    SetText(lines.join('\n'));
    fileName = name;
    modified = false;
}

void TPropertiesWindow::SaveClick() {
    if (fileName.isEmpty()) SaveAsClick();
    else WriteTo(fileName);
}

void TPropertiesWindow::SaveAsClick() {
    const QString name = app_.dialogs.SaveFileName(this, QString(), kFilter, "mcl");
    if (!name.isEmpty()) WriteTo(name);
}

void TPropertiesWindow::UseTemplate(std::size_t i) {
    if (!AskSave()) return;
    SetText(FromStd(quarvo::logic::TemplateText(quarvo::logic::PropertyTemplates().at(i))));
    fileName.clear();
    // A template is a new text of the user's, to be adapted and perhaps saved.
    modified = true;
}

bool TPropertiesWindow::HaveSystem() {
    const quarvo::Session& session = app_.session;
    if (session.busy || !session.hasStem) {
        app_.dialogs.Tell(this, QMessageBox::Warning, kCaption, kNoSystem);
        return false;
    }
    return true;
}

void TPropertiesWindow::Show(const std::vector<std::string>& lines, std::vector<std::int32_t> trace, QString kind) {
    traceKind_ = std::move(kind);
    Results->clear();
    for (const std::string& line : lines) Results->addItem(FromStd(line));
    trace_ = std::move(trace);
    SimulateAction->setEnabled(!trace_.empty());
    ChartAction->setEnabled(!trace_.empty());
}

void TPropertiesWindow::VerifyClick() {
    if (!HaveSystem()) return;
    const std::string text = FormulaText();
    if (!progress_) progress_ = new quarvo::TaskProgressDialog(this);
    quarvo::logic::ActionSystem system;
    quarvo::logic::VerifyResult result;
    const quarvo::Status run = progress_->Run("Vérification de la formule...", [&](quarvo::Progress& progress) {
        system = quarvo::logic::ActionSystemOf(app_.session.stem);
        result = quarvo::logic::Verify(text, system.lts, &progress);
    });
    if (!run) {
        app_.dialogs.Tell(this, QMessageBox::Critical, kCaption, FromStd(run.message()));
        return;
    }
    if (result.stopped) {
        Show({"Vérification arrêtée : verdict inconnu."}, {});
        return;
    }
    std::vector<std::int32_t> states;
    if (result.trace) states = quarvo::logic::TraceStates(*result.trace, system.lts.initial, system.numbers);
    const bool lasso = result.trace && result.trace->IsLasso();
    Show(quarvo::logic::VerifyLines(result, system), std::move(states),
         lasso ? "Lasso de la formule" : "Trace de la formule");
}

namespace {

// The trace of a search on the specification followed on the current system,
// step by step by the rank of each transition (the system lists a state's
// arcs newest first) and its action: the steps renumbered with the system's
// states, and the states for drawing; false when it does not follow.
bool FollowOnSystem(std::vector<quarvo::SearchStep>& steps, const quarvo::logic::ActionSystem& system,
                    std::vector<std::int32_t>& states) {
    const quarvo::Lts& lts = system.lts;
    if (lts.StateCount() == 0) return false;
    auto number = [&](std::uint32_t s) { return system.numbers.empty() ? static_cast<std::int32_t>(s) : system.numbers[s]; };
    std::uint32_t at = lts.initial;
    std::vector<std::int32_t> path{number(at)};
    for (const quarvo::SearchStep& step : steps) {
        const std::uint32_t count = lts.firstArc[at + 1] - lts.firstArc[at];
        if (step.transition >= count) return false;
        const std::uint32_t arc = lts.firstArc[at + 1] - 1 - step.transition;
        if (lts.labels[lts.label[arc]] != step.action) return false;
        at = lts.target[arc];
        path.push_back(number(at));
    }
    if (lts.firstArc[at] != lts.firstArc[at + 1]) return false;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        steps[i].from = path[i];
        steps[i].to = path[i + 1];
    }
    states = std::move(path);
    return true;
}

}  // namespace

void TPropertiesWindow::DeadlockClick() {
    if (!HaveSystem()) return;
    const quarvo::Session& session = app_.session;
    const quarvo::logic::ActionSystem system = quarvo::logic::ActionSystemOf(session.stem);
    // A system generated under interleaving from the specification is
    // searched again on the specification with stubborn sets: the answer and
    // its figures are those of calvento deadlock, its trace drawn on the system.
    if (session.stemSemantics == quarvo::Semantics::Interleaving && session.stemFileName.empty() &&
        session.stem.compilation) {
        if (!progress_) progress_ = new quarvo::TaskProgressDialog(this);
        quarvo::SearchOutcomeOnVectors outcome;
        quarvo::SearchSettings settings;
        settings.memoryLimit = session.memoryLimitMb * 1024 * 1024;
        // As many threads as a generation of the session would take.
        quarvo::GenerationSettings generation;
        generation.threads = session.threads;
        settings.threads = quarvo::ExplorationThreads(generation);
        const quarvo::Status run = progress_->Run("Recherche d'un blocage...", [&](quarvo::Progress& progress) {
            outcome = quarvo::SearchOnVectors(session.stem.compilation, settings, nullptr, &progress);
        });
        if (!run) {
            app_.dialogs.Tell(this, QMessageBox::Critical, kCaption, FromStd(run.message()));
            return;
        }
        if (outcome.ran) {
            if (!outcome.found && (outcome.stoppedByMemory || outcome.interrupted)) {
                Show({"Recherche interrompue : verdict inconnu.", quarvo::logic::ExploredLine(outcome.explored, true)}, {});
                return;
            }
            std::vector<std::int32_t> states;
            if (outcome.found && outcome.replayed) FollowOnSystem(outcome.trace, system, states);
            Show(quarvo::logic::DeadlockLines(outcome), std::move(states), "Trace du blocage");
            return;
        }
    }
    const auto outcome = quarvo::logic::RunSearch(quarvo::logic::Search::Deadlock, system.lts);
    std::vector<std::int32_t> states;
    if (outcome.trace) states = quarvo::logic::TraceStates(*outcome.trace, system.lts.initial, system.numbers);
    std::vector<std::string> lines = quarvo::logic::SearchLines(quarvo::logic::Search::Deadlock, outcome, system);
    lines.push_back(quarvo::logic::ExploredLine(static_cast<std::int64_t>(system.lts.StateCount()), false));
    Show(lines, std::move(states), "Trace du blocage");
}

void TPropertiesWindow::LivelockClick() {
    if (!HaveSystem()) return;
    const quarvo::logic::ActionSystem system = quarvo::logic::ActionSystemOf(app_.session.stem);
    const auto outcome = quarvo::logic::RunSearch(quarvo::logic::Search::Livelock, system.lts);
    std::vector<std::int32_t> states;
    if (outcome.trace) states = quarvo::logic::TraceStates(*outcome.trace, system.lts.initial, system.numbers);
    Show(quarvo::logic::SearchLines(quarvo::logic::Search::Livelock, outcome, system), std::move(states), "Lasso");
}

void TPropertiesWindow::SimulateClick() {
    if (!trace_.empty()) app_.intents.SimulatePath(trace_);
}

void TPropertiesWindow::ChartClick() {
    if (!trace_.empty()) app_.intents.ShowPathChart(trace_);
}

void TPropertiesWindow::ResultClicked(int row) {
    if (trace_.empty() || row < 0) return;
    app_.intents.DrawTrace(trace_, traceKind_);
}
