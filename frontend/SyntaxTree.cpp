// Gate-list helpers of the syntax tree.
#include "frontend/SyntaxTree.h"

namespace quarvo {

int GateCount(const GateCell* list) {
    int n = 0;
    for (; list; list = list->next) ++n;
    return n;
}

const GateCell* NameIn(const GateCell* list, const Identifier32& name) {
    for (; list; list = list->next)
        if (list->name == name) return list;
    return nullptr;
}

}  // namespace quarvo
