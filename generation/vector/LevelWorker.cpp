// A thread's part of a level, and the hand-over of a level's new states.
#include "generation/vector/LevelWorker.h"

#include <algorithm>

namespace quarvo::levels {

void Worker::Expand(VectorStates& states, Blocks& blocks, std::int64_t levelFirst, std::int64_t levelEnd,
                    ExplorationShared& shared, const MemoryWatch& memory, Signals& signals, bool marking) {
    sources.clear();
    arcs.clear();
    keys.clear();
    firsts = 0;
    kept->Clear();
    firstTo_.Clear();
    fresh_ = 0;
    const std::uint32_t width = vectors.Width();
    const std::uint32_t keyWidth = vectors.KeyWidth();
    auto halt = [&] { signals.abandon.store(true, std::memory_order_relaxed); };
    std::int64_t arcsUntold = 0;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (signals.abandon.load(std::memory_order_relaxed)) return;
        if (shared.stopRequested.load(std::memory_order_relaxed)) return halt();
        state_.assign(held.begin() + i * width, held.begin() + (i + 1) * width);
        Source source{static_cast<std::uint32_t>(arcs.size()), 0, -1};
        // Its key as it was found, read back from the table.
        states.KeyOf(numbers[i], heldKey_.data(), heldInner_);
        if (vectors.Normalise(state_.data())) {
            source.rekeyAt = static_cast<std::int64_t>(keys.size());
            keys.resize(keys.size() + keyWidth);
            vectors.Key(state_.data(), keys.data() + source.rekeyAt);
        }
        bool idleKnown = false, idleAsked = false;
        // The inner values of the source as it stands idle: most often the
        // source's own, read back with its key, and not copied.
        const std::vector<std::uint32_t>* idleInner = &idleInner_;
        bool stop = false;
        // The transitions are derived first, the place of each successor's
        // root brought into the cache when its other pairs are known; they
        // are then interned in order.
        derived_.clear();
        derivedKeys_.clear();
        derivedChanged_.clear();
        auto derive = [&](const VectorArc& a, const std::uint32_t*) {
            const std::uint32_t* key = vectors.SuccessorKey();
            const std::uint32_t* idle = vectors.IdleKey();
            if (!idleAsked) {
                // The source as it stands idle is most often the source itself.
                if (std::equal(idle, idle + keyWidth, heldKey_.begin())) {
                    idleInner = &heldInner_;
                    idleKnown = true;
                } else {
                    idleKnown = states.Known(idle, idleInner_);
                }
                idleAsked = true;
            }
            const std::vector<std::uint32_t>& changed = vectors.ChangedKeySlots();
            std::uint64_t rootPair = VectorTree::NoRoot;
            if (idleKnown && changed.size() == 1)
                rootPair = states.PrefetchRootPair(idle, *idleInner, changed[0], key[changed[0]]);
            derived_.push_back(Derived{a, rootPair, static_cast<std::uint32_t>(derivedKeys_.size()),
                                       static_cast<std::uint32_t>(derivedChanged_.size()),
                                       static_cast<std::uint32_t>(changed.size())});
            if (rootPair == VectorTree::NoRoot) {
                derivedKeys_.insert(derivedKeys_.end(), key, key + keyWidth);
                derivedChanged_.insert(derivedChanged_.end(), changed.begin(), changed.end());
            }
            return true;
        };
        auto take = [&](std::size_t k) {
            const Derived& d = derived_[k];
            const VectorArc& a = d.arc;
            if (++arcsSinceCheck_ >= MemoryCheckStep) {
                arcsSinceCheck_ = 0;
                // What the level's arcs may still take: each thread's records
                // (their vector doubling at worst), then the store's bytes
                // each (the store's arrays grow in place, page by page).
                const std::int64_t growth =
                    static_cast<std::int64_t>((2 * sizeof(Arc) + store_.BytesPerArc()) * arcs.size() * threads_) +
                    static_cast<std::int64_t>(engine.Bytes());
                if (memory.NearLimit(growth)) {
                    signals.memoryLow.store(true, std::memory_order_relaxed);
                    halt();
                }
                if (signals.abandon.load(std::memory_order_relaxed)) {
                    stop = true;
                    return false;
                }
            }
            bool isNew = false;
            std::uint32_t root = PairTable::Full;
            if (d.rootPair != VectorTree::NoRoot) {
                root = states.InternRootPair(d.rootPair, isNew);
            } else {
                changed_.assign(derivedChanged_.begin() + d.firstChanged,
                                derivedChanged_.begin() + d.firstChanged + d.changedCount);
                root = states.InternNear(derivedKeys_.data() + d.keyAt, vectors.IdleKey(), *idleInner, idleKnown,
                                         changed_, scratch_, isNew);
            }
            if (root == PairTable::Full) {
                signals.tableFull.store(true, std::memory_order_relaxed);
                halt();
                stop = true;
                return false;
            }
            Arc arc{StoreLabel(a), root, NoRef};
            const std::int32_t named = isNew ? VectorStates::NoState : states.Named(root);
            if (named >= 0 && (marking || named < levelFirst)) {
                // A state of an earlier level keeps its number whatever this
                // level renumbers, and so does every state in a level where no key changes.
                arc.place = static_cast<std::uint32_t>(named);
            } else {
                // Numbered by the numbering, in the order of the rules: a new
                // state is the successor of its first arc there, which is this
                // thread's first arc to it. Its whole vector is kept then.
                auto keep = [&] {
                    const std::uint32_t* whole = vectors.Replay(k);
                    std::uint32_t mask = 0;
                    vectors.RootEvents(whole, mask, rootActions_.data());
                    // Packed and hashed here, off the numbering pass.
                    store_.PackEvents(mask, rootActions_.data(), rootEvents_);
                    return kept->Add(whole, rootEvents_, blocks.lock, blocks.owner);
                };
                bool first = false;
                std::uint32_t ref = Arc::Later;
                if (marking) {
                    first = states.MarkMet(root, id);
                    if (first) ref = keep();
                } else {
                    std::uint32_t& mapped = firstTo_.At(root);
                    first = mapped == NoRef;
                    if (first) mapped = keep();
                    ref = mapped;
                }
                if (ref == NoRef) {
                    signals.memoryLow.store(true, std::memory_order_relaxed);
                    halt();
                    stop = true;
                    return false;
                }
                arc.ref = ref | (first ? Arc::FirstBit : 0);
                if (first) ++firsts;
                if (isNew) ++fresh_;
            }
            arcs.push_back(arc);
            return true;
        };
        vectors.Expand(state_.data(), derive);
        for (std::size_t k = 0; k < derived_.size() && !stop; ++k) take(k);
        if (stop) return;
        if (engine.unguardedProcess && unguardedAt < 0) unguardedAt = numbers[i];
        source.arcCount = static_cast<std::uint32_t>(arcs.size()) - source.firstArc;
        sources.push_back(source);
        // The counters that progress shows, shared by the threads, are told
        // every few sources: each addition takes their cache line from the others.
        arcsUntold += source.arcCount;
        if ((sources.size() & 63) == 0) {
            shared.levelProgress.fetch_add(64, std::memory_order_relaxed);
            shared.arcs.fetch_add(arcsUntold, std::memory_order_relaxed);
            arcsUntold = 0;
            // The successors new to the table are a lower bound of the level's new states.
            shared.StatesAtLeast(levelEnd + fresh_);
        }
    }
    shared.levelProgress.fetch_add(static_cast<std::int64_t>(sources.size() & 63), std::memory_order_relaxed);
    shared.arcs.fetch_add(arcsUntold, std::memory_order_relaxed);
    shared.StatesAtLeast(levelEnd + fresh_);
}

void Hand(std::vector<std::unique_ptr<Worker>>& workers, const std::vector<Found>& found,
          std::vector<std::uint8_t>& holderOf, unsigned holders) {
    const auto threads = static_cast<unsigned>(workers.size());
    constexpr unsigned Pending = ~0u;
    std::vector<unsigned> holder(found.size(), 0);
    const std::size_t share = (found.size() + holders - 1) / holders;
    std::vector<std::size_t> kept(threads, 0);
    for (std::size_t i = 0; i < found.size(); ++i) {
        const unsigned d = found[i].discoverer;
        holder[i] = d < holders && kept[d] < share ? d : Pending;
        if (holder[i] != Pending) ++kept[d];
    }
    unsigned taker = 0;
    for (unsigned& h : holder) {
        if (h != Pending) continue;
        while (kept[taker] >= share) ++taker;
        h = taker;
        ++kept[taker];
    }
    const std::uint32_t width = workers[0]->vectors.Width();
    // The terms of the states that change threads, packed once per pair of threads.
    struct Fix {
        unsigned to;
        std::size_t at;   // slot in the holder's next states
        unsigned from;
        std::uint32_t place;  // in the packet from -> to, plus one: its term in the made terms
    };
    std::vector<Fix> fixes;
    std::vector<std::vector<TermPacket>> packets(threads, std::vector<TermPacket>(threads));
    std::vector<std::pair<std::size_t, std::size_t>> moved;  // (found, where in the holder's next states)
    holderOf.clear();
    for (std::size_t i = 0; i < found.size(); ++i) {
        Worker& to = *workers[holder[i]];
        const std::uint32_t* whole = workers[found[i].discoverer]->kept->Whole(found[i].index);
        if (holder[i] != found[i].discoverer) moved.emplace_back(i, to.next.size());
        to.next.append(std::span<const std::uint32_t>(whole, width));
        to.numbers.push_back(found[i].number);
        holderOf.push_back(static_cast<std::uint8_t>(holder[i]));
    }
    for (unsigned f = 0; f < threads; ++f) {
        Worker& from = *workers[f];
        for (unsigned t = 0; t < threads; ++t) {
            if (t == f) continue;
            Worker& to = *workers[t];
            std::vector<TermId>& known = to.translated[f];
            for (const auto& [i, base] : moved) {
                if (found[i].discoverer != f || holder[i] != t) continue;
                for (std::uint32_t slot = 0; slot < width; ++slot) {
                    std::uint32_t& value = to.next[base + slot];
                    if (!to.vectors.IsComponent(slot)) {
                        if (value != VectorEngine::Derived) {
                            std::array<ActionId, 32> actions{};
                            const ActionId* source = from.engine.EventActions(value);
                            const std::uint32_t mask = from.engine.EventMask(value);
                            std::copy(source, source + std::popcount(mask), actions.begin());
                            value = to.engine.MakeEvents(mask, actions.data());
                        }
                    } else if (value == 0) {
                        // The null term (an operand that ended) is the null term everywhere.
                    } else if (value < known.size() && known[value]) {
                        value = known[value];
                    } else {
                        fixes.push_back(Fix{t, base + slot, f, from.engine.Pack(value, packets[f][t])});
                    }
                }
            }
            // One packing per destination: a node shared by two packets is in each.
            from.engine.EndPacking();
        }
    }
    std::vector<TermId> made;
    for (unsigned f = 0; f < threads; ++f) {
        for (unsigned t = 0; t < threads; ++t) {
            if (packets[f][t].nodes.empty()) continue;
            workers[t]->engine.Unpack(packets[f][t], made);
            workers[t]->made[f] = made;
        }
    }
    for (const Fix& fix : fixes) {
        Worker& to = *workers[fix.to];
        std::uint32_t& value = to.next[fix.at];
        const TermId term = to.made[fix.from][fix.place];
        // value is still the discoverer's term.
        std::vector<TermId>& known = to.translated[fix.from];
        if (known.size() <= value) known.resize(value + value / 2 + 64, 0);
        known[value] = term;
        value = term;
    }
}

}  // namespace quarvo::levels
