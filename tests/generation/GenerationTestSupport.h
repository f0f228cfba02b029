// Helpers of the generation tests: compile and generate a text, and read the result back.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "../frontend/FrontendTestSupport.h"
#include "generation/Generator.h"
#include "frontend/TextFile.h"
#include "generation/StemWriter.h"

namespace quarvo::test {

// The text of a file, its lines joined.
inline std::string FileText(const std::string& path) {
    const TextFileResult file = ReadTextFile(path);
    std::string text;
    for (const std::string& line : file.lines) text += line + "\n";
    return text;
}

// The text of one example specification of the repository (examples/name).
inline std::string ExampleText(const std::string& name) {
    return FileText(std::string(QUARVO_SOURCE_DIR) + "/examples/" + name);
}

// The text of every example specification of the repository (examples/*.LOT).
inline std::vector<std::string> ExampleTexts() {
    std::vector<std::string> texts;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(QUARVO_SOURCE_DIR) + "/examples"))
        if (entry.path().extension() == ".LOT") texts.push_back(FileText(entry.path().string()));
    EXPECT_GE(texts.size(), 4u);
    return texts;
}

struct Generated {
    std::shared_ptr<Compilation> compilation;
    StemStore store;
    std::vector<std::string> messages;
    GenerationResult result;

    std::string Text() const { return ClassicStemText(store, store.StemStateCount); }
    StateView State(int n) const {
        if (n < 0 || static_cast<std::size_t>(n) >= store.StateCount()) throw std::out_of_range("no such state");
        return store.State(static_cast<std::size_t>(n));
    }
    std::string Action(const ArcView& a) const { return store.actions.Text(a.Action); }
    std::string Set(const EventSet& s) const { return EventSetText(s, store.actions); }
    std::string Set(EventSetRef s) const { return EventSetText(s, store.actions); }
    // The arcs of a state in discovery order, as "causes action:event -> target".
    std::vector<std::string> Arcs(int n) const {
        std::vector<std::string> out;
        const ArcRange arcs = State(n).Arcs;
        for (auto it = arcs.rbegin(); it != arcs.rend(); ++it)
            out.push_back(Set(it->Causes) + " " + Action(*it) + ":" + std::to_string(it->Event) + " -> " +
                          std::to_string(it->Target));
        return out;
    }
    // The arcs of a state in discovery order, as "causes action:event", without targets.
    std::vector<std::string> Labels(int n) const {
        std::vector<std::string> out;
        for (const std::string& arc : Arcs(n)) out.push_back(arc.substr(0, arc.find(" -> ")));
        return out;
    }
    // Targets of a state's arcs in discovery order.
    std::vector<int> Targets(int n) const {
        std::vector<int> out;
        const ArcRange arcs = State(n).Arcs;
        for (auto it = arcs.rbegin(); it != arcs.rend(); ++it) out.push_back(it->Target);
        return out;
    }
    // The actions of a state's arcs in discovery order.
    std::vector<std::string> Actions(int n) const {
        std::vector<std::string> out;
        const ArcRange arcs = State(n).Arcs;
        for (auto it = arcs.rbegin(); it != arcs.rend(); ++it) out.push_back(Action(*it));
        return out;
    }
    // Target of the first arc of state n labelled action (discovery order), or -1.
    int After(int n, const std::string& action) const {
        const ArcRange arcs = State(n).Arcs;
        for (auto it = arcs.rbegin(); it != arcs.rend(); ++it)
            if (Action(*it) == action) return it->Target;
        return -1;
    }
};

inline std::unique_ptr<Generated> GenerateText(const std::string& text, GenerationSettings settings = {}) {
    auto g = std::make_unique<Generated>();
    Compiled c = CompileText(text);
    EXPECT_TRUE(c.ok()) << text << "\n" << (c.messages.size() > 1 ? c.messages[1] : "");
    g->compilation = c.outcome.compilation;
    g->result = GenerateStem(g->compilation, settings, g->store);
    g->messages = GenerationSummaryLines(g->result);
    return g;
}

// Each identity mode (maximality, with CPBR, interleaving) under a bound (0
// for none), with collections frequent enough that terms carried from one
// engine to another are collected too.
inline std::vector<GenerationSettings> Modes(std::int64_t bound) {
    std::vector<GenerationSettings> all;
    for (int mode = 0; mode < 3; ++mode) {
        GenerationSettings s;
        s.cpbrOff = mode != 1;
        if (mode == 2) s.semantics = Semantics::Interleaving;
        s.maxStates = bound;
        s.collectionThreshold = 64;
        all.push_back(s);
    }
    return all;
}

inline GenerationSettings Interleaving() {
    GenerationSettings s;
    s.semantics = Semantics::Interleaving;
    return s;
}

inline GenerationSettings Cpbr() {
    GenerationSettings s;
    s.cpbrOff = false;
    return s;
}

// Every arc waits only for events that are maximal in its source state.
inline void ExpectCausesAreMaximal(const Generated& g) {
    for (const StateView s : g.store.States())
        for (const ArcView a : s.Arcs)
            for (const TEventEntry& c : a.Causes)
                EXPECT_TRUE(std::find(s.Events.begin(), s.Events.end(), c) != s.Events.end())
                    << "state " << s.Number << " arc " << g.Action(a) << " cause " << c.Event;
}

}  // namespace quarvo::test
