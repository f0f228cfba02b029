#include "equivalence/Compare.h"

#include <algorithm>
#include <deque>
#include <new>
#include <unordered_map>

#include "equivalence/Distinction.h"
#include "equivalence/Traces.h"
#include "frontend/MessageText.h"

namespace quarvo {
namespace {

constexpr std::uint32_t kNone = UINT32_MAX;

// The quotient of lts by a partition, keeping every block: state b is block
// b. Internal arcs inside a block are dropped when dropInertInternal (they
// change nothing to weak or branching bisimulation).
Lts QuotientByBlocks(const Lts& lts, const Partition& partition, bool dropInertInternal) {
    std::vector<std::vector<std::pair<std::uint32_t, std::uint32_t>>> arcs(partition.count);
    for (std::uint32_t s = 0; s < lts.StateCount(); ++s) {
        const std::uint32_t from = partition.block[s];
        for (std::uint32_t k = lts.firstArc[s]; k < lts.firstArc[s + 1]; ++k) {
            const std::uint32_t to = partition.block[lts.target[k]];
            if (dropInertInternal && lts.label[k] == TauLabel && from == to) continue;
            arcs[from].emplace_back(lts.label[k], to);
        }
    }
    Lts q;
    q.labels = lts.labels;
    q.initial = partition.block[lts.initial];
    q.firstArc.assign(1, 0);
    for (auto& list : arcs) {
        std::sort(list.begin(), list.end());
        list.erase(std::unique(list.begin(), list.end()), list.end());
        for (const auto& [label, target] : list) {
            q.label.push_back(label);
            q.target.push_back(target);
        }
        q.firstArc.push_back(static_cast<std::uint32_t>(q.target.size()));
    }
    return q;
}

std::vector<std::string> LabelNames(const Lts& lts, const std::vector<std::uint32_t>& labels, bool skipInternal) {
    std::vector<std::string> names;
    for (std::uint32_t l : labels) {
        if (!(skipInternal && l == TauLabel)) names.push_back(lts.labels[l]);
    }
    return names;
}

// A shortest path in `a` from `from` to a state `accept` takes, by internal
// arcs (when weak), one arc of `label` (none when label is kNone), then
// internal arcs (when weak). Empty when there is none; else the states after
// `from`, in order. With no label, `from` itself must not be accepted.
template <typename Accept>
std::vector<std::uint32_t> FindStep(const Lts& a, std::uint32_t from, std::uint32_t label, bool weak, Accept accept) {
    // Search nodes: state * 2 + phase (phase 1: the labelled arc is behind).
    const std::uint32_t start = from * 2 + (label == kNone ? 1 : 0);
    std::unordered_map<std::uint32_t, std::uint32_t> parent{{start, kNone}};
    std::deque<std::uint32_t> queue{start};
    while (!queue.empty()) {
        const std::uint32_t node = queue.front();
        queue.pop_front();
        const std::uint32_t s = node / 2, phase = node % 2;
        if (phase == 1 && accept(s)) {
            std::vector<std::uint32_t> path;
            for (std::uint32_t n = node; n != start; n = parent[n]) path.push_back(n / 2);
            std::reverse(path.begin(), path.end());
            return path;
        }
        for (std::uint32_t k = a.firstArc[s]; k < a.firstArc[s + 1]; ++k) {
            std::uint32_t next = kNone;
            if (weak && a.label[k] == TauLabel) next = a.target[k] * 2 + phase;
            else if (phase == 0 && a.label[k] == label) next = a.target[k] * 2 + 1;
            if (next != kNone && parent.try_emplace(next, node).second) queue.push_back(next);
        }
    }
    return {};
}

// The label of `a` named like union label l (a's labels come first in a union).
std::uint32_t LabelInFirst(const Lts& a, std::uint32_t l) { return l < a.labels.size() ? l : kNone; }

// The first system's states along the steps of a distinction made on the
// quotient of the union: step i goes into the block firstStates[i + 1].
std::vector<std::uint32_t> FirstPathByBlocks(const Lts& a, const Partition& partition, const StateDistinction& d,
                                             bool weak) {
    std::vector<std::uint32_t> path{a.initial};
    for (std::size_t i = 0; i + 1 < d.firstStates.size(); ++i) {
        const std::uint32_t block = d.firstStates[i + 1];
        const std::uint32_t label = weak && d.steps[i] == TauLabel ? kNone : LabelInFirst(a, d.steps[i]);
        if (label == kNone && !(weak && d.steps[i] == TauLabel)) break;
        if (partition.block[path.back()] == block && label == kNone) continue;
        const std::vector<std::uint32_t> step =
            FindStep(a, path.back(), label, weak, [&](std::uint32_t s) { return partition.block[s] == block; });
        if (step.empty()) break;
        path.insert(path.end(), step.begin(), step.end());
    }
    return path;
}

// The first system's states along the longest prefix of a trace of visible
// names that it can follow, internal arcs taken freely.
std::vector<std::uint32_t> FirstPathByTrace(const Lts& a, const std::vector<std::string>& trace) {
    std::unordered_map<std::string, std::uint32_t> byName;
    for (std::uint32_t l = 0; l < a.labels.size(); ++l) byName.emplace(a.labels[l], l);
    // Search nodes: (state, number of trace actions done), breadth first.
    const std::size_t width = trace.size() + 1;
    const auto node = [&](std::uint32_t s, std::size_t done) { return s * width + done; };
    std::unordered_map<std::size_t, std::size_t> parent{{node(a.initial, 0), SIZE_MAX}};
    std::deque<std::size_t> queue{node(a.initial, 0)};
    std::size_t best = node(a.initial, 0);
    while (!queue.empty()) {
        const std::size_t current = queue.front();
        queue.pop_front();
        const auto s = static_cast<std::uint32_t>(current / width);
        const std::size_t done = current % width;
        if (done > best % width) best = current;
        const auto found = done < trace.size() ? byName.find(trace[done]) : byName.end();
        const std::uint32_t wanted = found == byName.end() ? kNone : found->second;
        for (std::uint32_t k = a.firstArc[s]; k < a.firstArc[s + 1]; ++k) {
            std::size_t next = SIZE_MAX;
            if (a.label[k] == TauLabel) next = node(a.target[k], done);
            else if (a.label[k] == wanted) next = node(a.target[k], done + 1);
            if (next != SIZE_MAX && parent.try_emplace(next, current).second) queue.push_back(next);
        }
    }
    std::vector<std::uint32_t> path;
    for (std::size_t n = best; n != SIZE_MAX; n = parent[n]) path.push_back(static_cast<std::uint32_t>(n / width));
    std::reverse(path.begin(), path.end());
    return path;
}

// The internal steps of a trace the first system follows along path (one
// state per step, from its initial state) named as its arcs carry them:
// "I_MID" rather than "I".
void NameInternalSteps(const StemStore& store, const std::vector<std::uint32_t>& path,
                       std::vector<std::string>& trace) {
    const std::string internal = InternalName().Compact();
    for (std::size_t i = 0; i < trace.size() && i + 1 < path.size(); ++i) {
        if (trace[i] != internal) continue;
        for (const ArcView arc : store.State(path[i]).Arcs) {
            const std::int64_t target = store.NumberedByPosition() ? arc.Target : store.IndexOf(arc.Target);
            const std::string name = store.actions.Text(arc.Action);
            if (target == static_cast<std::int64_t>(path[i + 1]) && IsInternalAction(name)) {
                trace[i] = name;
                break;
            }
        }
    }
}

std::vector<std::int32_t> StoreNumbers(const StemStore& store, const std::vector<std::uint32_t>& path) {
    std::vector<std::int32_t> numbers;
    numbers.reserve(path.size());
    for (std::uint32_t s : path) numbers.push_back(store.State(s).Number);
    return numbers;
}

// A label as a trace shows it: in double quotes when it holds a blank (the
// labels of other toolsets' .aut files may), so that the trace's labels stay
// apart.
// A label in a message: quoted when it holds a blank, its control bytes written out.
std::string Shown(const std::string& name) {
    const std::string shown = ShownText(name);
    return name.find(' ') == std::string::npos ? shown : "\"" + shown + "\"";
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : " ") + Shown(name);
    return text;
}

CompareResult CompareTracesOf(const StemStore& first, const Lts& a, const Lts& b, Progress* progress,
                              std::int64_t memoryLimit) {
    CompareResult result;
    // Branching bisimulation keeps traces: the search runs on the quotients.
    const Partition pa = BranchingBisimulation(a, false, progress);
    if (pa.stopped) return {Status(), true, false, {}};
    const Partition pb = BranchingBisimulation(b, false, progress);
    if (pb.stopped) return {Status(), true, false, {}};
    const Lts qa = QuotientByBlocks(a, pa, true), qb = QuotientByBlocks(b, pb, true);
    const Lts u = DisjointUnion(qa, qb);
    // Branching bisimilar quotients have the same traces: then nothing is determinised.
    const Partition together = BranchingBisimulation(u, false, progress);
    if (together.stopped) return {Status(), true, false, {}};
    if (together.block[qa.initial] == together.block[static_cast<std::uint32_t>(qa.StateCount()) + qb.initial]) {
        result.equivalent = true;
        return result;
    }
    const TraceDifference difference = CompareTracesByAntichains(
        u, qa.initial, static_cast<std::uint32_t>(qa.StateCount()) + qb.initial, progress, memoryLimit);
    if (difference.stopped) return {Status(), true, false, {}};
    if (difference.tooLarge) {
        result.status = Failure{"Mémoire insuffisante : la recherche d'une trace distinctive a atteint " +
                                std::to_string(difference.explored) +
                                " paires (état, ensemble d'états), plus que la mémoire ne peut en tenir ; "
                                "la comparaison a été abandonnée."};
        return result;
    }
    result.equivalent = difference.equivalent;
    if (!result.equivalent) {
        result.why.trace = LabelNames(u, difference.trace, false);
        result.why.traceOfFirst = difference.traceOfFirst;
        result.why.firstPath = StoreNumbers(first, FirstPathByTrace(a, result.why.trace));
    }
    return result;
}

// Branching bisimilar, not with divergence: where one diverges and the other not.
CompareResult DivergenceDifference(const StemStore& first, const Lts& u, std::uint32_t firstInitial,
                                   std::uint32_t secondInitial, const Partition& branching,
                                   const Partition& divergence, Progress* progress) {
    const DivergenceDistinction d =
        FindDivergence(u, firstInitial, secondInitial, branching.block, divergence.block, progress);
    if (d.stopped) return {Status(), true, false, {}};
    CompareResult result;
    // Not found (the search and the partition disagree): say only what is sure.
    result.why.kind = d.found ? DistinctionKind::Divergence : DistinctionKind::InternalStates;
    result.why.trace = LabelNames(u, d.trace, true);
    result.why.traceOfFirst = d.firstDiverges;
    result.why.firstPath = StoreNumbers(first, d.found ? d.firstStates : std::vector<std::uint32_t>{firstInitial});
    return result;
}

CompareResult CompareBisimilarity(const StemStore& first, const Lts& a, const Lts& b, Equivalence equivalence,
                                  Progress* progress, std::int64_t memoryLimit) {
    CompareResult result;
    const Lts u = DisjointUnion(a, b);
    const auto firstInitial = a.initial;
    const auto secondInitial = static_cast<std::uint32_t>(a.StateCount()) + b.initial;
    if (equivalence == Equivalence::Weak) {
        // Branching bisimilar systems are weakly bisimilar: then nothing is saturated.
        const Partition branching = Bisimulation(u, Equivalence::Branching, progress);
        if (branching.stopped) return {Status(), true, false, {}};
        if (branching.block[firstInitial] == branching.block[secondInitial]) {
            result.equivalent = true;
            return result;
        }
    }
    const Partition partition = Bisimulation(u, equivalence, progress, memoryLimit);
    if (partition.stopped) return {Status(), true, false, {}};
    if (partition.tooLarge) {
        result.status = Failure{"Mémoire insuffisante : la saturation de la bissimulation observationnelle aurait "
                                "de l'ordre de " + std::to_string(partition.saturationArcs) +
                                " arcs, plus que la mémoire ne peut en tenir ; la comparaison a été abandonnée."};
        return result;
    }
    if (partition.block[firstInitial] == partition.block[secondInitial]) {
        result.equivalent = true;
        return result;
    }
    if (equivalence == Equivalence::DivergenceBranching) {
        const Partition branching = Bisimulation(u, Equivalence::Branching, progress);
        if (branching.stopped) return {Status(), true, false, {}};
        if (branching.block[firstInitial] == branching.block[secondInitial]) {
            return DivergenceDifference(first, u, firstInitial, secondInitial, branching, partition, progress);
        }
        return CompareBisimilarity(first, a, b, Equivalence::Branching, progress, memoryLimit);
    }
    // The formula is sought on the quotient of the union: one state per block.
    const bool weak = equivalence != Equivalence::Strong;
    const Lts q = QuotientByBlocks(u, partition, weak);
    const StateDistinction d =
        DistinguishStates(q, partition.block[firstInitial], partition.block[secondInitial], weak, progress);
    if (d.stopped) return {Status(), true, false, {}};
    if (d.internalError) {
        result.status = Failure{"Erreur interne : la formule distinctive trouvée ne sépare pas les deux systèmes ; "
                                "elle n'est pas donnée."};
        return result;
    }
    if (d.tooLarge) {
        result.why.kind = DistinctionKind::TooLarge;
        result.why.firstPath = StoreNumbers(first, {a.initial});
        return result;
    }
    if (d.equivalent) {
        // Weakly bisimilar, not branching bisimilar: no weak formula exists;
        // one with the until modality may.
        result.why.kind = DistinctionKind::InternalStates;
        result.why.formula =
            BranchingFormula(q, partition.block[firstInitial], partition.block[secondInitial], progress);
        if (progress != nullptr && progress->StopRequested()) return {Status(), true, false, {}};
        result.why.firstPath = StoreNumbers(first, {a.initial});
        return result;
    }
    result.why.formula = d.formula;
    result.why.trace = LabelNames(q, d.steps, weak);
    result.why.traceOfFirst = d.lastByFirst;
    const std::vector<std::uint32_t> path = FirstPathByBlocks(a, partition, d, weak);
    if (!weak) NameInternalSteps(first, path, result.why.trace);
    result.why.firstPath = StoreNumbers(first, path);
    return result;
}

}  // namespace

CompareResult CompareStems(const StemStore& first, const StemStore& second, Equivalence equivalence,
                           Progress* progress, std::int64_t memoryLimit) {
    if (first.StateCount() == 0 || second.StateCount() == 0) {
        CompareResult result;
        result.status = Failure{first.StateCount() == 0 ? "Le premier système n'a aucun état."
                                                        : "Le second système n'a aucun état."};
        return result;
    }
    try {
        const Lts a = LtsFromStem(first), b = LtsFromStem(second);
        if (equivalence == Equivalence::Traces) return CompareTracesOf(first, a, b, progress, memoryLimit);
        return CompareBisimilarity(first, a, b, equivalence, progress, memoryLimit);
    } catch (const std::bad_alloc&) {
        CompareResult result;
        result.status = Failure{"Mémoire insuffisante : la comparaison a été abandonnée."};
        return result;
    }
}

std::string EquivalenceName(Equivalence equivalence) {
    switch (equivalence) {
        case Equivalence::Strong: return "bissimulation forte";
        case Equivalence::Branching: return "bissimulation de branchement";
        case Equivalence::DivergenceBranching: return "bissimulation de branchement avec divergence";
        case Equivalence::Weak: return "bissimulation observationnelle";
        case Equivalence::Traces: return "équivalence de traces";
    }
    return {};
}

std::vector<std::string> CompareLines(const CompareResult& result, Equivalence equivalence,
                                      const std::string& firstName, const std::string& secondName) {
    std::vector<std::string> lines = CompareLines(result, equivalence);
    if (!result.status.ok() || result.stopped) return lines;
    const std::string names = "Premier système : " + firstName + " ; second système : " + secondName + ".";
    lines.insert(lines.begin() + 1, names);
    const Distinction& why = result.why;
    if (!result.equivalent && equivalence != Equivalence::Traces && why.kind == DistinctionKind::Step &&
        !why.formula.empty() && !why.trace.empty()) {
        // The formula in words, along the trace it follows.
        std::string before;
        for (std::size_t i = 0; i + 1 < why.trace.size(); ++i)
            before += (i == 0 ? "" : " puis ") + Shown(why.trace[i]);
        const std::string doer = why.traceOfFirst ? "le premier système" : "le second système";
        const std::string other = why.traceOfFirst ? "le second" : "le premier";
        const std::string last = Shown(why.trace.back());
        const std::string words =
            before.empty() ? "Autrement dit : dès le départ, " + doer + " peut faire " + last + " ; " + other +
                                 " ne le peut pas."
                           : "Autrement dit : après " + before + ", " + doer + " peut encore faire " + last + " ; " +
                                 other + " ne le peut pas.";
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].starts_with("Formule distinctive")) {
                lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(i) + 1, words);
                break;
            }
        }
    }
    return lines;
}

std::vector<std::string> CompareLines(const CompareResult& result, Equivalence equivalence) {
    if (!result.status.ok()) return {result.status.message()};
    if (result.stopped) return {"Comparaison arrêtée."};
    if (result.equivalent) {
        return {"Équivalents.", "Les deux systèmes sont équivalents par " + EquivalenceName(equivalence) + "."};
    }
    std::vector<std::string> lines{"Non équivalents."};
    const Distinction& why = result.why;
    const std::string doer = why.traceOfFirst ? "le premier" : "le second";
    const std::string other = why.traceOfFirst ? "le second" : "le premier";
    if (equivalence == Equivalence::Traces) {
        lines.push_back("Trace distinctive la plus courte : " + Joined(why.trace));
        lines.push_back(std::string(why.traceOfFirst ? "Le premier" : "Le second") + " système peut l'effectuer ; " +
                        other + " ne le peut pas.");
        return lines;
    }
    if (!why.formula.empty()) {
        lines.push_back("Formule distinctive (vraie pour le premier système, fausse pour le second) : " +
                        ShownText(why.formula));
    }
    std::vector<std::string> before = why.trace;
    std::string last;
    if (why.kind == DistinctionKind::Step && !before.empty()) {
        last = before.back();
        before.pop_back();
    }
    switch (why.kind) {
        case DistinctionKind::Step:
            lines.push_back("Trace menant au point où ils se séparent : " + (before.empty() ? "(vide)" : Joined(before)));
            lines.push_back("Après cette trace, " + doer + " système peut faire " + Shown(last) + " ; " + other +
                            " ne le peut pas.");
            break;
        case DistinctionKind::Divergence:
            lines.push_back("Trace menant au point où ils se séparent : " + (before.empty() ? "(vide)" : Joined(before)));
            lines.push_back("Après cette trace, " + doer +
                            " système peut faire une suite infinie d'actions internes (divergence) ; " + other +
                            " ne le peut pas.");
            break;
        case DistinctionKind::TooLarge:
            lines.push_back("Les systèmes sont trop grands pour que la raison de leur différence soit recherchée.");
            break;
        case DistinctionKind::InternalStates:
            lines.push_back("Les deux systèmes sont équivalents par bissimulation observationnelle : ils ne diffèrent "
                            "que par les états intermédiaires que traversent leurs actions internes.");
            break;
    }
    return lines;
}

}  // namespace quarvo
