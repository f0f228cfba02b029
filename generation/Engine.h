// The transition rules on shared terms: normal form before a derivation, transitions one at a time, successors.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "frontend/SyntaxTree.h"
#include "generation/ActionTable.h"
#include "generation/EventPool.h"
#include "generation/MemoryWatch.h"
#include "generation/Semantics.h"
#include "generation/SharedTables.h"
#include "generation/StateEncoding.h"
#include "generation/TermTable.h"

namespace quarvo {

// What one node did in a transition: which operands moved, with the causes
// each side brought, and whether a disabling or an enabling saw its left
// operand terminate. A choice or a call is replaced by the successor of its
// moving operand, jumpTo. A transition's step is a chain of these from the
// root down to the prefixes that moved; while a transition is handed out,
// the part of the chain above the last materialised level lives on the stack.
//
// A parallel composition moves one operand, slot, whose step is left and
// whose causes are leftCauses; or, synchronised, every operand, their steps
// and causes in slots and slotCauses.
struct StepFrame {
    const StepFrame* left = nullptr;
    const StepFrame* right = nullptr;
    SetId leftCauses = 0;   // disable: causes of the moving side; parallel: of the one moving operand
    SetId rightCauses = 0;
    TermId jumpTo = 0;
    std::uint32_t slot = 0;
    std::uint32_t slotCount = 0;
    const StepFrame* const* slots = nullptr;
    const SetId* slotCauses = nullptr;
    bool terminated = false;
    bool persistent = false;
};

struct Transition {
    ActionId action = 0;
    bool internal = false;  // internal, hidden or end of an enabling's left: never synchronises
    std::int32_t event = 1;
    SetId causes = 0;
    const StepFrame* step = nullptr;
};

// A non-owning reference to a callable taking a transition, answering false to stop.
class TransitionSink {
public:
    template <typename F>
    TransitionSink(F& f) : object_(&f), call_([](void* o, Transition& t) { return (*static_cast<F*>(o))(t); }) {}
    bool operator()(Transition& t) const { return call_(object_, t); }

private:
    void* object_;
    bool (*call_)(void*, Transition&);
};

// A term taken out of one engine to be made again in another: its nodes in
// an order where operands come first, each naming its operands by their place
// here plus one (0 for none), its events spelt out, its gates and process by
// the names the engines share.
struct TermPacket {
    struct Node {
        NodeKind kind;
        std::int32_t height;
        const ProcessDefinition* process;
        std::uint32_t gates;  // shared gate list
        std::uint32_t eventMask;
        std::uint32_t eventFirst;  // in actions
        std::uint32_t left, right, instance;
    };
    std::vector<Node> nodes;
    std::vector<ActionId> actions;
    void Clear() {
        nodes.clear();
        actions.clear();
    }
};

class Engine {
public:
    // names: what the engines of one exploration share, so that their state
    // identities agree; an engine alone makes its own.
    Engine(ActionTable& actions, StateIdentity identity, SharedNames* names = nullptr);

    // A compiled term as shared nodes (the compiled tree is not changed).
    TermId Import(const BehaviourNode* term);

    // The term as its derivation sees it: events pushed down the operator
    // spines and the calls expanded into their instances.
    TermId Normalize(TermId term);

    // Hands every transition of a normalised term to sink, in order: a choice
    // its left operand's before its right operand's; a parallel composition,
    // for each transition of its left operand, that transition alone or its
    // pairings with each partner of the right operand, then the right
    // operand's own transitions that do not synchronise. Answers false when
    // the sink stopped it.
    bool Enumerate(TermId term, TransitionSink sink);

    // The term reached by t. action is the transition's action; it becomes
    // "$" when the step is the end of an enabling's left operand.
    TermId Successor(TermId term, const Transition& t, ActionId& action);

    // The state identity of a term, as an id: equal ids are the same state.
    std::uint32_t Identity(TermId term);
    // The identity of the successor of term by t, told without making the
    // successor's compositions and hidings: only the operands that moved are
    // made. 0 when the successor must be made to be told: it is then a state
    // never seen, or of a shape this does not cover (a sequential root, nested
    // hidings, and under maximality a synchronised move of a chain). action
    // as Successor gives it.
    std::uint32_t ProbeIdentity(TermId term, const Transition& t, ActionId& action);
    // The same question answered by walking both terms, for the tests.
    bool SameState(TermId a, TermId b);

    // Nodes made after Mark() can be forgotten again by Rollback(), with every
    // memo that learned of them; Commit() keeps them.
    void Mark();
    void Rollback();
    void Commit();
    // Looks at the memory as terms are made, every so many nodes: past
    // watch's limit, the derivation under way stops with MemoryLimitReached.
    void WatchMemory(const MemoryWatch* watch);
    // Forgets the step frames materialised for the last explored state.
    void EndState() {
        persisted_.clear();
        persistedSlots_.clear();
        persistedCauses_.clear();
    }

    // The place in packet, plus one, of term's root, its nodes added to packet
    // unless this packing already added them; Unpack in another engine makes
    // the same term there. EndPacking forgets what the packing added.
    std::uint32_t Pack(TermId term, TermPacket& packet);
    void EndPacking();
    // The terms of a packet, in the order of its nodes: made here.
    void Unpack(const TermPacket& packet, std::vector<TermId>& made);

    // Canonical forms, the same in every process that compiled the same
    // specification whatever its node ids and names: a hash of a state
    // identity (what Identity compares), the identity as bytes for one peer,
    // and a whole term, to be made again elsewhere.
    std::uint64_t CanonicalHash(TermId term, const CanonicalProcesses& processes);
    // Writes term's identity for the peer of dictionary: the nodes it was
    // sent before by their numbers, the others in full. term's identity must
    // have been asked.
    void EncodeIdentity(TermId term, const CanonicalProcesses& processes, IdentityDictionary& dictionary,
                        ByteWriter& out);
    // The identity, as Identity gives it here, of the state the peer of
    // dictionary encoded; 0 when the bytes are no such encoding.
    std::uint32_t DecodeIdentity(ByteReader& in, const CanonicalProcesses& processes, IdentityDictionary& dictionary);
    void EncodeTerm(TermId term, const CanonicalProcesses& processes, std::string& out);
    // The term encoded, made here; 0 when the bytes are no such encoding.
    TermId DecodeTerm(std::string_view bytes, const CanonicalProcesses& processes);

    // Between two states: keeps only the nodes that roots reach (and the
    // process instances), renumbering them; every root is renamed in place.
    void Collect(std::vector<TermId>& roots);

    // ---- The rules one operand at a time, for an engine that keeps a state
    // as the operands of its parallel structure and applies the structure's
    // own rules itself (vector/VectorEngine.h). Each is what the rules do to
    // an operand of a composition.

    // The operand as it stands after a step of its partners alone.
    TermId IdleOperand(TermId t) { return Idle(t); }
    // The operand with the events of mask removed from its spine; with
    // keepNew, the entry (event, action) of the occurrence just made stays.
    TermId StripOperand(TermId t, std::uint32_t mask, std::int32_t event, ActionId action, bool keepNew) {
        return StripMask(t, mask, event, action, keepNew);
    }
    // A step frame that outlives the enumeration which made it (until EndState).
    const StepFrame* KeepStep(const StepFrame* step) { return Persist(step); }
    // The name a composition whose operands use the names of used gives a
    // move waiting for causes (marking the names exhausted when none is left).
    std::int32_t EventBesides(std::uint32_t used, SetId causes) { return Besides(used, causes); }
    SetId UnionEvents(SetId a, SetId b) { return pool_.Union(a, b); }
    // The set of those names and actions (in name order), in this engine's pool.
    SetId MakeEvents(std::uint32_t mask, const ActionId* actions) { return pool_.Make(mask, actions); }
    SetId InsertEvent(SetId set, std::int32_t event, ActionId action) { return pool_.Insert(set, event, action); }
    // A composition's own events after its partners' causes are set aside (see StripOperand).
    SetId StripEvents(SetId set, std::uint32_t mask, std::int32_t event, ActionId action, bool keepNew) {
        return StripSet(set, mask, event, action, keepNew);
    }
    bool Maximality() const { return identity_.semantics == Semantics::Maximality; }
    // What a state's identity retains of a node's events.
    std::uint32_t EventsIdentity(SetId set) {
        return identity_.semantics != Semantics::Maximality ? 0
               : identity_.cpbrOff                          ? pool_.Sequence(set)
                                                            : pool_.Multiset(set);
    }
    // The same for a set given as its actions in name order, without making it.
    std::uint32_t EventsIdentity(const ActionId* actionsInNameOrder, std::size_t n) {
        if (identity_.semantics != Semantics::Maximality || n == 0) return 0;
        return identity_.cpbrOff ? pool_.Sequence(actionsInNameOrder, n) : pool_.Multiset(actionsInNameOrder, n);
    }
    ActionId HiddenAction(ActionId action) { return Hidden(action); }
    bool GatesContain(GatesId gates, ActionId action) const { return gates_.Contains(gates, action); }
    std::vector<ActionId> GateNames(GatesId gates) const {
        return std::vector<ActionId>(gates_.Names(gates), gates_.Names(gates) + gates_.Size(gates));
    }
    // The operands of a parallel composition's chain, in written order.
    void ChainOperands(TermId t, std::vector<TermId>& operands) const { terms_.Flat(t).CopyOperands(operands); }
    // A chain's inner levels keep events of their own, not their operands' union.
    bool ChainKeepsLevels(TermId t) const {
        const FlatView f = terms_.Flat(t);
        return f.count > 2 && (!f.foldLevels || !f.foldRoot);
    }

    const TermNode& Node(TermId id) const { return terms_[id]; }
    // The set as the mask of its names and its actions in name order.
    std::uint32_t EventMask(SetId set) const { return pool_.Mask(set); }
    const ActionId* EventActions(SetId set) const { return pool_.Actions(set); }
    std::size_t Bytes() const;
    std::uint32_t TermCount() const { return terms_.Size(); }

    ActionId Dollar() const { return dollar_; }
    ActionId Internal() const { return internal_; }

    // Set when some transition found no free event name and was named -1.
    bool eventNamesExhausted = false;
    // A process that calls itself before any action (unguarded recursion);
    // such a call is not expanded again and adds no transition.
    const ProcessDefinition* unguardedProcess = nullptr;

private:
    struct Context {
        SetId causes;
        std::uint32_t causesMask;
        std::int32_t event;
        ActionId& action;
        std::uint32_t enablingLeft = 0;  // enablings whose left operand holds the node being built
    };

    TermId ImportChain(const BehaviourNode* term);
    TermId ImportParallel(const BehaviourNode* t, TermId right);
    TermId UnpackParallel(const TermPacket& packet, std::uint32_t place, const std::vector<std::uint8_t>& inner,
                          const std::vector<TermId>& made);
    GatesId ImportGates(const GateCell* gates);
    std::uint32_t ProcessIndex(const ProcessDefinition* process);
    TermId Instance(const TermNode& call);

    TermId SetEvents(TermId t, SetId events);
    SetId ChildEvents(const TermNode& n);
    TermId Distribute(TermId t);
    TermId ForceDistribute(TermId t);
    TermId Norm(TermId t, bool& contextFree);
    TermId Idle(TermId t);
    TermId Next(TermId t, const StepFrame* step, Context& c);
    std::uint32_t ProbeNode(TermId t, const StepFrame* step, Context& c, SetId& events);
    std::uint32_t ProbeEvents(SetId events);
    std::vector<std::uint32_t> probeWords_;
    std::vector<TermId> probeOps_;
    TermId StopFor(TermId operand, const Context& c);
    TermId Discarding(TermNode d, TermId kept, TermId discarded, bool discardedLeft, const Context& c);
    bool EmptiedStop(TermId before, TermId after) const;
    static bool IsDiscarded(const TermNode& n) { return n.kind == NodeKind::Stop && n.height < -1; }
    TermId Strip(TermId t, SetId causes, std::int32_t event, ActionId action, bool keepNew) {
        return causes ? StripMask(t, pool_.Mask(causes), event, action, keepNew) : t;
    }
    TermId StripMask(TermId t, std::uint32_t mask, std::int32_t event, ActionId action, bool keepNew);
    SetId StripSet(SetId s, std::uint32_t mask, std::int32_t event, ActionId action, bool keepNew) {
        if (!mask) return s;
        return keepNew ? pool_.WithoutCauses(s, mask, event, action) : pool_.Without(s, mask);
    }

    // Flat parallel compositions (FlatRules.cpp). A record copied out of the
    // table, which may grow while it is worked on.
    // levels holds the inner levels' events when levelsValid; foldLevels and
    // foldRoot say the levels' and the root's events are the unions of the
    // operands' (when they cannot be known cheaply, MakeFlat checks).
    struct FlatBuild {
        std::vector<TermId> ops;
        std::vector<SetId> levels;
        GatesId shape = 0;  // the inner levels' heights
        std::vector<std::uint32_t> words;
        bool levelsValid = false, foldLevels = false, foldRoot = false, checked = false;
    };
    // Scratch records by depth of recursion.
    class FlatScratch {
    public:
        explicit FlatScratch(Engine& e) : b(e.AcquireFlat()), engine_(e) {}
        ~FlatScratch() { --engine_.flatDepth_; }
        FlatScratch(const FlatScratch&) = delete;
        FlatScratch& operator=(const FlatScratch&) = delete;
        FlatBuild& b;

    private:
        Engine& engine_;
    };
    FlatBuild& AcquireFlat() {
        if (flatBuilds_.size() <= flatDepth_) flatBuilds_.emplace_back();
        return flatBuilds_[flatDepth_++];
    }
    void LoadFlat(TermId t, FlatBuild& b, bool wantLevels);
    // levels, when not valid and foldLevels; flags, when not checked.
    TermId MakeFlat(TermNode n, FlatBuild& b);
    // The unions of the operands' events, level by level (into levels when
    // store); answers the whole chain's.
    SetId FoldLevels(FlatBuild& b, bool store);
    void CheckFold(const TermNode& n, FlatBuild& b);
    bool EnumFlat(TermId t, const TermNode& n, TransitionSink sink);
    bool EnumPair(const TermNode& n, TransitionSink sink);
    TermId MakePair(const TermNode& p);
    TermId NextFlat(TermId t, const TermNode& n, const StepFrame* step, Context& c);
    TermId IdleFlat(TermId t, const TermNode& n);
    TermId StripFlat(TermId t, TermNode n, std::uint32_t mask, std::int32_t event, ActionId action, bool keepNew);
    TermId DistributeFlat(TermId t, const TermNode& n, bool force);
    TermId NormFlat(TermId d, bool& free);
    std::uint32_t FlatIdentity(TermId t);
    // The right field of a flat composition's identity, whose left field names
    // the interned sequence of its record: no identity of another node has it.
    static constexpr std::uint32_t FlatMarker = 0xFFFFFFFFu;
    bool SameFlat(TermId a, TermId b);
    std::uint32_t PackFlat(TermId t, TermPacket& packet);
    GatesId MergedGates(GatesId outer, GatesId inner);
    TermNode HideShell(const TermNode& n, TermId& operand);

    bool Enum(TermId t, TransitionSink sink);
    std::int32_t Besides(std::uint32_t used, SetId causes);
    const StepFrame* Persist(const StepFrame* frame);
    ActionId Hidden(ActionId action);
    bool Expanding(std::uint32_t process) const;

    std::uint32_t Memo(const std::vector<std::uint32_t>& memo, TermId id) const {
        return id < memo.size() ? memo[id] : 0;
    }
    void SetMemo(std::vector<std::uint32_t>& memo, TermId id, std::uint32_t value);

    std::uint32_t SharedProcess(std::uint32_t process);
    const std::string& ActionText(ActionId id);
    std::uint64_t ActionHash(ActionId id);
    void WriteIdentityNode(const TermNode& n, const CanonicalProcesses& processes, ByteWriter& w);
    void WriteIdentityEvents(SetId set, ByteWriter& w);
    bool ReadIdentityEvents(ByteReader& r, std::uint32_t& sequence);
    std::uint64_t EventsHash(SetId set);
    // A chain of more than two operands: its operands, its inner levels' heights and (under maximality) events.
    struct FlatParts {
        std::vector<TermId> ops;
        std::vector<SetId> levels;
        std::vector<ActionId> shape;
    };
    static bool IsFlatRecord(const TermNode& n) { return n.kind == NodeKind::Parallel && n.instance != 0; }
    void ReadFlat(TermId term, FlatParts& parts);
    // A gate list as written (its length, then its names), as a shared list;
    // each distinct list is read once.
    std::uint32_t ReadGates(ByteReader& r);
    std::uint32_t SharedProcessOf(const CanonicalProcesses& processes, std::uint32_t canonical);
    struct BytesHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<std::string, std::uint32_t, BytesHash, std::equal_to<>> gatesOfBytes_;
    std::vector<std::string> bytesOfGates_;        // per shared gate list, as written
    std::vector<std::uint32_t> sharedOfCanonical_;  // per canonical process, its shared number plus one
    ActionId ActionOfText(std::string_view text);
    std::uint32_t SharedGates(GatesId gates);
    GatesId LocalGates(std::uint32_t shared);

    ActionTable& actions_;
    StateIdentity identity_;
    std::unique_ptr<SharedNames> ownNames_;
    SharedNames& names_;
    EventPool pool_;
    GateLists gates_;
    TermTable terms_;
    std::vector<std::uint32_t> sharedProcess_, sharedGates_;  // local -> shared, 0 before asked
    std::unordered_map<std::uint32_t, GatesId> localGates_;
    IdentityCache identityCache_;
    std::vector<std::uint32_t> packed_;  // per node, its place in the packet plus one
    std::vector<TermId> packedNodes_;
    std::vector<std::string> actionTexts_;  // per action, its name once asked
    std::unordered_map<std::string, ActionId> actionsByText_;
    std::vector<std::uint64_t> actionHashes_, canonicalHashes_;  // per action, per identity; 0 before asked
    std::vector<std::string_view> sortedNames_;
    TermPacket encoding_;

    ActionId delta_, internal_, dollar_;
    std::vector<const ProcessDefinition*> processes_{nullptr};
    std::unordered_map<const ProcessDefinition*, std::uint32_t> processIndex_;
    std::unordered_map<ActionId, ActionId> hidden_;
    std::unordered_map<std::uint64_t, TermId> bodies_;     // (process, actual gates) -> renamed body
    std::unordered_map<std::uint64_t, TermId> instances_;  // (body, events) -> instance

    // Memos per node id, 0 when not known yet.
    std::vector<std::uint32_t> distOf_, idleOf_, normOf_;
    struct Undo {
        std::vector<std::uint32_t>* memo;
        TermId id;
        std::uint32_t old;
    };
    bool marked_ = false;
    std::uint32_t termMark_ = 0;
    std::vector<Undo> undo_;

    std::vector<std::uint32_t> expanding_;  // calls being derived, outermost first
    std::vector<TermId> chain_;             // continuations waiting for their identity
    std::deque<StepFrame> persisted_;
    std::deque<std::vector<const StepFrame*>> persistedSlots_;
    std::deque<std::vector<SetId>> persistedCauses_;
    std::deque<FlatBuild> flatBuilds_;
    std::size_t flatDepth_ = 0;
    // The enumeration of a flat composition: its operands' transitions, kept
    // from the last to the second, and the tuple being built.
    struct FlatEnum {
        std::vector<TermId> ops;
        std::vector<std::uint32_t> used;  // per level, the names its operands use
        std::vector<std::uint32_t> begin, end;  // per operand, its transitions in moves
        std::vector<Transition> moves;
        std::vector<const StepFrame*> steps;
        std::vector<SetId> causes, folded;
    };
    std::deque<FlatEnum> flatEnums_;
    std::size_t flatEnumDepth_ = 0;
    bool TuplesFrom(FlatEnum& e, std::uint32_t slot, const Transition& first, bool careful, TransitionSink sink);
    std::int32_t FlatEvent(const FlatEnum& e, std::uint32_t from, SetId causes, bool careful);
    std::deque<std::vector<Transition>> rights_;
    std::size_t depth_ = 0;
    std::deque<std::vector<TermId>> choices_;  // operands of the choices being enumerated
    std::size_t choiceDepth_ = 0;
    StepFrame leafStep_;
};

}  // namespace quarvo
