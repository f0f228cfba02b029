// The picture window: the JPEG picture rendered by Graphviz.
#pragma once

#include <QDialog>

#include "app/AppContext.h"

class TSTEMJPG : public QDialog {
    Q_OBJECT
public:
    explicit TSTEMJPG(quarvo::AppContext& app);

private:
    quarvo::AppContext& app_;
};
