// The about box.
#pragma once

#include <QDialog>

#include "app/AppContext.h"

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(quarvo::AppContext& app);

    // Opens the licence text, which lies in the program directory.
    void OpenLicence();

    // Name of the licence text in the program directory.
    static constexpr const char* LicenceFileName = "LICENCE.txt";

private:
    quarvo::AppContext& app_;
};
