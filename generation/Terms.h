// Behaviour terms of the generation: arenas, copying, comparison, keys and the event bookkeeping on terms.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>
#include <string>

#include "frontend/SyntaxTree.h"
#include "generation/ActionTable.h"
#include "generation/EventSet.h"
#include "generation/Semantics.h"

namespace quarvo {


// Owns the nodes and gate cells of the terms of one state, in blocks that
// double in size, so that a small term costs a single small allocation.
class TermArena {
public:
    BehaviourNode* NewNode(NodeKind kind, std::int32_t height) {
        BehaviourNode* n = nodes_.Next();
        n->kind = kind;
        n->height = height;
        return n;
    }
    GateCell* NewGate(const Identifier32& name, std::uint32_t nameId = GateCell::NoNameId) {
        GateCell* g = gates_.Next();
        g->name = name;
        g->nameId = nameId;
        return g;
    }
    std::size_t NodeCount() const { return nodes_.count; }

    // Empties the arena but keeps its blocks, for the next term.
    void Reset() {
        nodes_.Reset(BehaviourNode{});
        gates_.Reset(GateCell{});
    }

private:
    template <typename T>
    struct Blocks {
        std::vector<std::unique_ptr<T[]>> blocks;
        std::vector<std::size_t> sizes;
        std::size_t block = 0;  // the block being filled
        std::size_t used = 0;   // in that block
        std::size_t count = 0;
        T* Next() {
            if (blocks.empty() || used == sizes[block]) {
                if (!blocks.empty()) ++block;
                if (block == blocks.size()) {
                    std::size_t size = sizes.empty() ? 8 : sizes.back() * 2;
                    blocks.push_back(std::make_unique<T[]>(size));
                    sizes.push_back(size);
                }
                used = 0;
            }
            ++count;
            return &blocks[block][used++];
        }
        void Reset(const T& blank) {
            for (std::size_t b = 0; b < blocks.size() && b <= block; ++b) {
                std::size_t n = b < block ? sizes[b] : used;
                for (std::size_t i = 0; i < n; ++i) blocks[b][i] = blank;
            }
            block = 0;
            used = 0;
            count = 0;
        }
    };
    Blocks<BehaviourNode> nodes_;
    Blocks<GateCell> gates_;
};

// A copy of the gate list, each name found in formals replaced by the name at
// the same position in actuals.
GateList CopyGates(TermArena& arena, const GateCell* gates, const GateCell* actuals = nullptr,
                   const GateCell* formals = nullptr);

// Deep copy of a term into arena, with the gate renaming of CopyGates; the
// instance of a call is copied without renaming.
BehaviourNode* CopyTerm(TermArena& arena, const BehaviourNode* term, const GateCell* actuals = nullptr,
                        const GateCell* formals = nullptr);

// State identity of two terms.
bool TermEqual(const BehaviourNode* a, const BehaviourNode* b, const StateIdentity& identity);
// Term identity without the events.
bool ShapeEqual(const BehaviourNode* a, const BehaviourNode* b);

// A byte string that two terms share exactly when they are TermEqual under identity.
std::string TermKey(const BehaviourNode* term, const StateIdentity& identity, ActionTable& names);

// The events a node gets from its operands after a step.
EventSet ChildEvents(const BehaviourNode* node);

// Pushes a node's events down its operator spine when the spine below is free of events.
void Distribute(BehaviourNode* node);
// The same without the test; for a freshly built process instance.
void ForceDistribute(BehaviourNode* node);

// Removes the events of causes from every event set along the operator spine
// of term. With keepNew, an entry equal to (event, action) stays: it is the
// occurrence just created, not the old event of that name.
void StripCauses(BehaviourNode* term, const EventSet& causes, std::int32_t event, ActionId action, bool keepNew);

// True when a prefix of the term's spine has its gate cell in leaves.
bool LeafIn(const std::vector<const GateCell*>& leaves, const BehaviourNode* term);

}  // namespace quarvo
