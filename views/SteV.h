// The state-by-state STEM explorer.
#pragma once

#include <QDialog>

#include "app/AppContext.h"

class TSteVisual : public QDialog {
    Q_OBJECT
public:
    explicit TSteVisual(quarvo::AppContext& app);

private:
    quarvo::AppContext& app_;
};
