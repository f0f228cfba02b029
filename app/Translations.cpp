// Qt's French translations, from the directory Qt was installed with.
#include "app/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>

namespace quarvo {

bool InstallFrenchTranslations(QCoreApplication& application) {
    const QLocale french(QLocale::French, QLocale::France);
    QLocale::setDefault(french);
    const QString directory = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(french, "qtbase", "_", directory)) return false;
    translator->setParent(&application);
    QCoreApplication::installTranslator(translator.release());
    return true;
}

}  // namespace quarvo
