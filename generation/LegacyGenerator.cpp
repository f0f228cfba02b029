// The former exploration over copied terms, kept while the shared-term engine is checked against it.
#include "generation/Generator.h"

#include <malloc.h>

#include <chrono>
#include <ctime>
#include <string>
#include <unordered_map>
#include <vector>

#include "generation/TermCodec.h"
#include "generation/TransitionRules.h"

namespace quarvo {
namespace {

std::int64_t HeapKo() {
    struct mallinfo2 info = mallinfo2();
    return static_cast<std::int64_t>(info.uordblks + info.hblkhd) / 1000;
}

std::string LocalInstant(std::time_t t) {
    std::tm local{};
    localtime_r(&t, &local);
    char text[64];
    std::strftime(text, sizeof text, "%H:%M:%S   %d/%m/%Y", &local);
    return text;
}

// The terms of the states: while a state waits to be explored, its term packed
// into a few bytes (a tree costs many times more, and a breadth-first search
// holds many waiting states), unpacked when its turn comes; always its key,
// through which new terms are recognised. The first state in list order wins
// among states sharing a key, as a scan from the head would.
class TermList {
public:
    TermList(const StateIdentity& identity, ActionTable& names, bool keepTrees)
        : identity_(identity), names_(names), keepTrees_(keepTrees) {}

    struct Entry {
        std::unique_ptr<TermArena> arena;
        BehaviourNode* term = nullptr;
        std::string packed;
        std::string key;
    };

    std::int64_t Find(const BehaviourNode* term, const std::string& key, bool linear) const {
        if (linear) {
            for (std::size_t i = 0; i < entries_.size(); ++i)
                if (TermEqual(entries_[i].term, term, identity_)) return static_cast<std::int64_t>(i);
            return -1;
        }
        auto it = index_.find(key);
        return it == index_.end() ? -1 : it->second.front();
    }

    // Keeps the term of a new state; hands back its arena, emptied, when the
    // term was packed (the linear scan of the tests keeps every tree).
    std::unique_ptr<TermArena> Append(std::unique_ptr<TermArena> arena, BehaviourNode* term, std::string key) {
        std::int64_t number = static_cast<std::int64_t>(entries_.size());
        index_[key].push_back(number);
        if (keepTrees_) {
            entries_.push_back(Entry{std::move(arena), term, {}, std::move(key)});
            return nullptr;
        }
        entries_.push_back(Entry{nullptr, nullptr, PackTerm(term, names_), std::move(key)});
        arena->Reset();
        return arena;
    }

    // The tree of a state about to be explored, unpacked into arena when packed.
    void Unpack(std::int64_t number, std::unique_ptr<TermArena> arena) {
        Entry& e = At(number);
        if (e.term || e.packed.empty()) return;
        e.term = UnpackTerm(e.packed, *arena, names_);
        e.arena = std::move(arena);
        std::string().swap(e.packed);
    }

    Entry& At(std::int64_t number) { return entries_[static_cast<std::size_t>(number)]; }

    // Exploring a state distributes events inside its term; its key follows.
    void Rekey(std::int64_t number) {
        Entry& e = At(number);
        std::string key = TermKey(e.term, identity_, names_);
        if (key == e.key) return;
        auto& old = index_[e.key];
        std::erase(old, number);
        if (old.empty()) index_.erase(e.key);
        auto& now = index_[key];
        now.insert(std::lower_bound(now.begin(), now.end(), number), number);
        e.key = std::move(key);
    }

    // Once explored, a state's tree is needed no more (except for the linear
    // scan); its arena comes back emptied, for the next state.
    std::unique_ptr<TermArena> Explored(std::int64_t number) {
        if (keepTrees_) return nullptr;
        Entry& e = At(number);
        e.term = nullptr;
        if (e.arena) e.arena->Reset();
        return std::move(e.arena);
    }

    std::string Key(const BehaviourNode* term) const { return TermKey(term, identity_, names_); }

private:
    StateIdentity identity_;
    ActionTable& names_;
    bool keepTrees_;
    std::vector<Entry> entries_;
    std::unordered_map<std::string, std::vector<std::int64_t>> index_;
};

}  // namespace

GenerationResult GenerateStemLegacy(std::shared_ptr<const Compilation> compilation, const GenerationSettings& settings,
                              StemStore& store, MessageSink& messages, Progress* progress) {
    GenerationResult result;
    store.FreeStates();
    store.compilation = compilation;
    const std::time_t startTime = std::time(nullptr);
    const std::int64_t memBefore = HeapKo();

    messages.Clear();
    messages.Append("Génération en cours...");

    StateIdentity identity{settings.semantics, settings.cpbrOff};
    TermList terms(identity, store.actions, settings.linearSearch);
    TransitionRules rules(store.actions);

    // The initial state's term is a copy, so the compiled tree stays as the
    // compiler built it and can be generated again.
    auto arena = std::make_unique<TermArena>();
    BehaviourNode* root = CopyTerm(*arena, compilation ? compilation->rootBehaviour : nullptr);
    std::string rootKey = terms.Key(root);
    std::unique_ptr<TermArena> spare = terms.Append(std::move(arena), root, std::move(rootKey));
    store.AppendState(0, EventSet{});
    std::int64_t stateCount = 1;
    std::int64_t arcs = 0;

    std::int64_t current = 0;
    for (; current < stateCount; ++current) {
        if (current > 0 && progress && progress->StopRequested()) break;
        if (settings.maxStates > 0 && current > 0 && stateCount >= settings.maxStates) {
            result.stoppedByBound = true;
            break;
        }
        terms.Unpack(current, spare ? std::move(spare) : std::make_unique<TermArena>());
        TermList::Entry& entry = terms.At(current);
        BehaviourNode* term = entry.term;
        rules.ResetSteps();
        std::vector<Transition> transitions = rules.Derive(term, *entry.arena);
        terms.Rekey(current);

        std::vector<TStemArc> found;
        found.reserve(transitions.size());
        for (const Transition& t : transitions) {
            ActionId action = t.action;
            // The arena of a successor that turned out known serves the next one.
            std::unique_ptr<TermArena> next = spare ? std::move(spare) : std::make_unique<TermArena>();
            BehaviourNode* successor = rules.Successor(terms.At(current).term, t, *next, action);
            result.nodesBuilt += static_cast<std::int64_t>(next->NodeCount());
            std::string key = terms.Key(successor);
            std::int64_t target = terms.Find(successor, key, settings.linearSearch);
            if (target < 0) {
                target = stateCount++;
                store.AppendState(static_cast<std::int32_t>(target), successor ? successor->events : EventSet{});
                if (auto emptied = terms.Append(std::move(next), successor, std::move(key))) spare = std::move(emptied);
            } else {
                next->Reset();
                spare = std::move(next);
            }
            if (action == rules.Dollar()) action = rules.Internal();
            found.push_back(TStemArc{static_cast<std::int32_t>(target), action, t.event, store.InternEvents(t.causes)});
            ++arcs;
        }
        // Stored in the order found; the store reads them back newest first.
        store.SetArcs(static_cast<std::size_t>(current), found);
        if (auto emptied = terms.Explored(current); emptied && !spare) spare = std::move(emptied);
        store.LastGenStateCount = static_cast<std::int32_t>(stateCount);
        if (progress) progress->Update(stateCount, arcs);
    }
    result.interrupted = current < stateCount;
    result.states = stateCount;
    result.arcs = arcs;
    result.eventNamesExhausted = rules.eventNamesExhausted;
    result.unguardedRecursion = rules.unguardedProcess != nullptr;
    store.StemStateCount = static_cast<std::int32_t>(stateCount);
    store.LastGenStateCount = static_cast<std::int32_t>(stateCount);

    messages.Clear();
    messages.Append("Nombre d'états = " + std::to_string(stateCount) + ".");
    messages.Append("Nombre d'arcs = " + std::to_string(arcs) + ".");
    if (result.eventNamesExhausted)
        messages.Append("Attention : plus de 30 événements simultanés, des noms d'événements sont -1.");
    if (rules.unguardedProcess)
        messages.Append("Attention : récursion non gardée dans le processus " + rules.unguardedProcess->name.Text() +
                        " ; ses appels récursifs avant toute action ne sont pas dépliés.");
    if (result.interrupted) messages.Append("Génération interrompue : " + std::to_string(stateCount) + " états.");
    else messages.Append("Génération terminée.");

    if (progress) {
        const std::time_t endTime = std::time(nullptr);
        GenerationFigures figures;
        figures.start = LocalInstant(startTime);
        figures.end = LocalInstant(endTime);
        figures.seconds = static_cast<std::int64_t>(std::difftime(endTime, startTime));
        figures.memBeforeKo = memBefore;
        figures.memAfterKo = HeapKo();
        progress->Figures(figures);
    }
    return result;
}

}  // namespace quarvo
