// The steps of a level shared by the distributed explorations.
#include "distributed/LevelSteps.h"

#include <climits>
#include <string>

#include <sys/resource.h>

#include "generation/StateEncoding.h"

namespace quarvo {
namespace {

constexpr std::int64_t BlockSources = 4096;

}  // namespace

bool NumberLevel(Peers& peers, std::int64_t first, std::int64_t end, const std::vector<std::int64_t>& sources,
                 std::vector<std::int64_t>& counts, bool memoryLow, std::int64_t bound, std::int64_t& next,
                 std::int64_t& crossing) {
    const auto k = static_cast<std::uint32_t>(peers.Size());
    const auto self = static_cast<std::uint32_t>(peers.Rank());
    const auto blocks = static_cast<std::size_t>((end - first + BlockSources - 1) / BlockSources);
    auto counter = [&](std::int64_t source) {
        return static_cast<std::uint32_t>(static_cast<std::uint64_t>((source - first) / BlockSources) % k);
    };
    // Each source with new states, to the counter of its block.
    std::vector<std::string> outgoing(k);
    {
        std::vector<ByteWriter> writers;
        for (std::string& o : outgoing) writers.emplace_back(o);
        std::vector<std::int64_t> last(k, first);
        for (std::size_t i = 0; i < sources.size(); ++i) {
            if (counts[i] == 0) continue;
            const std::uint32_t c = counter(sources[i]);
            writers[c].Number(static_cast<std::uint64_t>(sources[i] - last[c]));
            writers[c].Number(static_cast<std::uint64_t>(counts[i]));
            last[c] = sources[i];
        }
    }
    std::vector<std::string> incoming = peers.AllToAll(outgoing);
    // The counter's side: where each source starts in its block, and the blocks' totals.
    std::vector<std::int64_t> totals(blocks + 1, 0);
    totals[blocks] = memoryLow ? 1 : 0;
    {
        const std::size_t mine = blocks / k + 1;
        std::vector<std::int64_t> starts(mine * BlockSources, 0);
        auto at = [&](std::int64_t source) -> std::int64_t& {
            const std::int64_t place = source - first;
            return starts[static_cast<std::size_t>(place / BlockSources / k * BlockSources + place % BlockSources)];
        };
        auto read = [&](std::uint32_t from, auto&& each) {
            ByteReader r(incoming[from]);
            std::int64_t source = first;
            while (!r.AtEnd()) {
                source += static_cast<std::int64_t>(r.Number());
                const auto n = static_cast<std::int64_t>(r.Number());
                if (r.Failed() || source >= end || counter(source) != self) Unreadable("décompte");
                each(source, n);
            }
        };
        for (std::uint32_t p = 0; p < k; ++p) read(p, [&](std::int64_t source, std::int64_t n) { at(source) = n; });
        for (std::size_t j = 0; j < mine; ++j) {
            const std::size_t block = j * k + self;
            if (block >= blocks) break;
            std::int64_t sum = 0;
            for (std::size_t i = j * BlockSources; i < (j + 1) * BlockSources; ++i) {
                const std::int64_t n = starts[i];
                starts[i] = sum;
                sum += n;
            }
            totals[block] = sum;
        }
        outgoing.assign(k, std::string());
        for (std::uint32_t p = 0; p < k; ++p) {
            ByteWriter w(outgoing[p]);
            read(p, [&](std::int64_t source, std::int64_t) { w.Number(static_cast<std::uint64_t>(at(source))); });
        }
    }
    incoming = peers.AllToAll(outgoing);
    peers.SumInPlace(totals);
    if (totals[blocks] > 0) return false;
    next = end;
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::int64_t n = totals[b];
        totals[b] = next;
        next += n;
    }
    std::vector<ByteReader> readers;
    for (const std::string& in : incoming) readers.emplace_back(in);
    std::int64_t mineCrossing = INT64_MAX;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        if (counts[i] == 0) {
            counts[i] = -1;  // no new state: its start is never asked
            continue;
        }
        ByteReader& r = readers[counter(sources[i])];
        const std::int64_t start =
            totals[static_cast<std::size_t>((sources[i] - first) / BlockSources)] + static_cast<std::int64_t>(r.Number());
        if (r.Failed()) Unreadable("décompte");
        if (bound > 0 && mineCrossing == INT64_MAX && start + counts[i] > bound) mineCrossing = sources[i];
        counts[i] = start;
    }
    crossing = bound > 0 ? peers.Min(mineCrossing) : INT64_MAX;
    if (crossing == INT64_MAX) crossing = -1;
    return true;
}

void CloseExploration(Peers& peers, Engine& engine, SharedNames& names, OwnedStem& stem, std::int64_t count,
                      std::int64_t first, std::int64_t explored, std::int64_t unguardedAt, GenerationResult& result,
                      ProcessFigures& figures) {
    stem.stateCount = count;
    stem.arcCount = peers.Sum(static_cast<std::int64_t>(stem.arcs.size()));
    result.states = count;
    result.arcs = stem.arcCount;
    result.exploredStates = result.stoppedByMemory ? first : explored;
    result.interrupted = result.exploredStates < count || result.stoppedByBound || result.stoppedByMemory;
    result.eventNamesExhausted = peers.Max(engine.eventNamesExhausted ? 1 : 0) > 0;
    const std::int64_t mine =
        engine.unguardedProcess && unguardedAt >= 0 && unguardedAt < result.exploredStates ? unguardedAt : INT64_MAX;
    const std::int64_t firstMet = peers.Min(mine);
    if (firstMet != INT64_MAX) {
        const std::int64_t holder = peers.Min(mine == firstMet ? peers.Rank() : INT64_MAX);
        std::string name = static_cast<int>(holder) == peers.Rank() ? engine.unguardedProcess->name.Text() : "";
        peers.Broadcast(name, static_cast<int>(holder));
        result.unguardedRecursion = true;
        result.unguardedProcess = name;
    }
    result.nodesBuilt = peers.Sum(engine.TermCount());
    figures.bytesSent = peers.bytesSent;
    figures.calls = peers.messages;
    figures.ownedStates = static_cast<std::int64_t>(stem.states.size());
    figures.ownedArcs = static_cast<std::int64_t>(stem.arcs.size());
    figures.termBytes = static_cast<std::int64_t>(engine.Bytes());
    figures.identityBytes = static_cast<std::int64_t>(names.identities.Bytes());
    figures.stemBytes = static_cast<std::int64_t>(stem.arcs.size() * sizeof(OwnedStem::Arc) +
                                                  stem.states.size() * sizeof(OwnedStem::State));
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    figures.peakBytes = static_cast<std::int64_t>(usage.ru_maxrss) * 1024;
}

}  // namespace quarvo
