// QUARVO: the desktop program.
#include <QApplication>
#include <QDir>
#include <QMessageBox>

#include <new>

#include "app/QuarvoApp.h"
#include "app/Sdimain.h"
#include "app/Translations.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("QUARVO");
    QApplication::setApplicationDisplayName("QUARVO");
    // The program ends when its main window closes, whatever other window is open.
    QApplication::setQuitOnLastWindowClosed(false);
    // The standard dialogs speak French like the rest of the program.
    quarvo::InstallFrenchTranslations(application);

    quarvo::DesktopDialogs dialogs;
    quarvo::QuarvoApp app(QDir::currentPath().toStdString(), dialogs, QCoreApplication::applicationDirPath());
    QObject::connect(&app.Main(), &TSDIAppForm::Closed, &application, &QCoreApplication::quit, Qt::QueuedConnection);
    app.Main().show();
    try {
        return QApplication::exec();
    } catch (const std::bad_alloc&) {
        QMessageBox::critical(nullptr, "Erreur!", "Mémoire insuffisante : QUARVO doit s'arrêter.");
        return 2;
    }
}
