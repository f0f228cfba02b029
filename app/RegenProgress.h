// The progress window of the regeneration of a STEM from the editor's text.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>

#include "app/AppContext.h"

class TForm3 : public QDialog, public quarvo::StemReadMonitor {
    Q_OBJECT
public:
    TForm3();

    // Shows the window with an empty bar.
    void Begin() override;
    void End() override { close(); }

    // StemReadProgress: the bar's maximum is the declared count, its position the states read.
    void Declared(std::int32_t stateCount) override;
    void Update(std::int64_t states, std::int64_t transitions) override;

    QLabel* Label1;
    QProgressBar* ProgressBar1;

private:
    QElapsedTimer sinceRefresh_;
};
