// The output-format choice and the compile-and-run steps of the external tool chain.
#include "app/toolchain/Alpha.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "stemio/ToolChain.h"
#include "app/WidgetHelpers.h"

TFormAlpha::TFormAlpha(quarvo::AppContext& app) : app_(app) {
    setWindowTitle("Format de sortie");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(" Format : ", this);
    auto* groupLayout = new QVBoxLayout(group);
    STEMRadio = new QRadioButton("\".STEM\" pour QUARVO", group);
    DOTRadio = new QRadioButton("\".DOT\" pour DOT", group);
    STEMRadio->setChecked(true);
    groupLayout->addWidget(STEMRadio);
    groupLayout->addWidget(DOTRadio);
    layout->addWidget(group);
    auto* buttons = new QHBoxLayout;
    Button1 = new QPushButton("&OK", this);
    Button1->setDefault(true);
    Button2 = new QPushButton("&Quitter", this);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    layout->addLayout(buttons);
    connect(Button1, &QPushButton::clicked, this, &TFormAlpha::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    quarvo::FitFixedSize(this, QSize(237, 172));
}

quarvo::OcamlFormat TFormAlpha::Format() const {
    return DOTRadio->isChecked() ? quarvo::OcamlFormat::Dot : quarvo::OcamlFormat::Stem;
}

void TFormAlpha::RunDotDirectly() {
    DOTRadio->setChecked(true);
    Button1Click();
}

void TFormAlpha::Button1Click() {
    if (app_.session.busy) return;
    const quarvo::OcamlOutput output = app_.session.outputKind == quarvo::OutputKind::Gpm
                                           ? quarvo::OcamlOutput::Gpm
                                           : quarvo::OcamlOutput::AlphaReduced;
    if (!app_.intents.ShowToolChainResult(output, Format())) return;
    emit app_.notifications.ToolChainResultShown();
}
