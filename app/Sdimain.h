// The main window: the specification editor, its commands and the generation settings.
#pragma once

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QToolBar>

#include <memory>

class QPrinter;

#include "app/AppContext.h"

namespace quarvo {
class CompareDialog;
class ReduceDialog;
class TaskProgressDialog;
}  // namespace quarvo

class TSDIAppForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TSDIAppForm(quarvo::AppContext& app);
    ~TSDIAppForm() override;

    // The state of an untitled document that is not compiled (called once the other windows exist).
    void init_main();

    // "QUARVO - Calvento - STEM Generator - " + name.
    void SetTitle(const QString& name);
    // The long part of a hint, in status panel 0.
    void ShowHint(const QString& text);
    // A line added at the end of the message list, which shows.
    void ShowMessage(const QString& text);

    // A tool-chain result has been shown: "Fichier STEM &alpha-réduit" can produce it again.
    void ToolChainResultShown();

    // The document.
    const QString& CurrentFileName() const { return currentFileName; }
    bool HasFileName() const { return hasFileName; }
    bool Modified() const;

    // Commands.
    void FileNew1Execute();
    void FileOpen1Execute();
    void OuvrirUnfichierSTEM1Click();
    bool FileSave1Execute();
    void FileSaveAsItemClick();
    void Imprimer1Click();
    void PrinterSetupClick();
    void FileExit1Execute();
    void Compiler1Click();
    void SemEntreClick();
    void Fichierexterne1Click();
    void OcamlClick();
    void FichierGPM1Click();
    void RegenererleSTEM1Click();
    // "Comparer avec…": the comparison dialog, beside the main window.
    void ComparerAvec1Click();
    // "Réduire le STEM": the current STEM replaced by its quotient.
    void ReduireleSTEM1Click();
    void MaxItemClick();
    void EntrelaceItemClick();
    void BissClick();
    void explorationClick();
    void VisualisationGraphique1Click();
    void Simulation1Click();
    void Overview1Click();
    void GenerationSettingsClick();
    void VrificationLogiqueCTL1Click();
    void Proprietes1Click();
    void PolicesClick();
    void ArrierePlanClick();
    void Rubriquesdaide1Click();
    void APropos1Click();
    void ComboBox1Click(int index);
    void MemoErrorDblClick(QListWidgetItem* item);

    // Loads a specification file as "&Ouvrir" does after its dialog; false when it could not be read.
    bool OpenSpecification(const QString& path);
    // Shows a STEM file as "Fichier STE&M classique" does after its dialog.
    // A file larger than LargeStemFileBytes is shown cut: a note line, then
    // its first ShownStemLines lines; "&Régénérer le STEM" then reads the file
    // itself instead of the editor.
    void OpenStemFile(const QString& path);
    static constexpr qint64 LargeStemFileBytes = 10'000'000;
    // The message line after a STEM file is shown: the next step.
    static constexpr const char* StemOpenedMessage =
        "Fichier STEM affiché en lecture seule. Étape suivante : « Génération > Régénérer le STEM », qui le "
        "charge pour la visualisation, la vérification et la comparaison.";
    // The message lines after a change of semantics: why the CTL check goes or
    // comes back, and what checks the system meanwhile.
    static constexpr const char* InterleavingChosenMessage =
        "Sémantique d'entrelacement : la génération produira un STE. La vérification logique (CTL) n'est plus "
        "proposée, car ses formules portent sur les événements maximaux d'un STEM, que seule la sémantique de "
        "maximalité produit ; « Vérification > Propriétés d'actions (mu-calcul) » vérifie le STE.";
    static constexpr const char* MaximalityChosenMessage =
        "Sémantique de maximalité : la génération produira un STEM, que la vérification logique (CTL) et les "
        "propriétés d'actions vérifient.";
    static constexpr int ShownStemLines = 1000;
    // The STEM file that regeneration reads, when the editor shows it cut; empty otherwise.
    const QString& StemFileShownCut() const { return stemFile_; }
    // A file dropped on the window, or named on the command line: a ".STEM"
    // file is shown as a STEM file, any other is opened as a specification,
    // after the save prompt.
    void OpenDroppedFile(const QString& path);

signals:
    // The window has closed: the program ends.
    void Closed();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Every menu, item, button and panel is named after its component (its
    // object name), so that scripts and tests can find it.
    void NameComponents();
    void BuildMenus();
    void BuildToolBar();
    void BuildTemplateStrip();
    void BuildEditor();
    void BuildStatusBar();
    void BuildEquivalenceDialogs();

    bool SavePrompt(bool forClosing);
    // The file dialogs in the current document's folder, the save one with
    // its name and this extension; the folder chosen is remembered.
    QString AskSaveName(const QString& title, const char* filter, const QString& extension);
    QString AskOpenName(const char* filter);
    // The save name of the editor's text: a ".lotos" file for a text in the standard syntax, else a ".LOT" one.
    QString AskSpecificationName();
    bool Save();
    bool WriteEditorTo(const QString& path);
    bool LoadIntoEditor(const QString& path);
    // The note line and the first lines of a large STEM file; false when it could not be read.
    bool LoadStemPreview(const QString& path, qint64 bytes);
    void EnableForNewDocument();
    // Generation, regeneration, visualisation and verification, menus and buttons.
    void WithdrawLaterCommands();
    void EditorChange();
    void UpdateStatus();
    void UpdateCurPos();
    void SetEditorText(const QString& text);
    void InsertTemplate(const QString& text);
    void ShowMessages(bool show);
    void CloseGraph();

    void SetBusy(bool busy);
    // The commands that need a STEM and work under either semantics: comparison and reduction.
    void EnableStemCommands(bool enabled);
    void StemReplaced();

    QString currentFileName;
    bool hasFileName = false;

    // Menu items (named after their components).
    QMenu* FileMenu;
    QMenu* OpenMenu;
    QMenu* EditMenu;
    QMenu* GenerationMenu;
    QMenu* GenerateMenu;
    QMenu* VisualisationMenu;
    QMenu* VerificationMenu;
    QMenu* OptionsMenu;
    QMenu* EditorOptionsMenu;
    QMenu* HelpMenu;
    QAction* FileNew1;
    QAction* FileOpen1;
    QAction* OuvrirUnfichierSTEM1;
    QAction* FileSave1;
    QAction* FileSaveAsItem;
    QAction* PrinterSetup1;
    QAction* Imprimer1;
    QAction* FileExit1;
    QAction* EditUndo1;
    QAction* EditCut1;
    QAction* EditCopy1;
    QAction* EditPaste1;
    QAction* EditSelectAll1;
    QAction* Compiler1;
    QAction* SemEntre;          // "&Structure interne"
    QAction* Fichierexterne1;   // "Fichier STEM &classique"
    QAction* Ocaml;             // "Fichier STEM &alpha-réduit"
    QAction* FichierGPM1;
    QAction* RegenererleSTEM1;
    QAction* ComparerAvec1;
    QAction* ReduireleSTEM1;
    QAction* MaxItem;
    QAction* EntrelaceItem;
    QAction* Biss;              // "Relation de bissimulation CP&BR"
    QAction* exploration;
    QAction* VisualisationGraphique1;
    QAction* Simulation1;
    QAction* Overview1;
    QAction* GenerationSettings1;
    QAction* VrificationLogiqueCTL1;
    QAction* Proprietes1;
    QAction* Polices1;
    QAction* ArrierePlan1;
    QAction* Rubriquesdaide1;
    QAction* APropos1;

    // Tool buttons: their own actions, since the commands enable them apart from the menu items.
    QToolBar* ToolBar1;
    QAction* NewButton;
    QAction* OpenButton;
    QAction* SaveButton;
    QAction* CutButton;
    QAction* CopyButton;
    QAction* PasteButton;
    QAction* CompileButton;
    QAction* GenerateButton;
    QAction* VisualiseButton;
    QAction* VerifyButton;
    QAction* AboutButton;
    QAction* QuitButton;

    QWidget* TemplateStrip;  // Bevel1 with Label1 and ComboBox1
    QComboBox* ComboBox1;
    QPlainTextEdit* Editor;
    QListWidget* MemoError;
    QLabel* StatusPanel0;
    QLabel* StatusPanel1;
    QLabel* StatusPanel2;

    quarvo::AppContext& app_;
    // The progress of comparisons and reductions, their worker thread's dialog.
    quarvo::TaskProgressDialog* taskProgress_;
    quarvo::CompareDialog* compareDialog_;
    quarvo::ReduceDialog* reduceDialog_;
    std::unique_ptr<QPrinter> printer_;
    // Text changes made by the program itself (loading a file) are not edits.
    bool loading_ = false;
    bool stemShown_ = false;
    // The file of a STEM shown cut, which regeneration reads; empty when the
    // editor holds the whole text.
    QString stemFile_;
};
