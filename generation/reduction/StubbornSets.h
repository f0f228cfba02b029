// Stubborn sets over the parallel structure of the engine on vectors.
//
// A transition of the system is a tuple of steps of its components (those
// the structure makes synchronise on its action); two transitions that move
// no component in common are independent: neither disables the other, and
// both orders reach the same state (under interleaving, where the state is
// its components' terms). A stubborn set is taken as a set C of components,
// the transitions of the state whose components all lie in C, closed so that
//   - every enabled transition that moves a component of C moves only
//     components of C (whatever conflicts with a member is a member);
//   - every transition that moves a component c of C by a step c offers now,
//     but waits for partners, has a partner that cannot take part now in C:
//     that partner must move first, and all its moves are members.
// The partners of a step on action a are the components of the other side
// of each composition above c that synchronises a (up to a hiding of a)
// that may ever offer a: their alphabet, walked once per term of theirs.
// Such a set keeps every reachable deadlock (Valmari's stubborn sets).
#pragma once

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

#include "generation/vector/VectorEngine.h"

namespace quarvo {

class StubbornSets {
public:
    StubbornSets(Engine& engine, VectorEngine& vectors);

    // The transitions (indices in the engine's List order) of a listed state
    // to explore: a stubborn set's enabled members, the smallest one found
    // over a seed per component that can move. visible(k) tells a transition
    // whose action a property watches: a set holding one is taken only when
    // no seed gives one without; out holds every transition then. Answers
    // whether out is all of the state's transitions.
    bool Choose(const std::uint32_t* state, std::size_t transitions, const std::function<bool(std::size_t)>& visible,
                std::vector<std::uint32_t>& out);

private:
    struct Alphabet {
        std::vector<ActionId> actions;
        bool complete = true;  // false: any action may come (its walk did not end)
    };
    const Alphabet& AlphabetOf(std::uint32_t component, const std::uint32_t* state);
    bool MayOffer(std::uint32_t component, ActionId action, const std::uint32_t* state);
    // Adds to C the components of the subtree node that may take part in a on its behalf.
    void Partners(std::uint32_t node, ActionId action, const std::uint32_t* state);
    void Add(std::uint32_t component);
    // Closes C from seed; answers how many enabled transitions it holds,
    // and in visible whether one of them is visible.
    std::size_t Close(std::uint32_t seed, const std::uint32_t* state, const std::function<bool(std::size_t)>& visibleOf,
                      bool& visible);

    Engine& engine_;
    VectorEngine& vectors_;
    std::vector<std::uint32_t> components_;                 // their slots
    std::vector<std::vector<std::uint32_t>> movesOf_;       // per slot: the enabled transitions it takes part in
    std::vector<std::vector<std::uint32_t>> partsOf_;       // per transition: its components
    std::vector<std::uint8_t> inSet_;                       // per slot
    std::vector<std::uint32_t> members_, work_;
    std::vector<std::pair<ActionId, bool>> offered_;
    std::unordered_map<std::uint32_t, std::uint32_t> alphabetOf_;  // term's identity -> alphabets_ index
    std::vector<Alphabet> alphabets_;
    std::vector<std::uint32_t> bestMembers_;
};

}  // namespace quarvo
