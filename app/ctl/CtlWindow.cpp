// The CTL checker window: construction, the formula document and the compile, verify and diagnostic commands.
#include "app/ctl/CtlWindow.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTextBlock>

#include "app/FileLocations.h"
#include "app/WidgetHelpers.h"
#include "ctl/CtlParser.h"
#include "app/ctl/CtlProgress.h"
#include "frontend/TextFile.h"

using quarvo::AddCommand;
using quarvo::AddToolCommand;

namespace {

constexpr const char* kCtlFilter = "Fichiers CTL (*.CTL)|*.CTL|Tous les fichiers (*.*)|*.*";
constexpr const char* kErrorCaption = "Erreur!";

QString FromStd(const std::string& text) { return QString::fromStdString(text); }


}  // namespace

TForm5::TForm5(quarvo::AppContext& app) : app_(app) {
    setObjectName("Form5");
    setWindowTitle("QUARVO - Calvento - CTL-STEM Checker");
    resize(560, 380);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    QFont font = quarvo::FixedPitchFont();
    Memo1->setFont(font);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setCentralWidget(Memo1);
    Memo1->setPlaceholderText("Tapez une formule CTL, par exemple A G (E X TRUE), ou choisissez-en une dans le "
                              "menu Exemples.");
    connect(Memo1, &QPlainTextEdit::textChanged, this, [this] {
        if (!loading_) Memo1Change();
    });

    BuildMenus();
    BuildToolBar();

    Status = new QLabel(this);
    Status->setObjectName("Status");
    Status->setMinimumWidth(50);
    statusBar()->addWidget(Status, 1);

    SetVerifyEnabled(false);
    SetDiagnosticEnabled(false);
}

void TForm5::BuildMenus() {
    Fichier1 = menuBar()->addMenu("&Fichier");
    Nouvellespcification1 = AddCommand(Fichier1, "&Nouvelle formule CTL", this, &TForm5::Nouvellespcification1Click,
                                       QKeySequence("Ctrl+N"));
    Ouvrir1 = AddCommand(Fichier1, "&Ouvrir une formule CTL", this, &TForm5::Ouvrir1Click, QKeySequence("Ctrl+O"));
    Enregistrer1 = AddCommand(Fichier1, "&Enregistrer", this, &TForm5::Enregistrer1Click, QKeySequence("Ctrl+S"));
    Enregistrersous1 = AddCommand(Fichier1, "Enregistrer &sous...", this, &TForm5::Enregistrersous1Click);
    Fichier1->addSeparator();
    quitter1 = AddCommand(Fichier1, "&Quitter", this, &TForm5::quitter1Click);

    Analyse1 = menuBar()->addMenu("&Analyse");
    Compiler1 = AddCommand(Analyse1, "&Compiler", this, &TForm5::Compiler1Click, QKeySequence(Qt::Key_F5));
    Verifier1 =
        AddCommand(Analyse1, "&Verifier (Model-Checking)", this, &TForm5::Verifier1Click, QKeySequence(Qt::Key_F8));
    Diagnostic1 = AddCommand(Analyse1, "&Diagnostic", this, &TForm5::Diagnostic1Click, QKeySequence("Ctrl+D"));

    Exemples1 = menuBar()->addMenu("E&xemples");
    Exemples1->setObjectName("Exemples1");
    connect(Exemples1, &QMenu::aboutToShow, this, &TForm5::FillExamples);
    FillExamples();

    Options1 = menuBar()->addMenu("&Options");
    Editeur1 = Options1->addMenu("&Editeur");
    Police1 = AddCommand(Editeur1, "&Police...", this, &TForm5::Police1Click);
    Arrireplan1 = AddCommand(Editeur1, "&Arrière-plan...", this, &TForm5::Arrireplan1Click);
}

void TForm5::BuildToolBar() {
    ToolBar1 = addToolBar("ToolBar1");
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setMovable(false);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto button = [this](const QString& caption, const QString& hint, void (TForm5::*handler)()) {
        return AddToolCommand(ToolBar1, caption, hint, this, handler);
    };
    ToolButton1 = button("&Nouveau", "Nouvelle formule CTL (Ctrl+N)|Créer une nouvelle formule CTL",
                         &TForm5::Nouvellespcification1Click);
    ToolButton2 = button("&Ouvrir", "Ouvrir une formule CTL (Ctrl+O)|Ouvrir une formule CTL existante sur disque",
                         &TForm5::Ouvrir1Click);
    ToolButton3 = button("&Enregistrer", "Enregistrer la formule CTL (Ctrl+S)|Enregistrer la formule CTL sur disque",
                         &TForm5::Enregistrer1Click);
    ToolBar1->addSeparator();
    ToolButton5 = button("&Compiler", "Compiler la spécification CTL (F5)|Compiler la spécification CTL",
                         &TForm5::Compiler1Click);
    ToolButton6 = button("&Vérifier", "Vérifier la propriété CTL sur le STEM (F8)|Vérifier la propriété sur le STEM",
                         &TForm5::Verifier1Click);
    ToolButton7 = button("&Diagnostic", "Résultats et Diagnostic (Ctrl+D)|Afficher le diagnostic",
                         &TForm5::Diagnostic1Click);
}

// ---- Availability of the commands ----------------------------------------------------------

void TForm5::SetCompileEnabled(bool enabled) {
    Compiler1->setEnabled(enabled);
    ToolButton5->setEnabled(enabled);
}

void TForm5::SetVerifyEnabled(bool enabled) {
    Verifier1->setEnabled(enabled);
    ToolButton6->setEnabled(enabled);
}

void TForm5::SetDiagnosticEnabled(bool enabled) {
    Diagnostic1->setEnabled(enabled);
    ToolButton7->setEnabled(enabled);
}

void TForm5::SetSaveEnabled(bool enabled) {
    Enregistrer1->setEnabled(enabled);
    ToolButton3->setEnabled(enabled);
}

// ---- Showing, hints, closing ---------------------------------------------------------------

void TForm5::OpenNewFormula() {
    show();
    raise();
    activateWindow();
    // The question is asked over the window, so the user sees which text it is about.
    if (ctlModified && !AskSave()) return;
    CloseDiagnostic();
    SetMemoText(QString());
    ctlModified = false;
    ctlHasFileName = false;
    ctlIsNew = true;
    SetCompileEnabled(false);
    SetVerifyEnabled(false);
    SetDiagnosticEnabled(false);
    Memo1->setFocus();
}

void TForm5::StemChanged() {
    CloseDiagnostic();
    SetDiagnosticEnabled(false);
    app_.session.ctl.DropLabels();
    // The warning was about the STEM going away.
    ClearWarning();
}

void TForm5::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (centred_) return;
    centred_ = true;
    if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
}

bool TForm5::event(QEvent* event) {
    // While this window is active its hints go to its own status line and the
    // main window's hint panel is emptied; otherwise they go to that panel.
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        if (isActiveWindow()) {
            // When no hint is shown, the warning of the last verification stays in view.
            Status->setText(tip.isEmpty() ? warning_ : tip);
            emit app_.notifications.HintShown(QString());
        } else {
            emit app_.notifications.HintShown(tip);
        }
        return true;
    }
    return QMainWindow::event(event);
}

void TForm5::closeEvent(QCloseEvent* event) {
    // The window is hidden whatever the answer; its text stays until the main
    // window opens it again.
    if (AskSave()) CloseDiagnostic();
    event->accept();
}

void TForm5::CloseDiagnostic() {
    app_.intents.CloseDiagnostic();
}

// ---- The formula document ------------------------------------------------------------------

std::vector<std::string> TForm5::MemoLines() const {
    std::vector<std::string> lines;
    if (Memo1->document()->isEmpty()) return lines;
    for (QTextBlock block = Memo1->document()->begin(); block.isValid(); block = block.next())
        lines.push_back(block.text().toStdString());
    return lines;
}

bool TForm5::WriteMemoTo(const QString& path) {
    const quarvo::Status written =
        quarvo::WriteFileAtomically(path.toStdString(), quarvo::EncodeLinesWindows1252(MemoLines()));
    if (written) {
        const QString message = quarvo::WrittenMessage("Formule écrite", path);
        statusBar()->showMessage(message, 10000);
        emit app_.notifications.MessageShown(message);
        return true;
    }
    app_.dialogs.Tell(this, QMessageBox::Critical, kErrorCaption, FromStd(written.message()));
    return false;
}

QString TForm5::AskFormulaSaveName() {
    const QString name =
        app_.dialogs.SaveFileName(this, QString(), kCtlFilter, "CTL", quarvo::ProposedPath(app_.session, "CTL"));
    quarvo::RememberFolder(app_.session, name);
    return name;
}

void TForm5::SetMemoText(const QString& text) {
    loading_ = true;
    Memo1->setPlainText(text);
    loading_ = false;
    ClearWarning();
}

void TForm5::ShowWarning(const QString& warning) {
    warning_ = warning;
    Status->setText(warning);
}

void TForm5::ClearWarning() {
    if (warning_.isEmpty()) return;
    warning_.clear();
    Status->clear();
}

bool TForm5::AskSave() {
    if (!ctlModified) return true;
    if (!ctlHasFileName && !ctlIsNew) return true;
    const QString question = ctlHasFileName ? "Enregistrer les modifications de la formule « " +
                                                  QFileInfo(ctlFileName).fileName() + " » ?"
                                            : QString("Enregistrer les modifications de la nouvelle formule CTL ?");
    const auto answer = app_.dialogs.Ask(this, QMessageBox::Question, "Enregistrer...", question,
                                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::No) return true;
    if (answer != QMessageBox::Yes) return false;
    if (ctlHasFileName) return WriteMemoTo(ctlFileName);
    const QString name = AskFormulaSaveName();
    // A failed write stops as well: going on would lose the text.
    return !name.isEmpty() && WriteMemoTo(name);
}

bool TForm5::AskSaveBeforeQuitting() {
    if (!AskSave()) return false;
    ctlModified = false;
    return true;
}

void TForm5::Memo1Change() {
    // The warning of the last verification was about the text before the change.
    ClearWarning();
    SetCompileEnabled(true);
    SetSaveEnabled(true);
    Enregistrersous1->setEnabled(true);
    ctlModified = true;
    SetVerifyEnabled(false);
    SetDiagnosticEnabled(false);
}

void TForm5::Nouvellespcification1Click() {
    if (!AskSave()) return;
    SetMemoText(QString());
    SetSaveEnabled(false);
    Enregistrersous1->setEnabled(true);
    quitter1->setEnabled(true);
    Nouvellespcification1->setEnabled(true);
    SetCompileEnabled(false);
    SetVerifyEnabled(false);
    SetDiagnosticEnabled(false);
    ctlHasFileName = false;
    ctlIsNew = true;
    ctlModified = false;
}

void TForm5::Ouvrir1Click() {
    if (!AskSave()) return;
    const QString name =
        app_.dialogs.OpenFileName(this, QString(), kCtlFilter, quarvo::DialogFolder(app_.session));
    quarvo::RememberFolder(app_.session, name);
    if (name.isEmpty()) return;
    if (!QFileInfo(name).isFile()) {
        app_.dialogs.Tell(this, QMessageBox::Critical, kErrorCaption, "Fichier inexistant, ou extension incorrecte!");
        return;
    }
    const quarvo::TextFileResult file = quarvo::ReadTextFile(name.toStdString());
    if (!file.status) {
        app_.dialogs.Tell(this, QMessageBox::Critical, kErrorCaption, FromStd(file.status.message()));
        return;
    }
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(file.lines.size()));
    for (const std::string& line : file.lines) lines << FromStd(line);
    SetMemoText(lines.join('\n'));
    ctlFileName = name;
    SetSaveEnabled(true);
    Enregistrersous1->setEnabled(true);
    Nouvellespcification1->setEnabled(true);
    SetCompileEnabled(true);
    SetVerifyEnabled(false);
    SetDiagnosticEnabled(false);
    ctlHasFileName = true;
    ctlIsNew = false;
    ctlModified = false;
}

void TForm5::Enregistrer1Click() {
    if (ctlHasFileName) {
        if (WriteMemoTo(ctlFileName)) ctlModified = false;
        return;
    }
    if (ctlIsNew) Enregistrersous1Click();
}

void TForm5::Enregistrersous1Click() {
    const QString name = AskFormulaSaveName();
    if (name.isEmpty() || !WriteMemoTo(name)) return;
    ctlFileName = name;
    ctlModified = false;
    ctlIsNew = false;
    ctlHasFileName = true;
}

void TForm5::quitter1Click() { close(); }

// ---- Compile, verify, diagnostic -----------------------------------------------------------

void TForm5::Compiler1Click() {
    // The diagnostic shows the formula being replaced.
    CloseDiagnostic();
    const std::vector<std::string> lines = MemoLines();
    const quarvo::VectorLineSource source(lines);
    const quarvo::FormulaCompileResult result = app_.session.ctl.Compile(source);
    if (!result.tables) {
        // Nothing was parsed: the previous formula and its labels are kept.
        app_.dialogs.Tell(this, QMessageBox::Critical, kErrorCaption, FromStd(result.tables.message()));
        return;
    }
    // The labels of the previous formula are gone, whatever the outcome, and
    // with them the warning of its verification.
    SetDiagnosticEnabled(false);
    ClearWarning();
    if (!result.ok()) {
        // An empty text is one of these errors too.
        app_.dialogs.Tell(this, QMessageBox::Warning, quarvo::FormulaErrorCaption, FromStd(result.Message()));
        SetVerifyEnabled(false);
        return;
    }
    app_.dialogs.Tell(this, QMessageBox::Information, quarvo::FormulaCompiledCaption,
                      quarvo::FormulaCompiledMessage);
    SetVerifyEnabled(true);
}

void TForm5::Verifier1Click() {
    quarvo::Session& session = app_.session;
    if (!session.ctl.HasFormula()) return;
    // While a generation runs the store is being rebuilt: there is no STEM to check.
    if (session.busy || !session.hasStem) {
        app_.dialogs.Tell(this, QMessageBox::Warning, quarvo::VerdictCaption,
                          quarvo::VerdictMessage(quarvo::Verdict::NoStem));
        return;
    }
    if (session.stemSemantics == quarvo::Semantics::Interleaving) {
        // CTL atoms speak of maximal events, which an STE has not: a verdict
        // there would mean nothing. The action logic checks the STE.
        if (app_.dialogs.Ask(this, QMessageBox::Information, quarvo::VerdictCaption, kInterleavingRefusal,
                             QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
            app_.intents.OpenProperties();
        return;
    }
    if (!progress_) progress_ = new TForm8(this);
    progress_->Begin();
    const quarvo::Verdict verdict = session.ctl.Verify(session.stem);
    progress_->End();
    const bool labelled = verdict == quarvo::Verdict::Verified || verdict == quarvo::Verdict::NotVerified;
    // An atom that names no action of the STEM holds nowhere: most likely a
    // misspelt or hidden action. The verdict stands; the box gives the warning
    // on the line before it, as calvento check does, and the status line keeps it.
    const QString warning = FromStd(session.ctl.Warning());
    ShowWarning(warning);
    const QString verdictText = QString::fromUtf8(quarvo::VerdictMessage(verdict));
    app_.dialogs.Tell(this, labelled && warning.isEmpty() ? QMessageBox::NoIcon : QMessageBox::Warning,
                      quarvo::VerdictCaption, warning.isEmpty() ? verdictText : warning + "\n" + verdictText);
    SetDiagnosticEnabled(labelled);
}

void TForm5::Diagnostic1Click() {
    if (!Diagnostic1->isEnabled()) return;
    app_.intents.OpenDiagnostic();
}

void TForm5::Police1Click() {
    QFont font = Memo1->font();
    if (app_.dialogs.ChooseFont(this, font)) Memo1->setFont(font);
}

void TForm5::Arrireplan1Click() {
    QPalette palette = Memo1->palette();
    QColor color = palette.color(QPalette::Base);
    if (!app_.dialogs.ChooseColor(this, color)) return;
    palette.setColor(QPalette::Base, color);
    Memo1->setPalette(palette);
}
