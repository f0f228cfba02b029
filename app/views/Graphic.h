// The graphical STEM viewer: a graph the user unfolds with the mouse.
#pragma once

#include <cstdint>
#include <vector>

#include <QWidget>

#include "app/AppContext.h"
#include "views/GraphModel.h"

class QPainter;
class QScrollArea;

class TGraph;

// The 15000 x 10000 paint area; it draws the viewer's model and hands the mouse to the viewer.
class TPaintBox final : public QWidget {
    Q_OBJECT
public:
    explicit TPaintBox(TGraph& graph, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TGraph& graph_;
};

class TGraph : public QWidget {
    Q_OBJECT
    // First, so that SelectedState can refer into the model.
    quarvo::AppContext& app_;
    quarvo::GraphModel model_;

public:
    explicit TGraph(quarvo::AppContext& app);

    // Forgets every drawn state: the STEM they belong to is being replaced.
    void init_graph();
    // Shows the window on the session's current STEM.
    void draw_stem();
    // Shows a path of state numbers from the initial state, laid out in a column.
    void draw_trace(const std::vector<std::int32_t>& path);
    // Closes the window; its next showing is maximised.
    void CloseAndMaximise();

    // Clears the area, then draws every arc between drawn states and every drawn state.
    void Paint(QPainter& painter, const QRect& area);
    // Writes the drawing as SVG or, for a ".png" name, as PNG; false when the file could not be written.
    bool SaveDrawing(const QString& fileName);
    // Ctrl+S: asks for a file name and saves the drawing.
    void SaveDrawingAs();

    // Mouse handlers of the paint area, in its coordinates.
    void PaintBox1MouseDown(Qt::MouseButton button, QPoint at, bool doubleClick);
    void PaintBox1MouseMove(QPoint at);
    void PaintBox1MouseUp();

    quarvo::GraphModel& Model() { return model_; }
    const quarvo::GraphModel& Model() const { return model_; }

    // The number of the state selected for moving, -1 when none.
    int& SelectedState;

    TPaintBox* PaintBox1 = nullptr;
    QScrollArea* ScrollBox = nullptr;

private:
    // Empties the view and draws the first state of the shown STEM.
    void FormShow();
    quarvo::Semantics LabelSemantics() const { return app_.session.semantics; }
    // The region of the paint area that holds the drawing, from its top left corner.
    QSize DrawingSize();
};
