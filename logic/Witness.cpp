// Automata of regular formulas, shortest paths through the product with the
// system, and witnesses of diamonds and greatest fixpoints.
#include "logic/Witness.h"

#include <deque>
#include <map>
#include <unordered_map>

namespace quarvo::logic {
namespace {

class AutomatonBuilder {
public:
    AutomatonBuilder(const Formula& f, Automaton& a) : f_(f), a_(a) {}

    std::uint32_t NewState() {
        a_.edges.emplace_back();
        return static_cast<std::uint32_t>(a_.edges.size() - 1);
    }
    void Edge(std::uint32_t from, std::uint32_t to, std::int32_t action) { a_.edges[from].push_back({to, action}); }

    // Thompson's construction between two given states.
    void Build(std::int32_t r, std::uint32_t from, std::uint32_t to) {
        const RegularNode& n = f_.regulars[static_cast<std::size_t>(r)];
        using R = RegularNode::Kind;
        switch (n.kind) {
            case R::Action: Edge(from, to, n.action); return;
            case R::Nil: Edge(from, to, NoNode); return;
            case R::Seq: {
                const std::uint32_t middle = NewState();
                Build(n.a, from, middle);
                Build(n.b, middle, to);
                return;
            }
            case R::Alt:
                Build(n.a, from, to);
                Build(n.b, from, to);
                return;
            case R::Star:
            case R::Plus: {
                const std::uint32_t in = NewState(), out = NewState();
                Edge(from, in, NoNode);
                Build(n.a, in, out);
                Edge(out, in, NoNode);
                Edge(out, to, NoNode);
                if (n.kind == R::Star) Edge(from, to, NoNode);
                return;
            }
        }
    }

private:
    const Formula& f_;
    Automaton& a_;
};

// The automaton states reachable from these by empty moves, these included.
void Closure(const Automaton& a, std::vector<char>& in) {
    std::vector<std::uint32_t> stack;
    for (std::uint32_t q = 0; q < in.size(); ++q)
        if (in[q]) stack.push_back(q);
    while (!stack.empty()) {
        const std::uint32_t q = stack.back();
        stack.pop_back();
        for (const Automaton::Edge& e : a.edges[q])
            if (e.action == NoNode && !in[e.to]) {
                in[e.to] = 1;
                stack.push_back(e.to);
            }
    }
}

class WitnessBuilder {
public:
    WitnessBuilder(const Formula& f, const Pnf& pnf, const Evaluation& ev, const LabelSets& sets, const Lts& lts)
        : f_(f), pnf_(pnf), ev_(ev), sets_(sets), lts_(lts) {}

    // Appends to trace what shows node true at s; false when a claim fails.
    bool Build(std::int32_t node, std::uint32_t s, Trace& trace) {
        const PnfNode& n = pnf_.nodes[static_cast<std::size_t>(node)];
        if (!Holds(node, s)) return false;
        using P = PnfNode::Kind;
        switch (n.kind) {
            case P::Or: return Build(Holds(n.a, s) ? n.a : n.b, s, trace);
            case P::Diamond: {
                const Automaton a = AutomatonOf(f_, n.regular);
                std::optional<std::vector<Step>> path =
                    ShortestPath(a, sets_, lts_, s, ev_.holds[static_cast<std::size_t>(n.a)]);
                if (!path || !Accepts(a, sets_, *path)) return false;
                const std::uint32_t end = path->empty() ? s : path->back().to;
                trace.prefix.insert(trace.prefix.end(), path->begin(), path->end());
                return Build(n.a, end, trace);
            }
            case P::Nu: {
                if (const std::int32_t step = Recurrence(node, n.a); step != NoNode) return Lasso(node, step, s, trace);
                return Build(n.a, s, trace);
            }
            default: return true;  // nothing to show beyond the state itself
        }
    }

private:
    bool Holds(std::int32_t node, std::uint32_t s) const { return ev_.holds[static_cast<std::size_t>(node)].Has(s); }

    // The diamond of body, reached through conjunctions and disjunctions,
    // whose continuation is nu's own variable: nu X . ... <R> X ...
    std::int32_t Recurrence(std::int32_t nu, std::int32_t body) const {
        const PnfNode& n = pnf_.nodes[static_cast<std::size_t>(body)];
        if (n.kind == PnfNode::Kind::And || n.kind == PnfNode::Kind::Or) {
            const std::int32_t left = Recurrence(nu, n.a);
            return left != NoNode ? left : Recurrence(nu, n.b);
        }
        if (n.kind != PnfNode::Kind::Diamond) return NoNode;
        const PnfNode& then = pnf_.nodes[static_cast<std::size_t>(n.a)];
        return then.kind == PnfNode::Kind::Var && then.binder == nu ? body : NoNode;
    }

    // On the way from body down to the recurring diamond, a disjunction
    // whose other side holds at s: the run may end there, shown by that side.
    std::int32_t Exit(std::int32_t body, std::int32_t step, std::uint32_t s) const {
        if (body == step) return NoNode;
        const PnfNode& n = pnf_.nodes[static_cast<std::size_t>(body)];
        if (n.kind != PnfNode::Kind::And && n.kind != PnfNode::Kind::Or) return NoNode;
        const bool inA = Contains(n.a, step);
        const std::int32_t toward = inA ? n.a : n.b, other = inA ? n.b : n.a;
        if (n.kind == PnfNode::Kind::Or && Holds(other, s)) return other;
        return Exit(toward, step, s);
    }

    bool Contains(std::int32_t node, std::int32_t target) const {
        if (node == target) return true;
        const PnfNode& n = pnf_.nodes[static_cast<std::size_t>(node)];
        if (n.kind != PnfNode::Kind::And && n.kind != PnfNode::Kind::Or) return false;
        return Contains(n.a, target) || Contains(n.b, target);
    }

    // nu X . ... <R> X ...: from s, non-empty R-paths from one X state to the
    // next, until one starts where an earlier one started (a lasso), or a
    // state where a disjunction besides the recurrence holds (a path, then
    // what shows that side).
    bool Lasso(std::int32_t nu, std::int32_t step, std::uint32_t s, Trace& trace) {
        const PnfNode& diamond = pnf_.nodes[static_cast<std::size_t>(step)];
        const std::int32_t body = pnf_.nodes[static_cast<std::size_t>(nu)].a;
        const Automaton a = AutomatonOf(f_, diamond.regular);
        const StateSet& inside = ev_.holds[static_cast<std::size_t>(nu)];
        std::map<std::uint32_t, std::size_t> segmentFrom;  // state -> the segment that starts there
        std::vector<std::vector<Step>> segments;
        std::uint32_t at = s;
        std::int32_t exit = NoNode;
        while (!segmentFrom.count(at)) {
            if (!inside.Has(at)) return false;
            if ((exit = Exit(body, step, at)) != NoNode) break;
            segmentFrom[at] = segments.size();
            std::optional<std::vector<Step>> path = ShortestPath(a, sets_, lts_, at, inside, true);
            if (!path) {
                // Only empty runs keep it true: no cycle to show.
                if (segments.empty()) return true;
                break;
            }
            if (path->empty() || !Accepts(a, sets_, *path)) return false;
            at = path->back().to;
            segments.push_back(std::move(*path));
        }
        const bool closed = exit == NoNode && segmentFrom.count(at);
        const std::size_t loop = closed ? segmentFrom[at] : segments.size();
        for (std::size_t i = 0; i < segments.size(); ++i) {
            auto& into = i < loop ? trace.prefix : trace.cycle;
            into.insert(into.end(), segments[i].begin(), segments[i].end());
        }
        if (exit != NoNode) return Build(exit, at, trace);
        return true;
    }

    const Formula& f_;
    const Pnf& pnf_;
    const Evaluation& ev_;
    const LabelSets& sets_;
    const Lts& lts_;
};

}  // namespace

Automaton AutomatonOf(const Formula& formula, std::int32_t regular) {
    Automaton a;
    AutomatonBuilder builder(formula, a);
    a.start = builder.NewState();
    a.accept = builder.NewState();
    builder.Build(regular, a.start, a.accept);
    return a;
}

bool Accepts(const Automaton& automaton, const LabelSets& sets, const std::vector<Step>& steps) {
    std::vector<char> current(automaton.edges.size(), 0);
    current[automaton.start] = 1;
    Closure(automaton, current);
    for (const Step& step : steps) {
        std::vector<char> next(automaton.edges.size(), 0);
        for (std::uint32_t q = 0; q < current.size(); ++q) {
            if (!current[q]) continue;
            for (const Automaton::Edge& e : automaton.edges[q])
                if (e.action != NoNode && sets[static_cast<std::size_t>(e.action)][step.label]) next[e.to] = 1;
        }
        Closure(automaton, next);
        current.swap(next);
    }
    return current[automaton.accept] != 0;
}

std::optional<std::vector<Step>> ShortestPath(const Automaton& automaton, const LabelSets& sets, const Lts& lts,
                                              std::uint32_t start, const StateSet& goal, bool nonEmpty) {
    // Nodes of the product: (state, automaton state, moved), moved telling an
    // arc was taken (kept apart only when the path must not be empty). Empty
    // moves cost nothing: a breadth-first search with a double-ended queue.
    // The nodes met are kept in a hash table: a witness is usually near, and
    // a table over the whole product would cost more than the search.
    const std::uint64_t q = automaton.edges.size();
    const std::uint64_t layers = nonEmpty ? 2 : 1;
    auto index = [&](std::uint64_t s, std::uint64_t a, std::uint64_t moved) {
        return (s * q + a) * layers + (nonEmpty ? moved : 0);
    };
    struct Met {
        std::uint32_t distance;
        std::uint32_t viaArc;  // UINT32_MAX: an empty move (or the start)
        std::uint64_t parent;
    };
    std::unordered_map<std::uint64_t, Met> met;
    std::deque<std::uint64_t> queue;
    const std::uint64_t first = index(start, automaton.start, 0);
    met.emplace(first, Met{0, UINT32_MAX, first});
    queue.push_back(first);
    // Records next as reached from node at distance d; false if it was reached as near already.
    auto reach = [&](std::uint64_t next, std::uint64_t node, std::uint32_t d, std::uint32_t arc) {
        auto [it, inserted] = met.try_emplace(next, Met{d, arc, node});
        if (!inserted) {
            if (it->second.distance <= d) return false;
            it->second = Met{d, arc, node};
        }
        return true;
    };
    while (!queue.empty()) {
        const std::uint64_t node = queue.front();
        queue.pop_front();
        const Met here = met.at(node);
        const std::uint64_t moved = nonEmpty ? node % 2 : 1;
        const std::uint64_t a = (node / layers) % q;
        const auto s = static_cast<std::uint32_t>((node / layers) / q);
        if (moved && a == automaton.accept && goal.Has(s)) {
            std::vector<Step> steps;
            for (std::uint64_t at = node;;) {
                const Met& m = met.at(at);
                if (m.parent == at) break;
                if (m.viaArc != UINT32_MAX) {
                    const auto from = static_cast<std::uint32_t>((m.parent / layers) / q);
                    steps.push_back({from, lts.label[m.viaArc], lts.target[m.viaArc]});
                }
                at = m.parent;
            }
            return std::vector<Step>(steps.rbegin(), steps.rend());
        }
        const std::uint32_t d = here.distance;
        for (const Automaton::Edge& e : automaton.edges[a]) {
            if (e.action == NoNode) {
                const std::uint64_t next = index(s, e.to, nonEmpty ? node % 2 : 0);
                if (reach(next, node, d, UINT32_MAX)) queue.push_front(next);
                continue;
            }
            const std::vector<char>& set = sets[static_cast<std::size_t>(e.action)];
            for (std::uint32_t k = lts.firstArc[s]; k < lts.firstArc[s + 1]; ++k) {
                if (!set[lts.label[k]]) continue;
                const std::uint64_t next = index(lts.target[k], e.to, 1);
                if (reach(next, node, d + 1, k)) queue.push_back(next);
            }
        }
    }
    return std::nullopt;
}

WitnessResult BuildWitness(const Formula& formula, const Pnf& pnf, const Evaluation& evaluation, const LabelSets& sets,
                           const Lts& lts, std::uint32_t start) {
    WitnessResult result;
    WitnessBuilder builder(formula, pnf, evaluation, sets, lts);
    result.replayed = builder.Build(pnf.root, start, result.trace) && IsRunOf(result.trace, lts, start);
    return result;
}

}  // namespace quarvo::logic
