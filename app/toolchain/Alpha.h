// The output-format choice of the external tool chain, and the run that produces its result.
#pragma once

#include <QDialog>
#include <QPushButton>
#include <QRadioButton>

#include "app/AppContext.h"
#include "stemio/OcamlWriter.h"

class TFormAlpha : public QDialog {
    Q_OBJECT
public:
    explicit TFormAlpha(quarvo::AppContext& app);

    // "Fichier GPM": selects the DOT format and runs the OK action without showing the dialog.
    void RunDotDirectly();
    // "&OK": writes the program, compiles and runs it, then shows the result window.
    void Button1Click();

    quarvo::OcamlFormat Format() const;

    QRadioButton* STEMRadio;
    QRadioButton* DOTRadio;
    QPushButton* Button1;
    QPushButton* Button2;

private:
    quarvo::AppContext& app_;
};
