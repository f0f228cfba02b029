// An independent reference for the tests: the textbook interleaving semantics of
// basic LOTOS over the compiled tree, a random specification maker, and a
// strong-bisimulation check between two labelled transition systems.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "frontend/SyntaxTree.h"
#include "generation/StemStore.h"

namespace quarvo::test {

struct Lts {
    struct Arc {
        std::string label;
        int target;
    };
    std::vector<std::vector<Arc>> states;  // state 0 is the initial state
    bool complete = true;                  // false when the bound stopped the exploration
};

// The textbook semantics: internal steps are "I", a hidden action a is "I_a"
// (a cut to 30 characters), termination is "delta".
Lts ReferenceLts(const Compilation& compilation, int maxStates);

// The action-labelled graph of a store (events and causes left aside).
Lts StoreLts(const StemStore& store);

// True when the initial states of a and b are strongly bisimilar.
bool Bisimilar(const Lts& a, const Lts& b);

// A random specification over the gates A, B, C, with guarded recursive processes.
std::string RandomSpecification(std::mt19937& rng);

}  // namespace quarvo::test
