// The dialog of "Réduire le STEM".
#include "app/ReduceDialog.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace quarvo {

ReduceDialog::ReduceDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("ReduceDialog");
    setWindowTitle("Réduire le STEM");
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox("Équivalence", this);
    auto* choices = new QVBoxLayout(group);
    const auto radio = [group, choices](const char* caption, const char* name) {
        auto* button = new QRadioButton(QString::fromUtf8(caption), group);
        button->setObjectName(name);
        choices->addWidget(button);
        return button;
    };
    Forte = radio("Bissimulation forte", "Forte");
    Branchement = radio("Bissimulation de branchement", "Branchement");
    BranchementDivergence = radio("Bissimulation de branchement avec divergence", "BranchementDivergence");
    // The coarsest of the three reductions that keeps every CTL verdict without "next" (EX, AX).
    BranchementDivergence->setChecked(true);
    layout->addWidget(group);
    GarderActions = new QCheckBox("Garder les actions des états (verdicts CTL inchangés)", this);
    GarderActions->setObjectName("GarderActions");
    GarderActions->setChecked(true);
    GarderActions->setToolTip("Sans cette case, les états du STEM réduit ne portent aucune action : "
                              "les propositions atomiques des formules CTL y sont partout fausses.");
    layout->addWidget(GarderActions);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText("&OK");
    buttons->button(QDialogButtonBox::Cancel)->setText("&Annuler");
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

ReduceOptions ReduceDialog::Options() const {
    ReduceOptions options;
    options.equivalence = Forte->isChecked()                   ? Equivalence::Strong
                          : BranchementDivergence->isChecked() ? Equivalence::DivergenceBranching
                                                               : Equivalence::Branching;
    options.keepStateLabels = GarderActions->isChecked();
    return options;
}

}  // namespace quarvo
