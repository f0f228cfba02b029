// The labelling rules of every formula kind: bitwise for the propositional ones,
// backward worklists over predecessor lists for the temporal least fixpoints.
#include "ctl/Labelling.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace quarvo {
namespace {

using Bits = std::vector<std::uint64_t>;

bool Test(const Bits& bits, std::size_t i) { return (bits[i >> 6] >> (i & 63)) & 1u; }
void Set(Bits& bits, std::size_t i) { bits[i >> 6] |= std::uint64_t{1} << (i & 63); }

// The successor relation read from the arcs, by position in the state list, with
// each arc counted once (two arcs to one state make two entries).
struct ArcIndex {
    std::size_t states = 0;
    std::vector<std::uint32_t> outDegree;     // resolved arcs leaving each state
    std::vector<std::size_t> predStart;       // predecessors of t: pred[predStart[t] .. predStart[t+1])
    std::vector<std::uint32_t> pred;
};

ArcIndex BuildArcIndex(const StemStore& store) {
    ArcIndex index;
    index.states = store.StateCount();
    index.outDegree.assign(index.states, 0);
    // A generated STEM numbers its states by position; then a target is its
    // own position and the store answers without a look-up.
    std::vector<std::uint32_t> targets;  // resolved target of every arc, state by state
    targets.reserve(static_cast<std::size_t>(store.ArcCount()));
    std::vector<std::size_t> inDegree(index.states + 1, 0);
    // Within a state the order of the arcs does not matter here (each arc
    // adds its source once to its target's list), so they are read as stored.
    for (std::size_t s = 0; s < index.states; ++s)
        for (const TStemArc& arc : store.State(s).Arcs.Found()) {
            const std::int64_t t = store.IndexOf(arc.Target);
            targets.push_back(t < 0 ? UINT32_MAX : static_cast<std::uint32_t>(t));
            if (t >= 0) ++inDegree[static_cast<std::size_t>(t)];
        }
    index.predStart.assign(index.states + 1, 0);
    for (std::size_t t = 0; t < index.states; ++t) index.predStart[t + 1] = index.predStart[t] + inDegree[t];
    index.pred.resize(index.predStart[index.states]);
    std::vector<std::size_t> fill(index.predStart.begin(), index.predStart.end() - 1);
    std::size_t arc = 0;
    for (std::size_t s = 0; s < index.states; ++s)
        for (std::size_t k = store.Record(s).ArcCount; k > 0; --k, ++arc) {
            const std::uint32_t t = targets[arc];
            if (t == UINT32_MAX) continue;
            ++index.outDegree[s];
            index.pred[fill[t]++] = static_cast<std::uint32_t>(s);
        }
    return index;
}

// Computes the rows of one formula over one STEM.
class Labeller {
public:
    Labeller(const StemStore& store, const CompiledFormula& formula)
        : store_(store), formula_(formula), graph_(BuildArcIndex(store)), words_((graph_.states + 63) / 64) {
        for (std::size_t id = 0; id < store.actions.Size(); ++id)
            actionIds_.emplace(store.actions.Name(static_cast<ActionId>(id)), static_cast<ActionId>(id));
    }

    Bits Row(FormulaIndex node, const std::vector<Bits>& rows) const;

private:
    Bits Empty() const { return Bits(words_, 0); }
    Bits Complement(const Bits& a) const;
    template <typename Op>
    Bits Combine(const Bits& a, const Bits& b, Op op) const;
    Bits WithAction(const Identifier32& name, std::int64_t count, bool exactly) const;
    Bits SomeSuccessor(const Bits& target) const;
    Bits AllSuccessors(const Bits& target) const;
    Bits SomePathReaches(const Bits& goal, const Bits* along) const;
    Bits EveryPathReaches(const Bits& goal, const Bits* along) const;

    // Calls visit(p) once for every arc from a state p into a state of target.
    template <typename Visit>
    void ForEachArcInto(const Bits& target, Visit visit) const;
    // Least set holding goal and every state p (in along, when given) that
    // joins(p) lets in, joins being asked once for each arc from p into the
    // set, as long as p is not in it yet.
    template <typename Joins>
    Bits BackwardClosure(const Bits& goal, const Bits* along, Joins joins) const;

    const StemStore& store_;
    const CompiledFormula& formula_;
    ArcIndex graph_;
    std::size_t words_;
    std::unordered_map<Identifier32, ActionId, Identifier32Hash> actionIds_;
};

Bits Labeller::Complement(const Bits& a) const {
    Bits r(words_);
    for (std::size_t w = 0; w < words_; ++w) r[w] = ~a[w];
    if (const std::size_t tail = graph_.states & 63; tail != 0) r.back() &= (std::uint64_t{1} << tail) - 1;
    return r;
}

template <typename Op>
Bits Labeller::Combine(const Bits& a, const Bits& b, Op op) const {
    Bits r(words_);
    for (std::size_t w = 0; w < words_; ++w) r[w] = op(a[w], b[w]);
    return r;
}

// States with an event of that action (exactly = false), or with exactly count such events.
Bits Labeller::WithAction(const Identifier32& name, std::int64_t count, bool exactly) const {
    Bits r = Empty();
    auto found = actionIds_.find(name);
    // States share their event sets: each set is counted once.
    std::vector<std::int64_t> perSet(store_.EventSetCount(), 0);
    if (found != actionIds_.end())
        for (std::size_t id = 0; id < perSet.size(); ++id)
            for (const TEventEntry& e : store_.Events(static_cast<EventSetId>(id))) perSet[id] += e.Action == found->second;
    for (std::size_t s = 0; s < graph_.states; ++s) {
        const std::int64_t n = perSet[store_.Record(s).Events];
        if (exactly ? n == count : n > 0) Set(r, s);
    }
    return r;
}

template <typename Visit>
void Labeller::ForEachArcInto(const Bits& target, Visit visit) const {
    for (std::size_t t = 0; t < graph_.states; ++t)
        if (Test(target, t))
            for (std::size_t k = graph_.predStart[t]; k < graph_.predStart[t + 1]; ++k) visit(graph_.pred[k]);
}

template <typename Joins>
Bits Labeller::BackwardClosure(const Bits& goal, const Bits* along, Joins joins) const {
    Bits r = goal;
    std::vector<std::uint32_t> work;
    for (std::size_t s = 0; s < graph_.states; ++s)
        if (Test(goal, s)) work.push_back(static_cast<std::uint32_t>(s));
    while (!work.empty()) {
        const std::uint32_t t = work.back();
        work.pop_back();
        for (std::size_t k = graph_.predStart[t]; k < graph_.predStart[t + 1]; ++k) {
            const std::uint32_t p = graph_.pred[k];
            if (Test(r, p) || !joins(p) || (along && !Test(*along, p))) continue;
            Set(r, p);
            work.push_back(p);
        }
    }
    return r;
}

Bits Labeller::SomeSuccessor(const Bits& target) const {
    Bits r = Empty();
    ForEachArcInto(target, [&r](std::uint32_t p) { Set(r, p); });
    return r;
}

// A state without arcs has no successor in the set, nor are all of its none.
Bits Labeller::AllSuccessors(const Bits& target) const {
    std::vector<std::uint32_t> inTarget(graph_.states, 0);
    ForEachArcInto(target, [&inTarget](std::uint32_t p) { ++inTarget[p]; });
    Bits r = Empty();
    for (std::size_t s = 0; s < graph_.states; ++s)
        if (graph_.outDegree[s] > 0 && inTarget[s] == graph_.outDegree[s]) Set(r, s);
    return r;
}

// Least set holding goal and every state (in along, when given) with some successor in the set.
Bits Labeller::SomePathReaches(const Bits& goal, const Bits* along) const {
    return BackwardClosure(goal, along, [](std::uint32_t) { return true; });
}

// Least set holding goal and every state (in along, when given) that has arcs,
// all of them into the set. Each state counts its arcs not yet known to lead
// into the set; it joins when that count reaches zero.
Bits Labeller::EveryPathReaches(const Bits& goal, const Bits* along) const {
    std::vector<std::uint32_t> remaining = graph_.outDegree;
    return BackwardClosure(goal, along, [&remaining](std::uint32_t p) { return --remaining[p] == 0; });
}

Bits Labeller::Row(FormulaIndex index, const std::vector<Bits>& rows) const {
    const TFormulaNode& node = formula_.Node(index);
    auto row = [&rows](FormulaIndex i) -> const Bits& { return rows[static_cast<std::size_t>(i)]; };
    switch (node.Kind) {
    case TFormulaKind::fkAnd:
        return Combine(row(node.Left), row(node.Right), [](std::uint64_t a, std::uint64_t b) { return a & b; });
    case TFormulaKind::fkOr:
        return Combine(row(node.Left), row(node.Right), [](std::uint64_t a, std::uint64_t b) { return a | b; });
    case TFormulaKind::fkImplies:
        return Combine(Complement(row(node.Left)), row(node.Right),
                       [](std::uint64_t a, std::uint64_t b) { return a | b; });
    case TFormulaKind::fkEquiv:
        return Combine(Complement(row(node.Left)), row(node.Right),
                       [](std::uint64_t a, std::uint64_t b) { return a ^ b; });
    case TFormulaKind::fkAtom: return WithAction(node.Name, 0, false);
    case TFormulaKind::fkNot: return Complement(row(node.Left));
    case TFormulaKind::fkEX: return SomeSuccessor(row(node.Left));
    case TFormulaKind::fkAX: return AllSuccessors(row(node.Left));
    // E G f fails exactly where every path reaches a state without f, counting
    // a deadlock as no path onwards; A G f fails where some path reaches one.
    case TFormulaKind::fkEG: return Complement(EveryPathReaches(Complement(row(node.Left)), nullptr));
    case TFormulaKind::fkAG: return Complement(SomePathReaches(Complement(row(node.Left)), nullptr));
    case TFormulaKind::fkEF: return SomePathReaches(row(node.Left), nullptr);
    case TFormulaKind::fkAF: return EveryPathReaches(row(node.Left), nullptr);
    case TFormulaKind::fkEU: return SomePathReaches(row(node.Right), &row(node.Left));
    case TFormulaKind::fkAU: return EveryPathReaches(row(node.Right), &row(node.Left));
    case TFormulaKind::fkCount:
        return WithAction(formula_.Node(node.Left).Name, formula_.Node(node.Right).Value, true);
    case TFormulaKind::fkTrue: return Complement(Empty());
    case TFormulaKind::fkFalse:
    case TFormulaKind::fkNumber:
    case TFormulaKind::fkPendingUntil: break;
    }
    return Empty();
}

}  // namespace

bool Labelling::Holds(std::size_t stateIndex, FormulaIndex node) const {
    if (node < 0 || static_cast<std::size_t>(node) >= rows_.size() || stateIndex >= stateCount_) return false;
    return Test(rows_[static_cast<std::size_t>(node)], stateIndex);
}

void LabelAll(const StemStore& store, const CompiledFormula& formula, Labelling& labels) {
    const std::size_t states = store.StateCount();
    const std::size_t words = (states + 63) / 64;
    if (labels.stateCount_ != states || labels.rows_.size() != formula.nodes.size()) {
        labels.stateCount_ = states;
        labels.rows_.assign(formula.nodes.size(), Bits(words, 0));
    }
    if (formula.SubformulaList.empty()) return;
    const Labeller labeller(store, formula);
    // Operands come first in the list, so their rows are complete when used.
    std::vector<Bits> rows(formula.nodes.size(), Bits(words, 0));
    for (FormulaIndex node : formula.SubformulaList) {
        rows[static_cast<std::size_t>(node)] = labeller.Row(node, rows);
        Bits& kept = labels.rows_[static_cast<std::size_t>(node)];
        const Bits& row = rows[static_cast<std::size_t>(node)];
        for (std::size_t w = 0; w < words; ++w) kept[w] |= row[w];
    }
}

Labelling LabelAll(const StemStore& store, const CompiledFormula& formula) {
    Labelling labels;
    LabelAll(store, formula, labels);
    return labels;
}

std::vector<bool> UsedActions(const StemStore& store) {
    std::vector<bool> used(store.actions.Size(), false);
    std::vector<bool> setSeen(store.EventSetCount(), false);
    for (std::size_t s = 0; s < store.StateCount(); ++s) {
        const EventSetId events = store.Record(s).Events;
        if (!setSeen[events]) {
            setSeen[events] = true;
            for (const TEventEntry& e : store.Events(events)) used[e.Action] = true;
        }
        for (const TStemArc& arc : store.State(s).Arcs.Found()) used[arc.Action] = true;
    }
    return used;
}

std::vector<std::string> UnknownAtoms(const StemStore& store, const CompiledFormula& formula) {
    const std::vector<bool> used = UsedActions(store);
    std::unordered_set<Identifier32, Identifier32Hash> names;
    for (std::size_t id = 0; id < used.size(); ++id)
        if (used[id]) names.insert(store.actions.Name(static_cast<ActionId>(id)));

    std::vector<std::string> unknown;
    std::unordered_set<Identifier32, Identifier32Hash> reported;
    // Atoms are created as they are read: the node order is the text's.
    for (const TFormulaNode& node : formula.nodes)
        if (node.Kind == TFormulaKind::fkAtom && !names.count(node.Name) && reported.insert(node.Name).second)
            unknown.push_back(node.Written.Text());
    return unknown;
}

std::string UnknownAtomsWarning(const std::vector<std::string>& atoms) {
    if (atoms.empty()) return {};
    std::string list = atoms.front();
    for (std::size_t i = 1; i < atoms.size(); ++i) list += (i + 1 == atoms.size() ? " ni " : ", ") + atoms[i];
    return "Attention : aucune action " + list + " dans le STEM.";
}

const char* VerdictMessage(Verdict verdict) {
    switch (verdict) {
    case Verdict::Verified: return "Formule vérifiée à l'état initial.";
    case Verdict::NotVerified: return "Formule non vérifiée à l'état initial.";
    case Verdict::NoStem: return "Aucun STEM en mémoire : générez ou régénérez d'abord un STEM.";
    case Verdict::NoInitialState: return "Le STEM en mémoire n'a pas d'état initial (état 0).";
    }
    return "";
}

Verdict InitialVerdict(const StemStore& store, const CompiledFormula& formula, const Labelling& labels) {
    if (store.Empty()) return Verdict::NoStem;
    const std::int64_t initial = store.IndexOf(0);
    if (initial < 0) return Verdict::NoInitialState;
    return labels.Holds(static_cast<std::size_t>(initial), formula.MainFormula) ? Verdict::Verified
                                                                                 : Verdict::NotVerified;
}

Verdict Verify(const StemStore& store, const CompiledFormula& formula, Labelling& labels) {
    if (store.Empty()) return Verdict::NoStem;
    if (store.IndexOf(0) < 0) return Verdict::NoInitialState;
    LabelAll(store, formula, labels);
    return InitialVerdict(store, formula, labels);
}

}  // namespace quarvo
