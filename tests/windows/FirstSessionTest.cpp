// A student's first session through the real program, from a copy of the
// buffer example: every write is confirmed with its path, every dialog opens
// in the specification's folder, and each window says what comes next.
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "app/Sdimain.h"
#include "app/ctl/CtlWindow.h"
#include "app/ctl/DiagnosticWindow.h"
#include "app/views/Graphic.h"
#include "app/views/SteV.h"
#include "tests/windows/WindowTestSupport.h"

using quarvo::testing::Component;
using quarvo::testing::Example;
using quarvo::testing::TestApp;

namespace {

QString LastMessage(TSDIAppForm& main) {
    auto* list = Component<QListWidget>(main, "MemoError");
    return list->count() > 0 ? list->item(list->count() - 1)->text() : QString();
}

QString Quoted(const QString& caption, const QString& path) {
    return caption + " dans « " + QDir::toNativeSeparators(path) + " ».";
}

int Overlaps(const std::vector<QRect>& rects) {
    int pairs = 0;
    for (std::size_t a = 0; a < rects.size(); ++a)
        for (std::size_t b = a + 1; b < rects.size(); ++b) pairs += rects[a].intersects(rects[b]);
    return pairs;
}

}  // namespace

class FirstSessionTest : public QObject {
    Q_OBJECT
private slots:
    void TheWholeFirstSessionConfirmsWarnsAndGuides() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString folder = QDir(dir.path()).absolutePath();
        const QString spec = folder + "/BUFFER.LOT";
        QVERIFY(QFile::copy(Example("BUFFER.LOT"), spec));

        TestApp t;
        TSDIAppForm& main = t.app->Main();
        main.show();
        QVERIFY(main.OpenSpecification(spec));
        main.Compiler1Click();
        main.SemEntreClick();
        QVERIFY(t.GetSession().hasStem);

        // The viewer: after each unfolding a state is current and the hint speaks of it.
        TGraph& graph = *t.Windows().graph;
        graph.draw_stem();
        graph.UnfoldAll();
        QVERIFY(graph.Model().HasCurrentState());
        QVERIFY(graph.MouseHelp->text().contains("état courant (rouge)"));
        QVERIFY(graph.UnfoldToDepth(10));
        QCOMPARE(Overlaps(graph.LabelRects()), 0);
        // The buffer is drawn whole: no state is current, and the hint says so.
        QVERIFY(!graph.Model().HasCurrentState());
        QVERIFY(graph.MouseHelp->text().startsWith("Tous les successeurs des états dessinés sont dessinés"));
        // The search states its range.
        graph.FindStateAsked();
        QCOMPARE(t.dialogs.inputPrompts.back(), QString("Numéro de l'état (de 0 à 6) :"));

        // Exporting the graph proposes the specification's name and confirms the write.
        const QString picture = folder + "/BUFFER.svg";
        t.dialogs.fileNames = {picture};
        graph.SaveDrawingAs();
        QCOMPARE(t.dialogs.proposedPaths.back(), picture);
        QVERIFY(QFile::exists(picture));
        QCOMPARE(graph.StatusBar->currentMessage(), Quoted("Graphe exporté", picture));
        QCOMPARE(LastMessage(main), Quoted("Graphe exporté", picture));

        // The explorer: a double click on a row goes to its state.
        // (shown without exec, which "Exploration" uses: the test drives it from here)
        TSteVisual& explorer = *t.Windows().explorer;
        explorer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&explorer));
        const QModelIndex row = explorer.ex->model()->index(3, 0);
        const QPoint onRow = explorer.ex->visualRect(row).center();
        // A double click is two presses: the first selects the row.
        QTest::mouseClick(explorer.ex->viewport(), Qt::LeftButton, {}, onRow);
        QTest::mouseDClick(explorer.ex->viewport(), Qt::LeftButton, {}, onRow);
        QCOMPARE(explorer.ExploredStateIndex(), 3);
        explorer.close();

        // A misspelt action: the verdict says so beside it, with the nearest action.
        main.VrificationLogiqueCTL1Click();
        TForm5& checker = *t.Windows().checker;
        checker.Memo1->setPlainText("A G NOT GETT");
        checker.Compiler1Click();
        checker.Verifier1Click();
        QCOMPARE(t.dialogs.Last()->text,
                 QString("Attention : aucune action GETT dans le STEM. GET ?\nFormule vérifiée à l'état initial."));
        // The diagnostic opens with its lists filled.
        checker.Diagnostic1Click();
        TForm6& diagnostic = *t.Windows().diagnostic;
        QVERIFY(!diagnostic.HoldingStates().empty() || !diagnostic.FailingStates().empty());
        QCOMPARE(diagnostic.HoldingStates().size() + diagnostic.FailingStates().size(), std::size_t(7));
        diagnostic.close();
        // Saving the formula proposes BUFFER.CTL beside the specification.
        const QString formula = folder + "/BUFFER.CTL";
        t.dialogs.fileNames = {formula};
        checker.Enregistrersous1Click();
        QCOMPARE(t.dialogs.proposedPaths.back(), formula);
        QVERIFY(QFile::exists(formula));
        QCOMPARE(checker.statusBar()->currentMessage(), Quoted("Formule écrite", formula));
        QCOMPARE(LastMessage(main), Quoted("Formule écrite", formula));
        checker.close();

        // The STEM file, confirmed in the message list.
        const QString stem = folder + "/BUFFER.STEM";
        t.dialogs.fileNames = {stem};
        main.Fichierexterne1Click();
        QCOMPARE(t.dialogs.proposedPaths.back(), stem);
        QVERIFY(QFile::exists(stem));
        QCOMPARE(LastMessage(main), Quoted("STEM écrit", stem));

        // Interleaving: the message says why the CTL check goes and what checks
        // the STE instead; the panel explains ENTRE.
        main.EntrelaceItemClick();
        QCOMPARE(LastMessage(main), QString(TSDIAppForm::InterleavingChosenMessage));
        QVERIFY(!Component<QAction>(main, "VrificationLogiqueCTL1")->isVisible());
        QVERIFY(Component<QAction>(main, "Proprietes1")->isVisible());
        QVERIFY(Component<QLabel>(main, "StatusPanel1")->toolTip().startsWith("ENTRE : sémantique d'entrelacement"));
        main.MaxItemClick();
        QCOMPARE(LastMessage(main), QString(TSDIAppForm::MaximalityChosenMessage));
        QVERIFY(Component<QLabel>(main, "StatusPanel1")->toolTip().startsWith("MAX : sémantique de maximalité"));

        // A syntax error after a process call says what stopped the parse.
        auto* editor = Component<QPlainTextEdit>(main, "Editor");
        editor->setPlainText("SYSTEM S [A, B, C] := Cell [A, B]; C\nWHERE\n"
                             "PROCESS Cell [A, B] := A; B; NIL ENDPROC\nENDSYS");
        main.Compiler1Click();
        QCOMPARE(Component<QListWidget>(main, "MemoError")->item(1)->text(),
                 QString("(ligne:1) \"endsys\" ou \"endproc\" manquant. (colonne:34) ; trouvé : « ; »"));
        // Saved, the specification is confirmed too.
        QVERIFY(main.FileSave1Execute());
        QCOMPARE(LastMessage(main), Quoted("Spécification écrite", spec));

        // The STEM file read back: the next step is named.
        t.dialogs.fileNames = {stem};
        main.OuvrirUnfichierSTEM1Click();
        QCOMPARE(LastMessage(main), QString(TSDIAppForm::StemOpenedMessage));
        QVERIFY(LastMessage(main).contains("« Génération > Régénérer le STEM »"));

        // No file dialog of the session opened anywhere but in the specification's folder.
        QVERIFY(!t.dialogs.fileFolders.empty());
        for (const QString& opened : t.dialogs.fileFolders) QCOMPARE(QDir(opened).absolutePath(), folder);
    }

    void WithoutADocumentTheDialogsOpenInTheLastFolderUsed() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString folder = QDir(dir.path()).absolutePath();
        TestApp t;
        TSDIAppForm& main = t.app->Main();
        // A new specification has no folder: the first dialog opens in the start directory, and proposes no name.
        t.dialogs.fileNames = {folder + "/NOUVELLE.LOT"};
        main.FileSaveAsItemClick();
        QCOMPARE(t.dialogs.proposedPaths.back(),
                 QDir(QString::fromStdString(t.GetSession().startDirectory)).absolutePath() + "/");
        QVERIFY(QFile::exists(folder + "/NOUVELLE.LOT"));
        main.FileNew1Execute();
        // Then in the folder last chosen.
        main.FileSaveAsItemClick();
        QCOMPARE(t.dialogs.proposedPaths.back(), folder + "/");
        main.FileOpen1Execute();
        QCOMPARE(t.dialogs.fileFolders.back(), folder);
    }
};

QTEST_MAIN(FirstSessionTest)
#include "FirstSessionTest.moc"
