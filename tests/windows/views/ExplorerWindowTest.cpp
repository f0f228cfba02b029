// The explorer and its go-to dialog driven through the real program: the walk, the table, the jumps.
#include <QHeaderView>
#include <QTimer>
#include <QScrollBar>
#include <QtTest>

#include "tests/windows/WindowTestSupport.h"
#include "app/GenFrm.h"
#include "app/Sdimain.h"
#include "app/views/GoToState.h"
#include "app/views/SteV.h"

using quarvo::testing::Example;
using quarvo::testing::TestApp;

namespace {

QString Padded(const char* name) { return QString(name).leftJustified(32, ' '); }

QStringList Items(const QListWidget* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
    return items;
}

// BUFFER.LOT, 7 states:
// 0 -PUT-> 1 -I_MID-> 2, 2 -GET-> 4 and -PUT-> 3, 3 -GET-> 5, 4 -PUT-> 6, 5 and 6 -I_MID-> 2.
void Generate(TestApp& t) {
    t.app->Main().OpenSpecification(Example("BUFFER.LOT"));
    t.app->Main().Compiler1Click();
    t.app->Main().SemEntreClick();
    QVERIFY(t.GetSession().hasStem);
}

TSteVisual& Explorer(TestApp& t) { return *t.Windows().explorer; }
TForm9& GoTo(TestApp& t) { return *t.Windows().goTo; }

bool LowerGroupEmpty(const TSteVisual& e) {
    return e.ListEventAct->count() == 0 && e.StatTransition->text().isEmpty() && e.StatEvent->text().isEmpty() &&
           e.StatBut->text().isEmpty();
}

bool AllEmpty(const TSteVisual& e) {
    return e.StatName->text().isEmpty() && e.ListEvent->count() == 0 && e.ListAction->count() == 0 &&
           e.ListTransition->count() == 0 && LowerGroupEmpty(e);
}

void GoToNumber(TestApp& t, int value) {
    GoTo(t).SpinEdit1->setValue(value);
    GoTo(t).Button1->click();
}

}  // namespace

class ExplorerWindowTest : public QObject {
    Q_OBJECT
private slots:
    void ADoubleClickOnARowOfTheTableGoesToItsState() {
        TestApp t;
        Generate(t);
        TSteVisual& e = Explorer(t);
        e.show();
        QVERIFY(QTest::qWaitForWindowExposed(&e));
        for (const int row : {4, 1, 6}) {
            const QPoint at = e.ex->visualRect(e.ex->model()->index(row, 2)).center();
            QTest::mouseClick(e.ex->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(e.ex->viewport(), Qt::LeftButton, {}, at);
            QCOMPARE(e.ExploredStateIndex(), row);
            QCOMPARE(e.StatName->text(), QString::number(row));
        }
        // As if reached by "Etat suivant": the walk goes on from there.
        e.ButNextClick();
        QVERIFY(AllEmpty(e));
    }

    void WalksStatesAndTransitionsWithoutWrappingAround() {
        TestApp t;
        Generate(t);
        TSteVisual& e = Explorer(t);
        e.show();
        QCOMPARE(e.StatName->text(), QString("0"));
        QCOMPARE(e.ListEvent->count(), 0);
        QCOMPARE(Items(e.ListTransition), QStringList{Padded("PUT")});
        QCOMPARE(e.StatTransition->text(), Padded("PUT"));
        QCOMPARE(e.StatEvent->text(), QString("1"));
        QCOMPARE(e.StatBut->text(), QString("1"));
        QVERIFY(e.ButNext->isDefault());

        QTest::mouseClick(e.ButNext, Qt::LeftButton);
        QCOMPARE(e.StatName->text(), QString("1"));
        QCOMPARE(Items(e.ListEvent), QStringList{"1"});
        QCOMPARE(Items(e.ListAction), QStringList{Padded("PUT")});
        QCOMPARE(Items(e.ListEventAct), QStringList{"1"});
        QCOMPARE(e.StatTransition->text(), Padded("I_MID"));

        QTest::mouseClick(e.ButNext, Qt::LeftButton);
        QCOMPARE(e.StatName->text(), QString("2"));
        QCOMPARE(Items(e.ListTransition), (QStringList{Padded("GET"), Padded("PUT")}));
        QCOMPARE(e.StatBut->text(), QString("4"));
        QTest::mouseClick(e.ButNextTran, Qt::LeftButton);
        QCOMPARE(e.StatBut->text(), QString("3"));
        QCOMPARE(e.StatTransition->text(), Padded("PUT"));
        QCOMPARE(e.ExploredStateIndex(), 2);
        QCOMPARE(e.ExploredArcIndex(), 1);
        QCOMPARE(e.ExploredArc()->Target, e.ExploredState()->Arcs[1].Target);
        QCOMPARE(e.ExploredArc()->Action, e.ExploredState()->Arcs[1].Action);
        QTest::mouseClick(e.ButNextTran, Qt::LeftButton);
        QVERIFY(LowerGroupEmpty(e));
        QCOMPARE(e.ExploredArcIndex(), 1);
        QTest::mouseClick(e.ButNextTran, Qt::LeftButton);
        QVERIFY(LowerGroupEmpty(e));
        QCOMPARE(e.StatName->text(), QString("2"));
        QCOMPARE(e.ListTransition->count(), 2);

        for (int n = 3; n <= 6; ++n) {
            QTest::mouseClick(e.ButNext, Qt::LeftButton);
            QCOMPARE(e.StatName->text(), QString::number(n));
            QCOMPARE(e.ListEvent->count(), e.ListAction->count());
        }
        QCOMPARE(Items(e.ListEvent), (QStringList{"1", "2"}));
        QCOMPARE(Items(e.ListAction), (QStringList{Padded("GET"), Padded("PUT")}));
        QTest::mouseClick(e.ButNext, Qt::LeftButton);
        QVERIFY(AllEmpty(e));
        QVERIFY(!e.ExploredState().has_value());
        QCOMPARE(e.ExploredStateIndex(), -1);
        QTest::mouseClick(e.ButNext, Qt::LeftButton);
        QVERIFY(AllEmpty(e));
        QTest::mouseClick(e.ButNextTran, Qt::LeftButton);
        QVERIFY(AllEmpty(e));
        QTest::mouseClick(e.ButResetStem, Qt::LeftButton);
        QCOMPARE(e.StatName->text(), QString("0"));
        QCOMPARE(e.StatBut->text(), QString("1"));
    }

    void EachEventNumberStandsBesideItsAction() {
        TestApp t;
        quarvo::StemStore& stem = t.GetSession().stem;
        std::vector<quarvo::TEventEntry> events;
        for (std::int32_t e = 1; e <= 9; ++e) events.push_back({e, stem.Intern(("ACTION_" + std::to_string(e)).c_str())});
        stem.AppendState(0, stem.InternEvents(events));
        stem.StemStateCount = 1;
        stem.LastGenStateCount = 1;
        t.GetSession().hasStem = true;
        TSteVisual& e = Explorer(t);
        e.show();
        QCOMPARE(e.ListEvent->count(), 9);
        QCOMPARE(e.ListAction->count(), 9);
        for (int row = 0; row < 9; ++row) {
            const QRect number = e.ListEvent->visualItemRect(e.ListEvent->item(row));
            const QRect action = e.ListAction->visualItemRect(e.ListAction->item(row));
            QCOMPARE(number.top(), action.top());
            QCOMPARE(number.height(), action.height());
        }
        // Scrolled or selected, the two lists stay side by side.
        e.ListAction->scrollToItem(e.ListAction->item(8));
        QVERIFY(e.ListAction->verticalScrollBar()->value() > 0);
        QCOMPARE(e.ListEvent->verticalScrollBar()->value(), e.ListAction->verticalScrollBar()->value());
        QCOMPARE(e.ListEvent->visualItemRect(e.ListEvent->item(8)).top(),
                 e.ListAction->visualItemRect(e.ListAction->item(8)).top());
        e.ListEvent->setCurrentRow(5);
        QCOMPARE(e.ListAction->currentRow(), 5);
    }

    void RootWithoutArcsLeavesTheLowerGroupEmpty() {
        TestApp t;
        QTemporaryDir dir;
        const QString path = dir.filePath("NIL.LOT");
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("SYSTEM S [P] := NIL ENDSYS\r\n");
        }
        QVERIFY(t.app->Main().OpenSpecification(path));
        t.app->Main().Compiler1Click();
        t.app->Main().SemEntreClick();
        QVERIFY(t.GetSession().hasStem);
        TSteVisual& e = Explorer(t);
        e.show();
        QCOMPARE(e.StatName->text(), QString("0"));
        QCOMPARE(e.ListTransition->count(), 0);
        QVERIFY(LowerGroupEmpty(e));
        QVERIFY(!e.ExploredArc().has_value());
        QCOMPARE(e.ExploredArcIndex(), -1);
        QTest::mouseClick(e.ButNextTran, Qt::LeftButton);
        QCOMPARE(e.StatName->text(), QString("0"));
        QVERIFY(LowerGroupEmpty(e));
    }

    void TableHasOneRowPerStateUnderItsHeadings() {
        TestApp t;
        Generate(t);
        TSteVisual& e = Explorer(t);
        e.show();
        const QAbstractItemModel* table = e.ex->model();
        QCOMPARE(table->rowCount(), 7);
        QCOMPARE(table->columnCount(), 3);
        QCOMPARE(table->headerData(0, Qt::Horizontal).toString(), QString("Etat"));
        QCOMPARE(table->headerData(1, Qt::Horizontal).toString(), QString("Evénements maximaux"));
        QCOMPARE(table->headerData(2, Qt::Horizontal).toString(), QString("Etats buts"));
        QCOMPARE(table->index(0, 1).data().toString(), QString("{}"));
        QCOMPARE(table->index(2, 0).data().toString(), QString("2"));
        QCOMPARE(table->index(2, 1).data().toString(), QString("{x1: I_MID} "));
        QCOMPARE(table->index(2, 2).data().toString(), QString("{4,3}"));
        QCOMPARE(table->index(5, 1).data().toString(), QString("{x1: PUT, x2: GET} "));
        QCOMPARE(e.ex->columnWidth(0), 62);
        QCOMPARE(e.ex->columnWidth(1), 269);
        // The last column takes the rest of the width, at least its own.
        QVERIFY(e.ex->columnWidth(2) >= 127);
        QCOMPARE(e.ex->rowHeight(0), 16);
        QVERIFY(e.ex->horizontalHeader()->sectionsMovable());
        e.close();
        QCOMPARE(table->rowCount(), 0);
    }

    void GoesToANumberInRangeAndRefusesTheOthers() {
        TestApp t;
        Generate(t);
        TSteVisual& e = Explorer(t);
        e.show();
        QCOMPARE(GoTo(t).windowTitle(), QString("Aller à l'état"));
        GoToNumber(t, 4);
        QCOMPARE(e.StatName->text(), QString("4"));
        QCOMPARE(e.StatTransition->text(), Padded("PUT"));
        QCOMPARE(e.StatBut->text(), QString("6"));
        QCOMPARE(GoTo(t).SpinEdit1->value(), 0);
        QVERIFY(t.dialogs.shown.empty());

        GoToNumber(t, 0);
        QCOMPARE(e.StatName->text(), QString("0"));
        QTest::mouseClick(e.ButNext, Qt::LeftButton);

        for (int wrong : {7, -1, 1000}) {
            GoToNumber(t, wrong);
            QVERIFY(t.dialogs.Last());
            QCOMPARE(t.dialogs.Last()->icon, QMessageBox::Warning);
            QCOMPARE(t.dialogs.Last()->text, QString("Entrez une valeur entre 0 et 6"));
            QCOMPARE(e.StatName->text(), QString("1"));
            QCOMPARE(GoTo(t).SpinEdit1->value(), wrong);
        }
        QCOMPARE(t.dialogs.shown.size(), std::size_t(3));

        TestApp empty;  // no generation yet
        GoToNumber(empty, 0);
        QCOMPARE(empty.dialogs.Last()->text, QString("Entrez une valeur entre 0 et -1"));
    }

    void AfterARegenerationJumpsWithinTheFilesStatesAndReportsMissingNumbers() {
        TestApp t;
        Generate(t);
        QTemporaryDir dir;
        const QString path = dir.filePath("HOLE.STEM");
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("BEGIN 3;\r\n{}0<{}A:1>{1:A}2;\r\n{1:A}2<{1:A}B:1>{1:B}5;\r\n{1:B}5<{1:B}A:1>{1:A}2;\r\nEND\r\n");
        }
        t.dialogs.fileNames = {path};
        t.app->Main().OuvrirUnfichierSTEM1Click();
        t.app->Main().RegenererleSTEM1Click();
        QCOMPARE(t.GetSession().stem.StemStateCount, 3);
        QCOMPARE(t.GetSession().stem.LastGenStateCount, 7);
        t.dialogs.shown.clear();
        TSteVisual& e = Explorer(t);
        e.show();
        QCOMPARE(e.ex->model()->rowCount(), 3);
        GoToNumber(t, 2);
        QCOMPARE(e.StatName->text(), QString("2"));
        QCOMPARE(e.StatBut->text(), QString("5"));
        QVERIFY(t.dialogs.shown.empty());
        QTest::mouseClick(e.ButResetStem, Qt::LeftButton);
        GoToNumber(t, 1);
        QCOMPARE(t.dialogs.Last()->text, QString("Aucun état numéro 1."));
        QCOMPARE(t.dialogs.Last()->icon, QMessageBox::Warning);
        QCOMPARE(e.StatName->text(), QString("0"));
        GoToNumber(t, 5);
        QCOMPARE(t.dialogs.Last()->text, QString("Entrez une valeur entre 0 et 2"));
    }

    void OpensFromTheMainWindowAndTheGenerationDialogAndOpensTheGoToModally() {
        TestApp t;
        Generate(t);
        QString shownFromMenu, shownFromDialog;
        QTimer::singleShot(0, this, [&] {
            shownFromMenu = Explorer(t).StatName->text();
            QTest::mouseClick(Explorer(t).ButNext, Qt::LeftButton);
            QTest::mouseClick(Explorer(t).Button1, Qt::LeftButton);
        });
        t.app->Main().explorationClick();
        QVERIFY(!Explorer(t).isVisible());
        QTimer::singleShot(0, this, [&] {
            shownFromDialog = Explorer(t).StatName->text();
            Explorer(t).Button1->click();
        });
        t.Windows().generation->ExplorationButton->click();
        QCOMPARE(shownFromMenu, QString("0"));
        QCOMPARE(shownFromDialog, QString("0"));

        TSteVisual& e = Explorer(t);
        e.show();
        bool wasModal = false;
        QTimer::singleShot(0, this, [&] {
            wasModal = GoTo(t).isModal() && GoTo(t).isVisible();
            GoToNumber(t, 5);
        });
        QTest::mouseClick(e.Button2, Qt::LeftButton);
        QVERIFY(wasModal);
        QCOMPARE(e.StatName->text(), QString("5"));
    }
};

QTEST_MAIN(ExplorerWindowTest)
#include "ExplorerWindowTest.moc"
