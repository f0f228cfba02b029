// The choices of "Réduire le STEM": the equivalence and whether the states keep their actions.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QRadioButton>

#include "equivalence/Equivalence.h"

namespace quarvo {

class ReduceDialog : public QDialog {
    Q_OBJECT
public:
    explicit ReduceDialog(QWidget* parent);

    // The options as the dialog shows them.
    ReduceOptions Options() const;

    QRadioButton* Forte;
    QRadioButton* Branchement;
    QRadioButton* BranchementDivergence;
    QCheckBox* GarderActions;
};

}  // namespace quarvo
