// The main window's commands on equivalences: comparing the current STEM with
// another system, and replacing it by its quotient.
#include <QListWidget>

#include "app/CompareDialog.h"
#include "app/ReduceDialog.h"
#include "app/Sdimain.h"
#include "app/TaskProgress.h"
#include "equivalence/Compare.h"
#include "equivalence/Equivalence.h"
#include "stemio/StemReader.h"

namespace {

QString FromStd(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

void TSDIAppForm::BuildEquivalenceDialogs() {
    taskProgress_ = new quarvo::TaskProgressDialog(this);
    compareDialog_ = new quarvo::CompareDialog(app_, *taskProgress_, this);
    reduceDialog_ = new quarvo::ReduceDialog(this);
    connect(compareDialog_, &quarvo::CompareDialog::Compared, this, [this](const QStringList& lines) {
        MemoError->setVisible(true);
        MemoError->addItems(lines);
        MemoError->scrollToBottom();
    });
}

void TSDIAppForm::EnableStemCommands(bool enabled) {
    ComparerAvec1->setEnabled(enabled);
    ReduireleSTEM1->setEnabled(enabled);
}

void TSDIAppForm::ComparerAvec1Click() {
    if (app_.session.busy || !app_.session.hasStem) return;
    // Not modal: the verdict stays in view while its trace is drawn.
    compareDialog_->show();
    compareDialog_->raise();
    compareDialog_->activateWindow();
}

void TSDIAppForm::ReduireleSTEM1Click() {
    if (app_.session.busy || !app_.session.hasStem) return;
    if (reduceDialog_->exec() != QDialog::Accepted) return;
    const quarvo::ReduceOptions options = reduceDialog_->Options();
    MemoError->setVisible(true);
    const QString phase =
        QString("Réduction (%1)...").arg(FromStd(quarvo::EquivalenceName(options.equivalence)));
    const quarvo::StemStore& current = app_.session.stem;
    quarvo::ReduceResult result;
    SetBusy(true);
    taskProgress_->setWindowTitle("Réduction...");
    const quarvo::Status ran = taskProgress_->Run(
        phase, [&](quarvo::Progress& progress) { result = quarvo::ReduceStem(current, options, &progress); });
    SetBusy(false);
    // The STEM stays as it was unless the reduction ended with its quotient.
    if (!ran) {
        MemoError->addItem(FromStd(ran.message()));
    } else if (result.stopped) {
        MemoError->addItem("Réduction arrêtée.");
    } else if (!result.status) {
        MemoError->addItem(FromStd(result.status.message()));
    } else {
        const std::vector<std::string> summary = quarvo::ReduceSummaryLines(result);
        // The quotient is adopted as a regenerated STEM is: the checker's labels
        // and the graph's drawing go with the old one; the semantics stays, so
        // that the explorer, the graph and the checker remain at hand.
        StemReplaced();
        quarvo::AdoptRegeneratedStem(app_.session.stem, std::move(result.quotient));
        for (const std::string& line : summary) MemoError->addItem(FromStd(line));
    }
    MemoError->scrollToBottom();
    UpdateStatus();
}
