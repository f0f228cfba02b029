// The desktop program's arguments (a file to open, --help, --version) and the version it shows.
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include "QuarvoVersion.h"
#include "app/AboutBox.h"
#include "app/CommandLine.h"
#include "app/Sdimain.h"
#include "tests/windows/WindowTestSupport.h"

using namespace quarvo;
using quarvo::testing::Component;
using quarvo::testing::TestApp;

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void ArgumentsAreReadAsTheUsageSays() {
        struct Case {
            std::vector<std::string> arguments;
            CommandLine::Action action;
            std::string file;
            std::string error;
        };
        const Case cases[] = {
            {{}, CommandLine::Action::Run, "", ""},
            {{"PHILO.LOT"}, CommandLine::Action::Run, "PHILO.LOT", ""},
            {{"--", "-odd.LOT"}, CommandLine::Action::Run, "-odd.LOT", ""},
            {{"--help"}, CommandLine::Action::Help, "", ""},
            {{"PHILO.LOT", "-h"}, CommandLine::Action::Help, "PHILO.LOT", ""},
            {{"--version"}, CommandLine::Action::Version, "", ""},
            {{"--verbose"}, CommandLine::Action::Error, "", "quarvo : option inconnue « --verbose »."},
            {{"a.LOT", "b.LOT"}, CommandLine::Action::Error, "a.LOT", "quarvo : un seul fichier à la fois (« b.LOT » en trop)."},
        };
        for (const Case& c : cases) {
            const CommandLine line = ParseCommandLine(c.arguments);
            QCOMPARE(line.action, c.action);
            QCOMPARE(line.file, c.file);
            QCOMPARE(line.error, c.error);
        }
        // The usage names every option the program reads.
        const std::string usage = QuarvoUsage;
        for (const char* option : {"--help", "--version", "FICHIER"}) QVERIFY(usage.find(option) != std::string::npos);
    }

    void TheVersionIsTheOneOfTheBuildAndTheAboutBoxShowsIt() {
        const std::string text = VersionText("calvento");
        QCOMPARE(text.substr(0, text.find('\n')), "calvento (QUARVO) " + std::string(Version));
        TestApp t;
        QVERIFY(Component<QLabel>(*t.Windows().about, "aboutName")->text().contains(Version));
    }

    // What "quarvo FILE" does once the window is shown.
    void AFileNamedAtStartIsOpenedAsOuvrirWould() {
        QTemporaryDir dir;
        const QString spec = dir.filePath("S.LOT");
        {
            QFile f(spec);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("SYSTEM S [A] := A; NIL ENDSYS\r\n");
        }
        TestApp t;
        TSDIAppForm& main = t.app->Main();
        main.OpenDroppedFile(spec);
        QCOMPARE(Component<QPlainTextEdit>(main, "Editor")->toPlainText(), QString("SYSTEM S [A] := A; NIL ENDSYS"));
        QVERIFY(main.windowTitle().contains("S.LOT"));
        QVERIFY(t.dialogs.shown.empty());
    }
};

QTEST_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
