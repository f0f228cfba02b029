// The overview of a system too large to draw: a column of bars, one per
// breadth-first level, with its states, arcs and deadlocks; a click on a bar
// lists its states, a double click on one draws it in the viewer.
#pragma once

#include <cstdint>
#include <optional>

#include <QWidget>

#include "app/AppContext.h"
#include "views/LevelOverview.h"

class QLabel;
class QListWidget;
class QScrollArea;

// The bars, painted; a click names the level of the bar under the pointer.
class TLevelBars final : public QWidget {
    Q_OBJECT
public:
    explicit TLevelBars(QWidget* parent);
    void SetOverview(const quarvo::LevelOverview* overview, int chosen);
    static constexpr int RowHeight = 18;
    // The level of the row at that height of the widget, -1 below the last.
    int LevelAt(int y) const;
    // The bar of a level, in widget coordinates.
    QRect BarRect(int level) const;
    // The counts written right of a level's bar: "1 état, 9 arcs, 1 terminaison".
    static QString Counts(const quarvo::LevelBar& bar);

signals:
    void LevelClicked(int level);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    const quarvo::LevelOverview* overview_ = nullptr;
    int chosen_ = -1;
};

class TLevelOverviewWindow : public QWidget {
    Q_OBJECT
public:
    explicit TLevelOverviewWindow(quarvo::AppContext& app);

    // "Vue d'ensemble par niveaux": counts the levels of the session's system and shows them.
    void ShowOverview();
    // The session's system is being replaced: the overview is forgotten.
    void StemChanged();
    // Lists the states of that level (at most ListedStates of them).
    void ChooseLevel(int level);

    // Null before the first showing on the current system.
    const quarvo::LevelOverview* Overview() const { return overview_ ? &*overview_ : nullptr; }
    static constexpr std::size_t ListedStates = 1000;

    QLabel* Summary;
    TLevelBars* Bars;
    QScrollArea* BarsArea;
    QLabel* LevelTitle;
    QListWidget* States;

signals:
    // A state chosen in the list, to be drawn in the viewer.
    void StateChosen(std::int32_t number);

private:
    quarvo::AppContext& app_;
    std::optional<quarvo::LevelOverview> overview_;
};
