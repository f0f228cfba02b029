// The graph viewer's model: drawn states, mouse rules and geometry.
#include "views/GraphModel.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdlib>

#include "views/StemTexts.h"

namespace quarvo {

namespace {

bool ByNumber(const TGraphicState& s, std::int32_t number) { return s.Number < number; }

// Where a label longer than this many characters is moved left to stay centred.
constexpr std::size_t ShortLabel = 5;

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
    for (const TGraphicState& s : list)
        if (std::abs(x - s.X) <= 10 && std::abs(y - s.Y) <= 10) return s.Number;
    return -1;
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
    d.circle = {state.X - 10, state.Y - 10, state.X + 10, state.Y + 10};
    d.fill = state.Color;
    const std::int32_t number = state.Number;
    const bool oneDigit = number >= 0 && number <= 9;
    d.number = {{state.X - (oneDigit ? 3 : 6), state.Y - 6}, std::to_string(number)};
    return d;
}

GraphBox SelectionSquare(const TGraphicState& state) {
    return {state.X - 15, state.Y - 15, state.X + 15, state.Y + 15};
}

// ---- ShownStem --------------------------------------------------------------------------------

void GraphModel::ShowStore(const StemStore& store) {
    // Graphic states of another STEM or of a path must not outlive it.
    if (store_ != &store) states_.clear();
    store_ = &store;
    path_ = StemStore{};
    showsPath_ = false;
}

void GraphModel::ShowPath(StemStore path) {
    // The graphic states may stand for states of the old path.
    states_.clear();
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
    const std::span<const TStemArc> arcs = Shown()->State(state.Index).Arcs.Found();
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
            if (arc.Target == s.Number) {
                d.selfLoop = true;
                d.loop = {s.X, s.Y - 25, s.X + 50, s.Y + 25};
                d.label = {{s.X + (longLabel ? 25 : 40), s.Y - 10}, std::move(label)};
                arcs.push_back(std::move(d));
                continue;
            }
            RecomputeComplete(s);
            const std::int32_t tx = t->X, ty = t->Y;
            if (ty < s.Y) {
                d.lines = {{{s.X, s.Y}, {tx, ty + 18}},
                           {{tx + 5, ty + 15}, {tx, ty + 10}},
                           {{tx, ty + 10}, {tx - 5, ty + 15}},
                           {{tx, ty + 18}, {tx, ty + 10}}};
            } else {
                d.lines = {{{s.X, s.Y}, {tx, ty - 18}},
                           {{tx - 5, ty - 15}, {tx, ty - 10}},
                           {{tx, ty - 10}, {tx + 5, ty - 15}},
                           {{tx, ty - 18}, {tx, ty - 10}}};
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
    return arcs;
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
    if (hit < 0) return false;
    TGraphicState* chosen = ieme(hit, states_);
    if (chosen->Color != GraphColor::Lime) return false;
    if (TGraphicState* old = ieme(currentState_, states_))
        old->Color = old->Complete ? GraphColor::Silver : GraphColor::Lime;
    currentState_ = hit;
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
