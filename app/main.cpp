// QUARVO: the desktop program.
#include <QApplication>
#include <QDir>
#include <QMessageBox>

#include <iostream>
#include <new>

#include "QuarvoVersion.h"
#include "app/CommandLine.h"
#include "app/QuarvoApp.h"
#include "app/Sdimain.h"
#include "app/Translations.h"

int main(int argc, char** argv) {
    // --help and --version answer without a display.
    const quarvo::CommandLine early = quarvo::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (early.action == quarvo::CommandLine::Action::Help) {
        std::cout << quarvo::QuarvoUsage;
        return 0;
    }
    if (early.action == quarvo::CommandLine::Action::Version) {
        std::cout << quarvo::VersionText("quarvo");
        return 0;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName("QUARVO");
    QApplication::setApplicationDisplayName("QUARVO");
    QApplication::setApplicationVersion(quarvo::Version);
    // What is left once Qt has taken its own options.
    std::vector<std::string> arguments;
    for (const QString& a : QApplication::arguments().mid(1)) arguments.push_back(a.toStdString());
    const quarvo::CommandLine line = quarvo::ParseCommandLine(arguments);
    if (line.action == quarvo::CommandLine::Action::Error) {
        std::cerr << line.error << "\n\n" << quarvo::QuarvoUsage;
        return 2;
    }
    // The program ends when its main window closes, whatever other window is open.
    QApplication::setQuitOnLastWindowClosed(false);
    // The standard dialogs speak French like the rest of the program.
    quarvo::InstallFrenchTranslations(application);

    quarvo::DesktopDialogs dialogs;
    quarvo::QuarvoApp app(QDir::currentPath().toStdString(), dialogs, QCoreApplication::applicationDirPath());
    QObject::connect(&app.Main(), &TSDIAppForm::Closed, &application, &QCoreApplication::quit, Qt::QueuedConnection);
    app.Main().show();
    if (!line.file.empty()) app.Main().OpenDroppedFile(QString::fromStdString(line.file));
    try {
        return QApplication::exec();
    } catch (const std::bad_alloc&) {
        QMessageBox::critical(nullptr, "Erreur!", "Mémoire insuffisante : QUARVO doit s'arrêter.");
        return 2;
    }
}
