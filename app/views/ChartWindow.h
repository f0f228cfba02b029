// The chart of a trace: its lifelines side by side and its steps on them,
// shown as a picture and exported as SVG or PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <QWidget>

#include "app/AppContext.h"
#include "views/TraceChart.h"

class QLabel;
class QPushButton;
class QScrollArea;

class TChartWindow : public QWidget {
    Q_OBJECT
public:
    explicit TChartWindow(quarvo::AppContext& app);

    // Shows the chart of those actions (a trace from the initial state) of
    // the session's specification; false (said) when the current system
    // was not generated from it.
    bool ShowChart(const std::vector<std::string>& actions);
    // The chart of a verdict's path (state numbers of the current system from
    // its initial state), through the actions of the arcs it follows.
    bool ShowPathChart(const std::vector<std::int32_t>& states);
    // A comparison's two charts side by side.
    void ShowComparison(const quarvo::ComparisonCharts& charts);
    // "Exporter…": asks for a file name, then Export.
    void ExportClick();
    // Writes the chart as PNG for a ".png" name, else as SVG, through a
    // temporary file; false (said) when it could not be written.
    bool Export(const QString& path);

    // The chart shown, the first system's for a comparison; the second's, empty otherwise.
    const quarvo::TraceChart& Chart() const { return chart_; }
    const quarvo::TraceChart& SecondChart() const { return second_; }
    const std::string& Svg() const { return svg_; }

    QLabel* Picture;
    QScrollArea* Area;
    QPushButton* ExportButton;

private:
    quarvo::AppContext& app_;
    void ShowSvg();

    quarvo::TraceChart chart_;
    quarvo::TraceChart second_;
    std::string svg_;
};
