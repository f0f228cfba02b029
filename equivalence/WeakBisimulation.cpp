// The coarsest weak (observational) bisimulation, and the choice among the
// bisimulations.
//
// Branching bisimilar states are weakly bisimilar, so the system is first
// reduced modulo branching bisimulation (every block kept, reachable or not,
// internal arcs inside a block dropped), which is cheap and often shrinks it
// a great deal. The reduced system is then saturated: s =a=> t for
// s -I->* -a-> -I->* t with a visible, and s =I=> t for s -I->* t, s =I=> s
// included. Weak bisimulation of a system is strong bisimulation of its
// saturation; the blocks found are mapped back to the original states. The
// saturation may hold up to (number of blocks)^2 arcs per label: a sample of
// the internal closures predicts its size first; the closures are made while
// the memory has room for them, and the saturation's
// arcs are counted (an upper bound: each closure's members' arcs times their
// targets' closures) before any is made; past what the memory can take,
// nothing more is built and the partition says so (tooLarge).
#include <algorithm>

#include "equivalence/Equivalence.h"
#include "equivalence/RefinablePartition.h"
#include "generation/MemoryWatch.h"

namespace quarvo {

namespace {

// What an entry costs: a closure's member, a saturated arc while it is made
// (its pair, then its label and target, and the strong refinement's share).
constexpr std::int64_t BytesPerClosureEntry = 4;
constexpr std::int64_t BytesPerSaturatedArc = 40;

}  // namespace

Partition WeakBisimulation(const Lts& lts, Progress* progress, std::int64_t memoryLimit) {
    Partition result;
    if (lts.StateCount() == 0) return result;
    const Partition branching = BranchingBisimulation(lts, false, progress);
    if (branching.stopped) {
        result.stopped = true;
        return result;
    }
    const std::uint32_t k = branching.count;
    detail::Poller poller(progress);
    poller.SetPhase("fermeture interne", "blocs");
    const MemoryWatch memory(memoryLimit);
    std::int64_t closureEntries = 0, checkedAt = 0;

    // The system of the branching blocks, each arc once.
    std::vector<std::vector<std::uint64_t>> arcs(k);  // label << 32 | target block
    for (std::uint32_t s = 0; s < lts.StateCount(); ++s) {
        const std::uint32_t b = branching.block[s];
        for (std::uint32_t e = lts.firstArc[s]; e < lts.firstArc[s + 1]; ++e) {
            const std::uint32_t c = branching.block[lts.target[e]];
            if (lts.label[e] != TauLabel || c != b) arcs[b].push_back((std::uint64_t{lts.label[e]} << 32) | c);
        }
    }
    for (auto& list : arcs) {
        std::sort(list.begin(), list.end());
        list.erase(std::unique(list.begin(), list.end()), list.end());
    }

    // A first prediction from a sample of blocks, before any closure is
    // kept: the closures' mean size gives the saturation's size, about.
    std::vector<std::uint32_t> seen(k, UINT32_MAX);
    {
        constexpr std::uint32_t kSample = 256;
        const std::uint32_t step = std::max<std::uint32_t>(1, k / kSample);
        std::vector<std::uint32_t> reached;
        double closures = 0, visible = 0, sampled = 0;
        for (std::uint32_t b = 0; b < k; b += step) {
            reached.assign(1, b);
            seen[b] = b;
            for (std::size_t i = 0; i < reached.size(); ++i) {
                for (std::uint64_t arc : arcs[reached[i]]) {
                    if ((arc >> 32) != TauLabel) {
                        visible += 1;
                        continue;
                    }
                    const auto c = static_cast<std::uint32_t>(arc);
                    if (seen[c] != b) {
                        seen[c] = b;
                        reached.push_back(c);
                    }
                }
            }
            closures += static_cast<double>(reached.size());
            sampled += 1;
            if (poller.Stop(reached.size(), b, 0)) {
                result.stopped = true;
                return result;
            }
        }
        // Per block: its closure's members, and their visible arcs each
        // followed by a closure of the mean size (capped by the blocks).
        const double meanClosure = closures / sampled;
        const double perBlock = meanClosure + std::min<double>(visible / sampled * meanClosure, double(k) * double(lts.labels.size()));
        const double estimate = perBlock * k;
        if (estimate * BytesPerSaturatedArc > 9e18 ||
            memory.NearLimit(static_cast<std::int64_t>(estimate * BytesPerSaturatedArc))) {
            result.tooLarge = true;
            result.saturationArcs = static_cast<std::int64_t>(std::min(estimate, 9e18));
            return result;
        }
        std::fill(seen.begin(), seen.end(), UINT32_MAX);
    }

    // The internal closure of each block, itself first.
    std::vector<std::vector<std::uint32_t>> closure(k);
    for (std::uint32_t b = 0; b < k; ++b) {
        std::vector<std::uint32_t>& reached = closure[b];
        reached.push_back(b);
        seen[b] = b;
        for (std::size_t i = 0; i < reached.size(); ++i) {
            for (std::uint64_t arc : arcs[reached[i]]) {
                if ((arc >> 32) != TauLabel) break;  // internal arcs sort first
                const auto c = static_cast<std::uint32_t>(arc);
                if (seen[c] != b) {
                    seen[c] = b;
                    reached.push_back(c);
                }
            }
        }
        if (poller.Stop(reached.size(), b, 0)) {
            result.stopped = true;
            return result;
        }
        closureEntries += static_cast<std::int64_t>(reached.size());
        if (closureEntries - checkedAt > (std::int64_t{1} << 22)) {
            checkedAt = closureEntries;
            if (memory.NearLimit(closureEntries * BytesPerClosureEntry)) {
                result.tooLarge = true;
                result.saturationArcs = closureEntries;
                return result;
            }
        }
    }

    // The saturation's size, at most: counted before it is made.
    std::int64_t predicted = 0;
    for (std::uint32_t b = 0; b < k; ++b) {
        for (std::uint32_t c : closure[b]) {
            ++predicted;
            for (std::uint64_t arc : arcs[c])
                if ((arc >> 32) != TauLabel) predicted += static_cast<std::int64_t>(closure[static_cast<std::uint32_t>(arc)].size());
        }
    }
    if (memory.NearLimit(predicted * BytesPerSaturatedArc)) {
        result.tooLarge = true;
        result.saturationArcs = predicted;
        return result;
    }

    // The saturation.
    poller.SetPhase("saturation", "arcs");
    Lts saturated;
    saturated.labels = lts.labels;
    saturated.initial = branching.block[lts.initial];
    saturated.firstArc.reserve(std::size_t{k} + 1);
    std::vector<std::uint64_t> weak;
    for (std::uint32_t b = 0; b < k; ++b) {
        weak.clear();
        for (std::uint32_t c : closure[b]) {
            weak.push_back(c);  // b =I=> c
            for (std::uint64_t arc : arcs[c]) {
                const std::uint64_t label = arc >> 32;
                if (label == TauLabel) continue;
                for (std::uint32_t d : closure[static_cast<std::uint32_t>(arc)]) weak.push_back((label << 32) | d);
            }
        }
        std::sort(weak.begin(), weak.end());
        weak.erase(std::unique(weak.begin(), weak.end()), weak.end());
        for (std::uint64_t arc : weak) {
            saturated.label.push_back(static_cast<std::uint32_t>(arc >> 32));
            saturated.target.push_back(static_cast<std::uint32_t>(arc));
        }
        saturated.firstArc.push_back(static_cast<std::uint32_t>(saturated.target.size()));
        if (poller.Stop(weak.size() + 1, static_cast<std::int64_t>(saturated.target.size()), b)) {
            result.stopped = true;
            return result;
        }
    }
    closure.clear();
    arcs.clear();

    const Partition strong = StrongBisimulation(saturated, progress);
    if (strong.stopped) {
        result.stopped = true;
        return result;
    }
    result.block.resize(lts.StateCount());
    for (std::size_t s = 0; s < result.block.size(); ++s) result.block[s] = strong.block[branching.block[s]];
    result.count = detail::NumberBlocksByFirstElement(result.block);
    return result;
}

Partition Bisimulation(const Lts& lts, Equivalence equivalence, Progress* progress, std::int64_t memoryLimit) {
    switch (equivalence) {
        case Equivalence::Branching:
            return BranchingBisimulation(lts, false, progress);
        case Equivalence::DivergenceBranching:
            return BranchingBisimulation(lts, true, progress);
        case Equivalence::Weak:
            return WeakBisimulation(lts, progress, memoryLimit);
        case Equivalence::Strong:
        case Equivalence::Traces:  // not a bisimulation: the strong partition, whose blocks are trace equivalent
            break;
    }
    return StrongBisimulation(lts, progress);
}

}  // namespace quarvo
