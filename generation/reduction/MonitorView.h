// A monitor as one thread of a search asks it.
#pragma once

#include <cstdint>
#include <vector>

#include "generation/SharedTables.h"
#include "generation/reduction/SearchSettings.h"

namespace quarvo::reduction {

// Keeps what the monitor answered, per action and state of the automaton,
// so that the threads of a search seldom ask it: it is asked while no
// action is interned (it reads the names), one thread at a time.
class MonitorView {
public:
    MonitorView(RunMonitor* monitor, SharedNames& names) : monitor_(monitor), names_(names) {}

    std::uint32_t Step(std::uint32_t state, ActionId action) {
        if (action >= steps_.size()) steps_.resize(action + 1);
        std::vector<std::uint32_t>& row = steps_[action];
        if (state >= row.size()) row.resize(state + 1, Unknown);
        if (row[state] == Unknown)
            row[state] = names_.ReadActions(
                [&](const ActionTable& actions) { return monitor_->Step(state, action, actions); });
        return row[state];
    }
    bool Visible(ActionId action) {
        if (action >= visible_.size()) visible_.resize(action + 1, -1);
        if (visible_[action] < 0)
            visible_[action] = names_.ReadActions(
                [&](const ActionTable& actions) { return monitor_->Visible(action, actions); }) ? 1 : 0;
        return visible_[action] != 0;
    }
    // The automaton's own tables, never changed: read by any thread.
    bool Violated(std::uint32_t state) const { return monitor_->Violated(state); }
    bool Hopeless(std::uint32_t state) const { return monitor_->Hopeless(state); }

private:
    static constexpr std::uint32_t Unknown = ~std::uint32_t{0};
    RunMonitor* monitor_;
    SharedNames& names_;
    std::vector<std::vector<std::uint32_t>> steps_;  // per action, per state: the next state
    std::vector<std::int8_t> visible_;               // per action: -1 not asked yet
};

}  // namespace quarvo::reduction
