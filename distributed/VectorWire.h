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
// last one written. A component's term and the events of a composition or
// a hiding are sent whole once on each stream, then named by their number;
// on the stream between an engine and itself, by its own ids.
// Each message starts with its source (against the one before) and its arc.
//
// A wire has streams, one per process it writes to, or one per thread of
// each process it reads from; raw is the stream that names by ids (NoRaw
// for none). engine makes the terms and sets read, or gives those written.
class VectorWire {
public:
    static constexpr std::uint32_t NoRaw = ~std::uint32_t{0};
    VectorWire(std::uint32_t streams, std::uint32_t raw, Engine& engine, const VectorEngine& vectors,
               const CanonicalProcesses& canonical, SharedNames& names, WireEvents* events);

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
    // The dictionaries, in bytes.
    std::size_t Bytes() const;

private:
    struct Dictionary {
        // Sender: per id here, its number plus one.
        std::vector<std::uint32_t> termSent, setSent;
        std::uint32_t terms = 0, sets = 0;
        // Receiver: per number, the id here.
        std::vector<TermId> termOf;
        std::vector<SetId> setOf;
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

    std::uint32_t raw_;
    Engine& engine_;
    const CanonicalProcesses& canonical_;
    SharedNames& names_;
    WireEvents* events_;  // the reader's
    std::uint32_t width_;
    std::vector<std::uint8_t> isComponent_;
    std::vector<Dictionary> to_, from_;
    std::vector<ActionId> actions_;
    std::string bytes_;
};

}  // namespace quarvo
