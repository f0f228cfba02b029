// Text forms of a STEM.
#include "generation/StemWriter.h"

#include "frontend/TextFile.h"

namespace quarvo {
namespace {

// Action names as written, computed once per action.
std::vector<std::string> ActionTexts(const StemStore& store) {
    std::vector<std::string> texts;
    texts.reserve(store.actions.Size());
    for (std::size_t i = 0; i < store.actions.Size(); ++i) texts.push_back(store.actions.Text(static_cast<ActionId>(i)));
    return texts;
}

void AppendSet(std::string& out, const EventSet& set, const std::vector<std::string>& names) {
    out += '{';
    for (std::size_t i = 0; i < set.size(); ++i) {
        if (i) out += ',';
        out += std::to_string(set[i].Event);
        out += ':';
        out += names[set[i].Action];
    }
    out += '}';
}

}  // namespace

std::string ClassicStemText(const StemStore& store, std::int32_t stateCount) {
    const std::vector<std::string> names = ActionTexts(store);
    std::string out = "BEGIN " + std::to_string(stateCount) + ";\r\n";
    static const EventSet none;
    for (const TStemState& s : store.StateList) {
        for (const TStemArc& a : s.Arcs) {
            const TStemState* target = store.FindState(a.Target);
            AppendSet(out, s.Events, names);
            out += std::to_string(s.Number);
            out += '<';
            AppendSet(out, a.Causes, names);
            out += names[a.Action];
            out += ':';
            out += std::to_string(a.Event);
            out += '>';
            AppendSet(out, target ? target->Events : none, names);
            out += std::to_string(a.Target);
            out += ';';
        }
        out += "\r\n";
    }
    out += "END";
    return out;
}

std::string WriteClassicStem(const std::string& path, const StemStore& store, std::int32_t stateCount) {
    // Names are plain ASCII, so the text is already Windows-1252.
    return WriteFileAtomically(path, ClassicStemText(store, stateCount));
}

std::string AutText(const StemStore& store) {
    const std::vector<std::string> names = ActionTexts(store);
    const std::string internal = InternalName().Compact();
    std::string out = "des (0, " + std::to_string(store.ArcCount()) + ", " +
                      std::to_string(store.StateList.size()) + ")\n";
    for (const TStemState& s : store.StateList) {
        for (const TStemArc& a : s.Arcs) {
            const std::string& name = names[a.Action];
            out += '(' + std::to_string(s.Number) + ", \"" + (name == internal ? std::string("i") : name) + "\", " +
                   std::to_string(a.Target) + ")\n";
        }
    }
    return out;
}

std::string WriteAut(const std::string& path, const StemStore& store) { return WriteFileAtomically(path, AutText(store)); }

}  // namespace quarvo
