// Operations on event sets: sorted by event name, at most one entry per name.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>

#include "generation/ActionTable.h"
#include "generation/EventSetRef.h"
#include "generation/Events.h"

namespace quarvo {

constexpr std::int32_t MaxEventNames = 30;

bool Contains(const EventSet& set, std::int32_t event);
bool Contains(EventSetRef set, std::int32_t event);
// Adds (event, action) unless event is present; the stored action then stays.
void Insert(std::int32_t event, ActionId action, EventSet& set);
// Entries of a, then those of b whose event is not in a.
EventSet Union(const EventSet& a, const EventSet& b);
void Remove(EventSet& set, std::int32_t event);
// Removes every event of other from set.
void RemoveAll(EventSet& set, const EventSet& other);
// Smallest event name, or -1 for the empty set.
std::int32_t Smallest(const EventSet& set);
// Same length and the same actions position by position.
bool SameActions(const EventSet& a, const EventSet& b);
// The same actions, each as many times, in any order.
bool SameActionMultiset(const EventSet& a, const EventSet& b);
// Removes the entries whose event is that of an entry of causes, except the
// entry equal to (event, action).
void RemoveCauseEvents(EventSet& set, const EventSet& causes, std::int32_t event, ActionId action);
// Smallest name of 1..MaxEventNames not used by used, or -1 when all are.
std::int32_t FreshEvent(const EventSet& used);

// "{1:A,2:I_B}"; "{}" for the empty set.
std::string EventSetText(const EventSet& set, const ActionTable& actions);
// The same for a set of a store. (A template, so that a braced list such as
// {} still goes to the EventSet form.)
template <std::same_as<EventSetRef> Ref>
std::string EventSetText(Ref set, const ActionTable& actions);

}  // namespace quarvo
