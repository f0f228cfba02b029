// The interleaving view of a STEM: a state is a state, an arc its action.
//
// Events and causes are erased. Every internal action ("I", and each hidden
// action "I_…") becomes the one internal label, TauLabel, named "I" (unless
// the hidden names are asked for: then each "I_…" keeps a label of its own);
// "delta" and every other action is visible and keeps its name. Arcs are kept state by
// state (compressed rows): the arcs of state s are firstArc[s] .. firstArc[s+1]-1.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "generation/StemStore.h"

namespace quarvo {

inline constexpr std::uint32_t TauLabel = 0;

struct Lts {
    std::uint32_t initial = 0;
    std::vector<std::uint32_t> firstArc{0};  // StateCount() + 1 entries
    std::vector<std::uint32_t> label;        // per arc
    std::vector<std::uint32_t> target;       // per arc
    // Label names; labels[TauLabel] is "I". Visible labels follow in the order
    // of first appearance.
    std::vector<std::string> labels{"I"};

    std::size_t StateCount() const { return firstArc.size() - 1; }
    std::size_t ArcCount() const { return target.size(); }
};

// "I" or "I_…": an internal action of LOTOS, hidden or not.
bool IsInternalAction(std::string_view name);

enum class HiddenNames { Merged, Kept };

// The interleaving view of a store: state i is the store's state at list
// position i, the initial state is position 0 (state 0 of a generated or read
// STEM). Arcs keep the store's order of iteration. With HiddenNames::Kept,
// each hidden action "I_…" is a label of its own (IsInternalAction of its
// name tells it is internal), for the formulas that name one.
Lts LtsFromStem(const StemStore& store, HiddenNames hidden = HiddenNames::Merged);

// The two systems side by side: a's states, then b's (state s of b is
// a.StateCount() + s); labels merged by name. The initial state is a's.
Lts DisjointUnion(const Lts& a, const Lts& b);

}  // namespace quarvo
