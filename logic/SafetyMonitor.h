// A formula [R] false (no run whose actions form a word of R) as the
// deterministic automaton a search runs beside the system.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "generation/reduction/ReducedSearch.h"
#include "logic/Formula.h"

namespace quarvo::logic {

// The regular formula R of a checked formula [R] false, if it has that form.
std::optional<std::int32_t> SafetyRegular(const Formula& formula);

// The automaton of R made deterministic over the classes of actions its
// action formulas tell apart (each name the formula uses, any other
// internal action, any other visible one), built whole at once and
// minimised. An action is visible when it changes the automaton's state somewhere.
class SafetyMonitor : public RunMonitor {
public:
    SafetyMonitor(const Formula& formula, std::int32_t regular);

    std::uint32_t Start() override { return 0; }
    std::uint32_t Step(std::uint32_t state, ActionId action, const ActionTable& actions) override;
    bool Violated(std::uint32_t state) const override { return accepting_[state] != 0; }
    bool Hopeless(std::uint32_t state) const override { return hopeless_[state] != 0; }
    bool Visible(ActionId action, const ActionTable& actions) override;

    // The same on names, for the tests.
    std::uint32_t StepName(std::uint32_t state, const std::string& name) {
        return next_[state * classes_.size() + ClassOfName(name)];
    }
    bool VisibleName(const std::string& name) { return visible_[ClassOfName(name)] != 0; }

private:
    std::vector<char> Signature(const std::string& name) const;
    void Minimise(std::uint32_t count);
    std::uint32_t ClassOfName(const std::string& name);
    std::uint32_t ClassOf(ActionId action, const ActionTable& actions);

    const Formula& formula_;
    std::vector<std::vector<char>> classes_;          // the signature of each class
    std::vector<std::uint32_t> next_;                 // per state and class
    std::vector<char> accepting_;                     // per state
    std::vector<char> visible_;                       // per class
    std::vector<char> hopeless_;                      // per state: no forbidden state reachable
    std::vector<std::int32_t> classOfAction_;         // per action, -1 unknown
};

}  // namespace quarvo::logic
