// The search by levels on threads, for a deadlock or beside a monitor.
#include "generation/reduction/LevelSearch.h"

#include <algorithm>

#include "generation/LevelExploration.h"

namespace quarvo::reduction {

void SearchByLevels(const Compilation* compilation, std::vector<std::unique_ptr<Search>>& searches, Shared& shared,
                    Crew& crew) {
    RunMonitor* const monitor = shared.monitor;
    ClaimedStates& states = *shared.states;
    const SearchSettings& settings = shared.settings;
    struct Reached {
        std::int64_t from;
        std::uint32_t transition;
        ActionId action;
    };
    std::vector<Reached> reached{Reached{-1, 0, 0}};
    std::vector<std::uint8_t> byDelta{0};
    // Where each state of the level is held: the thread, and its place among that thread's states.
    struct Place {
        unsigned thread;
        std::size_t index;
    };
    std::vector<Place> places{Place{0, 0}}, nextPlaces;
    struct Found {
        unsigned thread;      // that derived it
        std::size_t successor;  // among that thread's successors of the level
    };
    std::vector<Found> found;
    // The run to state s, found.
    auto traceTo = [&](std::int64_t s) {
        std::vector<Step> steps;
        for (std::int64_t at = s; reached[static_cast<std::size_t>(at)].from >= 0;
             at = reached[static_cast<std::size_t>(at)].from) {
            const Reached& r = reached[static_cast<std::size_t>(at)];
            steps.push_back(Step{r.from, at, r.action, r.transition});
        }
        std::reverse(steps.begin(), steps.end());
        shared.Found(std::move(steps));
    };
    std::vector<std::uint32_t> inner;
    searches[0]->level.held = searches[0]->Initial();
    searches[0]->level.heldMonitors.assign(1, searches[0]->StartMonitor());
    const std::uint32_t width = searches[0]->Width();
    unsigned active = 1;
    std::int64_t levelFirst = 0;
    while (levelFirst < states.Count()) {
        crew.Run(active, [&](unsigned t) { searches[t]->Run(); });
        if (shared.halt.load()) return;
        const std::int64_t levelEnd = states.Count();
        found.clear();
        for (std::int64_t s = levelFirst; s < levelEnd; ++s) {
            if (settings.maxStates > 0 && states.Count() >= settings.maxStates) return shared.Halt(shared.bound);
            if (shared.stop.load(std::memory_order_relaxed)) return shared.Halt(shared.interrupted);
            if ((s & (MemoryCheckStep - 1)) == 0 &&
                shared.memory.NearLimit(static_cast<std::int64_t>(states.Bytes() + reached.capacity() * sizeof(Reached))))
                return shared.Halt(shared.memoryLow);
            const Place place = places[static_cast<std::size_t>(s - levelFirst)];
            Search& search = *searches[place.thread];
            const Search::Expanded& e = search.level.expanded[place.index];
            if (!monitor && e.transitions == 0 && !byDelta[static_cast<std::size_t>(s)]) return traceTo(s);
            for (std::size_t i = e.first; i < e.first + e.count; ++i) {
                const auto& successor = search.level.successors[i];
                const bool delta = successor.arc.action == shared.delta;
                std::int64_t number = 0;
                if (states.Intern(search.KeyOf(i), inner, number) == ClaimedStates::Claim::Known) {
                    if (delta) byDelta[static_cast<std::size_t>(number)] = 1;
                    continue;
                }
                reached.push_back(Reached{s, successor.transition, successor.arc.action});
                byDelta.push_back(delta ? 1 : 0);
                // The first forbidden run ends the search: its state is not expanded.
                if (monitor && monitor->Violated(successor.monitor)) return traceTo(number);
                found.push_back(Found{place.thread, i});
            }
        }
        levelFirst = levelEnd;
        // The new states to the threads: each thread keeps up to its share of
        // those it found, the rest go to the threads below their share.
        const unsigned holders = Enlist(compilation, searches, shared, crew,
                                        LevelThreads(static_cast<std::int64_t>(found.size()), std::max(settings.threads, 1u)));
        const auto threads = static_cast<unsigned>(searches.size());
        const std::size_t share = (found.size() + holders - 1) / std::max(holders, 1u);
        std::vector<std::size_t> kept(threads, 0);
        std::vector<unsigned> holder(found.size(), threads);
        for (std::size_t i = 0; i < found.size(); ++i) {
            const unsigned d = found[i].thread;
            if (d < holders && kept[d] < share) holder[i] = d, ++kept[d];
        }
        unsigned taker = 0;
        for (unsigned& h : holder) {
            if (h != threads) continue;
            while (kept[taker] >= share) ++taker;
            h = taker;
            ++kept[taker];
        }
        for (auto& search : searches) {
            search->level.next.clear();
            search->level.nextMonitors.clear();
        }
        nextPlaces.assign(found.size(), Place{0, 0});
        // Kept first, then the moved ones packed once per pair of threads.
        for (std::size_t i = 0; i < found.size(); ++i) {
            if (holder[i] != found[i].thread) continue;
            Search& search = *searches[holder[i]];
            const std::uint32_t* whole = search.SlotsOf(found[i].successor);
            nextPlaces[i] = Place{holder[i], search.level.next.size() / width};
            search.level.next.insert(search.level.next.end(), whole, whole + width);
            search.level.nextMonitors.push_back(search.level.successors[found[i].successor].monitor);
        }
        for (unsigned from = 0; from < threads; ++from)
            for (unsigned to = 0; to < threads; ++to) {
                if (from == to) continue;
                std::vector<std::uint32_t> wholes;
                std::size_t index = searches[to]->level.next.size() / width;
                for (std::size_t i = 0; i < found.size(); ++i) {
                    if (found[i].thread != from || holder[i] != to) continue;
                    const std::uint32_t* whole = searches[from]->SlotsOf(found[i].successor);
                    wholes.insert(wholes.end(), whole, whole + width);
                    searches[to]->level.nextMonitors.push_back(searches[from]->level.successors[found[i].successor].monitor);
                    nextPlaces[i] = Place{to, index++};
                }
                if (!wholes.empty()) searches[to]->Receive(*searches[from], wholes);
            }
        for (auto& search : searches) {
            search->level.held.swap(search->level.next);
            search->level.heldMonitors.swap(search->level.nextMonitors);
        }
        places.swap(nextPlaces);
        active = std::max(holders, 1u);
    }
}

}  // namespace quarvo::reduction
