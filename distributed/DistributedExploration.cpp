// Level-by-level exploration over MPI processes, numbering states as one process does.
//
// A state belongs to the process its identity's canonical encoding hashes
// to; that process holds its term, its events, its arcs and the entries of
// the index that name it. Each level goes in five exchanges:
//   1. every process derives the successors of the states of the level it
//      holds and asks each successor's owner about it (with, for a state
//      whose identity changed in its normal form, the index updates this
//      asks for);
//   2. each owner applies what it was sent in the order one process would
//      (source number, then index updates before arcs, then arc index) and
//      answers: a known state's number and events, or "first discoverer of
//      new state j", or "same as new state j";
//   3. a sum over the level's sources of their first discoveries gives each
//      new state its number, in the order of its first discoverer;
//   4. the first discoverers send their numbers and terms to the owners;
//   5. the owners tell the other discoverers the numbers they asked about.
#include "distributed/DistributedExploration.h"

#include <algorithm>
#include <new>
#include <unordered_map>
#include <stdexcept>

#include "distributed/LevelSteps.h"
#include "distributed/VectorDistributed.h"
#include "distributed/WireEvents.h"
#include "generation/Engine.h"
#include "generation/MemoryWatch.h"
#include "generation/StateEncoding.h"

namespace quarvo {
namespace {

// A question or an index update as its owner applies it.
struct Op {
    std::int64_t source;
    std::uint32_t arc;
    OpKind kind;
    std::uint32_t identity;  // here
    std::uint32_t from;      // the asking process
    std::uint32_t position;  // among the questions from it
    EventSetId events;       // RekeyTo: the source's events
};

struct Reply {
    ReplyKind kind = Known;
    std::int64_t value = -1;  // Known: the number; First, Same: the new state's place here
    EventSetId events = EmptyEventSet;
};

// A state this process holds the term of, still to be explored.
struct Held {
    std::int64_t number;
    TermId term;
    std::uint32_t identity;  // under which it was found
    std::uint32_t state;     // its place in the owned STEM
};

// A transition derived here, until its target has a number.
struct PendingArc {
    std::uint32_t owner;
    std::uint32_t position;  // among the questions to owner
    ActionId action;
    std::int32_t event;
    EventSetId causes;
    TermId successor;  // 0 unless it may be a new state's term
    EventSetId successorEvents;
    Reply reply;
    std::int64_t target = -1;
    EventSetId targetEvents = EmptyEventSet;
};

// A new state of this level at its owner.
struct Slot {
    std::uint32_t identity;
    std::int64_t number = -1;
    EventSetId events = EmptyEventSet;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> same;  // (process, position) to tell its number
};

class Explorer {
public:
    Explorer(Peers& peers, const std::shared_ptr<const Compilation>& compilation, const GenerationSettings& settings,
             OwnedStem& stem)
        : peers_(peers),
          compilation_(compilation),
          settings_(settings),
          stem_(stem),
          names_(stem.pools.actions),
          engine_(stem.pools.actions, StateIdentity{settings.semantics, settings.cpbrOff}, &names_),
          processes_(compilation.get()),
          memory_(settings.memoryLimit),
          k_(static_cast<std::uint32_t>(peers.Size())),
          self_(static_cast<std::uint32_t>(peers.Rank())),
          toPeer_(k_),
          fromPeer_(k_) {}

    GenerationResult Run(LevelProgress* progress, ProcessFigures& figures);

private:
    std::uint32_t OwnerOf(TermId term) {
        return static_cast<std::uint32_t>((engine_.CanonicalHash(term, processes_) >> 7) % k_);
    }
    EventSetId StoreSet(SetId set) {
        if (set >= storeSets_.size()) storeSets_.resize(set + set / 2 + 64, EventSetId(-1));
        EventSetId& id = storeSets_[set];
        if (id == EventSetId(-1)) id = stem_.pools.InternEvents(engine_.EventMask(set), engine_.EventActions(set));
        return id;
    }
    void WriteEvents(ByteWriter& w, EventSetId set) { wire_.Write(w, set); }
    EventSetId ReadEvents(ByteReader& r) { return wire_.Read(r); }
    std::int64_t& Value(std::uint32_t identity) {
        if (identity >= value_.size()) {
            const std::size_t size = std::size_t{identity} + identity / 2 + 1024;
            value_.resize(size, -1);
            eventsOf_.resize(size, EmptyEventSet);
        }
        return value_[identity];
    }
    void Fail(const char* what);

    void Expand();
    void Answer(std::vector<std::string>& incoming);
    void TakeAnswers(std::vector<std::string>& incoming);
    // Numbers the level's new states; false when the exploration stops here.
    bool Number(std::int64_t& boundSource, std::uint32_t& boundArc);
    void SendNumbers(std::int64_t limit);
    void Collect();

    Peers& peers_;
    std::shared_ptr<const Compilation> compilation_;
    const GenerationSettings& settings_;
    OwnedStem& stem_;
    SharedNames names_;
    Engine engine_;
    CanonicalProcesses processes_;
    MemoryWatch memory_;
    const std::uint32_t k_, self_;

    std::vector<IdentityDictionary> toPeer_, fromPeer_;
    // Index: per identity known here, the number it names (or Pending + j), and that state's events.
    std::vector<std::int64_t> value_;
    std::vector<EventSetId> eventsOf_;
    std::vector<EventSetId> storeSets_;
    WireEvents wire_{stem_.pools, names_};
    std::string term_;

    std::int64_t first_ = 0, end_ = 1, count_ = 1;  // the level, and every state numbered
    std::vector<Held> held_, next_;
    std::vector<PendingSource> sources_;
    std::vector<PendingArc> arcs_;
    std::vector<std::string> outgoing_;
    std::vector<std::uint32_t> asked_;  // questions sent to each process this level
    std::vector<Op> ops_;
    std::vector<std::vector<Reply>> replies_;  // per asking process, by position
    std::vector<Slot> slots_;
    std::vector<std::uint32_t> seenAt_;
    std::uint32_t level_ = 0;
    bool memoryLow_ = false;
    std::int64_t unguardedAt_ = -1;
    std::int64_t sinceCheck_ = 0;
};

void Explorer::Fail(const char* what) { Unreadable(what); }

// 1. The successors of the held states, and the questions about them.
void Explorer::Expand() {
    sources_.clear();
    arcs_.clear();
    outgoing_.assign(k_, std::string());
    asked_.assign(k_, 0);
    ops_.clear();
    ++level_;
    std::vector<ByteWriter> writers;
    for (std::string& o : outgoing_) writers.emplace_back(o);
    // An update or a question for owner; a remote one carries the term's identity.
    auto toOwner = [&](std::uint32_t owner, std::int64_t source, std::uint32_t arc, OpKind kind,
                       std::uint32_t identity, EventSetId events, TermId term) {
        if (owner == self_) {
            ops_.push_back(Op{source, arc, kind, identity, self_, kind == Query ? asked_[owner] : 0, events});
        } else {
            ByteWriter& w = writers[owner];
            w.Number(static_cast<std::uint64_t>(source - first_));
            w.Number(arc);
            w.Byte(kind);
            if (kind == RekeyTo) WriteEvents(w, events);
            engine_.EncodeIdentity(term, processes_, toPeer_[owner], w);
        }
        if (kind == Query) return asked_[owner]++;
        return 0u;
    };
    for (std::uint32_t h = 0; h < held_.size(); ++h) {
        Held& s = held_[h];
        PendingSource record{h, static_cast<std::uint32_t>(arcs_.size()), 0};
        if (memoryLow_) {
            sources_.push_back(record);
            continue;
        }
        const TermId term = engine_.Normalize(s.term);
        if (term != s.term) {
            const std::uint32_t identity = engine_.Identity(term);
            if (identity != s.identity) {
                // The index entries move as one process moves them.
                toOwner(self_, s.number, 0, RekeyFrom, s.identity, EmptyEventSet, 0);
                toOwner(OwnerOf(term), s.number, 0, RekeyTo, identity, stem_.states[s.state].events, term);
            }
        }
        std::uint32_t index = 0;
        auto take = [&](Transition& t) {
            if (++sinceCheck_ >= MemoryCheckStep) {
                sinceCheck_ = 0;
                const auto growth = static_cast<std::int64_t>(2 * sizeof(PendingArc) * arcs_.size() + engine_.Bytes());
                if (memory_.NearLimit(growth)) {
                    memoryLow_ = true;
                    return false;
                }
            }
            engine_.Mark();
            ActionId action = t.action;
            const TermId successor = engine_.Successor(term, t, action);
            const std::uint32_t identity = engine_.Identity(successor);
            PendingArc arc{};
            arc.owner = OwnerOf(successor);
            arc.position = toOwner(arc.owner, s.number, index++, Query, identity, EmptyEventSet, successor);
            arc.action = action == engine_.Dollar() ? engine_.Internal() : action;
            arc.event = t.event;
            arc.causes = StoreSet(t.causes);
            if (identity >= seenAt_.size()) seenAt_.resize(std::size_t{identity} + identity / 2 + 1024, 0);
            if (seenAt_[identity] == level_) {
                // An earlier successor here is found before this one: this term is never a new state's.
                engine_.Rollback();
            } else {
                seenAt_[identity] = level_;
                engine_.Commit();
                arc.successor = successor;
                arc.successorEvents = StoreSet(engine_.Node(successor).events);
            }
            arcs_.push_back(arc);
            return true;
        };
        engine_.Enumerate(term, take);
        engine_.EndState();
        if (engine_.unguardedProcess && unguardedAt_ < 0) unguardedAt_ = s.number;
        s.term = 0;
        record.arcCount = static_cast<std::uint32_t>(arcs_.size()) - record.firstArc;
        sources_.push_back(record);
    }
}

// 2. The owner's side: the updates and questions in one process's order, and their answers.
void Explorer::Answer(std::vector<std::string>& incoming) {
    // Each process sends in the order of its sources and arcs: the runs are merged, not sorted.
    std::vector<std::size_t> runs{0, ops_.size()};
    for (std::uint32_t from = 0; from < k_; ++from) {
        if (from == self_) continue;
        ByteReader r(incoming[from]);
        std::uint32_t position = 0;
        while (!r.AtEnd()) {
            Op op{};
            op.source = first_ + static_cast<std::int64_t>(r.Number());
            op.arc = static_cast<std::uint32_t>(r.Number());
            op.kind = static_cast<OpKind>(r.Byte());
            op.from = from;
            op.events = op.kind == RekeyTo ? ReadEvents(r) : EmptyEventSet;
            if (r.Failed() || op.kind > Query) Fail("question");
            op.identity = engine_.DecodeIdentity(r, processes_, fromPeer_[from]);
            if (!op.identity) Fail("état");
            if (op.kind == Query) op.position = position++;
            ops_.push_back(op);
        }
        incoming[from].clear();
        runs.push_back(ops_.size());
    }
    const auto before = [](const Op& a, const Op& b) {
        if (a.source != b.source) return a.source < b.source;
        const bool aArc = a.kind == Query, bArc = b.kind == Query;
        if (aArc != bArc) return !aArc;
        return a.arc < b.arc;
    };
    while (runs.size() > 2) {
        std::vector<std::size_t> merged{0};
        for (std::size_t i = 2; i < runs.size(); i += 2) {
            std::inplace_merge(ops_.begin() + static_cast<std::ptrdiff_t>(runs[i - 2]),
                               ops_.begin() + static_cast<std::ptrdiff_t>(runs[i - 1]),
                               ops_.begin() + static_cast<std::ptrdiff_t>(runs[i]), before);
            merged.push_back(runs[i]);
        }
        if (runs.size() % 2 == 0) merged.push_back(runs.back());
        runs.swap(merged);
    }
    replies_.assign(k_, {});
    for (std::uint32_t p = 0; p < k_; ++p) replies_[p].resize(p == self_ ? asked_[self_] : 0);
    for (const Op& op : ops_)
        if (op.kind == Query && op.from != self_ && replies_[op.from].size() <= op.position)
            replies_[op.from].resize(op.position + 1);
    slots_.clear();
    for (const Op& op : ops_) {
        std::int64_t& value = Value(op.identity);
        switch (op.kind) {
            case RekeyFrom:
                if (value == op.source) value = -1;
                break;
            case RekeyTo:
                if (value < 0 || value > op.source) {
                    value = op.source;
                    eventsOf_[op.identity] = op.events;
                }
                break;
            case Query: {
                Reply& reply = replies_[op.from][op.position];
                if (value >= Pending) {
                    reply.kind = Same;
                    reply.value = value - Pending;
                    slots_[static_cast<std::size_t>(reply.value)].same.emplace_back(op.from, op.position);
                } else if (value >= 0) {
                    reply.kind = Known;
                    reply.value = value;
                    reply.events = eventsOf_[op.identity];
                } else {
                    reply.kind = First;
                    reply.value = static_cast<std::int64_t>(slots_.size());
                    value = Pending + reply.value;
                    slots_.push_back(Slot{op.identity, -1, EmptyEventSet, {}});
                }
                break;
            }
        }
    }
    outgoing_.assign(k_, std::string());
    for (std::uint32_t p = 0; p < k_; ++p) {
        if (p == self_) continue;
        ByteWriter w(outgoing_[p]);
        for (const Reply& reply : replies_[p]) {
            w.Byte(reply.kind);
            w.Number(static_cast<std::uint64_t>(reply.value));
            if (reply.kind == Known) WriteEvents(w, reply.events);
        }
        replies_[p].clear();
    }
}

void Explorer::TakeAnswers(std::vector<std::string>& incoming) {
    std::vector<ByteReader> readers;
    for (const std::string& in : incoming) readers.emplace_back(in);
    for (PendingArc& arc : arcs_) {
        if (arc.owner == self_) {
            arc.reply = replies_[self_][arc.position];
            continue;
        }
        ByteReader& r = readers[arc.owner];
        arc.reply.kind = static_cast<ReplyKind>(r.Byte());
        arc.reply.value = static_cast<std::int64_t>(r.Number());
        if (arc.reply.kind == Known) arc.reply.events = ReadEvents(r);
        if (r.Failed() || arc.reply.kind > Same) Fail("réponse");
        if (arc.reply.kind == Known) {
            arc.target = arc.reply.value;
            arc.targetEvents = arc.reply.events;
        }
    }
    for (PendingArc& arc : arcs_)
        if (arc.owner == self_ && arc.reply.kind == Known) {
            arc.target = arc.reply.value;
            arc.targetEvents = arc.reply.events;
        }
    replies_[self_].clear();
}

// 3. Numbers in the order of the first discoverer.
bool Explorer::Number(std::int64_t& boundSource, std::uint32_t& boundArc) {
    return NumberFirstDiscoveries(
        peers_, first_, end_, sources_, held_, arcs_, memoryLow_, settings_.maxStates, count_, boundSource, boundArc,
        [](const PendingArc& arc) { return arc.reply.kind == First; },
        [](PendingArc& arc, std::int64_t number) {
            arc.target = number;
            arc.targetEvents = arc.successorEvents;
        });
}

// 4 and 5. The new states' numbers and terms to their owners; the numbers to the other discoverers.
void Explorer::SendNumbers(std::int64_t limit) {
    outgoing_.assign(k_, std::string());
    next_.clear();
    auto adopt = [&](Slot& slot, std::int64_t number, EventSetId events, TermId term) {
        slot.number = number;
        slot.events = events;
        std::int64_t& value = Value(slot.identity);
        if (value == Pending + (&slot - slots_.data())) {
            value = number;
            eventsOf_[slot.identity] = events;
        }
        stem_.states.push_back(OwnedStem::State{number, events});
        next_.push_back(Held{number, term, slot.identity, static_cast<std::uint32_t>(stem_.states.size() - 1)});
    };
    {
        std::vector<ByteWriter> writers;
        for (std::string& o : outgoing_) writers.emplace_back(o);
        for (const PendingArc& arc : arcs_) {
            if (arc.reply.kind != First || arc.target >= limit) continue;
            if (arc.owner == self_) {
                adopt(slots_[static_cast<std::size_t>(arc.reply.value)], arc.target, arc.successorEvents, arc.successor);
                continue;
            }
            ByteWriter& w = writers[arc.owner];
            w.Number(static_cast<std::uint64_t>(arc.reply.value));
            w.Number(static_cast<std::uint64_t>(arc.target));
            WriteEvents(w, arc.successorEvents);
            term_.clear();
            engine_.EncodeTerm(arc.successor, processes_, term_);
            w.Text(term_);
        }
    }
    std::vector<std::string> incoming = peers_.AllToAll(outgoing_);
    for (std::uint32_t from = 0; from < k_; ++from) {
        if (from == self_) continue;
        ByteReader r(incoming[from]);
        while (!r.AtEnd()) {
            const std::uint64_t j = r.Number();
            const auto number = static_cast<std::int64_t>(r.Number());
            const EventSetId events = ReadEvents(r);
            const TermId term = engine_.DecodeTerm(r.Text(), processes_);
            if (r.Failed() || j >= slots_.size() || !term) Fail("nouvel état");
            adopt(slots_[j], number, events, term);
        }
    }
    // 5.
    outgoing_.assign(k_, std::string());
    std::vector<std::pair<std::uint32_t, const Slot*>> selfSame;
    {
        std::vector<ByteWriter> writers;
        for (std::string& o : outgoing_) writers.emplace_back(o);
        for (const Slot& slot : slots_) {
            if (slot.number < 0) continue;
            for (const auto& [process, position] : slot.same) {
                if (process == self_) {
                    selfSame.emplace_back(position, &slot);
                    continue;
                }
                ByteWriter& w = writers[process];
                w.Number(position);
                w.Number(static_cast<std::uint64_t>(slot.number));
                WriteEvents(w, slot.events);
            }
        }
    }
    incoming = peers_.AllToAll(outgoing_);
    // The questions to each owner, by position, for its answers.
    std::vector<std::vector<std::uint32_t>> byPosition(k_);
    for (std::uint32_t p = 0; p < k_; ++p)
        if ((p == self_ && !selfSame.empty()) || (p != self_ && !incoming[p].empty())) byPosition[p].assign(asked_[p], 0);
    for (std::uint32_t a = 0; a < arcs_.size(); ++a)
        if (!byPosition[arcs_[a].owner].empty()) byPosition[arcs_[a].owner][arcs_[a].position] = a;
    for (std::uint32_t from = 0; from < k_; ++from) {
        if (from == self_) continue;
        ByteReader r(incoming[from]);
        while (!r.AtEnd()) {
            const std::uint64_t position = r.Number();
            const auto number = static_cast<std::int64_t>(r.Number());
            const EventSetId events = ReadEvents(r);
            if (r.Failed() || position >= byPosition[from].size()) Fail("numéro");
            PendingArc& arc = arcs_[byPosition[from][position]];
            arc.target = number;
            arc.targetEvents = events;
        }
    }
    for (const auto& [position, slot] : selfSame) {
        PendingArc& arc = arcs_[byPosition[self_][position]];
        arc.target = slot->number;
        arc.targetEvents = slot->events;
    }
}

void Explorer::Collect() {
    std::vector<TermId> roots;
    for (const Held& h : held_) roots.push_back(h.term);
    engine_.Collect(roots);
    for (std::size_t i = 0; i < held_.size(); ++i) held_[i].term = roots[i];
    storeSets_.clear();
}

GenerationResult Explorer::Run(LevelProgress* progress, ProcessFigures& figures) {
    GenerationResult result;
    std::int64_t explored = 0;
    bool stop = false;
    std::uint64_t nextCollection = settings_.collectionThreshold;
    {
        const TermId root = engine_.Import(compilation_ ? compilation_->rootBehaviour : nullptr);
        const std::uint32_t identity = engine_.Identity(root);
        if (OwnerOf(root) == self_) {
            Value(identity) = 0;
            stem_.states.push_back(OwnedStem::State{0, EmptyEventSet});
            held_.push_back(Held{0, root, identity, 0});
        }
    }
    while (first_ < end_ && !stop) {
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
                       [](const PendingArc& arc) { return arc.targetEvents; });
        if (boundSource >= 0) {
            result.stoppedByBound = true;
            explored = boundSource + 1;
            stop = true;
        } else {
            explored = end_;
        }
        stem_.arcCount = peers_.Sum(static_cast<std::int64_t>(stem_.arcs.size()));
        ++figures.levels;
        if (progress) progress->Level(figures.levels, count_, stem_.arcCount);
        held_.swap(next_);
        next_.clear();
        arcs_.clear();
        arcs_.shrink_to_fit();
        std::sort(held_.begin(), held_.end(), [](const Held& a, const Held& b) { return a.number < b.number; });
        if (engine_.TermCount() > nextCollection) {
            Collect();
            nextCollection = std::max<std::uint64_t>(settings_.collectionThreshold,
                                                     2 * static_cast<std::uint64_t>(engine_.TermCount()));
        }
        first_ = end_;
        end_ = count_;
    }
    CloseExploration(peers_, engine_, names_, stem_, count_, first_, explored, unguardedAt_, result, figures);
    figures.indexBytes = static_cast<std::int64_t>(value_.capacity() * 8 + eventsOf_.capacity() * 4 +
                                                   seenAt_.capacity() * 4);
    for (const auto& d : toPeer_) figures.indexBytes += static_cast<std::int64_t>(d.sent.capacity() * 4);
    for (const auto& d : fromPeer_) figures.indexBytes += static_cast<std::int64_t>(d.received.capacity() * 4);
    return result;
}

}  // namespace

GenerationResult ExploreDistributed(Peers& peers, const std::shared_ptr<const Compilation>& compilation,
                                    const GenerationSettings& settings, OwnedStem& stem, LevelProgress* progress,
                                    ProcessFigures& figures) {
    GenerationResult result;
    if (settings.termsOnly || !ExploreDistributedVectors(peers, compilation, settings, stem, progress, figures, result)) {
        Explorer explorer(peers, compilation, settings, stem);
        result = explorer.Run(progress, figures);
    }
    // Written in the order of the numbers.
    std::sort(stem.states.begin(), stem.states.end(),
              [](const OwnedStem::State& a, const OwnedStem::State& b) { return a.number < b.number; });
    return result;
}

}  // namespace quarvo
