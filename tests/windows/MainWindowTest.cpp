// The main window driven as a user would: availability of the commands, the document, compiling and generating.
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QMimeData>
#include <QUrl>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>
#include <QTimer>

#include <chrono>
#include <ctime>

#include "app/AboutBox.h"
#include "app/CompFrm.h"
#include "app/GenFrm.h"
#include "app/HelpWindow.h"
#include "app/Sdimain.h"
#include "app/ctl/CtlWindow.h"
#include "generation/StemWriter.h"
#include "tests/windows/WindowTestSupport.h"

using quarvo::testing::Example;
using quarvo::testing::LooksFixedPitch;
using quarvo::testing::Component;
using quarvo::testing::LooksFixedPitch;
using quarvo::testing::TestApp;

namespace {

QStringList Messages(const TSDIAppForm& form) {
    QStringList lines;
    for (int i = 0; i < Component<QListWidget>(form, "MemoError")->count(); ++i) lines << Component<QListWidget>(form, "MemoError")->item(i)->text();
    return lines;
}

bool Enabled(const QMenu* menu) { return menu->menuAction()->isEnabled(); }

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

void Type(TSDIAppForm& form, const QString& text) {
    Component<QPlainTextEdit>(form, "Editor")->moveCursor(QTextCursor::End);
    Component<QPlainTextEdit>(form, "Editor")->insertPlainText(text);
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void StartsAsAnUntitledDocumentThatIsNotCompiled() {
        TestApp t;
        TSDIAppForm& form = t.app->Main();
        QCOMPARE(form.windowTitle(), QString("QUARVO - Calvento - STEM Generator - Nouvelle spécification"));
        QVERIFY(Enabled(Component<QMenu>(form, "GenerationMenu")));
        QVERIFY(Component<QAction>(form, "Compiler1")->isEnabled());
        QVERIFY(Component<QAction>(form, "CompileButton")->isEnabled());
        QVERIFY(!Enabled(Component<QMenu>(form, "GenerateMenu")));
        QVERIFY(!Component<QAction>(form, "GenerateButton")->isEnabled());
        QVERIFY(!Component<QAction>(form, "RegenererleSTEM1")->isEnabled());
        QVERIFY(!Enabled(Component<QMenu>(form, "VisualisationMenu")));
        QVERIFY(!Component<QAction>(form, "VisualiseButton")->isEnabled());
        QVERIFY(!Enabled(Component<QMenu>(form, "VerificationMenu")));
        QVERIFY(!Component<QAction>(form, "VerifyButton")->isEnabled());
        QVERIFY(Component<QAction>(form, "FileSaveAsItem")->isEnabled());
        QVERIFY(Component<QAction>(form, "MaxItem")->isChecked());
        QVERIFY(!Component<QAction>(form, "Biss")->isChecked());
        QVERIFY(!form.HasFileName());
        QVERIFY(!form.Modified());
        QVERIFY(Component<QListWidget>(form, "MemoError")->isHidden());
        QCOMPARE(Component<QLabel>(form, "StatusPanel1")->text(), QString("MAX"));
        QCOMPARE(Component<QLabel>(form, "StatusPanel2")->text(), QString("Li: 1  Col: 1"));
        QVERIFY(t.GetSession().cpbrOff);
        QCOMPARE(Component<QPlainTextEdit>(form, "Editor")->lineWrapMode(), QPlainTextEdit::NoWrap);
        QVERIFY(LooksFixedPitch(Component<QPlainTextEdit>(form, "Editor")->font()));
    }

    void MenuCaptionsAndShortcuts() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        const struct {
            QAction* action;
            const char* caption;
            const char* shortcut;
        } items[] = {
            {Component<QAction>(f, "FileNew1"), "&Nouvelle spécification LOTOS", "Ctrl+N"},
            {Component<QAction>(f, "FileOpen1"), "Spécification LOTOS", "Ctrl+O"},
            {Component<QAction>(f, "OuvrirUnfichierSTEM1"), "Fichier STE&M classique", "Ctrl+M"},
            {Component<QAction>(f, "FileSave1"), "&Enregistrer", "Ctrl+S"},
            {Component<QAction>(f, "FileSaveAsItem"), "Enregistrer &sous...", ""},
            {Component<QAction>(f, "PrinterSetup1"), "&Configuration de l'impression...", ""},
            {Component<QAction>(f, "Imprimer1"), "Im&primer...", "Ctrl+P"},
            {Component<QAction>(f, "FileExit1"), "&Quitter", "Ctrl+Q"},
            {Component<QAction>(f, "Compiler1"), "Com&piler", "F5"},
            {Component<QAction>(f, "SemEntre"), "&Structure interne", "F6"},
            {Component<QAction>(f, "Fichierexterne1"), "Fichier STEM &classique", ""},
            {Component<QAction>(f, "Ocaml"), "Fichier STEM &alpha-réduit", ""},
            {Component<QAction>(f, "FichierGPM1"), "Fichier &GPM", ""},
            {Component<QAction>(f, "RegenererleSTEM1"), "&Régénérer le STEM", ""},
            {Component<QAction>(f, "MaxItem"), "Sémantique de Maximalité", ""},
            {Component<QAction>(f, "EntrelaceItem"), "Sémantique d'entrelacement", ""},
            {Component<QAction>(f, "Biss"), "Relation de bissimulation CP&BR", ""},
            {Component<QAction>(f, "exploration"), "&Exploration", "Ctrl+E"},
            {Component<QAction>(f, "VisualisationGraphique1"), "Visualisation &graphique", "F7"},
            {Component<QAction>(f, "VrificationLogiqueCTL1"), "&Vérification logique (CTL)", "F8"},
            {Component<QAction>(f, "Proprietes1"), "&Propriétés d'actions (mu-calcul)", "F9"},
            {Component<QAction>(f, "Polices1"), "&Polices...", ""},
            {Component<QAction>(f, "ArrierePlan1"), "&Arrière-plan...", ""},
            {Component<QAction>(f, "Rubriquesdaide1"), "Ai&de du module Calvento", "F1"},
            {Component<QAction>(f, "APropos1"), "&A propos...", ""},
        };
        for (const auto& item : items) {
            QCOMPARE(item.action->text(), QString(item.caption));
            QCOMPARE(item.action->shortcut(), QKeySequence(item.shortcut));
        }
        QCOMPARE(Component<QAction>(f, "CompileButton")->toolTip(), QString("Compiler (F5)"));
        QCOMPARE(Component<QAction>(f, "CompileButton")->statusTip(), QString("Compiler une spécification LOTOS"));
        QCOMPARE(Component<QAction>(f, "GenerateButton")->statusTip(), QString("Générer l'STE ou le STEM"));
        QCOMPARE(Component<QAction>(f, "VisualiseButton")->statusTip(), QString("Visualisation graphique de l'STE ou le STEM généré"));
        QCOMPARE(Component<QAction>(f, "VerifyButton")->statusTip(), QString("Vérifier une propriété CTL sur le STEM"));
        QCOMPARE(Component<QAction>(f, "QuitButton")->toolTip(), QString("Quitter (Ctrl+Q)"));
        QCOMPARE(Component<QAction>(f, "QuitButton")->statusTip(), QString("Quitter l'application"));
    }

    void HintsGoToStatusPanelZero() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        QStatusTipEvent tip("Compiler une spécification LOTOS");
        QCoreApplication::sendEvent(&f, &tip);
        QCOMPARE(Component<QLabel>(f, "StatusPanel0")->text(), QString("Compiler une spécification LOTOS"));

        // Panel 0 follows the window's width, which can grow and shrink again.
        f.show();
        f.resize(1000, 584);
        QCoreApplication::processEvents();
        QVERIFY(Component<QLabel>(f, "StatusPanel0")->maximumWidth() == 800);
        f.resize(520, 584);
        QCoreApplication::processEvents();
        QCOMPARE(f.width(), 520);
        QVERIFY(Component<QLabel>(f, "StatusPanel0")->width() <= 320);
        f.close();
    }

    void OpeningAndEditingAnExample() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        t.dialogs.fileNames.push_back(Example("BUFFER.LOT"));
        f.FileOpen1Execute();
        QCOMPARE(t.dialogs.fileFilters.back(),
                 QString("Spécifications LOTOS (*.LOT *.lotos)|*.LOT;*.lotos|Spécification LOTOS (*.LOT)|*.LOT|"
                         "LOTOS standard (*.lotos)|*.lotos|Tous les fichiers (*.*)|*.*"));
        QCOMPARE(f.windowTitle(), "QUARVO - Calvento - STEM Generator - " + Example("BUFFER.LOT"));
        QVERIFY(f.HasFileName());
        QVERIFY(!f.Modified());
        // Windows-1252 accents of the comment come through as characters.
        QVERIFY(Component<QPlainTextEdit>(f, "Editor")->toPlainText().startsWith("{ Deux tampons à une place en série"));
        QVERIFY(!Component<QPlainTextEdit>(f, "Editor")->toPlainText().endsWith('\n'));
        Type(f, "\n");
        QVERIFY(f.Modified());
        QVERIFY(!Enabled(Component<QMenu>(f, "GenerateMenu")));
        QVERIFY(Component<QAction>(f, "CompileButton")->isEnabled());

        // Opening a missing file changes nothing.
        const QString before = Component<QPlainTextEdit>(f, "Editor")->toPlainText();
        t.dialogs.answers.push_back(QMessageBox::No);
        t.dialogs.fileNames.push_back(Example("ABSENT.LOT"));
        f.FileOpen1Execute();
        QCOMPARE(t.dialogs.Last()->text, QString("Fichier inexistant, ou extension incorrecte!"));
        QCOMPARE(t.dialogs.Last()->caption, QString("Erreur!"));
        QCOMPARE(Component<QPlainTextEdit>(f, "Editor")->toPlainText(), before);
    }

    void SavingAnUntitledDocumentAsksForANameOnce() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        QTemporaryDir dir;
        const QString path = dir.filePath("SPEC.LOT");
        f.FileNew1Execute();
        Type(f, "SYSTEM S [P] := P; NIL ENDSYS\n{ é }");
        t.dialogs.fileNames.push_back(path);
        QVERIFY(f.FileSave1Execute());
        QCOMPARE(t.dialogs.fileTitles.back(), QString("Enregistrer la spécification sous"));
        QCOMPARE(t.dialogs.defaultSuffixes.back(), QString("LOT"));
        QCOMPARE(ReadBytes(path), QByteArray("SYSTEM S [P] := P; NIL ENDSYS\r\n{ \xe9 }\r\n"));
        QVERIFY(!f.Modified());
        QCOMPARE(f.windowTitle(), "QUARVO - Calvento - STEM Generator - " + path);
        // "&Structure interne" is withdrawn by a save.
        QVERIFY(!Component<QAction>(f, "SemEntre")->isEnabled());

        Type(f, " ");
        const std::size_t dialogsBefore = t.dialogs.fileTitles.size();
        QVERIFY(f.FileSave1Execute());
        QCOMPARE(t.dialogs.fileTitles.size(), dialogsBefore);
        QVERIFY(ReadBytes(path).endsWith("{ \xe9 } \r\n"));
    }

    void AFailedSaveReportsTheReasonAndKeepsTheText() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        Type(f, "SYSTEM S [P] := P; NIL ENDSYS");
        t.dialogs.fileNames.push_back("/nonexistent-directory/SPEC.LOT");
        QVERIFY(!f.FileSave1Execute());
        QCOMPARE(t.dialogs.Last()->caption, QString("Erreur!"));
        QVERIFY(f.Modified());
        QVERIFY(!f.HasFileName());
    }

    void TheWholeToolBarShowsAtFirst() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        auto* extension = Component<QToolBar>(f, "ToolBar1")->findChild<QToolButton*>("qt_toolbar_ext_button");
        QVERIFY(extension);
        QVERIFY(!extension->isVisible());
        for (const char* name : {"NewButton", "CompileButton", "GenerateButton", "AboutButton", "QuitButton"}) {
            QToolBar* bar = Component<QToolBar>(f, "ToolBar1");
            QVERIFY2(bar->widgetForAction(Component<QAction>(f, name))->isVisible(), name);
        }
    }

    void TheGenerationDialogStaysAboveTheMainWindow() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        f.show();
        QVERIFY(f.OpenSpecification(Example("BUFFER.LOT")));
        f.Compiler1Click();
        f.SemEntreClick();
        TGenFrm* dialog = t.Windows().generation;
        QVERIFY(dialog->windowHandle());
        QCOMPARE(dialog->windowHandle()->transientParent(), f.windowHandle());
    }

    void SavePromptNamesTheDocument() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        QVERIFY(f.OpenSpecification(Example("BUFFER.LOT")));
        Type(f, "(* changed *)");
        t.dialogs.answers.push_back(QMessageBox::Cancel);
        f.FileNew1Execute();
        QCOMPARE(t.dialogs.Last()->text, QString("Enregistrer les modifications de la spécification « BUFFER.LOT » ?"));
    }

    void SavePromptAnswers() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        Type(f, "text to keep");
        // Cancel abandons "Nouveau".
        t.dialogs.answers.push_back(QMessageBox::Cancel);
        f.FileNew1Execute();
        QCOMPARE(t.dialogs.Last()->caption, QString("Enregistrer..."));
        QCOMPARE(t.dialogs.Last()->text, QString("Enregistrer les modifications de la nouvelle spécification ?"));
        QCOMPARE(t.dialogs.Last()->icon, QMessageBox::Question);
        QCOMPARE(Component<QPlainTextEdit>(f, "Editor")->toPlainText(), QString("text to keep"));
        // Yes, then a cancelled file dialog, abandons it too.
        t.dialogs.answers.push_back(QMessageBox::Yes);
        f.FileNew1Execute();
        QCOMPARE(Component<QPlainTextEdit>(f, "Editor")->toPlainText(), QString("text to keep"));
        // No goes on without saving.
        t.dialogs.answers.push_back(QMessageBox::No);
        f.FileNew1Execute();
        QVERIFY(Component<QPlainTextEdit>(f, "Editor")->toPlainText().isEmpty());
        QVERIFY(!f.Modified());
    }

    void ClosingWithUnsavedChangesCanBeCancelled() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        QSignalSpy closed(&f, &TSDIAppForm::Closed);
        f.show();
        Type(f, "unsaved");
        t.dialogs.answers.push_back(QMessageBox::Cancel);
        f.FileExit1Execute();
        QVERIFY(f.isVisible());
        QCOMPARE(closed.count(), 0);
        // Yes and a cancelled save dialog keep it open as well.
        t.dialogs.answers.push_back(QMessageBox::Yes);
        Component<QAction>(f, "QuitButton")->trigger();
        QVERIFY(f.isVisible());
        QCOMPARE(closed.count(), 0);
        // No closes without saving.
        t.dialogs.answers.push_back(QMessageBox::No);
        Component<QAction>(f, "QuitButton")->trigger();
        QVERIFY(!f.isVisible());
        QCOMPARE(closed.count(), 1);
    }

    void ClosingAsksForAModifiedFormulaToo() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        QSignalSpy closed(&f, &TSDIAppForm::Closed);
        f.show();
        f.VrificationLogiqueCTL1Click();
        t.Windows().checker->Memo1->setPlainText("A G TRUE");
        t.dialogs.answers.push_back(QMessageBox::Cancel);
        f.FileExit1Execute();
        QCOMPARE(t.dialogs.Last()->text, QString("Enregistrer les modifications de la nouvelle formule CTL ?"));
        QVERIFY(f.isVisible());
        QCOMPARE(closed.count(), 0);
        t.dialogs.answers.push_back(QMessageBox::No);
        f.FileExit1Execute();
        QCOMPARE(closed.count(), 1);
        // The program's end closes every window, the checker too: the question is not asked again.
        const std::size_t asked = t.dialogs.shown.size();
        t.Windows().checker->close();
        QCOMPARE(t.dialogs.shown.size(), asked);
    }

    void CompilingReportsLinesAndEnablesGeneration() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        QVERIFY(f.OpenSpecification(Example("BUFFER.LOT")));
        f.Compiler1Click();
        const QStringList lines = Messages(f);
        QVERIFY(Component<QListWidget>(f, "MemoError")->isVisible() || !f.isVisible());
        QVERIFY(!Component<QListWidget>(f, "MemoError")->isHidden());
        QCOMPARE(lines.first(), QString("Compilation..."));
        QCOMPARE(lines.at(lines.size() - 2),
                 QString("Nombre de lignes compilées: %1.").arg(Component<QPlainTextEdit>(f, "Editor")->document()->blockCount()));
        QCOMPARE(lines.last(), QString("Compilation terminée. Aucune erreur détectée."));
        QVERIFY(Enabled(Component<QMenu>(f, "GenerateMenu")));
        QVERIFY(Component<QAction>(f, "GenerateButton")->isEnabled());
        QVERIFY(Component<QAction>(f, "SemEntre")->isEnabled());
        QVERIFY(!Component<QAction>(f, "Fichierexterne1")->isEnabled());
        QCOMPARE(t.Windows().compilation->LabelError->text(), QString("Compilation terminée avec succès"));
        QVERIFY(t.Windows().compilation->StaticError->text().isEmpty());
    }

    void AFailedCompilationKeepsGenerationDisabled() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        Type(f, "SYSTEM S [P] := P NIL ENDSYS");
        f.Compiler1Click();
        QCOMPARE(Messages(f), (QStringList{"Compilation...", "(ligne:1) \";\" manquant. (colonne:19) ; trouvé : « NIL »",
                                           "Nombre de lignes compilées : 1", "Compilation terminée."}));
        QVERIFY(!Enabled(Component<QMenu>(f, "GenerateMenu")));
        QVERIFY(!Component<QAction>(f, "GenerateButton")->isEnabled());
        QVERIFY(t.Windows().compilation->LabelError->text().isEmpty());
    }

    void DoubleClickOnAMessageGoesToItsLine() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        Type(f, "SYSTEM S [P] :=\n  P;\n  P NIL\nENDSYS");
        f.Compiler1Click();
        QPlainTextEdit* editor = Component<QPlainTextEdit>(f, "Editor");
        f.show();
        QApplication::setActiveWindow(&f);
        Component<QListWidget>(f, "MemoError")->setFocus();

        // A message without a column puts the caret at the start of its line.
        QListWidgetItem lineOnly("(ligne:3) Action non declarée -> P");
        f.MemoErrorDblClick(&lineOnly);
        QCOMPARE(editor->textCursor().blockNumber(), 2);
        QCOMPARE(editor->textCursor().positionInBlock(), 0);
        QCOMPARE(Component<QLabel>(f, "StatusPanel2")->text(), QString("Li: 3  Col: 1"));
        // The line is highlighted and the editor has the focus, so the caret shows.
        QVERIFY(editor->hasFocus());
        QCOMPARE(editor->extraSelections().size(), qsizetype{1});
        QCOMPARE(editor->extraSelections().front().cursor.blockNumber(), 2);
        QVERIFY(editor->extraSelections().front().format.boolProperty(QTextFormat::FullWidthSelection));

        // The compiler's syntax error gives the column of the token it could
        // not take: a double click on it selects and marks that token.
        QListWidgetItem* error = Component<QListWidget>(f, "MemoError")->item(1);
        QCOMPARE(error->text(), QString("(ligne:3) \";\" manquant. (colonne:5) ; trouvé : « NIL »"));
        f.MemoErrorDblClick(error);
        QCOMPARE(editor->textCursor().blockNumber(), 2);
        QCOMPARE(editor->textCursor().selectedText(), QString("NIL"));
        QCOMPARE(editor->extraSelections().size(), qsizetype{2});
        QCOMPARE(editor->extraSelections().back().cursor.selectedText(), QString("NIL"));

        // Typing removes the marks.
        editor->insertPlainText(" ");
        QVERIFY(editor->extraSelections().isEmpty());

        // Columns count characters: one written with two UTF-16 units (in a
        // comment) moves the token by one column only.
        editor->setPlainText(QString::fromUtf8("SYSTEM S [P] := { \xF0\x9D\x84\x9E } P NIL ENDSYS"));
        f.Compiler1Click();
        error = Component<QListWidget>(f, "MemoError")->item(1);
        QCOMPARE(error->text(), QString("(ligne:1) \";\" manquant. (colonne:25) ; trouvé : « NIL »"));
        f.MemoErrorDblClick(error);
        QCOMPARE(editor->textCursor().selectedText(), QString("NIL"));

        // An operator of several characters is selected whole.
        editor->setPlainText("SYSTEM S := NIL ENDSYS");
        f.Compiler1Click();
        error = Component<QListWidget>(f, "MemoError")->item(1);
        QCOMPARE(error->text(), QString("(ligne:1) \"[\" manquant. (colonne:10) ; trouvé : « := »"));
        f.MemoErrorDblClick(error);
        QCOMPARE(editor->textCursor().selectedText(), QString(":="));
    }

    void GeneratingUnderEachSemantics() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        QVERIFY(f.OpenSpecification(Example("BUFFER.LOT")));
        f.Compiler1Click();
        f.SemEntreClick();
        QCOMPARE(Messages(f).last(), QString("Génération terminée."));
        QVERIFY(t.GetSession().hasStem);
        QVERIFY(t.GetSession().stem.StemStateCount > 1);
        // The list holds the summary alone: the running line went with the list's clearing.
        QCOMPARE(Messages(f), QStringList({QString("Nombre d'états = %1.").arg(t.GetSession().stem.StemStateCount),
                                           QString("Nombre d'arcs = %1.").arg(t.GetSession().stem.ArcCount()),
                                           QString("Génération terminée.")}));
        QVERIFY(Enabled(Component<QMenu>(f, "VisualisationMenu")));
        QVERIFY(Component<QAction>(f, "VisualisationGraphique1")->isEnabled());
        QVERIFY(Component<QAction>(f, "VisualiseButton")->isEnabled());
        QVERIFY(Component<QAction>(f, "Fichierexterne1")->isEnabled());
        QVERIFY(Enabled(Component<QMenu>(f, "VerificationMenu")));
        QVERIFY(Component<QAction>(f, "VerifyButton")->isEnabled());
        TGenFrm* dialog = t.Windows().generation;
        QCOMPARE(dialog->StatNbr->text(), QString::number(t.GetSession().stem.StemStateCount));
        QVERIFY(dialog->membefore->text().endsWith(" Ko"));
        const QRegularExpression instant("^\\d\\d:\\d\\d:\\d\\d   \\d\\d/\\d\\d/\\d\\d\\d\\d$");
        QVERIFY(instant.match(dialog->datedebut->text()).hasMatch());
        QVERIFY(instant.match(dialog->datefin->text()).hasMatch());
        QVERIFY(!dialog->StopButton->isEnabled());
        QVERIFY(f.menuBar()->isEnabled());

        // Interleaving hides the CTL verification (the properties of actions
        // stay) and withdraws the view of the maximality STEM.
        Component<QAction>(f, "EntrelaceItem")->trigger();
        QCOMPARE(Component<QLabel>(f, "StatusPanel1")->text(), QString("ENTRE"));
        QVERIFY(Component<QMenu>(f, "VerificationMenu")->menuAction()->isVisible());
        QVERIFY(!Component<QAction>(f, "VrificationLogiqueCTL1")->isVisible());
        QVERIFY(Component<QAction>(f, "Proprietes1")->isVisible());
        QVERIFY(!Component<QAction>(f, "VerifyButton")->isVisible());
        QVERIFY(!Component<QAction>(f, "Biss")->isVisible());
        QVERIFY(!Component<QAction>(f, "VisualisationGraphique1")->isEnabled());
        QVERIFY(!Component<QAction>(f, "exploration")->isEnabled());
        // A message line says why, and the panel's tooltip what ENTRE means.
        QCOMPARE(Messages(f).last(), QString(TSDIAppForm::InterleavingChosenMessage));
        QVERIFY(Messages(f).last().contains("Propriétés d'actions (mu-calcul)"));
        QVERIFY(Component<QLabel>(f, "StatusPanel1")->toolTip().contains("STE"));
        // Choosing it again says nothing more.
        const qsizetype lines = Messages(f).size();
        f.EntrelaceItemClick();
        QCOMPARE(Messages(f).size(), lines);
        f.SemEntreClick();
        QCOMPARE(t.GetSession().stemSemantics, quarvo::Semantics::Interleaving);
        QVERIFY(Enabled(Component<QMenu>(f, "VerificationMenu")));
        QVERIFY(Component<QAction>(f, "VisualisationGraphique1")->isEnabled());

        Component<QAction>(f, "MaxItem")->trigger();
        QVERIFY(Component<QMenu>(f, "VerificationMenu")->menuAction()->isVisible());
        QVERIFY(Component<QAction>(f, "VrificationLogiqueCTL1")->isVisible());
        QVERIFY(!Enabled(Component<QMenu>(f, "VerificationMenu")));
        QVERIFY(Component<QAction>(f, "exploration")->isEnabled());
        QCOMPARE(Messages(f).last(), QString(TSDIAppForm::MaximalityChosenMessage));
        QVERIFY(!Component<QLabel>(f, "StatusPanel1")->toolTip().contains("CPBR"));
        Component<QAction>(f, "Biss")->trigger();
        QCOMPARE(Component<QLabel>(f, "StatusPanel1")->text(), QString("MAX   CPBR"));
        QVERIFY(Component<QLabel>(f, "StatusPanel1")->toolTip().contains(
            "CPBR : la relation de bissimulation CPBR réduit le STEM pendant la génération."));
        QVERIFY(!t.GetSession().cpbrOff);

        // An edit withdraws generation and everything after it.
        Type(f, " ");
        QVERIFY(!Enabled(Component<QMenu>(f, "GenerateMenu")));
        QVERIFY(!Enabled(Component<QMenu>(f, "VisualisationMenu")));
        QVERIFY(!Enabled(Component<QMenu>(f, "VerificationMenu")));
    }

    void AGenerationWithoutEndCanBeStopped() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        Type(f,
             "SYSTEM S [A] := P [A]\nWHERE\n  PROCESS P [A] := A; (P [A] ||| P [A])\n  ENDPROC\nENDSYS");
        f.Compiler1Click();
        QVERIFY(Enabled(Component<QMenu>(f, "GenerateMenu")));
        TGenFrm* dialog = t.Windows().generation;
        QStringList whileRunning;
        QTimer::singleShot(500, dialog->StopButton, [dialog, &f, &whileRunning] {
            QVERIFY(dialog->StopButton->isEnabled());
            whileRunning = Messages(f);
            dialog->StopButton->click();
        });
        f.SemEntreClick();
        QCOMPARE(whileRunning, QStringList({QString("Génération en cours...")}));
        QVERIFY(Messages(f).last().startsWith("Génération interrompue"));
        QVERIFY(!t.GetSession().busy);
        QVERIFY(f.menuBar()->isEnabled());
        // The program stays usable: the next command works.
        f.FileNew1Execute();
        QVERIFY(Component<QPlainTextEdit>(f, "Editor")->toPlainText().isEmpty() || t.dialogs.Last());
    }

    void TheGenerationDialogShowsTheFiguresOfTheResult() {
        TestApp t;
        TGenFrm* dialog = t.Windows().generation;
        QVERIFY(dialog);
        quarvo::GenerationResult result;
        // Single-digit fields, a change of day between the two instants, and
        // heap figures whose difference in whole Ko is not the whole Ko of
        // their difference.
        const std::time_t start = 1700000000 + 5 * 3600 + 7;  // a November morning
        const std::time_t end = start + 20 * 3600 + 3;
        result.started = std::chrono::system_clock::from_time_t(start) + std::chrono::milliseconds(999);
        result.ended = std::chrono::system_clock::from_time_t(end);
        result.seconds = end - start;
        result.memoryBefore = 1999;
        result.memoryUsed = 2001;
        dialog->Figures(result);
        auto local = [](std::time_t t) {
            std::tm parts{};
            localtime_r(&t, &parts);
            char text[64];
            std::strftime(text, sizeof text, "%H:%M:%S   %d/%m/%Y", &parts);
            return QString(text);
        };
        QCOMPARE(dialog->datedebut->text(), local(start));
        QCOMPARE(dialog->datefin->text(), local(end));
        QCOMPARE(dialog->temps_execution->text(), QString::number(end - start));
        QCOMPARE(dialog->membefore->text(), QString("1 Ko"));
        QVERIFY(dialog->memafter->text().endsWith(" Ko"));
        QCOMPARE(dialog->memconsom->text(), QString("2 Ko"));
    }

    void TheGenerationSettingsAreSetBeforeAnyGeneration() {
        TestApp t;
        TGenFrm* dialog = t.Windows().generation;
        Component<QAction>(t.app->Main(), "GenerationSettings1")->trigger();
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->Fils->isEnabled() && dialog->MemoireMax->isEnabled());
        dialog->Fils->setValue(2);
        dialog->MemoireMax->setValue(512);
        QCOMPARE(t.GetSession().threads, 2);
        QCOMPARE(t.GetSession().memoryLimitMb, std::int64_t{512});
    }

    void TheGenerationDialogShowsMemoryAsItGoesAndHintsOnceAtLargeSizes() {
        TestApp t;
        TGenFrm* dialog = t.Windows().generation;
        dialog->Start();
        // The start is shown at once; the generation's own figures come with its reports.
        const QRegularExpression instant("^\\d\\d:\\d\\d:\\d\\d   \\d\\d/\\d\\d/\\d\\d\\d\\d$");
        QVERIFY(instant.match(dialog->datedebut->text()).hasMatch());
        QTest::qWait(250);
        quarvo::GenerationFigures figures;
        figures.level = 7;
        figures.levelExplored = 30;
        figures.levelStates = 120;
        figures.seconds = 3;
        figures.memoryBefore = 5'000'000;
        figures.memoryUsed = 2'000'000;
        dialog->UpdateGeneration(figures);
        dialog->Update(10, 20);
        QCOMPARE(dialog->niveau->text(), QString("7 (25 %)"));
        QCOMPARE(dialog->temps_execution->text(), QString("3"));
        QCOMPARE(dialog->membefore->text(), QString("5000 Ko"));
        QCOMPARE(dialog->memconsom->text(), QString("2000 Ko"));
        QVERIFY(dialog->memcourante->text().endsWith(" Ko"));
        QVERIFY(dialog->memcourante->text() != "0 Ko");
        QVERIFY(dialog->Conseil->isHidden());

        // Past a million states under maximality without CPBR: the hint, once.
        dialog->Update(TGenFrm::HintStates + 1, 5);
        QVERIFY(!dialog->Conseil->isHidden());
        QCOMPARE(dialog->Conseil->text(), QString(TGenFrm::SizeHint));
        QVERIFY(dialog->height() >= dialog->sizeHint().height());
        QVERIFY(dialog->Conseil->text().contains("CPBR") && dialog->Conseil->text().contains("entrelacement"));
        dialog->Finish(TGenFrm::HintStates + 1, 5);

        // A new generation starts without it; with CPBR there is nothing to suggest.
        t.GetSession().cpbrOff = false;
        dialog->Start();
        QVERIFY(dialog->Conseil->isHidden());
        dialog->Update(TGenFrm::HintStates + 1, 5);
        QVERIFY(dialog->Conseil->isHidden());
        dialog->Finish(TGenFrm::HintStates + 1, 5);
    }

    void TheDialogsThreadCountLeavesTheSystemUnchanged() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        QVERIFY(f.OpenSpecification(Example("PHILO.LOT")));
        f.Compiler1Click();
        TGenFrm* dialog = t.Windows().generation;
        QCOMPARE(dialog->Fils->specialValueText(), QString("automatique"));
        QCOMPARE(dialog->Fils->value(), 0);
        std::vector<std::string> texts;
        for (int threads : {1, 3, 0}) {
            dialog->Fils->setValue(threads);
            QCOMPARE(t.GetSession().threads, threads);
            f.SemEntreClick();
            QCOMPARE(Messages(f).last(), QString("Génération terminée."));
            QVERIFY(dialog->Fils->isEnabled());
            texts.push_back(quarvo::ClassicStemText(t.GetSession().stem, t.GetSession().stem.StemStateCount));
        }
        QVERIFY(texts[0] == texts[1] && texts[1] == texts[2]);
    }

    void AGenerationStopsCleanlyAtTheDialogsMemoryLimit() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        Type(f,
             "SYSTEM S [A] := P [A]\nWHERE\n  PROCESS P [A] := A; (P [A] ||| P [A])\n  ENDPROC\nENDSYS");
        f.Compiler1Click();
        TGenFrm* dialog = t.Windows().generation;
        QCOMPARE(dialog->MemoireMax->specialValueText(), QString("automatique"));
        dialog->MemoireMax->setValue(1);
        QCOMPARE(t.GetSession().memoryLimitMb, std::int64_t{1});
        f.SemEntreClick();
        QVERIFY(Messages(f).last().startsWith("Génération interrompue : mémoire insuffisante ("));
        QVERIFY(t.GetSession().hasStem);
        QVERIFY(t.GetSession().stem.StemStateCount > 1);
        QVERIFY(!t.GetSession().busy);
        QVERIFY(dialog->MemoireMax->isEnabled());
        QVERIFY(Component<QAction>(f, "VisualisationGraphique1")->isEnabled());
    }

    void WritingAndRegeneratingAClassicStemFile() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        QTemporaryDir dir;
        const QString path = dir.filePath("BUFFER.STEM");
        QVERIFY(f.OpenSpecification(Example("BUFFER.LOT")));
        f.Compiler1Click();
        f.SemEntreClick();
        const std::int32_t states = t.GetSession().stem.StemStateCount;
        t.dialogs.fileNames.push_back(path);
        f.Fichierexterne1Click();
        QCOMPARE(t.dialogs.defaultSuffixes.back(), QString("STEM"));
        QCOMPARE(t.dialogs.fileFilters.back(), QString("Fichier STEM (*.STEM)|*.STEM|Tous les fichiers (*.*)|*.*"));
        QVERIFY(ReadBytes(path).startsWith("BEGIN "));

        // Opening the STEM file: read-only, only regeneration among the generation commands.
        t.dialogs.fileNames.push_back(path);
        f.OuvrirUnfichierSTEM1Click();
        QCOMPARE(f.windowTitle(), "QUARVO - Calvento - STEM Generator - " + path);
        QVERIFY(Component<QPlainTextEdit>(f, "Editor")->isReadOnly());
        QVERIFY(Component<QWidget>(f, "TemplateStrip")->isHidden());
        QVERIFY(Component<QAction>(f, "RegenererleSTEM1")->isEnabled());
        QVERIFY(!Component<QAction>(f, "Compiler1")->isEnabled());
        QVERIFY(!Component<QAction>(f, "FileSave1")->isEnabled());
        QVERIFY(!Component<QAction>(f, "MaxItem")->isEnabled());
        QVERIFY(!Component<QAction>(f, "EntrelaceItem")->isEnabled());
        QVERIFY(!Enabled(Component<QMenu>(f, "VisualisationMenu")));

        t.GetSession().stem.FreeStates();
        f.RegenererleSTEM1Click();
        QCOMPARE(t.dialogs.Last()->caption, QString("Régénération..."));
        QCOMPARE(t.dialogs.Last()->text, QString("STEM régénéré avec succès."));
        QCOMPARE(t.dialogs.Last()->icon, QMessageBox::Information);
        QCOMPARE(t.GetSession().stem.StemStateCount, states);
        QVERIFY(Enabled(Component<QMenu>(f, "VerificationMenu")));
        QVERIFY(Enabled(Component<QMenu>(f, "VisualisationMenu")));

        // "Nouveau" gives the semantics items back.
        f.FileNew1Execute();
        QVERIFY(Component<QAction>(f, "MaxItem")->isEnabled());
        QVERIFY(!Component<QPlainTextEdit>(f, "Editor")->isReadOnly());
    }

    void ARegeneratedStemBringsTheMaximalityCommandsBack() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        QTemporaryDir dir;
        const QString path = dir.filePath("BUFFER.STEM");
        QVERIFY(f.OpenSpecification(Example("BUFFER.LOT")));
        f.Compiler1Click();
        f.SemEntreClick();
        t.dialogs.fileNames.push_back(path);
        f.Fichierexterne1Click();
        f.EntrelaceItemClick();
        f.SemEntreClick();
        auto maximalityCommandsShown = [&] {
            return Component<QAction>(f, "VrificationLogiqueCTL1")->isVisible() &&
                   Component<QAction>(f, "VerifyButton")->isVisible() && Component<QAction>(f, "Biss")->isVisible() &&
                   Component<QAction>(f, "exploration")->isEnabled();
        };
        QVERIFY(!Component<QAction>(f, "VrificationLogiqueCTL1")->isVisible());

        // A STEM file is read back under maximality: the commands say so, as the status bar does.
        t.dialogs.fileNames.push_back(path);
        f.OuvrirUnfichierSTEM1Click();
        f.RegenererleSTEM1Click();
        QVERIFY(Component<QLabel>(f, "StatusPanel1")->text().startsWith("MAX"));
        QVERIFY(maximalityCommandsShown());
        QVERIFY(Enabled(Component<QMenu>(f, "VerificationMenu")));

        // And they stay after "Nouveau" and a new generation.
        f.FileNew1Execute();
        QVERIFY(f.OpenSpecification(Example("BUFFER.LOT")));
        f.Compiler1Click();
        f.SemEntreClick();
        QVERIFY(maximalityCommandsShown());
        QVERIFY(Enabled(Component<QMenu>(f, "VerificationMenu")));
    }

    void AStemWithEventsNamedMinusOneRegeneratesWithTheWarning() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        QTemporaryDir dir;
        const QString path = dir.filePath("MINUS.STEM");
        WriteBytes(path, "BEGIN 3;\r\n{}0<{}A:-1>{-1:A}1;\r\n{-1:A}1<{}A:-1>{-1:A,-1:A}2;\r\nEND");
        t.dialogs.fileNames.push_back(path);
        f.OuvrirUnfichierSTEM1Click();
        f.RegenererleSTEM1Click();
        QCOMPARE(t.dialogs.Last()->text, QString("STEM régénéré avec succès."));
        QCOMPARE(t.GetSession().stem.StemStateCount, 3);
        QVERIFY(Messages(f).contains("Attention : plus de 30 événements simultanés, des noms d'événements sont -1."));
        QVERIFY(!Component<QListWidget>(f, "MemoError")->isHidden());
    }

    void AFailedSaveOfTheStemSaysWhyInFrench() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        QTemporaryDir dir;
        QVERIFY(f.OpenSpecification(Example("BUFFER.LOT")));
        f.Compiler1Click();
        f.SemEntreClick();
        const QString path = dir.filePath("missing/BUFFER.STEM");
        t.dialogs.fileNames.push_back(path);
        f.Fichierexterne1Click();
        QCOMPARE(t.dialogs.Last()->caption, QString("Erreur!"));
        QCOMPARE(t.dialogs.Last()->text,
                 "Impossible d'écrire le fichier « " + path + " » : fichier ou dossier introuvable.");
    }

    void AFailedRegenerationNamesTheLineAndChangesNothing() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        QTemporaryDir dir;
        const QString path = dir.filePath("BAD.STEM");
        WriteBytes(path, "BEGIN 2;\r\n0:{}:\r\nnonsense\r\nEND\r\n");
        t.dialogs.fileNames.push_back(path);
        f.OuvrirUnfichierSTEM1Click();
        f.RegenererleSTEM1Click();
        QCOMPARE(t.dialogs.Last()->caption, QString("Erreur dans le fichier"));
        QVERIFY(t.dialogs.Last()->text.startsWith("Erreur dans le fichier ligne:"));
        QVERIFY(!t.GetSession().hasStem);
        QVERIFY(!Enabled(Component<QMenu>(f, "VerificationMenu")));
        QVERIFY(Component<QAction>(f, "RegenererleSTEM1")->isEnabled());
    }

    void ALargeStemFileIsShownCutReadOnlyAndRegeneratedFromTheFile() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        QTemporaryDir dir;
        const QString path = dir.filePath("LARGE.STEM");
        // A ring of states, each first reached from the one before it, with arcs back
        // to half its number and to 0: written as the writer would write it.
        constexpr int states = 90000;
        const auto events = [](int k) -> QByteArray {
            if (k == 0) return "{}";
            return k % 2 ? "{1:SEND_MESSAGE}" : "{1:RECEIVE_MESSAGE,2:SEND_MESSAGE}";
        };
        QByteArray text = "BEGIN " + QByteArray::number(states) + ";\r\n";
        // Read back, each line's arcs come newest first: written again, the records of a line are reversed.
        QByteArray writtenBack = text;
        for (int k = 0; k < states; ++k) {
            const QByteArray source = events(k) + QByteArray::number(k) + "<";
            const int next = (k + 1) % states;
            const QByteArray records[] = {
                source + "{}SEND_MESSAGE:1>" + events(next) + QByteArray::number(next) + ";",
                source + events(k) + "RECEIVE_MESSAGE:3>" + events(k / 2) + QByteArray::number(k / 2) + ";",
                source + "{}I:2>{}0;"};
            text += records[0] + records[1] + records[2] + "\r\n";
            writtenBack += records[2] + records[1] + records[0] + "\r\n";
        }
        text += "END";
        writtenBack += "END";
        WriteBytes(path, text);
        QVERIFY(text.size() > TSDIAppForm::LargeStemFileBytes);

        t.dialogs.fileNames.push_back(path);
        f.OuvrirUnfichierSTEM1Click();
        QCOMPARE(f.StemFileShownCut(), path);
        QCOMPARE(f.windowTitle(), "QUARVO - Calvento - STEM Generator - " + path);
        // A note line, the first lines of the file, a closing note.
        const QStringList shown = Component<QPlainTextEdit>(f, "Editor")->toPlainText().split('\n');
        QCOMPARE(shown.size(), TSDIAppForm::ShownStemLines + 2);
        QVERIFY(shown.front().startsWith("--- Fichier STEM de "));
        QVERIFY(shown.front().contains("seules ses 1000 premières lignes sont affichées, en lecture seule."));
        QVERIFY(shown.front().contains("« Régénérer le STEM » lit le fichier entier."));
        const QList<QByteArray> fileLines = text.split('\n');
        for (int i = 0; i < TSDIAppForm::ShownStemLines; ++i)
            QCOMPARE(shown[i + 1], QString::fromLatin1(fileLines[i].chopped(1)));
        QCOMPARE(shown.back(), QString("--- La suite du fichier n'est pas affichée. ---"));

        // The cut text is no specification: it cannot be edited, compiled or saved.
        QVERIFY(Component<QPlainTextEdit>(f, "Editor")->isReadOnly());
        QVERIFY(!Component<QAction>(f, "Compiler1")->isEnabled());
        QVERIFY(!Component<QAction>(f, "FileSave1")->isEnabled());
        QVERIFY(!Component<QAction>(f, "FileSaveAsItem")->isEnabled());
        QVERIFY(!Component<QAction>(f, "SaveButton")->isEnabled());
        QVERIFY(Component<QAction>(f, "RegenererleSTEM1")->isEnabled());
        const QString before = Component<QPlainTextEdit>(f, "Editor")->toPlainText();
        Component<QPlainTextEdit>(f, "Editor")->setFocus();
        QTest::keyClicks(Component<QPlainTextEdit>(f, "Editor"), "xyz");
        QTest::keyClick(Component<QPlainTextEdit>(f, "Editor"), Qt::Key_Backspace);
        QCOMPARE(Component<QPlainTextEdit>(f, "Editor")->toPlainText(), before);
        QVERIFY(!f.Modified());
        // Even asked directly, saving writes nothing: the large file keeps all its lines.
        const std::size_t fileDialogs = t.dialogs.fileTitles.size();
        QVERIFY(!f.FileSave1Execute());
        t.dialogs.fileNames.push_back(dir.filePath("COPY.STEM"));
        f.FileSaveAsItemClick();
        QCOMPARE(t.dialogs.fileTitles.size(), fileDialogs);
        t.dialogs.fileNames.clear();
        QVERIFY(!QFile::exists(dir.filePath("COPY.STEM")));
        QCOMPARE(ReadBytes(path), text);
        // Closing asks nothing: nothing was changed.
        const std::size_t asked = t.dialogs.shown.size();
        f.FileNew1Execute();
        QCOMPARE(t.dialogs.shown.size(), asked);
        QVERIFY(f.StemFileShownCut().isEmpty());
        QVERIFY(!Component<QPlainTextEdit>(f, "Editor")->isReadOnly());

        // Regeneration reads the whole file, not the editor.
        t.dialogs.fileNames.push_back(path);
        f.OuvrirUnfichierSTEM1Click();
        f.RegenererleSTEM1Click();
        QCOMPARE(t.dialogs.Last()->caption, QString("Régénération..."));
        QCOMPARE(t.dialogs.Last()->text, QString("STEM régénéré avec succès."));
        QCOMPARE(t.GetSession().stem.StateCount(), std::size_t{states});
        QCOMPARE(t.GetSession().stem.ArcCount(), std::int64_t{3} * states);
        QCOMPARE(t.GetSession().stem.StemStateCount, states);
        QVERIFY(Enabled(Component<QMenu>(f, "VerificationMenu")));
        QVERIFY(Enabled(Component<QMenu>(f, "VisualisationMenu")));
        QCOMPARE(Component<QPlainTextEdit>(f, "Editor")->toPlainText(), before);
        // Written back, the STEM is the file again, each line's records reversed.
        const QString back = dir.filePath("BACK.STEM");
        t.dialogs.fileNames.push_back(back);
        f.Fichierexterne1Click();
        QCOMPARE(ReadBytes(back), writtenBack);

        // A fault beyond the lines shown is reported at its line of the file;
        // the STEM read before stays.
        const QString bad = dir.filePath("BAD.STEM");
        QByteArray faulty = text;
        const qsizetype line1500 = [&] {
            qsizetype at = 0;
            for (int i = 0; i < 1499; ++i) at = faulty.indexOf('\n', at) + 1;
            return at;
        }();
        faulty.insert(line1500 + 3, "$");
        WriteBytes(bad, faulty);
        t.dialogs.fileNames.push_back(bad);
        f.OuvrirUnfichierSTEM1Click();
        QCOMPARE(f.StemFileShownCut(), bad);
        f.RegenererleSTEM1Click();
        QCOMPARE(t.dialogs.Last()->caption, QString("Erreur dans le fichier"));
        QCOMPARE(t.dialogs.Last()->text, QString("Erreur dans le fichier ligne:1500"));
        QCOMPARE(t.GetSession().stem.StateCount(), std::size_t{states});

        // A file that went away meanwhile: its reading error is shown.
        QVERIFY(QFile::remove(bad));
        f.RegenererleSTEM1Click();
        QCOMPARE(t.dialogs.Last()->caption, QString("Erreur!"));
        QVERIFY(t.dialogs.Last()->text.startsWith("Impossible d'ouvrir le fichier « " + bad + " »"));
        QCOMPARE(t.GetSession().stem.StateCount(), std::size_t{states});

        // A small STEM file is shown whole again, and regenerated from the editor.
        const QString small = dir.filePath("SMALL.STEM");
        WriteBytes(small, "BEGIN 2;\r\n{}0<{}A:1>{1:A}1;\r\n\r\nEND");
        t.dialogs.fileNames.push_back(small);
        f.OuvrirUnfichierSTEM1Click();
        QVERIFY(f.StemFileShownCut().isEmpty());
        QCOMPARE(Component<QPlainTextEdit>(f, "Editor")->toPlainText(), QString("BEGIN 2;\n{}0<{}A:1>{1:A}1;\n\nEND"));
        QVERIFY(QFile::remove(small));
        f.RegenererleSTEM1Click();
        QCOMPARE(t.dialogs.Last()->text, QString("STEM régénéré avec succès."));
        QCOMPARE(t.GetSession().stem.StateCount(), std::size_t{2});
    }

    void OpeningAStemFileAsksToSaveTheSpecificationFirst() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        Type(f, "unsaved text");
        t.dialogs.fileNames.push_back(Example("BUFFER.LOT"));
        t.dialogs.answers.push_back(QMessageBox::Cancel);
        f.OuvrirUnfichierSTEM1Click();
        QCOMPARE(t.dialogs.Last()->text, QString("Enregistrer les modifications de la nouvelle spécification ?"));
        QCOMPARE(Component<QPlainTextEdit>(f, "Editor")->toPlainText(), QString("unsaved text"));
        QVERIFY(!Component<QPlainTextEdit>(f, "Editor")->isReadOnly());
    }

    void HelpAndLicenceAreOpenedFromTheProgramDirectory() {
        QTemporaryDir empty;
        TestApp t(empty.path());
        TSDIAppForm& f = t.app->Main();
        Component<QAction>(f, "Rubriquesdaide1")->trigger();
        QCOMPARE(t.dialogs.Last()->caption, QString("Erreur!"));
        QVERIFY(t.dialogs.Last()->text.contains("Help/Help.html"));
        QVERIFY(t.dialogs.opened.empty());

        t.Windows().about->OpenLicence();
        QVERIFY(t.dialogs.Last()->text.contains("LICENCE.txt"));
        QVERIFY(t.dialogs.opened.empty());

        // The guide opens in the program's own help window; the licence on the desktop.
        TestApp withHelp;
        Component<QAction>(withHelp.app->Main(), "Rubriquesdaide1")->trigger();
        THelpWindow* help = withHelp.Windows().help;
        QVERIFY(help->isVisible());
        QVERIFY(help->Browser->source().toLocalFile().endsWith("Help/Help.html"));
        QVERIFY(help->Browser->toPlainText().contains("Calvento"));
        QVERIFY(withHelp.dialogs.opened.empty());
        withHelp.Windows().about->OpenLicence();
        QCOMPARE(withHelp.dialogs.opened.size(), std::size_t{1});
        QVERIFY(withHelp.dialogs.opened.back().endsWith("LICENCE.txt"));
    }

    void TheHelpWindowFindsTextAndFollowsLinks() {
        TestApp t;
        Component<QAction>(t.app->Main(), "Rubriquesdaide1")->trigger();
        THelpWindow* help = t.Windows().help;
        QVERIFY(help->Find("maximalité"));
        QCOMPARE(help->Browser->textCursor().selectedText().toLower(), QString("maximalité"));
        const int first = help->Browser->textCursor().position();
        QVERIFY(help->Find("maximalité"));
        QVERIFY(help->Browser->textCursor().position() > first);
        QVERIFY(!help->Find("xyzzy introuvable"));
        QCOMPARE(help->Status->text(), QString("« xyzzy introuvable » ne figure pas dans l'aide."));
        // An anchor of the guide is followed within the window.
        const QUrl guide = help->Browser->source();
        QUrl anchor = guide;
        anchor.setFragment("operateurs");
        help->Browser->setSource(anchor);
        QCOMPARE(help->Browser->source().fileName(), guide.fileName());
        QVERIFY(help->Browser->isBackwardAvailable());
    }

    void CompilingAndGeneratingByKeyboard() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        QVERIFY(f.OpenSpecification(Example("MUTEX.LOT")));
        f.show();
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        QTest::keyClick(&f, Qt::Key_F5);
        QCOMPARE(Messages(f).last(), QString("Compilation terminée. Aucune erreur détectée."));
        QTest::keyClick(&f, Qt::Key_F6);
        QCOMPARE(Messages(f).last(), QString("Génération terminée."));
        QVERIFY(t.GetSession().hasStem);
        f.close();
    }

    void DroppedFilesAreOpenedAfterTheSavePrompt() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        const auto drop = [&f](const QString& path) {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(path)});
            // A drop goes to the widget that accepted the drag's entry.
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(Component<QPlainTextEdit>(f, "Editor")->viewport(), &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(Component<QPlainTextEdit>(f, "Editor")->viewport(), &event);
            QVERIFY(event.isAccepted());
            QCoreApplication::processEvents();
        };
        Type(f, "unsaved");
        t.dialogs.answers.push_back(QMessageBox::Cancel);
        drop(Example("BUFFER.LOT"));
        QCOMPARE(Component<QPlainTextEdit>(f, "Editor")->toPlainText(), QString("unsaved"));
        t.dialogs.answers.push_back(QMessageBox::No);
        drop(Example("BUFFER.LOT"));
        QCOMPARE(f.CurrentFileName(), Example("BUFFER.LOT"));
        QVERIFY(Component<QPlainTextEdit>(f, "Editor")->toPlainText().contains("SYSTEM Buffer"));

        QTemporaryDir dir;
        const QString stem = dir.filePath("B.STEM");
        WriteBytes(stem, "BEGIN 1;\r\n\r\nEND\r\n");
        drop(stem);
        QVERIFY(Component<QPlainTextEdit>(f, "Editor")->isReadOnly());
        QVERIFY(Component<QAction>(f, "RegenererleSTEM1")->isEnabled());
    }

    void FontAndBackgroundOfTheEditor() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        t.dialogs.fontAccepted = true;
        t.dialogs.font = QFont("DejaVu Sans", 17);
        Component<QAction>(f, "Polices1")->trigger();
        QCOMPARE(Component<QPlainTextEdit>(f, "Editor")->font().pointSize(), 17);
        t.dialogs.colorAccepted = true;
        t.dialogs.color = QColor(10, 20, 30);
        Component<QAction>(f, "ArrierePlan1")->trigger();
        QCOMPARE(Component<QPlainTextEdit>(f, "Editor")->palette().color(QPalette::Base), QColor(10, 20, 30));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
