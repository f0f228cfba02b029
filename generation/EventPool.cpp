// Interned event sets: masks for names, action lists in name order, memoised unions and removals.
#include "generation/EventPool.h"

#include <algorithm>
#include <array>
#include <bit>

namespace quarvo {
namespace {

constexpr std::size_t MemoSize = 1 << 17;

int Rank(std::uint32_t mask, std::uint32_t bit) { return std::popcount(mask & (bit - 1)); }

}  // namespace

EventPool::EventPool(SequenceTable& sequences)
    : sequences_(sequences), unionMemo_(MemoSize), withoutMemo_(MemoSize) {
    sets_.push_back(Set{0, 0, 0, 0});
    index_.Insert(0, HashOf(0, nullptr, 0));
}

std::uint32_t EventPool::HashOf(std::uint32_t mask, const ActionId* actions, std::size_t n) {
    std::uint64_t h = mask * 0x100000001B3ull + n;
    for (std::size_t i = 0; i < n; ++i) h = Combine(h, actions[i]);
    return MixHash(h);
}

SetId EventPool::Make(std::uint32_t mask, const ActionId* actions) {
    if (mask == 0) return 0;
    const std::size_t n = static_cast<std::size_t>(std::popcount(mask));
    const std::uint32_t hash = HashOf(mask, actions, n);
    SetId id = index_.Find(hash, [&](SetId c) {
        return sets_[c].mask == mask && std::equal(actions, actions + n, actions_.begin() + sets_[c].first);
    });
    if (id != IdIndex::Absent) return id;
    Set set{mask, static_cast<std::uint32_t>(actions_.size())};
    id = static_cast<SetId>(sets_.size());
    actions_.insert(actions_.end(), actions, actions + n);
    sets_.push_back(set);
    index_.Insert(id, hash);
    return id;
}

ActionId EventPool::ActionOf(SetId s, std::int32_t event) const {
    return Actions(s)[Rank(Mask(s), Bit(event))];
}

SetId EventPool::Insert(SetId s, std::int32_t event, ActionId action) {
    const std::uint32_t bit = Bit(event);
    const std::uint32_t mask = Mask(s);
    if (mask & bit) return s;
    std::array<ActionId, 32> actions{};
    const int at = Rank(mask, bit);
    const ActionId* old = Actions(s);
    const std::size_t n = Size(s);
    std::copy(old, old + at, actions.begin());
    actions[static_cast<std::size_t>(at)] = action;
    std::copy(old + at, old + n, actions.begin() + at + 1);
    return Make(mask | bit, actions.data());
}

SetId EventPool::Union(SetId a, SetId b) {
    if (b == 0 || a == b) return a;
    if (a == 0) return b;
    const std::uint32_t ma = Mask(a), mb = Mask(b);
    if ((mb & ~ma) == 0) return a;
    const std::uint64_t key = (static_cast<std::uint64_t>(a) << 32) | b;
    PairMemo& memo = unionMemo_[MixHash(key) & (MemoSize - 1)];
    if (memo.key == key) return memo.value;
    const std::uint32_t mask = ma | mb;
    std::array<ActionId, 32> actions{};
    std::size_t n = 0;
    const ActionId* pa = Actions(a);
    const ActionId* pb = Actions(b);
    for (std::uint32_t m = mask; m; m &= m - 1) {
        const std::uint32_t bit = m & (~m + 1);
        const bool inA = ma & bit, inB = mb & bit;
        ActionId action = inA ? *pa : *pb;
        if (inA) ++pa;
        if (inB) ++pb;
        actions[n++] = action;
    }
    const SetId made = Make(mask, actions.data());
    Remember(memo, key, made, true);
    return made;
}

SetId EventPool::Without(SetId s, std::uint32_t mask) {
    const std::uint32_t old = Mask(s);
    if ((old & mask) == 0) return s;
    const std::uint64_t key = (static_cast<std::uint64_t>(s) << 32) | mask;
    PairMemo& memo = withoutMemo_[MixHash(key) & (MemoSize - 1)];
    if (memo.key == key) return memo.value;
    std::array<ActionId, 32> actions{};
    std::size_t n = 0;
    const ActionId* a = Actions(s);
    for (std::uint32_t m = old; m; m &= m - 1, ++a)
        if (!(mask & (m & (~m + 1)))) actions[n++] = *a;
    const SetId made = Make(old & ~mask, actions.data());
    Remember(memo, key, made, false);
    return made;
}

SetId EventPool::Replace(SetId s, std::uint32_t remove, SetId add) {
    const std::uint32_t ms = Mask(s) & ~remove, ma = Mask(add);
    if (ma == 0) return Without(s, remove);
    if (ms == 0) return add;
    std::array<ActionId, 32> actions{};
    std::size_t n = 0;
    const ActionId* ps = Actions(s);
    const ActionId* pa = Actions(add);
    const std::uint32_t old = Mask(s);
    for (std::uint32_t m = old | ma; m; m &= m - 1) {
        const std::uint32_t bit = m & (~m + 1);
        // A removed name may come back from add.
        const ActionId kept = (old & bit) ? *ps++ : 0;
        if (ma & bit) actions[n++] = *pa++;
        else if (ms & bit) actions[n++] = kept;
    }
    return Make(ms | ma, actions.data());
}

void EventPool::Remember(PairMemo& memo, std::uint64_t key, SetId value, bool pair) {
    if (marked_) undo_.push_back(Undo{&memo, memo, pair});
    memo.key = key;
    memo.value = value;
}

std::uint32_t EventPool::Sequence(SetId s) {
    if (sets_[s].sequence == Unknown) sets_[s].sequence = sequences_.Intern(Actions(s), Size(s));
    return sets_[s].sequence;
}

std::uint32_t EventPool::Multiset(SetId s) {
    if (sets_[s].multiset == Unknown) sets_[s].multiset = Multiset(Actions(s), Size(s));
    return sets_[s].multiset;
}

std::uint32_t EventPool::Multiset(const ActionId* actionsInNameOrder, std::size_t n) {
    std::array<ActionId, 32> sorted{};
    std::copy(actionsInNameOrder, actionsInNameOrder + n, sorted.begin());
    std::sort(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(n));
    return sequences_.Intern(sorted.data(), n);
}

void EventPool::Mark() {
    marked_ = true;
    setMark_ = static_cast<std::uint32_t>(sets_.size());
    actionMark_ = static_cast<std::uint32_t>(actions_.size());
    undo_.clear();
}

void EventPool::Rollback() {
    // A memo learned during the attempt stays unless it names a forgotten set.
    for (auto it = undo_.rbegin(); it != undo_.rend(); ++it) {
        const PairMemo& m = *it->memo;
        const bool forgotten = m.value >= setMark_ || (m.key >> 32) >= setMark_ ||
                               (it->pair && (m.key & 0xFFFFFFFFu) >= setMark_);
        if (forgotten) *it->memo = it->old;
    }
    undo_.clear();
    index_.EraseFrom(setMark_, static_cast<std::uint32_t>(sets_.size()),
                     [&](SetId id) { return HashOf(sets_[id].mask, Actions(id), Size(id)); });
    sets_.resize(setMark_);
    actions_.resize(actionMark_);
    marked_ = false;
}

void EventPool::Commit() {
    undo_.clear();
    marked_ = false;
}

SetId EventPool::WithoutCauses(SetId s, std::uint32_t causes, std::int32_t event, ActionId action) {
    const std::uint32_t bit = Bit(event);
    std::uint32_t remove = causes & Mask(s);
    if ((remove & bit) && ActionOf(s, event) == action) remove &= ~bit;
    return Without(s, remove);
}

std::vector<SetId> EventPool::Compact(const std::vector<bool>& live) {
    // In place: a kept set and its actions never move up.
    std::vector<SetId> newId(sets_.size(), 0);
    SetId next = 1;
    std::uint32_t nextAction = 0;
    for (SetId id = 1; id < sets_.size(); ++id) {
        if (!live[id]) continue;
        newId[id] = next;
        Set set = sets_[id];
        const std::size_t n = Size(id);
        std::copy(actions_.begin() + set.first, actions_.begin() + set.first + n, actions_.begin() + nextAction);
        set.first = nextAction;
        nextAction += static_cast<std::uint32_t>(n);
        sets_[next++] = set;
    }
    sets_.resize(next);
    actions_.resize(nextAction);
    index_.Clear();
    index_.Reserve(sets_.size() * 2);
    for (SetId id = 0; id < sets_.size(); ++id) index_.Insert(id, HashOf(sets_[id].mask, Actions(id), Size(id)));
    for (PairMemo& m : unionMemo_) m = PairMemo{};
    for (PairMemo& m : withoutMemo_) m = PairMemo{};
    return newId;
}

}  // namespace quarvo
