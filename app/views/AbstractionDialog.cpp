// The abstraction dialog: gates to hide, the branching quotient computed under a progress dialog, then drawn.
#include "app/views/AbstractionDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/TaskProgress.h"
#include "app/views/GraphLayout.h"
#include "equivalence/Abstraction.h"

TAbstractionDialog::TAbstractionDialog(quarvo::AppContext& app, Draw draw, QWidget* parent)
    : QDialog(parent), app_(app), draw_(std::move(draw)) {
    setObjectName("AbstractionDialog");
    setWindowTitle("Abstraction");
    auto* layout = new QVBoxLayout(this);
    auto* caption = new QLabel("Actions à cacher : le système est réduit modulo la bissimulation de branchement, "
                               "ces actions devenues internes.",
                               this);
    caption->setWordWrap(true);
    layout->addWidget(caption);
    Gates = new QListWidget(this);
    Gates->setObjectName("Gates");
    layout->addWidget(Gates, 1);
    Result = new QLabel(this);
    Result->setObjectName("Result");
    Result->setWordWrap(true);
    layout->addWidget(Result);
    auto* buttons = new QHBoxLayout;
    ComputeButton = new QPushButton("&Calculer", this);
    ComputeButton->setObjectName("ComputeButton");
    ComputeButton->setDefault(true);
    CloseButton = new QPushButton("&Fermer", this);
    CloseButton->setObjectName("CloseButton");
    buttons->addStretch();
    buttons->addWidget(ComputeButton);
    buttons->addWidget(CloseButton);
    layout->addLayout(buttons);
    connect(ComputeButton, &QPushButton::clicked, this, [this] { Compute(); });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::close);
    resize(420, 360);
}

void TAbstractionDialog::Open() {
    Gates->clear();
    Result->clear();
    if (app_.session.hasStem && !app_.session.busy) {
        for (const std::string& gate : quarvo::VisibleGates(app_.session.stem)) {
            auto* item = new QListWidgetItem(QString::fromStdString(gate), Gates);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        }
    }
    show();
    raise();
    activateWindow();
}

bool TAbstractionDialog::Hide(const QString& gate) {
    const QList<QListWidgetItem*> found = Gates->findItems(gate, Qt::MatchExactly);
    if (found.isEmpty()) return false;
    found.front()->setCheckState(Qt::Checked);
    return true;
}

bool TAbstractionDialog::Compute() {
    if (!app_.session.hasStem || app_.session.busy) {
        Result->setText("Aucun système : engendrez ou régénérez d'abord un STEM.");
        return false;
    }
    std::vector<std::string> hidden;
    QStringList names;
    for (int i = 0; i < Gates->count(); ++i) {
        if (Gates->item(i)->checkState() != Qt::Checked) continue;
        hidden.push_back(Gates->item(i)->text().toStdString());
        names << Gates->item(i)->text();
    }
    if (!progress_) progress_ = new quarvo::TaskProgressDialog(this);
    quarvo::AbstractionResult result;
    // Nothing may replace the STEM while the worker reads it.
    app_.session.busy = true;
    const quarvo::Status run = progress_->Run("Abstraction...", [&](quarvo::Progress& progress) {
        result = quarvo::Abstraction(app_.session.stem, hidden, &progress);
    });
    app_.session.busy = false;
    if (!run || !result.status) {
        Result->setText(QString::fromStdString(!run ? run.message() : result.status.message()));
        return false;
    }
    if (result.stopped) {
        Result->setText("Abstraction arrêtée.");
        return false;
    }
    const QString summary = QString::fromStdString(quarvo::AbstractionSummary(result));
    if (result.statesAfter > static_cast<std::int64_t>(quarvo::LayeredLayoutLimit)) {
        Result->setText(summary + QString(" Trop d'états pour un dessin lisible (plus de %1) : cachez d'autres actions.")
                                      .arg(quarvo::LayeredLayoutLimit));
        return false;
    }
    Result->setText(summary);
    const QString description =
        names.isEmpty() ? QString("Quotient modulo la bissimulation de branchement, aucune action cachée")
                        : "Quotient modulo la bissimulation de branchement, actions cachées : " + names.join(", ");
    draw_(std::move(result.quotient),
          description + QString::fromStdString(" (" + quarvo::Counted(result.statesAfter, "état") + ", " +
                                               quarvo::Counted(result.arcsAfter, "arc") + ")."));
    return true;
}
