// The diagnostic window: the states of each sub-formula and the paths to them.
#pragma once

#include <QDialog>

#include "app/AppContext.h"

class TForm6 : public QDialog {
    Q_OBJECT
public:
    explicit TForm6(quarvo::AppContext& app);

private:
    quarvo::AppContext& app_;
};
