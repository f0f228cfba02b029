// Classic STEM files from the main window: written, opened read-only, regenerated, shown cut when large, and
// their errors.
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

#include "app/Sdimain.h"
#include "tests/windows/MainWindowTestSupport.h"
#include "tests/windows/WindowTestSupport.h"

using quarvo::testing::Component;
using quarvo::testing::Enabled;
using quarvo::testing::Example;
using quarvo::testing::Messages;
using quarvo::testing::ReadBytes;
using quarvo::testing::TestApp;
using quarvo::testing::Type;
using quarvo::testing::WriteBytes;

class StemFileWindowTest : public QObject {
    Q_OBJECT

    // Writes a STEM file of those bytes, opens it read-only and regenerates it.
    static void RegenerateFile(TestApp& t, const QString& path, const char* bytes) {
        WriteBytes(path, bytes);
        t.dialogs.fileNames.push_back(path);
        t.app->Main().OuvrirUnfichierSTEM1Click();
        t.app->Main().RegenererleSTEM1Click();
    }

private slots:
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
        RegenerateFile(t, dir.filePath("MINUS.STEM"),
                       "BEGIN 3;\r\n{}0<{}A:-1>{-1:A}1;\r\n{-1:A}1<{}A:-1>{-1:A,-1:A}2;\r\nEND");
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
        RegenerateFile(t, dir.filePath("BAD.STEM"), "BEGIN 2;\r\n0:{}:\r\nnonsense\r\nEND\r\n");
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
};

QTEST_MAIN(StemFileWindowTest)
#include "StemFileWindowTest.moc"
