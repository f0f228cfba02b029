// Evaluating a formula in positive normal form on a transition system: its
// regular modalities become fixpoints, the whole a boolean equation system
// with one block per strongly connected set of equations, each block solved
// with a worklist over predecessors. Time linear in |formula| × (states + arcs).
#pragma once

#include <cstdint>
#include <vector>

#include "generation/Lts.h"
#include "generation/Progress.h"
#include "logic/Pnf.h"

namespace quarvo::logic {

// The arcs of a system by their target: the arcs into t are
// first[t] .. first[t+1]-1, with their source and label.
struct ReverseArcs {
    std::vector<std::uint32_t> first;
    std::vector<std::uint32_t> source;
    std::vector<std::uint32_t> label;
};
ReverseArcs ReverseOf(const Lts& lts);

// A set of states, one bit each.
class StateSet {
public:
    StateSet() = default;
    explicit StateSet(std::size_t size, bool full = false)
        : size_(size), words_((size + 63) / 64, full ? ~std::uint64_t{0} : 0) {}
    bool Has(std::size_t s) const { return (words_[s >> 6] >> (s & 63)) & 1; }
    void Add(std::size_t s) { words_[s >> 6] |= std::uint64_t{1} << (s & 63); }
    void Complement() {
        for (std::uint64_t& w : words_) w = ~w;
    }
    std::size_t Size() const { return size_; }

private:
    std::size_t size_ = 0;
    std::vector<std::uint64_t> words_;
};

struct Evaluation {
    bool stopped = false;  // the caller stopped it: the sets are not to be read
    // Per node of the positive normal form, the states where it holds (for a
    // Var, those of its binder).
    std::vector<StateSet> holds;
};

// Evaluates every node of pnf on lts. sets are the label sets of the
// formula's action nodes (ActionLabelSets), reverse the system's ReverseOf.
// progress receives Update(equations solved, 0) now and then and may stop it.
Evaluation Evaluate(const Formula& formula, const Pnf& pnf, const LabelSets& sets, const Lts& lts,
                    const ReverseArcs& reverse, Progress* progress = nullptr);

}  // namespace quarvo::logic
