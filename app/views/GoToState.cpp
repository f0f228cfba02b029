// The go-to-state dialog of the explorer.
#include "app/views/GoToState.h"

#include <climits>

#include <QLabel>
#include <QVBoxLayout>

#include "app/WidgetHelpers.h"

TForm9::TForm9(quarvo::AppContext& app) : app_(app) {
    setObjectName("GoToState");
    setWindowTitle("Aller à l'état");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Aller à l'état numéro :", this));
    SpinEdit1 = new QSpinBox(this);
    SpinEdit1->setRange(INT_MIN, INT_MAX);
    SpinEdit1->setValue(0);
    layout->addWidget(SpinEdit1);
    Button1 = new QPushButton("&OK", this);
    Button1->setDefault(true);
    layout->addWidget(Button1, 0, Qt::AlignHCenter);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    quarvo::FitFixedSize(this, QSize(205, 134));
}

void TForm9::Button1Click() {
    const int v = SpinEdit1->value();
    const quarvo::StemStore& stem = app_.session.stem;
    // The number of states of the STEM in memory, generated or read back from a file.
    const std::int32_t n = stem.StemStateCount;
    if (v < 0 || v > n - 1) {
        app_.dialogs.Tell(this, QMessageBox::Warning, "Avertissement",
                          "Entrez une valeur entre 0 et " + QString::number(static_cast<qint64>(n) - 1));
        accept();
        return;
    }
    const std::int64_t index = stem.IndexOf(v);
    if (index < 0) {
        app_.dialogs.Tell(this, QMessageBox::Warning, "Avertissement",
                          "Aucun état numéro " + QString::number(v) + ".");
        accept();
        return;
    }
    app_.intents.ShowStateInExplorer(index);
    SpinEdit1->setValue(0);
    accept();
}
