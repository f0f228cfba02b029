// The about box.
#include "app/AboutBox.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "QuarvoVersion.h"

TAboutBox::TAboutBox(quarvo::AppContext& app) : app_(app) {
    setWindowTitle("À propos de QUARVO...");
    auto* layout = new QVBoxLayout(this);
    auto* name = new QLabel(QString("<b>QUARVO</b> %1 — Calvento, générateur de STEM").arg(quarvo::Version), this);
    name->setObjectName("aboutName");
    auto* disclaimer = new QLabel(
        "Outil d'enseignement et de recherche pour LOTOS de base : compilation, génération du "
        "STEM ou de l'STE, visualisation et vérification CTL.\n\n"
        "Ce programme est fourni tel quel, sans aucune garantie, expresse ou implicite, "
        "y compris d'adéquation à un usage particulier. Vérifiez les résultats importants "
        "par d'autres moyens.",
        this);
    disclaimer->setWordWrap(true);
    layout->addWidget(name);
    layout->addWidget(disclaimer);
    auto* buttons = new QHBoxLayout;
    auto* licence = new QPushButton("&Licence...", this);
    auto* ok = new QPushButton("&OK", this);
    ok->setDefault(true);
    buttons->addWidget(licence);
    buttons->addStretch();
    buttons->addWidget(ok);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(licence, &QPushButton::clicked, this, &TAboutBox::OpenLicence);
}

void TAboutBox::OpenLicence() {
    const QString path = app_.ProgramFile(LicenceFileName);
    if (!QFileInfo::exists(path)) {
        app_.dialogs.Tell(this, QMessageBox::Critical, "Erreur!", "Texte de la licence introuvable : " + path);
        return;
    }
    if (!app_.dialogs.OpenWithDesktop(path))
        app_.dialogs.Tell(this, QMessageBox::Critical, "Erreur!", "Impossible d'ouvrir le texte de la licence : " + path);
}
