// The static parallel structure of a specification: the compositions and
// hidings that no step can rebuild, the components below them, and which
// components take part in a transition on each gate.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frontend/SyntaxTree.h"

namespace quarvo {

// A gate as the structure sees it: a gate of the system, or a gate that one
// hiding declares (two hidings of the same name, or two instances of one
// process that hides a gate, declare two channels). Channel 0 is the
// termination "delta", which every composition synchronises.
using ChannelId = std::uint32_t;

struct Channel {
    std::string name;
    std::int32_t hiding = -1;  // the structure node of the hiding that declares it, -1 for the system's
};

// One operand below the structure: a behaviour of the compiled tree whose
// gates are named through renaming (formal name to channel) from the calls
// that led to it. The term engine derives its transitions.
struct Component {
    const BehaviourNode* term = nullptr;
    std::vector<std::pair<std::string, ChannelId>> renaming;
    std::vector<ChannelId> alphabet;  // the channels its actions may use, in increasing order
    bool internal = false;            // it may take internal steps (I), alone
    // A process call met again below itself while the structure was being
    // unfolded: the structure grows as the system runs, and the component
    // holds the whole subterm from there.
    bool dynamic = false;
};

struct StructureNode {
    enum class Kind : std::uint8_t { Parallel, Hide, Component };
    Kind kind = Kind::Component;
    std::vector<ChannelId> channels;    // synchronised (Parallel, "delta" first) or hidden (Hide)
    std::vector<std::uint32_t> operands;  // structure nodes: two for Parallel, one for Hide
    std::uint32_t component = 0;          // Component
};

// A set of components that move together on one channel: the transition
// groups of a channel, and the components each reads and writes.
struct TransitionGroup {
    ChannelId channel = 0;
    std::vector<std::uint32_t> components;  // increasing
};

struct StaticStructure {
    std::vector<Channel> channels;
    std::vector<StructureNode> nodes;
    std::uint32_t root = 0;
    std::vector<Component> components;
    // For each channel, in structure order: the sets of components that
    // synchronise on it (one set per way the composition allows).
    std::vector<TransitionGroup> groups;
    // A channel used by the components, by the names of the system's gates.
    ChannelId Find(const std::string& name, std::int32_t hiding = -1) const;
};

// The structure of a compiled specification. groupLimit bounds the groups a
// channel may have (a synchronisation of many interleaved partners has one
// group per choice of partners): past it, the analysis says so in
// tooManyGroups and keeps the structure without groups.
struct StructureAnalysis {
    StaticStructure structure;
    bool tooManyGroups = false;
};
StructureAnalysis AnalyseStructure(const Compilation& compilation, std::size_t groupLimit = 1u << 16);

}  // namespace quarvo
