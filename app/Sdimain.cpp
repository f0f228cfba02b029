// The main window: construction, the document commands and the availability of the commands.
#include "app/Sdimain.h"

#include <QActionGroup>
#include <QApplication>
#include <QPrinter>
#include <QCloseEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <utility>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QRegularExpression>
#include <QResizeEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTextBlock>

#include "app/EditorLines.h"
#include "app/Templates.h"
#include "app/WidgetHelpers.h"
#include "frontend/TextFile.h"

using quarvo::AddItem;
using quarvo::SetHint;

namespace {

constexpr const char* kTitlePrefix = "QUARVO - Calvento - STEM Generator - ";
constexpr const char* kNewDocumentName = "Nouvelle spécification";


}  // namespace

TSDIAppForm::TSDIAppForm(quarvo::AppContext& app) : app_(app) {
    setWindowTitle("QUARVO");
    resize(700, 584);
    BuildEditor();
    BuildMenus();
    BuildToolBar();
    BuildTemplateStrip();
    BuildStatusBar();
    NameComponents();
}

void TSDIAppForm::NameComponents() {
    const std::pair<QObject*, const char*> components[] = {
        {FileMenu, "FileMenu"}, {OpenMenu, "OpenMenu"}, {EditMenu, "EditMenu"},
        {GenerationMenu, "GenerationMenu"}, {GenerateMenu, "GenerateMenu"},
        {VisualisationMenu, "VisualisationMenu"}, {VerificationMenu, "VerificationMenu"},
        {OptionsMenu, "OptionsMenu"}, {EditorOptionsMenu, "EditorOptionsMenu"}, {HelpMenu, "HelpMenu"},
        {FileNew1, "FileNew1"}, {FileOpen1, "FileOpen1"}, {OuvrirUnfichierSTEM1, "OuvrirUnfichierSTEM1"},
        {FileSave1, "FileSave1"}, {FileSaveAsItem, "FileSaveAsItem"}, {PrinterSetup1, "PrinterSetup1"},
        {Imprimer1, "Imprimer1"}, {FileExit1, "FileExit1"}, {EditUndo1, "EditUndo1"}, {EditCut1, "EditCut1"},
        {EditCopy1, "EditCopy1"}, {EditPaste1, "EditPaste1"}, {EditSelectAll1, "EditSelectAll1"},
        {Compiler1, "Compiler1"}, {SemEntre, "SemEntre"}, {Fichierexterne1, "Fichierexterne1"}, {Ocaml, "Ocaml"},
        {FichierGPM1, "FichierGPM1"}, {RegenererleSTEM1, "RegenererleSTEM1"}, {MaxItem, "MaxItem"},
        {EntrelaceItem, "EntrelaceItem"}, {Biss, "Biss"}, {exploration, "exploration"},
        {VisualisationGraphique1, "VisualisationGraphique1"}, {VrificationLogiqueCTL1, "VrificationLogiqueCTL1"},
        {Polices1, "Polices1"}, {ArrierePlan1, "ArrierePlan1"}, {Rubriquesdaide1, "Rubriquesdaide1"},
        {APropos1, "APropos1"}, {ToolBar1, "ToolBar1"}, {NewButton, "NewButton"}, {OpenButton, "OpenButton"},
        {SaveButton, "SaveButton"}, {CutButton, "CutButton"}, {CopyButton, "CopyButton"},
        {PasteButton, "PasteButton"}, {CompileButton, "CompileButton"}, {GenerateButton, "GenerateButton"},
        {VisualiseButton, "VisualiseButton"}, {VerifyButton, "VerifyButton"}, {AboutButton, "AboutButton"},
        {QuitButton, "QuitButton"}, {TemplateStrip, "TemplateStrip"}, {ComboBox1, "ComboBox1"},
        {Editor, "Editor"}, {MemoError, "MemoError"}, {StatusPanel0, "StatusPanel0"},
        {StatusPanel1, "StatusPanel1"}, {StatusPanel2, "StatusPanel2"},
    };
    for (const auto& [component, name] : components) component->setObjectName(name);
}

void TSDIAppForm::BuildEditor() {
    Editor = new QPlainTextEdit(this);
    QFont font = quarvo::FixedPitchFont();
    Editor->setFont(font);
    Editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    Editor->setTabChangesFocus(false);
    Editor->setContextMenuPolicy(Qt::CustomContextMenu);

    MemoError = new QListWidget(this);
    QFont listFont("Verdana");
    if (!QFontDatabase::hasFamily("Verdana")) listFont = QApplication::font();
    MemoError->setFont(listFont);
    QPalette palette = MemoError->palette();
    palette.setColor(QPalette::Base, QColor(255, 251, 240));  // cream
    MemoError->setPalette(palette);
    MemoError->hide();

    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->setObjectName("EditorSplitter");
    splitter->addWidget(Editor);
    splitter->addWidget(MemoError);
    splitter->setStretchFactor(0, 1);
    splitter->setChildrenCollapsible(false);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    TemplateStrip = new QWidget(central);
    layout->addWidget(TemplateStrip);
    layout->addWidget(splitter, 1);
    setCentralWidget(central);

    // Files dropped on the editor are opened; dragged text keeps its usual behaviour.
    Editor->viewport()->installEventFilter(this);
    connect(Editor, &QPlainTextEdit::textChanged, this, [this] {
        if (!loading_) EditorChange();
    });
    connect(Editor, &QPlainTextEdit::cursorPositionChanged, this, &TSDIAppForm::UpdateCurPos);
    connect(MemoError, &QListWidget::itemDoubleClicked, this, &TSDIAppForm::MemoErrorDblClick);
}

void TSDIAppForm::BuildMenus() {
    FileMenu = menuBar()->addMenu("&Fichier");
    FileNew1 = AddItem(FileMenu, "&Nouvelle spécification LOTOS", QKeySequence("Ctrl+N"));
    OpenMenu = FileMenu->addMenu("&Ouvrir");
    FileOpen1 = AddItem(OpenMenu, "Spécification LOTOS", QKeySequence("Ctrl+O"));
    OuvrirUnfichierSTEM1 = AddItem(OpenMenu, "Fichier STE&M classique", QKeySequence("Ctrl+M"));
    FileSave1 = AddItem(FileMenu, "&Enregistrer", QKeySequence("Ctrl+S"));
    FileSaveAsItem = AddItem(FileMenu, "Enregistrer &sous...");
    FileMenu->addSeparator();
    PrinterSetup1 = AddItem(FileMenu, "&Configuration de l'impression...");
    Imprimer1 = AddItem(FileMenu, "Im&primer...", QKeySequence("Ctrl+P"));
    FileMenu->addSeparator();
    FileExit1 = AddItem(FileMenu, "&Quitter", QKeySequence("Ctrl+Q"));

    EditMenu = menuBar()->addMenu("&Edition");
    EditUndo1 = AddItem(EditMenu, "&Annuler", QKeySequence("Ctrl+Z"));
    EditMenu->addSeparator();
    EditCut1 = AddItem(EditMenu, "&Couper", QKeySequence("Ctrl+X"));
    EditCopy1 = AddItem(EditMenu, "Co&pier", QKeySequence("Ctrl+C"));
    EditPaste1 = AddItem(EditMenu, "C&oller", QKeySequence("Ctrl+V"));
    EditSelectAll1 = AddItem(EditMenu, "&Tout sélectionner", QKeySequence("Ctrl+A"));

    GenerationMenu = menuBar()->addMenu("&Génération");
    Compiler1 = AddItem(GenerationMenu, "Com&piler", QKeySequence("F5"));
    GenerateMenu = GenerationMenu->addMenu("&Générer");
    SemEntre = AddItem(GenerateMenu, "&Structure interne", QKeySequence("F6"));
    Fichierexterne1 = AddItem(GenerateMenu, "Fichier STEM &classique");
    Ocaml = AddItem(GenerateMenu, "Fichier STEM &alpha-réduit");
    FichierGPM1 = AddItem(GenerateMenu, "Fichier &GPM");
    RegenererleSTEM1 = AddItem(GenerationMenu, "&Régénérer le STEM");
    GenerationMenu->addSeparator();
    auto* semanticsGroup = new QActionGroup(this);
    MaxItem = AddItem(GenerationMenu, "Sémantique de Maximalité");
    MaxItem->setCheckable(true);
    MaxItem->setChecked(true);
    EntrelaceItem = AddItem(GenerationMenu, "Sémantique d'entrelacement");
    EntrelaceItem->setCheckable(true);
    semanticsGroup->addAction(MaxItem);
    semanticsGroup->addAction(EntrelaceItem);
    GenerationMenu->addSeparator();
    Biss = AddItem(GenerationMenu, "Relation de bissimulation CP&BR");
    Biss->setCheckable(true);

    VisualisationMenu = menuBar()->addMenu("&Visualisation");
    exploration = AddItem(VisualisationMenu, "&Exploration", QKeySequence("Ctrl+E"));
    VisualisationGraphique1 = AddItem(VisualisationMenu, "Visualisation &graphique", QKeySequence("F7"));

    VerificationMenu = menuBar()->addMenu("&Vérification");
    VrificationLogiqueCTL1 = AddItem(VerificationMenu, "&Vérification logique (CTL)", QKeySequence("F8"));

    OptionsMenu = menuBar()->addMenu("&Options");
    EditorOptionsMenu = OptionsMenu->addMenu("&Editeur");
    Polices1 = AddItem(EditorOptionsMenu, "&Polices...");
    ArrierePlan1 = AddItem(EditorOptionsMenu, "&Arrière-plan...");

    HelpMenu = menuBar()->addMenu("&Aide");
    Rubriquesdaide1 = AddItem(HelpMenu, "Ai&de du module Calvento", QKeySequence("F1"));
    APropos1 = AddItem(HelpMenu, "&A propos...");

    connect(FileNew1, &QAction::triggered, this, &TSDIAppForm::FileNew1Execute);
    connect(FileOpen1, &QAction::triggered, this, &TSDIAppForm::FileOpen1Execute);
    connect(OuvrirUnfichierSTEM1, &QAction::triggered, this, &TSDIAppForm::OuvrirUnfichierSTEM1Click);
    connect(FileSave1, &QAction::triggered, this, &TSDIAppForm::FileSave1Execute);
    connect(FileSaveAsItem, &QAction::triggered, this, &TSDIAppForm::FileSaveAsItemClick);
    connect(PrinterSetup1, &QAction::triggered, this, &TSDIAppForm::PrinterSetupClick);
    connect(Imprimer1, &QAction::triggered, this, &TSDIAppForm::Imprimer1Click);
    connect(FileExit1, &QAction::triggered, this, &TSDIAppForm::FileExit1Execute);
    connect(EditUndo1, &QAction::triggered, Editor, &QPlainTextEdit::undo);
    connect(EditCut1, &QAction::triggered, Editor, &QPlainTextEdit::cut);
    connect(EditCopy1, &QAction::triggered, Editor, &QPlainTextEdit::copy);
    connect(EditPaste1, &QAction::triggered, Editor, &QPlainTextEdit::paste);
    connect(EditSelectAll1, &QAction::triggered, Editor, &QPlainTextEdit::selectAll);
    connect(Compiler1, &QAction::triggered, this, &TSDIAppForm::Compiler1Click);
    connect(SemEntre, &QAction::triggered, this, &TSDIAppForm::SemEntreClick);
    connect(Fichierexterne1, &QAction::triggered, this, &TSDIAppForm::Fichierexterne1Click);
    connect(Ocaml, &QAction::triggered, this, &TSDIAppForm::OcamlClick);
    connect(FichierGPM1, &QAction::triggered, this, &TSDIAppForm::FichierGPM1Click);
    connect(RegenererleSTEM1, &QAction::triggered, this, &TSDIAppForm::RegenererleSTEM1Click);
    connect(MaxItem, &QAction::triggered, this, &TSDIAppForm::MaxItemClick);
    connect(EntrelaceItem, &QAction::triggered, this, &TSDIAppForm::EntrelaceItemClick);
    connect(Biss, &QAction::triggered, this, &TSDIAppForm::BissClick);
    connect(exploration, &QAction::triggered, this, &TSDIAppForm::explorationClick);
    connect(VisualisationGraphique1, &QAction::triggered, this, &TSDIAppForm::VisualisationGraphique1Click);
    connect(VrificationLogiqueCTL1, &QAction::triggered, this, &TSDIAppForm::VrificationLogiqueCTL1Click);
    connect(Polices1, &QAction::triggered, this, &TSDIAppForm::PolicesClick);
    connect(ArrierePlan1, &QAction::triggered, this, &TSDIAppForm::ArrierePlanClick);
    connect(Rubriquesdaide1, &QAction::triggered, this, &TSDIAppForm::Rubriquesdaide1Click);
    connect(APropos1, &QAction::triggered, this, &TSDIAppForm::APropos1Click);

    // The editor's pop-up menu, at the pointer.
    auto* popup = new QMenu(this);
    popup->addAction(EditUndo1);
    popup->addSeparator();
    popup->addAction(EditCut1);
    popup->addAction(EditCopy1);
    popup->addAction(EditPaste1);
    popup->addAction(EditSelectAll1);
    connect(Editor, &QWidget::customContextMenuRequested, this,
            [this, popup](const QPoint& pos) { popup->popup(Editor->viewport()->mapToGlobal(pos)); });
}

void TSDIAppForm::BuildToolBar() {
    ToolBar1 = addToolBar("ToolBar1");
    ToolBar1->setMovable(false);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ToolBar1->setIconSize(QSize(20, 20));
    auto button = [this](const QString& caption, const QString& hint, auto handler) {
        QAction* action = ToolBar1->addAction(caption);
        SetHint(action, hint);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    NewButton = button("Nouveau", "Nouveau (Ctrl+N)|Nouvelle spécification LOTOS", &TSDIAppForm::FileNew1Execute);
    OpenButton = button("Ouvrir", "Ouvrir (Ctrl+O)|Ouvrir une spécification LOTOS", &TSDIAppForm::FileOpen1Execute);
    SaveButton = button("Enregistrer", "Enregistrer (Ctrl+S)|Enregistrer la spécification",
                        &TSDIAppForm::FileSave1Execute);
    ToolBar1->addSeparator();
    CutButton = ToolBar1->addAction("Couper");
    SetHint(CutButton, "Couper (Ctrl+X)|Couper la sélection");
    connect(CutButton, &QAction::triggered, Editor, &QPlainTextEdit::cut);
    CopyButton = ToolBar1->addAction("Copier");
    SetHint(CopyButton, "Copier (Ctrl+C)|Copier la sélection");
    connect(CopyButton, &QAction::triggered, Editor, &QPlainTextEdit::copy);
    PasteButton = ToolBar1->addAction("Coller");
    SetHint(PasteButton, "Coller (Ctrl+V)|Coller le contenu du presse-papiers");
    connect(PasteButton, &QAction::triggered, Editor, &QPlainTextEdit::paste);
    ToolBar1->addSeparator();
    CompileButton = button("Compiler", "Compiler (F5)|Compiler une spécification LOTOS", &TSDIAppForm::Compiler1Click);
    GenerateButton = button("&Générer", "Générer (F6)|Générer l'STE ou le STEM", &TSDIAppForm::SemEntreClick);
    VisualiseButton = button("Vis&ualiser", "Visualiser (F7)|Visualisation graphique de l'STE ou le STEM généré",
                             &TSDIAppForm::VisualisationGraphique1Click);
    VerifyButton = button("&Vérifier", "Vérifier (F8)|Vérifier une propriété CTL sur le STEM",
                          &TSDIAppForm::VrificationLogiqueCTL1Click);
    ToolBar1->addSeparator();
    AboutButton = button("A propos", "A propos|A propos de QUARVO", &TSDIAppForm::APropos1Click);
    // The quit button closes the window like "&Quitter", so the save prompt is asked.
    QuitButton = button("Quitter", "Quitter (Ctrl+Q)|Quitter l'application", &TSDIAppForm::FileExit1Execute);

    // Pictures from the desktop's theme, or the style's own where the theme has none.
    const auto icon = [this](QAction* action, const char* themeName, QStyle::StandardPixmap fallback) {
        action->setIcon(QIcon::fromTheme(themeName, style()->standardIcon(fallback)));
    };
    // The style has no picture for the clipboard: those buttons show their text alone without a theme.
    const auto themeIcon = [](QAction* action, const char* themeName) { action->setIcon(QIcon::fromTheme(themeName)); };
    icon(NewButton, "document-new", QStyle::SP_FileIcon);
    icon(OpenButton, "document-open", QStyle::SP_DialogOpenButton);
    icon(SaveButton, "document-save", QStyle::SP_DialogSaveButton);
    themeIcon(CutButton, "edit-cut");
    themeIcon(CopyButton, "edit-copy");
    themeIcon(PasteButton, "edit-paste");
    icon(CompileButton, "system-run", QStyle::SP_DialogApplyButton);
    icon(GenerateButton, "media-playback-start", QStyle::SP_MediaPlay);
    icon(VisualiseButton, "zoom-in", QStyle::SP_FileDialogContentsView);
    icon(VerifyButton, "dialog-ok", QStyle::SP_DialogYesButton);
    icon(AboutButton, "help-about", QStyle::SP_MessageBoxInformation);
    icon(QuitButton, "application-exit", QStyle::SP_DialogCloseButton);
}

void TSDIAppForm::BuildTemplateStrip() {
    auto* layout = new QHBoxLayout(TemplateStrip);
    layout->setContentsMargins(6, 3, 6, 3);
    auto* label = new QLabel("Insertion automatique", TemplateStrip);
    ComboBox1 = new QComboBox(TemplateStrip);
    ComboBox1->setToolTip("Insertion automatique");
    ComboBox1->addItems({"system ... endsys", "process ... endproc", "where", "-----", "nil", "exit", "[]",
                         "|[...]|", "|||", "||", "hide ... in", ">>", "[>"});
    ComboBox1->setCurrentIndex(-1);
    layout->addWidget(label);
    layout->addWidget(ComboBox1);
    layout->addStretch();
    connect(ComboBox1, &QComboBox::activated, this, &TSDIAppForm::ComboBox1Click);
}

void TSDIAppForm::BuildStatusBar() {
    StatusPanel0 = new QLabel(this);
    // A long hint must not widen the window: the panel takes the width it is given.
    StatusPanel0->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    StatusPanel1 = new QLabel("MAX", this);
    StatusPanel1->setMinimumWidth(75);
    StatusPanel2 = new QLabel("Li: 1  Col: 1", this);
    StatusPanel2->setMinimumWidth(50);
    statusBar()->addWidget(StatusPanel0, 1);
    statusBar()->addPermanentWidget(StatusPanel1);
    statusBar()->addPermanentWidget(StatusPanel2);
}

void TSDIAppForm::init_main() {
    SetTitle(kNewDocumentName);
    GenerationMenu->menuAction()->setEnabled(true);
    CompileButton->setEnabled(true);
    WithdrawLaterCommands();
    Fichierexterne1->setEnabled(false);
    hasFileName = false;
    Editor->document()->setModified(false);
    FileSaveAsItem->setEnabled(true);
    app_.session.semantics = quarvo::Semantics::Maximality;
    app_.session.cpbrOff = true;
    UpdateStatus();
    Editor->setFocus();
}

void TSDIAppForm::SetTitle(const QString& name) { setWindowTitle(kTitlePrefix + name); }

void TSDIAppForm::ShowHint(const QString& text) { StatusPanel0->setText(text); }

void TSDIAppForm::ToolChainResultShown() { Ocaml->setEnabled(true); }

bool TSDIAppForm::Modified() const { return Editor->document()->isModified(); }

bool TSDIAppForm::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        ShowHint(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

bool TSDIAppForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Editor->viewport() && (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove ||
                                          event->type() == QEvent::Drop)) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QList<QUrl> urls = drop->mimeData()->urls();
        if (urls.size() == 1 && urls.front().isLocalFile()) {
            drop->acceptProposedAction();
            if (event->type() == QEvent::Drop) {
                const QString path = urls.front().toLocalFile();
                // After the drop has ended: opening may ask questions in modal boxes.
                QTimer::singleShot(0, this, [this, path] { OpenDroppedFile(path); });
            }
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TSDIAppForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    // A maximum, not a fixed width, so that the window can still be made narrower.
    StatusPanel0->setMaximumWidth(std::max(0, event->size().width() - 200));
}

void TSDIAppForm::UpdateStatus() {
    if (app_.session.semantics == quarvo::Semantics::Interleaving) StatusPanel1->setText("ENTRE");
    else StatusPanel1->setText(Biss->isChecked() ? "MAX   CPBR" : "MAX");
}

void TSDIAppForm::UpdateCurPos() {
    const QTextCursor cursor = Editor->textCursor();
    const int line = cursor.blockNumber() + 1;
    const int column = cursor.position() - cursor.block().position() + 1;
    StatusPanel2->setText(QString("Li: %1  Col: %2").arg(line).arg(column));
}

void TSDIAppForm::EditorChange() {
    GenerationMenu->menuAction()->setEnabled(true);
    CompileButton->setEnabled(true);
    WithdrawLaterCommands();
    FileSaveAsItem->setEnabled(true);
    CloseGraph();
    UpdateCurPos();
}

void TSDIAppForm::WithdrawLaterCommands() {
    GenerateMenu->menuAction()->setEnabled(false);
    GenerateButton->setEnabled(false);
    RegenererleSTEM1->setEnabled(false);
    VisualisationMenu->menuAction()->setEnabled(false);
    VisualiseButton->setEnabled(false);
    VerificationMenu->menuAction()->setEnabled(false);
    VerifyButton->setEnabled(false);
}

void TSDIAppForm::CloseGraph() {
    app_.intents.CloseGraph();
}

void TSDIAppForm::SetEditorText(const QString& text) {
    loading_ = true;
    Editor->setPlainText(text);
    loading_ = false;
    Editor->document()->setModified(false);
    UpdateCurPos();
}

void TSDIAppForm::ShowMessages(bool show) {
    MemoError->clear();
    MemoError->setVisible(show);
}

void TSDIAppForm::MemoErrorDblClick(QListWidgetItem* item) {
    static const QRegularExpression linePattern("\\(ligne:(\\d+)\\)");
    const QRegularExpressionMatch match = linePattern.match(item->text());
    if (!match.hasMatch()) return;
    const int line = match.captured(1).toInt();
    const QTextBlock block = Editor->document()->findBlockByNumber(std::max(0, line - 1));
    if (!block.isValid()) return;
    QTextCursor cursor(block);
    Editor->setTextCursor(cursor);
    Editor->setFocus();
}

void TSDIAppForm::closeEvent(QCloseEvent* event) {
    // A running generation or regeneration owns the STEM until it ends.
    if (app_.session.busy) {
        event->ignore();
        return;
    }
    if (Modified() && !SavePrompt(true)) {
        event->ignore();
        return;
    }
    // The program ends with this window: a formula with unsaved changes gets its own prompt.
    if (!app_.intents.ConfirmFormulaSaved()) {
        event->ignore();
        return;
    }
    event->accept();
    emit Closed();
}

void TSDIAppForm::ComboBox1Click(int index) {
    if (const std::optional<QString> text = quarvo::TemplateText(index, app_.dialogs, this)) {
        // Replaces the selection; an edit of the document like any other.
        Editor->insertPlainText(*text);
    }
    Editor->setFocus();
}
