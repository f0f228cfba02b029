// Shared helpers of the CTL tests: compiling a formula text, building small and random STEMs.
#pragma once

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "ctl/CtlParser.h"
#include "ctl/Formula.h"
#include "generation/StemStore.h"

namespace quarvo::test {

inline const PrecedenceTable& CommittedPrecedence() {
    static const PrecedenceTableResult loaded =
        LoadPrecedenceTableFile(std::string(QUARVO_SOURCE_DIR) + "/tables/Preced.tab");
    return loaded.table;
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

// Compiles text, one line per text line, with the committed table.
inline FormulaCompileResult Compile(const std::string& text) {
    std::vector<std::string> lines = Lines(text);
    VectorLineSource source(lines);
    return CompileFormula(source, CommittedPrecedence());
}

inline std::string RootText(const FormulaCompileResult& r) { return FormulaText(r.formula, r.formula.MainFormula); }

// A state to build: its number, the actions of its maximal events, the numbers its arcs lead to.
struct StateSpec {
    std::int32_t number;
    std::vector<std::string> actions;
    std::vector<std::int32_t> targets;  // in the order of the arc list
};

inline StemStore MakeStem(const std::vector<StateSpec>& specs) {
    StemStore store;
    for (const StateSpec& spec : specs) {
        EventSet events;
        std::int32_t event = 1;
        for (const std::string& action : spec.actions)
            events.push_back(TEventEntry{event++, store.Intern(action.c_str())});
        store.AppendState(spec.number, events);
        // The arcs are read newest first: given in the reverse order, they are
        // read in the order the test lists them.
        std::vector<TStemArc> found;
        for (auto it = spec.targets.rbegin(); it != spec.targets.rend(); ++it)
            found.push_back({*it, store.Intern("A"), 1, EmptyEventSet});
        store.SetArcs(store.StateCount() - 1, found);
    }
    store.StemStateCount = static_cast<std::int32_t>(specs.size());
    return store;
}

// A random STEM with deadlocks, cycles and self-loops; its states carry
// maximal events of the actions P, Q and R. When shuffled, the numbers are
// spread out and the list is not in ascending order.
inline std::vector<StateSpec> RandomStem(std::mt19937& rng, int states, bool shuffled) {
    std::vector<std::int32_t> numbers(static_cast<std::size_t>(states));
    for (int i = 0; i < states; ++i) numbers[static_cast<std::size_t>(i)] = shuffled ? i * 3 : i;
    if (shuffled) std::shuffle(numbers.begin(), numbers.end(), rng);
    std::uniform_int_distribution<int> pick(0, states - 1);
    std::uniform_int_distribution<int> small(0, 3);
    const char* const actions[] = {"P", "Q", "R"};
    std::vector<StateSpec> specs;
    for (int i = 0; i < states; ++i) {
        StateSpec spec{numbers[static_cast<std::size_t>(i)], {}, {}};
        for (int e = small(rng); e > 0; --e) spec.actions.push_back(actions[small(rng) % 3]);
        // About one state in four is a deadlock.
        const int arcs = small(rng) == 0 ? 0 : 1 + small(rng);
        for (int a = 0; a < arcs; ++a) spec.targets.push_back(numbers[static_cast<std::size_t>(pick(rng))]);
        specs.push_back(spec);
    }
    return specs;
}

}  // namespace quarvo::test
