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

#include <sys/resource.h>

#include "distributed/WireEvents.h"
#include "generation/Engine.h"
#include "generation/MemoryWatch.h"
#include "generation/StateEncoding.h"
#include "generation/StoreSets.h"
#include "generation/vector/VectorEngine.h"
#include "generation/vector/VectorStates.h"

namespace quarvo {
namespace {

constexpr std::int64_t MemoryCheckStep = 1 << 14;
// An index entry that names the j-th new state of this level at its owner.
constexpr std::int64_t Pending = std::int64_t{1} << 62;

enum OpKind : std::uint8_t { RekeyFrom = 0, RekeyTo = 1, Query = 2 };
enum ReplyKind : std::uint8_t { Known = 0, First = 1, Same = 2 };

// What this process told one peer, or heard from it: terms, the events of
// compositions and hidings, and maximal events, each sent whole once and
// then named by its number; and the vector sent (or read) last in the level.
// To itself, a process names them by its own ids.
struct Dictionary {
    // Sender: per id here, its number plus one.
    std::vector<std::uint32_t> termSent, setSent, eventsSent;
    std::uint32_t terms = 0, sets = 0, events = 0;
    // Receiver: per number, the id here.
    std::vector<TermId> termOf;
    std::vector<SetId> setOf;
    std::vector<EventSetId> eventsOf;
    std::vector<std::uint32_t> previous;
    std::int64_t source = 0;  // the source of the last question or update, in the level
};

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
    EventSetId targetEvents = EmptyEventSet;
    std::int32_t target = -1;  // Known: the number; First, Same: the new state's place at its owner, until numbered
    // Among the questions to owner; once numbered, a first discovery's place at its owner.
    std::uint32_t position;
    std::uint16_t owner;
    ReplyKind reply = Known;
};

struct PendingSource {
    std::uint32_t held;
    std::uint32_t firstArc;
    std::uint32_t arcCount;
};

// A new state of this level at its owner.
struct Slot {
    std::uint32_t entry;
    std::int64_t number = -1;
    EventSetId events = EmptyEventSet;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> same;  // (process, position) to tell its number
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
          self_(static_cast<std::uint32_t>(peers.Rank())),
          toPeer_(k_),
          fromPeer_(k_) {}

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
    [[noreturn]] void Fail(const char* what) {
        std::string text = "calvento-mpi : message illisible entre les processus (";
        text += what;
        text += ").";
        throw std::runtime_error(text);
    }
    static std::uint32_t& Sent(std::vector<std::uint32_t>& sent, std::uint32_t id) {
        if (id >= sent.size()) sent.resize(std::size_t{id} + id / 2 + 64, 0);
        return sent[id];
    }

    void WriteHead(std::uint32_t to, ByteWriter& w, std::int64_t source, std::uint32_t arc, OpKind kind) {
        Dictionary& d = toPeer_[to];
        w.Number(static_cast<std::uint64_t>(source - d.source));
        d.source = source;
        w.Number(std::uint64_t{arc} * 3 + kind);
    }
    void WriteVector(std::uint32_t to, ByteWriter& w, const std::uint32_t* vector);
    void ReadVector(std::uint32_t from, ByteReader& r, std::uint32_t* vector);
    void WriteEvents(std::uint32_t to, ByteWriter& w, EventSetId events) {
        if (to == self_) return w.Number(events);
        Dictionary& d = toPeer_[to];
        std::uint32_t& sent = Sent(d.eventsSent, events);
        if (sent) return w.Number(sent - 1);
        w.Number(d.events);
        sent = ++d.events;
        wire_.Write(w, events);
    }
    EventSetId ReadEvents(std::uint32_t from, ByteReader& r) {
        const std::uint64_t n = r.Number();
        if (from == self_) return static_cast<EventSetId>(n);
        Dictionary& d = fromPeer_[from];
        if (n < d.eventsOf.size()) return d.eventsOf[n];
        if (n > d.eventsOf.size()) Fail("événements");
        d.eventsOf.push_back(wire_.Read(r));
        return d.eventsOf.back();
    }
    // The entry of key here, added (naming no state) when it is not.
    std::uint32_t Entry(const std::uint32_t* key) {
        const std::int64_t known = keys_->Find(key);
        if (known >= 0) return static_cast<std::uint32_t>(known);
        keys_->Add(key);
        value_.push_back(-1);
        eventsOf_.push_back(EmptyEventSet);
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
    void StoreArcs(std::int64_t boundSource, std::uint32_t boundArc);

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
    WireEvents wire_{stem_.pools, names_};
    StoreSets storeSet_{engine_, stem_.pools};

    std::uint32_t width_ = 0;
    std::vector<std::uint8_t> isComponent_;
    std::vector<std::uint32_t> components_;
    std::vector<Dictionary> toPeer_, fromPeer_;
    // Index: per identity vector asked about here, the number it names (or Pending + j), and that state's events.
    std::unique_ptr<VectorStates> keys_;
    std::vector<std::int64_t> value_;
    std::vector<EventSetId> eventsOf_;
    std::vector<std::uint32_t> state_, key_;
    std::vector<std::uint64_t> canonical_;  // per identity, its component's canonical hash (0 for not yet)
    std::array<ActionId, 32> rootActions_{};
    std::vector<ActionId> setActions_;

    std::int64_t first_ = 0, end_ = 1, count_ = 1;  // the level, and every state numbered
    std::vector<Held> held_, next_;
    // The whole vectors of the held states, and of the level's new states here.
    std::vector<std::uint32_t> heldVectors_, slotVectors_;
    std::vector<PendingSource> sources_;
    std::vector<PendingArc> arcs_;
    std::vector<std::string> outgoing_;
    std::vector<std::uint32_t> asked_;  // questions sent to each process this level
    std::vector<Slot> slots_;
    std::vector<std::int64_t> firsts_;  // per held source: its first discoveries, then where their numbers start
    bool memoryLow_ = false;
    std::int64_t unguardedAt_ = -1;
    std::int64_t sinceCheck_ = 0;
};

void VectorExplorer::WriteVector(std::uint32_t to, ByteWriter& w, const std::uint32_t* vector) {
    Dictionary& d = toPeer_[to];
    std::uint32_t next = 0;  // the slot after the last one written
    for (std::uint32_t i = 0; i < width_; ++i) {
        const std::uint32_t v = vector[i];
        if (v == d.previous[i]) continue;
        d.previous[i] = v;
        w.Number(i - next + 1);
        next = i + 1;
        if (isComponent_[i]) {
            if (to == self_) {
                w.Number(v);
                continue;
            }
            std::uint32_t& sent = Sent(d.termSent, v);
            if (sent) {
                w.Number(sent - 1);
                continue;
            }
            w.Number(d.terms);
            sent = ++d.terms;
            std::string bytes;
            engine_.EncodeTerm(v, processes_, bytes);
            w.Text(bytes);
        } else if (v == VectorEngine::Derived) {
            w.Number(0);
        } else if (to == self_) {
            w.Number(std::uint64_t{v} + 1);
        } else {
            std::uint32_t& sent = Sent(d.setSent, v);
            if (sent) {
                w.Number(sent);
                continue;
            }
            w.Number(std::uint64_t{d.sets} + 1);
            sent = ++d.sets;
            const std::uint32_t mask = engine_.EventMask(v);
            w.Number(mask);
            const ActionId* actions = engine_.EventActions(v);
            for (int n = std::popcount(mask), a = 0; a < n; ++a) w.Text(stem_.pools.actions.Name(actions[a]).Text());
        }
    }
    w.Number(0);
}

void VectorExplorer::ReadVector(std::uint32_t from, ByteReader& r, std::uint32_t* vector) {
    Dictionary& d = fromPeer_[from];
    std::uint32_t next = 0;
    for (;;) {
        const std::uint64_t gap = r.Number();
        if (gap == 0 || r.Failed()) break;
        if (gap > width_ - next) Fail("vecteur");
        const auto i = static_cast<std::uint32_t>(next + gap - 1);
        next = i + 1;
        const std::uint64_t n = r.Number();
        std::uint32_t v = 0;
        if (isComponent_[i]) {
            if (from == self_) {
                v = static_cast<std::uint32_t>(n);
            } else if (n < d.termOf.size()) {
                v = d.termOf[n];
            } else if (n == d.termOf.size()) {
                v = engine_.DecodeTerm(r.Text(), processes_);
                if (!v) Fail("terme");
                d.termOf.push_back(v);
            } else {
                Fail("terme");
            }
        } else if (n == 0) {
            v = VectorEngine::Derived;
        } else if (from == self_) {
            v = static_cast<std::uint32_t>(n - 1);
        } else if (n <= d.setOf.size()) {
            v = d.setOf[n - 1];
        } else if (n == d.setOf.size() + 1) {
            const auto mask = static_cast<std::uint32_t>(r.Number());
            setActions_.clear();
            for (int count = std::popcount(mask); count > 0 && !r.Failed(); --count)
                setActions_.push_back(wire_.Action(r.Text()));
            if (r.Failed()) Fail("événements");
            v = engine_.MakeEvents(mask, setActions_.data());
            d.setOf.push_back(v);
        } else {
            Fail("événements");
        }
        d.previous[i] = v;
    }
    if (r.Failed()) Fail("vecteur");
    std::copy(d.previous.begin(), d.previous.end(), vector);
}

// 1. The successors of the held states, and the questions about them.
void VectorExplorer::Expand() {
    sources_.clear();
    arcs_.clear();
    outgoing_.assign(k_, std::string());
    asked_.assign(k_, 0);
    for (Dictionary& d : toPeer_) {
        d.previous.assign(width_, VectorEngine::Derived);
        d.source = first_;
    }
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
            WriteHead(self_, writers[self_], s.number, 0, RekeyFrom);
            writers[self_].Number(s.entry);
            const std::uint32_t owner = OwnerOf(state_.data());
            WriteHead(owner, writers[owner], s.number, 0, RekeyTo);
            WriteEvents(owner, writers[owner], stem_.states[s.state].events);
            WriteVector(owner, writers[owner], state_.data());
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
            WriteHead(owner, writers[owner], s.number, index++, Query);
            WriteVector(owner, writers[owner], whole);
            arcs_.push_back(PendingArc{arc.action, arc.event, storeSet_(arc.causes), EmptyEventSet, -1,
                                       asked_[owner]++, static_cast<std::uint16_t>(owner), Known});
            return true;
        });
        if (engine_.unguardedProcess && unguardedAt_ < 0) unguardedAt_ = s.number;
        record.arcCount = static_cast<std::uint32_t>(arcs_.size()) - record.firstArc;
        sources_.push_back(record);
    }
}

// 2. The owner's side: what every process sent, in one process's order, and the answers.
void VectorExplorer::Answer(std::vector<std::string>& incoming) {
    struct Head {
        std::int64_t source = 0;
        std::uint64_t arcKind = 0;  // arc * 3 + kind
        bool live = false;
    };
    std::vector<ByteReader> readers;
    for (const std::string& in : incoming) readers.emplace_back(in);
    std::vector<Head> heads(k_);
    for (Dictionary& d : fromPeer_) {
        d.previous.assign(width_, VectorEngine::Derived);
        d.source = first_;
    }
    auto readHead = [&](std::uint32_t p) {
        Head& h = heads[p];
        h.live = !readers[p].AtEnd();
        if (!h.live) return;
        fromPeer_[p].source += static_cast<std::int64_t>(readers[p].Number());
        h.source = fromPeer_[p].source;
        h.arcKind = readers[p].Number();
        if (readers[p].Failed() || h.arcKind % 3 > Query || h.source >= end_) Fail("question");
    };
    // Index updates before the arcs of the same source, then the arcs in order.
    auto before = [&](std::uint32_t a, std::uint32_t b) {
        const Head &x = heads[a], &y = heads[b];
        if (x.source != y.source) return x.source < y.source;
        const bool xArc = x.arcKind % 3 == Query, yArc = y.arcKind % 3 == Query;
        if (xArc != yArc) return !xArc;
        return x.arcKind / 3 < y.arcKind / 3;
    };
    for (std::uint32_t p = 0; p < k_; ++p) readHead(p);
    outgoing_.assign(k_, std::string());
    std::vector<ByteWriter> writers;
    for (std::string& o : outgoing_) writers.emplace_back(o);
    std::vector<std::uint32_t> positions(k_, 0);
    slots_.clear();
    slotVectors_.clear();
    key_.resize(vectors_.KeyWidth());
    for (;;) {
        std::uint32_t from = k_;
        for (std::uint32_t p = 0; p < k_; ++p)
            if (heads[p].live && (from == k_ || before(p, from))) from = p;
        if (from == k_) break;
        ByteReader& r = readers[from];
        const std::int64_t source = heads[from].source;
        switch (static_cast<OpKind>(heads[from].arcKind % 3)) {
            case RekeyFrom: {
                const std::uint64_t entry = r.Number();
                if (from != self_ || entry >= value_.size()) Fail("question");
                if (value_[entry] == source) value_[entry] = -1;
                break;
            }
            case RekeyTo: {
                const EventSetId events = ReadEvents(from, r);
                ReadVector(from, r, state_.data());
                vectors_.Key(state_.data(), key_.data());
                const std::uint32_t entry = Entry(key_.data());
                if (value_[entry] < 0 || value_[entry] > source) {
                    value_[entry] = source;
                    eventsOf_[entry] = events;
                }
                break;
            }
            case Query: {
                ReadVector(from, r, state_.data());
                vectors_.Key(state_.data(), key_.data());
                const std::uint32_t entry = Entry(key_.data());
                const std::uint32_t position = positions[from]++;
                std::int64_t& value = value_[entry];
                ByteWriter& w = writers[from];
                if (value >= Pending) {
                    const auto j = static_cast<std::size_t>(value - Pending);
                    slots_[j].same.emplace_back(from, position);
                    w.Byte(Same);
                    w.Number(j);
                    WriteEvents(from, w, slots_[j].events);
                } else if (value >= 0) {
                    w.Byte(Known);
                    w.Number(static_cast<std::uint64_t>(value));
                    WriteEvents(from, w, eventsOf_[entry]);
                } else {
                    const std::size_t j = slots_.size();
                    value = Pending + static_cast<std::int64_t>(j);
                    slots_.push_back(Slot{entry, -1, RootEvents(state_.data()), {}});
                    slotVectors_.insert(slotVectors_.end(), state_.begin(), state_.end());
                    w.Byte(First);
                    w.Number(j);
                    WriteEvents(from, w, slots_.back().events);
                }
                break;
            }
        }
        readHead(from);
    }
    for (std::string& in : incoming) std::string().swap(in);
}

void VectorExplorer::TakeAnswers(std::vector<std::string>& incoming) {
    std::vector<ByteReader> readers;
    for (const std::string& in : incoming) readers.emplace_back(in);
    for (PendingArc& arc : arcs_) {
        ByteReader& r = readers[arc.owner];
        arc.reply = static_cast<ReplyKind>(r.Byte());
        arc.target = static_cast<std::int32_t>(r.Number());
        arc.targetEvents = ReadEvents(arc.owner, r);
        if (r.Failed() || arc.reply > Same) Fail("réponse");
    }
}

// 3. Numbers in the order of the first discoverer. The level's sources go
// in blocks, each counted by one process: every process tells the counter of
// a block the first discoveries of its sources there and hears back where
// each source's new states start in the block; the blocks' totals are summed
// everywhere (a few bytes per block, not per source).
bool VectorExplorer::Number(std::int64_t& boundSource, std::uint32_t& boundArc) {
    constexpr std::int64_t BlockSources = 4096;
    const std::int64_t width = end_ - first_;
    const auto blocks = static_cast<std::size_t>((width + BlockSources - 1) / BlockSources);
    auto counter = [&](std::int64_t source) {
        return static_cast<std::uint32_t>(static_cast<std::uint64_t>((source - first_) / BlockSources) % k_);
    };
    // The first discoveries of each source held here (in number order).
    firsts_.assign(sources_.size(), 0);
    outgoing_.assign(k_, std::string());
    {
        std::vector<ByteWriter> writers;
        for (std::string& o : outgoing_) writers.emplace_back(o);
        std::vector<std::int64_t> last(k_, first_);
        for (std::size_t i = 0; i < sources_.size(); ++i) {
            const PendingSource& s = sources_[i];
            std::int64_t n = 0;
            for (std::uint32_t a = s.firstArc; a < s.firstArc + s.arcCount; ++a) n += arcs_[a].reply == First;
            firsts_[i] = n;
            if (n == 0) continue;
            const std::int64_t source = held_[s.held].number;
            const std::uint32_t c = counter(source);
            writers[c].Number(static_cast<std::uint64_t>(source - last[c]));
            writers[c].Number(static_cast<std::uint64_t>(n));
            last[c] = source;
        }
    }
    std::vector<std::string> incoming = peers_.AllToAll(outgoing_);
    // The counter's side: its blocks' counts, each source's start in its block, the totals.
    std::vector<std::int64_t> totals(blocks + 1, 0);
    totals[blocks] = memoryLow_ ? 1 : 0;
    {
        const std::size_t mine = blocks / k_ + 1;
        std::vector<std::int64_t> counts(mine * BlockSources, 0);
        auto at = [&](std::int64_t source) -> std::int64_t& {
            const std::int64_t place = source - first_;
            return counts[static_cast<std::size_t>(place / BlockSources / k_ * BlockSources + place % BlockSources)];
        };
        auto read = [&](std::uint32_t from, auto&& each) {
            ByteReader r(incoming[from]);
            std::int64_t source = first_;
            while (!r.AtEnd()) {
                source += static_cast<std::int64_t>(r.Number());
                const auto n = static_cast<std::int64_t>(r.Number());
                if (r.Failed() || source >= end_ || counter(source) != self_) Fail("décompte");
                each(source, n);
            }
        };
        for (std::uint32_t p = 0; p < k_; ++p) read(p, [&](std::int64_t source, std::int64_t n) { at(source) = n; });
        for (std::size_t j = 0; j < mine; ++j) {
            const std::size_t block = j * k_ + self_;
            if (block >= blocks) break;
            std::int64_t sum = 0;
            for (std::int64_t i = 0; i < BlockSources; ++i) {
                std::int64_t& c = counts[j * BlockSources + static_cast<std::size_t>(i)];
                const std::int64_t n = c;
                c = sum;
                sum += n;
            }
            totals[block] = sum;
        }
        outgoing_.assign(k_, std::string());
        for (std::uint32_t p = 0; p < k_; ++p) {
            ByteWriter w(outgoing_[p]);
            read(p, [&](std::int64_t source, std::int64_t) { w.Number(static_cast<std::uint64_t>(at(source))); });
        }
    }
    incoming = peers_.AllToAll(outgoing_);
    peers_.SumInPlace(totals);
    if (totals[blocks] > 0) return false;  // some process ran short of memory: the level is given up
    std::int64_t next = end_;
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::int64_t n = totals[b];
        totals[b] = next;
        next += n;
    }
    // Where each source's new states start, and the first source whose new states pass the bound.
    std::vector<ByteReader> readers;
    for (const std::string& in : incoming) readers.emplace_back(in);
    std::int64_t crossing = INT64_MAX;
    for (std::size_t i = 0; i < sources_.size(); ++i) {
        if (firsts_[i] == 0) continue;
        const std::int64_t source = held_[sources_[i].held].number;
        ByteReader& r = readers[counter(source)];
        const std::int64_t start =
            totals[static_cast<std::size_t>((source - first_) / BlockSources)] + static_cast<std::int64_t>(r.Number());
        if (r.Failed()) Fail("décompte");
        if (settings_.maxStates > 0 && crossing == INT64_MAX && start + firsts_[i] > settings_.maxStates)
            crossing = source;
        firsts_[i] = start;
    }
    boundSource = settings_.maxStates > 0 ? peers_.Min(crossing) : INT64_MAX;
    if (boundSource == INT64_MAX) boundSource = -1;
    boundArc = 0;
    for (std::size_t i = 0; i < sources_.size(); ++i) {
        const PendingSource& s = sources_[i];
        std::int64_t number = firsts_[i];
        for (std::uint32_t a = s.firstArc; a < s.firstArc + s.arcCount; ++a) {
            PendingArc& arc = arcs_[a];
            if (arc.reply != First) continue;
            if (held_[s.held].number == boundSource && number == settings_.maxStates) boundArc = a - s.firstArc;
            arc.position = static_cast<std::uint32_t>(arc.target);
            arc.target = static_cast<std::int32_t>(number++);
        }
    }
    count_ = boundSource >= 0 ? settings_.maxStates : next;
    return true;
}

// 4 and 5. The new states' numbers to their owners; the numbers to the other discoverers.
void VectorExplorer::SendNumbers(std::int64_t limit) {
    outgoing_.assign(k_, std::string());
    next_.clear();
    auto adopt = [&](std::uint64_t j, std::int64_t number) {
        if (j >= slots_.size() || slots_[j].number >= 0) Fail("nouvel état");
        Slot& slot = slots_[j];
        slot.number = number;
        if (value_[slot.entry] == Pending + static_cast<std::int64_t>(j)) {
            value_[slot.entry] = number;
            eventsOf_[slot.entry] = slot.events;
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
    for (std::uint32_t from = 0; from < k_; ++from) {
        if (from == self_) continue;
        ByteReader r(incoming[from]);
        while (!r.AtEnd()) {
            const std::uint64_t j = r.Number();
            const auto number = static_cast<std::int64_t>(r.Number());
            if (r.Failed()) Fail("nouvel état");
            adopt(j, number);
        }
    }
    // 5.
    outgoing_.assign(k_, std::string());
    std::vector<std::pair<std::uint32_t, std::int64_t>> selfSame;
    {
        std::vector<ByteWriter> writers;
        for (std::string& o : outgoing_) writers.emplace_back(o);
        for (const Slot& slot : slots_) {
            if (slot.number < 0) continue;
            for (const auto& [process, position] : slot.same) {
                if (process == self_) {
                    selfSame.emplace_back(position, slot.number);
                    continue;
                }
                writers[process].Number(position);
                writers[process].Number(static_cast<std::uint64_t>(slot.number));
            }
        }
    }
    incoming = peers_.AllToAll(outgoing_);
    std::vector<std::vector<std::uint32_t>> byPosition(k_);
    for (std::uint32_t p = 0; p < k_; ++p)
        if ((p == self_ && !selfSame.empty()) || (p != self_ && !incoming[p].empty())) byPosition[p].assign(asked_[p], 0);
    for (std::uint32_t a = 0; a < arcs_.size(); ++a)
        if (arcs_[a].reply == Same && !byPosition[arcs_[a].owner].empty())
            byPosition[arcs_[a].owner][arcs_[a].position] = a;
    auto resolve = [&](std::uint32_t owner, std::uint64_t position, std::int64_t number) {
        if (position >= byPosition[owner].size()) Fail("numéro");
        PendingArc& arc = arcs_[byPosition[owner][position]];
        if (arc.reply != Same) Fail("numéro");
        arc.target = static_cast<std::int32_t>(number);
    };
    for (std::uint32_t from = 0; from < k_; ++from) {
        if (from == self_) continue;
        ByteReader r(incoming[from]);
        while (!r.AtEnd()) {
            const std::uint64_t position = r.Number();
            const auto number = static_cast<std::int64_t>(r.Number());
            if (r.Failed()) Fail("numéro");
            resolve(from, position, number);
        }
    }
    for (const auto& [position, number] : selfSame) resolve(self_, position, number);
}

void VectorExplorer::StoreArcs(std::int64_t boundSource, std::uint32_t boundArc) {
    for (const PendingSource& s : sources_) {
        const Held& h = held_[s.held];
        if (boundSource >= 0 && h.number > boundSource) continue;
        const std::uint32_t n = boundSource >= 0 && h.number == boundSource ? boundArc : s.arcCount;
        OwnedStem::State& state = stem_.states[h.state];
        state.firstArc = static_cast<std::uint32_t>(stem_.arcs.size());
        state.arcCount = n;
        for (std::uint32_t a = s.firstArc; a < s.firstArc + n; ++a) {
            const PendingArc& arc = arcs_[a];
            stem_.arcs.push_back(OwnedStem::Arc{static_cast<std::int32_t>(arc.target), arc.action, arc.event,
                                                arc.causes, arc.targetEvents});
        }
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
    vectors_.PlanKey(state_.data());
    width_ = vectors_.Width();
    for (std::uint32_t i = 0; i < width_; ++i) {
        isComponent_.push_back(vectors_.IsComponent(i) ? 1 : 0);
        if (vectors_.IsComponent(i)) components_.push_back(i);
    }
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
        StoreArcs(boundSource, boundArc);
        explored = boundSource >= 0 ? boundSource + 1 : end_;
        stem_.arcCount = peers_.Sum(static_cast<std::int64_t>(stem_.arcs.size()));
        ++levels;
        if (progress) progress->Level(levels, count_, stem_.arcCount);
        held_.swap(next_);
        heldVectors_.swap(slotVectors_);
        arcs_.clear();
        arcs_.shrink_to_fit();
        std::sort(held_.begin(), held_.end(), [](const Held& a, const Held& b) { return a.number < b.number; });
        if (boundSource >= 0) {
            result.stoppedByBound = true;
            break;
        }
        first_ = end_;
        end_ = count_;
    }
    figures.levels = levels;
    stem_.stateCount = count_;
    stem_.arcCount = peers_.Sum(static_cast<std::int64_t>(stem_.arcs.size()));
    result.states = count_;
    result.arcs = stem_.arcCount;
    result.exploredStates = result.stoppedByMemory ? first_ : explored;
    result.interrupted = result.exploredStates < count_ || result.stoppedByBound || result.stoppedByMemory;
    result.eventNamesExhausted = peers_.Max(engine_.eventNamesExhausted ? 1 : 0) > 0;
    // The unguarded recursion met first, as one process meets it.
    const std::int64_t mine = engine_.unguardedProcess && unguardedAt_ >= 0 && unguardedAt_ < result.exploredStates
                                  ? unguardedAt_
                                  : INT64_MAX;
    const std::int64_t firstMet = peers_.Min(mine);
    if (firstMet != INT64_MAX) {
        const std::int64_t holder = peers_.Min(mine == firstMet ? peers_.Rank() : INT64_MAX);
        std::string name = static_cast<int>(holder) == peers_.Rank() ? engine_.unguardedProcess->name.Text() : "";
        peers_.Broadcast(name, static_cast<int>(holder));
        result.unguardedRecursion = true;
        result.unguardedProcess = name;
    }
    result.nodesBuilt = peers_.Sum(engine_.TermCount());
    figures.bytesSent = peers_.bytesSent;
    figures.calls = peers_.messages;
    figures.ownedStates = static_cast<std::int64_t>(stem_.states.size());
    figures.ownedArcs = static_cast<std::int64_t>(stem_.arcs.size());
    figures.termBytes = static_cast<std::int64_t>(engine_.Bytes());
    figures.identityBytes = static_cast<std::int64_t>(names_.identities.Bytes());
    figures.indexBytes = static_cast<std::int64_t>(keys_->Bytes() + value_.capacity() * 8 + eventsOf_.capacity() * 4);
    for (const Dictionary& d : toPeer_)
        figures.indexBytes += static_cast<std::int64_t>((d.termSent.capacity() + d.setSent.capacity() +
                                                         d.eventsSent.capacity()) * 4);
    for (const Dictionary& d : fromPeer_)
        figures.indexBytes += static_cast<std::int64_t>((d.termOf.capacity() + d.setOf.capacity() +
                                                         d.eventsOf.capacity()) * 4);
    figures.stemBytes = static_cast<std::int64_t>(stem_.arcs.size() * sizeof(OwnedStem::Arc) +
                                                  stem_.states.size() * sizeof(OwnedStem::State));
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    figures.peakBytes = static_cast<std::int64_t>(usage.ru_maxrss) * 1024;
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
