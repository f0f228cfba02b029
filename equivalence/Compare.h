// Comparing two transition systems under an equivalence, and why they differ.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "equivalence/Equivalence.h"

namespace quarvo {

// What tells two systems apart.
enum class DistinctionKind {
    // After the trace but its last action, one system can do that action and
    // the other cannot (in the states the formula follows).
    Step,
    // After the trace, one system (the first when traceOfFirst) can perform
    // an endless run of internal actions and the other cannot.
    Divergence,
    // The systems are weakly bisimilar: only the states their internal
    // actions pass through differ (branching bisimulation).
    InternalStates,
    // No explanation: the systems are too large for it.
    TooLarge,
};

// Why two systems are not equivalent.
struct Distinction {
    DistinctionKind kind = DistinctionKind::Step;
    // A Hennessy–Milner formula true of the first system and false of the
    // second (empty under trace equivalence), as written in the help:
    // "<A>[B]false", weak modalities "<<A>>", ...
    std::string formula;
    // The actions from the initial states to the point where they part (under
    // traces: the shortest trace one has and the other has not).
    std::vector<std::string> trace;
    // Which system can perform the whole trace: true the first, false the second.
    bool traceOfFirst = true;
    // The numbers of the first system's states along the longest prefix of the
    // trace it can follow, from its initial state (for drawing the trace).
    std::vector<std::int32_t> firstPath;
};

struct CompareResult {
    Status status;          // a failure: memory ran out
    bool stopped = false;   // the caller stopped it
    bool equivalent = false;
    Distinction why;        // when not equivalent
};

// memoryLimit: the most memory the comparison may hold, in bytes (0 for the
// machine's memory only; see MemoryWatch); past it, the weak saturation is not
// built and the search for a distinguishing trace stops, with a failure that
// says so.
CompareResult CompareStems(const StemStore& first, const StemStore& second, Equivalence equivalence,
                           Progress* progress = nullptr, std::int64_t memoryLimit = 0);

// The French name of an equivalence: "bissimulation forte", ...
std::string EquivalenceName(Equivalence equivalence);

// "Équivalents." or "Non équivalents.", then the reason, line by line.
std::vector<std::string> CompareLines(const CompareResult& result, Equivalence equivalence);

// The lines a user reads: the same, the second naming both systems
// ("Premier système : « a.aut » ; second système : « b.LOT »."; firstName and
// secondName as given), and, after a distinguishing formula, the formula in
// words along its trace ("Autrement dit : après SEND puis RECV, le premier
// système peut encore faire RECV ; le second ne le peut pas.").
std::vector<std::string> CompareLines(const CompareResult& result, Equivalence equivalence,
                                      const std::string& firstName, const std::string& secondName);

}  // namespace quarvo
