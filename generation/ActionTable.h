// Interning of action names: events and arcs refer to actions by a small index.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "frontend/Identifier32.h"
#include "generation/Events.h"

namespace quarvo {

class ActionTable {
public:
    ActionId Intern(const Identifier32& name) {
        auto [it, inserted] = ids_.try_emplace(name, static_cast<ActionId>(names_.size()));
        if (inserted) names_.push_back(name);
        return it->second;
    }
    const Identifier32& Name(ActionId id) const { return names_[id]; }
    // The name as written to files: blanks removed.
    std::string Text(ActionId id) const { return names_[id].Compact(); }
    std::size_t Size() const { return names_.size(); }

private:
    std::unordered_map<Identifier32, ActionId, Identifier32Hash> ids_;
    std::vector<Identifier32> names_;
};

}  // namespace quarvo
