// Compiling and generating from the main window: the message list, the generation dialog and its settings, a stop,
// a memory limit.
#include <QLabel>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <ctime>
#include <string>
#include <vector>

#include "app/CompFrm.h"
#include "app/GenFrm.h"
#include "app/Sdimain.h"
#include "generation/StemWriter.h"
#include "tests/windows/MainWindowTestSupport.h"
#include "tests/windows/WindowTestSupport.h"

using quarvo::testing::Component;
using quarvo::testing::Enabled;
using quarvo::testing::Example;
using quarvo::testing::Messages;
using quarvo::testing::TestApp;
using quarvo::testing::Type;

class CompileGenerateWindowTest : public QObject {
    Q_OBJECT

private slots:
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
};

QTEST_MAIN(CompileGenerateWindowTest)
#include "CompileGenerateWindowTest.moc"
