#include <gtest/gtest.h>

#include <map>

#include "equivalence/Compare.h"
#include "HmlEvaluator.h"
#include "TestSystems.h"

namespace quarvo {
namespace {

using testing::ArcList;
using testing::MakeStore;

using Lines = std::vector<std::string>;

constexpr Equivalence kBisimulations[] = {Equivalence::Strong, Equivalence::Branching,
                                          Equivalence::DivergenceBranching, Equivalence::Weak};

struct Systems {
    StemStore first, second;
};

Systems Make(std::uint32_t n1, const ArcList& a, std::uint32_t n2, const ArcList& b) {
    return {MakeStore(n1, a), MakeStore(n2, b)};
}

Lines Compared(const Systems& s, Equivalence equivalence) {
    return CompareLines(CompareStems(s.first, s.second, equivalence), equivalence);
}

TEST(CompareTest, ChoiceAfterAOrBefore) {
    // A; (B; NIL [] C; NIL) and A; B; NIL [] A; C; NIL
    const Systems s = Make(4, {{0, "A", 1}, {1, "B", 2}, {1, "C", 3}}, 5,
                           {{0, "A", 1}, {0, "A", 2}, {1, "B", 3}, {2, "C", 4}});
    EXPECT_EQ(Compared(s, Equivalence::Strong),
              (Lines{"Non équivalents.",
                     "Formule distinctive (vraie pour le premier système, fausse pour le second) : [A]<C>true",
                     "Trace menant au point où ils se séparent : A",
                     "Après cette trace, le premier système peut faire C ; le second ne le peut pas."}));
    const CompareResult strong = CompareStems(s.first, s.second, Equivalence::Strong);
    EXPECT_EQ(strong.why.firstPath, (std::vector<std::int32_t>{0, 10, 30}));
    EXPECT_EQ(Compared(s, Equivalence::Weak)[1],
              "Formule distinctive (vraie pour le premier système, fausse pour le second) : [[A]]<<C>>true");
    for (const Equivalence e : kBisimulations) EXPECT_FALSE(CompareStems(s.first, s.second, e).equivalent);
    EXPECT_EQ(Compared(s, Equivalence::Traces),
              (Lines{"Équivalents.", "Les deux systèmes sont équivalents par équivalence de traces."}));
    // The other way round the formula holds of the choice after A.
    const CompareResult back = CompareStems(s.second, s.first, Equivalence::Strong);
    EXPECT_EQ(back.why.formula, "<A>[C]false");
    EXPECT_EQ(CompareLines(back, Equivalence::Strong)[3],
              "Après cette trace, le second système peut faire C ; le premier ne le peut pas.");
}

TEST(CompareTest, InternalStepBetweenActions) {
    // A; I; B; NIL and A; B; NIL
    const Systems s = Make(4, {{0, "A", 1}, {1, "I", 2}, {2, "B", 3}}, 3, {{0, "A", 1}, {1, "B", 2}});
    EXPECT_EQ(Compared(s, Equivalence::Strong),
              (Lines{"Non équivalents.",
                     "Formule distinctive (vraie pour le premier système, fausse pour le second) : <A><I>true",
                     "Trace menant au point où ils se séparent : A",
                     "Après cette trace, le premier système peut faire I ; le second ne le peut pas."}));
    EXPECT_EQ(Compared(s, Equivalence::Branching),
              (Lines{"Équivalents.", "Les deux systèmes sont équivalents par bissimulation de branchement."}));
    EXPECT_EQ(Compared(s, Equivalence::DivergenceBranching)[1],
              "Les deux systèmes sont équivalents par bissimulation de branchement avec divergence.");
    EXPECT_EQ(Compared(s, Equivalence::Weak)[1],
              "Les deux systèmes sont équivalents par bissimulation observationnelle.");
    EXPECT_TRUE(CompareStems(s.first, s.second, Equivalence::Traces).equivalent);
}

TEST(CompareTest, DivergenceAfterA) {
    // A; (an endless internal loop) and A; NIL
    const Systems s = Make(2, {{0, "A", 1}, {1, "I", 1}}, 2, {{0, "A", 1}});
    EXPECT_TRUE(CompareStems(s.first, s.second, Equivalence::Branching).equivalent);
    EXPECT_TRUE(CompareStems(s.first, s.second, Equivalence::Weak).equivalent);
    EXPECT_TRUE(CompareStems(s.first, s.second, Equivalence::Traces).equivalent);
    const CompareResult r = CompareStems(s.first, s.second, Equivalence::DivergenceBranching);
    EXPECT_EQ(CompareLines(r, Equivalence::DivergenceBranching),
              (Lines{"Non équivalents.", "Trace menant au point où ils se séparent : A",
                     "Après cette trace, le premier système peut faire une suite infinie d'actions internes "
                     "(divergence) ; le second ne le peut pas."}));
    EXPECT_EQ(r.why.firstPath, (std::vector<std::int32_t>{0, 10}));
    // Reversed, and at the very start.
    const Systems loop = Make(1, {}, 1, {{0, "I", 0}});
    EXPECT_EQ(Compared(loop, Equivalence::DivergenceBranching),
              (Lines{"Non équivalents.", "Trace menant au point où ils se séparent : (vide)",
                     "Après cette trace, le second système peut faire une suite infinie d'actions internes "
                     "(divergence) ; le premier ne le peut pas."}));
    // The action after which they part is, on both sides, behind an internal
    // step inside the class of the initial state.
    const Systems behind = Make(3, {{0, "I", 0}, {0, "I", 1}, {1, "I", 0}, {1, "B", 2}}, 3,
                                {{0, "I", 0}, {0, "I", 1}, {1, "I", 0}, {1, "B", 2}, {2, "I", 2}});
    const CompareResult b = CompareStems(behind.first, behind.second, Equivalence::DivergenceBranching);
    EXPECT_EQ(CompareLines(b, Equivalence::DivergenceBranching),
              (Lines{"Non équivalents.", "Trace menant au point où ils se séparent : B",
                     "Après cette trace, le second système peut faire une suite infinie d'actions internes "
                     "(divergence) ; le premier ne le peut pas."}));
    EXPECT_EQ(b.why.firstPath, (std::vector<std::int32_t>{0, 10, 20}));
    EXPECT_EQ(Compared(loop, Equivalence::Strong)[1],
              "Formule distinctive (vraie pour le premier système, fausse pour le second) : [I]false");
}

TEST(CompareTest, WeaklyButNotBranchingBisimilar) {
    // A; (B; NIL [] I; C; NIL) [] A; C; NIL and A; (B; NIL [] I; C; NIL)
    const Systems s = Make(7, {{0, "A", 1}, {1, "B", 2}, {1, "I", 3}, {3, "C", 4}, {0, "A", 5}, {5, "C", 6}}, 5,
                           {{0, "A", 1}, {1, "B", 2}, {1, "I", 3}, {3, "C", 4}});
    EXPECT_TRUE(CompareStems(s.first, s.second, Equivalence::Weak).equivalent);
    const CompareResult r = CompareStems(s.first, s.second, Equivalence::Branching);
    EXPECT_FALSE(r.equivalent);
    EXPECT_EQ(r.why.kind, DistinctionKind::InternalStates);
    EXPECT_EQ(CompareLines(r, Equivalence::Branching),
              (Lines{"Non équivalents.",
                     "Formule distinctive (vraie pour le premier système, fausse pour le second) : " + r.why.formula,
                     "Les deux systèmes sont équivalents par bissimulation observationnelle : ils ne diffèrent que "
                     "par les états intermédiaires que traversent leurs actions internes."}));
    const Lts u = DisjointUnion(LtsFromStem(s.first), LtsFromStem(s.second));
    const std::vector<bool> holds = testing::HmlEvaluator(u).Evaluate(r.why.formula);
    EXPECT_TRUE(holds[0]) << r.why.formula;
    EXPECT_FALSE(holds[7]) << r.why.formula;
    EXPECT_EQ(r.why.formula, "true<A>(not (true<B>true))");
}

// Milner's third law, a.(P [] I; Q) = a.(P [] I; Q) [] a.Q, keeps weak
// bisimilarity and mostly breaks branching bisimilarity: random systems and
// their copies with such an arc added, told apart with the until modality.
TEST(CompareTest, UntilFormulasOnRandomThirdLawCopies) {
    std::mt19937 rng(3);
    int formulas = 0, apart = 0;
    for (int round = 0; round < 600; ++round) {
        const std::uint32_t n = 2 + rng() % 4;
        ArcList arcs = testing::RandomArcs(rng, n, 0.25, false);
        ArcList copy = arcs;
        // p -a-> q -I-> r gives p -a-> r.
        std::vector<std::tuple<std::uint32_t, std::string, std::uint32_t>> extra;
        for (const auto& [p, a, q] : arcs) {
            for (const auto& [q2, i, r] : arcs) {
                if (q2 == q && i == "I" && a != "I") extra.emplace_back(p, a, r);
            }
        }
        if (extra.empty()) continue;
        copy.push_back(extra[rng() % extra.size()]);
        // Half the time the copy comes first.
        if (round % 2 == 1) std::swap(arcs, copy);
        const Systems s{MakeStore(n, arcs), MakeStore(n, copy)};
        ASSERT_TRUE(CompareStems(s.first, s.second, Equivalence::Weak).equivalent) << round;
        const CompareResult r = CompareStems(s.first, s.second, Equivalence::Branching);
        if (r.equivalent) continue;
        ++apart;
        EXPECT_EQ(r.why.kind, DistinctionKind::InternalStates);
        if (r.why.formula.empty()) continue;
        ++formulas;
        const Lts u = DisjointUnion(LtsFromStem(s.first), LtsFromStem(s.second));
        const std::vector<bool> holds = testing::HmlEvaluator(u).Evaluate(r.why.formula);
        EXPECT_TRUE(holds[0]) << "round " << round << ": " << r.why.formula;
        EXPECT_FALSE(holds[n]) << "round " << round << ": " << r.why.formula;
    }
    EXPECT_EQ(formulas, apart);
    EXPECT_GT(apart, 40);
}

TEST(CompareTest, ShortestTraceAndItsPath) {
    // A; B; NIL and A; C; NIL [] I; A; C; NIL
    const Systems s = Make(3, {{0, "A", 1}, {1, "B", 2}}, 4, {{0, "A", 1}, {1, "C", 2}, {0, "I", 3}, {3, "A", 1}});
    const CompareResult r = CompareStems(s.first, s.second, Equivalence::Traces);
    EXPECT_EQ(CompareLines(r, Equivalence::Traces),
              (Lines{"Non équivalents.", "Trace distinctive la plus courte : A B",
                     "Le premier système peut l'effectuer ; le second ne le peut pas."}));
    EXPECT_EQ(r.why.firstPath, (std::vector<std::int32_t>{0, 10, 20}));
    const CompareResult back = CompareStems(s.second, s.first, Equivalence::Traces);
    EXPECT_EQ(CompareLines(back, Equivalence::Traces)[2],
              "Le second système peut l'effectuer ; le premier ne le peut pas.");
    EXPECT_EQ(back.why.firstPath, (std::vector<std::int32_t>{0, 10}));
}

TEST(CompareTest, MemoryAllowedStopsTheWeakAndTraceChecks) {
    const Systems s = Make(2, {{0, "A", 1}}, 2, {{0, "B", 1}});
    const std::int64_t oneMegabyte = 1024 * 1024;
    const CompareResult traces = CompareStems(s.first, s.second, Equivalence::Traces, nullptr, oneMegabyte);
    EXPECT_FALSE(traces.status.ok());
    EXPECT_TRUE(traces.status.message().starts_with(
        "Mémoire insuffisante : la recherche d'une trace distinctive a atteint "))
        << traces.status.message();
    EXPECT_TRUE(traces.status.message().ends_with(
        " paires (état, ensemble d'états), plus que la mémoire ne peut en tenir ; la comparaison a été abandonnée."));
    const CompareResult weak = CompareStems(s.first, s.second, Equivalence::Weak, nullptr, oneMegabyte);
    EXPECT_FALSE(weak.status.ok());
    EXPECT_TRUE(weak.status.message().starts_with(
        "Mémoire insuffisante : la saturation de la bissimulation observationnelle"))
        << weak.status.message();
    // Without a limit of the caller's own, the machine's memory is enough.
    EXPECT_FALSE(CompareStems(s.first, s.second, Equivalence::Traces).equivalent);
    EXPECT_TRUE(CompareStems(s.first, s.second, Equivalence::Traces).status.ok());
}

class StopNow : public Progress {
public:
    bool StopRequested() override { return true; }
};

TEST(CompareTest, NamesStopsAndFailures) {
    EXPECT_EQ(EquivalenceName(Equivalence::Strong), "bissimulation forte");
    EXPECT_EQ(EquivalenceName(Equivalence::Branching), "bissimulation de branchement");
    EXPECT_EQ(EquivalenceName(Equivalence::DivergenceBranching), "bissimulation de branchement avec divergence");
    EXPECT_EQ(EquivalenceName(Equivalence::Weak), "bissimulation observationnelle");
    EXPECT_EQ(EquivalenceName(Equivalence::Traces), "équivalence de traces");
    const Systems s = Make(2, {{0, "A", 1}}, 2, {{0, "B", 1}});
    StopNow stop;
    for (const Equivalence e : {Equivalence::Strong, Equivalence::Weak, Equivalence::Traces}) {
        const CompareResult r = CompareStems(s.first, s.second, e, &stop);
        EXPECT_TRUE(r.stopped);
        EXPECT_EQ(CompareLines(r, e), Lines{"Comparaison arrêtée."});
    }
    CompareResult failed;
    failed.status = Failure{"Mémoire insuffisante : la comparaison a été abandonnée."};
    EXPECT_EQ(CompareLines(failed, Equivalence::Weak), Lines{"Mémoire insuffisante : la comparaison a été abandonnée."});
    CompareResult large;
    large.why.kind = DistinctionKind::TooLarge;
    EXPECT_EQ(CompareLines(large, Equivalence::Weak),
              (Lines{"Non équivalents.",
                     "Les systèmes sont trop grands pour que la raison de leur différence soit recherchée."}));
    const CompareResult empty = CompareStems(StemStore(), s.second, Equivalence::Strong);
    EXPECT_EQ(CompareLines(empty, Equivalence::Strong), Lines{"Le premier système n'a aucun état."});
}

// Whether the store's states, by number, make a path following the trace
// (internal arcs taken freely when weak).
bool FollowsTrace(const StemStore& store, const std::vector<std::int32_t>& path, const std::vector<std::string>& trace,
                  bool weak) {
    if (path.empty() || path[0] != store.State(0).Number) return false;
    // The numbers of trace actions the path may have done so far.
    std::vector<bool> done(trace.size() + 1, false);
    done[0] = true;
    for (std::size_t i = 0; i + 1 < path.size(); ++i) {
        const std::int64_t at = store.IndexOf(path[i]);
        if (at < 0) return false;
        std::vector<bool> next(trace.size() + 1, false);
        for (const ArcView arc : store.State(static_cast<std::size_t>(at)).Arcs) {
            if (arc.Target != path[i + 1]) continue;
            const std::string name = store.actions.Text(arc.Action);
            const std::string shown = IsInternalAction(name) ? "I" : name;
            for (std::size_t d = 0; d <= trace.size(); ++d) {
                if (!done[d]) continue;
                if (weak && shown == "I") next[d] = true;
                if (d < trace.size() && shown == trace[d]) next[d + 1] = true;
            }
        }
        done = next;
    }
    return done[trace.size()];
}

// Random pairs through the whole comparison: the verdicts order as the
// equivalences do, every formula holds of the first and not of the second,
// every trace tells them apart, and the first system's path follows the trace.
TEST(CompareTest, RandomPairs) {
    std::mt19937 rng(1812);
    std::map<DistinctionKind, int> kinds;
    for (int round = 0; round < 300; ++round) {
        const std::uint32_t n1 = 1 + rng() % 4, n2 = 1 + rng() % 4;
        const Systems s = Make(n1, testing::RandomArcs(rng, n1, 0.22, round % 2 == 0), n2,
                               testing::RandomArcs(rng, n2, 0.22, round % 2 == 0));
        const Lts u = DisjointUnion(LtsFromStem(s.first), LtsFromStem(s.second));
        testing::HmlEvaluator evaluator(u);
        std::map<Equivalence, bool> verdict;
        std::map<Equivalence, DistinctionKind> why;
        for (const Equivalence e : {Equivalence::Strong, Equivalence::Branching, Equivalence::DivergenceBranching,
                                    Equivalence::Weak, Equivalence::Traces}) {
            const CompareResult r = CompareStems(s.first, s.second, e);
            ASSERT_TRUE(r.status.ok());
            verdict[e] = r.equivalent;
            why[e] = r.why.kind;
            if (r.equivalent) continue;
            const bool weak = e != Equivalence::Strong;
            if (!r.why.formula.empty()) {
                const std::vector<bool> holds = evaluator.Evaluate(r.why.formula);
                EXPECT_TRUE(holds[0]) << "round " << round << ": " << r.why.formula;
                EXPECT_FALSE(holds[n1]) << "round " << round << ": " << r.why.formula;
            }
            if (e == Equivalence::Traces) {
                EXPECT_EQ(testing::HasTrace(u, 0, r.why.trace), r.why.traceOfFirst) << "round " << round;
                EXPECT_EQ(testing::HasTrace(u, n1, r.why.trace), !r.why.traceOfFirst) << "round " << round;
            }
            ++kinds[r.why.kind];
            if (r.why.kind != DistinctionKind::InternalStates) {
                EXPECT_FALSE(r.why.formula.empty() && e != Equivalence::Traces &&
                             r.why.kind == DistinctionKind::Step) << "round " << round;
                std::vector<std::string> prefix = r.why.trace;
                if (r.why.kind == DistinctionKind::Step && !r.why.traceOfFirst && !prefix.empty()) prefix.pop_back();
                EXPECT_TRUE(FollowsTrace(s.first, r.why.firstPath, prefix, weak))
                    << "round " << round << " " << EquivalenceName(e) << " " << ::testing::PrintToString(r.why.trace)
                    << " " << ::testing::PrintToString(r.why.firstPath) << " " << r.why.traceOfFirst;
            }
        }
        if (verdict[Equivalence::Strong]) {
            EXPECT_TRUE(verdict[Equivalence::DivergenceBranching]) << round;
        }
        if (verdict[Equivalence::Branching] && !verdict[Equivalence::DivergenceBranching]) {
            EXPECT_EQ(why[Equivalence::DivergenceBranching], DistinctionKind::Divergence) << round;
        }
        if (verdict[Equivalence::DivergenceBranching]) {
            EXPECT_TRUE(verdict[Equivalence::Branching]) << round;
        }
        if (verdict[Equivalence::Branching]) {
            EXPECT_TRUE(verdict[Equivalence::Weak]) << round;
        }
        if (verdict[Equivalence::Weak]) {
            EXPECT_TRUE(verdict[Equivalence::Traces]) << round;
        }
        if (HasFailure()) FAIL() << "round " << round;
    }
    EXPECT_GT(kinds[DistinctionKind::Step], 300);
    EXPECT_GT(kinds[DistinctionKind::Divergence], 0);
}

}  // namespace
}  // namespace quarvo

namespace quarvo {
namespace {

// The answer a user reads names both systems, says the formula in words,
// and names the internal steps of its trace as the arcs carry them.
TEST(CompareTest, TheAnswerNamesTheSystemsTheFormulaInWordsAndTheRealInternalLabels) {
    const Systems s = Make(3, {{0, "I_MID", 1}, {1, "A", 2}}, 2, {{0, "A", 1}});
    const CompareResult r = CompareStems(s.first, s.second, Equivalence::Strong);
    ASSERT_FALSE(r.equivalent);
    EXPECT_EQ(r.why.trace, (Lines{"I_MID"}));
    const Lines lines = CompareLines(r, Equivalence::Strong, "« a.aut »", "« b.LOT »");
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Non équivalents.");
    EXPECT_EQ(lines[1], "Premier système : « a.aut » ; second système : « b.LOT ».");
    EXPECT_EQ(lines[2], "Formule distinctive (vraie pour le premier système, fausse pour le second) : " +
                            r.why.formula);
    EXPECT_TRUE(lines[3].starts_with("Autrement dit : ")) << lines[3];

    const Systems chain = Make(4, {{0, "SEND", 1}, {1, "RECV", 2}, {2, "RECV", 3}}, 3,
                               {{0, "SEND", 1}, {1, "RECV", 2}});
    const CompareResult c = CompareStems(chain.first, chain.second, Equivalence::Strong);
    const Lines words = CompareLines(c, Equivalence::Strong, "« a »", "« b »");
    EXPECT_EQ(words[3], "Autrement dit : après SEND puis RECV, le premier système peut encore faire RECV ; le second "
                        "ne le peut pas.");
}

}  // namespace
}  // namespace quarvo
