#include "NaiveBisimulation.h"

#include <utility>

namespace quarvo::test {
namespace {

using Relation = std::vector<std::vector<bool>>;

struct Graph {
    std::uint32_t n = 0;
    // step[s]: (label, target) pairs.
    std::vector<std::vector<std::pair<std::uint32_t, std::uint32_t>>> step;
    // tauStar[s][t]: s -I->* t, zero steps included.
    Relation tauStar;
};

Graph MakeGraph(const Lts& lts) {
    Graph g;
    g.n = static_cast<std::uint32_t>(lts.StateCount());
    g.step.resize(g.n);
    g.tauStar.assign(g.n, std::vector<bool>(g.n, false));
    for (std::uint32_t s = 0; s < g.n; ++s) {
        for (std::uint32_t e = lts.firstArc[s]; e < lts.firstArc[s + 1]; ++e) {
            g.step[s].emplace_back(lts.label[e], lts.target[e]);
            if (lts.label[e] == TauLabel) g.tauStar[s][lts.target[e]] = true;
        }
        g.tauStar[s][s] = true;
    }
    for (std::uint32_t k = 0; k < g.n; ++k)
        for (std::uint32_t i = 0; i < g.n; ++i)
            for (std::uint32_t j = 0; j < g.n; ++j)
                if (g.tauStar[i][k] && g.tauStar[k][j]) g.tauStar[i][j] = true;
    return g;
}

// Strong: q answers p -a-> p2 with q -a-> q2, R(p2, q2).
bool StrongAnswer(const Graph& g, const Relation& r, std::uint32_t q, std::uint32_t a, std::uint32_t p2) {
    for (const auto& [b, q2] : g.step[q])
        if (b == a && r[p2][q2]) return true;
    return false;
}

// Branching: p -a-> p2 is answered by a = I and R(p2, q), or by
// q -I-> ... -I-> q1 -a-> q2 with every state up to q1 related to p and
// R(p2, q2). (Without first blocks, asking R(p, q1) alone would give the same
// largest relation; with them, a path through another first block is not
// inert.)
bool BranchingAnswer(const Graph& g, const Relation& r, std::uint32_t p, std::uint32_t q, std::uint32_t a,
                     std::uint32_t p2) {
    if (a == TauLabel && r[p2][q]) return true;
    std::vector<bool> seen(g.n, false);
    std::vector<std::uint32_t> reached{q};
    seen[q] = true;
    for (std::size_t i = 0; i < reached.size(); ++i) {
        const std::uint32_t q1 = reached[i];
        if (StrongAnswer(g, r, q1, a, p2)) return true;
        for (const auto& [b, t] : g.step[q1])
            if (b == TauLabel && !seen[t] && r[p][t]) seen[t] = true, reached.push_back(t);
    }
    return false;
}

// Weak: p -I-> p2 is answered by q -I->* q2, p -a-> p2 by q -I->* -a-> -I->* q2.
bool WeakAnswer(const Graph& g, const Relation& r, std::uint32_t q, std::uint32_t a, std::uint32_t p2) {
    for (std::uint32_t q1 = 0; q1 < g.n; ++q1) {
        if (!g.tauStar[q][q1]) continue;
        if (a == TauLabel) {
            if (r[p2][q1]) return true;
            continue;
        }
        for (const auto& [b, q2] : g.step[q1]) {
            if (b != a) continue;
            for (std::uint32_t q3 = 0; q3 < g.n; ++q3)
                if (g.tauStar[q2][q3] && r[p2][q3]) return true;
        }
    }
    return false;
}

}  // namespace

Partition NaiveBisimulation(const Lts& lts, Equivalence equivalence, const std::vector<std::uint32_t>& initialBlock) {
    const Graph g = MakeGraph(lts);
    if (equivalence == Equivalence::DivergenceBranching) {
        // Divergence made visible: a loop of a label of its own on each state
        // of an internal cycle (inside one first block), then plain branching
        // bisimulation.
        Lts inside = lts;
        if (!initialBlock.empty())
            for (std::uint32_t s = 0; s < g.n; ++s)
                for (std::uint32_t e = lts.firstArc[s]; e < lts.firstArc[s + 1]; ++e)
                    if (initialBlock[s] != initialBlock[lts.target[e]]) inside.label[e] = UINT32_MAX;
        const Relation cycles = MakeGraph(inside).tauStar;
        Lts marked = lts;
        marked.labels.push_back("divergence");
        const auto mark = static_cast<std::uint32_t>(marked.labels.size() - 1);
        marked.label.clear(), marked.target.clear();
        for (std::uint32_t s = 0; s < g.n; ++s) {
            bool onCycle = false;
            for (std::uint32_t e = inside.firstArc[s]; e < inside.firstArc[s + 1]; ++e)
                onCycle = onCycle || (inside.label[e] == TauLabel && cycles[inside.target[e]][s]);
            for (const auto& [a, t] : g.step[s]) marked.label.push_back(a), marked.target.push_back(t);
            if (onCycle) marked.label.push_back(mark), marked.target.push_back(s);
            marked.firstArc[s + 1] = static_cast<std::uint32_t>(marked.target.size());
        }
        return NaiveBisimulation(marked, Equivalence::Branching, initialBlock);
    }
    Relation r(g.n, std::vector<bool>(g.n, true));
    if (!initialBlock.empty())
        for (std::uint32_t p = 0; p < g.n; ++p)
            for (std::uint32_t q = 0; q < g.n; ++q) r[p][q] = initialBlock[p] == initialBlock[q];
    // One direction of the transfer condition for (p, q).
    auto transfers = [&](std::uint32_t p, std::uint32_t q) {
        for (const auto& [a, p2] : g.step[p]) {
            bool answered = false;
            switch (equivalence) {
                case Equivalence::Strong:
                case Equivalence::Traces:
                    answered = StrongAnswer(g, r, q, a, p2);
                    break;
                case Equivalence::Branching:
                case Equivalence::DivergenceBranching:  // made plain above
                    answered = BranchingAnswer(g, r, p, q, a, p2);
                    break;
                case Equivalence::Weak:
                    answered = WeakAnswer(g, r, q, a, p2);
                    break;
            }
            if (!answered) return false;
        }
        return true;
    };
    for (bool changed = true; changed;) {
        changed = false;
        for (std::uint32_t p = 0; p < g.n; ++p)
            for (std::uint32_t q = 0; q < g.n; ++q)
                if (r[p][q] && !(transfers(p, q) && transfers(q, p))) r[p][q] = r[q][p] = false, changed = true;
    }
    Partition partition;
    partition.block.assign(g.n, 0);
    for (std::uint32_t s = 0; s < g.n; ++s) {
        std::uint32_t first = s;  // the first state related to s
        for (std::uint32_t t = 0; t < s; ++t)
            if (r[s][t]) {
                first = t;
                break;
            }
        partition.block[s] = first == s ? partition.count++ : partition.block[first];
    }
    return partition;
}

}  // namespace quarvo::test
