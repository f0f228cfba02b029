// Helpers of the STEM reader tests: reading from literal lines, a plain
// rendering of a store to compare against, and a writer of the text format.
#pragma once

#include <string>
#include <vector>

#include "generation/EventSet.h"
#include "stemio/StemReader.h"

namespace quarvo::test {

inline StemReadResult Read(const std::vector<std::string>& lines) {
    VectorLineSource source(lines);
    return ReadClassicStem(source);
}

// "{1:A}" with the action names as stored (case kept, cut at the first blank).
inline std::string SetText(const StemStore& stem, const EventSet& set) {
    std::string s = "{";
    for (std::size_t i = 0; i < set.size(); ++i) {
        if (i) s += ",";
        s += std::to_string(set[i].Event) + ":" + stem.actions.Name(set[i].Action).Text();
    }
    return s + "}";
}

// "3 {1:A} | {}B:2>4 {1:A}C:3>0": number, maximal events, then the arcs in list order.
inline std::string StateText(const StemStore& stem, const TStemState& state) {
    std::string s = std::to_string(state.Number) + " " + SetText(stem, state.Events) + " |";
    for (const TStemArc& arc : state.Arcs)
        s += " " + SetText(stem, arc.Causes) + stem.actions.Name(arc.Action).Text() + ":" +
             std::to_string(arc.Event) + ">" + std::to_string(arc.Target);
    return s;
}

// One StateText per state, in list order.
inline std::vector<std::string> StoreText(const StemStore& stem) {
    std::vector<std::string> lines;
    for (const TStemState& state : stem.StateList) lines.push_back(StateText(stem, state));
    return lines;
}

// The classic text of a store, written straight from the format's rules
// (header, one line per state with its arcs in list order, END), so that
// reading can be checked against writing without the generation module.
inline std::vector<std::string> ClassicText(const StemStore& stem) {
    auto set = [&stem](const EventSet& events) {
        std::string s = "{";
        for (std::size_t i = 0; i < events.size(); ++i) {
            if (i) s += ",";
            s += std::to_string(events[i].Event) + ":" + stem.actions.Text(events[i].Action);
        }
        return s + "}";
    };
    std::vector<std::string> lines{"BEGIN " + std::to_string(stem.StemStateCount) + ";"};
    for (const TStemState& state : stem.StateList) {
        std::string line;
        for (const TStemArc& arc : state.Arcs) {
            const TStemState* target = stem.FindState(arc.Target);
            line += set(state.Events) + std::to_string(state.Number) + "<" + set(arc.Causes) +
                    stem.actions.Text(arc.Action) + ":" + std::to_string(arc.Event) + ">" +
                    set(target->Events) + std::to_string(arc.Target) + ";";
        }
        lines.push_back(line);
    }
    lines.push_back("END");
    return lines;
}

}  // namespace quarvo::test
