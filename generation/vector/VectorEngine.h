// A state as the operands of its parallel structure: the compositions and
// hidings at the top of a term, which no step rebuilds, are applied here, and
// each operand below them (a component) is a term of the term engine whose
// transitions are derived once and kept.
//
// A state is a vector of slots: one per component (its term) and one per
// composition or hiding of the structure (its events, which the rules keep
// for each node: a union of its operands' events as it stood when they were
// last made, less what later steps set aside). Its identity is a vector too:
// the identity of each component and, under maximality, what an identity
// retains of each node's events; two states have equal identity vectors
// exactly when the term engine gives their terms the same identity.
// Successors, transitions, their order, the names of new events and the
// causes are those of the term engine on the whole term.
#pragma once

#include <cstdint>
#include <vector>

#include "generation/Engine.h"

namespace quarvo {

// One transition of a state, as the rules at the root give it.
struct VectorArc {
    ActionId action = 0;  // "$" already made internal
    std::int32_t event = 1;
    SetId causes = 0;
};

class VectorEngine {
public:
    explicit VectorEngine(Engine& engine) : engine_(engine) {}

    // Takes the structure of a normalised root term and writes its state
    // into state. False when the term has no parallel structure at its root
    // (the term engine alone is then as good).
    bool Build(TermId root, std::vector<std::uint32_t>& state);

    // Whether a slot of a state holds a component's term (else a node's events,
    // or Derived).
    bool IsComponent(std::uint32_t slot) const { return nodes_[slot].kind == Node::Kind::Component; }
    static constexpr std::uint32_t Derived = ~std::uint32_t{0};

    // Slots of a state, and of its identity vector.
    std::uint32_t Width() const { return static_cast<std::uint32_t>(nodes_.size()); }
    std::uint32_t KeyWidth() const { return keyWidth_; }

    // The identity vector of a state.
    void Key(const std::uint32_t* state, std::uint32_t* key);

    // Orders the identity vector so that components that often move together
    // sit side by side (a successor then differs in one subtree of the
    // vector's tree), from the moves of the first few states reached from
    // initial. Before any key is made; the order is the same for every
    // engine that plans it from the same state.
    void PlanKey(const std::uint32_t* initial, std::size_t budget = 256);
    // The slot of each node in the identity vector, to be given to another
    // engine of the same structure.
    const std::vector<std::uint32_t>& KeyOrder() const { return keySlot_; }
    void SetKeyOrder(const std::vector<std::uint32_t>& order) { keySlot_ = order; }
    // The maximal events of a state (those of its root) as the mask of their
    // names and their actions in name order.
    void RootEvents(const std::uint32_t* state, std::uint32_t& mask, ActionId* actions);

    // Normalises a state's components in place, as the term engine does to a
    // state before deriving it; true when that changed its identity.
    bool Normalise(std::uint32_t* state);

    // Hands every transition of a normalised state to sink(arc, successor),
    // in the order of the term engine; stops when sink answers false.
    // successor holds the successor's components, enough for its identity
    // vector (SuccessorKey); the events of its compositions and hidings,
    // which only a new state needs, are there once the sink asked for
    // WholeSuccessor().
    template <typename Sink>
    void Expand(const std::uint32_t* state, Sink&& sink);
    // After Expand, the successor by the k-th transition it gave, with
    // every slot (nothing else was expanded since).
    const std::uint32_t* Replay(std::size_t k) {
        ActionId action = rootMoves_[k].action;
        current_ = &rootMoves_[k];
        Successor(rootMoves_[k], currentState_, action, true);
        whole_ = true;
        return successor_.data();
    }
    // Inside the sink: the successor with every slot.
    const std::uint32_t* WholeSuccessor() {
        if (!whole_) {
            ActionId action = current_->action;
            Successor(*current_, currentState_, action, true);
            whole_ = true;
        }
        return successor_.data();
    }
    // Inside the sink: the successor's identity vector, and the slots where it
    // differs from IdleKey().
    const std::uint32_t* SuccessorKey() const { return key_.data(); }
    const std::vector<std::uint32_t>& ChangedKeySlots() const { return changedKeys_; }
    // The identity vector of the state being expanded as it stands while its
    // partners move (what a successor differs from).
    const std::uint32_t* IdleKey() const { return idleKey_.data(); }

    // Lists the transitions of a normalised state, in the order of Expand,
    // without making any successor; answers how many.
    std::size_t List(const std::uint32_t* state);

    // ---- For partial-order reduction (VectorReduction.cpp) ---------------------------
    // After List: the components (their slots) that take part in the k-th
    // transition, and its action before the successor is made.
    void MoveComponents(std::size_t k, std::vector<std::uint32_t>& components) const;
    ActionId MoveAction(std::size_t k) const { return rootMoves_[k].action; }
    // After List: the successor by the k-th transition, every slot made, and
    // that transition's arc.
    const std::uint32_t* Follow(std::size_t k, VectorArc& arc);
    // The structure: the root node, each node's parent (the root its own),
    // its kind and operands, and whether a composition synchronises (or a
    // hiding hides) an action.
    std::uint32_t RootNode() const { return root_; }
    std::uint32_t ParentOf(std::uint32_t node) const { return parent_[node]; }
    bool IsParallel(std::uint32_t node) const { return nodes_[node].kind == Node::Kind::Parallel; }
    bool IsHide(std::uint32_t node) const { return nodes_[node].kind == Node::Kind::Hide; }
    std::uint32_t LeftOf(std::uint32_t node) const { return nodes_[node].left; }
    std::uint32_t RightOf(std::uint32_t node) const { return nodes_[node].right; }
    bool Synchronises(std::uint32_t node, ActionId action) const { return Holds(node, action); }
    // The transitions a component's term offers on its own: action, and whether internal.
    void LocalActions(TermId term, std::vector<std::pair<ActionId, bool>>& out);
    // The visible actions a component's term may ever offer (and its internal
    // ones too when withInternal), walking its own transitions through at
    // most budget terms; false when the walk did not end.
    bool LocalAlphabet(TermId term, std::size_t budget, std::vector<ActionId>& actions, bool withInternal = false);

private:
    // A node of the structure; its slot in a state is its index. Operands
    // come before the nodes above them.
    struct Node {
        enum class Kind : std::uint8_t { Parallel, Hide, Component } kind;
        GatesId gates = 0;
        std::uint32_t left = 0, right = 0;  // operands (Hide: left only)
    };
    struct LocalMove {
        ActionId action;
        bool internal;
        SetId causes;
        const StepFrame* step;
    };
    struct Local {
        std::uint32_t first = 0, count = 0;  // in moves_
        // What its derivation met, said again by every state that uses it.
        const ProcessDefinition* unguarded = nullptr;
        bool exhausted = false;
        // The names its events use; the term as it stands while partners
        // move, the names on its spine there and its identity.
        std::uint32_t eventMask = 0;
        TermId idle = 0;
        std::uint32_t idleSpine = 0, idleIdentity = 0;
    };
    // A transition of a subtree: its parts are the local moves of the
    // components that take part, left to right.
    struct Move {
        ActionId action;
        bool internal;
        std::int32_t event;
        SetId causes;
        std::uint32_t firstPart, partCount;
    };
    struct Part {
        std::uint32_t node;  // a component
        std::uint32_t move;  // in moves_
    };
    struct Step {
        ActionId action;
        std::int32_t event;
        SetId causes;
        bool withEvents;  // the compositions' and hidings' events are made too
    };

    std::uint32_t Take(TermId t, std::vector<std::uint32_t>& state);
    // Derived: the slot of a composition or a hiding whose events are its
    // operands' (their union, for a composition): the set is made only when asked.
    SetId Events(std::uint32_t node, const std::uint32_t* state);
    std::uint32_t Mask(std::uint32_t node, const std::uint32_t* state) const;
    std::uint32_t EventsIdentity(std::uint32_t node, const std::uint32_t* state);
    void Collect(std::uint32_t node, const std::uint32_t* state, std::uint32_t& mask, ActionId* byName) const;
    // Adds a set's events whose names are not in mask yet.
    void CollectSet(SetId set, std::uint32_t& mask, ActionId* byName) const;
    const Local& LocalOf(TermId normalised);
    void Moves(std::uint32_t node, const std::uint32_t* state, std::vector<Move>& out, std::size_t depth);
    void ChainMoves(std::uint32_t node, const std::uint32_t* state, std::vector<Move>& out, std::size_t depth,
                    bool naming, std::uint32_t used);
    static constexpr std::uint32_t NoSlot = ~std::uint32_t{0};
    static constexpr std::size_t MostNodes = 512;
    void Idle(const std::uint32_t* state);
    void IdleEvents();
    void Successor(const Move& m, const std::uint32_t* state, ActionId& action, bool withEvents);
    void Next(std::uint32_t node, const std::uint32_t* state, const Step& step, ActionId& action);
    void MoveComponent(std::uint32_t node, std::uint32_t move, const std::uint32_t* state, const Step& step,
                       ActionId& action);
    void Strip(std::uint32_t node, std::uint32_t mask, const Step& step, ActionId action, bool keepNew);
    void Set(std::uint32_t node, std::uint32_t value) {
        if (successor_[node] != value) {
            successor_[node] = value;
            touched_.push_back(node);
        }
    }
    void StripOwn(std::uint32_t node, std::uint32_t mask, const Step& step, ActionId action, bool keepNew);
    void KeySuccessor();

    Engine& engine_;
    std::vector<Node> nodes_;
    std::uint32_t root_ = 0;
    std::uint32_t topParallel_ = 0;  // the composition nearest the root
    std::uint32_t keyWidth_ = 0;
    bool maximality_ = false;
    std::vector<std::uint32_t> localOf_;  // per normalised term, its Local plus one
    std::vector<Local> locals_;
    std::vector<LocalMove> moves_;
    std::vector<std::vector<Move>> rights_, lefts_;  // per depth
    std::vector<Move> rootMoves_;
    std::vector<Part> parts_;
    // Per node while a successor is made: non-zero when it moves (for a
    // component, its local move plus one).
    std::vector<std::uint32_t> partOf_;
    std::vector<std::uint32_t> used_;        // per node: the names its events use
    std::vector<std::uint32_t> localAt_;     // per component, its Local in the state being listed
    // Per composition or hiding, by action: whether its gates hold it.
    std::vector<std::vector<std::uint8_t>> gates_;
    bool Holds(std::uint32_t node, ActionId action) const {
        const std::vector<std::uint8_t>& g = gates_[node];
        return action < g.size() && g[action];
    }
    std::vector<std::uint32_t> causesMask_;  // per node: the causes its moving subtree brings
    // Chains of compositions on the same gates: per node at the top of one,
    // where the operands below it (left to right) start in chained_, and how
    // many; none for a node inside a chain, or a chain of two operands.
    std::vector<std::uint32_t> chainFirst_, chainCount_, chained_;
    // Per depth, while a chain is listed: where each operand's moves start,
    // and the partners chosen.
    std::vector<std::vector<std::uint32_t>> chainStarts_, chainChosen_;
    // Some composition below the topmost one names its moves (the names
    // run short): every level is then applied one by one.
    bool namingBelow_ = false;
    std::vector<std::uint32_t> parent_;      // per node, the node above it (the root its own)
    // The nodes Collect(root_) may visit: the compositions and hidings, and
    // the components in the order it reaches them when none of those holds
    // events of its own.
    std::vector<std::uint32_t> rootInner_, rootComponents_;
    std::vector<std::uint32_t> keySlot_;     // per node, its slot in the identity vector, or none
    // The state being expanded as its operands stand while their partners
    // move, the names on each subtree's spines there, and its identity.
    std::vector<std::uint32_t> idle_, spine_, idleKey_;
    std::vector<std::uint32_t> outside_;  // per node, the names on the spines beside its path to the root
    std::vector<std::uint32_t> successor_, key_, changedKeys_;
    std::vector<std::uint32_t> touched_;  // slots of the successor that differ from idle_
    // Components' successors made lately, direct-mapped.
    struct SuccessorMemo {
        std::uint32_t move = 0;
        std::int32_t event = 0;
        SetId causes = 0;
        ActionId actionIn = 0, actionOut = 0;
        TermId successor = 0;
    };
    std::vector<SuccessorMemo> successorMemo_ = std::vector<SuccessorMemo>(std::size_t{1} << 14);
    std::vector<std::uint32_t> marked_;   // nodes whose partOf_ or causesMask_ is set
    std::vector<std::uint32_t> seen_;     // per node, the stamp of the last key update that asked it
    std::uint32_t stamp_ = 0;
    bool idleEvents_ = false;             // idle_ holds the idle events of compositions and hidings
    const Move* current_ = nullptr;
    const std::uint32_t* currentState_ = nullptr;
    bool whole_ = false;
};

template <typename Sink>
void VectorEngine::Expand(const std::uint32_t* state, Sink&& sink) {
    if (List(state) == 0) return;
    for (const Move& m : rootMoves_) {
        ActionId action = m.action;
        current_ = &m;
        // Under maximality the identity retains the compositions' events.
        whole_ = maximality_;
        Successor(m, state, action, whole_);
        KeySuccessor();
        if (action == engine_.Dollar()) action = engine_.Internal();
        if (!sink(VectorArc{action, m.event, m.causes}, static_cast<const std::uint32_t*>(successor_.data()))) return;
    }
}

}  // namespace quarvo
