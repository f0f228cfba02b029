// The generation dialog: counts, times and memory of the running or last generation.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "app/AppContext.h"
#include "generation/Generator.h"
#include "generation/Progress.h"

class TGenFrm : public QDialog, public quarvo::GenerationMonitor {
    Q_OBJECT
public:
    explicit TGenFrm(quarvo::AppContext& app);

    // Resets the values and shows the dialog for a generation that starts.
    void Start() override;
    // The generation has ended with these counts: "&Arrêter" is withdrawn.
    void Finish(std::int64_t states, std::int64_t transitions) override;

    // Progress: the counts are shown a few times a second, letting the event loop run.
    void Update(std::int64_t states, std::int64_t transitions) override;
    // The least time between two refreshes: the generation reports every
    // 50 ms, so the figures move every 150 to 200 ms, more than four times a second.
    static constexpr int RefreshMs = 150;
    // The level, the time and the memory, shown with the next counts.
    void UpdateGeneration(const quarvo::GenerationFigures& figures) override;
    bool StopRequested() override { return stopRequested_; }
    // Shows the times and the memory of a generation that has ended.
    void Figures(const quarvo::GenerationResult& result) override;

    // "Génération > Réglages de la génération...": the dialog without a
    // generation, so that its threads and memory limit are set before one.
    void ShowSettings();

    // Stops the running generation, as "&Arrêter" does.
    void RequestStop() { stopRequested_ = true; }
    bool Running() const { return running_; }

    QLabel* StatNbr;
    QLabel* StatNbrArc;
    QLabel* temps_execution;
    QLabel* datedebut;
    QLabel* datefin;
    // The breadth-first level being explored and how much of it is: "12 (35 %)".
    QLabel* niveau;
    QLabel* membefore;
    QLabel* memafter;
    QLabel* memconsom;
    QLabel* memcourante;  // the memory the program holds now, while the generation runs
    // The hint shown once per generation when a maximality system without CPBR grows large.
    QLabel* Conseil;
    static constexpr std::int64_t HintStates = 1'000'000;
    static constexpr const char* SizeHint =
        "Le système grandit vite : avec la relation de bissimulation CPBR, ou sous la sémantique "
        "d'entrelacement, il peut être beaucoup plus petit.";
    QPushButton* OkButton;
    QPushButton* ExplorationButton;
    QPushButton* StopButton;
    // The most memory a generation may use, in megabytes (0: the machine's available memory).
    QSpinBox* MemoireMax;
    // The threads of the exploration (0: one per core).
    QSpinBox* Fils;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    static constexpr QSize DesignedSize{291, 320};
    // Past HintStates states or a quarter of the machine's memory: the hint, once.
    void ShowSizeHint();

    quarvo::AppContext& app_;
    bool hinted_ = false;
    QElapsedTimer sinceRefresh_;
    bool stopRequested_ = false;
    bool running_ = false;
    quarvo::GenerationFigures figures_;
};
