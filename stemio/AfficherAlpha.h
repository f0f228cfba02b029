// The result window of the external tool chain.
#pragma once

#include <QDialog>

#include "app/AppContext.h"

class TFormAfficherAlpha : public QDialog {
    Q_OBJECT
public:
    explicit TFormAfficherAlpha(quarvo::AppContext& app);

private:
    quarvo::AppContext& app_;
};
