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

    // Slots of a state, and of its identity vector.
    std::uint32_t Width() const { return static_cast<std::uint32_t>(nodes_.size()); }
    std::uint32_t KeyWidth() const { return keyWidth_; }

    // The identity vector of a state.
    void Key(const std::uint32_t* state, std::uint32_t* key);
    // The maximal events of a state: those of its root.
    SetId RootEvents(const std::uint32_t* state) const { return Events(root_, state); }

    // Normalises a state's components in place, as the term engine does to a
    // state before deriving it; true when that changed its identity.
    bool Normalise(std::uint32_t* state);

    // Hands every transition of a normalised state to sink(arc, successor),
    // successor being the successor state, in the order of the term engine;
    // stops when sink answers false.
    template <typename Sink>
    void Expand(const std::uint32_t* state, Sink&& sink);

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
    };

    std::uint32_t Take(TermId t, std::vector<std::uint32_t>& state);
    SetId Events(std::uint32_t node, const std::uint32_t* state) const {
        return nodes_[node].kind == Node::Kind::Component ? engine_.Node(state[node]).events : state[node];
    }
    const Local& LocalOf(TermId normalised);
    void Moves(std::uint32_t node, const std::uint32_t* state, std::vector<Move>& out, std::size_t depth);
    void Successor(const Move& m, const std::uint32_t* state, std::uint32_t* successor, ActionId& action);
    void Next(std::uint32_t node, const std::uint32_t* state, std::uint32_t* successor, const Step& step,
              ActionId& action);
    void Strip(std::uint32_t node, std::uint32_t* successor, std::uint32_t mask, const Step& step, ActionId action,
               bool keepNew);

    Engine& engine_;
    std::vector<Node> nodes_;
    std::uint32_t root_ = 0;
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
    std::vector<std::uint32_t> used_;        // per node: the names its operands' events use
    std::vector<std::uint32_t> causesMask_;  // per node: the causes its moving subtree brings
    std::vector<std::uint32_t> successor_;
};

template <typename Sink>
void VectorEngine::Expand(const std::uint32_t* state, Sink&& sink) {
    rootMoves_.clear();
    parts_.clear();
    for (std::uint32_t i = 0; i < nodes_.size(); ++i) {
        const Node& n = nodes_[i];
        if (n.kind == Node::Kind::Parallel)
            used_[i] = engine_.EventMask(Events(n.left, state)) | engine_.EventMask(Events(n.right, state));
    }
    Moves(root_, state, rootMoves_, 0);
    successor_.resize(nodes_.size());
    for (const Move& m : rootMoves_) {
        ActionId action = m.action;
        Successor(m, state, successor_.data(), action);
        if (action == engine_.Dollar()) action = engine_.Internal();
        if (!sink(VectorArc{action, m.event, m.causes}, static_cast<const std::uint32_t*>(successor_.data()))) return;
    }
}

}  // namespace quarvo
