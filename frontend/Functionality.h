// Which definitions can end with a successful termination: the functionality of a process.
#pragma once

#include <unordered_map>

#include "frontend/SyntaxTree.h"

namespace quarvo {

// For the system definition and every definition below it: true when its
// behaviour can end with "exit" (the action delta), as far as the text tells:
// a prefix ends as its continuation, a choice or a disabling when either side
// does, a parallel composition or an enabling when both sides do, a call when
// the process called does (least fixed point over the recursive calls).
std::unordered_map<const ProcessDefinition*, bool> TerminatingDefinitions(const ProcessDefinition* system);

// The same question for one behaviour, given the answers for the definitions.
bool CanTerminate(const BehaviourNode* node, const std::unordered_map<const ProcessDefinition*, bool>& definitions);

}  // namespace quarvo
