// The output-format choice of the external tool chain.
#pragma once

#include <QDialog>

#include "app/AppContext.h"

class TFormAlpha : public QDialog {
    Q_OBJECT
public:
    explicit TFormAlpha(quarvo::AppContext& app);

    // "Fichier GPM": selects the DOT format and runs the OK action without showing the dialog.
    void RunDotDirectly();

private:
    quarvo::AppContext& app_;
};
