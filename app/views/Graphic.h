// The graphical STEM viewer: a graph the user unfolds with the mouse, lays out
// automatically, zooms, searches, exports and prints.
#pragma once

#include <cstdint>
#include <vector>

#include <QWidget>

#include "app/AppContext.h"
#include "views/GraphModel.h"

class QAction;
class QLabel;
class QMenuBar;
class QPainter;
class QPrinter;
class QScrollArea;
class QStatusBar;

class TGraph;
class TAbstractionDialog;

// The paint area, at least 15000 x 10000 at 100 %, larger when the drawing is;
// it draws the viewer's model at the viewer's zoom and hands the mouse to the
// viewer in drawing coordinates.
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
    // Ctrl + wheel zooms about the pointer; the wheel alone scrolls.
    void wheelEvent(QWheelEvent* event) override;

private:
    // A point of the paint area in drawing coordinates.
    QPoint ToDrawing(QPointF at) const;
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
    // Shows the window on the session's current STEM; a new showing starts
    // from the initial state, in view.
    void draw_stem();
    // Shows a path of state numbers from the initial state, named by kind
    // on the hint line ("Trace du blocage", "Lasso"…), laid out on its own
    // by Graphviz (a lasso's closing arc routed beside the chain, labels
    // apart from states and from each other), at 100 %, its first state in view.
    void draw_trace(const std::vector<std::int32_t>& path, const QString& kind = "Chemin du diagnostic");
    // Shows an abstraction's quotient the same way, description on the hint line.
    void ShowAbstraction(quarvo::StemStore quotient, const QString& description);
    // "Graphe > Abstraction…", made at its first use.
    TAbstractionDialog& AbstractionDialog();
    // Closes the window; its next showing is maximised.
    void CloseAndMaximise();

    // Clears the area, then draws every arc between drawn states and every
    // drawn state; area and painter are in drawing coordinates.
    void Paint(QPainter& painter, const QRect& area);
    // Writes the drawing as SVG or, for a ".png" name, as PNG or, for a
    // ".pdf" name, as PDF, through a temporary file renamed over the target;
    // false when the file could not be written.
    bool SaveDrawing(const QString& fileName);
    // Fichier › Exporter… (Ctrl+E, Ctrl+S): asks for a file name and saves the drawing.
    void SaveDrawingAs();
    // Fichier › Imprimer… (Ctrl+P): the print dialog, then the drawing on the printer.
    void PrintAsked();
    // Draws the drawing on the printer's first page, scaled down to fit it; false when it could not.
    bool PrintDrawing(QPrinter& printer);

    // Graphe › Disposition automatique (Ctrl+L): Graphviz places the drawn
    // states and routes the arcs with their labels; false (with a message) when it failed.
    bool AutoLayout();
    // Graphe › Chercher un état… (Ctrl+F): asks for a number, then FindState.
    void FindStateAsked();
    // Draws the state with a shortest path to it from the initial state and
    // brings it into view; false (with a message) when no state bears the number.
    bool FindState(std::int32_t number);
    // The simulator's current state: while the window is shown on the
    // system (not on a path), the state is drawn with a path to it, made
    // current and brought into view; nothing is said when it cannot be.
    void FollowState(std::int32_t number);
    // Graphe › Déplier tous les successeurs (Ctrl+U) of the current state.
    // After an unfolding the drawn states are laid out again (those the
    // user placed stay) and a state stays current.
    void UnfoldAll();
    // Graphe › Déplier jusqu'à une profondeur… (Ctrl+D): asks for the depth, then UnfoldToDepth.
    void UnfoldToDepthAsked();
    // Draws every state at most depth arcs from the initial state; false
    // (with a message) when the drawing reached its bound of states first.
    bool UnfoldToDepth(std::int32_t depth);

    // Affichage: zoom in and out by steps (Ctrl++, Ctrl+-), about the middle of the view.
    void ZoomIn();
    void ZoomOut();
    // Multiplies the zoom, the drawing point under anchor (a point of the viewport) staying there.
    void ZoomBy(double factor, QPoint anchor);
    // Affichage › Ajuster à la fenêtre (Ctrl+0): the whole drawing in the view,
    // without scroll bars; when that would take a zoom under MinReadableZoom,
    // that zoom centred on the current state instead, said on the status line.
    void FitToWindow();
    // Affichage › Vue initiale (Ctrl+1): 100 %, the initial state in view.
    void ResetView();
    double Zoom() const { return zoom_; }
    static constexpr double MinZoom = 0.02;
    static constexpr double MaxZoom = 4.0;
    static constexpr double MinReadableZoom = 0.75;

    // Scrolls so that the drawn state of that number is in view: near the top
    // (the drawing goes down from it) or in the middle.
    void ScrollToState(std::int32_t number, bool centred = false);

    // Where the labels of the arcs that show are written, in drawing coordinates.
    std::vector<QRect> LabelRects();
    // The region of the drawing, from its top left corner.
    QSize DrawingSize();

    // Mouse handlers of the paint area, in drawing coordinates.
    void PaintBox1MouseDown(Qt::MouseButton button, QPoint at, bool doubleClick);
    void PaintBox1MouseMove(QPoint at);
    void PaintBox1MouseUp();

    quarvo::GraphModel& Model() { return model_; }
    const quarvo::GraphModel& Model() const { return model_; }

    // The number of the state selected for moving, -1 when none.
    int& SelectedState;

    QMenuBar* MenuBar = nullptr;
    TPaintBox* PaintBox1 = nullptr;
    QScrollArea* ScrollBox = nullptr;
    QStatusBar* StatusBar = nullptr;
    // What the mouse does, for ever on the status line; the zoom beside it.
    QLabel* MouseHelp = nullptr;
    QLabel* ZoomLabel = nullptr;
    // "Graphe > De gauche à droite": the layered layout's ranks along a line of text.
    QAction* LeftToRight = nullptr;

private:
    // Empties the view and draws the first state of the shown STEM.
    void FormShow();
    // The hint under the drawing: the mouse rules of the unfolding, of a
    // drawing with every successor drawn, or of a path.
    void UpdateHint();
    // The automatic layout; keepPlaced leaves the states the user placed
    // where they are and asks nothing when Graphviz fails.
    bool LayOut(bool keepPlaced);
    // After an unfolding that drew states: layout, hint, view.
    void Unfolded();
    // "Numéro de l'état (de 0 à 6) :", the numbers of the shown STEM.
    QString StateRangePrompt() const;
    void BuildMenus();
    // A store of the view's own (a path, a quotient) drawn whole and laid out, at 100 %.
    void ShowOnItsOwn(quarvo::StemStore shown, const QString& kind, bool abstraction);
    // An abstraction's quotient is an interleaving system of its own, with its own names.
    quarvo::Semantics LabelSemantics() const {
        return abstraction_ ? quarvo::Semantics::Interleaving : app_.session.semantics;
    }
    const quarvo::ActionTable& ShownActions() const {
        const quarvo::StemStore* shown = model_.Shown();
        return shown ? shown->actions : app_.session.stem.actions;
    }
    // Sizes the paint area to the drawing and the zoom.
    void UpdateArea();
    void SetZoom(double zoom);
    // The drawing as the bytes of a PNG, SVG or PDF file; empty when it could not be made.
    QByteArray DrawingBytes(const QString& suffix);
    // After a command that drew states: the area, the view and the picture follow.
    void Redraw();

    double zoom_ = 1.0;
    // "Ajuster à la fenêtre" fitted the drawing: the area is the view's size.
    bool fitted_ = false;
    // What the path on show is, for the hint line.
    QString pathKind_ = "Chemin du diagnostic";
    // The view shows an abstraction's quotient, which pathKind_ describes whole.
    bool abstraction_ = false;
    TAbstractionDialog* abstractionDialog_ = nullptr;
};
