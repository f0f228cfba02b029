// What the graph viewer shows, without any drawing: the drawn states, the mouse rules and the geometry.
#pragma once

#include <compare>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "generation/ActionTable.h"
#include "generation/StemStore.h"
#include "generation/Semantics.h"
#include "views/GraphLayoutData.h"

namespace quarvo {

// Red: the current state. Lime: a state with arcs that can be made current.
// Silver: a state without arcs, one whose successors are all drawn, or a state of a path.
enum class GraphColor { Red, Lime, Silver };

struct GraphRgb {
    int r, g, b;
};
GraphRgb RgbOf(GraphColor color);

// One drawn state.
struct TGraphicState {
    std::int32_t Number = 0;  // the state's number
    std::size_t Index = 0;    // its position in the shown STEM
    std::int32_t X = 0;
    std::int32_t Y = 0;
    GraphColor Color = GraphColor::Silver;
    bool Complete = false;
    // Put where it is by the user (drawn by a click, or dragged): the layout
    // that follows an unfolding leaves it there.
    bool Placed = false;
};

// Kept in ascending Number, one entry per number.
using GraphicStateList = std::vector<TGraphicState>;

// Inserts in number order; a number already drawn leaves the list as it is.
// Pointers into the list do not survive an insertion.
void Ajouter_Graphic_State(const TGraphicState& record, GraphicStateList& list);
// The graphic state of that state number, or null.
TGraphicState* ieme(std::int32_t number, GraphicStateList& list);
const TGraphicState* ieme(std::int32_t number, const GraphicStateList& list);
bool find_graphic_state(std::int32_t number, const GraphicStateList& list);
// The number of the first state, in list order, whose square around its
// circle (21 x 21 for a circle of radius 10) holds the point; -1 if none.
std::int32_t detected_state(std::int32_t x, std::int32_t y, const GraphicStateList& list);

// The radius of a state's circle: 10, or more for numbers of three digits or
// more, so that the number stays inside with two pixels to spare on each side
// (the paint area's digits, bold included, are at most 8 pixels wide).
std::int32_t StateRadius(std::int32_t number);

// Nearest integer, a half going to the even one.
std::int32_t RoundHalfEven(double value);

// ---- Geometry ---------------------------------------------------------------------------

struct GraphPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const GraphPoint&, const GraphPoint&) = default;
};

// An ellipse or a rectangle from (left, top) to (right, bottom).
struct GraphBox {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(const GraphBox&, const GraphBox&) = default;
};

struct GraphLine {
    GraphPoint from, to;
    friend bool operator==(const GraphLine&, const GraphLine&) = default;
};

// Text written with its top left corner at the point, on a white background.
struct GraphText {
    GraphPoint at;
    std::string text;
};

struct StateDrawing {
    GraphBox circle;
    GraphColor fill = GraphColor::Silver;
    GraphText number;  // centred in the circle for digits 8 pixels wide
};
StateDrawing LayOutState(const TGraphicState& state);

// The square drawn around a state selected for moving.
GraphBox SelectionSquare(const TGraphicState& state);

enum class GraphPen { Black, Red };

struct ArcDrawing {
    std::int32_t source = 0;
    std::int32_t target = 0;
    GraphPen pen = GraphPen::Black;
    bool selfLoop = false;
    GraphBox loop;                 // self-loop: the loop to the right of the state
    std::vector<GraphLine> lines;  // other arcs: the shaft, then the three strokes of the head
    // An arc placed by the automatic layout: a cubic Bézier curve (its start,
    // then three points per piece), followed by the strokes of its head in lines.
    std::vector<GraphPoint> curve;
    GraphText label;
    // A later arc of the same run to one target is drawn over this one, with a
    // label that starts with this one's: only the last arc of a run shows.
    bool covered = false;
};

enum class GraphButton { Left, Right, Middle };

// ---- The view -----------------------------------------------------------------------------

class GraphModel {
public:
    // ShownStem := the store's state list (shared, not copied).
    void ShowStore(const StemStore& store);
    // ShownStem := a path owned by the view.
    void ShowPath(StemStore path);
    // Nothing shown, nothing drawn: the store the states pointed into is going away.
    void Forget();

    // ShownStem: the store, the path, or null when nothing is shown.
    const StemStore* Shown() const { return store_ ? store_ : showsPath_ ? &path_ : nullptr; }
    std::optional<StateView> FirstShown() const;
    // First state of ShownStem with that number, or none.
    std::optional<StateView> FindShown(std::int32_t number) const;

    // Empties the view and draws the first state of ShownStem at (300, 50) in red.
    void FormShow();

    // draw_current_transitions without the drawing: the arcs between drawn
    // states, with their pens and labels. Recomputes Complete (and turns
    // complete states silver) as it goes.
    std::vector<ArcDrawing> LayOutTransitions(const ActionTable& actions, Semantics semantics);

    // A press of a mouse button on the paint area, at a point of it.
    void Press(GraphButton button, std::int32_t x, std::int32_t y, bool doubleClick, const ActionTable& actions,
               Semantics semantics);
    // The pointer moved; true when a dragged state moved with it. The arcs
    // of a moved state lose the routes of the automatic layout.
    bool Move(std::int32_t x, std::int32_t y);
    void Release() { dragging_ = false; }

    // ---- Automatic layout and commands over many states ---------------------------------------

    // The drawn states, with the size of their circles, and the arcs that show
    // (one per run to a target), with their labels; the label sizes are left
    // for the caller, who knows the font, to fill in.
    LayoutInput LayoutRequest(const ActionTable& actions, Semantics semantics);
    // Moves the states where the layout put them, a margin away from the top
    // left corner, and draws the arcs along its routes with their labels at
    // its places. The input is the request the output answers. With
    // keepPlaced, the states the user placed stay where they are, and their
    // arcs keep their plain drawing; otherwise every state moves and none
    // counts as placed any more.
    void ApplyLayout(const LayoutInput& input, const LayoutOutput& output, bool keepPlaced = false);
    // True when some arc is drawn along a route of the automatic layout.
    bool HasRoutes() const { return !routes_.empty(); }
    static constexpr std::int32_t LayoutMargin = 40;

    // Draws every successor of the current state not yet drawn, in a row below
    // it; returns how many were drawn. A state stays current (KeepACurrentState).
    std::size_t UnfoldAll();
    struct DepthUnfolding {
        std::size_t added = 0;
        bool stopped = false;  // the bound was reached before the depth
    };
    // Draws every state at most depth arcs away from the first state, each
    // new one on the row of its distance, as long as no more than maxStates
    // states are drawn. A state stays current (KeepACurrentState).
    DepthUnfolding UnfoldToDepth(std::int32_t depth, std::size_t maxStates);
    // When the current state has all its successors drawn, the first state
    // drawn since (in the order given), else the first drawn state, that
    // still has some to draw becomes current; false when no state has any.
    bool KeepACurrentState(const std::vector<std::int32_t>& drawnSince = {});
    // A state is current (red): a left click draws one of its successors.
    bool HasCurrentState() const;
    // Some drawn state is lime: a right click can make it current.
    bool HasLimeState() const;
    // The view shows a path (a trace of the diagnostic), not the STEM.
    bool ShowsPath() const { return showsPath_; }
    static constexpr std::size_t MaxDrawnStates = 2000;
    // The numbers of a shortest path over the arcs from the first state to the
    // state of that number, both included; empty when no state bears the
    // number or none of the paths reaches it.
    std::vector<std::int32_t> ShortestPath(std::int32_t number) const;
    // Draws the state of that number with the states of a shortest path to it
    // (each new one below the one before it; alone, below the drawing, when
    // no path reaches it) and makes it current when it can be; false when no
    // state bears the number.
    bool DrawPathTo(std::int32_t number);
    // Makes a lime state current; false for any other.
    bool MakeCurrentState(std::int32_t number);

    // Lays the path out in a column below (300, 50), every state silver and complete.
    void ShowTrace(StemStore path);

    // Hint text for the point, empty when there is none to show.
    std::string HintAt(std::int32_t x, std::int32_t y, const ActionTable& actions, Semantics semantics) const;

    const GraphicStateList& States() const { return states_; }
    std::int32_t CurrentState() const { return currentState_; }
    std::int32_t SelectedState = -1;
    bool MoveArmed() const { return moveArmed_; }
    bool Dragging() const { return dragging_; }

    // The individual rules of a press, in the order Press applies them.
    bool Unfold(std::int32_t x, std::int32_t y);
    bool SelectForMoving(std::int32_t x, std::int32_t y);
    bool MakeCurrent(std::int32_t x, std::int32_t y);

private:
    // Where the automatic layout runs an arc, found again by its ends, its
    // label and its rank among the arcs with the same ends and label.
    struct RouteKey {
        std::int32_t source = 0;
        std::int32_t target = 0;
        std::string label;
        std::size_t rank = 0;
        friend auto operator<=>(const RouteKey&, const RouteKey&) = default;
    };
    struct ArcRoute {
        std::vector<GraphPoint> curve;
        std::vector<GraphLine> head;
        GraphPoint labelAt;
    };

    void AddState(const StateView& state, std::int32_t x, std::int32_t y, GraphColor color, bool complete);
    // Adds a state of the shown STEM, lime when it has arcs, silver otherwise.
    void AddNew(const StateView& state, std::int32_t x, std::int32_t y);
    // Draws the arcs that have a route of the automatic layout along it, with
    // its head and label place; a covered arc takes the route of the arc of
    // its run that shows.
    void ApplyRoutes(std::vector<ArcDrawing>& arcs) const;
    // Sets Complete when every arc leads to a drawn state; a complete state turns silver.
    void RecomputeComplete(TGraphicState& state) const;

    const StemStore* store_ = nullptr;
    StemStore path_;
    bool showsPath_ = false;
    GraphicStateList states_;
    std::int32_t currentState_ = 0;
    bool moveArmed_ = false;
    bool dragging_ = false;
    std::map<RouteKey, ArcRoute> routes_;
};

// The path through the given state numbers, as a small STEM that names
// actions as store does: each of its states holds the number and the maximal
// events of its state and the first arc to the next state of the path (none
// when the state has no such arc); the last holds no arc. A number that no
// state bears gets a state with that number alone.
StemStore TraceRecords(const StemStore& store, const std::vector<std::int32_t>& numbers);

}  // namespace quarvo
