#include "equivalence/ContractedArcs.h"

#include <algorithm>

namespace quarvo::detail {
namespace {

std::uint64_t Pack(std::uint32_t high, std::uint32_t low) { return (std::uint64_t{high} << 32) | low; }
std::uint32_t High(std::uint64_t packed) { return static_cast<std::uint32_t>(packed >> 32); }
std::uint32_t Low(std::uint64_t packed) { return static_cast<std::uint32_t>(packed); }

}  // namespace

ContractedArcs ContractArcs(const Lts& lts, const TauComponents& components, bool divergenceSensitive) {
    ContractedArcs a;
    const std::uint32_t k = components.count;
    const auto n = static_cast<std::uint32_t>(lts.StateCount());
    a.divergenceLabel = static_cast<std::uint32_t>(lts.labels.size());
    a.outFirst.assign(std::size_t{k} + 1, 0);
    for (std::uint32_t s = 0; s < n; ++s)
        a.outFirst[components.component[s] + 1] += lts.firstArc[s + 1] - lts.firstArc[s];
    if (divergenceSensitive)
        for (std::uint32_t c = 0; c < k; ++c) a.outFirst[c + 1] += components.cyclic[c] ? 1 : 0;
    for (std::uint32_t c = 0; c < k; ++c) a.outFirst[c + 1] += a.outFirst[c];
    std::vector<std::uint64_t> arcs(a.outFirst[k]);
    {
        std::vector<std::uint32_t> at(a.outFirst.begin(), a.outFirst.end() - 1);
        for (std::uint32_t s = 0; s < n; ++s) {
            const std::uint32_t c = components.component[s];
            for (std::uint32_t e = lts.firstArc[s]; e < lts.firstArc[s + 1]; ++e)
                arcs[at[c]++] = Pack(lts.label[e], components.component[lts.target[e]]);
        }
        if (divergenceSensitive)
            for (std::uint32_t c = 0; c < k; ++c)
                if (components.cyclic[c]) arcs[at[c]++] = Pack(a.divergenceLabel, c);
    }
    std::uint32_t kept = 0;
    for (std::uint32_t c = 0; c < k; ++c) {
        const std::uint32_t begin = a.outFirst[c], end = a.outFirst[c + 1];
        std::sort(arcs.begin() + begin, arcs.begin() + end);
        a.outFirst[c] = kept;
        for (std::uint32_t i = begin; i < end; ++i) {
            const std::uint64_t arc = arcs[i];  // read before kept may reach i
            if (arc == Pack(TauLabel, c) || (kept > a.outFirst[c] && arcs[kept - 1] == arc)) continue;
            arcs[kept++] = arc;
        }
    }
    a.outFirst[k] = kept;
    arcs.resize(kept);
    arcs.shrink_to_fit();
    a.out = std::move(arcs);
    // Backwards: the internal arcs of each node first.
    a.inFirst.assign(std::size_t{k} + 1, 0);
    a.internalIn.assign(k, 0);
    for (std::uint64_t arc : a.out) {
        ++a.inFirst[Low(arc) + 1];
        if (High(arc) == TauLabel) ++a.internalIn[Low(arc)];
    }
    for (std::uint32_t c = 0; c < k; ++c) a.inFirst[c + 1] += a.inFirst[c];
    a.in.resize(a.out.size());
    a.inOut.resize(a.out.size());
    std::vector<std::uint32_t> internalAt(a.inFirst.begin(), a.inFirst.end() - 1), otherAt(k);
    for (std::uint32_t c = 0; c < k; ++c) otherAt[c] = a.inFirst[c] + a.internalIn[c];
    for (std::uint32_t c = 0; c < k; ++c)
        for (std::uint32_t i = a.outFirst[c]; i < a.outFirst[c + 1]; ++i) {
            const std::uint32_t label = High(a.out[i]), target = Low(a.out[i]);
            const std::uint32_t j = label == TauLabel ? internalAt[target]++ : otherAt[target]++;
            a.in[j] = Pack(label, c);
            a.inOut[j] = i;
        }
    return a;
}

}  // namespace quarvo::detail
