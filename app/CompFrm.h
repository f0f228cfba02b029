// The compilation dialog: the status of the last compilation (kept up to date, never shown by a command).
#pragma once

#include <QDialog>
#include <QLabel>

class TCompFrm : public QDialog {
    Q_OBJECT
public:
    TCompFrm();

    QLabel* LabelError;   // final status
    QLabel* StaticError;  // last error report
};
