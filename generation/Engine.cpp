// The transition rules on shared terms: import, normal form, identities and successors.
#include "generation/Engine.h"

#include <algorithm>

#include "generation/Terms.h"

namespace quarvo {

Engine::Engine(ActionTable& actions, StateIdentity identity, SharedNames* names)
    : actions_(actions),
      identity_(identity),
      ownNames_(names ? nullptr : std::make_unique<SharedNames>(actions)),
      names_(names ? *names : *ownNames_),
      pool_(names_.sequences),
      terms_(pool_),
      delta_(names_.InternAction(DeltaName())),
      internal_(names_.InternAction(InternalName())),
      dollar_(names_.InternAction(Identifier32::FromText("$"))) {
    leafStep_.persistent = true;
}

void Engine::WatchMemory(const MemoryWatch* watch) {
    if (!watch) {
        terms_.OnGrowth(nullptr);
        return;
    }
    terms_.OnGrowth([this, watch] {
        if (watch->NearLimit(static_cast<std::int64_t>(Bytes()))) throw MemoryLimitReached();
    });
}

std::size_t Engine::Bytes() const {
    return terms_.Bytes() + (ownNames_ ? ownNames_->identities.Bytes() : 0) +
           (distOf_.capacity() + idleOf_.capacity() + normOf_.capacity()) * 4;
}

// ---- Memos and their undoing -------------------------------------------------

void Engine::SetMemo(std::vector<std::uint32_t>& memo, TermId id, std::uint32_t value) {
    if (memo.size() <= id) memo.resize(std::max<std::size_t>(id + 1, memo.size() * 3 / 2 + 64), 0);
    if (marked_ && id < termMark_) undo_.push_back(Undo{&memo, id, memo[id]});
    memo[id] = value;
}

void Engine::Mark() {
    marked_ = true;
    termMark_ = terms_.Size();
    undo_.clear();
    pool_.Mark();
}

void Engine::Rollback() {
    // A memo learned during the attempt stays unless it names something forgotten.
    for (auto it = undo_.rbegin(); it != undo_.rend(); ++it)
        if ((*it->memo)[it->id] >= termMark_) (*it->memo)[it->id] = it->old;
    undo_.clear();
    // Identities are never forgotten: they name structures, whatever node
    // holds them. The memos of the nodes made since the mark, which are forgotten.
    const std::size_t made = terms_.Size();
    for (auto* memo : {&distOf_, &idleOf_, &normOf_})
        if (memo->size() > termMark_)
            std::fill(memo->begin() + termMark_, memo->begin() + std::min(made, memo->size()), 0);
    terms_.Rollback(termMark_);
    pool_.Rollback();
    marked_ = false;
}

void Engine::Commit() {
    undo_.clear();
    pool_.Commit();
    marked_ = false;
}

// ---- Import of compiled terms ------------------------------------------------

std::uint32_t Engine::ProcessIndex(const ProcessDefinition* process) {
    if (!process) return 0;
    auto [it, inserted] = processIndex_.try_emplace(process, static_cast<std::uint32_t>(processes_.size()));
    if (inserted) processes_.push_back(process);
    return it->second;
}

GatesId Engine::ImportGates(const GateCell* gates) {
    std::vector<ActionId> names;
    for (; gates; gates = gates->next) names.push_back(names_.InternAction(gates->name));
    return gates_.Intern(names.data(), names.size());
}

TermId Engine::Import(const BehaviourNode* term) {
    TermId id = ImportChain(term);
    Identity(id);
    return id;
}

// Imports along the continuations without recursion, so that long prefix chains are safe.
TermId Engine::ImportChain(const BehaviourNode* term) {
    std::vector<const BehaviourNode*> chain;
    for (const BehaviourNode* t = term; t; t = t->right) chain.push_back(t);
    TermId next = 0;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const BehaviourNode* t = *it;
        if (t->kind == NodeKind::Parallel) {
            next = ImportParallel(t, next);
            continue;
        }
        TermNode n;
        n.kind = t->kind;
        n.height = t->height;
        n.process = ProcessIndex(t->process);
        n.gates = ImportGates(t->gates);
        n.left = ImportChain(t->left);
        n.right = next;
        next = terms_.Make(n);
    }
    return next;
}

// A chain of one parallel operator, its right operand (imported already)
// last: its left spine of the same operator becomes one node, its operands
// imported in the order the nested form imports them.
TermId Engine::ImportParallel(const BehaviourNode* t, TermId right) {
    TermNode n;
    n.kind = NodeKind::Parallel;
    n.height = t->height;
    n.process = ProcessIndex(t->process);
    n.gates = ImportGates(t->gates);
    std::vector<const BehaviourNode*> spine{t};
    for (const BehaviourNode* x = t->left; x && x->kind == NodeKind::Parallel && x->process == t->process &&
                                           ImportGates(x->gates) == n.gates;
         x = x->left)
        spine.push_back(x);
    std::vector<TermId> rights{right};
    for (std::size_t i = 1; i < spine.size(); ++i) rights.push_back(ImportChain(spine[i]->right));
    const TermId leftmost = ImportChain(spine.back()->left);
    FlatScratch s(*this);
    FlatBuild& b = s.b;
    b.ops.assign(1, leftmost);
    b.ops.insert(b.ops.end(), rights.rbegin(), rights.rend());
    std::vector<ActionId> heights;
    for (std::size_t i = spine.size(); i-- > 1;) heights.push_back(static_cast<ActionId>(spine[i]->height));
    b.shape = gates_.Intern(heights.data(), heights.size());
    b.levels.assign(b.ops.size() - 2, 0);
    b.levelsValid = true;
    b.checked = false;
    return MakeFlat(n, b);
}

// The body of a process with its formal gates replaced by the call's actual
// ones, made once per process and actual gates.
TermId Engine::Instance(const TermNode& call) {
    const std::uint64_t key = static_cast<std::uint64_t>(call.process) << 32 | call.gates;
    auto found = bodies_.find(key);
    TermId body = 0;
    if (found != bodies_.end()) {
        body = found->second;
    } else {
        const ProcessDefinition* process = processes_[call.process];
        TermArena arena;
        GateList actuals = nullptr;
        GateCell** tail = &actuals;
        for (std::size_t i = 0; i < gates_.Size(call.gates); ++i) {
            *tail = arena.NewGate(names_.ActionName(gates_.Names(call.gates)[i]));
            tail = &(*tail)->next;
        }
        body = ImportChain(CopyTerm(arena, process->behaviour, actuals, process->gates));
        bodies_.emplace(key, body);
    }
    if (!body) return 0;
    const std::uint64_t instanceKey = static_cast<std::uint64_t>(body) << 32 | call.events;
    auto [it, inserted] = instances_.try_emplace(instanceKey, 0);
    if (inserted) it->second = ForceDistribute(SetEvents(body, call.events));
    return it->second;
}

// ---- Events on terms ---------------------------------------------------------

TermId Engine::SetEvents(TermId t, SetId events) {
    if (!t || terms_[t].events == events) return t;
    TermNode n = terms_[t];
    n.events = events;
    if (n.kind == NodeKind::Parallel) {
        FlatScratch s(*this);
        LoadFlat(t, s.b, false);
        s.b.checked = false;  // the root's events changed
        return MakeFlat(n, s.b);
    }
    return terms_.Make(n);
}

SetId Engine::ChildEvents(const TermNode& n) {
    if (n.kind == NodeKind::Parallel) {
        // The root's two sides: the chain of all operands but the last, and the last.
        const FlatView f = terms_.FlatOf(n);
        const SetId last = terms_[f.Op(f.count - 1)].events;
        if (f.levelEvents || f.count == 2) {
            const SetId before = f.count == 2 ? terms_[f.Op(0)].events : f.levelEvents[f.count - 3];
            return pool_.Union(before, last);
        }
        SetId level = terms_[f.Op(0)].events;
        for (std::uint32_t i = 1; i < f.count; ++i) level = pool_.Union(level, terms_[f.Op(i)].events);
        return level;
    }
    if (!n.left && !n.right) return 0;
    const SetId l = terms_[n.left].events;
    const SetId r = terms_[n.right].events;
    if (IsBinary(n.kind)) return pool_.Union(l, r);
    if (IsUnaryLeft(n.kind)) return l;
    return 0;
}

// Pushes a node's events down its operator spine when the spine below is free of events.
TermId Engine::Distribute(TermId t) {
    if (!t || !terms_[t].distributes) return t;
    if (TermId known = Memo(distOf_, t)) return known;
    TermNode n = terms_[t];
    TermId result = t;
    if (n.kind == NodeKind::Parallel) {
        result = DistributeFlat(t, n, false);
    } else if (IsBinary(n.kind)) {
        if (terms_[n.left].freeBelow && terms_[n.right].freeBelow) {
            n.left = Distribute(SetEvents(n.left, n.events));
            n.right = Distribute(SetEvents(n.right, n.events));
            result = terms_.Make(n);
        }
    } else if (IsUnaryLeft(n.kind)) {
        if (terms_[n.left].freeBelow && n.left) {
            n.left = Distribute(SetEvents(n.left, n.events));
            result = terms_.Make(n);
        }
    }
    SetMemo(distOf_, t, result);
    return result;
}

// The same without the test, for a freshly built process instance.
TermId Engine::ForceDistribute(TermId t) {
    if (!t) return t;
    TermNode n = terms_[t];
    if (n.kind == NodeKind::Parallel) return DistributeFlat(t, n, true);
    if (IsBinary(n.kind)) {
        n.left = ForceDistribute(SetEvents(n.left, n.events));
        n.right = ForceDistribute(SetEvents(n.right, n.events));
        return terms_.Make(n);
    }
    if (IsUnaryLeft(n.kind) && n.left && terms_[n.left].events == 0) {
        n.left = ForceDistribute(SetEvents(n.left, n.events));
        return terms_.Make(n);
    }
    return t;
}

bool Engine::Expanding(std::uint32_t process) const {
    return std::find(expanding_.begin(), expanding_.end(), process) != expanding_.end();
}

TermId Engine::Normalize(TermId term) {
    bool contextFree = true;
    expanding_.clear();
    return Norm(term, contextFree);
}

// Distributes events top-down over every node a derivation visits, and
// expands the calls on the way; a call re-entered before any action (an
// unguarded recursion) stays as it is.
TermId Engine::Norm(TermId t, bool& contextFree) {
    if (!t) return t;
    if (TermId known = Memo(normOf_, t)) return known;
    const TermId d = Distribute(t);
    TermNode n = terms_[d];
    bool free = true;
    if (n.kind == NodeKind::Parallel) {
        const TermId result = NormFlat(d, free);
        if (free) {
            SetMemo(normOf_, t, result);
            SetMemo(normOf_, result, result);
        }
        contextFree = contextFree && free;
        return result;
    }
    switch (n.kind) {
    case NodeKind::Choice:
    case NodeKind::Disable:
        n.left = Norm(n.left, free);
        n.right = Norm(n.right, free);
        break;
    case NodeKind::Enable:
    case NodeKind::Hide:
        n.left = Norm(n.left, free);
        break;
    case NodeKind::Call:
        if (Expanding(n.process)) {
            if (!unguardedProcess) unguardedProcess = processes_[n.process];
            free = false;
        } else if (n.process) {
            TermId instance = n.instance ? n.instance : Instance(n);
            expanding_.push_back(n.process);
            n.instance = Norm(instance, free);
            expanding_.pop_back();
        }
        break;
    default:
        break;
    }
    const TermNode& now = terms_[d];
    const TermId result =
        (n.left == now.left && n.right == now.right && n.instance == now.instance) ? d : terms_.Make(n);
    if (free) {
        SetMemo(normOf_, t, result);
        SetMemo(normOf_, result, result);
    }
    contextFree = contextFree && free;
    return result;
}

// ---- Identities --------------------------------------------------------------

std::uint32_t Engine::Identity(TermId term) {
    if (!term) return 0;
    if (std::uint32_t known = terms_[term].identity) return known;
    // Along the continuations without recursion. The chain lives in a member
    // vector used as a stack, so that a successor's identity allocates nothing;
    // the recursion on left operands works above this call's part of it.
    const std::size_t base = chain_.size();
    for (TermId t = term; t && !terms_[t].identity; t = terms_[t].right) chain_.push_back(t);
    for (std::size_t i = chain_.size(); i-- > base;) {
        const TermId id = chain_[i];
        const TermNode n = terms_[id];
        std::uint32_t events = 0;
        if (identity_.semantics == Semantics::Maximality)
            events = identity_.cpbrOff ? pool_.Sequence(n.events) : pool_.Multiset(n.events);
        // A composition of two operands is named as they are; a longer chain
        // by its record's identity.
        std::uint32_t left = 0, right = 0;
        if (n.kind != NodeKind::Parallel) {
            left = Identity(n.left);
            right = terms_[n.right].identity;
        } else if (const FlatView f = terms_.Flat(id); f.count == 2) {
            const TermId second = f.Op(1);
            left = Identity(f.Op(0));
            right = Identity(second);
        } else {
            left = FlatIdentity(id);
            right = FlatMarker;
        }
        IdentityNode node{n.kind, n.height, SharedProcess(n.process), SharedGates(n.gates), events, left, right};
        terms_.SetIdentity(id, names_.identities.Make(node, identityCache_));
    }
    chain_.resize(base);
    return terms_[term].identity;
}

bool Engine::SameState(TermId a, TermId b) {
    for (;;) {
        if (a == b) return true;
        if (!a || !b) return false;
        const TermNode& x = terms_[a];
        const TermNode& y = terms_[b];
        if (x.kind != y.kind || x.height != y.height || x.process != y.process || x.gates != y.gates) return false;
        if (identity_.semantics == Semantics::Maximality) {
            const bool same = identity_.cpbrOff ? pool_.Sequence(x.events) == pool_.Sequence(y.events)
                                                : pool_.Multiset(x.events) == pool_.Multiset(y.events);
            if (!same) return false;
        }
        if (x.kind == NodeKind::Parallel) return SameFlat(a, b);
        if (!SameState(x.left, y.left)) return false;
        a = x.right;
        b = y.right;
    }
}

std::uint32_t Engine::SharedProcess(std::uint32_t process) {
    if (!process) return 0;
    if (sharedProcess_.size() <= process) sharedProcess_.resize(process + 1, 0);
    std::uint32_t& known = sharedProcess_[process];
    if (!known) known = names_.Process(processes_[process]);
    return known;
}

std::uint32_t Engine::SharedGates(GatesId gates) {
    if (!gates) return 0;
    if (sharedGates_.size() <= gates) sharedGates_.resize(gates + gates / 2 + 16, 0);
    std::uint32_t& known = sharedGates_[gates];
    if (!known) known = names_.Gates(gates_.Names(gates), gates_.Size(gates));
    return known;
}

GatesId Engine::LocalGates(std::uint32_t shared) {
    if (!shared) return 0;
    auto [it, inserted] = localGates_.try_emplace(shared, 0);
    if (inserted) {
        const std::vector<ActionId> names = names_.GateNames(shared);
        it->second = gates_.Intern(names.data(), names.size());
    }
    return it->second;
}

// ---- Terms carried from one engine to another ----------------------------------

std::uint32_t Engine::Pack(TermId term, TermPacket& packet) {
    if (!term) return 0;
    if (packed_.size() < terms_.Size()) packed_.resize(terms_.Size(), 0);
    if (packed_[term]) return packed_[term];
    // Along the continuations without recursion, as the import does.
    const std::size_t base = chain_.size();
    for (TermId t = term; t && !packed_[t]; t = terms_[t].right) chain_.push_back(t);
    for (std::size_t i = chain_.size(); i-- > base;) {
        const TermId id = chain_[i];
        const TermNode n = terms_[id];
        if (n.kind == NodeKind::Parallel) {
            packed_[id] = PackFlat(id, packet);
            packedNodes_.push_back(id);
            continue;
        }
        TermPacket::Node p;
        p.kind = n.kind;
        p.height = n.height;
        p.process = processes_[n.process];
        p.gates = SharedGates(n.gates);
        p.eventMask = pool_.Mask(n.events);
        p.eventFirst = static_cast<std::uint32_t>(packet.actions.size());
        packet.actions.insert(packet.actions.end(), pool_.Actions(n.events),
                              pool_.Actions(n.events) + pool_.Size(n.events));
        p.left = Pack(n.left, packet);
        p.right = n.right ? packed_[n.right] : 0;
        p.instance = Pack(n.instance, packet);
        packet.nodes.push_back(p);
        packed_[id] = static_cast<std::uint32_t>(packet.nodes.size());
        packedNodes_.push_back(id);
    }
    chain_.resize(base);
    return packed_[term];
}

void Engine::EndPacking() {
    for (TermId id : packedNodes_) packed_[id] = 0;
    packedNodes_.clear();
}

void Engine::Unpack(const TermPacket& packet, std::vector<TermId>& made) {
    made.assign(packet.nodes.size() + 1, 0);
    // A parallel composition that is the left operand of the same operator,
    // and nothing else, is an inner level of that one's chain: it is made
    // with the chain, not alone.
    std::vector<std::uint8_t> uses(packet.nodes.size() + 1, 0), inner(packet.nodes.size() + 1, 0);
    for (const TermPacket::Node& p : packet.nodes)
        for (std::uint32_t o : {p.left, p.right, p.instance}) uses[o] = static_cast<std::uint8_t>(std::min(uses[o] + 1, 2));
    for (const TermPacket::Node& p : packet.nodes) {
        if (p.kind != NodeKind::Parallel || !p.left || uses[p.left] != 1) continue;
        const TermPacket::Node& l = packet.nodes[p.left - 1];
        if (l.kind == NodeKind::Parallel && l.gates == p.gates && l.process == p.process) inner[p.left] = 1;
    }
    for (std::size_t i = 0; i < packet.nodes.size(); ++i) {
        const TermPacket::Node& p = packet.nodes[i];
        if (inner[i + 1]) continue;
        if (p.kind == NodeKind::Parallel) {
            made[i + 1] = UnpackParallel(packet, i + 1, inner, made);
            continue;
        }
        TermNode n;
        n.kind = p.kind;
        n.height = p.height;
        n.process = ProcessIndex(p.process);
        n.gates = LocalGates(p.gates);
        n.events = pool_.Make(p.eventMask, packet.actions.data() + p.eventFirst);
        n.left = made[p.left];
        n.right = made[p.right];
        n.instance = made[p.instance];
        made[i + 1] = terms_.Make(n);
    }
}

// The chain whose root is the packet's node at place, down its inner levels.
TermId Engine::UnpackParallel(const TermPacket& packet, std::uint32_t place, const std::vector<std::uint8_t>& inner,
                              const std::vector<TermId>& made) {
    const TermPacket::Node& top = packet.nodes[place - 1];
    TermNode n;
    n.kind = NodeKind::Parallel;
    n.height = top.height;
    n.process = ProcessIndex(top.process);
    n.gates = LocalGates(top.gates);
    n.events = pool_.Make(top.eventMask, packet.actions.data() + top.eventFirst);
    FlatScratch s(*this);
    FlatBuild& b = s.b;
    b.ops.clear();
    b.levels.clear();
    std::vector<ActionId> heights;
    std::uint32_t at = place;
    for (;;) {
        const TermPacket::Node& p = packet.nodes[at - 1];
        b.ops.push_back(made[p.right]);
        if (!inner[p.left]) {
            b.ops.push_back(made[p.left]);
            break;
        }
        at = p.left;
        const TermPacket::Node& l = packet.nodes[at - 1];
        heights.push_back(static_cast<ActionId>(l.height));
        b.levels.push_back(pool_.Make(l.eventMask, packet.actions.data() + l.eventFirst));
    }
    // Gathered from the root down: the chain is written from its first operand.
    std::reverse(b.ops.begin(), b.ops.end());
    std::reverse(b.levels.begin(), b.levels.end());
    std::reverse(heights.begin(), heights.end());
    b.shape = gates_.Intern(heights.data(), heights.size());
    b.levelsValid = true;
    b.checked = false;
    return MakeFlat(n, b);
}

// ---- Collection of the nodes no waiting state needs ---------------------------

void Engine::Collect(std::vector<TermId>& roots) {
    const std::uint32_t count = terms_.Size();
    std::vector<bool> live(count, false);
    std::vector<TermId> stack(roots.begin(), roots.end());
    for (const auto& [key, body] : bodies_) stack.push_back(body);
    for (const auto& [key, instance] : instances_) {
        stack.push_back(instance);
        stack.push_back(static_cast<TermId>(key >> 32));
    }
    std::vector<bool> liveSets(pool_.Count(), false);
    for (const auto& [key, instance] : instances_) liveSets[key & 0xFFFFFFFFu] = true;
    while (!stack.empty()) {
        const TermId id = stack.back();
        stack.pop_back();
        if (!id || live[id]) continue;
        live[id] = true;
        const TermNode& n = terms_[id];
        liveSets[n.events] = true;
        if (n.kind == NodeKind::Parallel && n.instance) {
            const FlatView f = terms_.Flat(id);
            stack.insert(stack.end(), f.operands, f.operands + f.count);
            for (std::uint32_t i = 0; f.levelEvents && i + 2 < f.count; ++i) liveSets[f.levelEvents[i]] = true;
            continue;
        }
        stack.push_back(n.left);
        stack.push_back(n.right);
        stack.push_back(n.instance);
    }
    const std::vector<SetId> newSet = pool_.Compact(liveSets);
    std::vector<TermId> newId(count, 0);
    TermId next = 1;
    for (TermId id = 1; id < count; ++id)
        if (live[id]) newId[id] = next++;
    terms_.Compact(newId, newSet);
    // The memos of the nodes kept follow them; what they named must be kept too.
    for (auto* memo : {&distOf_, &idleOf_, &normOf_}) {
        // In place, as the nodes: a kept node's memo never moves up.
        const std::size_t size = memo->size();
        for (TermId id = 1; id < count; ++id) {
            if (!newId[id] || newId[id] >= size) continue;
            const std::uint32_t value = id < size ? (*memo)[id] : 0;
            (*memo)[newId[id]] = value < count ? newId[value] : 0;
        }
        if (memo->size() > next) std::fill(memo->begin() + next, memo->end(), 0);
    }
    for (auto& [key, body] : bodies_) body = newId[body];
    std::unordered_map<std::uint64_t, TermId> instances;
    for (const auto& [key, instance] : instances_)
        instances.emplace(static_cast<std::uint64_t>(newId[key >> 32]) << 32 | newSet[key & 0xFFFFFFFFu],
                          newId[instance]);
    instances_ = std::move(instances);
    for (TermId& root : roots) root = newId[root];
}

}  // namespace quarvo
