// The graphical STEM viewer.
#include "views/Graphic.h"

TGraph::TGraph(quarvo::AppContext& app) : app_(app) {
    setWindowTitle("Visualisation graphique - Calvento - STEM Viewer");
}

void TGraph::init_graph() {}

void TGraph::draw_stem() { show(); }

void TGraph::draw_trace(const std::vector<std::int32_t>&) { show(); }

void TGraph::CloseAndMaximise() {
    close();
    setWindowState(windowState() | Qt::WindowMaximized);
}
