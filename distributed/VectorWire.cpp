// State vectors on the wire: slots against the vector sent before, terms and event sets by their numbers.
#include "distributed/VectorWire.h"

#include <algorithm>
#include <bit>

namespace quarvo {

VectorWire::VectorWire(std::uint32_t processes, std::uint32_t self, Engine& engine, const VectorEngine& vectors,
                       const CanonicalProcesses& canonical, StemStore& pools, WireEvents& events)
    : self_(self),
      engine_(engine),
      canonical_(canonical),
      pools_(pools),
      events_(events),
      width_(vectors.Width()),
      to_(processes),
      from_(processes) {
    for (std::uint32_t i = 0; i < width_; ++i) isComponent_.push_back(vectors.IsComponent(i) ? 1 : 0);
}

void VectorWire::StartLevel(std::int64_t first) {
    for (std::vector<Dictionary>* side : {&to_, &from_})
        for (Dictionary& d : *side) {
            d.previous.assign(width_, VectorEngine::Derived);
            d.source = first;
        }
}

void VectorWire::WriteHead(std::uint32_t to, ByteWriter& w, std::int64_t source, std::uint64_t arcKind) {
    Dictionary& d = to_[to];
    w.Number(static_cast<std::uint64_t>(source - d.source));
    d.source = source;
    w.Number(arcKind);
}

bool VectorWire::ReadHead(std::uint32_t from, ByteReader& r, std::int64_t& source, std::uint64_t& arcKind) {
    if (r.AtEnd()) return false;
    Dictionary& d = from_[from];
    d.source += static_cast<std::int64_t>(r.Number());
    source = d.source;
    arcKind = r.Number();
    if (r.Failed()) Unreadable("question");
    return true;
}

void VectorWire::WriteTerm(std::uint32_t to, ByteWriter& w, TermId term) {
    if (to == self_) return w.Number(term);
    Dictionary& d = to_[to];
    std::uint32_t& sent = Sent(d.termSent, term);
    if (sent) return w.Number(sent - 1);
    w.Number(d.terms);
    sent = ++d.terms;
    bytes_.clear();
    engine_.EncodeTerm(term, canonical_, bytes_);
    w.Text(bytes_);
}

// 0 for Derived; a set's number plus one.
void VectorWire::WriteSet(std::uint32_t to, ByteWriter& w, SetId set) {
    if (set == VectorEngine::Derived) return w.Number(0);
    if (to == self_) return w.Number(std::uint64_t{set} + 1);
    Dictionary& d = to_[to];
    std::uint32_t& sent = Sent(d.setSent, set);
    if (sent) return w.Number(sent);
    w.Number(std::uint64_t{d.sets} + 1);
    sent = ++d.sets;
    const std::uint32_t mask = engine_.EventMask(set);
    w.Number(mask);
    const ActionId* actions = engine_.EventActions(set);
    for (int n = std::popcount(mask), a = 0; a < n; ++a) w.Text(pools_.actions.Name(actions[a]).Text());
}

void VectorWire::WriteVector(std::uint32_t to, ByteWriter& w, const std::uint32_t* vector) {
    Dictionary& d = to_[to];
    std::uint32_t next = 0;  // the slot after the last one written
    for (std::uint32_t i = 0; i < width_; ++i) {
        const std::uint32_t v = vector[i];
        if (v == d.previous[i]) continue;
        d.previous[i] = v;
        w.Number(i - next + 1);
        next = i + 1;
        if (isComponent_[i])
            WriteTerm(to, w, v);
        else
            WriteSet(to, w, v);
    }
    w.Number(0);
}

std::uint32_t VectorWire::ReadSlot(std::uint32_t from, ByteReader& r, std::uint32_t slot) {
    Dictionary& d = from_[from];
    const std::uint64_t n = r.Number();
    if (isComponent_[slot]) {
        if (from == self_) return static_cast<std::uint32_t>(n);
        if (n < d.termOf.size()) return d.termOf[n];
        if (n > d.termOf.size()) Unreadable("terme");
        const TermId term = engine_.DecodeTerm(r.Text(), canonical_);
        if (!term) Unreadable("terme");
        d.termOf.push_back(term);
        return term;
    }
    if (n == 0) return VectorEngine::Derived;
    if (from == self_) return static_cast<std::uint32_t>(n - 1);
    if (n <= d.setOf.size()) return d.setOf[n - 1];
    if (n > d.setOf.size() + 1) Unreadable("événements");
    const auto mask = static_cast<std::uint32_t>(r.Number());
    actions_.clear();
    for (int count = std::popcount(mask); count > 0 && !r.Failed(); --count) actions_.push_back(events_.Action(r.Text()));
    if (r.Failed()) Unreadable("événements");
    d.setOf.push_back(engine_.MakeEvents(mask, actions_.data()));
    return d.setOf.back();
}

void VectorWire::ReadVector(std::uint32_t from, ByteReader& r, std::uint32_t* vector,
                            std::vector<std::uint32_t>* changed) {
    Dictionary& d = from_[from];
    if (changed) changed->clear();
    std::uint32_t next = 0;
    for (;;) {
        const std::uint64_t gap = r.Number();
        if (gap == 0 || r.Failed()) break;
        if (gap > width_ - next) Unreadable("vecteur");
        const auto i = static_cast<std::uint32_t>(next + gap - 1);
        next = i + 1;
        d.previous[i] = ReadSlot(from, r, i);
        if (changed) changed->push_back(i);
    }
    if (r.Failed()) Unreadable("vecteur");
    std::copy(d.previous.begin(), d.previous.end(), vector);
}

void VectorWire::WriteEvents(std::uint32_t to, ByteWriter& w, EventSetId events) {
    if (to == self_) return w.Number(events);
    Dictionary& d = to_[to];
    std::uint32_t& sent = Sent(d.eventsSent, events);
    if (sent) return w.Number(sent - 1);
    w.Number(d.events);
    sent = ++d.events;
    events_.Write(w, events);
}

EventSetId VectorWire::ReadEvents(std::uint32_t from, ByteReader& r) {
    const std::uint64_t n = r.Number();
    if (from == self_) return static_cast<EventSetId>(n);
    Dictionary& d = from_[from];
    if (n < d.eventsOf.size()) return d.eventsOf[n];
    if (n > d.eventsOf.size()) Unreadable("événements");
    d.eventsOf.push_back(events_.Read(r));
    return d.eventsOf.back();
}

std::size_t VectorWire::Bytes() const {
    std::size_t bytes = 0;
    for (const Dictionary& d : to_) bytes += (d.termSent.capacity() + d.setSent.capacity() + d.eventsSent.capacity()) * 4;
    for (const Dictionary& d : from_) bytes += (d.termOf.capacity() + d.setOf.capacity() + d.eventsOf.capacity()) * 4;
    return bytes;
}

}  // namespace quarvo
