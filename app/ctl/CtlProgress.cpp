// The progress window of a verification.
#include "app/ctl/CtlProgress.h"
#include "app/WidgetHelpers.h"

#include <QCoreApplication>
#include <QScreen>
#include <QVBoxLayout>

TForm8::TForm8(QWidget* parent) : QDialog(parent) {
    setObjectName("Form8");
    setWindowTitle("Vérification en cours...");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto* layout = new QVBoxLayout(this);
    Label1 = new QLabel("Vérification en cours... Veuillez patienter...", this);
    Label1->setAlignment(Qt::AlignCenter);
    layout->addWidget(Label1);
    quarvo::FitFixedSize(this, QSize(300, 70));
}

void TForm8::Begin() {
    if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TForm8::End() { hide(); }
