// The state-by-state STEM explorer.
#pragma once

#include <cstdint>
#include <optional>

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>

#include "app/AppContext.h"
#include "app/views/StemTableModel.h"

class TSteVisual : public QDialog {
    Q_OBJECT
public:
    explicit TSteVisual(quarvo::AppContext& app);

    // Root, then the table of every state.
    void FormShow();
    // Shows ExploredState in the upper group and its first arc in the lower one.
    void affiche();
    // Fills the table from a state list (null empties it).
    void explorer(const quarvo::StemStore* store);
    void ButResetStemClick();
    void ButNextClick();
    void ButNextTranClick();
    void Button1Click();
    void Button2Click();

    // Shows the state at that position of the state list, as if reached by
    // "Etat suivant"; a double click on a row of the table does it too.
    void ShowStateAt(std::int64_t index);

    // The cursors; none when there is none.
    std::optional<quarvo::StateView> ExploredState() const;
    std::optional<quarvo::ArcView> ExploredArc() const;
    // Their positions: the state's in the list, the arc's among the state's arcs (newest first); -1 for none.
    std::int64_t ExploredStateIndex() const { return ExploredState() ? exploredState_ : -1; }
    std::int64_t ExploredArcIndex() const { return ExploredArc() ? exploredArc_ : -1; }

    QGroupBox* GrpStat = nullptr;
    QLabel* StatName = nullptr;
    QListWidget* ListEvent = nullptr;
    QListWidget* ListAction = nullptr;
    QListWidget* ListTransition = nullptr;
    QPushButton* ButResetStem = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* ButNext = nullptr;
    QGroupBox* GrpTransition = nullptr;
    QListWidget* ListEventAct = nullptr;
    QLabel* StatTransition = nullptr;
    QLabel* StatEvent = nullptr;
    QLabel* StatBut = nullptr;
    QPushButton* ButNextTran = nullptr;
    QTableView* ex = nullptr;
    QPushButton* Button1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void ClearAll();
    void ClearTransition();
    void ShowArc();
    const quarvo::StemStore& Store() const { return app_.session.stem; }

    quarvo::AppContext& app_;
    TStemTableModel* table_ = nullptr;
    // Positions in the state list and in the state's arcs; -1 for none.
    std::int64_t exploredState_ = -1;
    std::int64_t exploredArc_ = -1;
};
