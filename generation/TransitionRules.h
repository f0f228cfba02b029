// The operational rules: every transition of a term, and the term each one leads to.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "frontend/SyntaxTree.h"
#include "generation/ActionTable.h"
#include "generation/EventSet.h"
#include "generation/Terms.h"

namespace quarvo {

// What one node of the term did in a transition: which operands moved, with
// the cause sets each side brought, and whether a disabling or an enabling saw
// its left operand terminate. A null step means the node did not move.
struct Step {
    const Step* left = nullptr;   // left operand, body of a hide
    const Step* right = nullptr;  // right operand
    EventSet leftCauses;          // parallel: causes of the left side; disable: of the moving side
    EventSet rightCauses;         // parallel: causes of the right side
    bool terminated = false;      // disable, enable: the left operand performed delta
    // Choice and call: the operand, below any further choices and calls, whose
    // successor replaces them; left is then that operand's step.
    const BehaviourNode* jumpTo = nullptr;
};

// One transition of a term, as seen at its root.
struct Transition {
    ActionId action = 0;
    bool internal = false;  // internal action, hidden action or end of an enabling's left: never synchronises
    std::int32_t event = 1;
    EventSet causes;
    const Step* step = nullptr;
};

class TransitionRules {
public:
    explicit TransitionRules(ActionTable& actions);

    // Every transition of term, in order: a choice lists its left operand's
    // before its right operand's; a parallel composition lists, for each
    // transition of its left operand, that transition alone or its pairings
    // with each partner of the right operand, then the right operand's own
    // transitions that do not synchronise. Distributes events in place and
    // builds the instances of calls in arena (the arena of term's state).
    std::vector<Transition> Derive(BehaviourNode* term, TermArena& arena);

    // The term reached by t, built in out. action is the transition's action;
    // it becomes "$" when the step is the end of an enabling's left operand.
    BehaviourNode* Successor(const BehaviourNode* term, const Transition& t, TermArena& out, ActionId& action);

    // Forgets the steps of the transitions derived so far.
    void ResetSteps() { steps_.clear(); }

    // Set when some transition found no free event name and was named -1.
    bool eventNamesExhausted = false;
    // A process that calls itself before any action (unguarded recursion);
    // such a call is not expanded again and adds no transition.
    const ProcessDefinition* unguardedProcess = nullptr;

    ActionId Delta() const { return delta_; }
    ActionId Internal() const { return internal_; }
    ActionId Dollar() const { return dollar_; }

private:
    struct SuccessorContext {
        const EventSet& causes;
        std::int32_t event;
        ActionId& action;
        TermArena& out;
    };

    void DeriveInto(BehaviourNode* term, TermArena& arena, std::vector<Transition>& out);
    std::int32_t EventBesides(const BehaviourNode* node, const EventSet& causes);
    Step* NewStep() { return &steps_.emplace_back(); }
    Step* Wrap(Transition& t, bool left);
    void Jump(Transition& t, const BehaviourNode* operand);
    BehaviourNode* Next(const BehaviourNode* term, const Step* step, SuccessorContext& ctx);
    ActionId Hidden(ActionId action);

    ActionTable& actions_;
    std::deque<Step> steps_;
    std::vector<const ProcessDefinition*> expanding_;  // calls being derived, outermost first
    ActionId delta_;
    ActionId internal_;
    ActionId dollar_;
};

}  // namespace quarvo
