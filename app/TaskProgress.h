// A long operation of the core run on a worker thread, while a modal dialog
// shows its counts and offers "Arrêter".
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "frontend/Status.h"
#include "generation/Progress.h"

namespace quarvo {

class TaskProgressDialog : public QDialog {
    Q_OBJECT
public:
    explicit TaskProgressDialog(QWidget* parent);

    // Runs work on a worker thread and returns once it has returned. Meanwhile
    // the dialog, modal, shows phase and the counts the work reports, and
    // the event loop keeps running; "Arrêter" (or closing the dialog) makes
    // the Progress the work receives ask it to stop. A failure when the work
    // threw (memory ran out): the work's results are then not to be used.
    Status Run(const QString& phase, const std::function<void(Progress&)>& work);

    // Tells the running work to stop, as "Arrêter" does.
    void RequestStop() { monitor_.stop = true; }
    bool Running() const { return running_; }
    // The phase may change while the work runs (read a file, then compare):
    // safe to call from the worker thread.
    void SetPhase(const QString& phase);

    QLabel* Phase;
    QLabel* Counts;
    QPushButton* StopButton;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // What the worker thread and the dialog share: counts written by the one,
    // read by the other, and the request to stop.
    struct Monitor final : Progress {
        std::atomic<std::int64_t> states{0}, transitions{0};
        std::atomic<bool> stop{false};
        void Update(std::int64_t s, std::int64_t t) override {
            states.store(s, std::memory_order_relaxed);
            transitions.store(t, std::memory_order_relaxed);
            phased.store(false, std::memory_order_relaxed);
        }
        // A phase's count, shown in place of the states and transitions.
        void UpdatePhase(const std::string& phase, std::int64_t count, const char* unit) override {
            {
                const std::lock_guard<std::mutex> lock(phaseMutex);
                phaseText = phase + " : " + std::to_string(count) + " " + unit;
            }
            phased.store(true, std::memory_order_relaxed);
        }
        std::string PhaseText() {
            const std::lock_guard<std::mutex> lock(phaseMutex);
            return phaseText;
        }
        std::atomic<bool> phased{false};
        std::mutex phaseMutex;
        std::string phaseText;
        bool StopRequested() override { return stop.load(std::memory_order_relaxed); }
    };

    void ShowCounts();

    Monitor monitor_;
    bool running_ = false;
};

}  // namespace quarvo
