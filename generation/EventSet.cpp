// Event-set operations of the STEM store.
#include "generation/EventSet.h"

#include <algorithm>

namespace quarvo {

static EventSet::iterator LowerBound(EventSet& set, std::int32_t event) {
    return std::lower_bound(set.begin(), set.end(), event,
                            [](const TEventEntry& e, std::int32_t v) { return e.Event < v; });
}

bool Contains(EventSetRef set, std::int32_t event) {
    if (set.NameForm()) return EventSetRef::NameFits(event) && (set.Mask() & EventSetRef::Bit(event)) != 0;
    for (const TEventEntry e : set)
        if (e.Event == event) return true;
    return false;
}

bool Contains(const EventSet& set, std::int32_t event) {
    auto it = std::lower_bound(set.begin(), set.end(), event,
                               [](const TEventEntry& e, std::int32_t v) { return e.Event < v; });
    return it != set.end() && it->Event == event;
}

void Insert(std::int32_t event, ActionId action, EventSet& set) {
    auto it = LowerBound(set, event);
    if (it != set.end() && it->Event == event) return;
    set.insert(it, TEventEntry{event, action});
}

EventSet Union(const EventSet& a, const EventSet& b) {
    EventSet result;
    result.reserve(a.size() + b.size());
    auto ia = a.begin();
    auto ib = b.begin();
    while (ia != a.end() || ib != b.end()) {
        if (ib == b.end() || (ia != a.end() && ia->Event <= ib->Event)) {
            if (ib != b.end() && ia->Event == ib->Event) ++ib;  // a's action wins
            result.push_back(*ia++);
        } else {
            result.push_back(*ib++);
        }
    }
    return result;
}

void Remove(EventSet& set, std::int32_t event) {
    auto it = LowerBound(set, event);
    if (it != set.end() && it->Event == event) set.erase(it);
}

void RemoveAll(EventSet& set, const EventSet& other) {
    if (set.empty() || other.empty()) return;
    std::erase_if(set, [&other](const TEventEntry& e) { return Contains(other, e.Event); });
}

std::int32_t Smallest(const EventSet& set) { return set.empty() ? -1 : set.front().Event; }

bool SameActions(const EventSet& a, const EventSet& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].Action != b[i].Action) return false;
    return true;
}

bool SameActionMultiset(const EventSet& a, const EventSet& b) {
    if (a.size() != b.size()) return false;
    std::vector<ActionId> x, y;
    for (const TEventEntry& e : a) x.push_back(e.Action);
    for (const TEventEntry& e : b) y.push_back(e.Action);
    std::sort(x.begin(), x.end());
    std::sort(y.begin(), y.end());
    return x == y;
}

void RemoveCauseEvents(EventSet& set, const EventSet& causes, std::int32_t event, ActionId action) {
    if (set.empty() || causes.empty()) return;
    std::erase_if(set, [&](const TEventEntry& e) {
        return Contains(causes, e.Event) && !(e.Event == event && e.Action == action);
    });
}

std::int32_t FreshEvent(const EventSet& used) {
    std::int32_t candidate = 1;
    for (const TEventEntry& e : used) {
        if (e.Event > candidate) break;
        if (e.Event == candidate) ++candidate;
    }
    return candidate <= MaxEventNames ? candidate : -1;
}

namespace {

template <typename Set>
std::string TextOf(const Set& set, const ActionTable& actions) {
    std::string text = "{";
    bool first = true;
    for (const TEventEntry e : set) {
        if (!first) text += ",";
        first = false;
        text += std::to_string(e.Event) + ":" + actions.Text(e.Action);
    }
    text += "}";
    return text;
}

}  // namespace

std::string EventSetText(const EventSet& set, const ActionTable& actions) { return TextOf(set, actions); }

template <std::same_as<EventSetRef> Ref>
std::string EventSetText(Ref set, const ActionTable& actions) {
    return TextOf(set, actions);
}
template std::string EventSetText<EventSetRef>(EventSetRef, const ActionTable&);

}  // namespace quarvo
