// The chart of a trace: its lifelines side by side and its steps on them,
// shown as a picture and exported as SVG or PNG.
#pragma once

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
    // "Exporter…": asks for a file name, then Export.
    void ExportClick();
    // Writes the chart as PNG for a ".png" name, else as SVG, through a
    // temporary file; false (said) when it could not be written.
    bool Export(const QString& path);

    const quarvo::TraceChart& Chart() const { return chart_; }
    const std::string& Svg() const { return svg_; }

    QLabel* Picture;
    QScrollArea* Area;
    QPushButton* ExportButton;

private:
    quarvo::AppContext& app_;
    quarvo::TraceChart chart_;
    std::string svg_;
};
