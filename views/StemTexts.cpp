// Texts shared by the graph viewer and the explorer.
#include "views/StemTexts.h"

#include <charconv>

namespace quarvo {

namespace {

template <typename Set>
std::string EventListText(const Set& events, const ActionTable& actions) {
    if (events.empty()) return "{}";
    std::string text = "{";
    char digits[16];
    for (const TEventEntry entry : events) {
        text += 'x';
        text.append(digits, std::to_chars(digits, digits + sizeof digits, entry.Event).ptr);
        text += ": ";
        text += actions.Name(entry.Action).Text();
        text += ", ";
    }
    // The comma of the last separator becomes the closing brace; its blank stays.
    text[text.size() - 2] = '}';
    return text;
}

}  // namespace

std::string afficher_listEvent(const EventSet& events, const ActionTable& actions) {
    return EventListText(events, actions);
}

template <std::same_as<EventSetRef> Ref>
std::string afficher_listEvent(Ref events, const ActionTable& actions) {
    return EventListText(events, actions);
}
template std::string afficher_listEvent<EventSetRef>(EventSetRef, const ActionTable&);

std::string afficher_ButStates(const ArcRange& arcs) {
    if (arcs.empty()) return "{}";
    std::string text = "{";
    char digits[16];
    for (auto it = arcs.begin(), end = arcs.end(); it != end; ++it) {
        text.append(digits, std::to_chars(digits, digits + sizeof digits, it.Stored().Target).ptr);
        text += ',';
    }
    text.back() = '}';
    return text;
}

std::string ArcLabel(const ArcView& arc, const ActionTable& actions, Semantics semantics) {
    // A label of another toolset's .aut file is shown whole.
    const std::string name =
        actions.IsIdentifier(arc.Action) ? actions.Name(arc.Action).Text() : actions.Text(arc.Action);
    // Event 0 names no event: an arc of a quotient or of an .aut file, which has only its action.
    if (semantics == Semantics::Interleaving || arc.Event == 0) return name;
    return "(" + afficher_listEvent(arc.Causes, actions) + ", " + name + ": x" + std::to_string(arc.Event) + ")";
}

std::string StateHint(const StateView& state, const ActionTable& actions) {
    return " Etat Numéro " + std::to_string(state.Number) + "\n" + " Evénements maximaux : " +
           afficher_listEvent(state.Events, actions) + "\n" + " Etats buts = " + afficher_ButStates(state.Arcs);
}

std::string PaddedActionName(ActionId action, const ActionTable& actions) {
    const Identifier32& name = actions.Name(action);
    return std::string(name.chars.data(), Identifier32::Size);
}

std::size_t TextLength(const std::string& utf8) {
    std::size_t n = 0;
    for (unsigned char c : utf8)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

}  // namespace quarvo
