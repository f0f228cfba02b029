#include "equivalence/Distinction.h"

#include <algorithm>
#include <optional>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "equivalence/Traces.h"

namespace quarvo {
namespace {

constexpr std::uint32_t kNone = UINT32_MAX;

// The history of a levelled partition refinement, as a tree of blocks: the
// root is the one block of level 0. When a block splits at level k, its
// largest part stays the same node and each other part becomes a child made
// at level k. The block of a state at level k is the deepest ancestor of its
// leaf (the leaf included) made at level k or before.
struct LevelTree {
    std::vector<std::uint32_t> leaf;  // per state
    std::vector<std::uint32_t> parent, level, depth;  // per node

    std::uint32_t BlockAt(std::uint32_t state, std::uint32_t k) const {
        std::uint32_t node = leaf[state];
        while (level[node] > k) node = parent[node];
        return node;
    }

    // The first level at which the two states are in different blocks;
    // kNone when they never are: the first level at which either leaves
    // their lowest common ancestor.
    std::uint32_t SplitLevel(std::uint32_t s, std::uint32_t t) const {
        std::uint32_t a = leaf[s], b = leaf[t];
        if (a == b) return kNone;
        std::uint32_t belowA = kNone, belowB = kNone;
        while (depth[a] > depth[b]) belowA = std::exchange(a, parent[a]);
        while (depth[b] > depth[a]) belowB = std::exchange(b, parent[b]);
        while (a != b) {
            belowA = std::exchange(a, parent[a]);
            belowB = std::exchange(b, parent[b]);
        }
        return std::min(belowA == kNone ? kNone : level[belowA], belowB == kNone ? kNone : level[belowB]);
    }
};

struct VectorHash {
    std::size_t operator()(const std::vector<std::uint32_t>& v) const {
        std::size_t h = v.size();
        for (std::uint32_t x : v) h = (h ^ x) * 0x100000001B3ull + (h >> 31);
        return h;
    }
};

// Refines until no block splits. Each round regroups, in the blocks holding
// a state one of whose successors moved in the round before, only those
// states (the dirty ones): the others keep the signature they share with
// their block, which one of them stands for. In each block the largest part
// keeps the block's node and the others move to children, so that a state
// moves only into a part at most half its block, and a round costs what its
// dirty states and the moved ones cost, not what their blocks hold. False
// when the caller stopped it.
bool RefineByLevels(const Lts& lts, Progress* progress, LevelTree& tree) {
    const auto n = static_cast<std::uint32_t>(lts.StateCount());
    // Predecessors, as compressed rows.
    std::vector<std::uint32_t> firstPred(n + 1, 0), pred(lts.ArcCount());
    for (std::uint32_t t : lts.target) ++firstPred[t + 1];
    for (std::uint32_t s = 0; s < n; ++s) firstPred[s + 1] += firstPred[s];
    {
        std::vector<std::uint32_t> fill(firstPred.begin(), firstPred.end() - 1);
        for (std::uint32_t s = 0; s < n; ++s) {
            for (std::uint32_t k = lts.firstArc[s]; k < lts.firstArc[s + 1]; ++k) pred[fill[lts.target[k]]++] = s;
        }
    }
    tree.leaf.assign(n, 0);
    tree.parent = {0};
    tree.level = {0};
    tree.depth = {0};
    // The members of each node, and each state's position among them.
    std::vector<std::vector<std::uint32_t>> members(1);
    std::vector<std::uint32_t> position(n);
    members[0].resize(n);
    for (std::uint32_t s = 0; s < n; ++s) members[0][s] = position[s] = s;
    std::vector<bool> isDirty(n, true);
    std::vector<std::uint32_t> dirty = members[0];
    std::vector<std::uint32_t> key;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> moves;
    const auto signature = [&](std::uint32_t s) {
        moves.clear();
        for (std::uint32_t k = lts.firstArc[s]; k < lts.firstArc[s + 1]; ++k) {
            moves.emplace_back(lts.label[k], tree.leaf[lts.target[k]]);
        }
        std::sort(moves.begin(), moves.end());
        moves.erase(std::unique(moves.begin(), moves.end()), moves.end());
        key.clear();
        for (const auto& [label, block] : moves) {
            key.push_back(label);
            key.push_back(block);
        }
        return key;
    };
    // A touched block's regrouping: its clean members (the first `clean` of
    // its members) form group 0 when there are any; parts[g] are the dirty
    // states of group g.
    struct Regrouping {
        std::uint32_t node = 0;
        std::size_t clean = 0;
        std::vector<std::vector<std::uint32_t>> parts;
    };
    for (std::uint32_t round = 1; !dirty.empty(); ++round) {
        if (progress != nullptr) {
            progress->UpdatePhase("recherche de la formule distinctive, tour " + std::to_string(round),
                                  static_cast<std::int64_t>(tree.parent.size()), "blocs");
            if (progress->StopRequested()) return false;
        }
        // The dirty states by block, each block's dirty ones moved behind its clean ones.
        std::sort(dirty.begin(), dirty.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return tree.leaf[a] < tree.leaf[b]; });
        std::vector<Regrouping> regroupings;
        for (std::size_t i = 0; i < dirty.size();) {
            const std::uint32_t node = tree.leaf[dirty[i]];
            std::size_t j = i;
            while (j < dirty.size() && tree.leaf[dirty[j]] == node) ++j;
            std::vector<std::uint32_t>& list = members[node];
            std::size_t back = list.size();
            for (std::size_t k = i; k < j; ++k) {
                const std::uint32_t s = dirty[k];
                --back;
                const std::uint32_t other = list[back];
                std::swap(list[position[s]], list[back]);
                position[other] = position[s];
                position[s] = static_cast<std::uint32_t>(back);
            }
            Regrouping r;
            r.node = node;
            r.clean = back;
            // All signatures are taken before any state of this round moves.
            std::unordered_map<std::vector<std::uint32_t>, std::uint32_t, VectorHash> groups;
            if (r.clean > 0) {
                groups.emplace(signature(list[0]), 0);
                r.parts.emplace_back();
            }
            for (std::size_t k = i; k < j; ++k) {
                const std::uint32_t s = dirty[k];
                auto [it, inserted] = groups.try_emplace(signature(s), static_cast<std::uint32_t>(r.parts.size()));
                if (inserted) r.parts.emplace_back();
                r.parts[it->second].push_back(s);
            }
            if (r.parts.size() >= 2) regroupings.push_back(std::move(r));
            i = j;
        }
        for (std::uint32_t s : dirty) isDirty[s] = false;
        dirty.clear();
        const auto markPredecessors = [&](std::uint32_t s) {
            for (std::uint32_t k = firstPred[s]; k < firstPred[s + 1]; ++k) {
                if (!isDirty[pred[k]]) {
                    isDirty[pred[k]] = true;
                    dirty.push_back(pred[k]);
                }
            }
        };
        for (Regrouping& r : regroupings) {
            const std::uint32_t node = r.node;
            std::vector<std::uint32_t>& list = members[node];
            const auto size = [&](std::size_t g) { return r.parts[g].size() + (g == 0 ? r.clean : 0); };
            std::size_t largest = 0;
            for (std::size_t g = 1; g < r.parts.size(); ++g) {
                if (size(g) > size(largest)) largest = g;
            }
            // The clean members join their group's list when it moves or keeps the node.
            if (r.clean > 0) {
                std::vector<std::uint32_t>& group = r.parts[0];
                if (largest == 0) {
                    list.resize(r.clean);
                } else {
                    group.insert(group.begin(), list.begin(), list.begin() + static_cast<std::ptrdiff_t>(r.clean));
                }
            }
            for (std::size_t g = 0; g < r.parts.size(); ++g) {
                if (g == largest) continue;
                const auto child = static_cast<std::uint32_t>(tree.parent.size());
                tree.parent.push_back(node);
                tree.level.push_back(round);
                tree.depth.push_back(tree.depth[node] + 1);
                std::vector<std::uint32_t>& part = r.parts[g];
                for (std::uint32_t k = 0; k < part.size(); ++k) {
                    tree.leaf[part[k]] = child;
                    position[part[k]] = k;
                    markPredecessors(part[k]);
                }
                members.push_back(std::move(part));
            }
            // members grew: the node's list is found again.
            std::vector<std::uint32_t>& kept = members[node];
            if (largest == 0 && r.clean > 0) {
                for (std::uint32_t s : r.parts[0]) {
                    position[s] = static_cast<std::uint32_t>(kept.size());
                    kept.push_back(s);
                }
            } else {
                kept = std::move(r.parts[largest]);
                for (std::uint32_t k = 0; k < kept.size(); ++k) position[kept[k]] = k;
            }
        }
    }
    return true;
}

// A formula as a tree; children are node numbers.
struct Node {
    enum class Kind { True, False, Diamond, Box, Not, And } kind;
    std::uint32_t label = 0;
    std::vector<std::uint32_t> children;
};

class FormulaBuilder {
public:
    FormulaBuilder(const Lts& lts, const LevelTree& tree, bool weak)
        : lts_(lts), tree_(tree), weak_(weak), rank_(LabelRanksByName(lts)) {}

    // The formula of the pair, true at s, false at t (s and t not bisimilar).
    std::uint32_t Distinguish(std::uint32_t s, std::uint32_t t) {
        const std::uint64_t key = (std::uint64_t{s} << 32) | t;
        if (auto it = formulas_.find(key); it != formulas_.end()) return it->second;
        const std::uint32_t node = Build(s, t);
        formulas_.emplace(key, node);
        return node;
    }

    const std::vector<Node>& Nodes() const { return nodes_; }

    // Whether the formula `node` holds at state, on the system the formulas
    // are made for.
    bool HoldsAt(std::uint32_t node, std::uint32_t state) { return Holds(node, state); }

    // A move of one state of a pair that the other cannot match at the level
    // before the one that splits them.
    struct Candidate {
        bool holderMoves;  // the state where the formula is to hold moves
        std::uint32_t label, target;
        std::vector<std::uint32_t> others;  // the other state's successors by label, one per block
    };

    // The unmatched move giving the shortest formula: the fewest successors
    // of the other state to rule out, a diamond rather than a box, then
    // labels by name.
    std::optional<Candidate> Choose(std::uint32_t s, std::uint32_t t) const {
        const std::uint32_t k = tree_.SplitLevel(s, t);
        std::optional<Candidate> best;
        if (k == kNone || k == 0) return best;
        // The moves of a state as (label, block at level k - 1, target), one per label and block, sorted.
        using Move = std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>;
        const auto moves = [&](std::uint32_t state) {
            std::vector<Move> list;
            for (std::uint32_t a = lts_.firstArc[state]; a < lts_.firstArc[state + 1]; ++a) {
                list.emplace_back(lts_.label[a], tree_.BlockAt(lts_.target[a], k - 1), lts_.target[a]);
            }
            std::sort(list.begin(), list.end());
            list.erase(std::unique(list.begin(), list.end(),
                                   [](const Move& x, const Move& y) {
                                       return std::get<0>(x) == std::get<0>(y) && std::get<1>(x) == std::get<1>(y);
                                   }),
                       list.end());
            return list;
        };
        const std::vector<Move> ofS = moves(s), ofT = moves(t);
        for (const bool holderMoves : {true, false}) {
            const std::vector<Move>& mover = holderMoves ? ofS : ofT;
            const std::vector<Move>& other = holderMoves ? ofT : ofS;
            for (const auto& [label, block, target] : mover) {
                const auto first = std::lower_bound(other.begin(), other.end(), Move{label, 0, 0});
                auto last = first;
                bool matched = false;
                for (; last != other.end() && std::get<0>(*last) == label; ++last) {
                    matched = matched || std::get<1>(*last) == block;
                }
                if (matched) continue;
                const auto count = static_cast<std::size_t>(last - first);
                const bool better = !best || count < best->others.size() ||
                                    (count == best->others.size() &&
                                     (holderMoves != best->holderMoves ? holderMoves
                                                                       : rank_[label] < rank_[best->label]));
                if (!better) continue;
                Candidate c{holderMoves, label, target, {}};
                for (auto it = first; it != last; ++it) c.others.push_back(std::get<2>(*it));
                best = std::move(c);
            }
        }
        return best;  // the refinement split s and t at level k: some move is unmatched
    }

    std::string Print(std::uint32_t node, std::size_t limit) const {
        std::string out;
        PrintInto(node, out, limit);
        return out.size() > limit ? std::string() : out;
    }

private:
    std::uint32_t Build(std::uint32_t s, std::uint32_t t) {
        const std::optional<Candidate> best = Choose(s, t);
        if (best->holderMoves) {
            // <a>(φ1 and ...): φi true at the target, false at the other's i-th successor.
            return Add({Node::Kind::Diamond, best->label, {Conjunction(best->target, best->others)}});
        }
        if (best->others.empty()) {
            // The state where the formula holds has no such move: [a]false.
            return Add({Node::Kind::Box, best->label, {Add({Node::Kind::False, 0, {}})}});
        }
        if (best->others.size() == 1) {
            // Every a-successor of s is in one block, which t's target is not in: [a]φ.
            return Add({Node::Kind::Box, best->label, {Distinguish(best->others[0], best->target)}});
        }
        // not <a>(ψ1 and ...): ψi true at t's target, false at s's i-th successor.
        const std::uint32_t conjunction = Conjunction(best->target, best->others);
        return Add({Node::Kind::Not, 0, {Add({Node::Kind::Diamond, best->label, {conjunction}})}});
    }

    // The conjunction of formulas true at `holder` and false at each of
    // `others`, dropping those an earlier conjunct already rules out (never
    // the first, which the trace follows).
    std::uint32_t Conjunction(std::uint32_t holder, const std::vector<std::uint32_t>& others) {
        std::vector<std::uint32_t> conjuncts;
        for (std::uint32_t o : others) {
            bool ruledOut = false;
            for (std::uint32_t c : conjuncts) ruledOut = ruledOut || !Holds(c, o);
            if (ruledOut) continue;
            conjuncts.push_back(Distinguish(holder, o));
        }
        if (conjuncts.empty()) return Add({Node::Kind::True, 0, {}});
        if (conjuncts.size() == 1) return conjuncts[0];
        return Add({Node::Kind::And, 0, std::move(conjuncts)});
    }

    bool Holds(std::uint32_t node, std::uint32_t state) {
        const std::uint64_t key = (std::uint64_t{node} << 32) | state;
        if (auto it = holds_.find(key); it != holds_.end()) return it->second;
        const Node& n = nodes_[node];
        bool value = false;
        switch (n.kind) {
            case Node::Kind::True: value = true; break;
            case Node::Kind::False: value = false; break;
            case Node::Kind::Not: value = !Holds(n.children[0], state); break;
            case Node::Kind::And:
                value = true;
                for (std::uint32_t c : n.children) value = value && Holds(c, state);
                break;
            case Node::Kind::Diamond:
            case Node::Kind::Box: {
                const bool diamond = n.kind == Node::Kind::Diamond;
                value = !diamond;
                for (std::uint32_t a = lts_.firstArc[state]; a < lts_.firstArc[state + 1]; ++a) {
                    if (lts_.label[a] != n.label) continue;
                    if (Holds(n.children[0], lts_.target[a]) == diamond) {
                        value = diamond;
                        break;
                    }
                }
                break;
            }
        }
        holds_.emplace(key, value);
        return value;
    }

    std::uint32_t Add(Node node) {
        nodes_.push_back(std::move(node));
        return static_cast<std::uint32_t>(nodes_.size() - 1);
    }

    std::string Modality(const Node& n) const {
        const std::string name = weak_ && n.label == TauLabel ? std::string() : lts_.labels[n.label];
        const bool diamond = n.kind == Node::Kind::Diamond;
        if (weak_) return diamond ? "<<" + name + ">>" : "[[" + name + "]]";
        return diamond ? "<" + name + ">" : "[" + name + "]";
    }

    // Writes the formula; stops early once longer than limit.
    void PrintInto(std::uint32_t node, std::string& out, std::size_t limit) const {
        if (out.size() > limit) return;
        const Node& n = nodes_[node];
        const auto operand = [&](std::uint32_t child) {
            const bool group = nodes_[child].kind == Node::Kind::And;
            if (group) out += '(';
            PrintInto(child, out, limit);
            if (group) out += ')';
        };
        switch (n.kind) {
            case Node::Kind::True: out += "true"; break;
            case Node::Kind::False: out += "false"; break;
            case Node::Kind::Not:
                out += "not ";
                operand(n.children[0]);
                break;
            case Node::Kind::Diamond:
            case Node::Kind::Box:
                out += Modality(n);
                operand(n.children[0]);
                break;
            case Node::Kind::And:
                for (std::size_t i = 0; i < n.children.size(); ++i) {
                    if (i > 0) out += " and ";
                    PrintInto(n.children[i], out, limit);
                }
                break;
        }
    }

    const Lts& lts_;
    const LevelTree& tree_;
    const bool weak_;
    const std::vector<std::uint32_t> rank_;
    std::vector<Node> nodes_;
    std::unordered_map<std::uint64_t, std::uint32_t> formulas_;
    std::unordered_map<std::uint64_t, bool> holds_;
};

// A formula longer than this helps no reader; the trace still does. A
// formula is at least as long as its depth, the level at which the states
// split: deeper ones are not built at all.
constexpr std::size_t kFormulaLimit = 2000;
constexpr std::uint32_t kFormulaDepthLimit = 600;
// The weak saturation may hold up to the square of the states: past this
// many arcs, no explanation is sought.
constexpr std::size_t kMaxSaturatedArcs = 30'000'000;

}  // namespace

std::optional<Lts> WeakSaturation(const Lts& lts, std::size_t maxArcs) {
    const std::size_t n = lts.StateCount();
    std::size_t held = 0;  // closure entries and saturated arcs, against maxArcs
    // The internal closure of each state, itself first.
    std::vector<std::vector<std::uint32_t>> closure(n);
    std::vector<std::uint32_t> mark(n, kNone);
    for (std::uint32_t s = 0; s < n; ++s) {
        std::vector<std::uint32_t>& c = closure[s];
        c.push_back(s);
        mark[s] = s;
        for (std::size_t i = 0; i < c.size(); ++i) {
            const std::uint32_t u = c[i];
            for (std::uint32_t a = lts.firstArc[u]; a < lts.firstArc[u + 1]; ++a) {
                if (lts.label[a] == TauLabel && mark[lts.target[a]] != s) {
                    mark[lts.target[a]] = s;
                    c.push_back(lts.target[a]);
                }
            }
        }
        held += c.size();
        if (held > maxArcs) return std::nullopt;
    }
    Lts sat;
    sat.initial = lts.initial;
    sat.labels = lts.labels;
    sat.firstArc.assign(1, 0);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> arcs;
    for (std::uint32_t s = 0; s < n; ++s) {
        arcs.clear();
        for (std::uint32_t u : closure[s]) {
            arcs.emplace_back(TauLabel, u);
            for (std::uint32_t a = lts.firstArc[u]; a < lts.firstArc[u + 1]; ++a) {
                if (lts.label[a] == TauLabel) continue;
                for (std::uint32_t v : closure[lts.target[a]]) arcs.emplace_back(lts.label[a], v);
                if (arcs.size() > maxArcs) return std::nullopt;
            }
        }
        std::sort(arcs.begin(), arcs.end());
        arcs.erase(std::unique(arcs.begin(), arcs.end()), arcs.end());
        held += arcs.size();
        if (held > maxArcs) return std::nullopt;
        for (const auto& [label, target] : arcs) {
            sat.label.push_back(label);
            sat.target.push_back(target);
        }
        sat.firstArc.push_back(static_cast<std::uint32_t>(sat.target.size()));
    }
    return sat;
}

StateDistinction DistinguishStates(const Lts& lts, std::uint32_t first, std::uint32_t second, bool weak,
                                   Progress* progress) {
    StateDistinction result;
    const std::optional<Lts> saturated = weak ? WeakSaturation(lts, kMaxSaturatedArcs) : std::optional<Lts>(Lts());
    if (!saturated) {
        result.tooLarge = true;
        return result;
    }
    const Lts& system = weak ? *saturated : lts;
    LevelTree tree;
    if (!RefineByLevels(system, progress, tree)) {
        result.stopped = true;
        return result;
    }
    if (tree.SplitLevel(first, second) == kNone) {
        result.equivalent = true;
        return result;
    }
    FormulaBuilder builder(system, tree, weak);
    if (tree.SplitLevel(first, second) <= kFormulaDepthLimit) {
        const std::uint32_t formula = builder.Distinguish(first, second);
        // Checked before it is given: true at the first state, false at the second.
        if (!builder.HoldsAt(formula, first) || builder.HoldsAt(formula, second)) {
            result.internalError = true;
            return result;
        }
        result.formula = builder.Print(formula, kFormulaLimit);
    }

    // Follow the first conjuncts down, as the formula does; `holderIsFirst`
    // tells which side the formula of the current pair holds at.
    std::uint32_t holder = first, other = second;
    bool holderIsFirst = true;
    result.firstStates.push_back(first);
    for (std::size_t step = 0;; ++step) {
        if (progress != nullptr && step % 256 == 255 && progress->StopRequested()) {
            result.stopped = true;
            return result;
        }
        const std::optional<FormulaBuilder::Candidate> c = builder.Choose(holder, other);
        result.steps.push_back(c->label);
        if (c->others.empty()) {
            result.lastByFirst = c->holderMoves == holderIsFirst;
            if (result.lastByFirst) result.firstStates.push_back(c->target);
            break;
        }
        if (c->holderMoves) {
            holder = c->target;  // <a>(φ1 and ...)
            other = c->others[0];
        } else if (c->others.size() == 1) {
            holder = c->others[0];  // [a]φ
            other = c->target;
        } else {
            holderIsFirst = !holderIsFirst;  // not <a>(ψ1 and ...): ψ1 holds at the other side
            holder = c->target;
            other = c->others[0];
        }
        result.firstStates.push_back(holderIsFirst ? holder : other);
    }
    // The first side's path is replayed on the system: each step an arc.
    for (std::size_t i = 0; i + 1 < result.firstStates.size(); ++i) {
        const std::uint32_t from = result.firstStates[i], to = result.firstStates[i + 1];
        bool found = false;
        for (std::uint32_t a = system.firstArc[from]; a < system.firstArc[from + 1] && !found; ++a)
            found = system.label[a] == result.steps[i] && system.target[a] == to;
        if (!found) {
            result.internalError = true;
            return result;
        }
    }
    return result;
}

}  // namespace quarvo
