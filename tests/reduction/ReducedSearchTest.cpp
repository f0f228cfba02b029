// The searches with stubborn sets against the whole space: on every example
// and on random specifications, the same deadlock verdict, a trace that is a
// run of the whole system to a deadlock, and the same verdict for random
// formulas [R] false, on one thread and by levels on several.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <random>

#include "../generation/GenerationTestSupport.h"
#include "../generation/ReferenceSemantics.h"
#include "generation/reduction/ReducedSearch.h"
#include "logic/ReducedSearches.h"
#include "logic/SafetyMonitor.h"
#include "logic/Parser.h"
#include "logic/Searches.h"
#include "logic/Verification.h"

namespace quarvo {
namespace {

// Cyclic processes over the gates A, B, C, D composed in a random
// structure: the family where deadlocks are rarer and reductions larger.
std::string CyclicSpecification(std::mt19937& rng) {
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const char* actions[] = {"A", "B", "C", "D", "I"};
    const int count = 2 + pick(3);
    std::string processes;
    std::vector<std::string> operands;
    for (int p = 0; p < count; ++p) {
        const std::string name = "P" + std::to_string(p);
        auto sequence = [&] {
            std::string seq;
            for (int n = 1 + pick(3); n > 0; --n) seq += std::string(actions[pick(5)]) + "; ";
            return seq + name + " [A, B, C, D]";
        };
        std::string body = sequence();
        if (pick(2)) body = "(" + body + ")\n  [] (" + sequence() + ")";
        processes += "PROCESS " + name + " [A, B, C, D] :=\n  " + body + "\nENDPROC\n";
        operands.push_back(name + " [A, B, C, D]");
    }
    const char* operators[] = {" ||| ", " ||| ", " |[A]| ", " |[A, B]| ", " |[C]| ", " || "};
    std::string root = operands[0];
    for (std::size_t i = 1; i < operands.size(); ++i) {
        root = "(" + root + ")\n" + operators[pick(6)] + operands[i];
        if (pick(4) == 0) root = "HIDE " + std::string(actions[pick(4)]) + " IN (" + root + ")";
    }
    return "SYSTEM S [A, B, C, D] :=\n" + root + "\nWHERE\n" + processes + "ENDSYS";
}

// A random formula [R] false over the actions of the random specifications.
std::string RandomSafetyFormula(std::mt19937& rng) {
    const char* atoms[] = {"A", "B", "C", "D", "tau", "true", "not A", "not (B or C)", "A or C", "delta", "I_A"};
    std::function<std::string(int)> regular = [&](int depth) -> std::string {
        const unsigned choice = depth <= 0 ? 0 : rng() % 6;
        switch (choice) {
        case 0:
        case 1: return atoms[rng() % std::size(atoms)];
        case 2:
        case 3: return "(" + regular(depth - 1) + " . " + regular(depth - 1) + ")";
        case 4: return "(" + regular(depth - 1) + " | " + regular(depth - 1) + ")";
        default: return "(" + regular(depth - 1) + ")*";
        }
    };
    // Most properties of interest start anywhere.
    return std::string("[") + (rng() % 4 ? "true* . " : "") + regular(3) + "] false";
}

std::string TraceText(const std::vector<SearchStep>& trace) {
    std::string text;
    for (const SearchStep& step : trace)
        text += std::to_string(step.from) + " -" + step.action + "-> " + std::to_string(step.to) + "\n";
    return text;
}

struct Tally {
    int compared = 0, deadlocks = 0, reducedSmaller = 0, formulas = 0, violated = 0;
};

// The deadlock verdict of the whole space, by the term engine and the logic's
// breadth-first search; false in complete when the space is past bound.
bool WholeSpaceDeadlock(const test::Generated& g, bool& complete) {
    complete = !g.result.stoppedByBound && !g.result.stoppedByMemory && !g.result.interrupted;
    const logic::ActionSystem system = logic::ActionSystemOf(g.store);
    return logic::FindDeadlock(system.lts).trace.has_value();
}

void Compare(const std::string& text, std::int64_t bound, std::mt19937& rng, int formulas, Tally& tally) {
    GenerationSettings settings = test::Interleaving();
    settings.termsOnly = true;
    settings.threads = 1;
    settings.maxStates = bound;
    // Some random recursions grow their terms without end: given up.
    settings.memoryLimit = std::int64_t{256} << 20;
    const auto whole = test::GenerateText(text, settings);
    bool complete = false;
    const bool deadlock = WholeSpaceDeadlock(*whole, complete);
    if (!complete) return;
    std::shared_ptr<const Compilation> compilation = whole->compilation;
    bool ran = false;
    for (const bool reduce : {true, false})
        for (const bool breadthFirst : {false, true}) {
            // The one-thread search: depth first, its count is the whole
            // reduced space's when it finds no deadlock, whatever the
            // threads; breadth first, its count and trace are every thread count's.
            SearchOutcomeOnVectors one;
            for (const unsigned threads : {1u, 2u, 7u}) {
                SearchSettings s;
                s.reduce = reduce;
                s.breadthFirst = breadthFirst;
                s.threads = threads;
                s.soloStates = 0;  // on every thread from the start, however small the space
                s.maxStates = 100000;
                const SearchOutcomeOnVectors r = SearchOnVectors(compilation, s);
                if (!r.ran) return;  // no parallel structure at the root: the whole space is searched
                ran = true;
                const std::string how = std::string(reduce ? "réduite" : "entière") +
                                        (breadthFirst ? ", en largeur, " : ", en profondeur, ") +
                                        std::to_string(threads) + " fils";
                ASSERT_FALSE(r.stoppedByBound || r.stoppedByMemory || r.interrupted) << how << "\n" << text;
                ASSERT_EQ(r.found, deadlock) << how << "\n" << text;
                if (r.found) {
                    ASSERT_TRUE(r.replayed) << how << "\n" << text;
                    // A run of the search: each step leaves the state the previous one reached.
                    for (std::size_t i = 0; i < r.trace.size(); ++i)
                        ASSERT_EQ(r.trace[i].from, i == 0 ? 0 : r.trace[i - 1].to) << how << "\n" << text;
                }
                ASSERT_LE(r.explored, static_cast<std::int64_t>(whole->store.StateCount())) << how << "\n" << text;
                if (threads == 1) one = r;
                if (!deadlock || breadthFirst) {
                    ASSERT_EQ(r.explored, one.explored) << how << "\n" << text;
                }
                if (breadthFirst) {
                    ASSERT_EQ(TraceText(r.trace), TraceText(one.trace)) << how << "\n" << text;
                }
                if (reduce && !breadthFirst && threads == 1 && !deadlock &&
                    r.explored < static_cast<std::int64_t>(whole->store.StateCount()))
                    ++tally.reducedSmaller;
            }
            if (reduce && !breadthFirst) {
                // A search this small stays on one thread whatever is asked: the same answer each time.
                SearchSettings s;
                s.threads = 7;
                s.maxStates = 100000;
                const SearchOutcomeOnVectors r = SearchOnVectors(compilation, s);
                ASSERT_EQ(r.explored, one.explored) << text;
                ASSERT_EQ(TraceText(r.trace), TraceText(one.trace)) << text;
            }
        }
    if (!ran) return;
    ++tally.compared;
    tally.deadlocks += deadlock ? 1 : 0;
    const logic::ActionSystem system = logic::ActionSystemOf(whole->store);
    for (int f = 0; f < formulas; ++f) {
        const std::string formula = RandomSafetyFormula(rng);
        const logic::VerifyResult expected = logic::Verify(formula, system.lts);
        ASSERT_TRUE(expected.status.ok()) << formula;
        // Depth first on one thread; by levels on two and three threads, the
        // count and trace the same on both; on seven, a search this small
        // stays on one thread and answers as it does.
        logic::SafetyCheck one;
        std::string levelsTrace;
        std::int64_t levelsExplored = -1;
        for (const unsigned threads : {1u, 2u, 3u, 7u}) {
            SearchSettings s;
            s.maxStates = 100000;
            s.threads = threads;
            if (threads == 2 || threads == 3) s.soloStates = 0;
            const logic::SafetyCheck check = logic::CheckSafety(formula, compilation, s);
            const std::string how = formula + ", " + std::to_string(threads) + " fils\n" + text;
            ASSERT_TRUE(check.applies) << how;
            ASSERT_FALSE(check.search.stoppedByBound || check.search.stoppedByMemory) << how;
            ASSERT_EQ(check.holds, expected.holds) << how;
            // The actions the components may offer include every one the arcs
            // carry: no action is said missing that the whole space has.
            for (const std::string& warning : check.warnings) {
                const std::string said = warning.substr(0, warning.find(" dans le système"));
                EXPECT_TRUE(std::any_of(expected.warnings.begin(), expected.warnings.end(),
                                        [&](const std::string& w) { return w.rfind(said, 0) == 0; }))
                    << warning << "\n" << how;
            }
            if (!check.holds) {
                ASSERT_TRUE(check.search.replayed && check.traceAccepted) << how;
                for (std::size_t i = 0; i < check.search.trace.size(); ++i)
                    ASSERT_EQ(check.search.trace[i].from, i == 0 ? 0 : check.search.trace[i - 1].to) << how;
            }
            if (threads == 1) one = check;
            if (threads == 2) {
                levelsTrace = TraceText(check.search.trace);
                levelsExplored = check.search.explored;
            }
            if (threads == 3) {
                ASSERT_EQ(check.search.explored, levelsExplored) << how;
                ASSERT_EQ(TraceText(check.search.trace), levelsTrace) << how;
            }
            if (threads == 7 && one.search.explored < SearchSettings{}.soloStates) {
                ASSERT_EQ(check.search.explored, one.search.explored) << how;
                ASSERT_EQ(TraceText(check.search.trace), TraceText(one.search.trace)) << how;
            }
        }
        if (!one.holds) ++tally.violated;
        ++tally.formulas;
    }
}

TEST(ReducedSearch, ExamplesKeepTheWholeSpacesVerdicts) {
    std::mt19937 rng(34);
    Tally tally;
    for (const std::string& text : test::ExampleTexts()) Compare(text, 0, rng, 10, tally);
    EXPECT_GE(tally.compared, 3);
}

TEST(ReducedSearch, RandomSpecificationsKeepTheWholeSpacesVerdicts) {
    std::mt19937 rng(20261210);
    Tally tally;
    for (int i = 0; i < 400 && !HasFatalFailure(); ++i) Compare(test::StructuredSpecification(rng), 400, rng, 3, tally);
    for (int i = 0; i < 200 && !HasFatalFailure(); ++i) Compare(CyclicSpecification(rng), 0, rng, 3, tally);
    std::cout << tally.compared << " comparées, " << tally.deadlocks << " blocages, " << tally.reducedSmaller
              << " réduites, " << tally.formulas << " formules, " << tally.violated << " violées\n";
    // Enough of both verdicts, and of reductions, for the comparison to mean something.
    EXPECT_GE(tally.compared, 500);
    EXPECT_GE(tally.deadlocks, 50);
    EXPECT_GE(tally.compared - tally.deadlocks, 50);
    EXPECT_GE(tally.reducedSmaller, 20);
    EXPECT_GE(tally.formulas, 1500);
    EXPECT_GE(tally.violated, 150);
    EXPECT_GE(tally.formulas - tally.violated, 150);
}

// n processes A_i; B_i; exit side by side: 3^n states and no deadlock.
std::string IndependentProcesses(int n) {
    std::string gates, root;
    for (int i = 0; i < n; ++i) {
        const std::string a = "A" + std::to_string(i), b = "B" + std::to_string(i);
        gates += (i ? ", " : "") + a + ", " + b;
        root += std::string(i ? "\n||| " : "") + "(" + a + "; " + b + "; EXIT)";
    }
    return "SYSTEM S [" + gates + "] :=\n" + root + "\nENDSYS";
}

std::shared_ptr<const Compilation> Compile(const std::string& text) {
    const test::Compiled c = test::CompileText(text);
    EXPECT_TRUE(c.ok()) << text;
    return c.outcome.compilation;
}

class StopAtOnce : public Progress {
public:
    bool StopRequested() override { return true; }
};

// The whole space of 12 independent processes searched without reduction
// (531442 states), depth first, breadth first and beside the monitor of a
// formula that holds (by levels on several threads), stopped short by each
// of the bound, the memory limit and the caller: every thread stops, no
// state is counted past the bound (by levels, past the successors of the
// state that reached it), and no verdict is given.
TEST(ReducedSearch, EveryThreadStopsAtTheBoundTheMemoryLimitAndTheCallersRequest) {
    const std::shared_ptr<const Compilation> compilation = Compile(IndependentProcesses(12));
    ASSERT_TRUE(compilation);
    enum class Kind { DepthFirst, BreadthFirst, Monitor };
    for (const Kind kind : {Kind::DepthFirst, Kind::BreadthFirst, Kind::Monitor}) {
        for (const unsigned threads : {1u, 2u, 7u}) {
            SearchSettings s;
            s.reduce = false;
            s.breadthFirst = kind == Kind::BreadthFirst;
            s.threads = threads;
            s.soloStates = 0;
            auto search = [&](Progress* progress) {
                if (kind != Kind::Monitor) return SearchOnVectors(compilation, s, nullptr, progress);
                const logic::SafetyCheck check = logic::CheckSafety("[true* . A0 . A0] false", compilation, s, progress);
                EXPECT_TRUE(check.applies);
                return check.search;
            };
            const bool levels = kind == Kind::BreadthFirst || (kind == Kind::Monitor && threads > 1);
            const std::string how = std::to_string(static_cast<int>(kind)) + ", " + std::to_string(threads) + " fils";
            s.maxStates = 5000;
            const SearchOutcomeOnVectors bound = search(nullptr);
            EXPECT_TRUE(bound.stoppedByBound && !bound.found) << how;
            // By levels, the successors of the state that reached the bound are counted.
            EXPECT_GE(bound.explored, 5000) << how;
            EXPECT_LE(bound.explored, levels ? 5024 : 5000) << how;

            s.maxStates = 0;
            s.memoryLimit = std::int64_t{1} << 20;
            const SearchOutcomeOnVectors memory = search(nullptr);
            EXPECT_TRUE(memory.stoppedByMemory && !memory.found) << how;
            EXPECT_LT(memory.explored, 531441) << how;

            s.memoryLimit = 0;
            StopAtOnce stop;
            const SearchOutcomeOnVectors stopped = search(&stop);
            EXPECT_TRUE(stopped.interrupted && !stopped.found) << how;
            EXPECT_LT(stopped.explored, 531441) << how;
        }
    }
}

// With reduction, the independent processes explore one interleaving (two
// states per process and the end), on any number of threads, and beside a
// monitor by levels a few more (the states where a visible action is
// followed with all the others); a deadlock behind them is found by each
// thread count, its trace replayed; whole, breadth first or depth first
// past the lone thread's start, every state is met once whatever thread holds it.
TEST(ReducedSearch, ThreadsShareOneReducedSpace) {
    const std::shared_ptr<const Compilation> free = Compile(IndependentProcesses(30));
    const std::shared_ptr<const Compilation> blocked =
        Compile("SYSTEM S [A, B, C] :=\n(A; B; C; NIL)\n|[C]|\n(A; B; NIL)\nENDSYS");
    const std::shared_ptr<const Compilation> wide = Compile(IndependentProcesses(8));
    const std::shared_ptr<const Compilation> larger = Compile(IndependentProcesses(9));
    ASSERT_TRUE(free && blocked && wide && larger);
    for (const unsigned threads : {1u, 2u, 7u}) {
        SearchSettings s;
        s.threads = threads;
        s.soloStates = 0;
        const SearchOutcomeOnVectors none = SearchOnVectors(free, s);
        EXPECT_FALSE(none.found) << threads;
        EXPECT_EQ(none.explored, 62) << threads;
        const SearchOutcomeOnVectors found = SearchOnVectors(blocked, s);
        EXPECT_TRUE(found.found && found.replayed) << threads;
        EXPECT_EQ(found.trace.size(), 4u) << threads;
        // Breadth first and whole, the levels are wide enough for every thread.
        s.breadthFirst = true;
        s.reduce = false;
        const SearchOutcomeOnVectors levels = SearchOnVectors(wide, s);
        EXPECT_FALSE(levels.found) << threads;
        EXPECT_EQ(levels.explored, 6562) << threads;
        // Depth first past the states one thread takes alone: made again on every thread.
        s.breadthFirst = false;
        s.soloStates = SearchSettings{}.soloStates;
        ASSERT_LT(s.soloStates, 19684);
        const SearchOutcomeOnVectors restarted = SearchOnVectors(larger, s);
        EXPECT_FALSE(restarted.found || restarted.stoppedByBound || restarted.stoppedByMemory) << threads;
        EXPECT_EQ(restarted.explored, 19684) << threads;
        // Beside a monitor, from the start on every thread.
        SearchSettings watched;
        watched.threads = threads;
        watched.soloStates = 0;
        const logic::SafetyCheck holds = logic::CheckSafety("[true* . A0 . (not B0)* . A0] false", free, watched);
        EXPECT_TRUE(holds.holds) << threads;
        EXPECT_LE(holds.search.explored, 200) << threads;
        const logic::SafetyCheck fails = logic::CheckSafety("[true* . B29 . (not A0)* . B0] false", free, watched);
        EXPECT_FALSE(fails.holds) << threads;
        EXPECT_TRUE(fails.search.replayed && fails.traceAccepted) << threads;
        EXPECT_LE(fails.search.explored, 200) << threads;
    }
}

// Which actions a formula's automaton watches: an action that changes its
// state somewhere is visible, whatever else it is.
TEST(SafetyMonitor, VisibleActionsAreThoseThatMoveTheAutomaton) {
    struct Case {
        const char* formula;
        std::vector<std::string> visible, invisible;
    };
    const std::vector<Case> cases = {
        {"[true* . A . (not B)* . A] false", {"A", "B"}, {"C", "I", "I_A", "delta"}},
        // Right after A, any action breaks the word: all are visible.
        {"[A . B] false", {"A", "B", "C", "I"}, {}},
        {"[true* . tau] false", {"I", "I_B"}, {"A", "delta"}},
        {"[(not A)* . A] false", {"A"}, {"B", "I"}},
    };
    for (const Case& c : cases) {
        const logic::ParseResult parsed = logic::ParseFormula(c.formula);
        ASSERT_TRUE(parsed.status.ok()) << c.formula;
        const std::optional<std::int32_t> regular = logic::SafetyRegular(parsed.formula);
        ASSERT_TRUE(regular.has_value()) << c.formula;
        logic::SafetyMonitor monitor(parsed.formula, *regular);
        for (const std::string& a : c.visible) EXPECT_TRUE(monitor.VisibleName(a)) << c.formula << " " << a;
        for (const std::string& a : c.invisible) EXPECT_FALSE(monitor.VisibleName(a)) << c.formula << " " << a;
    }
    for (const char* other : {"[A] true", "<A> false", "[A] (false and true)", "not <A> true"}) {
        const logic::ParseResult parsed = logic::ParseFormula(other);
        ASSERT_TRUE(parsed.status.ok()) << other;
        EXPECT_FALSE(logic::SafetyRegular(parsed.formula).has_value()) << other;
    }
}

// The automaton run on names: a word of R ends in a forbidden state, and a
// run that can no longer match is given up.
TEST(SafetyMonitor, FollowsTheWordsOfTheFormula) {
    const logic::ParseResult parsed = logic::ParseFormula("[A . (not B)* . C] false");
    ASSERT_TRUE(parsed.status.ok());
    logic::SafetyMonitor monitor(parsed.formula, *logic::SafetyRegular(parsed.formula));
    auto run = [&](const std::vector<std::string>& word) {
        std::uint32_t at = monitor.Start();
        for (const std::string& a : word) at = monitor.StepName(at, a);
        return at;
    };
    EXPECT_TRUE(monitor.Violated(run({"A", "I", "A", "C"})));
    EXPECT_FALSE(monitor.Violated(run({"A", "B", "C"})));
    EXPECT_TRUE(monitor.Hopeless(run({"B"})));
    EXPECT_FALSE(monitor.Hopeless(run({"A", "A"})));
}

// The figures said after a search.
TEST(ReducedSearch, AnswersEndWithTheExploredStates) {
    SearchOutcomeOnVectors none;
    none.ran = true;
    none.explored = 82;
    none.reduced = true;
    EXPECT_EQ(logic::DeadlockLines(none),
              (std::vector<std::string>{"Aucun blocage.", "États explorés : 82. (réduction par ordre partiel)"}));
    SearchOutcomeOnVectors found = none;
    found.found = true;
    found.replayed = true;
    found.reduced = false;
    found.explored = 3;
    found.trace = {SearchStep{0, 1, "A", 0}, SearchStep{1, 2, "I", 1}};
    EXPECT_EQ(logic::DeadlockLines(found),
              (std::vector<std::string>{"Blocage : l'état 2 n'a aucun successeur.", "Trace (2 transitions) :",
                                        "  0 -A-> 1", "  1 -I-> 2", "États explorés : 3."}));
    found.replayed = false;
    EXPECT_EQ(logic::DeadlockLines(found)[0], logic::TraceReplayFailedText);
}

}  // namespace
}  // namespace quarvo
