// The STEM store: states with their maximal events and their outgoing arcs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "frontend/SyntaxTree.h"
#include "generation/ActionTable.h"
#include "generation/EventSet.h"

namespace quarvo {

// One transition.
struct TStemArc {
    EventSet Causes;          // the events whose end this occurrence waits for
    std::int32_t Event = 0;   // 1..30, or -1 when every name was in use
    ActionId Action = 0;      // "I" for an internal step, "I_a" for a hidden a
    std::int32_t Target = 0;  // Number of the target state
};

// One state.
struct TStemState {
    EventSet Events;             // maximal events
    std::vector<TStemArc> Arcs;  // outgoing transitions, newest first
    std::int32_t Number = 0;
};

// The current STEM. A generated STEM keeps the compilation its terms came
// from alive; a STEM read from a file has none.
class StemStore {
public:
    std::shared_ptr<const Compilation> compilation;
    std::vector<TStemState> StateList;  // in list order (ascending Number after a generation)
    std::int32_t StemStateCount = 0;
    std::int32_t LastGenStateCount = 0;
    ActionTable actions;

    bool Empty() const { return StateList.empty(); }

    // Empties the state list; the action table is kept.
    void FreeStates();

    // Appends a state with that number and a copy of events.
    TStemState& AppendState(std::int32_t number, const EventSet& events);

    // Links an arc at the front of the state's arcs; an action "$" is stored as "I".
    void AddArc(TStemState& state, EventSet causes, std::int32_t event, ActionId action, std::int32_t target);

    // The first state of the list with that number, or null.
    const TStemState* FindState(std::int32_t number) const;
    // Position in StateList of the first state with that number, or -1.
    std::int64_t IndexOf(std::int32_t number) const;

    // Arcs over all states.
    std::int64_t ArcCount() const;

    ActionId Intern(const Identifier32& name) { return actions.Intern(name); }
    ActionId Intern(const char* text) { return actions.Intern(Identifier32::FromText(text)); }

private:
    std::unordered_map<std::int32_t, std::int64_t> byNumber_;
};

// "Etat 12" or "12".
std::string StateLabel(std::int32_t number, bool withWord);

}  // namespace quarvo
