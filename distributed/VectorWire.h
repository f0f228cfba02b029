// State vectors as one process sends them to each other one, and reads them from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "distributed/Exchange.h"
#include "distributed/WireEvents.h"
#include "generation/Engine.h"
#include "generation/StateEncoding.h"
#include "generation/vector/VectorEngine.h"

namespace quarvo {

// Within a level, a vector travels slot by slot against the one sent to the
// same process before it (most successors of a state differ from its others
// in a slot or two): the slots that differ, each by its distance from the
// last one written. A component's term, the events of a composition or a
// hiding, and a state's maximal events are sent whole once to each process,
// then named by their number; to itself, a process names them by its own ids.
// Each message starts with its source (against the one before) and its arc.
class VectorWire {
public:
    VectorWire(std::uint32_t processes, std::uint32_t self, Engine& engine, const VectorEngine& vectors,
               const CanonicalProcesses& canonical, StemStore& pools, WireEvents& events);

    // A new level, whose sources start at first: every vector is told whole again.
    void StartLevel(std::int64_t first);

    void WriteHead(std::uint32_t to, ByteWriter& w, std::int64_t source, std::uint64_t arcKind);
    // False at the end of what from sent.
    bool ReadHead(std::uint32_t from, ByteReader& r, std::int64_t& source, std::uint64_t& arcKind);
    void WriteVector(std::uint32_t to, ByteWriter& w, const std::uint32_t* vector);
    // changed, when given, receives the slots read (those that differ from
    // the vector read before from the same process in the level).
    void ReadVector(std::uint32_t from, ByteReader& r, std::uint32_t* vector,
                    std::vector<std::uint32_t>* changed = nullptr);
    void WriteEvents(std::uint32_t to, ByteWriter& w, EventSetId events);
    EventSetId ReadEvents(std::uint32_t from, ByteReader& r);

    // The dictionaries, in bytes.
    std::size_t Bytes() const;

private:
    struct Dictionary {
        // Sender: per id here, its number plus one.
        std::vector<std::uint32_t> termSent, setSent, eventsSent;
        std::uint32_t terms = 0, sets = 0, events = 0;
        // Receiver: per number, the id here.
        std::vector<TermId> termOf;
        std::vector<SetId> setOf;
        std::vector<EventSetId> eventsOf;
        std::vector<std::uint32_t> previous;  // the vector sent (or read) last in the level
        std::int64_t source = 0;              // the source of the last message, in the level
    };
    static std::uint32_t& Sent(std::vector<std::uint32_t>& sent, std::uint32_t id) {
        if (id >= sent.size()) sent.resize(std::size_t{id} + id / 2 + 64, 0);
        return sent[id];
    }
    void WriteTerm(std::uint32_t to, ByteWriter& w, TermId term);
    void WriteSet(std::uint32_t to, ByteWriter& w, SetId set);
    std::uint32_t ReadSlot(std::uint32_t from, ByteReader& r, std::uint32_t slot);

    std::uint32_t self_;
    Engine& engine_;
    const CanonicalProcesses& canonical_;
    StemStore& pools_;
    WireEvents& events_;
    std::uint32_t width_;
    std::vector<std::uint8_t> isComponent_;
    std::vector<Dictionary> to_, from_;
    std::vector<ActionId> actions_;
    std::string bytes_;
};

}  // namespace quarvo
