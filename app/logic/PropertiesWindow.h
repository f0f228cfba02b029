// The properties window: a formula of the action logic, its verdict on the
// current system with its trace, and the deadlock and livelock searches.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <QAction>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QToolBar>

#include "app/AppContext.h"

namespace quarvo {
class TaskProgressDialog;
}

class TPropertiesWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit TPropertiesWindow(quarvo::AppContext& app);

    // The main window's "Propriétés": shows the window, its text as it was.
    void Open();
    // The current system is being replaced: the last results no longer apply.
    void StemChanged();

    // "Enregistrer les modifications de la formule « NAME » ?" when the text has changes; false: stop.
    bool AskSave();
    bool AskSaveBeforeQuitting();

    QPlainTextEdit* Formula;
    QListWidget* Results;
    QToolBar* Tools;
    QMenu* FileMenu;
    QMenu* TemplatesMenu;
    QMenu* AnalysisMenu;
    QAction* NewAction;
    QAction* OpenAction;
    QAction* SaveAction;
    QAction* SaveAsAction;
    QAction* CloseAction;
    QAction* VerifyAction;
    QAction* DeadlockAction;
    QAction* LivelockAction;
    // "Simuler": the trace on show in the simulator; enabled while there is one.
    QAction* SimulateAction;
    QAction* ChartAction;  // the verdict's trace as a chart

    QString fileName;  // empty: a new formula
    bool modified = false;

    void NewClick();
    void OpenClick();
    void SaveClick();
    void SaveAsClick();
    void VerifyClick();
    void DeadlockClick();
    void LivelockClick();
    void SimulateClick();
    void ChartClick();
    // Puts template i of the menu in the editor (after the save question).
    void UseTemplate(std::size_t i);
    // A click on a line of a trace draws the trace in the viewer.
    void ResultClicked(int row);

    // The states of the trace on show, by number; empty when none.
    const std::vector<std::int32_t>& TraceStates() const { return trace_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    std::string FormulaText() const;
    bool WriteTo(const QString& path);
    void SetText(const QString& text);
    // The system to work on; false (with a message) when there is none.
    bool HaveSystem();
    void Show(const std::vector<std::string>& lines, std::vector<std::int32_t> trace, QString kind = QString());

    quarvo::AppContext& app_;
    quarvo::TaskProgressDialog* progress_ = nullptr;
    bool loading_ = false;
    std::vector<std::int32_t> trace_;
    QString traceKind_;  // what the trace is, for the viewer's hint line
};
