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

TEST(TraceChart, ThePhilosophersHaveSixLifelinesAndTakingAForkJoinsAPhilosopherAndAFork) {
    const CompileOutcome compiled = CompileExample("PHILO.LOT");
    ASSERT_TRUE(compiled.ok());
    const TraceChart chart = ChartOf(*compiled.compilation, {"I_T11", "EAT1", "delta"});
    ASSERT_EQ(chart.lifelines.size(), 6u);
    EXPECT_EQ(chart.lifelines[0].name, "PHIL [T11, T12, EAT1, R11, R12]");
    EXPECT_EQ(chart.lifelines[3].name, "FORK [T11, R11, T31, R31]");
    EXPECT_EQ(chart.steps[0].lifelines, (std::vector<std::size_t>{0, 3}));
    EXPECT_EQ(chart.steps[1].lifelines, (std::vector<std::size_t>{0}));
    EXPECT_EQ(chart.steps[2].lifelines.size(), 6u) << "termination is everyone's";
}

}  // namespace
}  // namespace quarvo
