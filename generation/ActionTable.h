// Interning of action names: events and arcs refer to actions by a small index.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "frontend/Identifier32.h"
#include "generation/Events.h"

namespace quarvo {

class ActionTable {
public:
    ActionId Intern(const Identifier32& name) {
        auto [it, inserted] = ids_.try_emplace(name, static_cast<ActionId>(names_.size()));
        if (inserted) {
            names_.push_back(name);
            texts_.emplace_back();
        }
        return it->second;
    }
    // A label of any text, as the files of other toolsets write them: one
    // that an Identifier32 holds (at most 32 characters, no blank) is that
    // name; any other is kept whole, its Name() then being its first 32
    // characters.
    ActionId InternText(std::string_view text) {
        if (IsIdentifierText(text)) return Intern(Identifier32::FromText(text));
        auto [it, inserted] = textIds_.try_emplace(std::string(text), static_cast<ActionId>(names_.size()));
        if (inserted) {
            names_.push_back(Identifier32::FromText(text));
            texts_.emplace_back(text);
        }
        return it->second;
    }
    const Identifier32& Name(ActionId id) const { return names_[id]; }
    // The name as written to files: blanks removed; a label kept whole is
    // that label.
    std::string Text(ActionId id) const { return texts_[id].empty() ? names_[id].Compact() : texts_[id]; }
    // False for a label kept whole (one that no Identifier32 holds).
    bool IsIdentifier(ActionId id) const { return texts_[id].empty(); }
    std::size_t Size() const { return names_.size(); }

    // text is a name an Identifier32 holds: not empty, at most 32
    // characters, none of them blank.
    static bool IsIdentifierText(std::string_view text) {
        if (text.empty() || text.size() > Identifier32::Size) return false;
        for (char c : text)
            if (c == ' ') return false;
        return true;
    }

private:
    std::unordered_map<Identifier32, ActionId, Identifier32Hash> ids_;
    std::vector<Identifier32> names_;
    // Per action: empty, or the whole text of a label no Identifier32 holds.
    std::vector<std::string> texts_;
    std::unordered_map<std::string, ActionId> textIds_;
};

}  // namespace quarvo
