// The CTL checker window: the formula editor and its commands.
#pragma once

#include <string>
#include <vector>

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QToolBar>

#include "app/AppContext.h"

class TForm8;

class TForm5 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm5(quarvo::AppContext& app);

    // The main window's "Vérification logique (CTL)": shows the window with a
    // new, empty formula. Unsaved changes are offered for saving first; when
    // the user stops there, the window comes back with its text as it was.
    void OpenNewFormula();
    // The current STEM is being replaced (generation or regeneration): the
    // labels of the last verification and the diagnostic no longer apply.
    void StemChanged();
    // The answer to a verification of an STE: CTL speaks of maximal events.
    static constexpr const char* kInterleavingRefusal =
        "Le système courant est un STE, engendré sous la sémantique d'entrelacement : les formules CTL portent "
        "sur les actions des événements maximaux d'un STEM et n'y ont pas de sens. Les propriétés d'actions "
        "(mu-calcul) se vérifient sur un STE. Ouvrir la fenêtre « Propriétés » ?";

    // The formula document.
    QString ctlFileName;
    bool ctlHasFileName = false;
    bool ctlIsNew = true;
    bool ctlModified = false;

    // "Enregistrer les modifications de la formule « NAME » ?" when the text has changes; false: stop.
    bool AskSave();
    // AskSave as the program ends: any answer but "Annuler" is final, so the
    // closing of the windows that follows asks nothing more.
    bool AskSaveBeforeQuitting();

    QPlainTextEdit* Memo1;
    QToolBar* ToolBar1;
    // The one panel of the status bar: the long part of the hints, and after a
    // verification the warning about atoms that name no action of the STEM.
    QLabel* Status;

    QMenu* Fichier1;
    QMenu* Analyse1;
    QMenu* Options1;
    QMenu* Editeur1;
    // Example formulas over the current STEM's actions, each with its meaning
    // (FormulaExamples); the one chosen is inserted at the cursor.
    QMenu* Exemples1;
    QAction* Nouvellespcification1;
    QAction* Ouvrir1;
    QAction* Enregistrer1;
    QAction* Enregistrersous1;
    QAction* quitter1;
    QAction* Compiler1;
    QAction* Verifier1;
    QAction* Diagnostic1;
    QAction* Police1;
    QAction* Arrireplan1;

    QAction* ToolButton1;  // Nouveau
    QAction* ToolButton2;  // Ouvrir
    QAction* ToolButton3;  // Enregistrer
    QAction* ToolButton5;  // Compiler
    QAction* ToolButton6;  // Vérifier
    QAction* ToolButton7;  // Diagnostic

    // Commands.
    void Nouvellespcification1Click();
    void Ouvrir1Click();
    void Enregistrer1Click();
    void Enregistrersous1Click();
    void quitter1Click();
    void Compiler1Click();
    void Verifier1Click();
    void Diagnostic1Click();
    void Police1Click();
    void Arrireplan1Click();
    // Fills "Exemples" for the current STEM (as the menu opens) and inserts a formula at the cursor.
    void FillExamples();
    void InsertExample(const QString& formula);

    // The progress window of the labelling; null until the first verification.
    TForm8* ProgressWindow() const { return progress_; }

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildMenus();
    void BuildToolBar();
    void Memo1Change();

    // "Compiler", "Vérifier" and "Diagnostic" are the menu item and its tool button together.
    void SetCompileEnabled(bool enabled);
    void SetVerifyEnabled(bool enabled);
    void SetDiagnosticEnabled(bool enabled);
    void SetSaveEnabled(bool enabled);

    // The editor's lines; none for an empty editor.
    std::vector<std::string> MemoLines() const;
    // Writes the formula and confirms it on the status line and in the main window's messages.
    bool WriteMemoTo(const QString& path);
    // The save dialog, in the specification's folder with its name and ".CTL".
    QString AskFormulaSaveName();
    void SetMemoText(const QString& text);
    void CloseDiagnostic();
    // The warning of a verification goes to the status line, where it stays
    // between hints until the formula, its text or the STEM changes.
    void ShowWarning(const QString& warning);
    void ClearWarning();

    quarvo::AppContext& app_;
    TForm8* progress_ = nullptr;
    // Text changes made by the program itself (opening, emptying) are not edits.
    bool loading_ = false;
    QString warning_;  // shown in Status after the last verification; empty when none
    bool centred_ = false;
};
