// The template chooser: input boxes asked and texts inserted at the caret.
#include <QTest>

#include "app/Sdimain.h"
#include "tests/windows/WindowTestSupport.h"

using quarvo::testing::Component;
using quarvo::testing::TestApp;

class TemplatesTest : public QObject {
    Q_OBJECT

private slots:
    void EntriesWithoutInputBoxes() {
        const struct {
            int index;
            const char* text;
        } entries[] = {{2, " WHERE "}, {3, ""},     {4, " NIL "}, {5, " EXIT "}, {6, " [] "},
                       {8, " ||| "},   {9, " || "}, {11, " >> "}, {12, " [> "},
                       {13, ""},       {16, " stop "}, {17, " i; "}};
        for (const auto& entry : entries) {
            TestApp t;
            TSDIAppForm& f = t.app->Main();
            f.ComboBox1Click(entry.index);
            QCOMPARE(Component<QPlainTextEdit>(f, "Editor")->toPlainText(), QString(entry.text));
            QVERIFY(t.dialogs.inputCaptions.empty());
        }
    }

    void TheListHoldsTwentyEntries() {
        TestApp t;
        QComboBox* box = Component<QComboBox>(t.app->Main(), "ComboBox1");
        QCOMPARE(box->count(), 20);
        QCOMPARE(box->itemText(13), QString("----- LOTOS standard"));
        QCOMPARE(box->itemText(14), QString("specification ... endspec"));
        QCOMPARE(box->itemText(19), QString("par g in [...] |||"));
        QCOMPARE(box->itemText(0), QString("system ... endsys"));
        QCOMPARE(box->itemText(3), QString("-----"));
        QCOMPARE(box->itemText(7), QString("|[...]|"));
        QCOMPARE(box->itemText(12), QString("[>"));
        QCOMPARE(box->toolTip(), QString("Insertion automatique"));
    }

    void SystemHeaderWithTheProposedNameAndNoActions() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        t.dialogs.inputs = {{true, "Exemple"}, {true, ""}};
        f.ComboBox1Click(0);
        QCOMPARE(t.dialogs.inputCaptions, (std::vector<QString>{"Nom du système", "Actions observables"}));
        QCOMPARE(t.dialogs.inputPrompts,
                 (std::vector<QString>{"Donnez un nom au système global: ",
                                       "Entrez les actions observables séparées par des virgules: "}));
        QCOMPARE(t.dialogs.inputValues, (std::vector<QString>{"Exemple", ""}));
        // One empty line between the header and the closing keyword.
        QCOMPARE(Component<QPlainTextEdit>(f, "Editor")->toPlainText(), QString("SYSTEM Exemple[] :=\n\nENDSYS"));
        QCOMPARE(Component<QPlainTextEdit>(f, "Editor")->document()->blockCount(), 3);
        QVERIFY(f.Modified());
    }

    void ProcessHeaderAndItsCancelledSecondBox() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        t.dialogs.inputs = {{true, "Cell"}, {true, "a, b"}};
        f.ComboBox1Click(1);
        QCOMPARE(Component<QPlainTextEdit>(f, "Editor")->toPlainText(), QString("PROCESS Cell[a, b] :=\n\nENDPROC"));
        QCOMPARE(t.dialogs.inputValues.front(), QString("Proc"));
        QCOMPARE(t.dialogs.inputPrompts.back(),
                 QString("Entrez les actions observables du processus séparées par des virgules: "));

        TestApp cancelled;
        cancelled.dialogs.inputs = {{true, "Cell"}, {false, ""}};
        cancelled.app->Main().ComboBox1Click(1);
        QVERIFY(Component<QPlainTextEdit>(cancelled.app->Main(), "Editor")->toPlainText().isEmpty());

        // A cancelled first box does not ask the second.
        TestApp first;
        first.dialogs.inputs = {{false, ""}};
        first.app->Main().ComboBox1Click(0);
        QCOMPARE(first.dialogs.inputCaptions.size(), std::size_t{1});
        QVERIFY(Component<QPlainTextEdit>(first.app->Main(), "Editor")->toPlainText().isEmpty());
    }

    void StandardSyntaxHeadersAndGateBinders() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        t.dialogs.inputs = {{true, "Buffer"}, {true, "put, get"}};
        f.ComboBox1Click(14);
        QCOMPARE(t.dialogs.inputCaptions, (std::vector<QString>{"Nom de la spécification", "Portes observables"}));
        QCOMPARE(t.dialogs.inputValues.front(), QString("Exemple"));
        QCOMPARE(Component<QPlainTextEdit>(f, "Editor")->toPlainText(),
                 QString("specification Buffer [put, get] : noexit\nbehaviour\n\nendspec"));

        TestApp p;
        p.dialogs.inputs = {{true, "Cell"}, {true, "x, y"}, {true, "a, b"}, {true, "c"}};
        p.app->Main().ComboBox1Click(15);
        p.app->Main().ComboBox1Click(18);
        p.app->Main().ComboBox1Click(19);
        QCOMPARE(Component<QPlainTextEdit>(p.app->Main(), "Editor")->toPlainText(),
                 QString("process Cell [x, y] : noexit :=\n\nendproc choice g in [a, b] []  par g in [c] ||| "));
        QCOMPARE(p.dialogs.inputCaptions.back(), QString("Portes parcourues"));
    }

    void GatesAndHiddenActionsReplaceTheSelection() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        Component<QPlainTextEdit>(f, "Editor")->setPlainText("P XX Q");
        QTextCursor cursor = Component<QPlainTextEdit>(f, "Editor")->textCursor();
        cursor.setPosition(2);
        cursor.setPosition(4, QTextCursor::KeepAnchor);
        Component<QPlainTextEdit>(f, "Editor")->setTextCursor(cursor);
        t.dialogs.inputs = {{true, "m, n"}};
        f.ComboBox1Click(7);
        QCOMPARE(t.dialogs.inputCaptions.back(), QString("Portes de synchronisation"));
        QCOMPARE(Component<QPlainTextEdit>(f, "Editor")->toPlainText(), QString("P  |[ m, n ]|  Q"));

        t.dialogs.inputs = {{true, "mid"}};
        f.ComboBox1Click(10);
        QCOMPARE(t.dialogs.inputCaptions.back(), QString("Actions cachées"));
        QCOMPARE(t.dialogs.inputPrompts.back(),
                 QString("Entrez les actions cachées (ou invisibles) séparées par des virgules: "));
        QVERIFY(Component<QPlainTextEdit>(f, "Editor")->toPlainText().endsWith(" HIDE mid IN  Q"));

        const QString before = Component<QPlainTextEdit>(f, "Editor")->toPlainText();
        f.ComboBox1Click(10);  // cancelled: nothing inserted
        QCOMPARE(Component<QPlainTextEdit>(f, "Editor")->toPlainText(), before);
    }
};

QTEST_MAIN(TemplatesTest)
#include "TemplatesTest.moc"
