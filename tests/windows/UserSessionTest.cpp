// A whole session across the windows, as a user goes from a specification to a path in the viewer.
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/GenFrm.h"
#include "app/Sdimain.h"
#include "app/ctl/CtlWindow.h"
#include "app/ctl/DiagnosticWindow.h"
#include "app/views/Graphic.h"
#include "app/views/SteV.h"
#include "tests/windows/WindowTestSupport.h"

using quarvo::testing::Example;
using quarvo::testing::Component;
using quarvo::testing::TestApp;

class UserSessionTest : public QObject {
    Q_OBJECT

private slots:
    void FromSpecificationToAPathInTheViewer() {
        TestApp t;
        const quarvo::AppWindows& w = t.Windows();
        TSDIAppForm& f = t.app->Main();
        QVERIFY(f.OpenSpecification(Example("BUFFER.LOT")));
        Component<QAction>(f, "Compiler1")->trigger();
        Component<QAction>(f, "SemEntre")->trigger();
        QVERIFY(t.GetSession().hasStem);

        // F7: the viewer starts with the initial state; a left click unfolds its successor.
        Component<QAction>(f, "VisualisationGraphique1")->trigger();
        QVERIFY(w.graph->isVisible());
        QCOMPARE(w.graph->Model().States().size(), std::size_t{1});
        w.graph->PaintBox1MouseDown(Qt::LeftButton, QPoint(200, 200), false);
        w.graph->PaintBox1MouseUp();
        QCOMPARE(w.graph->Model().States().size(), std::size_t{2});

        // The explorer, modal, from the generation dialog's button.
        bool explorerShown = false;
        QTimer::singleShot(50, w.explorer, [&] {
            explorerShown = w.explorer->isVisible();
            w.explorer->close();
        });
        QVERIFY(w.generation->ExplorationButton->isEnabled());
        w.generation->ExplorationButton->click();
        QVERIFY(explorerShown);

        // F8: a formula without deadlock holds; the diagnostic's double click draws a path.
        Component<QAction>(f, "VrificationLogiqueCTL1")->trigger();
        TForm5& checker = *w.checker;
        QVERIFY(checker.isVisible());
        checker.Memo1->setPlainText("A G (E X TRUE)");
        checker.Compiler1Click();
        checker.Verifier1Click();
        QCOMPARE(t.dialogs.Last()->text, QString("Formule vérifiée à l'état initial."));
        checker.Diagnostic1Click();
        TForm6& diagnostic = *w.diagnostic;
        QVERIFY(diagnostic.isVisible());
        diagnostic.Button4Click();
        const std::vector<std::int32_t> holding = diagnostic.HoldingStates();
        QCOMPARE(static_cast<std::int32_t>(holding.size()), t.GetSession().stem.StemStateCount);
        diagnostic.ListBox1->setCurrentIndex(diagnostic.ListBox1->model()->index(int(holding.size()) - 1, 0));
        diagnostic.ListBox1DblClick();
        QVERIFY(diagnostic.LastTrace.size() >= 2);
        QCOMPARE(diagnostic.LastTrace.front(), 0);
        QCOMPARE(diagnostic.LastTrace.back(), holding.back());
        QVERIFY(w.graph->isVisible());
        QCOMPARE(w.graph->Model().States().size(), diagnostic.LastTrace.size());

        // A new generation leaves nothing pointing into the old STEM.
        Component<QAction>(f, "SemEntre")->trigger();
        QVERIFY(w.graph->Model().States().empty());
        QVERIFY(!diagnostic.isVisible());
    }

    void AStemReadFromAFileWithSparseNumbersIsViewedExploredAndChecked() {
        TestApp t;
        const quarvo::AppWindows& w = t.Windows();
        TSDIAppForm& f = t.app->Main();
        QTemporaryDir dir;
        const QString path = dir.filePath("SPARSE.STEM");
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("BEGIN 3;\r\n{}0<{}A:1>{1:A}7;\r\n{1:A}7<{1:A}B:2>{2:B}40;\r\n{1:A}7<{}C:1>{1:C}7;\r\n"
                       "{2:B}40<{2:B}A:1>{1:A}7;\r\n\r\nEND\r\n");
        }
        t.dialogs.fileNames.push_back(path);
        f.OuvrirUnfichierSTEM1Click();
        f.RegenererleSTEM1Click();
        QCOMPARE(t.dialogs.Last()->text, QString("STEM régénéré avec succès."));

        // Unfolding every state by clicks, with a self-loop among them.
        Component<QAction>(f, "VisualisationGraphique1")->trigger();
        for (int i = 0; i < 6; ++i) {
            const quarvo::TGraphicState* open = nullptr;
            for (const quarvo::TGraphicState& state : w.graph->Model().States())
                if (!state.Complete) open = &state;
            if (!open) break;
            w.graph->PaintBox1MouseDown(Qt::RightButton, QPoint(open->X, open->Y), false);
            w.graph->PaintBox1MouseUp();
            w.graph->PaintBox1MouseDown(Qt::LeftButton, QPoint(100 + 120 * i, 300), false);
            w.graph->PaintBox1MouseUp();
        }
        QCOMPARE(w.graph->Model().States().size(), std::size_t{3});
        w.graph->repaint();

        // The explorer walks the states in list order; go-to finds no state 1.
        QTimer::singleShot(50, w.explorer, [&] {
            w.explorer->ButNextClick();
            w.explorer->ButNextClick();
            w.explorer->ButNextClick();
            w.explorer->close();
        });
        Component<QAction>(f, "exploration")->trigger();

        // The checker answers on it.
        Component<QAction>(f, "VrificationLogiqueCTL1")->trigger();
        w.checker->Memo1->setPlainText("A G (E X TRUE)");
        w.checker->Compiler1Click();
        w.checker->Verifier1Click();
        QCOMPARE(t.dialogs.Last()->text, QString("Formule vérifiée à l'état initial."));
    }
};

QTEST_MAIN(UserSessionTest)
#include "UserSessionTest.moc"
