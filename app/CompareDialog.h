// "Comparer avec…": the current STEM against the system of a file, under an
// equivalence, with the verdict and the trace that tells them apart.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

#include "app/AppContext.h"
#include "app/TaskProgress.h"
#include "equivalence/Equivalence.h"

namespace quarvo {

struct ComparisonCharts;

class CompareDialog : public QDialog {
    Q_OBJECT
public:
    // The filter of "Parcourir…", in the "Description|patterns|..." form of UserDialogs.
    static constexpr const char* FileFilter =
        "Systèmes (*.LOT *.lot *.lotos *.STEM *.stem *.aut)|*.LOT;*.lot;*.lotos;*.STEM;*.stem;*.aut|"
        "Tous les fichiers (*)|*";

    CompareDialog(AppContext& app, TaskProgressDialog& task, QWidget* parent);
    ~CompareDialog() override;

    // The equivalence chosen.
    Equivalence Chosen() const;
    // "OK": reads or generates the file's system, compares the current STEM
    // with it on a worker thread, and shows the verdict below.
    void Compare();
    // The current STEM has gone: the verdict and its trace no longer apply.
    void ClearResult();

    QLineEdit* FileName;
    QPushButton* Browse;
    QRadioButton* Forte;
    QRadioButton* Branchement;
    QRadioButton* BranchementDivergence;
    QRadioButton* Observationnelle;
    QRadioButton* Traces;
    QPushButton* OkButton;
    QPushButton* CloseButton;
    QListWidget* Result;
    QPushButton* DrawTraceButton;
    QPushButton* SimulateButton;
    QPushButton* ChartButton;  // both systems' charts of the distinguishing trace

signals:
    // The lines of a comparison that has ended, for the main window's message list.
    void Compared(const QStringList& lines);

private:
    void BrowseClick();
    void ShowResult(const QStringList& lines);

    AppContext& app_;
    TaskProgressDialog& task_;
    // The states of the current STEM along the trace of the last distinction.
    std::vector<std::int32_t> path_;
    // The charts of the last distinction, while its systems are those compared.
    std::unique_ptr<ComparisonCharts> charts_;
};

}  // namespace quarvo
