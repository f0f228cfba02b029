// The go-to-state dialog of the explorer.
#pragma once

#include <QDialog>

#include "app/AppContext.h"

class TForm9 : public QDialog {
    Q_OBJECT
public:
    explicit TForm9(quarvo::AppContext& app);

private:
    quarvo::AppContext& app_;
};
