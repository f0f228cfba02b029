// The graph viewer's model: the list of drawn states, the mouse rules and the geometry of what is drawn.
#include "views/GraphModel.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quarvo {
namespace {

constexpr auto Max = Semantics::Maximality;
constexpr auto Entre = Semantics::Interleaving;

// A STEM built state by state; arcs are given in list order (newest first).
struct Stem {
    StemStore store;
    void State(std::int32_t number, std::vector<std::pair<const char*, std::int32_t>> arcs = {},
               const EventSet& events = {}) {
        store.AppendState(number, events);
        std::vector<TStemArc> found;
        std::int32_t event = 1;
        for (auto& [action, target] : arcs) found.push_back({target, store.Intern(action), event++, EmptyEventSet});
        std::reverse(found.begin(), found.end());
        store.SetArcs(store.StateCount() - 1, found);
    }
};

struct Model : ::testing::Test {
    Stem stem;
    GraphModel model;
    void Show() {
        model.ShowStore(stem.store);
        model.FormShow();
    }
    void Press(GraphButton button, int x, int y, bool dbl = false, Semantics sem = Max) {
        model.Press(button, x, y, dbl, stem.store.actions, sem);
    }
    const TGraphicState& Drawn(std::int32_t number) {
        const TGraphicState* s = ieme(number, model.States());
        EXPECT_NE(s, nullptr) << "state " << number << " is not drawn";
        return *s;
    }
    std::vector<ArcDrawing> Arcs(Semantics sem = Max) { return model.LayOutTransitions(stem.store.actions, sem); }
};

TEST(GraphicStateList, StaysInNumberOrderWithOneEntryPerNumber) {
    GraphicStateList list;
    Ajouter_Graphic_State({.Number = 7, .Index = 2, .X = 1, .Y = 1, .Color = GraphColor::Lime}, list);
    Ajouter_Graphic_State({.Number = 0, .Index = 0, .X = 2, .Y = 2, .Color = GraphColor::Red}, list);
    Ajouter_Graphic_State({.Number = 3, .Index = 1, .X = 3, .Y = 3, .Color = GraphColor::Lime}, list);
    Ajouter_Graphic_State({.Number = 3, .Index = 5, .X = 9, .Y = 9, .Color = GraphColor::Silver, .Complete = true},
                          list);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].Number, 0);
    EXPECT_EQ(list[0].Index, 0u);
    EXPECT_EQ(list[1].Number, 3);
    EXPECT_EQ(list[1].Index, 1u);
    EXPECT_EQ(list[2].Number, 7);
    EXPECT_EQ(list[2].Index, 2u);
    EXPECT_EQ(list[1].X, 3) << "a second record for a drawn number changes nothing";
    EXPECT_TRUE(find_graphic_state(7, list));
    EXPECT_FALSE(find_graphic_state(5, list));
    EXPECT_EQ(ieme(3, list)->Y, 3);
    EXPECT_EQ(ieme(4, list), nullptr);
    EXPECT_EQ(ieme(8, list), nullptr);
}

TEST(GraphicStateList, HitTestIsASquareOf21PixelsFirstInListOrder) {
    GraphicStateList list;
    Ajouter_Graphic_State({.Number = 2, .Index = 1, .X = 115, .Y = 100, .Color = GraphColor::Lime}, list);
    Ajouter_Graphic_State({.Number = 1, .Index = 0, .X = 100, .Y = 100, .Color = GraphColor::Lime}, list);
    EXPECT_EQ(detected_state(90, 90, list), 1);
    EXPECT_EQ(detected_state(110, 110, list), 1) << "both squares hold it; the lower number comes first";
    EXPECT_EQ(detected_state(89, 100, list), -1);
    EXPECT_EQ(detected_state(125, 110, list), 2);
    EXPECT_EQ(detected_state(126, 100, list), -1);
    EXPECT_EQ(detected_state(115, 111, list), -1);
}

TEST(Geometry, RoundsHalvesToEven) {
    const std::pair<double, int> cases[] = {{2.5, 2}, {3.5, 4}, {0.5, 0}, {-0.5, 0}, {-1.5, -2},
                                            {1.4, 1}, {1.6, 2}, {7.0, 7}, {286.5, 286}, {301.5, 302}};
    for (auto [value, expected] : cases) EXPECT_EQ(RoundHalfEven(value), expected) << value;
}

TEST(Geometry, StateIsACircleOfRadiusTenWithItsNumberInside) {
    const TGraphicState one{.Number = 7, .X = 300, .Y = 50, .Color = GraphColor::Red};
    const TGraphicState two{.Number = 10, .X = 300, .Y = 50, .Color = GraphColor::Silver};
    const StateDrawing a = LayOutState(one);
    EXPECT_EQ(a.circle, (GraphBox{290, 40, 310, 60}));
    EXPECT_EQ(a.number.at, (GraphPoint{297, 44}));
    EXPECT_EQ(a.number.text, "7");
    EXPECT_EQ(a.fill, GraphColor::Red);
    const StateDrawing b = LayOutState(two);
    EXPECT_EQ(b.number.at, (GraphPoint{294, 44}));
    EXPECT_EQ(SelectionSquare(two), (GraphBox{285, 35, 315, 65}));
    EXPECT_EQ(RgbOf(GraphColor::Lime).g, 255);
    EXPECT_EQ(RgbOf(GraphColor::Silver).r, 192);
}

TEST_F(Model, ShowingDrawsTheRootInRedAndForgetsTheRest) {
    stem.State(0, {{"a", 1}});
    stem.State(1);
    Show();
    Press(GraphButton::Left, 400, 200);
    model.SelectedState = 1;
    Show();
    ASSERT_EQ(model.States().size(), 1u);
    EXPECT_EQ(Drawn(0).X, 300);
    EXPECT_EQ(Drawn(0).Y, 50);
    EXPECT_EQ(Drawn(0).Color, GraphColor::Red);
    EXPECT_FALSE(Drawn(0).Complete);
    EXPECT_EQ(model.CurrentState(), 0);
    EXPECT_EQ(model.SelectedState, -1);
}

TEST_F(Model, EachLeftClickAddsTheNextSuccessorAtThePointer) {
    stem.State(0, {{"b", 2}, {"a", 1}, {"c", 2}});
    stem.State(1, {{"d", 0}});
    stem.State(2);
    Show();
    Press(GraphButton::Left, 200, 150);
    ASSERT_EQ(model.States().size(), 2u);
    EXPECT_EQ(Drawn(2).X, 200);
    EXPECT_EQ(Drawn(2).Y, 150);
    EXPECT_EQ(Drawn(2).Color, GraphColor::Silver) << "no arcs: it can never be unfolded";
    EXPECT_EQ(Drawn(0).Color, GraphColor::Red);

    Press(GraphButton::Left, 400, 150);
    ASSERT_EQ(model.States().size(), 3u);
    EXPECT_EQ(Drawn(1).Color, GraphColor::Lime);
    EXPECT_TRUE(Drawn(0).Complete);
    EXPECT_EQ(Drawn(0).Color, GraphColor::Silver) << "every successor drawn";

    Press(GraphButton::Left, 500, 500);
    EXPECT_EQ(model.States().size(), 3u);
}

TEST_F(Model, RightClickMakesOnlyLimeStatesCurrent) {
    stem.State(0, {{"a", 1}, {"b", 2}});
    stem.State(1, {{"c", 3}});
    stem.State(2);
    stem.State(3);
    Show();
    Press(GraphButton::Left, 100, 200);  // state 1, lime
    Press(GraphButton::Right, 300, 50);  // the red current state itself
    EXPECT_EQ(model.CurrentState(), 0);
    Press(GraphButton::Right, 105, 195);
    EXPECT_EQ(model.CurrentState(), 1);
    EXPECT_EQ(Drawn(1).Color, GraphColor::Red);
    EXPECT_EQ(Drawn(0).Color, GraphColor::Lime) << "not complete: it can be taken up again";

    Press(GraphButton::Left, 100, 300);  // unfolds state 1
    EXPECT_TRUE(find_graphic_state(3, model.States()));
    EXPECT_EQ(Drawn(3).Color, GraphColor::Silver);
    Press(GraphButton::Right, 100, 300);
    EXPECT_EQ(model.CurrentState(), 1) << "a silver state cannot be made current";

    Press(GraphButton::Right, 300, 50);
    Press(GraphButton::Left, 500, 200);
    EXPECT_TRUE(find_graphic_state(2, model.States()));
    EXPECT_EQ(Drawn(0).Color, GraphColor::Silver);
    EXPECT_EQ(Drawn(1).Color, GraphColor::Silver) << "state 1 became complete when 3 was drawn";
}

TEST_F(Model, DoubleClickSelectsAndTheNextLeftPressDragsTheState) {
    stem.State(0, {{"a", 1}, {"b", 2}});
    stem.State(1, {{"c", 0}});
    stem.State(2);
    Show();
    Press(GraphButton::Left, 100, 200);
    Press(GraphButton::Middle, 100, 200, true);
    EXPECT_EQ(model.SelectedState, 1);
    EXPECT_TRUE(model.MoveArmed());
    EXPECT_FALSE(model.Move(0, 0)) << "nothing moves before the next left press";

    Press(GraphButton::Left, 700, 700);
    EXPECT_FALSE(model.MoveArmed());
    EXPECT_TRUE(model.Dragging());
    EXPECT_EQ(model.States().size(), 2u) << "the press that starts a move unfolds nothing";
    EXPECT_TRUE(model.Move(640, 480));
    EXPECT_EQ(Drawn(1).X, 640);
    EXPECT_EQ(Drawn(1).Y, 480);
    EXPECT_EQ(model.HintAt(640, 480, stem.store.actions, Max), "") << "no hint while moving";
    model.Release();
    EXPECT_FALSE(model.Move(10, 10));
    EXPECT_EQ(Drawn(1).X, 640);
}

TEST_F(Model, RedrawTurnsAStateSilverOnceItsSuccessorsAreDrawnEvenIfNeverCurrent) {
    stem.State(0, {{"a", 1}, {"b", 2}});
    stem.State(1, {{"c", 0}});
    stem.State(2);
    Show();
    Press(GraphButton::Left, 100, 200);
    EXPECT_EQ(Drawn(1).Color, GraphColor::Lime);
    Arcs();
    EXPECT_EQ(Drawn(1).Color, GraphColor::Silver);
    EXPECT_TRUE(Drawn(1).Complete);
    Press(GraphButton::Right, 100, 200);
    EXPECT_EQ(model.CurrentState(), 0);
}

TEST_F(Model, ArcsPointUpOrDownWithVerticalHeadsAndLabelsHalfToEven) {
    stem.State(0, {{"a", 1}, {"b", 2}, {"longer", 3}});
    stem.State(1, {{"u", 0}});
    stem.State(2);
    stem.State(3);
    Show();
    Press(GraphButton::Left, 301, 130);  // below, half a pixel off
    Press(GraphButton::Left, 450, 50);   // same height
    Press(GraphButton::Left, 150, 200);
    Press(GraphButton::Right, 301, 130);
    const auto arcs = Arcs(Entre);
    ASSERT_EQ(arcs.size(), 4u);

    const ArcDrawing& down = arcs[0];
    EXPECT_EQ(down.target, 1);
    EXPECT_EQ(down.lines, (std::vector<GraphLine>{{{300, 50}, {301, 112}},
                                                  {{296, 115}, {301, 120}},
                                                  {{301, 120}, {306, 115}},
                                                  {{301, 112}, {301, 120}}}));
    EXPECT_EQ(down.label.text, "a");
    EXPECT_EQ(down.label.at, (GraphPoint{290, 75})) << "mx - 10 = 290.5 rounds to the even 290";

    const ArcDrawing& level = arcs[1];
    EXPECT_EQ(level.lines[0], (GraphLine{{300, 50}, {450, 32}})) << "same height: 18 pixels above, head down";
    EXPECT_EQ(level.label.at, (GraphPoint{365, 35}));

    const ArcDrawing& longLabel = arcs[2];
    EXPECT_EQ(longLabel.label.text, "longer");
    EXPECT_EQ(longLabel.label.at, (GraphPoint{205, 110}));

    const ArcDrawing& up = arcs[3];
    EXPECT_EQ(up.source, 1);
    EXPECT_EQ(up.lines, (std::vector<GraphLine>{{{301, 130}, {300, 68}},
                                                {{305, 65}, {300, 60}},
                                                {{300, 60}, {295, 65}},
                                                {{300, 68}, {300, 60}}}));
    EXPECT_EQ(up.label.at, (GraphPoint{300, 90})) << "mx = 300.5 rounds to the even 300";
    for (const ArcDrawing& d : arcs) EXPECT_EQ(d.pen, GraphPen::Black);
}

TEST_F(Model, LongLabelsMoveLeftOnUpwardArcs) {
    stem.State(0, {{"a", 1}});
    stem.State(1, {{"b", 0}});
    Show();
    Press(GraphButton::Left, 303, 130);
    Press(GraphButton::Right, 303, 130);
    const auto arcs = Arcs(Max);
    ASSERT_EQ(arcs.size(), 2u);
    EXPECT_EQ(arcs[1].label.text, "({}, b: x1)");
    EXPECT_EQ(arcs[1].label.at, (GraphPoint{286, 90})) << "mx - 15 = 286.5 rounds to the even 286";
    EXPECT_EQ(arcs[0].label.at, (GraphPoint{282, 75})) << "mx - 20 = 281.5 rounds to the even 282";
}

TEST_F(Model, SelfLoopGeometry) {
    stem.State(0, {{"tick", 0}, {"a", 1}});
    stem.State(1, {{"long_name", 1}});
    Show();
    Press(GraphButton::Left, 300, 200);
    const auto arcs = Arcs(Entre);
    ASSERT_EQ(arcs.size(), 3u);
    EXPECT_TRUE(arcs[0].selfLoop);
    EXPECT_EQ(arcs[0].loop, (GraphBox{300, 25, 350, 75}));
    EXPECT_EQ(arcs[0].label.at, (GraphPoint{340, 40}));
    EXPECT_TRUE(arcs[2].selfLoop);
    EXPECT_EQ(arcs[2].label.text, "long_name");
    EXPECT_EQ(arcs[2].label.at, (GraphPoint{325, 190}));
}

TEST_F(Model, ConsecutiveArcsToOneTargetAreRedWithJoinedLabelsUntilTheTargetChanges) {
    stem.State(0, {{"a", 1}, {"b", 1}, {"c", 1}, {"d", 2}, {"e", 2}});
    stem.State(1);
    stem.State(2);
    Show();
    Press(GraphButton::Left, 300, 200);
    Press(GraphButton::Left, 100, 200);
    const auto arcs = Arcs(Entre);
    ASSERT_EQ(arcs.size(), 5u);
    EXPECT_EQ(arcs[0].pen, GraphPen::Black);
    EXPECT_EQ(arcs[0].label.text, "a");
    EXPECT_EQ(arcs[0].label.at, (GraphPoint{290, 110}));
    EXPECT_EQ(arcs[1].pen, GraphPen::Red);
    EXPECT_EQ(arcs[1].label.text, "a + b");
    EXPECT_EQ(arcs[1].label.at, (GraphPoint{280, 110})) << "a repeated label takes the long place";
    EXPECT_EQ(arcs[2].label.text, "a + b + c");
    EXPECT_EQ(arcs[3].pen, GraphPen::Black);
    EXPECT_EQ(arcs[3].label.text, "d");
    EXPECT_EQ(arcs[4].pen, GraphPen::Red);
    EXPECT_EQ(arcs[4].label.text, "d + e");
}

TEST_F(Model, TraceIsASilverColumnWithOneArrowBetweenNeighbours) {
    stem.State(0, {{"a", 1}, {"b", 3}});
    stem.State(1, {{"c", 3}});
    stem.State(2);
    const ActionId e = stem.store.Intern("e");
    stem.State(3, {{"d", 0}, {"e", 0}}, {{2, e}});
    Show();
    model.ShowTrace(TraceRecords(stem.store, {0, 1, 3}));
    ASSERT_EQ(model.States().size(), 3u);
    int k = 0;
    for (const TGraphicState& s : model.States()) {
        EXPECT_EQ(s.X, 300);
        EXPECT_EQ(s.Y, 50 + 80 * k++);
        EXPECT_EQ(s.Color, GraphColor::Silver);
        EXPECT_TRUE(s.Complete);
    }
    EXPECT_EQ(model.Shown()->State(Drawn(3).Index).Events, (EventSet{{2, e}}));
    EXPECT_EQ(model.Shown()->State(Drawn(3).Index).Number, 3);
    const auto arcs = Arcs(Entre);
    ASSERT_EQ(arcs.size(), 2u);
    EXPECT_EQ(arcs[0].label.text, "a");
    EXPECT_EQ(arcs[0].lines[0], (GraphLine{{300, 50}, {300, 112}}));
    EXPECT_EQ(arcs[1].label.text, "c");
    Press(GraphButton::Left, 500, 500);
    EXPECT_EQ(model.States().size(), 3u) << "a path has nothing more to unfold";
}

TEST(Geometry, CirclesGrowWithTheNumberAndTheMouseFindsThemWhole) {
    EXPECT_EQ(StateRadius(0), 10);
    EXPECT_EQ(StateRadius(99), 10);
    EXPECT_EQ(StateRadius(100), 14);
    EXPECT_EQ(StateRadius(12345), 22);
    // Eight pixels a digit and two on each side at least.
    for (const std::int32_t number : {100, 4096, 123456, 2000000000})
        EXPECT_GE(2 * StateRadius(number), 8 * static_cast<std::int32_t>(std::to_string(number).size()) + 4) << number;
    const TGraphicState big{.Number = 12345, .X = 300, .Y = 100, .Color = GraphColor::Lime};
    const StateDrawing d = LayOutState(big);
    EXPECT_EQ(d.circle, (GraphBox{278, 78, 322, 122}));
    EXPECT_EQ(d.number.at, (GraphPoint{280, 94})) << "five digits of 8 pixels, centred";
    EXPECT_EQ(SelectionSquare(big), (GraphBox{273, 73, 327, 127}));
    GraphicStateList list{big};
    EXPECT_EQ(detected_state(320, 120, list), 12345);
    EXPECT_EQ(detected_state(324, 100, list), -1);
}

TEST_F(Model, ArrowsStopAtTheCircleOfALargeTarget) {
    stem.State(0, {{"a", 100}});
    stem.State(100, {{"b", 100}});
    Show();
    Press(GraphButton::Left, 300, 200);
    Press(GraphButton::Right, 300, 200);
    const auto arcs = Arcs(Entre);
    ASSERT_EQ(arcs.size(), 2u);
    EXPECT_EQ(arcs[0].lines[0], (GraphLine{{300, 50}, {300, 200 - 14 - 8}}));
    EXPECT_EQ(arcs[0].lines[1].to, (GraphPoint{300, 186}));
    EXPECT_TRUE(arcs[1].selfLoop);
    EXPECT_EQ(arcs[1].loop, (GraphBox{304, 175, 354, 225})) << "the loop leaves from inside the larger circle";
}

TEST_F(Model, ShortestPathsAndSearchDrawTheWayFromTheFirstState) {
    stem.State(0, {{"a", 1}, {"b", 2}});
    stem.State(1, {{"c", 3}});
    stem.State(2, {{"d", 3}, {"e", 4}});
    stem.State(3, {{"f", 5}});
    stem.State(4, {{"g", 5}});
    stem.State(5, {{"h", 0}});
    stem.State(6, {{"i", 5}});  // reached from nowhere
    Show();
    EXPECT_EQ(model.ShortestPath(0), (std::vector<std::int32_t>{0}));
    EXPECT_EQ(model.ShortestPath(5).size(), 4u);
    EXPECT_EQ(model.ShortestPath(5).front(), 0);
    EXPECT_EQ(model.ShortestPath(4), (std::vector<std::int32_t>{0, 2, 4}));
    EXPECT_TRUE(model.ShortestPath(6).empty());
    EXPECT_TRUE(model.ShortestPath(42).empty());

    EXPECT_TRUE(model.DrawPathTo(4));
    ASSERT_EQ(model.States().size(), 3u);
    EXPECT_EQ(Drawn(2).X, 300);
    EXPECT_EQ(Drawn(2).Y, 130) << "below the state before it";
    EXPECT_EQ(Drawn(4).Y, 210);
    EXPECT_EQ(model.CurrentState(), 4);
    EXPECT_EQ(Drawn(4).Color, GraphColor::Red);
    EXPECT_FALSE(model.DrawPathTo(42));
    EXPECT_EQ(model.States().size(), 3u);
    EXPECT_TRUE(model.DrawPathTo(6));
    EXPECT_EQ(Drawn(6).Y, 290) << "out of reach: alone, below the drawing";
}

TEST_F(Model, UnfoldingAllOrToADepthDrawsRowsAndStopsAtTheBound) {
    stem.State(0, {{"a", 1}, {"b", 2}, {"c", 2}, {"d", 3}});
    stem.State(1, {{"e", 4}});
    stem.State(2, {{"f", 4}, {"g", 5}});
    stem.State(3);
    stem.State(4, {{"h", 6}});
    stem.State(5);
    stem.State(6);
    Show();
    EXPECT_EQ(model.UnfoldAll(), 3u) << "state 2 once, though two arcs lead there";
    EXPECT_EQ(Drawn(1).Y, 150);
    EXPECT_EQ(Drawn(1).X, 220);
    EXPECT_EQ(Drawn(3).X, 380);
    EXPECT_EQ(Drawn(0).Color, GraphColor::Silver);
    // State 0 has all its successors drawn: the first new one that has more becomes current.
    EXPECT_EQ(model.CurrentState(), 1);
    EXPECT_EQ(Drawn(1).Color, GraphColor::Red);
    EXPECT_TRUE(model.HasCurrentState());
    EXPECT_EQ(model.UnfoldAll(), 1u);
    EXPECT_EQ(model.CurrentState(), 4) << "state 4 was drawn by that unfolding";
    EXPECT_EQ(model.UnfoldAll(), 1u);
    EXPECT_EQ(model.CurrentState(), 2) << "state 6 has no arc: the first drawn state with more to draw";
    EXPECT_EQ(model.UnfoldAll(), 1u);
    // Every drawn state has all its successors drawn now: none is current.
    EXPECT_EQ(model.States().size(), 7u);
    EXPECT_FALSE(model.HasCurrentState());
    EXPECT_FALSE(model.KeepACurrentState());
    EXPECT_EQ(model.UnfoldAll(), 0u);

    Show();
    auto unfolding = model.UnfoldToDepth(2, GraphModel::MaxDrawnStates);
    EXPECT_EQ(unfolding.added, 5u);
    EXPECT_FALSE(unfolding.stopped);
    EXPECT_FALSE(find_graphic_state(6, model.States()));
    EXPECT_EQ(Drawn(4).Y, 250);
    Show();
    unfolding = model.UnfoldToDepth(10, 4);
    EXPECT_TRUE(unfolding.stopped);
    EXPECT_EQ(model.States().size(), 4u);
    EXPECT_EQ(model.UnfoldToDepth(0, 100).added, 0u);
}

TEST_F(Model, LayoutRoutesTheArcsThatShowUntilAStateMoves) {
    stem.State(0, {{"a", 1}, {"b", 1}, {"c", 0}});
    stem.State(1);
    Show();
    Press(GraphButton::Left, 300, 200);
    const LayoutInput input = model.LayoutRequest(stem.store.actions, Entre);
    ASSERT_EQ(input.nodes.size(), 2u);
    EXPECT_EQ(input.nodes[0].width, 20.0);
    ASSERT_EQ(input.edges.size(), 2u) << "the run a, a + b shows once";
    EXPECT_EQ(input.edges[0].label, "a + b");
    EXPECT_EQ(input.edges[1].label, "c");
    EXPECT_EQ(input.edges[1].target, 0);

    LayoutInput sized = input;
    for (LayoutEdge& e : sized.edges) {
        e.labelWidth = 30;
        e.labelHeight = 10;
    }
    LayoutOutput output;
    output.nodes = {{50, 10}, {50, 110}};
    output.edges.resize(2);
    output.edges[0].curve = {{50, 20}, {50, 40}, {50, 60}, {50, 90}};
    output.edges[0].hasHead = true;
    output.edges[0].head = {50, 100};
    output.edges[0].hasLabel = true;
    output.edges[0].labelCentre = {80, 55};
    output.edges[1].curve = {{60, 10}, {90, 0}, {90, 20}, {60, 15}};
    model.ApplyLayout(sized, output);
    EXPECT_TRUE(model.HasRoutes());
    EXPECT_EQ(Drawn(0).X, 90);
    EXPECT_EQ(Drawn(1).Y, 150);

    const auto arcs = Arcs(Entre);
    ASSERT_EQ(arcs.size(), 3u);
    EXPECT_TRUE(arcs[0].covered);
    EXPECT_FALSE(arcs[1].covered);
    for (const ArcDrawing& d : arcs) EXPECT_EQ(d.curve.size(), 4u);
    EXPECT_EQ(arcs[1].curve.front(), (GraphPoint{90, 60}));
    EXPECT_EQ(arcs[1].label.at, (GraphPoint{105, 90})) << "the label's centre where the layout put it";
    EXPECT_EQ(arcs[0].label.at, arcs[1].label.at) << "a covered arc lies under the one that shows";
    ASSERT_EQ(arcs[1].lines.size(), 3u);
    EXPECT_EQ(arcs[1].lines[0], (GraphLine{{90, 130}, {90, 140}}));
    EXPECT_EQ(arcs[1].lines[1].from, (GraphPoint{90, 140}));
    EXPECT_FALSE(arcs[2].selfLoop) << "the loop follows its route";
    EXPECT_EQ(arcs[2].label.at, (GraphPoint{108, 46})) << "no label place: the middle of the curve, (122.5, 50.625)";
    ASSERT_EQ(arcs[2].lines.size(), 2u) << "no head tip: two barbs at the end of the curve";

    Press(GraphButton::Right, 90, 150, true);
    Press(GraphButton::Left, 0, 0);
    model.Move(300, 300);
    model.Release();
    const auto moved = Arcs(Entre);
    EXPECT_TRUE(moved[0].curve.empty()) << "the arcs of the moved state lost their route";
    EXPECT_TRUE(moved[1].curve.empty());
    EXPECT_EQ(moved[1].lines[0], (GraphLine{{90, 50}, {300, 282}})) << "from the centre of state 0";
    EXPECT_EQ(moved[2].curve.size(), 4u) << "the loop of state 0 keeps its route";
    EXPECT_TRUE(model.HasRoutes());
}

TEST_F(Model, LayoutAfterAnUnfoldingLeavesTheStatesTheUserPlaced) {
    stem.State(0, {{"a", 1}, {"b", 2}});
    stem.State(1, {{"c", 0}});
    stem.State(2, {{"d", 0}});
    Show();
    Press(GraphButton::Left, 500, 400);  // state 1, drawn where the user clicked
    EXPECT_TRUE(Drawn(1).Placed);
    model.UnfoldAll();
    EXPECT_FALSE(Drawn(2).Placed);
    const LayoutInput input = model.LayoutRequest(stem.store.actions, Max);
    ASSERT_EQ(input.nodes.size(), 3u);
    LayoutOutput output;
    output.nodes = {{50, 10}, {10, 110}, {90, 110}};
    output.edges.resize(input.edges.size());
    for (LaidOutEdge& e : output.edges) e.curve = {{0, 0}, {1, 1}, {2, 2}, {3, 3}};
    model.ApplyLayout(input, output, true);
    EXPECT_EQ(Drawn(1).X, 500) << "placed by hand: left where it is";
    EXPECT_EQ(Drawn(1).Y, 400);
    EXPECT_EQ(Drawn(2).X, 130);
    const auto arcs = Arcs(Max);
    ASSERT_EQ(arcs.size(), 4u);
    EXPECT_EQ(std::count_if(arcs.begin(), arcs.end(), [](const ArcDrawing& arc) { return arc.curve.empty(); }), 2)
        << "only the two arcs of the placed state keep their plain drawing";
    // The command moves every state, and none counts as placed after it.
    model.ApplyLayout(input, output);
    EXPECT_EQ(Drawn(1).X, 50);
    EXPECT_FALSE(Drawn(1).Placed);
}

TEST(TraceRecords, KeepOnlyTheFirstArcToTheNextState) {
    Stem stem;
    stem.State(0, {{"a", 2}, {"b", 1}, {"c", 1}});
    stem.State(1);
    stem.State(2);
    const StemStore path = TraceRecords(stem.store, {0, 1, 9});
    ASSERT_EQ(path.StateCount(), 3u);
    ASSERT_EQ(path.State(0).Arcs.size(), 1u);
    EXPECT_EQ(path.State(0).Arcs[0].Action, stem.store.Intern("b"));
    EXPECT_EQ(path.State(0).Arcs[0].Target, 1);
    EXPECT_EQ(path.State(0).Arcs[0].Event, 2);
    EXPECT_EQ(path.State(0).Number, 0);
    EXPECT_EQ(path.State(1).Number, 1);
    EXPECT_TRUE(path.State(1).Arcs.empty()) << "state 1 has no arc to 9";
    EXPECT_EQ(path.State(2).Number, 9);
    EXPECT_TRUE(path.State(2).Arcs.empty());
    EXPECT_TRUE(path.State(2).Events.empty());
}

}  // namespace
}  // namespace quarvo
