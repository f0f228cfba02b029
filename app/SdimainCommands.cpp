// The commands of the main window's menus and tool bar.
#include <QDir>
#include <QFileInfo>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QSplitter>

#include "app/CompareDialog.h"
#include "app/EditorLines.h"
#include "app/FileLocations.h"
#include "app/Sdimain.h"
#include "frontend/Parser.h"
#include "frontend/StandardLexer.h"
#include "frontend/TextFile.h"
#include "generation/Generator.h"
#include "generation/StemWriter.h"
#include "stemio/StemReader.h"

namespace {

constexpr const char* kLotosFilter = "Spécification LOTOS (*.LOT)|*.LOT|Tous les fichiers (*.*)|*.*";
// A text in the standard syntax is saved as such.
constexpr const char* kStandardSaveFilter = "LOTOS standard (*.lotos)|*.lotos|Tous les fichiers (*.*)|*.*";
// Opening shows the files of both syntaxes at first.
constexpr const char* kOpenLotosFilter =
    "Spécifications LOTOS (*.LOT *.lotos)|*.LOT;*.lotos|Spécification LOTOS (*.LOT)|*.LOT|"
    "LOTOS standard (*.lotos)|*.lotos|Tous les fichiers (*.*)|*.*";
constexpr const char* kStemFilter = "Fichier STEM (*.STEM)|*.STEM|Tous les fichiers (*.*)|*.*";
constexpr const char* kNewDocumentName = "Nouvelle spécification";
constexpr const char* kErrorCaption = "Erreur!";

QString FromStd(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

TSDIAppForm::~TSDIAppForm() = default;

// ---- The document --------------------------------------------------------------------------

bool TSDIAppForm::SavePrompt(bool forClosing) {
    // The question names the document, since the formula of the checker may be asked about next.
    const QString question = hasFileName ? "Enregistrer les modifications de la spécification « " +
                                               QFileInfo(currentFileName).fileName() + " » ?"
                                         : QString("Enregistrer les modifications de la nouvelle spécification ?");
    const auto answer = app_.dialogs.Ask(this, QMessageBox::Question, "Enregistrer...", question,
                                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Yes) {
        if (!Save()) return false;
        Editor->document()->setModified(false);
        hasFileName = true;
        return true;
    }
    // Closing keeps the window open on Cancel, so the text is never lost by a slip.
    (void)forClosing;
    return answer == QMessageBox::No;
}

bool TSDIAppForm::WriteEditorTo(const QString& path) {
    const quarvo::EditorLines lines(*Editor);
    const quarvo::Status written =
        quarvo::WriteFileAtomically(path.toStdString(), quarvo::EncodeLinesWindows1252(lines.Lines()));
    if (written) {
        ShowMessage(quarvo::WrittenMessage("Spécification écrite", path));
        return true;
    }
    app_.dialogs.Tell(this, QMessageBox::Critical, kErrorCaption, FromStd(written.message()));
    return false;
}

QString TSDIAppForm::AskSaveName(const QString& title, const char* filter, const QString& extension) {
    const QString name = app_.dialogs.SaveFileName(this, title, filter, extension,
                                                   quarvo::ProposedPath(app_.session, extension));
    quarvo::RememberFolder(app_.session, name);
    return name;
}

QString TSDIAppForm::AskSpecificationName() {
    const quarvo::EditorLines lines(*Editor);
    if (quarvo::IsStandardSyntax(lines))
        return AskSaveName("Enregistrer la spécification sous", kStandardSaveFilter, "lotos");
    return AskSaveName("Enregistrer la spécification sous", kLotosFilter, "LOT");
}

QString TSDIAppForm::AskOpenName(const char* filter) {
    const QString name = app_.dialogs.OpenFileName(this, QString(), filter, quarvo::DialogFolder(app_.session));
    quarvo::RememberFolder(app_.session, name);
    return name;
}

bool TSDIAppForm::LoadIntoEditor(const QString& path) {
    const quarvo::TextFileResult file = quarvo::ReadTextFile(path.toStdString());
    if (!file.status) {
        app_.dialogs.Tell(this, QMessageBox::Critical, kErrorCaption, FromStd(file.status.message()));
        return false;
    }
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(file.lines.size()));
    for (const std::string& line : file.lines) lines << FromStd(line);
    SetEditorText(lines.join('\n'));
    return true;
}

bool TSDIAppForm::LoadStemPreview(const QString& path, qint64 bytes) {
    bool more = false;
    const quarvo::TextFileResult head =
        quarvo::ReadTextFileHead(path.toStdString(), static_cast<std::size_t>(ShownStemLines), more);
    if (!head.status) {
        app_.dialogs.Tell(this, QMessageBox::Critical, kErrorCaption, FromStd(head.status.message()));
        return false;
    }
    // A line of a STEM file holds every arc of a state: only its start is shown.
    constexpr qsizetype kShownLineLength = 2000;
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(head.lines.size()) + 2);
    const QString megabytes = QString::number(static_cast<double>(bytes) / 1e6, 'f', 1).replace('.', ',');
    lines << QString("--- Fichier STEM de %1 Mo, trop volumineux pour l'éditeur : seules ses %2 premières lignes "
                     "sont affichées, en lecture seule. « Régénérer le STEM » lit le fichier entier. ---")
                 .arg(megabytes)
                 .arg(ShownStemLines);
    for (const std::string& line : head.lines) {
        QString text = FromStd(line);
        if (text.size() > kShownLineLength) text = text.left(kShownLineLength) + " […]";
        lines << text;
    }
    if (more) lines << QString("--- La suite du fichier n'est pas affichée. ---");
    SetEditorText(lines.join('\n'));
    return true;
}

bool TSDIAppForm::Save() {
    // The text of a STEM file is no specification: it is never written from
    // the editor (a cut view of a large file would replace it with its first lines).
    if (stemShown_) return false;
    if (hasFileName) return WriteEditorTo(currentFileName);
    const QString name = AskSpecificationName();
    if (name.isEmpty() || !WriteEditorTo(name)) return false;
    currentFileName = name;
    app_.session.documentPath = name.toStdString();
    SetTitle(currentFileName);
    return true;
}

bool TSDIAppForm::FileSave1Execute() {
    if (!Save()) return false;
    Editor->document()->setModified(false);
    hasFileName = true;
    GenerationMenu->menuAction()->setEnabled(true);
    Compiler1->setEnabled(true);
    CompileButton->setEnabled(true);
    SemEntre->setEnabled(false);
    return true;
}

void TSDIAppForm::FileSaveAsItemClick() {
    if (stemShown_) return;
    const QString name = AskSpecificationName();
    if (name.isEmpty() || !WriteEditorTo(name)) return;
    currentFileName = name;
    app_.session.documentPath = name.toStdString();
    SetTitle(currentFileName);
    Editor->document()->setModified(false);
    hasFileName = true;
}

void TSDIAppForm::EnableForNewDocument() {
    stemShown_ = false;
    stemFile_.clear();
    GenerationMenu->menuAction()->setEnabled(true);
    Compiler1->setEnabled(true);
    CompileButton->setEnabled(true);
    WithdrawLaterCommands();
    Editor->setReadOnly(false);
    TemplateStrip->show();
    Editor->setFocus();
    FileSave1->setEnabled(true);
    FileSaveAsItem->setEnabled(true);
    SaveButton->setEnabled(true);
    MaxItem->setEnabled(true);
    EntrelaceItem->setEnabled(true);
}

void TSDIAppForm::FileNew1Execute() {
    CloseGraph();
    if (Modified() && !SavePrompt(false)) return;
    hasFileName = false;
    SetEditorText(QString());
    ShowMessages(false);
    currentFileName = kNewDocumentName;
    app_.session.documentPath.clear();
    SetTitle(currentFileName);
    EnableForNewDocument();
}

void TSDIAppForm::FileOpen1Execute() {
    CloseGraph();
    const QString name = AskOpenName(kOpenLotosFilter);
    if (name.isEmpty()) return;
    if (Modified() && !SavePrompt(false)) return;
    OpenSpecification(name);
}

bool TSDIAppForm::OpenSpecification(const QString& path) {
    if (!QFileInfo(path).isFile()) {
        app_.dialogs.Tell(this, QMessageBox::Critical, kErrorCaption, "Fichier inexistant, ou extension incorrecte!");
        return false;
    }
    // A file that cannot be read leaves the document as it was.
    if (!LoadIntoEditor(path)) return false;
    hasFileName = true;
    ShowMessages(false);
    currentFileName = path;
    app_.session.documentPath = QFileInfo(path).absoluteFilePath().toStdString();
    SetTitle(currentFileName);
    EnableForNewDocument();
    Editor->document()->setModified(false);
    return true;
}

void TSDIAppForm::OuvrirUnfichierSTEM1Click() {
    const QString name = AskOpenName(kStemFilter);
    if (name.isEmpty()) return;
    OpenStemFile(name);
}

void TSDIAppForm::OpenDroppedFile(const QString& path) {
    if (app_.session.busy) return;
    if (path.endsWith(".STEM", Qt::CaseInsensitive)) {
        OpenStemFile(path);
        return;
    }
    CloseGraph();
    if (Modified() && !SavePrompt(false)) return;
    OpenSpecification(path);
}

void TSDIAppForm::OpenStemFile(const QString& name) {
    // The STEM text replaces the specification: offer to save it first.
    if (Modified() && !SavePrompt(false)) return;
    if (!QFileInfo(name).isFile()) {
        app_.dialogs.Tell(this, QMessageBox::Critical, kErrorCaption, "Fichier inexistant, ou extension incorrecte!");
        return;
    }
    // A large file is only previewed: the editor would take long to show it
    // whole, and regeneration reads the file itself.
    const qint64 bytes = QFileInfo(name).size();
    const bool large = bytes > LargeStemFileBytes;
    if (!(large ? LoadStemPreview(name, bytes) : LoadIntoEditor(name))) return;
    stemFile_ = large ? name : QString();
    CloseGraph();
    SetTitle(name);
    app_.session.documentPath = QFileInfo(name).absoluteFilePath().toStdString();
    stemShown_ = true;
    Editor->setReadOnly(true);
    TemplateStrip->hide();
    // The editor cannot take the text further: the message says what comes next.
    ShowMessages(true);
    MemoError->addItem(StemOpenedMessage);
    Editor->document()->setModified(false);
    GenerationMenu->menuAction()->setEnabled(true);
    RegenererleSTEM1->setEnabled(true);
    EnableStemCommands(false);
    Compiler1->setEnabled(false);
    CompileButton->setEnabled(false);
    GenerateMenu->menuAction()->setEnabled(false);
    GenerateButton->setEnabled(false);
    VisualisationMenu->menuAction()->setEnabled(false);
    VisualiseButton->setEnabled(false);
    VerificationMenu->menuAction()->setEnabled(false);
    VerifyButton->setEnabled(false);
    FileSave1->setEnabled(false);
    FileSaveAsItem->setEnabled(false);
    SaveButton->setEnabled(false);
    MaxItem->setChecked(true);
    EntrelaceItem->setChecked(false);
    app_.session.semantics = quarvo::Semantics::Maximality;
    MaxItem->setEnabled(false);
    EntrelaceItem->setEnabled(false);
    UpdateStatus();
}

void TSDIAppForm::FileExit1Execute() { close(); }

void TSDIAppForm::Imprimer1Click() {
    if (!printer_) printer_ = std::make_unique<QPrinter>();
    QPrintDialog dialog(printer_.get(), this);
    if (dialog.exec() != QDialog::Accepted) return;
    printer_->setDocName("Fichier envoyé par QUARVO");
    Editor->print(printer_.get());
}

void TSDIAppForm::PrinterSetupClick() {
    if (!printer_) printer_ = std::make_unique<QPrinter>();
    QPageSetupDialog dialog(printer_.get(), this);
    dialog.exec();
}

// ---- Compilation and generation ------------------------------------------------------------

void TSDIAppForm::Compiler1Click() {
    if (stemShown_ || app_.session.busy) return;
    auto* splitter = static_cast<QSplitter*>(Editor->parentWidget());
    ShowMessages(true);
    splitter->setSizes({225, std::max(60, splitter->height() - 225)});
    emit app_.notifications.CompilationStarted();
    const quarvo::EditorLines lines(*Editor);
    quarvo::ListMessages messages(*MemoError);
    const quarvo::CompileOutcome outcome =
        quarvo::CompileSpecification(lines, app_.session.startDirectory, messages);
    if (!outcome.tables) {
        MemoError->addItem("Compilation terminée.");
        app_.dialogs.Tell(this, QMessageBox::Critical, kErrorCaption, FromStd(outcome.tables.message()));
    }
    if (outcome.ok()) {
        app_.session.compilation = outcome.compilation;
        SemEntre->setEnabled(true);
        GenerateMenu->menuAction()->setEnabled(true);
        GenerateButton->setEnabled(true);
        Fichierexterne1->setEnabled(false);
    } else {
        GenerateMenu->menuAction()->setEnabled(false);
        GenerateButton->setEnabled(false);
    }
    emit app_.notifications.Compiled(outcome.ok() ? FromStd(outcome.status) : QString());
}

void TSDIAppForm::SetBusy(bool busy) {
    // The progress dialogs are modal while the work runs, which blocks the menus,
    // the tool bar and the shortcuts; every command also checks busy.
    app_.session.busy = busy;
    TemplateStrip->setEnabled(!busy);
    Editor->setEnabled(!busy);
}

void TSDIAppForm::StemReplaced() {
    emit app_.notifications.StemReplaced();
    // The verdict of a comparison, and its trace, were about the STEM that goes.
    compareDialog_->ClearResult();
}

void TSDIAppForm::SemEntreClick() {
    if (app_.session.busy || !app_.session.compilation || !app_.session.compilation->compileOk) return;
    quarvo::GenerationSettings settings;
    settings.semantics = app_.session.semantics;
    settings.cpbrOff = app_.session.cpbrOff;
    settings.memoryLimit = app_.session.memoryLimitMb * 1024 * 1024;
    settings.threads = app_.session.threads;
    MemoError->setVisible(true);
    quarvo::ListMessages messages(*MemoError);
    quarvo::GenerationMonitor& dialog = app_.intents.GenerationProgress();
    SetBusy(true);
    // The old STEM goes away now: nothing may keep pointing into it.
    StemReplaced();
    app_.session.hasStem = false;
    EnableStemCommands(false);
    dialog.Start();
    messages.Clear();
    messages.Append(quarvo::GenerationRunningMessage);
    const quarvo::GenerationResult result =
        quarvo::GenerateStem(app_.session.compilation, settings, app_.session.stem, &dialog);
    if (result.abandoned) {
        dialog.Finish(0, 0);
        SetBusy(false);
        MemoError->addItem("Génération abandonnée : mémoire insuffisante.");
        app_.dialogs.Tell(this, QMessageBox::Critical, kErrorCaption,
                          "Mémoire insuffisante : la génération a été abandonnée.");
        return;
    }
    messages.Clear();
    for (const std::string& line : quarvo::GenerationSummaryLines(result)) messages.Append(line);
    app_.session.hasStem = true;
    app_.session.stemSemantics = settings.semantics;
    app_.session.stemFileName.clear();
    dialog.Figures(result);
    dialog.Finish(result.states, result.arcs);
    SetBusy(false);
    // The properties of actions apply to either system; CTL to the STEM only.
    VerificationMenu->menuAction()->setEnabled(true);
    if (settings.semantics == quarvo::Semantics::Maximality) VerifyButton->setEnabled(true);
    VisualisationMenu->menuAction()->setEnabled(true);
    VisualisationGraphique1->setEnabled(true);
    Simulation1->setEnabled(true);
    Overview1->setEnabled(true);
    VisualiseButton->setEnabled(true);
    Fichierexterne1->setEnabled(true);
    EnableStemCommands(true);
}

void TSDIAppForm::Fichierexterne1Click() {
    if (!app_.session.hasStem) return;
    const QString name = AskSaveName(QString(), kStemFilter, "STEM");
    if (name.isEmpty()) return;
    const quarvo::StemStore& stem = app_.session.stem;
    const quarvo::Status written = quarvo::WriteClassicStem(name.toStdString(), stem, stem.StemStateCount);
    if (!written) {
        app_.dialogs.Tell(this, QMessageBox::Critical, kErrorCaption, FromStd(written.message()));
        return;
    }
    ShowMessage(quarvo::WrittenMessage("STEM écrit", name));
}

void TSDIAppForm::OcamlClick() {
    app_.session.outputKind = quarvo::OutputKind::AlphaReduced;
    app_.intents.ChooseOutputFormat();
}

void TSDIAppForm::FichierGPM1Click() {
    app_.session.outputKind = quarvo::OutputKind::Gpm;
    app_.intents.RunGpmDirectly();
}

void TSDIAppForm::RegenererleSTEM1Click() {
    if (app_.session.busy) return;
    quarvo::StemReadMonitor& progress = app_.intents.RegenerationProgress();
    SetBusy(true);
    progress.Begin();
    quarvo::StemReadResult result;
    // The memory limit of the generation window stops the reading too.
    const std::int64_t memoryLimit = app_.session.memoryLimitMb * 1024 * 1024;
    // A STEM shown cut is read from its file, as a stream; any other from the editor.
    if (!stemFile_.isEmpty()) {
        result = quarvo::ReadClassicStemFile(stemFile_.toStdString(), &progress, memoryLimit);
    } else {
        const quarvo::EditorLines lines(*Editor);
        result = quarvo::ReadClassicStem(lines, &progress, memoryLimit);
    }
    SetBusy(false);
    progress.End();
    // The file could not be read, or memory ran out.
    if (result.ReadingFailed()) {
        app_.dialogs.Tell(this, QMessageBox::Critical, kErrorCaption, FromStd(result.status.message()));
        return;
    }
    if (!result.status) {
        app_.dialogs.Tell(this, QMessageBox::NoIcon, quarvo::StemReadErrorCaption,
                          FromStd(result.status.message()));
        return;
    }
    StemReplaced();
    // A STEM whose events ran out of names says so again, as its generation did.
    if (result.eventNamesExhausted) {
        MemoError->setVisible(true);
        MemoError->addItem(quarvo::EventNamesExhaustedWarning);
    }
    quarvo::AdoptRegeneratedStem(app_.session.stem, std::move(result.stem));
    app_.session.hasStem = true;
    app_.session.stemSemantics = quarvo::Semantics::Maximality;
    // The STEM shown is that of the file the editor shows (or, cut, reads).
    app_.session.stemFileName = !stemFile_.isEmpty() ? stemFile_.toStdString() : app_.session.documentPath;
    VerificationMenu->menuAction()->setEnabled(true);
    VerifyButton->setEnabled(true);
    VisualisationMenu->menuAction()->setEnabled(true);
    VisualisationGraphique1->setEnabled(true);
    Simulation1->setEnabled(true);
    Overview1->setEnabled(true);
    VisualiseButton->setEnabled(true);
    EnableStemCommands(true);
    app_.dialogs.Tell(this, QMessageBox::Information, quarvo::StemReadSuccessCaption, quarvo::StemReadSuccessText);
}

// ---- Settings ------------------------------------------------------------------------------

void TSDIAppForm::MaxItemClick() {
    VisualisationGraphique1->setEnabled(false);
    Simulation1->setEnabled(false);
    Overview1->setEnabled(false);
    VisualiseButton->setEnabled(false);
    VerificationMenu->menuAction()->setEnabled(false);
    VerifyButton->setEnabled(false);
    MaxItem->setChecked(true);
    EntrelaceItem->setChecked(false);
    const bool switched = app_.session.semantics != quarvo::Semantics::Maximality;
    app_.session.semantics = quarvo::Semantics::Maximality;
    UpdateStatus();
    if (switched) ShowMessage(MaximalityChosenMessage);
}

void TSDIAppForm::EntrelaceItemClick() {
    VisualiseButton->setEnabled(false);
    VerifyButton->setEnabled(false);
    VerificationMenu->menuAction()->setEnabled(false);
    VisualisationGraphique1->setEnabled(false);
    Simulation1->setEnabled(false);
    Overview1->setEnabled(false);
    Fichierexterne1->setEnabled(false);
    EntrelaceItem->setChecked(true);
    MaxItem->setChecked(false);
    const bool switched = app_.session.semantics != quarvo::Semantics::Interleaving;
    app_.session.semantics = quarvo::Semantics::Interleaving;
    UpdateStatus();
    if (switched) ShowMessage(InterleavingChosenMessage);
}

void TSDIAppForm::BissClick() {
    app_.session.cpbrOff = !Biss->isChecked();
    UpdateStatus();
}

// ---- Other windows -------------------------------------------------------------------------

void TSDIAppForm::explorationClick() {
    if (app_.session.hasStem) app_.intents.ShowExplorer();
}

void TSDIAppForm::VisualisationGraphique1Click() {
    if (app_.session.hasStem) app_.intents.DrawStem();
}

void TSDIAppForm::GenerationSettingsClick() {
    if (!app_.session.busy) app_.intents.ShowGenerationSettings();
}

void TSDIAppForm::Overview1Click() {
    if (app_.session.hasStem) app_.intents.ShowOverview();
}

void TSDIAppForm::Simulation1Click() {
    if (app_.session.hasStem) app_.intents.OpenSimulator();
}

void TSDIAppForm::VrificationLogiqueCTL1Click() {
    app_.intents.OpenChecker();
}

void TSDIAppForm::Proprietes1Click() {
    app_.intents.OpenProperties();
}

void TSDIAppForm::PolicesClick() {
    QFont font = Editor->font();
    if (app_.dialogs.ChooseFont(this, font)) Editor->setFont(font);
}

void TSDIAppForm::ArrierePlanClick() {
    QColor color = Editor->palette().color(QPalette::Base);
    if (!app_.dialogs.ChooseColor(this, color)) return;
    QPalette palette = Editor->palette();
    palette.setColor(QPalette::Base, color);
    Editor->setPalette(palette);
}

void TSDIAppForm::Rubriquesdaide1Click() {
    app_.intents.ShowHelp(app_.ProgramFile("Help/Help.html"));
}

void TSDIAppForm::APropos1Click() {
    app_.intents.ShowAbout();
}
