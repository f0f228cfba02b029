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

// The behaviour and the process definitions of a generated specification
// (its text after ":=" and before "WHERE", and from "WHERE" on).
struct SpecificationParts {
    std::string behaviour, processes;
};

SpecificationParts SplitSpecification(const std::string& text);

// A specification whose root is a parallel structure (compositions and
// hidings) over random operands, which may themselves compose, hide, enable
// and disable, and recurse; synchronised in ways that often block.
std::string StructuredSpecification(std::mt19937& rng);

}  // namespace quarvo::test
