// The chart of a trace: lifelines from the parallel structure, steps on the lifelines that take part, and its SVG.
#include "views/TraceChart.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "frontend/Parser.h"
#include "frontend/TextFile.h"

namespace quarvo {
namespace {

class Silent final : public MessageSink {
public:
    void Append(std::string_view) override {}
};

CompileOutcome CompileExample(const char* name) {
    const TextFileResult file = ReadTextFile(std::string(QUARVO_SOURCE_DIR) + "/examples/" + name);
    EXPECT_TRUE(file.status) << name;
    VectorLineSource source(file.lines);
    Silent sink;
    return CompileSpecification(source, std::string(QUARVO_SOURCE_DIR), sink);
}

CompileOutcome CompileLines(const std::vector<std::string>& lines) {
    VectorLineSource source(lines);
    Silent sink;
    return CompileSpecification(source, std::string(QUARVO_SOURCE_DIR), sink);
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// The value of attribute name in the first element of svg that holds marker.
std::string Attribute(const std::string& svg, const std::string& marker, const std::string& name) {
    const std::size_t at = svg.find(marker);
    if (at == std::string::npos) return {};
    const std::size_t value = svg.find(name + "=\"", at);
    if (value == std::string::npos) return {};
    const std::size_t start = value + name.size() + 2;
    return svg.substr(start, svg.find('"', start) - start);
}

TEST(TraceChart, TheBuffersTraceHasOneLifelinePerCellAndABarJoiningThemOnMid) {
    const CompileOutcome compiled = CompileExample("BUFFER.LOT");
    ASSERT_TRUE(compiled.ok());
    const TraceChart chart = ChartOf(*compiled.compilation, {"PUT", "I_MID", "GET", "PUT", "I"});
    ASSERT_EQ(chart.lifelines.size(), 2u);
    EXPECT_EQ(chart.lifelines[0].name, "CELL [PUT, MID]");
    EXPECT_EQ(chart.lifelines[1].name, "CELL [MID, GET]");
    ASSERT_EQ(chart.steps.size(), 5u);
    EXPECT_EQ(chart.steps[0].lifelines, (std::vector<std::size_t>{0}));
    EXPECT_FALSE(chart.steps[0].hidden);
    EXPECT_EQ(chart.steps[1].lifelines, (std::vector<std::size_t>{0, 1})) << "the synchronisation on MID";
    EXPECT_TRUE(chart.steps[1].hidden);
    EXPECT_EQ(chart.steps[2].lifelines, (std::vector<std::size_t>{1}));
    EXPECT_TRUE(chart.steps[4].lifelines.empty()) << "no cell holds an internal action of its own";

    const std::string svg = ChartSvg(chart);
    EXPECT_EQ(svg.rfind("<svg ", 0), 0u);
    std::size_t lifelines = 0, bars = 0;
    for (std::size_t at = svg.find("class=\"lifeline\""); at != std::string::npos;
         at = svg.find("class=\"lifeline\"", at + 1))
        ++lifelines;
    for (std::size_t at = svg.find("class=\"sync\""); at != std::string::npos; at = svg.find("class=\"sync\"", at + 1))
        ++bars;
    EXPECT_EQ(lifelines, 2u);
    EXPECT_EQ(bars, 1u);
    // The bar is grey (a hidden gate) and joins the two lifelines' columns.
    const std::size_t bar = svg.find("class=\"sync\"");
    const std::string line = svg.substr(bar, svg.find('\n', bar) - bar);
    EXPECT_NE(line.find("x1=\"115\""), std::string::npos) << line;
    EXPECT_NE(line.find("x2=\"285\""), std::string::npos) << line;
    EXPECT_NE(line.find("#999999"), std::string::npos) << line;
    EXPECT_NE(svg.find("2. I_MID"), std::string::npos);
}

// Each example's lifelines are the processes of its parallel structure: the
// philosophers and their forks; the protocol's sender, medium and receiver,
// which run under a disabling, beside the interruption's own lifeline.
TEST(TraceChart, EachExampleHasALifelinePerProcessAndItsStepsOnThoseThatTakePart) {
    struct Case {
        const char* example;
        std::vector<std::string> actions;
        std::size_t lifelines;
        std::vector<std::pair<std::size_t, std::string>> names;
        std::vector<std::vector<std::size_t>> steps;
    };
    const std::vector<Case> cases{
        {"PHILO.LOT",
         {"I_T11", "EAT1", "delta"},
         6,
         {{0, "PHIL [T11, T12, EAT1, R11, R12]"}, {3, "FORK [T11, R11, T31, R31]"}},
         {{0, 3}, {0}, {0, 1, 2, 3, 4, 5}}},  // termination is everyone's
        {"PROTOCOL.LOT",
         {"SEND", "I_D", "DISC"},
         4,
         {{0, "SENDER [SEND, D, A]"}, {2, "RECEIVER [E, RECV, A]"}, {3, "comportement 4"}},
         {{0}, {0, 1}, {3}}},
    };
    for (const Case& c : cases) {
        const CompileOutcome compiled = CompileExample(c.example);
        ASSERT_TRUE(compiled.ok());
        const TraceChart chart = ChartOf(*compiled.compilation, c.actions);
        ASSERT_EQ(chart.lifelines.size(), c.lifelines) << c.example;
        for (const auto& [at, name] : c.names) EXPECT_EQ(chart.lifelines[at].name, name) << c.example;
        ASSERT_EQ(chart.steps.size(), c.steps.size());
        for (std::size_t k = 0; k < c.steps.size(); ++k) {
            EXPECT_EQ(chart.steps[k].lifelines, c.steps[k]) << c.example << " step " << k;
            EXPECT_FALSE(chart.steps[k].oneOf) << c.example << " step " << k;
        }
    }
}

// Instances that interleave on a gate take a step on it alone: the chart says
// it is one of them's, without a synchronisation bar; a composition that
// synchronises on the gate joins its operands; each is decided where the
// instances meet in the parallel structure.
TEST(TraceChart, InterleavedInstancesTakeAStepAloneAndSynchronisedOnesTogether) {
    struct Case {
        const char* behaviour;
        std::vector<std::size_t> lifelines;
        bool oneOf;
    };
    const std::vector<Case> cases{
        {"P [A] ||| P [A]", {0, 1}, true},
        {"P [A] |[A]| P [A]", {0, 1}, false},
        {"(P [A] |[A]| P [A]) ||| P [A]", {0, 1, 2}, true},
        {"(P [A] ||| P [A]) |[A]| P [A]", {0, 1, 2}, true},
        {"P [A] ||| P [B]", {0}, false},
    };
    for (const Case& c : cases) {
        const CompileOutcome compiled = CompileLines({"SYSTEM S [A, B] := " + std::string(c.behaviour),
                                                      "WHERE", "  PROCESS P [X] := X; EXIT", "  ENDPROC", "ENDSYS"});
        ASSERT_TRUE(compiled.ok()) << c.behaviour;
        const TraceChart chart = ChartOf(*compiled.compilation, {"A"});
        ASSERT_EQ(chart.steps.size(), 1u);
        EXPECT_EQ(chart.steps[0].lifelines, c.lifelines) << c.behaviour;
        EXPECT_EQ(chart.steps[0].oneOf, c.oneOf) << c.behaviour;
        const std::string svg = ChartSvg(chart);
        const bool joined = c.lifelines.size() > 1 && !c.oneOf;
        EXPECT_EQ(Count(svg, "class=\"sync\""), joined ? 1u : 0u) << c.behaviour;
        EXPECT_EQ(Count(svg, "class=\"oneof\""), c.oneOf ? 1u : 0u) << c.behaviour;
    }
}

// A lifeline's box holds its name: the philosophers' long names widen the
// columns, side by side without overlapping, and the steps stay on the
// lifelines' lines.
TEST(TraceChart, LongLifelineNamesWidenTheColumnsWithoutOverlapping) {
    const CompileOutcome philo = CompileExample("PHILO.LOT");
    ASSERT_TRUE(philo.ok());
    const TraceChart chart = ChartOf(*philo.compilation, {"I_T11", "EAT1"});
    ASSERT_EQ(chart.lifelines.size(), 6u);
    const std::string svg = ChartSvg(chart);
    int previousEnd = 0;
    std::size_t at = 0;
    for (const ChartLifeline& lifeline : chart.lifelines) {
        at = svg.find("<g class=\"lifeline\">", at);
        ASSERT_NE(at, std::string::npos);
        const std::string group = svg.substr(at, svg.find("</g>", at) - at);
        const int x = std::stoi(Attribute(group, "<rect", "x"));
        const int width = std::stoi(Attribute(group, "<rect", "width"));
        // Six pixels a character is less than the narrowest common sans-serif takes for such names.
        EXPECT_GE(width, 6 * static_cast<int>(lifeline.name.size())) << lifeline.name;
        EXPECT_GT(x, previousEnd) << lifeline.name;
        previousEnd = x + width;
        // The name is centred on the lifeline's dashed line.
        EXPECT_EQ(Attribute(group, "<text", "x"), Attribute(group, "<line", "x1")) << lifeline.name;
        EXPECT_NE(group.find(">" + lifeline.name + "</text>"), std::string::npos);
        ++at;
    }
    EXPECT_LE(previousEnd, std::stoi(Attribute(svg, "<svg", "width")));
    // The first step joins the first philosopher and the first fork on their lines.
    const std::string bar = svg.substr(svg.rfind("<line", svg.find("class=\"sync\"")));
    const std::size_t first = svg.find("<g class=\"lifeline\">");
    const std::size_t fourth = [&] {
        std::size_t g = first;
        for (int i = 0; i < 3; ++i) g = svg.find("<g class=\"lifeline\">", g + 1);
        return g;
    }();
    EXPECT_EQ(Attribute(bar, "<line", "x1"), Attribute(svg.substr(first), "<line", "x1"));
    EXPECT_EQ(Attribute(bar, "<line", "x2"), Attribute(svg.substr(fourth), "<line", "x1"));
}

// A comparison's charts stand side by side, rows aligned: the system that
// cannot follow the distinguishing trace has its last step crossed out, on
// the lifelines that would have taken it; a system read from a file has one
// lifeline that takes every step.
TEST(TraceChart, AComparisonsChartsStandSideBySideWithTheMissingStepCrossedOut) {
    const CompileOutcome buffer = CompileExample("BUFFER.LOT");
    ASSERT_TRUE(buffer.ok());
    const std::vector<std::string> trace{"PUT", "I_MID", "PUT"};
    for (const bool traceOfFirst : {true, false}) {
        const ComparisonCharts charts =
            ChartsOfDistinction(buffer.compilation.get(), nullptr, trace, traceOfFirst, true);
        ASSERT_EQ(charts.first.steps.size(), 3u);
        ASSERT_EQ(charts.second.steps.size(), 3u);
        ASSERT_EQ(charts.second.lifelines.size(), 1u);
        EXPECT_EQ(charts.second.lifelines[0].name, "système");
        EXPECT_EQ(charts.second.steps[2].lifelines, (std::vector<std::size_t>{0}));
        const TraceChart& shorter = traceOfFirst ? charts.second : charts.first;
        const TraceChart& longer = traceOfFirst ? charts.first : charts.second;
        EXPECT_TRUE(shorter.steps.back().missing);
        EXPECT_FALSE(shorter.steps[0].missing || shorter.steps[1].missing);
        for (const ChartStep& step : longer.steps) EXPECT_FALSE(step.missing);

        const std::string svg = ChartPairSvg(charts);
        EXPECT_EQ(Count(svg, "class=\"lifeline\""), 3u) << "two cells, then the whole second system";
        EXPECT_EQ(Count(svg, "class=\"caption\""), 2u);
        EXPECT_EQ(Count(svg, "class=\"missing\""), shorter.steps.back().lifelines.size());
        EXPECT_NE(svg.find("3. PUT : impossible ici"), std::string::npos);
        // The crossed-out step is on the row of the step the other system takes.
        const std::size_t cross = svg.find("class=\"missing\"");
        const std::string path = svg.substr(cross, svg.find('\n', cross) - cross);
        const std::string crossY = path.substr(path.find(' ', path.find("d=\"M")) + 1);
        const std::size_t taken = svg.rfind("<text", svg.find(">3. PUT</text>"));
        EXPECT_EQ(std::stoi(crossY), std::stoi(Attribute(svg.substr(taken), "<text", "y")));
    }
    // Without a missing step (a divergence), both charts take the whole trace.
    const ComparisonCharts same =
        ChartsOfDistinction(buffer.compilation.get(), buffer.compilation.get(), trace, true, false);
    EXPECT_FALSE(same.first.steps.back().missing || same.second.steps.back().missing);
}

}  // namespace
}  // namespace quarvo
