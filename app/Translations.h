// Qt's own French texts for the standard dialogs and buttons.
#pragma once

class QCoreApplication;

namespace quarvo {

// Loads Qt's French translations ("Ouvrir", "Enregistrer sous", "Oui", "Annuler"...)
// into application and makes French the default locale; false when the
// translation files are not installed, the standard texts then staying English.
bool InstallFrenchTranslations(QCoreApplication& application);

}  // namespace quarvo
