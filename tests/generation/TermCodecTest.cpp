// Packed terms come back field for field, on the configurations the examples reach.
#include <deque>
#include <filesystem>

#include "GenerationTestSupport.h"
#include "frontend/TextFile.h"
#include "generation/TermCodec.h"
#include "generation/TransitionRules.h"

namespace quarvo {
namespace {

// Every field of both trees, the gate names one by one.
void ExpectSameTree(const BehaviourNode* a, const BehaviourNode* b) {
    for (; a || b; a = a->right, b = b->right) {
        ASSERT_TRUE(a && b) << "one tree ends before the other";
        ASSERT_EQ(a->kind, b->kind);
        ASSERT_EQ(a->height, b->height);
        ASSERT_EQ(a->process, b->process);
        const GateCell* ga = a->gates;
        const GateCell* gb = b->gates;
        for (; ga || gb; ga = ga->next, gb = gb->next) {
            ASSERT_TRUE(ga && gb) << "gate lists of different lengths";
            ASSERT_EQ(ga->name, gb->name);
        }
        ASSERT_EQ(a->events, b->events);
        ASSERT_EQ(a->leftCauses, b->leftCauses);
        ASSERT_EQ(a->rightCauses, b->rightCauses);
        ExpectSameTree(a->left, b->left);
        ExpectSameTree(a->instance, b->instance);
    }
}

TEST(TermCodec, PackedTermsComeBackFieldForField) {
    for (const auto& entry : std::filesystem::directory_iterator(std::string(QUARVO_SOURCE_DIR) + "/examples")) {
        if (entry.path().extension() != ".LOT") continue;
        SCOPED_TRACE(entry.path().filename().string());
        std::string text;
        for (const std::string& line : ReadTextFile(entry.path().string()).lines) text += line + "\n";
        test::Compiled c = test::CompileText(text);
        ASSERT_TRUE(c.ok());
        ActionTable names;
        TransitionRules rules(names);
        std::deque<std::unique_ptr<TermArena>> arenas;
        std::deque<BehaviourNode*> waiting;
        arenas.push_back(std::make_unique<TermArena>());
        waiting.push_back(CopyTerm(*arenas.back(), c.outcome.compilation->rootBehaviour));
        // A few hundred configurations, with events, causes and unfolded calls.
        for (int explored = 0; explored < 300 && !waiting.empty(); ++explored) {
            BehaviourNode* term = waiting.front();
            waiting.pop_front();
            TermArena& own = *arenas.front();
            rules.ResetSteps();
            for (const Transition& t : rules.Derive(term, own)) {
                auto arena = std::make_unique<TermArena>();
                ActionId action = t.action;
                BehaviourNode* successor = rules.Successor(term, t, *arena, action);
                const std::string packed = PackTerm(successor, names);
                auto copyArena = std::make_unique<TermArena>();
                BehaviourNode* back = UnpackTerm(packed, *copyArena, names);
                ExpectSameTree(successor, back);
                EXPECT_EQ(PackTerm(back, names), packed);
                if (waiting.size() < 64) {
                    arenas.push_back(std::move(copyArena));
                    waiting.push_back(back);
                }
            }
            arenas.pop_front();
        }
    }
}

TEST(TermCodec, AnEmptyTermAndAStopCostAFewBytes) {
    ActionTable names;
    TermArena arena;
    EXPECT_EQ(PackTerm(nullptr, names), std::string(1, '\0'));
    EXPECT_EQ(UnpackTerm(PackTerm(nullptr, names), arena, names), nullptr);
    BehaviourNode* stop = arena.NewNode(NodeKind::Stop, 0);
    EXPECT_LE(PackTerm(stop, names).size(), 12u);
    // Bytes cut short are an error of the program, reported, not read past their end.
    const std::string packed = PackTerm(stop, names);
    EXPECT_THROW(UnpackTerm(packed.substr(0, packed.size() - 2), arena, names), std::logic_error);
}

}  // namespace
}  // namespace quarvo
