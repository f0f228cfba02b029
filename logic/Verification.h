// Checking a formula, or searching a deadlock or a livelock, on a transition
// system, with the verdict, the warnings and the replayed trace, and their text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/Status.h"
#include "generation/Lts.h"
#include "generation/Progress.h"
#include "generation/StemStore.h"
#include "logic/Trace.h"

namespace quarvo::logic {

inline constexpr const char* PropertyHoldsText = "Propriété vérifiée.";
inline constexpr const char* PropertyFailsText = "Propriété non vérifiée.";
inline constexpr const char* NoDeadlockText = "Aucun blocage.";
inline constexpr const char* NoLivelockText = "Aucune boucle interne.";
inline constexpr const char* TraceReplayFailedText =
    "Erreur interne : la trace trouvée ne se rejoue pas sur le système ; elle n'est pas montrée.";

// The system as the logic reads it: the interleaving view with the hidden
// actions under their own names, and the number of each state in the store.
struct ActionSystem {
    Lts lts;
    std::vector<std::int32_t> numbers;
};
ActionSystem ActionSystemOf(const StemStore& store);

struct VerifyResult {
    Status status;          // the formula is malformed (its message gives the column)
    bool stopped = false;   // the caller stopped the evaluation
    bool holds = false;     // at the initial state
    std::vector<std::string> warnings;  // actions the formula names that no arc carries
    // The run that shows the verdict, when it has one, replayed on the system.
    std::optional<Trace> trace;
    bool replayFailed = false;  // a trace was found that did not replay: not shown
};

// Parses, checks and evaluates text on the system.
VerifyResult Verify(std::string_view text, const Lts& lts, Progress* progress = nullptr);

// The warnings, "Propriété vérifiée." or "Propriété non vérifiée.", then the trace.
std::vector<std::string> VerifyLines(const VerifyResult& result, const ActionSystem& system);

enum class Search { Deadlock, Livelock };

struct SearchOutcome {
    bool found = false;
    std::optional<Trace> trace;
    bool replayFailed = false;
};
SearchOutcome RunSearch(Search search, const Lts& lts);

// "Aucun blocage." / "Aucune boucle interne.", or what was found and its trace.
std::vector<std::string> SearchLines(Search search, const SearchOutcome& outcome, const ActionSystem& system);

}  // namespace quarvo::logic
