// Deadlocks and [R] false formulas searched on a specification's state
// vectors under interleaving, with or without stubborn sets, and the text
// of their answers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/Status.h"
#include "generation/reduction/ReducedSearch.h"

namespace quarvo::logic {

// "États explorés : N." and, when reduced, " (réduction par ordre partiel)".
std::string ExploredLine(std::int64_t explored, bool reduced);

// The trace of a search as the user reads it (the states by their numbers in the search).
std::vector<std::string> SearchTraceLines(const std::vector<SearchStep>& trace);

// "Aucun blocage." or the deadlock and its trace, then the explored states.
std::vector<std::string> DeadlockLines(const SearchOutcomeOnVectors& outcome);

struct SafetyCheck {
    Status status;              // the formula is malformed
    bool applies = false;       // the formula has the form [R] false
    SearchOutcomeOnVectors search;
    bool holds = false;
    bool traceAccepted = false;  // the trace's actions form a word of R
    std::vector<std::string> warnings;  // actions the formula names that the system never offers
};

// Checks a formula [R] false by a search for a run R matches; applies is
// false for any other formula (which needs the whole space).
SafetyCheck CheckSafety(std::string_view text, const std::shared_ptr<const Compilation>& compilation,
                        const SearchSettings& settings, Progress* progress = nullptr);

// The verdict, the trace of a violation, then the explored states.
std::vector<std::string> SafetyLines(const SafetyCheck& check);

}  // namespace quarvo::logic
