// Texts shared by the graph viewer and the explorer: event sets, targets, arc labels, state hints.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <vector>

#include "generation/ActionTable.h"
#include "generation/StemStore.h"
#include "generation/Semantics.h"

namespace quarvo {

// "{x1: a, x2: b} " (the closing brace takes the place of the last comma, so
// a blank follows it); "{}" for the empty set.
std::string afficher_listEvent(const EventSet& events, const ActionTable& actions);
// The same for a set of a store. (A template, so that a braced list such as
// {} still goes to the EventSet form.)
template <std::same_as<EventSetRef> Ref>
std::string afficher_listEvent(Ref events, const ActionTable& actions);

// "{3,5,3}": the target of every arc in order (newest first); "{}" without arcs.
std::string afficher_ButStates(const ArcRange& arcs);

// "({x1: a} , b: x2)" under maximality, the bare action name under interleaving
// and for an arc without an event (numbered 0: a reduced system's, an .aut file's).
std::string ArcLabel(const ArcView& arc, const ActionTable& actions, Semantics semantics);

// The viewer's hint for a state: its number, its maximal events and its targets, one per line.
std::string StateHint(const StateView& state, const ActionTable& actions);

// The action as the explorer lists it: all 32 characters, blanks included.
std::string PaddedActionName(ActionId action, const ActionTable& actions);

// Number of characters (not bytes) of a UTF-8 text.
std::size_t TextLength(const std::string& utf8);

}  // namespace quarvo
