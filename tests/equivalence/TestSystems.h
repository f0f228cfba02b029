// Test support: small transition systems written by hand or drawn at random,
// and a plain fixpoint bisimilarity to check the library against.
#pragma once

#include <random>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "generation/Lts.h"
#include "generation/StemStore.h"

namespace quarvo::testing {

using ArcList = std::vector<std::tuple<std::uint32_t, std::string, std::uint32_t>>;

// A system of n states, initial state 0, arcs (source, action, target); "I" is internal.
inline Lts MakeLts(std::uint32_t n, const ArcList& arcs) {
    Lts lts;
    std::unordered_map<std::string, std::uint32_t> byName{{"I", TauLabel}};
    std::vector<std::vector<std::pair<std::uint32_t, std::uint32_t>>> out(n);
    for (const auto& [from, name, to] : arcs) {
        auto [it, inserted] = byName.try_emplace(name, static_cast<std::uint32_t>(lts.labels.size()));
        if (inserted) lts.labels.push_back(name);
        out[from].emplace_back(it->second, to);
    }
    for (const auto& list : out) {
        for (const auto& [label, target] : list) {
            lts.label.push_back(label);
            lts.target.push_back(target);
        }
        lts.firstArc.push_back(static_cast<std::uint32_t>(lts.target.size()));
    }
    return lts;
}

// The same as a STEM store whose state i is numbered 10 * i (so that numbers
// and positions differ).
inline StemStore MakeStore(std::uint32_t n, const ArcList& arcs) {
    StemStore store;
    for (std::uint32_t s = 0; s < n; ++s) store.AppendState(static_cast<std::int32_t>(10 * s), EmptyEventSet);
    std::vector<std::vector<TStemArc>> out(n);
    for (const auto& [from, name, to] : arcs) {
        out[from].push_back({static_cast<std::int32_t>(10 * to), store.Intern(name.c_str()), 0, EmptyEventSet});
    }
    for (std::uint32_t s = 0; s < n; ++s) store.SetArcs(s, out[s]);
    return store;
}

// A random system: n states, each arc drawn with the given probability per
// (source, label, target), labels "I", "A", "B" (and "C" when threeVisible).
inline ArcList RandomArcs(std::mt19937& rng, std::uint32_t n, double density, bool threeVisible) {
    const std::vector<std::string> names = threeVisible ? std::vector<std::string>{"I", "A", "B", "C"}
                                                        : std::vector<std::string>{"I", "A", "B"};
    std::bernoulli_distribution arc(density);
    ArcList arcs;
    for (std::uint32_t s = 0; s < n; ++s) {
        for (const std::string& name : names) {
            for (std::uint32_t t = 0; t < n; ++t) {
                if (arc(rng)) arcs.emplace_back(s, name, t);
            }
        }
    }
    return arcs;
}

// Plain greatest fixpoint of strong bisimilarity on lts (pairs of states).
inline std::vector<std::vector<bool>> NaiveBisimilarity(const Lts& lts) {
    const std::size_t n = lts.StateCount();
    std::vector<std::vector<bool>> related(n, std::vector<bool>(n, true));
    const auto simulated = [&](std::uint32_t s, std::uint32_t t) {
        for (std::uint32_t k = lts.firstArc[s]; k < lts.firstArc[s + 1]; ++k) {
            bool matched = false;
            for (std::uint32_t j = lts.firstArc[t]; j < lts.firstArc[t + 1] && !matched; ++j) {
                matched = lts.label[j] == lts.label[k] && related[lts.target[k]][lts.target[j]];
            }
            if (!matched) return false;
        }
        return true;
    };
    for (bool changed = true; changed;) {
        changed = false;
        for (std::uint32_t s = 0; s < n; ++s) {
            for (std::uint32_t t = 0; t < n; ++t) {
                if (related[s][t] && !(simulated(s, t) && simulated(t, s))) {
                    related[s][t] = related[t][s] = false;
                    changed = true;
                }
            }
        }
    }
    return related;
}

}  // namespace quarvo::testing

namespace quarvo::testing {

// The states reachable from s by internal arcs, s included.
inline std::vector<std::uint32_t> InternalClosure(const Lts& lts, std::vector<std::uint32_t> states) {
    std::vector<bool> seen(lts.StateCount(), false);
    for (std::uint32_t s : states) seen[s] = true;
    for (std::size_t i = 0; i < states.size(); ++i) {
        for (std::uint32_t k = lts.firstArc[states[i]]; k < lts.firstArc[states[i] + 1]; ++k) {
            if (lts.label[k] == TauLabel && !seen[lts.target[k]]) {
                seen[lts.target[k]] = true;
                states.push_back(lts.target[k]);
            }
        }
    }
    return states;
}

// Weak saturation written plainly: s -A-> t for s =A=> t, s -I-> t for s =ε=> t.
inline Lts PlainSaturation(const Lts& lts) {
    ArcList arcs;
    for (std::uint32_t s = 0; s < lts.StateCount(); ++s) {
        for (std::uint32_t u : InternalClosure(lts, {s})) {
            arcs.emplace_back(s, "I", u);
            for (std::uint32_t k = lts.firstArc[u]; k < lts.firstArc[u + 1]; ++k) {
                if (lts.label[k] == TauLabel) continue;
                for (std::uint32_t v : InternalClosure(lts, {lts.target[k]})) {
                    arcs.emplace_back(s, lts.labels[lts.label[k]], v);
                }
            }
        }
    }
    return MakeLts(static_cast<std::uint32_t>(lts.StateCount()), arcs);
}

// Whether the state can perform the visible trace (internal arcs free).
inline bool HasTrace(const Lts& lts, std::uint32_t state, const std::vector<std::string>& trace) {
    std::vector<std::uint32_t> current = InternalClosure(lts, {state});
    for (const std::string& name : trace) {
        std::vector<std::uint32_t> next;
        for (std::uint32_t s : current) {
            for (std::uint32_t k = lts.firstArc[s]; k < lts.firstArc[s + 1]; ++k) {
                if (lts.label[k] != TauLabel && lts.labels[lts.label[k]] == name) next.push_back(lts.target[k]);
            }
        }
        if (next.empty()) return false;
        current = InternalClosure(lts, next);
    }
    return true;
}

}  // namespace quarvo::testing
