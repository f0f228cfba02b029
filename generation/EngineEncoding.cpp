// The engine's canonical encodings of state identities and terms, for explorations over several processes.
#include <algorithm>

#include "generation/Engine.h"
#include "generation/StateEncoding.h"

namespace quarvo {

const std::string& Engine::ActionText(ActionId id) {
    if (id >= actionTexts_.size()) actionTexts_.resize(std::size_t{id} + 64);
    std::string& text = actionTexts_[id];
    if (text.empty()) {
        // Every character up to the last that is not blank: a hidden gate
        // renamed apart differs from its visible namesake by a mark in the
        // last place, after blanks, which the name's usual text leaves out.
        const Identifier32 name = names_.ActionName(id);
        std::size_t n = Identifier32::Size;
        while (n > 0 && name.chars[n - 1] == ' ') --n;
        text.assign(name.chars.data(), n);
    }
    return text;
}

ActionId Engine::ActionOfText(std::string_view text) {
    const auto it = actionsByText_.find(std::string(text));
    if (it != actionsByText_.end()) return it->second;
    const ActionId id = names_.InternAction(Identifier32::FromText(text));
    actionsByText_.emplace(std::string(text), id);
    return id;
}

std::uint64_t Engine::ActionHash(ActionId id) {
    if (id >= actionHashes_.size()) actionHashes_.resize(std::size_t{id} + 64, 0);
    std::uint64_t& h = actionHashes_[id];
    if (!h) h = StableHash(ActionText(id)) | 1;
    return h;
}

namespace {

std::uint64_t Mix(std::uint64_t h, std::uint64_t v) {
    h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    h *= 0xBF58476D1CE4E5B9ull;
    return h ^ (h >> 31);
}

}  // namespace

std::uint64_t Engine::EventsHash(SetId set) {
    const std::size_t size = pool_.Size(set);
    const ActionId* actions = pool_.Actions(set);
    std::uint64_t h = 0x3C6EF372FE94F82Bull;
    if (identity_.cpbrOff) {
        for (std::size_t i = 0; i < size; ++i) h = Mix(h, ActionHash(actions[i]));
    } else {
        // A multiset: a sum, whatever the order.
        std::uint64_t sum = 0;
        for (std::size_t i = 0; i < size; ++i) sum += Mix(0x13198A2E03707344ull, ActionHash(actions[i]));
        h = Mix(h, sum);
    }
    return Mix(h, size);
}

void Engine::ReadFlat(TermId term, FlatParts& parts) {
    FlatScratch scratch(*this);
    LoadFlat(term, scratch.b, identity_.semantics == Semantics::Maximality);
    parts.ops = scratch.b.ops;
    if (identity_.semantics == Semantics::Maximality) parts.levels = scratch.b.levels;
    parts.shape.assign(gates_.Names(scratch.b.shape), gates_.Names(scratch.b.shape) + gates_.Size(scratch.b.shape));
}

std::uint64_t Engine::CanonicalHash(TermId term, const CanonicalProcesses& processes) {
    if (!term) return 0x5851F42D4C957F2Dull;
    const std::uint32_t id = terms_[term].identity;
    if (id < canonicalHashes_.size() && canonicalHashes_[id]) return canonicalHashes_[id];
    const TermNode n = terms_[term];
    std::uint64_t h = Mix(static_cast<std::uint64_t>(n.kind), static_cast<std::uint64_t>(n.height));
    h = Mix(h, processes.Number(processes_[n.process]));
    if (n.gates)
        for (std::size_t i = 0; i < gates_.Size(n.gates); ++i) h = Mix(h, ActionHash(gates_.Names(n.gates)[i]));
    h = Mix(h, 0x243F6A8885A308D3ull);
    if (identity_.semantics == Semantics::Maximality) h = Mix(h, EventsHash(n.events));
    if (IsFlatRecord(n)) {
        FlatParts parts;
        ReadFlat(term, parts);
        h = Mix(h, 0x452821E638D01377ull);
        h = Mix(h, parts.ops.size());
        for (const ActionId height : parts.shape) h = Mix(h, height);
        for (const SetId level : parts.levels) h = Mix(h, EventsHash(level));
        for (const TermId o : parts.ops) h = Mix(h, CanonicalHash(o, processes));
    } else {
        h = Mix(h, CanonicalHash(n.left, processes));
        h = Mix(h, CanonicalHash(n.right, processes));
    }
    h |= 1;
    if (id >= canonicalHashes_.size()) canonicalHashes_.resize(std::size_t{id} + id / 2 + 1024, 0);
    canonicalHashes_[id] = h;
    return h;
}

namespace {

constexpr std::uint8_t Reference = 0xFF;
constexpr std::uint8_t HasLeft = 0x10;
constexpr std::uint8_t HasRight = 0x20;
constexpr std::uint8_t FlatRecord = 0x40;  // a chain of more than two operands, its record after the node
constexpr std::uint8_t KindBits = 0x0F;

}  // namespace

void Engine::WriteIdentityNode(const TermNode& n, const CanonicalProcesses& processes, ByteWriter& w) {
    std::uint8_t head = static_cast<std::uint8_t>(n.kind);
    if (IsFlatRecord(n)) {
        head |= FlatRecord;
    } else {
        if (n.left) head |= HasLeft;
        if (n.right) head |= HasRight;
    }
    w.Byte(head);
    w.Signed(n.height);
    w.Number(processes.Number(processes_[n.process]));
    if (n.gates) {
        w.Number(gates_.Size(n.gates));
        for (std::size_t i = 0; i < gates_.Size(n.gates); ++i) w.Text(ActionText(gates_.Names(n.gates)[i]));
    } else {
        w.Number(0);
    }
    if (identity_.semantics == Semantics::Maximality) WriteIdentityEvents(n.events, w);
}

void Engine::WriteIdentityEvents(SetId set, ByteWriter& w) {
    const std::size_t size = pool_.Size(set);
    const ActionId* actions = pool_.Actions(set);
    w.Number(size);
    if (identity_.cpbrOff) {
        for (std::size_t i = 0; i < size; ++i) w.Text(ActionText(actions[i]));
        return;
    }
    // A multiset: in the order of the names, which every process shares.
    sortedNames_.clear();
    for (std::size_t i = 0; i < size; ++i) sortedNames_.push_back(ActionText(actions[i]));
    std::sort(sortedNames_.begin(), sortedNames_.end());
    for (const std::string_view name : sortedNames_) w.Text(name);
}

// A node, its left operand, its right operand, each numbered once complete.
void Engine::EncodeIdentity(TermId term, const CanonicalProcesses& processes, IdentityDictionary& dictionary,
                            ByteWriter& out) {
    const std::uint32_t id = terms_[term].identity;
    if (id < dictionary.sent.size() && dictionary.sent[id]) {
        out.Byte(Reference);
        out.Number(dictionary.sent[id] - 1);
        return;
    }
    const TermNode n = terms_[term];
    WriteIdentityNode(n, processes, out);
    if (IsFlatRecord(n)) {
        FlatParts parts;
        ReadFlat(term, parts);
        out.Number(parts.ops.size());
        out.Number(parts.shape.size());
        for (const ActionId height : parts.shape) out.Number(height);
        for (const SetId level : parts.levels) WriteIdentityEvents(level, out);
        for (const TermId o : parts.ops) EncodeIdentity(o, processes, dictionary, out);
    } else {
        if (n.left) EncodeIdentity(n.left, processes, dictionary, out);
        if (n.right) EncodeIdentity(n.right, processes, dictionary, out);
    }
    if (id >= dictionary.sent.size()) dictionary.sent.resize(std::size_t{id} + id / 2 + 1024, 0);
    dictionary.sent[id] = ++dictionary.next;
}

bool Engine::ReadIdentityEvents(ByteReader& r, std::uint32_t& sequence) {
    std::vector<ActionId> names;
    for (std::uint64_t k = r.Number(); k > 0 && !r.Failed(); --k) {
        if (names.size() >= 32) return false;
        names.push_back(ActionOfText(r.Text()));
    }
    if (r.Failed()) return false;
    if (!identity_.cpbrOff) std::sort(names.begin(), names.end());
    sequence = names_.sequences.Intern(names.data(), names.size());
    return true;
}

std::uint32_t Engine::ReadGates(ByteReader& r) {
    const std::size_t from = r.Offset();
    for (std::uint64_t k = r.Number(); k > 0 && !r.Failed(); --k) r.Text();
    if (r.Failed()) return 0;
    const std::string_view bytes = r.Since(from);
    if (const auto it = gatesOfBytes_.find(bytes); it != gatesOfBytes_.end()) return it->second;
    ByteReader again(bytes);
    std::vector<ActionId> names;
    for (std::uint64_t k = again.Number(); k > 0; --k) names.push_back(ActionOfText(again.Text()));
    const std::uint32_t gates = names_.Gates(names.data(), names.size());
    gatesOfBytes_.emplace(std::string(bytes), gates);
    return gates;
}

std::uint32_t Engine::SharedProcessOf(const CanonicalProcesses& processes, std::uint32_t canonical) {
    if (canonical >= sharedOfCanonical_.size()) sharedOfCanonical_.resize(std::size_t{canonical} + 16, 0);
    std::uint32_t& known = sharedOfCanonical_[canonical];
    if (!known) known = names_.Process(processes.Definition(canonical)) + 1;
    return known - 1;
}

std::uint32_t Engine::DecodeIdentity(ByteReader& r, const CanonicalProcesses& processes,
                                     IdentityDictionary& dictionary) {
    const std::uint8_t head = r.Byte();
    if (r.Failed()) return 0;
    if (head == Reference) {
        const std::uint64_t number = r.Number();
        return !r.Failed() && number < dictionary.received.size() ? dictionary.received[number] : 0;
    }
    if ((head & KindBits) > static_cast<std::uint8_t>(NodeKind::Stop)) return 0;
    IdentityNode node{};
    node.kind = static_cast<NodeKind>(head & KindBits);
    node.height = static_cast<std::int32_t>(r.Signed());
    node.process = SharedProcessOf(processes, static_cast<std::uint32_t>(r.Number()));
    node.gates = ReadGates(r);
    node.events = 0;
    if (identity_.semantics == Semantics::Maximality && !ReadIdentityEvents(r, node.events)) return 0;
    if (r.Failed()) return 0;
    node.left = node.right = 0;
    if (head & FlatRecord) {
        // The record's identity, as the engine names a chain's.
        const std::uint64_t count = r.Number();
        const std::uint64_t shapeSize = r.Number();
        if (r.Failed() || count < 3 || count > (1u << 24) || shapeSize > (1u << 24)) return 0;
        std::vector<ActionId> shape;
        for (std::uint64_t i = 0; i < shapeSize && !r.Failed(); ++i) shape.push_back(static_cast<ActionId>(r.Number()));
        std::vector<std::uint32_t> words{static_cast<std::uint32_t>(count), names_.Gates(shape.data(), shape.size())};
        if (identity_.semantics == Semantics::Maximality)
            for (std::uint64_t i = 0; i + 2 < count; ++i) {
                std::uint32_t level = 0;
                if (!ReadIdentityEvents(r, level)) return 0;
                words.push_back(level);
            }
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::uint32_t operand = DecodeIdentity(r, processes, dictionary);
            if (!operand) return 0;
            words.push_back(operand);
        }
        node.left = names_.sequences.Intern(words.data(), words.size());
        node.right = FlatMarker;
        const std::uint32_t id = names_.identities.Make(node, identityCache_);
        dictionary.received.push_back(id);
        return id;
    }
    if (head & HasLeft) {
        node.left = DecodeIdentity(r, processes, dictionary);
        if (!node.left) return 0;
    }
    if (head & HasRight) {
        node.right = DecodeIdentity(r, processes, dictionary);
        if (!node.right) return 0;
    }
    const std::uint32_t id = names_.identities.Make(node, identityCache_);
    dictionary.received.push_back(id);
    return id;
}

void Engine::EncodeTerm(TermId term, const CanonicalProcesses& processes, std::string& out) {
    encoding_.Clear();
    const std::uint32_t root = Pack(term, encoding_);
    EndPacking();
    ByteWriter w(out);
    w.Number(encoding_.nodes.size());
    w.Number(root);
    for (std::size_t i = 0; i < encoding_.nodes.size(); ++i) {
        const TermPacket::Node& p = encoding_.nodes[i];
        w.Byte(static_cast<std::uint8_t>(p.kind));
        w.Signed(p.height);
        w.Number(processes.Number(p.process));
        if (p.gates >= bytesOfGates_.size()) bytesOfGates_.resize(std::size_t{p.gates} + 64);
        std::string& gateBytes = bytesOfGates_[p.gates];
        if (gateBytes.empty()) {
            ByteWriter g(gateBytes);
            const std::vector<ActionId> gates = p.gates ? names_.GateNames(p.gates) : std::vector<ActionId>{};
            g.Number(gates.size());
            for (const ActionId a : gates) g.Text(ActionText(a));
        }
        w.Raw(gateBytes);
        w.Number(p.eventMask);
        const std::size_t end = p.eventFirst + static_cast<std::size_t>(__builtin_popcount(p.eventMask));
        for (std::size_t a = p.eventFirst; a < end; ++a) w.Text(ActionText(encoding_.actions[a]));
        w.Number(p.left);
        w.Number(p.right);
        w.Number(p.instance);
    }
}

TermId Engine::DecodeTerm(std::string_view bytes, const CanonicalProcesses& processes) {
    ByteReader r(bytes);
    encoding_.Clear();
    const std::uint64_t count = r.Number();
    const std::uint64_t root = r.Number();
    if (r.Failed() || count > bytes.size() || root == 0 || root > count) return 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        TermPacket::Node p{};
        const std::uint8_t kind = r.Byte();
        if (kind > static_cast<std::uint8_t>(NodeKind::Stop)) return 0;
        p.kind = static_cast<NodeKind>(kind);
        p.height = static_cast<std::int32_t>(r.Signed());
        p.process = processes.Definition(static_cast<std::uint32_t>(r.Number()));
        p.gates = ReadGates(r);
        p.eventMask = static_cast<std::uint32_t>(r.Number());
        p.eventFirst = static_cast<std::uint32_t>(encoding_.actions.size());
        for (int k = __builtin_popcount(p.eventMask); k > 0 && !r.Failed(); --k)
            encoding_.actions.push_back(ActionOfText(r.Text()));
        p.left = static_cast<std::uint32_t>(r.Number());
        p.right = static_cast<std::uint32_t>(r.Number());
        p.instance = static_cast<std::uint32_t>(r.Number());
        // Operands come first: a place not made yet is no encoding of ours.
        if (r.Failed() || p.left > i || p.right > i || p.instance > i) return 0;
        encoding_.nodes.push_back(p);
    }
    if (!r.AtEnd()) return 0;
    std::vector<TermId> made;
    Unpack(encoding_, made);
    return made[root];
}

}  // namespace quarvo
