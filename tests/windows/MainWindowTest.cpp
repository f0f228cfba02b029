// The main window driven as a user would: the commands it offers, the document it edits, opens, saves and closes,
// its help, and what is dropped on it.
#include <QLabel>
#include <QMimeData>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include "app/AboutBox.h"
#include "app/HelpWindow.h"
#include "app/Sdimain.h"
#include "app/ctl/CtlWindow.h"
#include "tests/windows/MainWindowTestSupport.h"
#include "tests/windows/WindowTestSupport.h"

using quarvo::testing::Component;
using quarvo::testing::Enabled;
using quarvo::testing::Example;
using quarvo::testing::LooksFixedPitch;
using quarvo::testing::ReadBytes;
using quarvo::testing::TestApp;
using quarvo::testing::Type;
using quarvo::testing::WriteBytes;

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
