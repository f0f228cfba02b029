// Packing and unpacking of terms: varints, a tag per node, the right operand chained without recursion.
#include "generation/TermCodec.h"

#include <cstring>
#include <stdexcept>

namespace quarvo {
namespace {

void PutCount(std::string& out, std::uint64_t n) {
    while (n >= 0x80) {
        out.push_back(static_cast<char>(0x80 | (n & 0x7F)));
        n >>= 7;
    }
    out.push_back(static_cast<char>(n));
}

void PutSigned(std::string& out, std::int64_t n) {
    PutCount(out, n >= 0 ? static_cast<std::uint64_t>(n) << 1 : (static_cast<std::uint64_t>(-(n + 1)) << 1) | 1);
}

void PutEvents(std::string& out, const EventSet& events) {
    PutCount(out, events.size());
    for (const TEventEntry& e : events) {
        PutSigned(out, e.Event);
        PutCount(out, e.Action);
    }
}

void Pack(std::string& out, const BehaviourNode* t, ActionTable& names) {
    for (;; t = t->right) {
        if (!t) {
            out.push_back('\0');
            return;
        }
        out.push_back(static_cast<char>(static_cast<int>(t->kind) + 1));
        PutSigned(out, t->height);
        if (t->process) {
            out.push_back('\1');
            out.append(reinterpret_cast<const char*>(&t->process), sizeof t->process);
        } else {
            out.push_back('\0');
        }
        std::size_t gates = 0;
        for (const GateCell* g = t->gates; g; g = g->next) ++gates;
        PutCount(out, gates);
        for (const GateCell* g = t->gates; g; g = g->next) {
            if (g->nameId == GateCell::NoNameId) g->nameId = names.Intern(g->name);
            PutCount(out, g->nameId);
        }
        PutEvents(out, t->events);
        PutEvents(out, t->leftCauses);
        PutEvents(out, t->rightCauses);
        Pack(out, t->left, names);
        Pack(out, t->instance, names);
    }
}

class Reader {
public:
    Reader(std::string_view bytes, TermArena& arena, const ActionTable& names)
        : bytes_(bytes), arena_(arena), names_(names) {}

    BehaviourNode* Term() {
        BehaviourNode* head = nullptr;
        BehaviourNode** slot = &head;
        for (;;) {
            const int tag = Byte();
            if (tag == 0) return head;
            BehaviourNode* node = arena_.NewNode(static_cast<NodeKind>(tag - 1), static_cast<std::int32_t>(Signed()));
            if (Byte() != 0) {
                Need(sizeof node->process);
                std::memcpy(&node->process, bytes_.data() + at_, sizeof node->process);
                at_ += sizeof node->process;
            }
            GateCell** gate = &node->gates;
            for (std::uint64_t n = Count(); n > 0; --n) {
                const auto id = static_cast<ActionId>(Count());
                *gate = arena_.NewGate(names_.Name(id), id);
                gate = &(*gate)->next;
            }
            Events(node->events);
            Events(node->leftCauses);
            Events(node->rightCauses);
            node->left = Term();
            node->instance = Term();
            *slot = node;
            slot = &node->right;
        }
    }

private:
    void Need(std::size_t n) const {
        if (bytes_.size() - at_ < n) throw std::logic_error("packed term cut short");
    }
    int Byte() {
        Need(1);
        return static_cast<unsigned char>(bytes_[at_++]);
    }
    std::uint64_t Count() {
        std::uint64_t n = 0;
        for (int shift = 0;; shift += 7) {
            const int b = Byte();
            n |= static_cast<std::uint64_t>(b & 0x7F) << shift;
            if (!(b & 0x80)) return n;
        }
    }
    std::int64_t Signed() {
        const std::uint64_t n = Count();
        return (n & 1) ? -static_cast<std::int64_t>(n >> 1) - 1 : static_cast<std::int64_t>(n >> 1);
    }
    void Events(EventSet& events) {
        const std::uint64_t n = Count();
        events.reserve(n);
        for (std::uint64_t i = 0; i < n; ++i) {
            TEventEntry e;
            e.Event = static_cast<std::int32_t>(Signed());
            e.Action = static_cast<ActionId>(Count());
            events.push_back(e);
        }
    }

    std::string_view bytes_;
    std::size_t at_ = 0;
    TermArena& arena_;
    const ActionTable& names_;
};

}  // namespace

std::string PackTerm(const BehaviourNode* term, ActionTable& names) {
    std::string out;
    Pack(out, term, names);
    out.shrink_to_fit();
    return out;
}

BehaviourNode* UnpackTerm(std::string_view bytes, TermArena& arena, const ActionTable& names) {
    return Reader(bytes, arena, names).Term();
}

}  // namespace quarvo
