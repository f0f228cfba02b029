// The graphical STEM viewer: a graph the user unfolds with the mouse.
#pragma once

#include <cstdint>
#include <vector>

#include <QWidget>

#include "app/AppContext.h"

class TGraph : public QWidget {
    Q_OBJECT
public:
    explicit TGraph(quarvo::AppContext& app);

    // Forgets every drawn state (after a generation or a regeneration).
    void init_graph();
    // Shows the window on the session's current STEM.
    void draw_stem();
    // Shows a path of state numbers from the initial state, laid out in a column.
    void draw_trace(const std::vector<std::int32_t>& path);
    // Closes the window; its next showing is maximised.
    void CloseAndMaximise();

    int SelectedState = -1;

private:
    quarvo::AppContext& app_;
};
