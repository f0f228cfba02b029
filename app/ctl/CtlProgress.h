// The small window shown while the labelling of a verification runs.
#pragma once

#include <QDialog>
#include <QLabel>

class TForm8 : public QDialog {
    Q_OBJECT
public:
    explicit TForm8(QWidget* parent);

    // Shows the window and paints it before the labelling takes the thread;
    // the user's input waits until the labelling ends.
    void Begin();
    void End();

    QLabel* Label1;
};
