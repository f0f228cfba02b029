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

#include <cstring>
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

#include "app/CompareDialog.h"
#include "app/EditorLines.h"
#include "app/ReduceDialog.h"
#include "app/TaskProgress.h"
#include "app/LotosHighlighter.h"
#include "app/StandardExport.h"
#include "app/Templates.h"
#include "app/WidgetHelpers.h"
#include "frontend/TextFile.h"

using quarvo::AddCommand;
using quarvo::AddItem;
using quarvo::AddToolCommand;
using quarvo::SetHint;

namespace {

constexpr const char* kTitlePrefix = "QUARVO - Calvento - STEM Generator - ";
constexpr const char* kNewDocumentName = "Nouvelle spécification";

// The position in text of the character at a 1-based column of a compiler
// message. Columns count characters, the editor UTF-16 units: a character
// beyond the first 65536 takes two. A column past the end gives the end.
int CharacterColumnPosition(const QString& text, int column) {
    int position = 0;
    for (int c = 1; c < column && position < text.size(); ++c)
        position += text[position].isHighSurrogate() && position + 1 < text.size() && text[position + 1].isLowSurrogate()
                        ? 2
                        : 1;
    return position;
}

// The length of the token that starts at position in text: a name, a LOTOS
// operator of several characters, or a single character.
int TokenLength(const QString& text, int position) {
    if (position >= text.size()) return 0;
    auto nameChar = [&text](int i) { return text[i].isLetterOrNumber() || text[i] == '_'; };
    if (nameChar(position)) {
        int end = position;
        while (end < text.size() && nameChar(end)) ++end;
        return end - position;
    }
    for (const char* symbol : {"|||", "||", ":=", ">>", "[>"})
        if (QStringView(text).mid(position).startsWith(QLatin1String(symbol))) return static_cast<int>(std::strlen(symbol));
    return 1;
}

}  // namespace

TSDIAppForm::TSDIAppForm(quarvo::AppContext& app) : app_(app) {
    setWindowTitle("QUARVO");
    resize(700, 584);
    BuildEditor();
    BuildMenus();
    BuildToolBar();
    BuildTemplateStrip();
    BuildStatusBar();
    BuildEquivalenceDialogs();
    NameComponents();
    // Wide enough at first for every tool button, whatever the desktop's font.
    const int toolBarWidth = ToolBar1->sizeHint().width() + 2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 8;
    if (width() < toolBarWidth) resize(toolBarWidth, height());
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
        {FichierGPM1, "FichierGPM1"}, {RegenererleSTEM1, "RegenererleSTEM1"},
        {ComparerAvec1, "ComparerAvec1"}, {ReduireleSTEM1, "ReduireleSTEM1"}, {MaxItem, "MaxItem"},
        {EntrelaceItem, "EntrelaceItem"}, {Biss, "Biss"}, {exploration, "exploration"},
        {VisualisationGraphique1, "VisualisationGraphique1"}, {Simulation1, "Simulation1"}, {Overview1, "Overview1"}, {GenerationSettings1, "GenerationSettings1"}, {VrificationLogiqueCTL1, "VrificationLogiqueCTL1"},
        {Proprietes1, "Proprietes1"},
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
    // Parented to the document, which the editor owns.
    new quarvo::LotosHighlighter(Editor->document());
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
    FileNew1 = AddCommand(FileMenu, "&Nouvelle spécification LOTOS", this, &TSDIAppForm::FileNew1Execute,
                          QKeySequence("Ctrl+N"));
    OpenMenu = FileMenu->addMenu("&Ouvrir");
    FileOpen1 =
        AddCommand(OpenMenu, "Spécification LOTOS", this, &TSDIAppForm::FileOpen1Execute, QKeySequence("Ctrl+O"));
    OuvrirUnfichierSTEM1 = AddCommand(OpenMenu, "Fichier STE&M classique", this,
                                      &TSDIAppForm::OuvrirUnfichierSTEM1Click, QKeySequence("Ctrl+M"));
    FileSave1 = AddCommand(FileMenu, "&Enregistrer", this, &TSDIAppForm::FileSave1Execute, QKeySequence("Ctrl+S"));
    FileSaveAsItem = AddCommand(FileMenu, "Enregistrer &sous...", this, &TSDIAppForm::FileSaveAsItemClick);
    AddCommand(FileMenu, "Exporter en LOTOS standard…", this, [this] {
        if (stemShown_) return;
        quarvo::ExportStandardLotos(this, quarvo::EditorLines(*Editor), app_.session.startDirectory, app_.dialogs);
    })->setObjectName("ExportStandardItem");
    FileMenu->addSeparator();
    PrinterSetup1 = AddCommand(FileMenu, "&Configuration de l'impression...", this, &TSDIAppForm::PrinterSetupClick);
    Imprimer1 = AddCommand(FileMenu, "Im&primer...", this, &TSDIAppForm::Imprimer1Click, QKeySequence("Ctrl+P"));
    FileMenu->addSeparator();
    FileExit1 = AddCommand(FileMenu, "&Quitter", this, &TSDIAppForm::FileExit1Execute, QKeySequence("Ctrl+Q"));

    EditMenu = menuBar()->addMenu("&Edition");
    EditUndo1 = AddCommand(EditMenu, "&Annuler", Editor, &QPlainTextEdit::undo, QKeySequence("Ctrl+Z"));
    EditMenu->addSeparator();
    EditCut1 = AddCommand(EditMenu, "&Couper", Editor, &QPlainTextEdit::cut, QKeySequence("Ctrl+X"));
    EditCopy1 = AddCommand(EditMenu, "Co&pier", Editor, &QPlainTextEdit::copy, QKeySequence("Ctrl+C"));
    EditPaste1 = AddCommand(EditMenu, "C&oller", Editor, &QPlainTextEdit::paste, QKeySequence("Ctrl+V"));
    EditSelectAll1 =
        AddCommand(EditMenu, "&Tout sélectionner", Editor, &QPlainTextEdit::selectAll, QKeySequence("Ctrl+A"));

    GenerationMenu = menuBar()->addMenu("&Génération");
    Compiler1 = AddCommand(GenerationMenu, "Com&piler", this, &TSDIAppForm::Compiler1Click, QKeySequence("F5"));
    GenerateMenu = GenerationMenu->addMenu("&Générer");
    SemEntre = AddCommand(GenerateMenu, "&Structure interne", this, &TSDIAppForm::SemEntreClick, QKeySequence("F6"));
    Fichierexterne1 = AddCommand(GenerateMenu, "Fichier STEM &classique", this, &TSDIAppForm::Fichierexterne1Click);
    Ocaml = AddCommand(GenerateMenu, "Fichier STEM &alpha-réduit", this, &TSDIAppForm::OcamlClick);
    FichierGPM1 = AddCommand(GenerateMenu, "Fichier &GPM", this, &TSDIAppForm::FichierGPM1Click);
    RegenererleSTEM1 = AddCommand(GenerationMenu, "&Régénérer le STEM", this, &TSDIAppForm::RegenererleSTEM1Click);
    ComparerAvec1 = AddCommand(GenerationMenu, "C&omparer avec…", this, &TSDIAppForm::ComparerAvec1Click);
    ReduireleSTEM1 = AddCommand(GenerationMenu, "Ré&duire le STEM", this, &TSDIAppForm::ReduireleSTEM1Click);
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
    Biss = AddCommand(GenerationMenu, "Relation de bissimulation CP&BR", this, &TSDIAppForm::BissClick);
    Biss->setCheckable(true);
    GenerationSettings1 = AddCommand(GenerationMenu, "Ré&glages de la génération...", this,
                                     &TSDIAppForm::GenerationSettingsClick);

    VisualisationMenu = menuBar()->addMenu("&Visualisation");
    exploration =
        AddCommand(VisualisationMenu, "&Exploration", this, &TSDIAppForm::explorationClick, QKeySequence("Ctrl+E"));
    VisualisationGraphique1 = AddCommand(VisualisationMenu, "Visualisation &graphique", this,
                                         &TSDIAppForm::VisualisationGraphique1Click, QKeySequence("F7"));
    Simulation1 = AddCommand(VisualisationMenu, "&Simulation", this, &TSDIAppForm::Simulation1Click);
    Overview1 = AddCommand(VisualisationMenu, "Vue d'ensemble par &niveaux", this, &TSDIAppForm::Overview1Click);

    VerificationMenu = menuBar()->addMenu("&Vérification");
    VrificationLogiqueCTL1 = AddCommand(VerificationMenu, "&Vérification logique (CTL)", this,
                                        &TSDIAppForm::VrificationLogiqueCTL1Click, QKeySequence("F8"));
    Proprietes1 = AddCommand(VerificationMenu, "&Propriétés d'actions (mu-calcul)", this,
                             &TSDIAppForm::Proprietes1Click, QKeySequence("F9"));

    OptionsMenu = menuBar()->addMenu("&Options");
    EditorOptionsMenu = OptionsMenu->addMenu("&Editeur");
    Polices1 = AddCommand(EditorOptionsMenu, "&Polices...", this, &TSDIAppForm::PolicesClick);
    ArrierePlan1 = AddCommand(EditorOptionsMenu, "&Arrière-plan...", this, &TSDIAppForm::ArrierePlanClick);

    HelpMenu = menuBar()->addMenu("&Aide");
    Rubriquesdaide1 =
        AddCommand(HelpMenu, "Ai&de du module Calvento", this, &TSDIAppForm::Rubriquesdaide1Click, QKeySequence("F1"));
    APropos1 = AddCommand(HelpMenu, "&A propos...", this, &TSDIAppForm::APropos1Click);

    connect(MaxItem, &QAction::triggered, this, &TSDIAppForm::MaxItemClick);
    connect(EntrelaceItem, &QAction::triggered, this, &TSDIAppForm::EntrelaceItemClick);

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
        return AddToolCommand(ToolBar1, caption, hint, this, handler);
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
                         "|[...]|", "|||", "||", "hide ... in", ">>", "[>", "----- LOTOS standard",
                         "specification ... endspec", "process ... : noexit := ... endproc", "stop", "i;",
                         "choice g in [...] []", "par g in [...] |||"});
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

void TSDIAppForm::ShowMessage(const QString& text) {
    MemoError->setVisible(true);
    MemoError->addItem(text);
    MemoError->scrollToBottom();
}

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
    const bool maximality = app_.session.semantics == quarvo::Semantics::Maximality;
    if (!maximality) StatusPanel1->setText("ENTRE");
    else StatusPanel1->setText(Biss->isChecked() ? "MAX   CPBR" : "MAX");
    // The panel's abbreviations in words.
    if (!maximality)
        StatusPanel1->setToolTip("ENTRE : sémantique d'entrelacement. La génération produit un STE, système de "
                                 "transitions où les actions parallèles s'entrelacent ; la vérification CTL, qui "
                                 "porte sur un STEM, n'y est pas offerte.");
    else
        StatusPanel1->setToolTip(
            QString("MAX : sémantique de maximalité. La génération produit un STEM, système de transitions "
                    "étiquetées maximales, où chaque état garde les événements en cours.") +
            (Biss->isChecked() ? " CPBR : la relation de bissimulation CPBR réduit le STEM pendant la génération."
                               : ""));
    // The commands that only maximality offers follow the semantics shown,
    // whichever command changed it (a choice in the menu, a STEM file read back).
    // The properties of actions hold under both semantics; CTL only under maximality.
    VrificationLogiqueCTL1->setVisible(maximality);
    VerifyButton->setVisible(maximality);
    Biss->setVisible(maximality);
    exploration->setEnabled(maximality);
}

void TSDIAppForm::UpdateCurPos() {
    const QTextCursor cursor = Editor->textCursor();
    const int line = cursor.blockNumber() + 1;
    const int column = cursor.position() - cursor.block().position() + 1;
    StatusPanel2->setText(QString("Li: %1  Col: %2").arg(line).arg(column));
}

void TSDIAppForm::EditorChange() {
    // A marked error line no longer says anything once the text changes.
    Editor->setExtraSelections({});
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
    EnableStemCommands(false);
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
    static const QRegularExpression columnPattern("\\(colonne:(\\d+)\\)");
    const QRegularExpressionMatch match = linePattern.match(item->text());
    if (!match.hasMatch()) return;
    const int line = match.captured(1).toInt();
    const QTextBlock block = Editor->document()->findBlockByNumber(std::max(0, line - 1));
    if (!block.isValid()) return;
    // The whole line is highlighted; the offending token, when the message
    // gives its column, is selected, with the caret after it.
    QTextEdit::ExtraSelection lineMark;
    lineMark.format.setBackground(QColor(255, 236, 179));
    lineMark.format.setProperty(QTextFormat::FullWidthSelection, true);
    lineMark.cursor = QTextCursor(block);
    QList<QTextEdit::ExtraSelection> marks{lineMark};
    QTextCursor cursor(block);
    if (const QRegularExpressionMatch column = columnPattern.match(item->text()); column.hasMatch()) {
        const QString text = block.text();
        const int start = CharacterColumnPosition(text, column.captured(1).toInt());
        cursor.setPosition(block.position() + start);
        cursor.setPosition(block.position() + start + TokenLength(text, start), QTextCursor::KeepAnchor);
        QTextEdit::ExtraSelection tokenMark;
        tokenMark.format.setBackground(QColor(255, 138, 128));
        tokenMark.cursor = cursor;
        marks.append(tokenMark);
    }
    Editor->setExtraSelections(marks);
    Editor->setTextCursor(cursor);
    Editor->ensureCursorVisible();
    Editor->setFocus();
    Editor->setCursorWidth(2);
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
