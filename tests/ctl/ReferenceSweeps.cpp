// The reference labelling by sweeps, written to follow the rule table step by step.
#include "ReferenceSweeps.h"

#include <algorithm>
#include <functional>

namespace quarvo::test {
namespace {

class Sweeper {
public:
    Sweeper(const StemStore& store, const CompiledFormula& formula)
        : store_(store), formula_(formula), labels_(store.StateCount()) {}

    ReferenceLabels Run() {
        for (FormulaIndex node : formula_.SubformulaList) Apply(node);
        return std::move(labels_);
    }

private:
    using Condition = std::function<bool(std::size_t)>;
    using Adder = std::function<void(std::size_t)>;

    std::int32_t WeightOf(FormulaIndex f) const { return f < 0 ? 0 : formula_.Node(f).Weight; }

    bool Holds(std::size_t s, FormulaIndex f) const {
        const auto& l = labels_[s];
        return std::find(l.begin(), l.end(), f) != l.end();
    }

    // InsertRef into a state's labels: ascending weight, after equal weights.
    void Label(std::size_t s, FormulaIndex f) {
        auto& l = labels_[s];
        if (std::find(l.begin(), l.end(), f) != l.end()) return;
        auto at = l.begin();
        while (at != l.end() && WeightOf(*at) <= WeightOf(f)) ++at;
        l.insert(at, f);
        changed_ = true;
    }

    void PushMarker(std::size_t s, FormulaIndex marker) {
        auto& l = labels_[s];
        if (std::find(l.begin(), l.end(), marker) != l.end()) return;
        l.insert(l.begin(), marker);
        changed_ = true;
    }

    void PopMarker(std::size_t s) { labels_[s].erase(labels_[s].begin()); }

    // FindState: the position of the first state of the list with that
    // number, by walking the list; -1 when there is none.
    std::int64_t FindState(std::int32_t number) const {
        for (const StateView state : store_.States())
            if (state.Number == number) return static_cast<std::int64_t>(state.Index);
        return -1;
    }

    bool SomeSucc(std::size_t s, FormulaIndex f) const {
        for (const ArcView arc : store_.State(s).Arcs) {
            const std::int64_t t = FindState(arc.Target);
            if (t >= 0 && Holds(static_cast<std::size_t>(t), f)) return true;
        }
        return false;
    }

    // An arc to no state leads nowhere and is not counted.
    bool AllSucc(std::size_t s, FormulaIndex f) const {
        int successors = 0;
        for (const ArcView arc : store_.State(s).Arcs) {
            const std::int64_t t = FindState(arc.Target);
            if (t < 0) continue;
            ++successors;
            if (!Holds(static_cast<std::size_t>(t), f)) return false;
        }
        return successors > 0;
    }

    bool HasAction(std::size_t s, const Identifier32& name, int* count) const {
        int n = 0;
        for (const TEventEntry& e : store_.State(s).Events) n += store_.actions.Name(e.Action) == name;
        if (count) *count = n;
        return n > 0;
    }

    void Fix(const Condition& condition, const Adder& add) {
        changed_ = true;
        std::int32_t sweeps = 0;
        while (sweeps <= store_.StemStateCount && changed_) {
            changed_ = false;
            for (std::size_t s = 0; s < labels_.size(); ++s)
                if (condition(s)) add(s);
            ++sweeps;
        }
    }

    void ForEach(const Condition& condition, FormulaIndex n) {
        for (std::size_t s = 0; s < labels_.size(); ++s)
            if (condition(s)) Label(s, n);
    }

    void Globally(FormulaIndex n, bool all) {
        const FormulaIndex l = formula_.Node(n).Left;
        const FormulaIndex marker = -2 - n;  // a fresh node, used only as a label
        for (std::size_t s = 0; s < labels_.size(); ++s)
            if (!Holds(s, l)) PushMarker(s, marker);
        if (all)
            Fix([&](std::size_t s) { return SomeSucc(s, marker); }, [&](std::size_t s) { PushMarker(s, marker); });
        else
            Fix([&](std::size_t s) { return AllSucc(s, marker); }, [&](std::size_t s) { PushMarker(s, marker); });
        for (std::size_t s = 0; s < labels_.size(); ++s) {
            if (Holds(s, marker))
                PopMarker(s);
            else
                Label(s, n);
        }
    }

    void Apply(FormulaIndex n) {
        const TFormulaNode& node = formula_.Node(n);
        const FormulaIndex l = node.Left;
        const FormulaIndex r = node.Right;
        auto label = [&](std::size_t s) { Label(s, n); };
        switch (node.Kind) {
        case TFormulaKind::fkAnd: ForEach([&](std::size_t s) { return Holds(s, l) && Holds(s, r); }, n); break;
        case TFormulaKind::fkOr: ForEach([&](std::size_t s) { return Holds(s, l) || Holds(s, r); }, n); break;
        case TFormulaKind::fkImplies: ForEach([&](std::size_t s) { return !Holds(s, l) || Holds(s, r); }, n); break;
        case TFormulaKind::fkEquiv: ForEach([&](std::size_t s) { return Holds(s, l) == Holds(s, r); }, n); break;
        case TFormulaKind::fkAtom: ForEach([&](std::size_t s) { return HasAction(s, node.Name, nullptr); }, n); break;
        case TFormulaKind::fkNot: ForEach([&](std::size_t s) { return !Holds(s, l); }, n); break;
        case TFormulaKind::fkEX: ForEach([&](std::size_t s) { return SomeSucc(s, l); }, n); break;
        case TFormulaKind::fkAX: ForEach([&](std::size_t s) { return AllSucc(s, l); }, n); break;
        case TFormulaKind::fkEG: Globally(n, false); break;
        case TFormulaKind::fkAG: Globally(n, true); break;
        case TFormulaKind::fkEF:
            ForEach([&](std::size_t s) { return Holds(s, l); }, n);
            Fix([&](std::size_t s) { return SomeSucc(s, n); }, label);
            break;
        case TFormulaKind::fkAF:
            ForEach([&](std::size_t s) { return Holds(s, l); }, n);
            Fix([&](std::size_t s) { return AllSucc(s, n); }, label);
            break;
        case TFormulaKind::fkEU:
            ForEach([&](std::size_t s) { return Holds(s, r); }, n);
            Fix([&](std::size_t s) { return Holds(s, l) && SomeSucc(s, n); }, label);
            break;
        case TFormulaKind::fkAU:
            ForEach([&](std::size_t s) { return Holds(s, r); }, n);
            Fix([&](std::size_t s) { return Holds(s, l) && AllSucc(s, n); }, label);
            break;
        case TFormulaKind::fkCount: {
            const Identifier32& name = formula_.Node(l).Name;
            const std::int32_t value = formula_.Node(r).Value;
            ForEach([&](std::size_t s) { int c = 0; HasAction(s, name, &c); return c == value; }, n);
            break;
        }
        case TFormulaKind::fkTrue: ForEach([](std::size_t) { return true; }, n); break;
        default: break;
        }
    }

    const StemStore& store_;
    const CompiledFormula& formula_;
    ReferenceLabels labels_;
    bool changed_ = false;
};

}  // namespace

ReferenceLabels SweepLabels(const StemStore& store, const CompiledFormula& formula) {
    return Sweeper(store, formula).Run();
}

bool ReferenceHolds(const ReferenceLabels& labels, std::size_t state, FormulaIndex node) {
    const auto& l = labels[state];
    return std::find(l.begin(), l.end(), node) != l.end();
}

}  // namespace quarvo::test
