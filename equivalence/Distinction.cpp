#include "equivalence/Distinction.h"

#include <algorithm>
#include <map>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "equivalence/Traces.h"

namespace quarvo {
namespace {

constexpr std::uint32_t kNone = UINT32_MAX;

// The history of a levelled partition refinement, as a tree of blocks: the
// root is the one block of level 0; a block that splits at level k has its
// parts as children made at level k; a block that does not split stays the
// same node. The block of a state at level k is the deepest ancestor of its
// leaf made at level k or before.
struct LevelTree {
    std::vector<std::uint32_t> leaf;  // per state
    std::vector<std::uint32_t> parent, level, depth;  // per node

    std::uint32_t BlockAt(std::uint32_t state, std::uint32_t k) const {
        std::uint32_t node = leaf[state];
        while (level[node] > k) node = parent[node];
        return node;
    }

    // The first level at which the two states are in different blocks;
    // kNone when they never are.
    std::uint32_t SplitLevel(std::uint32_t s, std::uint32_t t) const {
        std::uint32_t a = leaf[s], b = leaf[t];
        if (a == b) return kNone;
        while (depth[a] > depth[b]) a = parent[a];
        while (depth[b] > depth[a]) b = parent[b];
        while (parent[a] != parent[b]) {
            a = parent[a];
            b = parent[b];
        }
        return level[a];  // siblings are made at one level
    }
};

struct VectorHash {
    std::size_t operator()(const std::vector<std::uint32_t>& v) const {
        std::size_t h = v.size();
        for (std::uint32_t x : v) h = (h ^ x) * 0x100000001B3ull + (h >> 31);
        return h;
    }
};

// Refines until no block splits. False when the caller stopped it.
bool RefineByLevels(const Lts& lts, Progress* progress, LevelTree& tree) {
    const std::size_t n = lts.StateCount();
    tree.leaf.assign(n, 0);
    tree.parent = {0};
    tree.level = {0};
    tree.depth = {0};
    std::vector<std::uint32_t> key;
    for (std::uint32_t round = 1;; ++round) {
        if (progress != nullptr && progress->StopRequested()) return false;
        // Each state's signature: its block, then the (label, block) of its arcs.
        std::unordered_map<std::vector<std::uint32_t>, std::uint32_t, VectorHash> groups;
        std::vector<std::uint32_t> groupOf(n);
        std::vector<std::uint32_t> groupNode;  // the block each group comes from
        for (std::uint32_t s = 0; s < n; ++s) {
            std::vector<std::pair<std::uint32_t, std::uint32_t>> moves;
            for (std::uint32_t k = lts.firstArc[s]; k < lts.firstArc[s + 1]; ++k) {
                moves.emplace_back(lts.label[k], tree.leaf[lts.target[k]]);
            }
            std::sort(moves.begin(), moves.end());
            moves.erase(std::unique(moves.begin(), moves.end()), moves.end());
            key.assign(1, tree.leaf[s]);
            for (const auto& [label, block] : moves) {
                key.push_back(label);
                key.push_back(block);
            }
            auto [it, inserted] = groups.try_emplace(key, static_cast<std::uint32_t>(groupNode.size()));
            if (inserted) groupNode.push_back(tree.leaf[s]);
            groupOf[s] = it->second;
        }
        std::vector<std::uint32_t> partsOf(tree.parent.size(), 0);
        for (std::uint32_t node : groupNode) ++partsOf[node];
        bool split = false;
        std::vector<std::uint32_t> newNode(groupNode.size());
        for (std::uint32_t g = 0; g < groupNode.size(); ++g) {
            const std::uint32_t node = groupNode[g];
            if (partsOf[node] == 1) {
                newNode[g] = node;
                continue;
            }
            split = true;
            newNode[g] = static_cast<std::uint32_t>(tree.parent.size());
            tree.parent.push_back(node);
            tree.level.push_back(round);
            tree.depth.push_back(tree.depth[node] + 1);
        }
        if (!split) return true;
        for (std::uint32_t s = 0; s < n; ++s) tree.leaf[s] = newNode[groupOf[s]];
    }
}

// A formula as a tree; children are node numbers.
struct Node {
    enum class Kind { True, False, Diamond, Box, Not, And } kind;
    std::uint32_t label = 0;
    std::vector<std::uint32_t> children;
};

// How a pair of states was told apart: the move taken and the pair the
// formula's first conjunct is about.
struct Choice {
    std::uint32_t node = 0;
    std::uint32_t label = 0;
    bool holderMoves = true;                  // the state where the formula holds takes the move
    std::uint32_t next = kNone, nextOther = kNone;  // the first conjunct's pair (holder, other)
};

class FormulaBuilder {
public:
    FormulaBuilder(const Lts& lts, const LevelTree& tree, bool weak)
        : lts_(lts), tree_(tree), weak_(weak), rank_(LabelRanksByName(lts)) {}

    // The choice made for the pair: its formula is true at s, false at t.
    const Choice& Distinguish(std::uint32_t s, std::uint32_t t) {
        const std::uint64_t key = (std::uint64_t{s} << 32) | t;
        if (auto it = choices_.find(key); it != choices_.end()) return it->second;
        const Choice choice = Build(s, t);
        return choices_.emplace(key, choice).first->second;
    }

    const std::vector<Node>& Nodes() const { return nodes_; }

    std::string Print(std::uint32_t node, std::size_t limit) const {
        std::string out;
        PrintInto(node, out, limit);
        return out.size() > limit ? std::string() : out;
    }

private:
    // The successors of s by label, deduplicated by block at level k.
    std::vector<std::uint32_t> Successors(std::uint32_t s, std::uint32_t label, std::uint32_t k) const {
        std::vector<std::uint32_t> result;
        std::unordered_set<std::uint32_t> blocks;
        for (std::uint32_t a = lts_.firstArc[s]; a < lts_.firstArc[s + 1]; ++a) {
            if (lts_.label[a] == label && blocks.insert(tree_.BlockAt(lts_.target[a], k)).second) {
                result.push_back(lts_.target[a]);
            }
        }
        return result;
    }

    // A move of `mover` by label to `target` that the other state cannot match at level k.
    struct Candidate {
        bool holderMoves;
        std::uint32_t label, target;
        std::vector<std::uint32_t> others;  // the other side's successors by label, one per block
    };

    Choice Build(std::uint32_t s, std::uint32_t t) {
        const std::uint32_t k = tree_.SplitLevel(s, t);  // k >= 1
        std::optional<Candidate> best;
        const auto better = [&](const Candidate& c) {
            if (!best) return true;
            if (c.others.size() != best->others.size()) return c.others.size() < best->others.size();
            if (c.holderMoves != best->holderMoves) return c.holderMoves;
            return rank_[c.label] < rank_[best->label];
        };
        for (const bool holderMoves : {true, false}) {
            const std::uint32_t mover = holderMoves ? s : t, other = holderMoves ? t : s;
            for (std::uint32_t a = lts_.firstArc[mover]; a < lts_.firstArc[mover + 1]; ++a) {
                const std::uint32_t label = lts_.label[a], target = lts_.target[a];
                const std::uint32_t block = tree_.BlockAt(target, k - 1);
                std::vector<std::uint32_t> others = Successors(other, label, k - 1);
                bool matched = false;
                for (std::uint32_t o : others) matched = matched || tree_.BlockAt(o, k - 1) == block;
                if (matched) continue;
                Candidate c{holderMoves, label, target, std::move(others)};
                if (better(c)) best = std::move(c);
            }
        }
        // The refinement split s and t at level k: some move is unmatched.
        Choice choice;
        choice.label = best->label;
        choice.holderMoves = best->holderMoves;
        if (best->holderMoves) {
            // <a>(φ1 and ...): φi true at the target, false at the other's i-th successor.
            const std::uint32_t conjunction = Conjunction(best->target, best->others, choice);
            choice.node = Add({Node::Kind::Diamond, best->label, {conjunction}});
        } else if (best->others.empty()) {
            // The other state (where the formula holds) has no such move: [a]false.
            choice.node = Add({Node::Kind::Box, best->label, {Add({Node::Kind::False, 0, {}})}});
        } else if (best->others.size() == 1) {
            // Every a-successor of s is in one block, which t's target is not in: [a]φ.
            const Choice& inner = Distinguish(best->others[0], best->target);
            choice.next = best->others[0];
            choice.nextOther = best->target;
            choice.node = Add({Node::Kind::Box, best->label, {inner.node}});
        } else {
            // not <a>(ψ1 and ...): ψi true at t's target, false at s's i-th successor.
            Choice swapped;
            const std::uint32_t conjunction = Conjunction(best->target, best->others, swapped);
            choice.next = swapped.next;
            choice.nextOther = swapped.nextOther;
            choice.node = Add({Node::Kind::Not, 0, {Add({Node::Kind::Diamond, best->label, {conjunction}})}});
        }
        return choice;
    }

    // The conjunction of formulas true at `holder` and false at each of
    // `others`, dropping those an earlier conjunct already rules out; the
    // first conjunct's pair goes into choice.
    std::uint32_t Conjunction(std::uint32_t holder, const std::vector<std::uint32_t>& others, Choice& choice) {
        std::vector<std::uint32_t> conjuncts;
        for (std::uint32_t o : others) {
            bool ruledOut = false;
            for (std::uint32_t c : conjuncts) ruledOut = ruledOut || !Holds(c, o);
            if (ruledOut) continue;
            if (conjuncts.empty()) {
                choice.next = holder;
                choice.nextOther = o;
            }
            conjuncts.push_back(Distinguish(holder, o).node);
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
    std::unordered_map<std::uint64_t, Choice> choices_;
    std::unordered_map<std::uint64_t, bool> holds_;
};

// A formula longer than this helps no reader; the trace still does.
constexpr std::size_t kFormulaLimit = 2000;

}  // namespace

Lts WeakSaturation(const Lts& lts) {
    const std::size_t n = lts.StateCount();
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
            }
        }
        std::sort(arcs.begin(), arcs.end());
        arcs.erase(std::unique(arcs.begin(), arcs.end()), arcs.end());
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
    const Lts saturated = weak ? WeakSaturation(lts) : Lts();
    const Lts& system = weak ? saturated : lts;
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
    const Choice top = builder.Distinguish(first, second);
    result.formula = builder.Print(top.node, kFormulaLimit);

    // Follow the first conjuncts down; `holderIsFirst` tells which side the
    // formula of the current pair holds at.
    std::uint32_t holder = first, other = second;
    bool holderIsFirst = true;
    result.firstStates.push_back(first);
    for (;;) {
        const Choice& choice = builder.Distinguish(holder, other);
        result.steps.push_back(choice.label);
        if (choice.next == kNone) {
            result.lastByFirst = choice.holderMoves == holderIsFirst;
            if (result.lastByFirst) {
                // The first side's move: the target it reaches, any one of the label.
                const std::uint32_t from = holderIsFirst ? holder : other;
                for (std::uint32_t a = system.firstArc[from]; a < system.firstArc[from + 1]; ++a) {
                    if (system.label[a] == choice.label) {
                        result.firstStates.push_back(system.target[a]);
                        break;
                    }
                }
            }
            break;
        }
        // A box or negation hands the pair over with the other side holding.
        const bool flips = !choice.holderMoves && builder.Nodes()[choice.node].kind == Node::Kind::Not;
        holderIsFirst = holderIsFirst != flips;
        holder = choice.next;
        other = choice.nextOther;
        result.firstStates.push_back(holderIsFirst ? holder : other);
    }
    return result;
}

}  // namespace quarvo

namespace quarvo {
namespace {

// The states with an endless run of internal arcs inside their block: what is
// left once the states without an internal arc inside their block are peeled
// off, again and again.
std::vector<bool> DivergentStates(const Lts& lts, const std::vector<std::uint32_t>& block) {
    const std::size_t n = lts.StateCount();
    std::vector<std::uint32_t> inertOut(n, 0);
    std::vector<std::vector<std::uint32_t>> inertIn(n);
    for (std::uint32_t s = 0; s < n; ++s) {
        for (std::uint32_t k = lts.firstArc[s]; k < lts.firstArc[s + 1]; ++k) {
            if (lts.label[k] == TauLabel && block[lts.target[k]] == block[s]) {
                ++inertOut[s];
                inertIn[lts.target[k]].push_back(s);
            }
        }
    }
    std::vector<bool> divergent(n, true);
    std::vector<std::uint32_t> peel;
    for (std::uint32_t s = 0; s < n; ++s) {
        if (inertOut[s] == 0) peel.push_back(s);
    }
    while (!peel.empty()) {
        const std::uint32_t s = peel.back();
        peel.pop_back();
        divergent[s] = false;
        for (std::uint32_t p : inertIn[s]) {
            if (--inertOut[p] == 0) peel.push_back(p);
        }
    }
    return divergent;
}

}  // namespace

DivergenceDistinction FindDivergence(const Lts& lts, std::uint32_t first, std::uint32_t second,
                                     const std::vector<std::uint32_t>& branching,
                                     const std::vector<std::uint32_t>& divergence, Progress* progress) {
    DivergenceDistinction result;
    const std::vector<bool> divergent = DivergentStates(lts, branching);
    const auto inert = [&](std::uint32_t s, std::uint32_t k) {
        return lts.label[k] == TauLabel && branching[lts.target[k]] == branching[s];
    };
    // The moves of z that match a move by label into class `into`: internal
    // arcs inside z's class, then the labelled arc. Each as the path after z.
    const auto matches = [&](std::uint32_t z, std::uint32_t label, std::uint32_t into) {
        std::vector<std::vector<std::uint32_t>> found;
        std::unordered_map<std::uint32_t, std::uint32_t> parent{{z, kNone}};
        std::vector<std::uint32_t> queue{z};
        for (std::size_t i = 0; i < queue.size(); ++i) {
            const std::uint32_t s = queue[i];
            for (std::uint32_t k = lts.firstArc[s]; k < lts.firstArc[s + 1]; ++k) {
                if (inert(s, k)) {
                    if (parent.try_emplace(lts.target[k], s).second) queue.push_back(lts.target[k]);
                } else if (lts.label[k] == label && branching[lts.target[k]] == into) {
                    std::vector<std::uint32_t> path{lts.target[k]};
                    for (std::uint32_t p = s; p != z; p = parent[p]) path.push_back(p);
                    std::reverse(path.begin(), path.end());
                    found.push_back(std::move(path));
                }
            }
        }
        return found;
    };
    struct PairNode {
        std::uint32_t x, y, parent, label;
        std::vector<std::uint32_t> segment;  // the first side's states after the parent's x
    };
    std::vector<PairNode> pairs;
    std::unordered_set<std::uint64_t> seen;
    const auto add = [&](std::uint32_t x, std::uint32_t y, std::uint32_t parent, std::uint32_t label,
                         std::vector<std::uint32_t> segment) {
        if (seen.insert((std::uint64_t{divergence[x]} << 32) | divergence[y]).second) {
            pairs.push_back({x, y, parent, label, std::move(segment)});
        }
    };
    add(first, second, kNone, kNone, {});
    for (std::size_t next = 0; next < pairs.size(); ++next) {
        if (progress != nullptr && next % 1024 == 0 && progress->StopRequested()) {
            result.stopped = true;
            return result;
        }
        const auto current = static_cast<std::uint32_t>(next);
        const std::uint32_t x = pairs[current].x, y = pairs[current].y;
        if (divergent[x] != divergent[y]) {
            result.found = true;
            result.firstDiverges = divergent[x];
            std::vector<std::uint32_t> states;
            for (std::uint32_t p = current; p != kNone; p = pairs[p].parent) {
                if (pairs[p].label != kNone && pairs[p].label != TauLabel) result.trace.push_back(pairs[p].label);
                states.insert(states.end(), pairs[p].segment.rbegin(), pairs[p].segment.rend());
            }
            states.push_back(first);
            std::reverse(result.trace.begin(), result.trace.end());
            std::reverse(states.begin(), states.end());
            result.firstStates = std::move(states);
            return result;
        }
        for (std::uint32_t k = lts.firstArc[x]; k < lts.firstArc[x + 1]; ++k) {
            const std::uint32_t target = lts.target[k];
            if (inert(x, k)) {
                add(target, y, current, kNone, {target});
                continue;
            }
            for (auto& path : matches(y, lts.label[k], branching[target])) {
                add(target, path.back(), current, lts.label[k], {target});
            }
        }
        for (std::uint32_t k = lts.firstArc[y]; k < lts.firstArc[y + 1]; ++k) {
            const std::uint32_t target = lts.target[k];
            if (inert(y, k)) {
                add(x, target, current, kNone, {});
                continue;
            }
            for (auto& path : matches(x, lts.label[k], branching[target])) {
                const std::uint32_t reached = path.back();
                add(reached, target, current, lts.label[k], std::move(path));
            }
        }
    }
    return result;
}

}  // namespace quarvo
