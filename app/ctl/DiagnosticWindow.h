// The diagnostic window: the states of each sub-formula and the paths to them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>

#include "app/AppContext.h"
#include "ctl/Formula.h"

class QWindow;
class StateNumberModel;

class TForm6 : public QDialog {
    Q_OBJECT
public:
    explicit TForm6(quarvo::AppContext& app);

    // Shows the window on the first sub-formula of the compiled formula, its
    // lists filled (as they are for each sub-formula shown); the window given
    // (the checker's) stays blocked while it is open.
    void OpenDiagnostic(QWindow* transientParent = nullptr);

    // The shown sub-formula: its index in the SubformulaList (the list's size
    // once "Suivant" went past the last one) and its 1-based position.
    std::size_t DiagEntry = 0;
    int DiagNumber = 1;

    // The last path handed to the graph view.
    std::vector<std::int32_t> LastTrace;

    QGroupBox* GroupBox2;
    QLabel* Label1;
    QLabel* Label2;
    QLineEdit* Edit1;
    QPushButton* Button3;  // Initialiser
    QPushButton* Button2;  // Suivant
    QPushButton* Button5;  // Formule principale
    QPushButton* Button4;  // Afficher les états
    QGroupBox* GroupBox1;
    QGroupBox* GroupBox4;
    QListView* ListBox1;  // states where the sub-formula holds
    QGroupBox* GroupBox3;
    QListView* ListBox2;  // states where it does not
    QLabel* Label3;
    QPushButton* Button1;  // Fermer
    QPushButton* SimulateButton;  // Simuler le chemin: LastTrace in the simulator
    QPushButton* ChartButton;     // Diagramme: LastTrace as a chart

    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void ListBox1DblClick();
    void ListBox2DblClick();

    // The state numbers listed (for the tests and the double clicks).
    const std::vector<std::int32_t>& HoldingStates() const;
    const std::vector<std::int32_t>& FailingStates() const;

private:
    const quarvo::CompiledFormula& Formula() const;
    // The first sub-formula, number 1, both commands enabled (disabled when there is none).
    void ShowFirst();
    void ShowEntry();
    void ShowPath(const QListView* list);

    quarvo::AppContext& app_;
    StateNumberModel* holds_;
    StateNumberModel* fails_;
    bool centred_ = false;
};
