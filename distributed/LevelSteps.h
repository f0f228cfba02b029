// The steps of a level that both distributed explorations take alike: numbering the new states as one
// process does, storing the arcs, and what every process tells once the levels are done.
#pragma once

#include <cstdint>
#include <vector>

#include "distributed/Exchange.h"
#include "distributed/OwnedStem.h"
#include "generation/Engine.h"
#include "generation/GenerationTypes.h"
#include "generation/SharedTables.h"

namespace quarvo {

// How often, in transitions, a process looks at the memory in use.
constexpr std::int64_t MemoryCheckStep = 1 << 14;
// An index entry that names the j-th new state of this level at its owner.
constexpr std::int64_t Pending = std::int64_t{1} << 62;
// What a process asks the owner of a state: to forget that a key names a
// source, to let a key name a source, or about an arc's target; and what it hears.
enum OpKind : std::uint8_t { RekeyFrom = 0, RekeyTo = 1, Query = 2 };
enum ReplyKind : std::uint8_t { Known = 0, First = 1, Same = 2 };
// A source of the level and its arcs among the level's.
struct PendingSource {
    std::uint32_t held;  // its place among the level's held states
    std::uint32_t firstArc;
    std::uint32_t arcCount;
};

// Collective. sources are the numbers, increasing, of the sources of the
// level [first, end) held here, and counts their first discoveries: each
// count becomes the number of that source's first new state (new states take
// numbers from end on, in source order). The level's sources go in blocks,
// each counted by one process, so that a level costs a few bytes per source
// with new states and per block, not per source on every process. next is
// end plus every new state of the level; crossing the first source whose new
// states pass bound (when bound > 0), -1 for none. False, on every process,
// when some process said memoryLow (nothing else is then told).
bool NumberLevel(Peers& peers, std::int64_t first, std::int64_t end, const std::vector<std::int64_t>& sources,
                 std::vector<std::int64_t>& counts, bool memoryLow, std::int64_t bound, std::int64_t& next,
                 std::int64_t& crossing);

// The numbers of a level's first discoveries. sources (held, firstArc,
// arcCount each) are the level's sources held here, in number order; held
// gives their numbers; isFirst(arc) tells a first discovery, give(arc,
// number) gives it its number. count becomes the states numbered so far,
// boundSource the source whose new states pass the bound (-1 for none) and
// boundArc the arc of it that the bound stops at. False when some process ran
// short of memory.
template <typename Source, typename Held, typename Arc, typename IsFirst, typename Give>
bool NumberFirstDiscoveries(Peers& peers, std::int64_t first, std::int64_t end, const std::vector<Source>& sources,
                            const std::vector<Held>& held, std::vector<Arc>& arcs, bool memoryLow, std::int64_t bound,
                            std::int64_t& count, std::int64_t& boundSource, std::uint32_t& boundArc, IsFirst isFirst,
                            Give give) {
    std::vector<std::int64_t> numbers, starts(sources.size(), 0);
    numbers.reserve(sources.size());
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const Source& s = sources[i];
        numbers.push_back(held[s.held].number);
        for (std::uint32_t a = s.firstArc; a < s.firstArc + s.arcCount; ++a) starts[i] += isFirst(arcs[a]) ? 1 : 0;
    }
    std::int64_t next = 0;
    if (!NumberLevel(peers, first, end, numbers, starts, memoryLow, bound, next, boundSource)) return false;
    boundArc = 0;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const Source& s = sources[i];
        std::int64_t number = starts[i];
        for (std::uint32_t a = s.firstArc; a < s.firstArc + s.arcCount; ++a) {
            if (!isFirst(arcs[a])) continue;
            if (held[s.held].number == boundSource && number == bound) boundArc = a - s.firstArc;
            give(arcs[a], number++);
        }
    }
    count = boundSource >= 0 ? bound : next;
    return true;
}

// The arcs of a level's sources into stem, up to the bound: each source's
// record (its place in stem's states) takes its range of arcs; targetOf(arc)
// gives what an arc keeps of its target (see OwnedStem::Arc).
template <typename Source, typename Held, typename Arc, typename TargetOf>
void StoreLevelArcs(OwnedStem& stem, const std::vector<Source>& sources, const std::vector<Held>& held,
                    const std::vector<Arc>& arcs, std::int64_t boundSource, std::uint32_t boundArc,
                    TargetOf targetOf) {
    for (const Source& s : sources) {
        const Held& h = held[s.held];
        if (boundSource >= 0 && h.number > boundSource) continue;
        const std::uint32_t n = boundSource >= 0 && h.number == boundSource ? boundArc : s.arcCount;
        OwnedStem::State& state = stem.states[h.state];
        state.firstArc = static_cast<std::uint32_t>(stem.arcs.size());
        state.arcCount = n;
        for (std::uint32_t a = s.firstArc; a < s.firstArc + n; ++a) {
            const Arc& arc = arcs[a];
            stem.arcs.push_back(OwnedStem::Arc{static_cast<std::int32_t>(arc.target), arc.action, arc.event,
                                               arc.causes, targetOf(arc)});
        }
    }
}

// Collective, once the levels are done: the counts of stem and result from
// count (states numbered), first (the level not explored when memory ran
// short) and explored; the unguarded recursion met first as one process
// meets it (engine's, met at unguardedAt here); and what this process
// measured, but for its index.
void CloseExploration(Peers& peers, Engine& engine, SharedNames& names, OwnedStem& stem, std::int64_t count,
                      std::int64_t first, std::int64_t explored, std::int64_t unguardedAt, GenerationResult& result,
                      ProcessFigures& figures);

}  // namespace quarvo
