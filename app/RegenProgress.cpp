// The progress window of the regeneration.
#include "app/RegenProgress.h"
#include "app/WidgetHelpers.h"

#include <QCoreApplication>
#include <QVBoxLayout>

TForm3::TForm3() {
    setWindowTitle("Progression de la régénération");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    auto* layout = new QVBoxLayout(this);
    Label1 = new QLabel(" Progression de la régénération", this);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    layout->addWidget(Label1);
    layout->addWidget(ProgressBar1);
    quarvo::FitFixedSize(this, QSize(322, 80));
}

void TForm3::Begin() {
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    show();
    sinceRefresh_.start();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TForm3::Declared(std::int32_t stateCount) {
    ProgressBar1->setRange(0, std::max<std::int32_t>(stateCount, 1));
    ProgressBar1->setValue(0);
}

void TForm3::Update(std::int64_t states, std::int64_t /*transitions*/) {
    ProgressBar1->setValue(static_cast<int>(std::min<std::int64_t>(states, ProgressBar1->maximum())));
    // Repaint a few times a second; input waits until the reading ends.
    if (sinceRefresh_.elapsed() >= 200) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        sinceRefresh_.restart();
    }
}
