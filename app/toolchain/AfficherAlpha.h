// The result window of the external tool chain: the text it produced, its saving and its picture.
#pragma once

#include <memory>
#include <string>

#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/AppContext.h"
#include "stemio/OcamlWriter.h"

namespace quarvo {
class ToolChain;
}

class TFormAfficherAlpha : public QDialog {
    Q_OBJECT
public:
    explicit TFormAfficherAlpha(quarvo::AppContext& app);
    ~TFormAfficherAlpha() override;

    // Writes temp.ml, compiles and runs it; false (with a message shown) when the chain failed.
    bool Produce(quarvo::OcamlOutput output, quarvo::OcamlFormat format);
    // Empties the text, withdraws "&Visualiser", offers "&Afficher" and shows the window modally.
    void ShowResult();

    void Button3Click();     // "&Afficher"
    void Button1Click();     // "&Enregistrer"
    void VisualiserClick();  // "&Visualiser"
    void Button2Click();     // "&Quitter"
    void EnableVisualiser() { Visualiser->setEnabled(true); }

    // The chain of this program's runs (its work directory).
    quarvo::ToolChain& Chain();

    QPlainTextEdit* Text;
    QPushButton* Button3;
    QPushButton* Visualiser;
    QPushButton* Button1;
    QPushButton* Button2;

private:
    // Starts a script and waits for its end marker, keeping the windows painted;
    // false (with a message shown) on a missing tool, a failure or the time-out.
    bool RunScript(int script, quarvo::OcamlOutput output);
    bool DotFormat() const;

    quarvo::AppContext& app_;
    std::unique_ptr<quarvo::ToolChain> chain_;
    quarvo::OcamlOutput lastOutput_ = quarvo::OcamlOutput::AlphaReduced;
    // The format of the last output produced: "&Enregistrer" and "&Visualiser" follow it.
    quarvo::OcamlFormat lastFormat_ = quarvo::OcamlFormat::Stem;
};
