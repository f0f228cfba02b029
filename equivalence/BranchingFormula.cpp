#include <algorithm>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "equivalence/Distinction.h"
#include "equivalence/Traces.h"

namespace quarvo {
namespace {

constexpr std::uint32_t kNone = UINT32_MAX;
// Beyond these, a formula helps no reader (or the levels would not fit).
constexpr std::size_t kMaxStates = 3000;
constexpr std::uint32_t kMaxDepth = 60;
constexpr std::size_t kMaxLength = 2000;

struct VectorHash {
    std::size_t operator()(const std::vector<std::uint32_t>& v) const {
        std::size_t h = v.size();
        for (std::uint32_t x : v) h = (h ^ x) * 0x100000001B3ull + (h >> 31);
        return h;
    }
};

// A formula with its truth value at every state.
struct Formula {
    std::string text;
    bool compound = false;  // needs parentheses as an operand
    std::vector<bool> holds;
};

class BranchingBuilder {
public:
    BranchingBuilder(const Lts& lts) : lts_(lts), rank_(LabelRanksByName(lts)) {}

    // Branching signature refinement, every level kept: level k+1 splits
    // the blocks of level k by the (label, block) pairs their states reach
    // by internal steps inside their block, inert internal steps left out.
    bool Refine(Progress* progress) {
        const std::size_t n = lts_.StateCount();
        levels_.assign(1, std::vector<std::uint32_t>(n, 0));
        for (;;) {
            if (progress != nullptr && progress->StopRequested()) return false;
            const std::vector<std::uint32_t>& block = levels_.back();
            std::unordered_map<std::vector<std::uint32_t>, std::uint32_t, VectorHash> ids;
            std::vector<std::uint32_t> next(n);
            for (std::uint32_t s = 0; s < n; ++s) {
                std::vector<std::uint32_t> key{block[s]};
                for (const auto& [label, target] : Signature(s, block)) {
                    key.push_back(label);
                    key.push_back(target);
                }
                next[s] = ids.try_emplace(key, static_cast<std::uint32_t>(ids.size())).first->second;
            }
            const std::uint32_t before = *std::max_element(block.begin(), block.end()) + 1;
            if (ids.size() == before) return true;
            levels_.push_back(std::move(next));
        }
    }

    std::uint32_t SplitLevel(std::uint32_t s, std::uint32_t t) const {
        for (std::uint32_t k = 0; k < levels_.size(); ++k) {
            if (levels_[k][s] != levels_[k][t]) return k;
        }
        return kNone;
    }

    // A formula true at s and false at t.
    const std::optional<Formula>& Distinguish(std::uint32_t s, std::uint32_t t) {
        const std::uint64_t key = (std::uint64_t{s} << 32) | t;
        if (auto it = memo_.find(key); it != memo_.end()) return it->second;
        std::optional<Formula> f = Build(s, t);
        return memo_.emplace(key, std::move(f)).first->second;
    }

private:
    // The states reached from s by internal steps inside its block (s first),
    // each with the position of the state before it (kNone for s).
    std::vector<std::pair<std::uint32_t, std::uint32_t>> Inert(std::uint32_t s,
                                                               const std::vector<std::uint32_t>& block) const {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> reached{{s, kNone}};
        std::unordered_set<std::uint32_t> seen{s};
        for (std::uint32_t i = 0; i < reached.size(); ++i) {
            const std::uint32_t u = reached[i].first;
            for (std::uint32_t k = lts_.firstArc[u]; k < lts_.firstArc[u + 1]; ++k) {
                const std::uint32_t v = lts_.target[k];
                if (lts_.label[k] == TauLabel && block[v] == block[s] && seen.insert(v).second) {
                    reached.emplace_back(v, i);
                }
            }
        }
        return reached;
    }

    std::vector<std::pair<std::uint32_t, std::uint32_t>> Signature(std::uint32_t s,
                                                                   const std::vector<std::uint32_t>& block) const {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> sig;
        for (const auto& [u, before] : Inert(s, block)) {
            for (std::uint32_t k = lts_.firstArc[u]; k < lts_.firstArc[u + 1]; ++k) {
                const std::uint32_t v = lts_.target[k];
                if (!(lts_.label[k] == TauLabel && block[v] == block[s])) sig.emplace_back(lts_.label[k], block[v]);
            }
        }
        std::sort(sig.begin(), sig.end());
        sig.erase(std::unique(sig.begin(), sig.end()), sig.end());
        return sig;
    }

    // A move of the mover, after internal steps inside its block, that the
    // other state cannot match at level k - 1.
    struct Candidate {
        bool holderMoves;
        std::uint32_t label, target;
        std::vector<std::uint32_t> path;  // the mover's states before the move, mover first
        std::vector<std::uint32_t> exits, others;  // what the formula must rule out on the other side
    };

    std::optional<Formula> Build(std::uint32_t s, std::uint32_t t) {
        const std::uint32_t k = SplitLevel(s, t);
        if (k == kNone || k == 0 || k > kMaxDepth) return std::nullopt;
        const std::vector<std::uint32_t>& block = levels_[k - 1];
        std::optional<Candidate> best;
        for (const bool holderMoves : {true, false}) {
            const std::uint32_t mover = holderMoves ? s : t, other = holderMoves ? t : s;
            const auto otherSig = Signature(other, block);
            const auto moverInert = Inert(mover, block);
            const auto otherInert = Inert(other, block);
            for (std::size_t i = 0; i < moverInert.size(); ++i) {
                const std::uint32_t u = moverInert[i].first;
                for (std::uint32_t a = lts_.firstArc[u]; a < lts_.firstArc[u + 1]; ++a) {
                    const std::uint32_t label = lts_.label[a], target = lts_.target[a];
                    if (label == TauLabel && block[target] == block[mover]) continue;
                    if (std::binary_search(otherSig.begin(), otherSig.end(), std::make_pair(label, block[target]))) {
                        continue;
                    }
                    Candidate c{holderMoves, label, target, {}, {}, {}};
                    for (std::uint32_t p = static_cast<std::uint32_t>(i); p != kNone; p = moverInert[p].second) {
                        c.path.push_back(moverInert[p].first);
                    }
                    std::reverse(c.path.begin(), c.path.end());
                    // Every state the other can leave its block for by an
                    // internal step, and every state it reaches by the label,
                    // after internal steps inside its block. (States of one
                    // block need not agree on the formulas chosen: none is
                    // merged with another; the conjunction skips those
                    // already ruled out.)
                    std::unordered_set<std::uint32_t> exits, others;
                    for (const auto& [w, before] : otherInert) {
                        // An internal step may be skipped: ψ must fail inside the block too.
                        if (label == TauLabel && others.insert(w).second) c.others.push_back(w);
                        for (std::uint32_t b = lts_.firstArc[w]; b < lts_.firstArc[w + 1]; ++b) {
                            const std::uint32_t z = lts_.target[b];
                            if (lts_.label[b] == TauLabel && block[z] != block[mover] && exits.insert(z).second) {
                                c.exits.push_back(z);
                            }
                            if (lts_.label[b] == label && others.insert(z).second) c.others.push_back(z);
                        }
                    }
                    const auto cost = [](const Candidate& x) { return x.exits.size() + x.others.size(); };
                    const bool better = !best || cost(c) < cost(*best) ||
                                        (cost(c) == cost(*best) && holderMoves && !best->holderMoves) ||
                                        (cost(c) == cost(*best) && holderMoves == best->holderMoves &&
                                         rank_[label] < rank_[best->label]);
                    if (better) best = std::move(c);
                }
            }
        }
        if (!best) return std::nullopt;
        // φ: true all along the mover's path, false at every exit of the other's block.
        std::optional<Formula> phi = Conjunction(best->path, best->exits);
        std::optional<Formula> psi = Conjunction({best->target}, best->others);
        if (!phi || !psi) return std::nullopt;
        Formula f = Until(*phi, best->label, *psi);
        if (!best->holderMoves) f = Not(f);
        if (!f.holds[s] || f.holds[t] || f.text.size() > kMaxLength) return std::nullopt;
        return f;
    }

    // A conjunction true at every state of `keep` and false at every state
    // of `rule`, conjuncts an earlier one makes useless left out.
    std::optional<Formula> Conjunction(const std::vector<std::uint32_t>& keep, const std::vector<std::uint32_t>& rule) {
        Formula all{"true", false, std::vector<bool>(lts_.StateCount(), true)};
        bool first = true;
        for (std::uint32_t z : rule) {
            if (!all.holds[z]) continue;
            // One formula that tells z apart from each state to keep.
            const std::optional<Formula>* found = nullptr;
            for (std::uint32_t x : keep) {
                const std::optional<Formula>& f = Distinguish(x, z);
                bool good = f.has_value();
                for (std::uint32_t y : keep) good = good && f->holds[y];
                if (good) {
                    found = &f;
                    break;
                }
            }
            if (found == nullptr) return std::nullopt;
            const Formula& f = **found;
            if (first) {
                all = f;
            } else {
                all.text += " and " + Operand(f, false);
                for (std::size_t i = 0; i < all.holds.size(); ++i) all.holds[i] = all.holds[i] && f.holds[i];
                all.compound = true;
            }
            first = false;
            if (all.text.size() > kMaxLength) return std::nullopt;
        }
        return all;
    }

    // The text of f as an operand; an until's operands are bracketed unless atomic.
    static std::string Operand(const Formula& f, bool ofUntil) {
        const bool atomic = f.text == "true" || f.text == "false";
        return (f.compound || (ofUntil && !atomic)) ? "(" + f.text + ")" : f.text;
    }

    Formula Not(const Formula& f) const {
        Formula n{"not " + Operand(f, true), false, f.holds};
        n.holds.flip();
        return n;
    }

    // φ<a>ψ: the states from which internal steps through φ states lead to a
    // φ state with an a-step to a ψ state; an internal step (a = I) may be
    // left out, the last φ state then satisfying ψ (so that steps inside a
    // class, which a quotient drops, change nothing).
    Formula Until(const Formula& phi, std::uint32_t label, const Formula& psi) const {
        const std::size_t n = lts_.StateCount();
        Formula u{Operand(phi, true) + "<" + lts_.labels[label] + ">" + Operand(psi, true), true,
                  std::vector<bool>(n, false)};
        if (label == TauLabel) {
            for (std::uint32_t s = 0; s < n; ++s) u.holds[s] = phi.holds[s] && psi.holds[s];
        }
        for (bool changed = true; changed;) {
            changed = false;
            for (std::uint32_t s = 0; s < n; ++s) {
                if (u.holds[s] || !phi.holds[s]) continue;
                for (std::uint32_t k = lts_.firstArc[s]; k < lts_.firstArc[s + 1] && !u.holds[s]; ++k) {
                    const std::uint32_t t = lts_.target[k];
                    if ((lts_.label[k] == label && psi.holds[t]) || (lts_.label[k] == TauLabel && u.holds[t])) {
                        u.holds[s] = true;
                        changed = true;
                    }
                }
            }
        }
        return u;
    }

    const Lts& lts_;
    const std::vector<std::uint32_t> rank_;
    std::vector<std::vector<std::uint32_t>> levels_;
    std::unordered_map<std::uint64_t, std::optional<Formula>> memo_;
};

}  // namespace

std::string BranchingFormula(const Lts& lts, std::uint32_t first, std::uint32_t second, Progress* progress) {
    if (lts.StateCount() > kMaxStates) return {};
    BranchingBuilder builder(lts);
    if (!builder.Refine(progress)) return {};
    const std::optional<Formula>& f = builder.Distinguish(first, second);
    return f ? f->text : std::string();
}

}  // namespace quarvo
