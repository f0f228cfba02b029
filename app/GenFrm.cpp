// The generation dialog.
#include "app/GenFrm.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <chrono>

#include "app/WidgetHelpers.h"
#include "generation/MemoryWatch.h"

namespace {

QString Ko(std::int64_t value) { return QString::number(value) + " Ko"; }

// Kilo-octets of 1000 bytes, whole ones.
std::int64_t WholeKo(std::int64_t bytes) { return bytes / 1000; }

// The time, three blanks, then the date, in local time: "14:05:09   03/07/2024".
QString LocalInstant(std::chrono::system_clock::time_point instant) {
    return QDateTime::fromSecsSinceEpoch(std::chrono::system_clock::to_time_t(instant))
        .toString("HH:mm:ss   dd/MM/yyyy");
}

QLabel* AddRow(QGridLayout* grid, QWidget* parent, int row, const char* caption, const char* initial) {
    grid->addWidget(new QLabel(QString::fromUtf8(caption), parent), row, 0);
    auto* value = new QLabel(QString::fromUtf8(initial), parent);
    // Room for the longest value, a time and a date, so the captions are never cut.
    value->setMinimumWidth(value->fontMetrics().horizontalAdvance("00:00:00   00/00/0000 "));
    grid->addWidget(value, row, 1);
    return value;
}

}  // namespace

TGenFrm::TGenFrm(quarvo::AppContext& app) : app_(app) {
    setWindowTitle("Génération...");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    StatNbr = AddRow(grid, this, 0, "Nombre d'états :", "1");
    StatNbrArc = AddRow(grid, this, 1, "Nombre de transitions :", "0");
    temps_execution = AddRow(grid, this, 2, "Temps de génération en secondes :", "0");
    datedebut = AddRow(grid, this, 3, "Début :", "0");
    datefin = AddRow(grid, this, 4, "Fin :", "0");
    niveau = AddRow(grid, this, 5, "Niveau exploré :", "0");
    niveau->setObjectName("niveau");
    layout->addLayout(grid);
    auto* memory = new QGroupBox("  Mémoire totale utilisée par Calvento : ", this);
    auto* memGrid = new QGridLayout(memory);
    membefore = AddRow(memGrid, memory, 0, "Avant génération :", "0");
    memafter = AddRow(memGrid, memory, 1, "Après génération :", "0");
    memconsom = AddRow(memGrid, memory, 2, "Mémoire consommée :", "0");
    memconsom->setToolTip("La mémoire prise par cette génération : celle que la mémoire maximale limite.");
    memcourante = AddRow(memGrid, memory, 3, "En ce moment :", "0");
    layout->addWidget(memory);
    Conseil = new QLabel(this);
    Conseil->setObjectName("Conseil");
    Conseil->setWordWrap(true);
    Conseil->hide();
    layout->addWidget(Conseil);
    auto* limitRow = new QHBoxLayout;
    limitRow->addWidget(new QLabel("Mémoire maximale (Mo) :", this));
    MemoireMax = new QSpinBox(this);
    MemoireMax->setRange(0, 16 * 1024 * 1024);
    MemoireMax->setSingleStep(256);
    MemoireMax->setSpecialValueText("automatique");
    MemoireMax->setValue(static_cast<int>(app_.session.memoryLimitMb));
    MemoireMax->setToolTip("La génération s'arrête proprement avant d'atteindre cette mémoire ; "
                           "« automatique » : la mémoire disponible de la machine.");
    limitRow->addWidget(MemoireMax);
    layout->addLayout(limitRow);
    connect(MemoireMax, &QSpinBox::valueChanged, this, [this](int value) { app_.session.memoryLimitMb = value; });
    auto* threadsRow = new QHBoxLayout;
    threadsRow->addWidget(new QLabel("Fils d'exécution :", this));
    Fils = new QSpinBox(this);
    Fils->setObjectName("Fils");
    Fils->setRange(0, 1024);
    Fils->setSpecialValueText("automatique");
    Fils->setValue(app_.session.threads);
    Fils->setToolTip("Nombre de fils qui explorent les états ; « automatique » : un par cœur de la machine. "
                     "Le système engendré ne dépend pas de ce nombre.");
    threadsRow->addWidget(Fils);
    layout->addLayout(threadsRow);
    connect(Fils, &QSpinBox::valueChanged, this, [this](int value) { app_.session.threads = value; });
    auto* buttons = new QHBoxLayout;
    OkButton = new QPushButton("&OK", this);
    OkButton->setDefault(true);
    ExplorationButton = new QPushButton("&Exploration", this);
    StopButton = new QPushButton("&Arrêter", this);
    StopButton->setEnabled(false);
    buttons->addWidget(OkButton);
    buttons->addWidget(ExplorationButton);
    buttons->addWidget(StopButton);
    layout->addLayout(buttons);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::hide);
    connect(StopButton, &QPushButton::clicked, this, [this] { RequestStop(); });
    connect(ExplorationButton, &QPushButton::clicked, this, [this] {
        if (app_.session.hasStem) app_.intents.ShowExplorer();
    });
    quarvo::FitFixedSize(this, DesignedSize);
}

void TGenFrm::ShowSettings() {
    if (running_) return;
    show();
    raise();
    activateWindow();
}

void TGenFrm::Start() {
    StatNbr->setText("1");
    StatNbrArc->setText("0");
    temps_execution->setText("0");
    datedebut->setText(LocalInstant(std::chrono::system_clock::now()));
    datefin->setText(QString());
    niveau->setText("0");
    // The generation reports its own figures (the old system gone) as it starts.
    membefore->setText(QString());
    memafter->setText(QString());
    memconsom->setText("0 Ko");
    memcourante->setText(Ko(WholeKo(quarvo::ReadMemoryFigures().residentBytes)));
    figures_ = quarvo::GenerationFigures{};
    Conseil->clear();
    Conseil->hide();
    quarvo::FitFixedSize(this, DesignedSize);
    hinted_ = false;
    stopRequested_ = false;
    running_ = true;
    // Only the dialog answers while the generation runs: nothing else may touch the STEM.
    hide();
    setWindowModality(Qt::ApplicationModal);
    OkButton->setEnabled(false);
    ExplorationButton->setEnabled(false);
    StopButton->setEnabled(true);
    MemoireMax->setEnabled(false);
    Fils->setEnabled(false);
    show();
    sinceRefresh_.start();
    QCoreApplication::processEvents();
}

void TGenFrm::Finish(std::int64_t states, std::int64_t transitions) {
    running_ = false;
    StatNbr->setText(QString::number(states));
    StatNbrArc->setText(QString::number(transitions));
    StopButton->setEnabled(false);
    OkButton->setEnabled(true);
    MemoireMax->setEnabled(true);
    Fils->setEnabled(true);
    ExplorationButton->setEnabled(app_.session.hasStem && app_.session.stemSemantics == quarvo::Semantics::Maximality);
    // The dialog stays on screen without blocking the main window.
    hide();
    setWindowModality(Qt::NonModal);
    show();
}

void TGenFrm::Update(std::int64_t states, std::int64_t transitions) {
    if (!hinted_ && states > HintStates) ShowSizeHint();
    if (sinceRefresh_.isValid() && sinceRefresh_.elapsed() < RefreshMs) return;
    StatNbr->setText(QString::number(states));
    StatNbrArc->setText(QString::number(transitions));
    temps_execution->setText(QString::number(figures_.seconds));
    if (figures_.levelStates > 0)
        niveau->setText(QString("%1 (%2 %)").arg(figures_.level).arg(figures_.levelExplored * 100 / figures_.levelStates));
    if (figures_.memoryBefore > 0) membefore->setText(Ko(WholeKo(figures_.memoryBefore)));
    memconsom->setText(Ko(WholeKo(figures_.memoryUsed)));
    const quarvo::MemoryFigures memory = quarvo::ReadMemoryFigures();
    memcourante->setText(Ko(WholeKo(memory.residentBytes)));
    if (!hinted_ && memory.totalBytes > 0 && memory.residentBytes > memory.totalBytes / 4) ShowSizeHint();
    QCoreApplication::processEvents();
    sinceRefresh_.restart();
}

void TGenFrm::UpdateGeneration(const quarvo::GenerationFigures& figures) { figures_ = figures; }

void TGenFrm::ShowSizeHint() {
    hinted_ = true;
    // Only the maximality semantics without CPBR has a much smaller alternative to offer.
    if (app_.session.semantics != quarvo::Semantics::Maximality || !app_.session.cpbrOff) return;
    Conseil->setText(SizeHint);
    Conseil->setFixedWidth(DesignedSize.width());
    Conseil->show();
    quarvo::FitFixedSize(this, DesignedSize);
}

void TGenFrm::Figures(const quarvo::GenerationResult& result) {
    // Resident memory of the whole program before and after; what the
    // generation consumed is the most it took above the first figure, the
    // one its memory limit applies to.
    const std::int64_t resident = quarvo::ReadMemoryFigures().residentBytes;
    temps_execution->setText(QString::number(result.seconds));
    datedebut->setText(LocalInstant(result.started));
    datefin->setText(LocalInstant(result.ended));
    membefore->setText(Ko(WholeKo(result.memoryBefore)));
    memafter->setText(Ko(WholeKo(resident)));
    memconsom->setText(Ko(WholeKo(result.memoryUsed)));
    memcourante->setText(Ko(WholeKo(resident)));
}

void TGenFrm::closeEvent(QCloseEvent* event) {
    // Closing the dialog of a running generation stops it.
    if (running_) RequestStop();
    QDialog::closeEvent(event);
}
