// The go-to-state dialog of the explorer.
#pragma once

#include <QDialog>
#include <QPushButton>
#include <QSpinBox>

#include "app/AppContext.h"

class TForm9 : public QDialog {
    Q_OBJECT
public:
    explicit TForm9(quarvo::AppContext& app);

    // "&OK": makes the explorer show the state numbered by the spin edit, then closes.
    void Button1Click();

    QSpinBox* SpinEdit1 = nullptr;
    QPushButton* Button1 = nullptr;

private:
    quarvo::AppContext& app_;
};
