// The compilation dialog: the status of the last compilation (kept up to date, never shown by a command).
#pragma once

#include <QDialog>
#include <QLabel>

class TCompFrm : public QDialog {
    Q_OBJECT
public:
    TCompFrm();
    // A compilation starts: no status, no error yet.
    void CompilationStarted();
    // The compilation has ended with this status line ("" when it failed).
    void Compiled(const QString& status);

    QLabel* LabelError;   // final status
    QLabel* StaticError;  // last error report
};
