// The compilation dialog.
#include "app/CompFrm.h"

#include <QPushButton>
#include <QVBoxLayout>

TCompFrm::TCompFrm() {
    setWindowTitle("Compilation");
    auto* layout = new QVBoxLayout(this);
    LabelError = new QLabel(this);
    StaticError = new QLabel(this);
    StaticError->setWordWrap(true);
    auto* ok = new QPushButton("&OK", this);
    ok->setDefault(true);
    layout->addWidget(LabelError);
    layout->addWidget(StaticError);
    layout->addWidget(ok, 0, Qt::AlignRight);
    connect(ok, &QPushButton::clicked, this, &QDialog::hide);
}

void TCompFrm::CompilationStarted() {
    LabelError->clear();
    StaticError->setText("Pas d'erreurs");
}

void TCompFrm::Compiled(const QString& status) {
    LabelError->setText(status);
    StaticError->clear();
}
