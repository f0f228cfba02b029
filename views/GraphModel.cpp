// The graph viewer's model: drawn states, mouse rules and geometry.
#include "views/GraphModel.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdlib>
#include <deque>

#include "views/StemTexts.h"

namespace quarvo {

namespace {

bool ByNumber(const TGraphicState& s, std::int32_t number) { return s.Number < number; }

// Where a label longer than this many characters is moved left to stay centred.
constexpr std::size_t ShortLabel = 5;

// The widest digit of the paint area's font, bold included, and the room left around a number.
constexpr std::int32_t DigitWidth = 8;
constexpr std::int32_t NumberPadding = 2;

std::int32_t DigitCount(std::int32_t number) { return static_cast<std::int32_t>(std::to_string(number).size()); }

GraphPoint Rounded(double x, double y) { return {RoundHalfEven(x), RoundHalfEven(y)}; }

// The strokes of an arrow head whose tip is at the end of the shaft from base:
// the shaft itself (when it has a length) and two barbs 25 degrees off it.
// The point halfway along a chain of cubic Bézier pieces (by the parameter):
// the middle of the middle piece, or the joint between the two middle ones.
LayoutPoint MiddleOfCurve(const std::vector<LayoutPoint>& curve) {
    const std::size_t pieces = (curve.size() - 1) / 3;
    if (pieces == 0) return curve[curve.size() / 2];
    if (pieces % 2 == 0) return curve[3 * (pieces / 2)];
    const std::size_t k = 3 * (pieces / 2);
    auto mix = [&](auto coordinate) {
        return (coordinate(curve[k]) + 3 * coordinate(curve[k + 1]) + 3 * coordinate(curve[k + 2]) +
                coordinate(curve[k + 3])) / 8;
    };
    return {mix([](const LayoutPoint& p) { return p.x; }), mix([](const LayoutPoint& p) { return p.y; })};
}

std::vector<GraphLine> ArrowHead(LayoutPoint base, LayoutPoint tip, bool withShaft) {
    const double dx = tip.x - base.x, dy = tip.y - base.y;
    const double length = std::hypot(dx, dy);
    if (length == 0) return {};
    const double ux = dx / length, uy = dy / length;
    constexpr double barb = 8, cosine = 0.9063, sine = 0.4226;  // 25 degrees
    const GraphPoint end = Rounded(tip.x, tip.y);
    auto barbEnd = [&](double turn) {
        const double bx = -(ux * cosine - uy * sine * turn), by = -(uy * cosine + ux * sine * turn);
        return Rounded(tip.x + barb * bx, tip.y + barb * by);
    };
    std::vector<GraphLine> lines;
    if (withShaft) lines.push_back({Rounded(base.x, base.y), end});
    lines.push_back({end, barbEnd(1)});
    lines.push_back({end, barbEnd(-1)});
    return lines;
}

}  // namespace

GraphRgb RgbOf(GraphColor color) {
    switch (color) {
        case GraphColor::Red: return {255, 0, 0};
        case GraphColor::Lime: return {0, 255, 0};
        case GraphColor::Silver: break;
    }
    return {192, 192, 192};
}

void Ajouter_Graphic_State(const TGraphicState& record, GraphicStateList& list) {
    auto at = std::lower_bound(list.begin(), list.end(), record.Number, ByNumber);
    if (at != list.end() && at->Number == record.Number) return;
    list.insert(at, record);
}

TGraphicState* ieme(std::int32_t number, GraphicStateList& list) {
    auto at = std::lower_bound(list.begin(), list.end(), number, ByNumber);
    return at != list.end() && at->Number == number ? &*at : nullptr;
}

const TGraphicState* ieme(std::int32_t number, const GraphicStateList& list) {
    auto at = std::lower_bound(list.begin(), list.end(), number, ByNumber);
    return at != list.end() && at->Number == number ? &*at : nullptr;
}

bool find_graphic_state(std::int32_t number, const GraphicStateList& list) { return ieme(number, list) != nullptr; }

std::int32_t detected_state(std::int32_t x, std::int32_t y, const GraphicStateList& list) {
    for (const TGraphicState& s : list) {
        const std::int32_t r = StateRadius(s.Number);
        if (std::abs(x - s.X) <= r && std::abs(y - s.Y) <= r) return s.Number;
    }
    return -1;
}

std::int32_t StateRadius(std::int32_t number) {
    return std::max(10, DigitCount(number) * DigitWidth / 2 + NumberPadding);
}

std::int32_t RoundHalfEven(double value) {
    const double floor = std::floor(value);
    const double rest = value - floor;
    auto f = static_cast<std::int32_t>(floor);
    if (rest < 0.5) return f;
    if (rest > 0.5) return f + 1;
    return f % 2 == 0 ? f : f + 1;
}

StateDrawing LayOutState(const TGraphicState& state) {
    StateDrawing d;
    const std::int32_t r = StateRadius(state.Number);
    d.circle = {state.X - r, state.Y - r, state.X + r, state.Y + r};
    d.fill = state.Color;
    const std::int32_t number = state.Number;
    const std::int32_t digits = DigitCount(number);
    // One and two digits keep their historical places; longer numbers are centred.
    const std::int32_t left = digits == 1 ? 3 : digits == 2 ? 6 : digits * DigitWidth / 2;
    d.number = {{state.X - left, state.Y - 6}, std::to_string(number)};
    return d;
}

GraphBox SelectionSquare(const TGraphicState& state) {
    const std::int32_t half = StateRadius(state.Number) + 5;
    return {state.X - half, state.Y - half, state.X + half, state.Y + half};
}

// ---- ShownStem --------------------------------------------------------------------------------

void GraphModel::ShowStore(const StemStore& store) {
    // Graphic states of another STEM or of a path must not outlive it.
    if (store_ != &store) {
        states_.clear();
        routes_.clear();
    }
    store_ = &store;
    path_ = StemStore{};
    showsPath_ = false;
}

void GraphModel::ShowPath(StemStore path) {
    // The graphic states may stand for states of the old path.
    states_.clear();
    routes_.clear();
    store_ = nullptr;
    path_ = std::move(path);
    showsPath_ = true;
}

void GraphModel::Forget() {
    states_.clear();
    store_ = nullptr;
    path_ = StemStore{};
    showsPath_ = false;
    currentState_ = 0;
    SelectedState = -1;
    moveArmed_ = false;
    dragging_ = false;
    routes_.clear();
}

std::optional<StateView> GraphModel::FirstShown() const {
    const StemStore* shown = Shown();
    if (!shown || shown->Empty()) return std::nullopt;
    return shown->State(0);
}

std::optional<StateView> GraphModel::FindShown(std::int32_t number) const {
    const StemStore* shown = Shown();
    return shown ? shown->FindState(number) : std::nullopt;
}

// ---- Showing ------------------------------------------------------------------------------------

void GraphModel::AddState(const StateView& state, std::int32_t x, std::int32_t y, GraphColor color,
                          bool complete) {
    Ajouter_Graphic_State(TGraphicState{state.Number, state.Index, x, y, color, complete}, states_);
}

void GraphModel::FormShow() {
    states_.clear();
    routes_.clear();
    moveArmed_ = false;
    dragging_ = false;
    SelectedState = -1;
    currentState_ = 0;
    if (const std::optional<StateView> first = FirstShown()) AddState(*first, 300, 50, GraphColor::Red, false);
}

void GraphModel::ShowTrace(StemStore path) {
    ShowPath(std::move(path));
    FormShow();
    for (std::size_t k = 1; k < path_.StateCount(); ++k)
        AddState(path_.State(k), 300, 50 + 80 * static_cast<std::int32_t>(k), GraphColor::Silver, true);
    if (!states_.empty()) {
        states_.front().Color = GraphColor::Silver;
        states_.front().Complete = true;
    }
}

void GraphModel::RecomputeComplete(TGraphicState& state) const {
    const FoundArcs arcs = Shown()->State(state.Index).Arcs.Found();
    state.Complete = std::all_of(arcs.begin(), arcs.end(),
                                 [this](const TStemArc& arc) { return find_graphic_state(arc.Target, states_); });
    if (state.Complete) state.Color = GraphColor::Silver;
}

std::vector<ArcDrawing> GraphModel::LayOutTransitions(const ActionTable& actions, Semantics semantics) {
    std::vector<ArcDrawing> arcs;
    for (TGraphicState& s : states_) {
        std::int32_t previousTarget = -1;
        bool repeated = false;
        std::string accumulated;
        const StateView state = Shown()->State(s.Index);
        for (const ArcView arc : state.Arcs) {
            const TGraphicState* t = ieme(arc.Target, states_);
            if (!t) continue;
            // Consecutive arcs to one target are drawn over each other: red, with
            // their labels joined. A new target starts afresh in black.
            if (arc.Target == previousTarget) {
                repeated = true;
            } else {
                previousTarget = arc.Target;
                repeated = false;
                accumulated.clear();
            }
            std::string label = ArcLabel(arc, actions, semantics);
            if (repeated) label = accumulated + " + " + label;
            accumulated = label;
            const bool longLabel = TextLength(label) > ShortLabel;

            ArcDrawing d;
            d.source = s.Number;
            d.target = arc.Target;
            d.pen = repeated ? GraphPen::Red : GraphPen::Black;
            // The previous arc of a run is hidden under this one.
            if (repeated) arcs.back().covered = true;
            if (arc.Target == s.Number) {
                // The loop starts inside the circle, whatever its size.
                const std::int32_t shift = StateRadius(s.Number) - 10;
                d.selfLoop = true;
                d.loop = {s.X + shift, s.Y - 25, s.X + shift + 50, s.Y + 25};
                d.label = {{s.X + shift + (longLabel ? 25 : 40), s.Y - 10}, std::move(label)};
                arcs.push_back(std::move(d));
                continue;
            }
            RecomputeComplete(s);
            const std::int32_t tx = t->X, ty = t->Y;
            // The head touches the target's circle; the shaft stops 8 pixels short of it.
            const std::int32_t r = StateRadius(t->Number);
            if (ty < s.Y) {
                d.lines = {{{s.X, s.Y}, {tx, ty + r + 8}},
                           {{tx + 5, ty + r + 5}, {tx, ty + r}},
                           {{tx, ty + r}, {tx - 5, ty + r + 5}},
                           {{tx, ty + r + 8}, {tx, ty + r}}};
            } else {
                d.lines = {{{s.X, s.Y}, {tx, ty - r - 8}},
                           {{tx - 5, ty - r - 5}, {tx, ty - r}},
                           {{tx, ty - r}, {tx + 5, ty - r - 5}},
                           {{tx, ty - r - 8}, {tx, ty - r}}};
            }
            const double mx = std::abs(tx - s.X) / 2.0 + std::min(tx, s.X);
            const double my = std::abs(ty - s.Y) / 2.0 + std::min(ty, s.Y);
            GraphPoint at;
            if (ty < s.Y) {
                at = longLabel ? GraphPoint{RoundHalfEven(mx - 15), RoundHalfEven(my)}
                               : GraphPoint{RoundHalfEven(mx), RoundHalfEven(my)};
            } else {
                at = longLabel || repeated ? GraphPoint{RoundHalfEven(mx - 20), RoundHalfEven(my - 15)}
                                           : GraphPoint{RoundHalfEven(mx - 10), RoundHalfEven(my - 15)};
            }
            d.label = {at, std::move(label)};
            arcs.push_back(std::move(d));
        }
    }
    if (!routes_.empty()) ApplyRoutes(arcs);
    return arcs;
}

void GraphModel::ApplyRoutes(std::vector<ArcDrawing>& arcs) const {
    std::map<RouteKey, std::size_t> ranks;
    std::vector<const ArcRoute*> found(arcs.size(), nullptr);
    for (std::size_t k = 0; k < arcs.size(); ++k) {
        const ArcDrawing& d = arcs[k];
        if (d.covered) continue;
        RouteKey key{d.source, d.target, d.label.text, 0};
        key.rank = ranks[key]++;
        const auto route = routes_.find(key);
        if (route != routes_.end()) found[k] = &route->second;
    }
    // A run's arcs come together and end with the one that shows: walking
    // backwards, each covered arc meets the route of its run first.
    const ArcRoute* runRoute = nullptr;
    for (std::size_t k = arcs.size(); k-- > 0;) {
        ArcDrawing& d = arcs[k];
        if (!d.covered) runRoute = found[k];
        if (!runRoute) continue;
        d.selfLoop = false;
        d.curve = runRoute->curve;
        d.lines = runRoute->head;
        d.label.at = runRoute->labelAt;
    }
}

// ---- Automatic layout ---------------------------------------------------------------------------

LayoutInput GraphModel::LayoutRequest(const ActionTable& actions, Semantics semantics) {
    LayoutInput input;
    for (const TGraphicState& s : states_) {
        const double diameter = 2.0 * StateRadius(s.Number);
        input.nodes.push_back({s.Number, diameter, diameter});
    }
    for (const ArcDrawing& d : LayOutTransitions(actions, semantics))
        if (!d.covered) input.edges.push_back({d.source, d.target, d.label.text, 0, 0});
    return input;
}

void GraphModel::ApplyLayout(const LayoutInput& input, const LayoutOutput& output, bool keepPlaced) {
    assert(output.nodes.size() == input.nodes.size() && output.edges.size() == input.edges.size());
    auto place = [](const LayoutPoint& p) { return LayoutPoint{p.x + LayoutMargin, p.y + LayoutMargin}; };
    auto placed = [this, keepPlaced](std::int32_t number) {
        const TGraphicState* state = ieme(number, states_);
        return keepPlaced && state && state->Placed;
    };
    for (std::size_t k = 0; k < input.nodes.size(); ++k) {
        TGraphicState* state = ieme(input.nodes[k].number, states_);
        if (!state) continue;
        if (!keepPlaced) state->Placed = false;
        if (placed(state->Number)) continue;
        const LayoutPoint at = place(output.nodes[k]);
        state->X = RoundHalfEven(at.x);
        state->Y = RoundHalfEven(at.y);
    }
    routes_.clear();
    std::map<RouteKey, std::size_t> ranks;
    for (std::size_t k = 0; k < input.edges.size(); ++k) {
        const LayoutEdge& edge = input.edges[k];
        const LaidOutEdge& laid = output.edges[k];
        RouteKey key{edge.source, edge.target, edge.label, 0};
        key.rank = ranks[key]++;
        // No route, or one that no longer meets a state left in place: the arc keeps its plain drawing.
        if (laid.curve.size() < 2 || placed(edge.source) || placed(edge.target)) continue;
        ArcRoute route;
        for (const LayoutPoint& p : laid.curve) {
            const LayoutPoint at = place(p);
            route.curve.push_back(Rounded(at.x, at.y));
        }
        const LayoutPoint last = place(laid.curve.back());
        if (laid.hasHead) {
            route.head = ArrowHead(last, place(laid.head), true);
        } else {
            route.head = ArrowHead(place(laid.curve[laid.curve.size() - 2]), last, false);
        }
        const LayoutPoint centre = place(laid.hasLabel ? laid.labelCentre : MiddleOfCurve(laid.curve));
        route.labelAt = Rounded(centre.x - edge.labelWidth / 2, centre.y - edge.labelHeight / 2);
        routes_.emplace(std::move(key), std::move(route));
    }
}

// ---- Commands over many states ------------------------------------------------------------------

void GraphModel::AddNew(const StateView& state, std::int32_t x, std::int32_t y) {
    AddState(state, x, y, state.Arcs.empty() ? GraphColor::Silver : GraphColor::Lime, false);
}

std::size_t GraphModel::UnfoldAll() {
    const TGraphicState* current = ieme(currentState_, states_);
    if (!current) return 0;
    const std::int32_t cx = current->X, cy = current->Y;
    std::vector<StateView> targets;
    for (const ArcView arc : Shown()->State(current->Index).Arcs) {
        if (find_graphic_state(arc.Target, states_)) continue;
        const std::optional<StateView> target = FindShown(arc.Target);
        if (!target) continue;
        const bool listed = std::any_of(targets.begin(), targets.end(),
                                        [&](const StateView& t) { return t.Number == target->Number; });
        if (!listed) targets.push_back(*target);
    }
    // A row centred below the current state, 80 pixels apart.
    const double first = cx - 40.0 * (static_cast<double>(targets.size()) - 1);
    for (std::size_t k = 0; k < targets.size(); ++k)
        AddNew(targets[k], std::max(30, RoundHalfEven(first + 80.0 * static_cast<double>(k))), cy + 100);
    if (!targets.empty()) RecomputeComplete(*ieme(currentState_, states_));
    std::vector<std::int32_t> drawn;
    for (const StateView& t : targets) drawn.push_back(t.Number);
    KeepACurrentState(drawn);
    return targets.size();
}

bool GraphModel::HasCurrentState() const {
    const TGraphicState* current = ieme(currentState_, states_);
    return current && current->Color == GraphColor::Red;
}

bool GraphModel::HasLimeState() const {
    return std::any_of(states_.begin(), states_.end(),
                       [](const TGraphicState& s) { return s.Color == GraphColor::Lime; });
}

bool GraphModel::KeepACurrentState(const std::vector<std::int32_t>& drawnSince) {
    if (!Shown()) return false;
    if (TGraphicState* current = ieme(currentState_, states_)) {
        RecomputeComplete(*current);
        if (!current->Complete) {
            current->Color = GraphColor::Red;
            return true;
        }
    }
    auto open = [this](std::int32_t number) {
        TGraphicState* state = ieme(number, states_);
        if (!state) return false;
        RecomputeComplete(*state);
        return !state->Complete && !Shown()->State(state->Index).Arcs.empty();
    };
    std::vector<std::int32_t> candidates = drawnSince;
    for (const TGraphicState& state : states_) candidates.push_back(state.Number);
    for (const std::int32_t number : candidates) {
        if (!open(number)) continue;
        TGraphicState* state = ieme(number, states_);
        state->Color = GraphColor::Lime;
        return MakeCurrentState(number);
    }
    return false;
}

GraphModel::DepthUnfolding GraphModel::UnfoldToDepth(std::int32_t depth, std::size_t maxStates) {
    DepthUnfolding result;
    const StemStore* shown = Shown();
    if (!shown || shown->Empty() || depth <= 0) return result;
    std::vector<std::int32_t> drawn;
    std::vector<char> seen(shown->StateCount(), 0);
    std::vector<std::size_t> level{0};
    seen[0] = 1;
    for (std::int32_t distance = 1; distance <= depth && !level.empty(); ++distance) {
        std::vector<std::size_t> next;
        std::int32_t column = 0;
        for (const std::size_t index : level) {
            for (const ArcView arc : shown->State(index).Arcs) {
                const std::int64_t target = shown->IndexOf(arc.Target);
                if (target < 0 || seen[static_cast<std::size_t>(target)]) continue;
                seen[static_cast<std::size_t>(target)] = 1;
                next.push_back(static_cast<std::size_t>(target));
                const StateView state = shown->State(static_cast<std::size_t>(target));
                if (find_graphic_state(state.Number, states_)) continue;
                if (states_.size() >= maxStates) {
                    result.stopped = true;
                    KeepACurrentState(drawn);
                    return result;
                }
                AddNew(state, 60 + 80 * column++, 50 + 100 * distance);
                ++result.added;
                drawn.push_back(state.Number);
            }
        }
        level = std::move(next);
    }
    KeepACurrentState(drawn);
    return result;
}

std::vector<std::int32_t> GraphModel::ShortestPath(std::int32_t number) const {
    const StemStore* shown = Shown();
    if (!shown || shown->Empty()) return {};
    const std::int64_t goal = shown->IndexOf(number);
    if (goal < 0) return {};
    // Breadth first from the first state; each state remembers where it was reached from.
    constexpr std::size_t None = static_cast<std::size_t>(-1);
    std::vector<std::size_t> from(shown->StateCount(), None);
    from[0] = 0;
    std::deque<std::size_t> queue{0};
    while (!queue.empty() && from[static_cast<std::size_t>(goal)] == None) {
        const std::size_t index = queue.front();
        queue.pop_front();
        for (const ArcView arc : shown->State(index).Arcs) {
            const std::int64_t target = shown->IndexOf(arc.Target);
            if (target < 0 || from[static_cast<std::size_t>(target)] != None) continue;
            from[static_cast<std::size_t>(target)] = index;
            queue.push_back(static_cast<std::size_t>(target));
        }
    }
    if (from[static_cast<std::size_t>(goal)] == None) return {};
    std::vector<std::int32_t> path;
    for (std::size_t at = static_cast<std::size_t>(goal);; at = from[at]) {
        path.push_back(shown->State(at).Number);
        if (at == 0) break;
    }
    std::reverse(path.begin(), path.end());
    return path;
}

bool GraphModel::DrawPathTo(std::int32_t number) {
    const std::optional<StateView> goal = FindShown(number);
    if (!goal) return false;
    std::vector<std::int32_t> path = ShortestPath(number);
    if (path.empty()) {
        // Out of reach from the first state: alone, below everything drawn.
        std::int32_t bottom = 50;
        for (const TGraphicState& s : states_) bottom = std::max(bottom, s.Y);
        if (!find_graphic_state(number, states_)) AddNew(*goal, 300, bottom + 80);
    }
    for (std::size_t k = 1; k < path.size(); ++k) {
        if (find_graphic_state(path[k], states_)) continue;
        const TGraphicState* before = ieme(path[k - 1], states_);
        AddNew(*FindShown(path[k]), before->X, before->Y + 80);
    }
    MakeCurrentState(number);
    return true;
}

// ---- Mouse ------------------------------------------------------------------------------------

bool GraphModel::Unfold(std::int32_t x, std::int32_t y) {
    TGraphicState* current = ieme(currentState_, states_);
    if (!current) return false;
    const StateView state = Shown()->State(current->Index);
    bool added = false;
    for (const ArcView arc : state.Arcs) {
        if (find_graphic_state(arc.Target, states_)) continue;
        const std::optional<StateView> target = FindShown(arc.Target);
        if (!target) continue;  // an arc into nowhere (a hand-written STEM file) is never drawn
        AddState(*target, x, y, target->Arcs.empty() ? GraphColor::Silver : GraphColor::Lime, false);
        ieme(target->Number, states_)->Placed = true;
        added = true;
        break;
    }
    // The insertion may have moved the current state's record.
    RecomputeComplete(*ieme(currentState_, states_));
    return added;
}

bool GraphModel::SelectForMoving(std::int32_t x, std::int32_t y) {
    const std::int32_t hit = detected_state(x, y, states_);
    if (hit < 0) return false;
    SelectedState = hit;
    moveArmed_ = true;
    return true;
}

bool GraphModel::MakeCurrent(std::int32_t x, std::int32_t y) {
    const std::int32_t hit = detected_state(x, y, states_);
    return hit >= 0 && MakeCurrentState(hit);
}

bool GraphModel::MakeCurrentState(std::int32_t number) {
    TGraphicState* chosen = ieme(number, states_);
    if (!chosen || chosen->Color != GraphColor::Lime) return false;
    if (TGraphicState* old = ieme(currentState_, states_))
        old->Color = old->Complete ? GraphColor::Silver : GraphColor::Lime;
    currentState_ = number;
    chosen->Color = GraphColor::Red;
    return true;
}

void GraphModel::Press(GraphButton button, std::int32_t x, std::int32_t y, bool doubleClick,
                       const ActionTable& actions, Semantics semantics) {
    // Every press redraws first, and the redraw settles which states are complete.
    LayOutTransitions(actions, semantics);
    if (button == GraphButton::Left && !doubleClick) {
        if (moveArmed_) {
            moveArmed_ = false;
            dragging_ = true;
            return;
        }
        Unfold(x, y);
    }
    if (doubleClick && button != GraphButton::Left) SelectForMoving(x, y);
    if (button == GraphButton::Right) MakeCurrent(x, y);
}

bool GraphModel::Move(std::int32_t x, std::int32_t y) {
    if (!dragging_) return false;
    TGraphicState* selected = ieme(SelectedState, states_);
    if (!selected) return false;
    selected->X = x;
    selected->Y = y;
    selected->Placed = true;
    std::erase_if(routes_, [number = selected->Number](const auto& entry) {
        return entry.first.source == number || entry.first.target == number;
    });
    return true;
}

std::string GraphModel::HintAt(std::int32_t x, std::int32_t y, const ActionTable& actions,
                               Semantics semantics) const {
    if (semantics != Semantics::Maximality || dragging_) return {};
    const std::int32_t hit = detected_state(x, y, states_);
    if (hit < 0) return {};
    return StateHint(Shown()->State(ieme(hit, states_)->Index), actions);
}

// ---- Paths ------------------------------------------------------------------------------------

StemStore TraceRecords(const StemStore& store, const std::vector<std::int32_t>& numbers) {
    StemStore path;
    path.actions = store.actions;
    path.Reserve(numbers.size(), numbers.size());
    for (std::size_t k = 0; k < numbers.size(); ++k) {
        const std::optional<StateView> state = store.FindState(numbers[k]);
        path.AppendState(numbers[k], state ? path.InternEvents(state->Events) : EmptyEventSet);
        if (!state || k + 1 == numbers.size()) continue;
        auto arc = std::find_if(state->Arcs.begin(), state->Arcs.end(),
                                [next = numbers[k + 1]](const ArcView& a) { return a.Target == next; });
        if (arc == state->Arcs.end()) continue;
        const TStemArc taken{arc->Target, arc->Action, arc->Event, path.InternEvents(arc->Causes)};
        path.SetArcs(k, {&taken, 1});
    }
    path.StemStateCount = static_cast<std::int32_t>(path.StateCount());
    return path;
}

}  // namespace quarvo
