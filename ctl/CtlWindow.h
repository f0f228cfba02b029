// The CTL checker window: the formula editor and its commands.
#pragma once

#include <QMainWindow>

#include "app/AppContext.h"

class TForm5 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm5(quarvo::AppContext& app);

    // The main window's "Vérification logique (CTL)": shows the window with a new, empty formula.
    void OpenNewFormula();
    // The current STEM was replaced (generation or regeneration): the labels of the
    // last verification and the diagnostic no longer apply.
    void StemChanged();

private:
    quarvo::AppContext& app_;
};
