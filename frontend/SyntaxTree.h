// The syntax tree of a specification: gate lists, behaviour nodes, process definitions and calls.
#pragma once

#include <cstdint>
#include <deque>

#include "frontend/Identifier32.h"

namespace quarvo {

// One cell of a gate list. Lists keep source order; the address of the cell
// that holds a prefix's action also identifies that prefix.
struct GateCell {
    Identifier32 name;
    GateCell* next = nullptr;
};
using GateList = GateCell*;

enum class NodeKind : std::uint8_t {
    Prefix = 0,
    Choice = 1,
    Disable = 2,
    Enable = 3,
    Hide = 4,
    Call = 5,
    Parallel = 6,
    Stop = 7,
};

struct ProcessDefinition;

struct BehaviourNode {
    NodeKind kind = NodeKind::Stop;
    BehaviourNode* left = nullptr;   // first operand, or the operand of Hide
    BehaviourNode* right = nullptr;  // second operand, or the continuation of Prefix
    GateList gates = nullptr;        // action, hidden gates, actual gates or synchronisation list
    ProcessDefinition* process = nullptr;  // Call only, bound after the parse
    std::int32_t height = -1;
};

struct ProcessCall {
    Identifier32 name;
    std::int32_t gateCount = 0;
    std::int32_t line = 0;
    std::int32_t column = 0;  // 1-based when known, 0 otherwise
    BehaviourNode* node = nullptr;
    ProcessCall* next = nullptr;
};

struct ProcessDefinition {
    Identifier32 name;
    GateList gates = nullptr;
    BehaviourNode* behaviour = nullptr;
    ProcessDefinition* children = nullptr;
    ProcessDefinition* next = nullptr;
    ProcessDefinition* parent = nullptr;
    ProcessCall* calls = nullptr;
    std::int32_t gateCount = 0;
};

// Owns every record of one compilation; addresses stay valid as it grows.
class SyntaxArena {
public:
    GateCell* NewGate(const Identifier32& name, GateCell* next = nullptr) {
        gates_.push_back(GateCell{name, next});
        return &gates_.back();
    }
    BehaviourNode* NewNode(NodeKind kind) {
        nodes_.emplace_back();
        nodes_.back().kind = kind;
        return &nodes_.back();
    }
    ProcessDefinition* NewDefinition() {
        definitions_.emplace_back();
        return &definitions_.back();
    }
    ProcessCall* NewCall() {
        calls_.emplace_back();
        return &calls_.back();
    }
    std::size_t NodeCount() const { return nodes_.size(); }

private:
    std::deque<GateCell> gates_;
    std::deque<BehaviourNode> nodes_;
    std::deque<ProcessDefinition> definitions_;
    std::deque<ProcessCall> calls_;
};

// The result of one compilation. Generated STEMs hold a shared reference to it,
// since their terms point into its tree.
struct Compilation {
    SyntaxArena arena;
    bool compileOk = false;
    BehaviourNode* rootBehaviour = nullptr;
    ProcessDefinition* systemDefinition = nullptr;
};

// First cell of list holding name, or null.
const GateCell* NameIn(const GateCell* list, const Identifier32& name);

}  // namespace quarvo
