// Level-by-level exploration over MPI processes on state vectors, numbering states as one process does.
//
// A state belongs to the process its components' canonical hashes name;
// that process keeps the identity vectors it was asked about in a
// tree-compressed table (each with the number it names), and the whole
// vectors of its new states until they are explored. Each level goes in
// five exchanges:
//   1. every process derives the successors of the states of the level it
//      holds and sends each successor's whole vector to its owner (with,
//      for a state whose identity changed in its normal form, the index
//      updates this asks for). A vector travels slot by slot against the
//      one sent to the same process before it, which most often differs in
//      a slot or two; a component's term, or a node's events, is sent whole
//      once and then goes by its number;
//   2. each owner reads what every process sent in the order one process
//      would apply it (source number, then index updates before arcs, then
//      arc index) and answers, with the state's maximal events: a known
//      state's number, or "first discoverer of new state j" (keeping that
//      vector), or "same as new state j";
//   3. a sum over the level's sources of their first discoveries gives each
//      new state its number, in the order of its first discoverer;
//   4. the first discoverers send the numbers to the owners;
//   5. the owners tell the other discoverers the numbers they asked about.
#include "distributed/VectorDistributed.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <unordered_map>

#include "distributed/LevelSteps.h"
#include "distributed/VectorWire.h"
#include "distributed/WireEvents.h"
#include "generation/Engine.h"
#include "generation/MemoryWatch.h"
#include "generation/StateEncoding.h"
#include "generation/StoreSets.h"
#include "generation/vector/VectorEngine.h"
#include "generation/vector/VectorStates.h"

namespace quarvo {
namespace {

// With a reply: the state named is held by a process other than the one that answers, named next.
constexpr std::uint8_t HeldElsewhere = 4;

// A state this process holds the vector of, still to be explored.
struct Held {
    std::int64_t number;
    std::uint32_t entry;   // its identity vector's entry here, as it was found
    std::uint32_t state;   // its place in the owned STEM
    std::uint32_t vector;  // its place among the level's vectors
};

// A transition derived here, until its target has a number.
struct PendingArc {
    ActionId action;
    std::int32_t event;
    EventSetId causes;
    std::uint32_t holder = 0;  // the process that holds the target state
    std::int32_t target = -1;  // Known: the number; First, Same: the new state's place at its owner, until numbered
    std::uint32_t position;  // once numbered, a first discovery's place at its owner
    std::uint16_t owner;
    ReplyKind reply = Known;
};

// A new state of this level at its owner.
struct Slot {
    std::uint32_t entry;
    std::int64_t number = -1;
    EventSetId events = EmptyEventSet;
};

std::uint64_t MixHash(std::uint64_t h, std::uint64_t v) {
    h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    return h * 0xFF51AFD7ED558CCDull;
}

class VectorExplorer {
public:
    VectorExplorer(Peers& peers, const std::shared_ptr<const Compilation>& compilation,
                   const GenerationSettings& settings, OwnedStem& stem)
        : peers_(peers),
          compilation_(compilation),
          settings_(settings),
          stem_(stem),
          names_(stem.pools.actions),
          engine_(stem.pools.actions, StateIdentity{settings.semantics, settings.cpbrOff}, &names_),
          vectors_(engine_),
          processes_(compilation.get()),
          memory_(settings.memoryLimit),
          k_(static_cast<std::uint32_t>(peers.Size())),
          self_(static_cast<std::uint32_t>(peers.Rank())) {}

    bool Run(LevelProgress* progress, ProcessFigures& figures, GenerationResult& result);

private:
    // The owner of a successor, from its identity vector: each component's
    // canonical hash is kept by its identity.
    std::uint32_t OwnerOf(const std::uint32_t* key, const std::uint32_t* vector) {
        const std::vector<std::uint32_t>& order = vectors_.KeyOrder();
        std::uint64_t h = 0x5851F42D4C957F2Dull;
        for (const std::uint32_t slot : components_) {
            const std::uint32_t identity = key[order[slot]];
            if (identity >= canonical_.size()) canonical_.resize(std::size_t{identity} + identity / 2 + 1024, 0);
            std::uint64_t& c = canonical_[identity];
            if (!c) {
                engine_.Identity(vector[slot]);
                c = engine_.CanonicalHash(vector[slot], processes_);
            }
            h = MixHash(h, c);
        }
        return static_cast<std::uint32_t>((h >> 7) % k_);
    }
    std::uint32_t OwnerOf(const std::uint32_t* vector) {
        std::uint64_t h = 0x5851F42D4C957F2Dull;
        for (const std::uint32_t slot : components_) {
            // The canonical hash is kept by identity: the identity first.
            engine_.Identity(vector[slot]);
            h = MixHash(h, engine_.CanonicalHash(vector[slot], processes_));
        }
        return static_cast<std::uint32_t>((h >> 7) % k_);
    }
    // The vector from that process, into vectorFrom_, and its identity vector.
    // When the identity is its components' alone, only the components that
    // changed since the vector read before from the same process are looked at.
    const std::uint32_t* ReadKey(std::uint32_t from, ByteReader& r) {
        std::vector<std::uint32_t>& key = keyFrom_[from];
        std::vector<std::uint32_t>& vector = vectorFrom_[from];
        vector.resize(width_);
        changedKeys_.clear();
        if (!componentKeys_ || key.empty()) {
            changedKnown_ = false;
            wire_->ReadVector(from, r, vector.data());
            key.resize(vectors_.KeyWidth());
            vectors_.Key(vector.data(), key.data());
            return key.data();
        }
        changedKnown_ = true;
        wire_->ReadVector(from, r, vector.data(), &changed_);
        const std::vector<std::uint32_t>& order = vectors_.KeyOrder();
        for (const std::uint32_t slot : changed_)
            if (vectors_.IsComponent(slot)) {
                key[order[slot]] = engine_.Identity(vector[slot]);
                changedKeys_.push_back(order[slot]);
            }
        std::sort(changedKeys_.begin(), changedKeys_.end());
        return key.data();
    }
    // The entry of key here, added (naming no state) when it is not.
    std::uint32_t Entry(const std::uint32_t* key) {
        const std::int64_t known = keys_->Find(key);
        if (known >= 0) return static_cast<std::uint32_t>(known);
        keys_->Add(key);
        value_.push_back(-1);
        return static_cast<std::uint32_t>(value_.size() - 1);
    }
    EventSetId RootEvents(const std::uint32_t* vector) {
        std::uint32_t mask = 0;
        vectors_.RootEvents(vector, mask, rootActions_.data());
        return mask ? stem_.pools.InternEvents(mask, rootActions_.data()) : EmptyEventSet;
    }

    void Expand();
    void Answer(std::vector<std::string>& incoming);
    void TakeAnswers(std::vector<std::string>& incoming);
    bool Number(std::int64_t& boundSource, std::uint32_t& boundArc);
    void SendNumbers(std::int64_t limit);

    Peers& peers_;
    std::shared_ptr<const Compilation> compilation_;
    const GenerationSettings& settings_;
    OwnedStem& stem_;
    SharedNames names_;
    Engine engine_;
    VectorEngine vectors_;
    CanonicalProcesses processes_;
    MemoryWatch memory_;
    const std::uint32_t k_, self_;
    WireEvents events_{stem_.pools, names_};
    StoreSets storeSet_{engine_, stem_.pools};

    std::uint32_t width_ = 0;
    std::vector<std::uint32_t> components_;
    std::unique_ptr<VectorWire> wire_;
    // Index: per identity vector asked about here, the number it names (or Pending + j), and that state's events.
    std::unique_ptr<VectorStates> keys_;
    std::vector<std::int64_t> value_;
    // Entries that name a state held elsewhere (a key its source took when its
    // components were normalised), and that process.
    std::unordered_map<std::uint32_t, std::uint32_t> rekeyHolder_;
    std::vector<std::uint32_t> state_, key_, changed_, changedKeys_;
    bool changedKnown_ = false;  // changedKeys_ holds the slots of the key read last that changed
    // Per process, the identity vector of the vector read last from it in the
    // level (none at its start), when identities are the components' alone.
    std::vector<std::vector<std::uint32_t>> keyFrom_, vectorFrom_;
    bool componentKeys_ = false;
    std::vector<std::uint64_t> canonical_;  // per identity, its component's canonical hash (0 for not yet)
    std::array<ActionId, 32> rootActions_{};

    std::int64_t first_ = 0, end_ = 1, count_ = 1;  // the level, and every state numbered
    std::vector<Held> held_, next_;
    // The whole vectors of the held states, and of the level's new states here.
    std::vector<std::uint32_t> heldVectors_, slotVectors_;
    std::vector<PendingSource> sources_;
    std::vector<PendingArc> arcs_;
    std::vector<std::string> outgoing_;
    std::vector<Slot> slots_;
    std::vector<std::vector<std::uint32_t>> sameOf_;  // per asking process, the new states its "same" answers named
    bool memoryLow_ = false;
    std::int64_t unguardedAt_ = -1;
    std::int64_t sinceCheck_ = 0;
};

// 1. The successors of the held states, and the questions about them.
void VectorExplorer::Expand() {
    sources_.clear();
    arcs_.clear();
    outgoing_.assign(k_, std::string());
    wire_->StartLevel(first_);
    std::vector<ByteWriter> writers;
    for (std::string& o : outgoing_) writers.emplace_back(o);
    for (std::uint32_t h = 0; h < held_.size(); ++h) {
        const Held& s = held_[h];
        PendingSource record{h, static_cast<std::uint32_t>(arcs_.size()), 0};
        if (memoryLow_) {
            sources_.push_back(record);
            continue;
        }
        state_.assign(heldVectors_.begin() + std::ptrdiff_t{s.vector} * width_,
                      heldVectors_.begin() + std::ptrdiff_t{s.vector + 1} * width_);
        if (vectors_.Normalise(state_.data())) {
            // The index entries move as one process moves them.
            wire_->WriteHead(self_, writers[self_], s.number, RekeyFrom);
            writers[self_].Number(s.entry);
            const std::uint32_t owner = OwnerOf(state_.data());
            wire_->WriteHead(owner, writers[owner], s.number, RekeyTo);
            wire_->WriteVector(owner, writers[owner], state_.data());
        }
        std::uint32_t index = 0;
        vectors_.Expand(state_.data(), [&](const VectorArc& arc, const std::uint32_t*) {
            if (++sinceCheck_ >= MemoryCheckStep) {
                sinceCheck_ = 0;
                std::size_t buffered = 0;
                for (const std::string& o : outgoing_) buffered += o.capacity();
                const auto growth = static_cast<std::int64_t>(2 * (sizeof(PendingArc) * arcs_.size() + buffered) +
                                                              engine_.Bytes() + keys_->Bytes());
                if (memory_.NearLimit(growth)) {
                    memoryLow_ = true;
                    return false;
                }
            }
            const std::uint32_t* whole = vectors_.WholeSuccessor();
            const std::uint32_t owner = OwnerOf(vectors_.SuccessorKey(), whole);
            wire_->WriteHead(owner, writers[owner], s.number, std::uint64_t{index++} * 3 + Query);
            wire_->WriteVector(owner, writers[owner], whole);
            arcs_.push_back(PendingArc{arc.action, arc.event, storeSet_(arc.causes), EmptyEventSet, -1,
                                       0, static_cast<std::uint16_t>(owner), Known});
            return true;
        });
        if (engine_.unguardedProcess && unguardedAt_ < 0) unguardedAt_ = s.number;
        record.arcCount = static_cast<std::uint32_t>(arcs_.size()) - record.firstArc;
        sources_.push_back(record);
    }
}

// 2. The owner's side: what every process sent, in one process's order, and the answers.
void VectorExplorer::Answer(std::vector<std::string>& incoming) {
    // The next messages of each process, read ahead: their vectors and
    // identity vectors decoded and the places of their roots in the table
    // brought into the cache while the messages before them are answered.
    struct Head {
        std::int64_t source = 0;
        std::uint64_t arcKind = 0;  // arc * 3 + kind
        bool live = false;
        std::uint64_t entry = 0;               // RekeyFrom
        const std::uint32_t* key = nullptr;    // RekeyTo, Query
        std::uint64_t pair = VectorTree::NoRoot;
        std::uint32_t epoch = 0;
        std::size_t entries = 0;  // entries in the table when pair was told
    };
    std::vector<ByteReader> readers;
    for (const std::string& in : incoming) readers.emplace_back(in);
    for (std::vector<std::uint32_t>& key : keyFrom_) key.clear();
    vectorFrom_.resize(k_);
    // Per process, its next messages in a ring, each with its vectors.
    constexpr std::uint32_t Ahead = 8;
    const std::uint32_t keyWidth = vectors_.KeyWidth();
    struct Ring {
        std::array<Head, Ahead> heads;
        std::vector<std::uint32_t> keys, vectors;
        std::uint32_t first = 0, count = 0;
        bool ended = false;
        // The values above the slots of the key read last, when all its pairs were in the table.
        std::vector<std::uint32_t> inner;
        bool innerKnown = false;
        std::uint32_t innerEpoch = 0;
    };
    std::vector<Ring> rings(k_);
    for (Ring& ring : rings) {
        ring.keys.resize(std::size_t{Ahead} * keyWidth);
        ring.vectors.resize(std::size_t{Ahead} * width_);
    }
    auto fill = [&](std::uint32_t p) {
        Ring& ring = rings[p];
        ByteReader& r = readers[p];
        while (!ring.ended && ring.count < Ahead) {
            const std::uint32_t at = (ring.first + ring.count) % Ahead;
            Head& h = ring.heads[at];
            h.live = wire_->ReadHead(p, r, h.source, h.arcKind);
            if (!h.live) {
                ring.ended = true;
                break;
            }
            ++ring.count;
            if (h.arcKind % 3 > Query || h.source >= end_) Unreadable("question");
            if (h.arcKind % 3 == RekeyFrom) {
                h.entry = r.Number();
                if (p != self_ || h.entry >= value_.size()) Unreadable("question");
                continue;
            }
            const std::uint32_t* key = ReadKey(p, r);
            std::uint32_t* keyCopy = ring.keys.data() + std::size_t{at} * keyWidth;
            std::copy(key, key + keyWidth, keyCopy);
            std::copy(vectorFrom_[p].begin(), vectorFrom_[p].end(), ring.vectors.begin() + std::ptrdiff_t{at} * width_);
            h.key = keyCopy;
            // Along the paths of the slots that changed since the key before, when its pairs were known.
            const bool near = changedKnown_ && ring.innerKnown && ring.innerEpoch == keys_->Epoch();
            h.pair = keys_->PrefetchKeyNear(h.key, ring.inner, near, changedKeys_);
            ring.innerKnown = h.pair != VectorTree::NoRoot;
            ring.innerEpoch = keys_->Epoch();
            h.epoch = keys_->Epoch();
            h.entries = value_.size();
        }
    };
    // The entry of the message's identity vector, added when it is new.
    auto entryOf = [&](Head& h) {
        // The table grew since, or a key added since made this one's pairs.
        if (h.epoch != keys_->Epoch() || (h.pair == VectorTree::NoRoot && h.entries != value_.size()))
            h.pair = keys_->PrefetchKey(h.key);
        std::int64_t known = h.pair == VectorTree::NoRoot ? -1 : keys_->FindRootPair(h.pair);
        if (known >= 0) return static_cast<std::uint32_t>(known);
        if (h.pair == VectorTree::NoRoot)
            keys_->Add(h.key);
        else
            keys_->AddRootPair(h.pair, h.key);
        value_.push_back(-1);
        return static_cast<std::uint32_t>(value_.size() - 1);
    };
    // Index updates before the arcs of the same source, then the arcs in order.
    auto front = [&](std::uint32_t p) -> Head& { return rings[p].heads[rings[p].first]; };
    auto before = [&](std::uint32_t a, std::uint32_t b) {
        const Head &x = front(a), &y = front(b);
        if (x.source != y.source) return x.source < y.source;
        const bool xArc = x.arcKind % 3 == Query, yArc = y.arcKind % 3 == Query;
        if (xArc != yArc) return !xArc;
        return x.arcKind / 3 < y.arcKind / 3;
    };
    for (std::uint32_t p = 0; p < k_; ++p) fill(p);
    outgoing_.assign(k_, std::string());
    std::vector<ByteWriter> writers;
    for (std::string& o : outgoing_) writers.emplace_back(o);
    slots_.clear();
    slotVectors_.clear();
    for (;;) {
        std::uint32_t from = k_;
        for (std::uint32_t p = 0; p < k_; ++p)
            if (rings[p].count > 0 && (from == k_ || before(p, from))) from = p;
        if (from == k_) break;
        Head& h = front(from);
        const std::int64_t source = h.source;
        switch (static_cast<OpKind>(h.arcKind % 3)) {
            case RekeyFrom:
                if (value_[h.entry] == source) value_[h.entry] = -1;
                break;
            case RekeyTo: {
                const std::uint32_t entry = entryOf(h);
                if (value_[entry] < 0 || value_[entry] > source) {
                    value_[entry] = source;
                    if (from == self_)
                        rekeyHolder_.erase(entry);
                    else
                        rekeyHolder_[entry] = from;
                }
                break;
            }
            case Query: {
                const std::uint32_t entry = entryOf(h);
                std::int64_t& value = value_[entry];
                ByteWriter& w = writers[from];
                if (value >= Pending) {
                    const auto j = static_cast<std::size_t>(value - Pending);
                    sameOf_[from].push_back(static_cast<std::uint32_t>(j));
                    w.Byte(Same);
                    w.Number(j);
                } else if (value >= 0) {
                    const auto held = rekeyHolder_.find(entry);
                    w.Byte(static_cast<std::uint8_t>(held == rekeyHolder_.end() ? Known : Known | HeldElsewhere));
                    w.Number(static_cast<std::uint64_t>(value));
                    if (held != rekeyHolder_.end()) w.Number(held->second);
                } else {
                    const std::size_t j = slots_.size();
                    value = Pending + static_cast<std::int64_t>(j);
                    const std::uint32_t* vector =
                        rings[from].vectors.data() + std::size_t{rings[from].first} * width_;
                    slots_.push_back(Slot{entry, -1, RootEvents(vector)});
                    slotVectors_.insert(slotVectors_.end(), vector, vector + width_);
                    w.Byte(First);
                    w.Number(j);
                }
                break;
            }
        }
        Ring& ring = rings[from];
        ring.first = (ring.first + 1) % Ahead;
        --ring.count;
        fill(from);
    }
    for (std::string& in : incoming) std::string().swap(in);
}

void VectorExplorer::TakeAnswers(std::vector<std::string>& incoming) {
    std::vector<ByteReader> readers;
    for (const std::string& in : incoming) readers.emplace_back(in);
    for (PendingArc& arc : arcs_) {
        ByteReader& r = readers[arc.owner];
        const std::uint8_t reply = r.Byte();
        arc.reply = static_cast<ReplyKind>(reply & ~HeldElsewhere);
        arc.target = static_cast<std::int32_t>(r.Number());
        arc.holder = arc.owner;
        if (reply & HeldElsewhere) {
            arc.holder = static_cast<std::uint32_t>(r.Number());
            if (arc.holder >= k_) Unreadable("réponse");
        }
        if (r.Failed() || arc.reply > Same) Unreadable("réponse");
    }
}

// 3. Numbers in the order of the first discoverer.
bool VectorExplorer::Number(std::int64_t& boundSource, std::uint32_t& boundArc) {
    return NumberFirstDiscoveries(
        peers_, first_, end_, sources_, held_, arcs_, memoryLow_, settings_.maxStates, count_, boundSource, boundArc,
        [](const PendingArc& arc) { return arc.reply == First; },
        [](PendingArc& arc, std::int64_t number) {
            arc.position = static_cast<std::uint32_t>(arc.target);  // the new state's place at its owner
            arc.target = static_cast<std::int32_t>(number);
        });
}

// 4 and 5. The new states' numbers to their owners; the numbers to the other discoverers.
void VectorExplorer::SendNumbers(std::int64_t limit) {
    outgoing_.assign(k_, std::string());
    next_.clear();
    auto adopt = [&](std::uint64_t j, std::int64_t number) {
        if (j >= slots_.size() || slots_[j].number >= 0) Unreadable("nouvel état");
        Slot& slot = slots_[j];
        slot.number = number;
        if (value_[slot.entry] == Pending + static_cast<std::int64_t>(j)) {
            value_[slot.entry] = number;
            rekeyHolder_.erase(slot.entry);
        }
        stem_.states.push_back(OwnedStem::State{number, slot.events});
        next_.push_back(Held{number, slot.entry, static_cast<std::uint32_t>(stem_.states.size() - 1),
                             static_cast<std::uint32_t>(j)});
    };
    {
        std::vector<ByteWriter> writers;
        for (std::string& o : outgoing_) writers.emplace_back(o);
        for (const PendingArc& arc : arcs_) {
            if (arc.reply != First || arc.target >= limit) continue;
            if (arc.owner == self_) {
                adopt(arc.position, arc.target);
                continue;
            }
            writers[arc.owner].Number(arc.position);
            writers[arc.owner].Number(static_cast<std::uint64_t>(arc.target));
        }
    }
    std::vector<std::string> incoming = peers_.AllToAll(outgoing_);
    // The new states adopted come in runs of increasing numbers (this
    // process's, then each other one's): merged, not sorted.
    const auto byNumber = [](const Held& a, const Held& b) { return a.number < b.number; };
    for (std::uint32_t from = 0; from < k_; ++from) {
        if (from == self_) continue;
        const auto run = static_cast<std::ptrdiff_t>(next_.size());
        ByteReader r(incoming[from]);
        while (!r.AtEnd()) {
            const std::uint64_t j = r.Number();
            const auto number = static_cast<std::int64_t>(r.Number());
            if (r.Failed()) Unreadable("nouvel état");
            adopt(j, number);
        }
        if (!std::is_sorted(next_.begin() + run, next_.end(), byNumber)) Unreadable("nouvel état");
        std::inplace_merge(next_.begin(), next_.begin() + run, next_.end(), byNumber);
    }
    // 5. To each process, in the order of its questions answered "same", the
    // number of the state they named (plus one; 0 past the bound).
    outgoing_.assign(k_, std::string());
    for (std::uint32_t p = 0; p < k_; ++p) {
        ByteWriter w(outgoing_[p]);
        for (const std::uint32_t j : sameOf_[p]) w.Number(static_cast<std::uint64_t>(slots_[j].number + 1));
        sameOf_[p].clear();
    }
    incoming = peers_.AllToAll(outgoing_);
    std::vector<ByteReader> readers;
    for (const std::string& in : incoming) readers.emplace_back(in);
    for (PendingArc& arc : arcs_) {
        if (arc.reply != Same) continue;
        const std::uint64_t n = readers[arc.owner].Number();
        if (readers[arc.owner].Failed()) Unreadable("numéro");
        if (n > 0) arc.target = static_cast<std::int32_t>(n - 1);
    }
}

bool VectorExplorer::Run(LevelProgress* progress, ProcessFigures& figures, GenerationResult& result) {
    {
        bool built = false;
        try {
            const TermId root = engine_.Import(compilation_ ? compilation_->rootBehaviour : nullptr);
            built = vectors_.Build(engine_.Normalize(root), state_);
        } catch (const std::bad_alloc&) {
            built = false;  // the exploration on terms says how memory ran out
        }
        // Every process made the same structure; each agrees all did.
        if (peers_.Min(built ? 1 : 0) == 0) return false;
    }
    stem_.targetsNameHolders = true;
    vectors_.PlanKey(state_.data());
    width_ = vectors_.Width();
    for (std::uint32_t i = 0; i < width_; ++i)
        if (vectors_.IsComponent(i)) components_.push_back(i);
    sameOf_.resize(k_);
    keyFrom_.resize(k_);
    componentKeys_ = vectors_.KeyWidth() == components_.size();
    wire_ = std::make_unique<VectorWire>(k_, self_, engine_, vectors_, processes_, stem_.pools, events_);
    keys_ = std::make_unique<VectorStates>(vectors_.KeyWidth());
    key_.resize(vectors_.KeyWidth());
    if (OwnerOf(state_.data()) == self_) {
        vectors_.Key(state_.data(), key_.data());
        const std::uint32_t entry = Entry(key_.data());
        value_[entry] = 0;
        stem_.states.push_back(OwnedStem::State{0, EmptyEventSet});
        held_.push_back(Held{0, entry, 0, 0});
        heldVectors_ = state_;
    }
    std::int64_t explored = 0;
    std::int64_t levels = 0;
    while (first_ < end_) {
        Expand();
        std::vector<std::string> incoming = peers_.AllToAll(outgoing_);
        Answer(incoming);
        incoming = peers_.AllToAll(outgoing_);
        TakeAnswers(incoming);
        std::int64_t boundSource = -1;
        std::uint32_t boundArc = 0;
        if (!Number(boundSource, boundArc)) {
            result.stoppedByMemory = true;
            break;
        }
        SendNumbers(boundSource >= 0 ? settings_.maxStates : count_);
        StoreLevelArcs(stem_, sources_, held_, arcs_, boundSource, boundArc,
                       [](const PendingArc& arc) { return arc.holder; });
        explored = boundSource >= 0 ? boundSource + 1 : end_;
        stem_.arcCount = peers_.Sum(static_cast<std::int64_t>(stem_.arcs.size()));
        ++levels;
        if (progress) progress->Level(levels, count_, stem_.arcCount);
        held_.swap(next_);
        heldVectors_.swap(slotVectors_);
        arcs_.clear();
        arcs_.shrink_to_fit();
        if (boundSource >= 0) {
            result.stoppedByBound = true;
            break;
        }
        first_ = end_;
        end_ = count_;
    }
    figures.levels = levels;
    CloseExploration(peers_, engine_, names_, stem_, count_, first_, explored, unguardedAt_, result, figures);
    figures.indexBytes = static_cast<std::int64_t>(keys_->Bytes() + value_.capacity() * 8 +
                                                   wire_->Bytes());
    return true;
}

}  // namespace

bool ExploreDistributedVectors(Peers& peers, const std::shared_ptr<const Compilation>& compilation,
                               const GenerationSettings& settings, OwnedStem& stem, LevelProgress* progress,
                               ProcessFigures& figures, GenerationResult& result) {
    VectorExplorer explorer(peers, compilation, settings, stem);
    return explorer.Run(progress, figures, result);
}

}  // namespace quarvo
