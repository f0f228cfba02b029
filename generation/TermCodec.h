// A compact byte form of a term, in which the states that wait to be explored keep their terms.
#pragma once

#include <string>
#include <string_view>

#include "frontend/SyntaxTree.h"
#include "generation/ActionTable.h"
#include "generation/Terms.h"

namespace quarvo {

// Every field of every node (kind, height, process, gates, events, causes,
// operands and instance) in a few bytes; gate names are held by their index
// in names, where they are interned.
std::string PackTerm(const BehaviourNode* term, ActionTable& names);

// The term back, built in arena: equal field for field to the packed one.
BehaviourNode* UnpackTerm(std::string_view bytes, TermArena& arena, const ActionTable& names);

}  // namespace quarvo
