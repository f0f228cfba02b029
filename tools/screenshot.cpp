// Starts the real main window, opens an example, compiles and generates it, and saves a picture of
// the window: the screenshot of the README.
#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTimer>

#include <cstdio>

#include "app/GenFrm.h"
#include "app/QuarvoApp.h"
#include "app/Sdimain.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "Usage : quarvo_screenshot EXEMPLE.LOT IMAGE.png\n");
        return 2;
    }
    const QString example = QString::fromLocal8Bit(argv[1]);
    const QString picture = QString::fromLocal8Bit(argv[2]);
    quarvo::DesktopDialogs dialogs;
    quarvo::QuarvoApp app(QDir::currentPath().toStdString(), dialogs, QCoreApplication::applicationDirPath());
    TSDIAppForm& form = app.Main();
    form.resize(900, 640);
    form.show();
    if (!form.OpenSpecification(example)) return 1;
    form.Compiler1Click();
    form.SemEntreClick();
    if (TGenFrm* dialog = app.Context().windows.generation) dialog->hide();
    int status = 1;
    QTimer::singleShot(500, [&] {
        status = form.grab().save(picture) ? 0 : 1;
        QApplication::quit();
    });
    QApplication::exec();
    if (status != 0) std::fprintf(stderr, "Impossible d'écrire %s\n", argv[2]);
    return status;
}
