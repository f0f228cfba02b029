// "Graphe > Abstraction…": the gates to hide, and the quotient of the current
// system modulo branching bisimulation with them hidden, drawn when it is small enough.
#pragma once

#include <functional>

#include <QDialog>
#include <QString>

#include "app/AppContext.h"
#include "generation/StemStore.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace quarvo {
class TaskProgressDialog;
}

class TAbstractionDialog : public QDialog {
    Q_OBJECT
public:
    // draw: shows a quotient in the viewer, with the sentence that says what it is.
    using Draw = std::function<void(quarvo::StemStore quotient, const QString& description)>;
    TAbstractionDialog(quarvo::AppContext& app, Draw draw, QWidget* parent);

    // Lists the gates of the current system, none hidden, and shows the dialog.
    void Open();
    // "Calculer": the quotient with the checked gates hidden; drawn when it
    // has at most the states the layered layout keeps readable, else said.
    // False when nothing was drawn.
    bool Compute();
    // Checks (hides) the gate of that name; false when the list has none.
    bool Hide(const QString& gate);

    QListWidget* Gates;
    QPushButton* ComputeButton;
    QPushButton* CloseButton;
    QLabel* Result;

private:
    quarvo::AppContext& app_;
    Draw draw_;
    quarvo::TaskProgressDialog* progress_ = nullptr;
};
