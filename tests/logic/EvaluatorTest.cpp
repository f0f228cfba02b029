// The evaluator against the textbook one on random formulas over random
// systems, nested fixpoints included, and the traces of the verdicts checked
// to be runs of the system that show what they claim.
#include <gtest/gtest.h>

#include <random>

#include "ReferenceEvaluator.h"
#include "logic/Verification.h"

namespace quarvo::logic {
namespace {

using test::RefAction;
using test::RefRegular;
using test::RefState;
using test::RefSystem;

const char* const kActions[] = {"a", "b", "c", "I", "I_h", "delta"};

RefSystem RandomSystem(std::mt19937& rng) {
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    RefSystem s;
    s.states = static_cast<std::uint32_t>(1 + pick(9));
    const int arcs = pick(static_cast<int>(s.states) * 3 + 1);
    for (int i = 0; i < arcs; ++i)
        s.arcs.push_back({static_cast<std::uint32_t>(pick(static_cast<int>(s.states))),
                          static_cast<std::uint32_t>(pick(static_cast<int>(s.states))), kActions[pick(6)]});
    return s;
}

// The system as the logic reads it: states in order, arcs grouped by source.
Lts ToLts(const RefSystem& s) {
    Lts lts;
    lts.firstArc.assign(s.states + 1, 0);
    std::vector<RefSystem::Arc> sorted = s.arcs;
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& x, const auto& y) { return x.from < y.from; });
    for (const auto& arc : sorted) {
        std::uint32_t label = 0;
        if (arc.action != "I") {
            auto it = std::find(lts.labels.begin(), lts.labels.end(), arc.action);
            label = static_cast<std::uint32_t>(it - lts.labels.begin());
            if (it == lts.labels.end()) lts.labels.push_back(arc.action);
        }
        lts.label.push_back(label);
        lts.target.push_back(arc.to);
        ++lts.firstArc[arc.from + 1];
    }
    for (std::uint32_t i = 0; i < s.states; ++i) lts.firstArc[i + 1] += lts.firstArc[i];
    return lts;
}

struct Generated {
    std::shared_ptr<RefState> tree;
    std::string text;
};

class FormulaMaker {
public:
    explicit FormulaMaker(std::mt19937& rng) : rng_(rng) {}

    // forced: the kind of the top node (a choice below), -1 for any.
    Generated State(int depth, const std::vector<std::pair<std::string, bool>>& usable, int forced = -1) {
        auto node = std::make_shared<RefState>();
        const int choice = forced >= 0 ? forced : depth <= 0 ? Pick(3) : Pick(12);
        switch (choice) {
            case 0: node->kind = RefState::True; return {node, "true"};
            case 1: node->kind = RefState::False; return {node, "false"};
            case 2:
                if (usable.empty()) return State(depth - 1, usable);
                node->kind = RefState::Var;
                node->variable = usable[static_cast<std::size_t>(Pick(static_cast<int>(usable.size())))].first;
                return {node, node->variable};
            case 3: {  // not over a closed formula
                Generated a = State(depth - 1, {});
                node->kind = RefState::Not;
                node->a = a.tree;
                return {node, "not (" + a.text + ")"};
            }
            case 4:
            case 5: {
                Generated a = State(depth - 1, usable), b = State(depth - 1, usable);
                node->kind = choice == 4 ? RefState::And : RefState::Or;
                node->a = a.tree;
                node->b = b.tree;
                return {node, "(" + a.text + (choice == 4 ? " and " : " or ") + b.text + ")"};
            }
            case 6: {
                Generated a = State(depth - 1, {}), b = State(depth - 1, usable);
                node->kind = RefState::Implies;
                node->a = a.tree;
                node->b = b.tree;
                return {node, "(" + a.text + " implies " + b.text + ")"};
            }
            case 7:
            case 8: {
                const bool diamond = choice == 7;
                bool iterated = false;
                auto [regular, rtext] = Regular(2, iterated);
                // An iterated modality is a fixpoint: only variables of its kind go in.
                std::vector<std::pair<std::string, bool>> inner;
                for (const auto& v : usable)
                    if (!iterated || v.second == diamond) inner.push_back(v);
                Generated a = State(depth - 1, inner);
                node->kind = diamond ? RefState::Diamond : RefState::Box;
                node->regular = regular;
                node->a = a.tree;
                return {node, (diamond ? "<" : "[") + rtext + (diamond ? "> " : "] ") + a.text};
            }
            default: {
                const bool mu = Pick(2) == 0;
                const std::string v = "X" + std::to_string(next_++);
                std::vector<std::pair<std::string, bool>> inner;
                for (const auto& u : usable)
                    if (u.second == mu) inner.push_back(u);
                inner.emplace_back(v, mu);
                Generated a = State(depth - 1, inner);
                node->kind = mu ? RefState::Mu : RefState::Nu;
                node->variable = v;
                node->a = a.tree;
                return {node, "(" + std::string(mu ? "mu " : "nu ") + v + " . " + a.text + ")"};
            }
        }
    }

private:
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    std::pair<std::shared_ptr<RefAction>, std::string> Action(int depth) {
        auto a = std::make_shared<RefAction>();
        const int choice = depth <= 0 ? Pick(4) : Pick(7);
        switch (choice) {
            case 0: {
                static const char* const names[] = {"a", "b", "c", "I_h", "delta", "\"a\"", "zz"};
                a->kind = RefAction::Name;
                std::string text = names[Pick(7)];
                a->name = text[0] == '"' ? text.substr(1, text.size() - 2) : text;
                return {a, text};
            }
            case 1: a->kind = RefAction::Tau; return {a, "tau"};
            case 2: a->kind = RefAction::True; return {a, "true"};
            case 3: a->kind = RefAction::False; return {a, "false"};
            case 4: {
                auto [x, t] = Action(depth - 1);
                a->kind = RefAction::Not;
                a->a = x;
                return {a, "not " + t};
            }
            default: {
                auto [x, tx] = Action(depth - 1);
                auto [y, ty] = Action(depth - 1);
                a->kind = choice == 5 ? RefAction::And : RefAction::Or;
                a->a = x;
                a->b = y;
                return {a, "(" + tx + (choice == 5 ? " and " : " or ") + ty + ")"};
            }
        }
    }

    std::pair<std::shared_ptr<RefRegular>, std::string> Regular(int depth, bool& iterated) {
        auto r = std::make_shared<RefRegular>();
        const int choice = depth <= 0 ? Pick(2) : Pick(7);
        switch (choice) {
            case 0: {
                auto [a, t] = Action(1);
                r->kind = RefRegular::Action;
                r->action = a;
                return {r, "(" + t + ")"};
            }
            case 1:
                if (Pick(3) == 0) {
                    r->kind = RefRegular::Nil;
                    return {r, "nil"};
                }
                return Regular(0, iterated);
            case 2:
            case 3: {
                auto [x, tx] = Regular(depth - 1, iterated);
                auto [y, ty] = Regular(depth - 1, iterated);
                r->kind = choice == 2 ? RefRegular::Seq : RefRegular::Alt;
                r->a = x;
                r->b = y;
                return {r, "(" + tx + (choice == 2 ? " . " : " | ") + ty + ")"};
            }
            default: {
                auto [x, tx] = Regular(depth - 1, iterated);
                iterated = true;
                r->kind = choice == 4 ? RefRegular::Plus : RefRegular::Star;
                r->a = x;
                return {r, "(" + tx + ")" + (choice == 4 ? "+" : "*")};
            }
        }
    }

    std::mt19937& rng_;
    int next_ = 0;
};

TEST(LogicEvaluator, AgreesWithTheTextbookEvaluatorOnRandomFormulas) {
    std::mt19937 rng(20261209);
    int compared = 0, withFixpoints = 0, traces = 0;
    for (int round = 0; round < 2000; ++round) {
        const RefSystem system = RandomSystem(rng);
        const Lts lts = ToLts(system);
        FormulaMaker maker(rng);
        // Every other formula a modality at the top, whose verdict has a trace.
        const Generated g = maker.State(4, {}, round % 2 ? 7 + static_cast<int>(rng() % 2) : -1);
        const VerifyResult result = Verify(g.text, lts);
        ASSERT_TRUE(result.status) << g.text << "\n" << result.status.message();
        test::RefEvaluator reference(system);
        const bool expected = reference.Eval(*g.tree)[system.initial];
        ASSERT_EQ(result.holds, expected) << g.text;
        ASSERT_FALSE(result.replayFailed) << g.text;
        ++compared;
        if (g.text.find("mu ") != std::string::npos || g.text.find("nu ") != std::string::npos) ++withFixpoints;
        if (!result.trace) continue;
        ++traces;
        // Each step an arc of the system, from where the previous one ended.
        std::uint32_t at = system.initial;
        std::vector<Step> steps = result.trace->prefix;
        steps.insert(steps.end(), result.trace->cycle.begin(), result.trace->cycle.end());
        for (const Step& step : steps) {
            ASSERT_EQ(step.from, at) << g.text;
            const bool found = std::any_of(system.arcs.begin(), system.arcs.end(), [&](const RefSystem::Arc& a) {
                return a.from == step.from && a.to == step.to && a.action == lts.labels[step.label];
            });
            ASSERT_TRUE(found) << g.text;
            at = step.to;
        }
        if (result.trace->IsLasso()) {
            ASSERT_EQ(at, result.trace->prefix.empty() ? system.initial : result.trace->prefix.back().to);
        }
        // A diamond at the top, true: its word is one of its regular formula
        // and its body holds at the end; a box, false: the same with the body false.
        const RefState& top = *g.tree;
        if ((top.kind == RefState::Diamond && expected) || (top.kind == RefState::Box && !expected)) {
            std::vector<std::string> word;
            for (const Step& s : result.trace->prefix) word.push_back(lts.labels[s.label]);
            const test::States body = reference.Eval(*top.a);
            std::size_t n = word.size();
            bool shown = false;
            // Some prefix of the trace is the modality's run (the rest shows the body).
            std::uint32_t state = system.initial;
            for (std::size_t m = 0; m <= n && !shown; ++m) {
                if (m > 0) state = result.trace->prefix[m - 1].to;
                if (test::RefEvaluator::Matches(*top.regular, word, 0, m) && body[state] == expected) shown = true;
            }
            EXPECT_TRUE(shown) << g.text;
        }
    }
    EXPECT_GE(compared, 500);
    EXPECT_GE(withFixpoints, 100);
    EXPECT_GE(traces, 100);
    RecordProperty("traces", traces);
}

}  // namespace
}  // namespace quarvo::logic
