// Copies of compiled behaviour terms with their gates renamed: the bodies of process calls.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "frontend/SyntaxTree.h"

namespace quarvo {

// Owns the nodes and gate cells of a copied term, in blocks that double in
// size, so that a small term costs a single small allocation.
class TermArena {
public:
    BehaviourNode* NewNode(NodeKind kind, std::int32_t height) {
        BehaviourNode* n = nodes_.Next();
        n->kind = kind;
        n->height = height;
        return n;
    }
    GateCell* NewGate(const Identifier32& name) {
        GateCell* g = gates_.Next();
        g->name = name;
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

// Deep copy of a term into arena, with the gate renaming of CopyGates.
BehaviourNode* CopyTerm(TermArena& arena, const BehaviourNode* term, const GateCell* actuals = nullptr,
                        const GateCell* formals = nullptr);

}  // namespace quarvo
