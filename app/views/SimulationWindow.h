// The simulator window: the current state, the transitions it enables (a
// click or Enter fires one), the trace with back and forward, random runs,
// and trace files saved and replayed.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <QWidget>

#include "app/AppContext.h"
#include "views/Simulator.h"

class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;

class TSimulationWindow : public QWidget {
    Q_OBJECT
public:
    explicit TSimulationWindow(quarvo::AppContext& app);
    ~TSimulationWindow() override;

    // "Visualisation > Simulation": shows the window on the session's system,
    // where it was left when the system is the same, else at the initial state.
    void Open();
    // A verdict's "Simuler": the path through those state numbers becomes the
    // trace, the current state its last; false (said in the window) when the
    // path is not one of the system's.
    bool SimulatePath(const std::vector<std::int32_t>& states);
    // The session's system is being replaced: the simulation is forgotten.
    void StemChanged();

    // The commands, as the buttons and lists call them.
    bool FireRow(int row);
    void BackClick();
    void ForwardClick();
    void RestartClick();
    void RandomClick();
    void TraceRowClicked(int row);
    void SaveTraceClick();
    void LoadTraceClick();
    void ChartClick();
    // Replays the trace file at path; false when a step is impossible or the file unreadable.
    bool ReplayFile(const QString& path);

    // Null while no system is simulated.
    const quarvo::Simulator* Sim() const { return sim_.get(); }

    QLabel* StateLabel;
    QLabel* EventsLabel;
    QListWidget* Enabled;
    QListWidget* Trace;
    QPushButton* BackButton;
    QPushButton* ForwardButton;
    QPushButton* RestartButton;
    QPushButton* RandomButton;
    QSpinBox* RandomSteps;
    QPushButton* SaveButton;
    QPushButton* LoadButton;
    // "Diagramme": the chart of the trace up to the current state.
    QPushButton* ChartButton;
    // What the last command said: a replay's verdict, a blocked state.
    QLabel* Message;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // The current state changed; the graph viewer follows it.
    void CurrentStateChanged(std::int32_t number);

private:
    // Makes a simulator on the session's system when there is none; false when there is no system.
    bool Ready();
    void Refresh();
    void Say(const QString& text);

    quarvo::AppContext& app_;
    std::unique_ptr<quarvo::Simulator> sim_;
    std::uint64_t nextSeed_ = 1;
};
