// Unfolding of the static parallel structure, the components' alphabets and the transition groups.
#include "generation/vector/StaticStructure.h"

#include <algorithm>
#include <set>

namespace quarvo {

namespace {

using Renaming = std::vector<std::pair<std::string, ChannelId>>;

// A name bound to no channel: a gate hidden inside a component, whose
// actions are internal there.
constexpr ChannelId Hidden = ~ChannelId{0};

class Unfolder {
public:
    explicit Unfolder(StaticStructure& s) : s_(s) {
        s_.channels.push_back(Channel{DeltaName().Text(), -1});
    }

    std::uint32_t Unfold(const BehaviourNode* n, const Renaming& r) {
        if (!n) return Leaf(n, r, false);
        switch (n->kind) {
        case NodeKind::Parallel: {
            const std::uint32_t id = NewNode(StructureNode::Kind::Parallel);
            std::vector<ChannelId> channels;
            for (const GateCell* g = n->gates; g; g = g->next) channels.push_back(Resolve(g->name.Text(), r));
            s_.nodes[id].channels = std::move(channels);
            const std::uint32_t left = Unfold(n->left, r);
            const std::uint32_t right = Unfold(n->right, r);
            s_.nodes[id].operands = {left, right};
            return id;
        }
        case NodeKind::Hide: {
            const std::uint32_t id = NewNode(StructureNode::Kind::Hide);
            Renaming inner = r;
            std::vector<ChannelId> channels;
            for (const GateCell* g = n->gates; g; g = g->next) {
                const auto c = static_cast<ChannelId>(s_.channels.size());
                s_.channels.push_back(Channel{g->name.Text(), static_cast<std::int32_t>(id)});
                inner.emplace_back(g->name.Text(), c);
                channels.push_back(c);
            }
            s_.nodes[id].channels = std::move(channels);
            const std::uint32_t operand = Unfold(n->left, inner);
            s_.nodes[id].operands = {operand};
            return id;
        }
        case NodeKind::Call: {
            const ProcessDefinition* p = n->process;
            if (!p || !p->behaviour) return Leaf(n, r, false);
            if (std::find(stack_.begin(), stack_.end(), p) != stack_.end()) return Leaf(n, r, true);
            const NodeKind body = p->behaviour->kind;
            if (body != NodeKind::Parallel && body != NodeKind::Hide && body != NodeKind::Call) return Leaf(n, r, false);
            const Renaming formals = CallRenaming(n, r);
            stack_.push_back(p);
            const std::uint32_t id = Unfold(p->behaviour, formals);
            stack_.pop_back();
            return id;
        }
        default:
            return Leaf(n, r, false);
        }
    }

private:
    std::uint32_t NewNode(StructureNode::Kind kind) {
        s_.nodes.emplace_back();
        s_.nodes.back().kind = kind;
        return static_cast<std::uint32_t>(s_.nodes.size() - 1);
    }

    std::uint32_t Leaf(const BehaviourNode* n, const Renaming& r, bool dynamic) {
        const std::uint32_t id = NewNode(StructureNode::Kind::Component);
        Component c;
        c.term = n;
        c.renaming = r;
        c.dynamic = dynamic;
        std::set<ChannelId> alphabet;
        std::set<std::pair<const ProcessDefinition*, Renaming>> seen;
        Alphabet(n, r, alphabet, c.internal, seen);
        c.alphabet.assign(alphabet.begin(), alphabet.end());
        s_.nodes[id].component = static_cast<std::uint32_t>(s_.components.size());
        s_.components.push_back(std::move(c));
        return id;
    }

    // The innermost binding of name, or a gate of the system.
    ChannelId Resolve(const std::string& name, const Renaming& r) {
        if (name == DeltaName().Text()) return 0;
        for (auto it = r.rbegin(); it != r.rend(); ++it)
            if (it->first == name) return it->second;
        for (ChannelId c = 1; c < s_.channels.size(); ++c)
            if (s_.channels[c].hiding < 0 && s_.channels[c].name == name) return c;
        s_.channels.push_back(Channel{name, -1});
        return static_cast<ChannelId>(s_.channels.size() - 1);
    }

    Renaming CallRenaming(const BehaviourNode* call, const Renaming& r) {
        Renaming formals;
        const GateCell* actual = call->gates;
        for (const GateCell* f = call->process->gates; f && actual; f = f->next, actual = actual->next) {
            const ChannelId c = Bound(actual->name.Text(), r);
            formals.emplace_back(f->name.Text(), c);
        }
        return formals;
    }

    // Resolve, except that a name hidden inside a component stays hidden.
    ChannelId Bound(const std::string& name, const Renaming& r) {
        for (auto it = r.rbegin(); it != r.rend(); ++it)
            if (it->first == name) return it->second;
        return Resolve(name, r);
    }

    void Alphabet(const BehaviourNode* n, const Renaming& r, std::set<ChannelId>& out, bool& internal,
                  std::set<std::pair<const ProcessDefinition*, Renaming>>& seen) {
        // Along continuations without recursion; operators recurse on their left.
        for (; n; n = n->right) {
            switch (n->kind) {
            case NodeKind::Prefix: {
                const std::string name = n->gates ? n->gates->name.Text() : std::string();
                if (name == InternalName().Text()) {
                    internal = true;
                } else {
                    const ChannelId c = Bound(name, r);
                    if (c == Hidden) internal = true;
                    else out.insert(c);
                }
                continue;
            }
            case NodeKind::Hide: {
                Renaming inner = r;
                for (const GateCell* g = n->gates; g; g = g->next) inner.emplace_back(g->name.Text(), Hidden);
                Alphabet(n->left, inner, out, internal, seen);
                return;
            }
            case NodeKind::Call: {
                if (!n->process || !n->process->behaviour) return;
                Renaming formals = CallRenaming(n, r);
                if (!seen.emplace(n->process, formals).second) return;
                Alphabet(n->process->behaviour, formals, out, internal, seen);
                return;
            }
            case NodeKind::Enable:
                internal = true;  // the step that hands over to the right operand
                Alphabet(n->left, r, out, internal, seen);
                continue;
            case NodeKind::Choice:
            case NodeKind::Disable:
            case NodeKind::Parallel:
                Alphabet(n->left, r, out, internal, seen);
                continue;
            case NodeKind::Stop:
                return;
            }
        }
    }

    StaticStructure& s_;
    std::vector<const ProcessDefinition*> stack_;
};

using Groups = std::vector<std::vector<std::uint32_t>>;

// The sets of components that move together on channel below node; false when
// they are more than limit.
bool GroupsOf(const StaticStructure& s, std::uint32_t node, ChannelId channel, std::size_t limit, Groups& out) {
    const StructureNode& n = s.nodes[node];
    out.clear();
    switch (n.kind) {
    case StructureNode::Kind::Component: {
        const std::vector<ChannelId>& a = s.components[n.component].alphabet;
        if (std::binary_search(a.begin(), a.end(), channel)) out.push_back({n.component});
        return true;
    }
    case StructureNode::Kind::Hide:
        return GroupsOf(s, n.operands[0], channel, limit, out);
    case StructureNode::Kind::Parallel: {
        Groups left, right;
        if (!GroupsOf(s, n.operands[0], channel, limit, left) || !GroupsOf(s, n.operands[1], channel, limit, right))
            return false;
        if (std::find(n.channels.begin(), n.channels.end(), channel) == n.channels.end()) {
            out = std::move(left);
            out.insert(out.end(), right.begin(), right.end());
            return out.size() <= limit;
        }
        if (left.size() * right.size() > limit) return false;
        for (const auto& l : left)
            for (const auto& r : right) {
                std::vector<std::uint32_t> both(l);
                both.insert(both.end(), r.begin(), r.end());
                std::sort(both.begin(), both.end());
                out.push_back(std::move(both));
            }
        return true;
    }
    }
    return true;
}

}  // namespace

ChannelId StaticStructure::Find(const std::string& name, std::int32_t hiding) const {
    for (ChannelId c = 0; c < channels.size(); ++c)
        if (channels[c].name == name && channels[c].hiding == hiding) return c;
    return ~ChannelId{0};
}

StructureAnalysis AnalyseStructure(const Compilation& compilation, std::size_t groupLimit) {
    StructureAnalysis a;
    StaticStructure& s = a.structure;
    Unfolder unfolder(s);
    s.root = unfolder.Unfold(compilation.rootBehaviour, {});
    Groups groups;
    for (ChannelId c = 0; c < s.channels.size(); ++c) {
        if (!GroupsOf(s, s.root, c, groupLimit, groups)) {
            a.tooManyGroups = true;
            s.groups.clear();
            return a;
        }
        for (auto& g : groups) s.groups.push_back(TransitionGroup{c, std::move(g)});
    }
    return a;
}

}  // namespace quarvo
