// Gate-list helpers of the syntax tree.
#include "frontend/SyntaxTree.h"

namespace quarvo {

const GateCell* NameIn(const GateCell* list, const Identifier32& name) {
    for (; list; list = list->next)
        if (list->name == name) return list;
    return nullptr;
}

}  // namespace quarvo
