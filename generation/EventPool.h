// Interned event sets of the generator: each distinct set once, named by a 32-bit id.
#pragma once

#include <cstdint>
#include <vector>

#include "generation/Events.h"
#include "generation/IdIndex.h"
#include "generation/SharedTables.h"

namespace quarvo {

using SetId = std::uint32_t;  // 0 is the empty set

// A set holds at most one entry per event name; names are 1..30, or -1 once
// every name was in use. A set is the mask of its names (bit 0 for -1, bit e
// for e, so that ascending bits are ascending names) and the actions of its
// entries in that order.
class EventPool {
public:
    static constexpr std::uint32_t NameBits = 0x7FFFFFFEu;  // names 1..30

    // Action sequences are interned in sequences, which engines deriving
    // states of one exploration share, so that their identities agree.
    explicit EventPool(SequenceTable& sequences);

    static std::uint32_t Bit(std::int32_t event) { return event < 0 ? 1u : (1u << event); }
    static std::int32_t EventOfBit(int bit) { return bit == 0 ? -1 : bit; }

    std::uint32_t Mask(SetId s) const { return sets_[s].mask; }
    std::size_t Size(SetId s) const { return static_cast<std::size_t>(__builtin_popcount(sets_[s].mask)); }
    const ActionId* Actions(SetId s) const { return actions_.data() + sets_[s].first; }
    // The action of the entry named event; the set must hold it.
    ActionId ActionOf(SetId s, std::int32_t event) const;

    SetId Make(std::uint32_t mask, const ActionId* actions);

    // (event, action) added unless the name is present, whose action then stays.
    SetId Insert(SetId s, std::int32_t event, ActionId action);
    // Entries of a, then those of b whose name is not in a.
    SetId Union(SetId a, SetId b);
    // The entries whose name is not in mask.
    SetId Without(SetId s, std::uint32_t mask);
    // Union(Without(s, remove), add) when add's names are none of what stays of s.
    SetId Replace(SetId s, std::uint32_t remove, SetId add);
    // Without the names of causes, except the entry equal to (event, action).
    SetId WithoutCauses(SetId s, std::uint32_t causes, std::int32_t event, ActionId action);

    // The smallest name of 1..30 not in used, or -1 when all are.
    static std::int32_t Fresh(std::uint32_t used) {
        const std::uint32_t free = ~used & NameBits;
        return free ? __builtin_ctz(free) : -1;
    }

    // What two configurations must share to be one state: the actions in name
    // order (without CPBR) or their multiset (with CPBR), as ids of interned
    // action sequences; 0 for the empty set.
    std::uint32_t Sequence(SetId s);
    std::uint32_t Multiset(SetId s);
    // The same for a set given as its actions in name order, without making it.
    std::uint32_t Sequence(const ActionId* actionsInNameOrder, std::size_t n) {
        return sequences_.Intern(actionsInNameOrder, n);
    }
    std::uint32_t Multiset(const ActionId* actionsInNameOrder, std::size_t n);

    std::size_t Count() const { return sets_.size(); }

    // Sets made after Mark() are forgotten again by Rollback(), with the
    // memos that learned of them; Commit() keeps them.
    void Mark();
    void Rollback();
    void Commit();

    // Keeps only the sets marked live (the empty set always), renumbered in
    // their order; answers the new id of every old one (0 for the dropped).
    std::vector<SetId> Compact(const std::vector<bool>& live);

private:
    static constexpr std::uint32_t Unknown = 0xFFFFFFFFu;
    struct Set {
        std::uint32_t mask;
        std::uint32_t first;  // in actions_
        std::uint32_t sequence = Unknown;
        std::uint32_t multiset = Unknown;
    };
    struct PairMemo {
        std::uint64_t key = ~0ull;
        SetId value = 0;
    };

    // pair: the key holds two set ids (a union), else a set id and a mask.
    void Remember(PairMemo& memo, std::uint64_t key, SetId value, bool pair);
    static std::uint32_t HashOf(std::uint32_t mask, const ActionId* actions, std::size_t n);

    std::vector<Set> sets_;
    std::vector<ActionId> actions_;
    IdIndex index_;
    SequenceTable& sequences_;
    // Recent unions and removals, direct-mapped.
    std::vector<PairMemo> unionMemo_, withoutMemo_;
    struct Undo {
        PairMemo* memo;
        PairMemo old;
        bool pair;
    };
    bool marked_ = false;
    std::uint32_t setMark_ = 0, actionMark_ = 0;
    std::vector<Undo> undo_;
};

}  // namespace quarvo
