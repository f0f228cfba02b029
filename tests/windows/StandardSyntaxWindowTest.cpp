// The standard syntax in the main window: opening, compiling, exporting, the editor's colours.
#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QFileInfo>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include "app/LotosHighlighter.h"
#include "app/Sdimain.h"
#include "tests/windows/WindowTestSupport.h"

using quarvo::testing::Component;
using quarvo::testing::Example;
using quarvo::testing::TestApp;

namespace {

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

// The format the highlighter gave the character at column of block.
QTextCharFormat FormatAt(const QTextBlock& block, int column) {
    for (const QTextLayout::FormatRange& range : block.layout()->formats())
        if (column >= range.start && column < range.start + range.length) return range.format;
    return {};
}

}  // namespace

class StandardSyntaxWindowTest : public QObject {
    Q_OBJECT

private slots:
    void AStandardFileOpensAndCompiles() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        t.dialogs.fileNames.push_back(Example("BUFFER.lotos"));
        f.FileOpen1Execute();
        QVERIFY(t.dialogs.fileFilters.back().contains("LOTOS standard (*.lotos)|*.lotos"));
        QVERIFY(f.HasFileName());
        QVERIFY(!f.Modified());
        f.Compiler1Click();
        auto* list = Component<QListWidget>(f, "MemoError");
        QCOMPARE(list->item(list->count() - 1)->text(), QString("Compilation terminée. Aucune erreur détectée."));
    }

    void AStandardTextIsSavedAsLotosAndOpeningShowsBothSyntaxesFirst() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        t.dialogs.fileNames.push_back(Example("BUFFER.lotos"));
        f.FileOpen1Execute();
        QVERIFY(t.dialogs.fileFilters.back().startsWith("Spécifications LOTOS (*.LOT *.lotos)|"));
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        t.dialogs.fileNames.push_back(dir.filePath("COPY.lotos"));
        f.FileSaveAsItemClick();
        QCOMPARE(t.dialogs.defaultSuffixes.back(), QString("lotos"));
        QVERIFY(t.dialogs.fileFilters.back().startsWith("LOTOS standard (*.lotos)|*.lotos"));
        QVERIFY(QFileInfo::exists(dir.filePath("COPY.lotos")));
        // A text of the dialect keeps its own suffix.
        Component<QPlainTextEdit>(f, "Editor")->setPlainText("SYSTEM S [P] := P; EXIT ENDSYS");
        t.dialogs.fileNames.push_back(dir.filePath("S.LOT"));
        f.FileSaveAsItemClick();
        QCOMPARE(t.dialogs.defaultSuffixes.back(), QString("LOT"));
    }

    void ExportWritesTheStandardText() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        QTemporaryDir dir;
        const QString path = dir.filePath("SPEC.lotos");
        Component<QPlainTextEdit>(f, "Editor")->setPlainText("SYSTEM S [P] := P; EXIT ENDSYS");
        t.dialogs.fileNames.push_back(path);
        Component<QAction>(f, "ExportStandardItem")->trigger();
        QCOMPARE(Component<QAction>(f, "ExportStandardItem")->text(), QString("Exporter en LOTOS standard…"));
        QCOMPARE(t.dialogs.fileTitles.back(), QString("Exporter en LOTOS standard"));
        QCOMPARE(t.dialogs.fileFilters.back(), QString("LOTOS standard (*.lotos)|*.lotos"));
        QCOMPARE(t.dialogs.defaultSuffixes.back(), QString("lotos"));
        QCOMPARE(ReadBytes(path), QByteArray("specification S [P] : exit\r\nbehaviour\r\n  P ; exit\r\nendspec\r\n"));
    }

    void ExportOfATextThatDoesNotCompileSaysWhy() {
        TestApp t;
        TSDIAppForm& f = t.app->Main();
        Component<QPlainTextEdit>(f, "Editor")->setPlainText("SYSTEM S [P] := Q; EXIT ENDSYS");
        Component<QAction>(f, "ExportStandardItem")->trigger();
        QVERIFY(t.dialogs.fileTitles.empty());
        QCOMPARE(t.dialogs.Last()->caption, QString("Exporter en LOTOS standard"));
        QCOMPARE(t.dialogs.Last()->text, QString("La spécification ne se compile pas : Action non declarée -> Q"));
    }

    void TheEditorColoursItsText() {
        TestApp t;
        auto* editor = Component<QPlainTextEdit>(t.app->Main(), "Editor");
        editor->setPlainText("specification S : noexit behaviour stop endspec");
        QCoreApplication::processEvents();
        const QTextCharFormat format = FormatAt(editor->document()->firstBlock(), 0);
        QCOMPARE(format.fontWeight(), int(QFont::Bold));
        QVERIFY(!t.app->Main().Modified());
    }

    void KeywordsAndCommentsOfBothSyntaxesAreColoured() {
        QTextDocument document;
        quarvo::LotosHighlighter highlighter(&document);
        document.setPlainText("SYSTEM S [A] := A; NIL { one\ntwo } ENDSYS\n(* three\nfour *) specification");
        highlighter.rehighlight();
        // A keyword is bold, a comment italic (and not bold, even over a keyword).
        auto kind = [](const QTextBlock& block, int column) {
            const QTextCharFormat format = FormatAt(block, column);
            if (format.fontItalic()) return QString("comment");
            if (format.fontWeight() == QFont::Bold) return QString("keyword");
            return QString("plain");
        };
        QCOMPARE(highlighter.KeywordFormat().fontWeight(), int(QFont::Bold));
        QVERIFY(highlighter.CommentFormat().fontItalic());
        const QTextBlock first = document.firstBlock();
        QCOMPARE(kind(first, 0), QString("keyword"));  // SYSTEM
        QCOMPARE(kind(first, 19), QString("keyword"));  // NIL
        QCOMPARE(kind(first, 7), QString("plain"));  // S
        QCOMPARE(kind(first, 24), QString("comment"));
        const QTextBlock second = first.next();
        QCOMPARE(kind(second, 0), QString("comment"));
        QCOMPARE(kind(second, 6), QString("keyword"));  // ENDSYS
        const QTextBlock fourth = second.next().next();
        QCOMPARE(kind(fourth, 0), QString("comment"));
        QCOMPARE(kind(fourth, 8), QString("keyword"));  // specification
    }
};

QTEST_MAIN(StandardSyntaxWindowTest)
#include "StandardSyntaxWindowTest.moc"
