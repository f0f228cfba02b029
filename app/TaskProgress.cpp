// The progress dialog of an operation run on a worker thread.
#include "app/TaskProgress.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <exception>
#include <new>
#include <thread>

namespace quarvo {

TaskProgressDialog::TaskProgressDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("TaskProgress");
    setWindowTitle("Calcul en cours...");
    setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
    auto* layout = new QVBoxLayout(this);
    Phase = new QLabel(this);
    Phase->setObjectName("Phase");
    Phase->setWordWrap(true);
    Phase->setMinimumWidth(320);
    Counts = new QLabel(this);
    Counts->setObjectName("Counts");
    layout->addWidget(Phase);
    layout->addWidget(Counts);
    auto* buttons = new QHBoxLayout;
    StopButton = new QPushButton("&Arrêter", this);
    StopButton->setObjectName("StopButton");
    buttons->addStretch();
    buttons->addWidget(StopButton);
    layout->addLayout(buttons);
    connect(StopButton, &QPushButton::clicked, this, [this] {
        RequestStop();
        StopButton->setEnabled(false);
    });
}

void TaskProgressDialog::SetPhase(const QString& phase) {
    QMetaObject::invokeMethod(this, [this, phase] { Phase->setText(phase); }, Qt::QueuedConnection);
}

void TaskProgressDialog::ShowCounts() {
    if (monitor_.phased.load(std::memory_order_relaxed)) {
        Counts->setText(QString::fromStdString(monitor_.PhaseText()));
        return;
    }
    Counts->setText(QString("États : %1    Transitions : %2")
                        .arg(monitor_.states.load(std::memory_order_relaxed))
                        .arg(monitor_.transitions.load(std::memory_order_relaxed)));
}

Status TaskProgressDialog::Run(const QString& phase, const std::function<void(Progress&)>& work) {
    monitor_.states = 0;
    monitor_.transitions = 0;
    monitor_.stop = false;
    monitor_.phased = false;
    running_ = true;
    Phase->setText(phase);
    ShowCounts();
    StopButton->setEnabled(true);
    // Only this dialog answers while the work runs: nothing else may touch what it reads.
    setWindowModality(Qt::ApplicationModal);
    show();

    QEventLoop loop;
    QTimer refresh;
    connect(&refresh, &QTimer::timeout, this, &TaskProgressDialog::ShowCounts);
    refresh.start(150);
    // The work's exceptions cannot cross the thread: memory running out
    // becomes a failure; nothing else is expected from the core.
    Status outcome;
    std::thread worker([&] {
        try {
            work(monitor_);
        } catch (const std::bad_alloc&) {
            outcome = Failure{"Mémoire insuffisante : le calcul a été abandonné."};
        } catch (const std::exception& error) {
            outcome = Failure{std::string("Le calcul a échoué : ") + error.what()};
        }
        // Posted to the loop's thread: it ends once this thread has nothing left to do with the dialog.
        QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    refresh.stop();
    running_ = false;
    hide();
    setWindowModality(Qt::NonModal);
    return outcome;
}

void TaskProgressDialog::closeEvent(QCloseEvent* event) {
    // Closing the dialog of a running work stops it; the dialog goes once the work has returned.
    if (running_) {
        RequestStop();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TaskProgressDialog::keyPressEvent(QKeyEvent* event) {
    // Escape would close the dialog with the work still running: it stops it instead.
    if (event->key() == Qt::Key_Escape) {
        if (running_) RequestStop();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace quarvo
