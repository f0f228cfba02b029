// The simulator window: lists of enabled transitions and of the trace, and the commands around them.
#include "app/views/SimulationWindow.h"

#include <QFont>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include "app/FileLocations.h"
#include "app/WidgetHelpers.h"

namespace {

constexpr const char* kCaption = "Simulation";
constexpr const char* kTraceFilter = "Traces (*.trace)|*.trace|Tous les fichiers (*.*)|*.*";
constexpr const char* kNoSystem =
    "Aucun système : engendrez un STEM ou un STE, ou ouvrez un fichier STEM, avant de simuler.";

QString FromStd(const std::string& text) { return QString::fromStdString(text); }

QString Joined(const std::vector<std::string>& lines) {
    QStringList list;
    for (const std::string& l : lines) list << FromStd(l);
    return list.join('\n');
}

// Rows a few pixels taller than their text: the underscore of an action
// ("I_T33"), drawn at the bottom of the fixed-pitch font, stays inside its row
// instead of being covered by the next one's background.
class RoomyRows final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.rheight() += 4;
        return size;
    }
};

}  // namespace

TSimulationWindow::TSimulationWindow(quarvo::AppContext& app) : app_(app) {
    setObjectName("Simulation");
    setWindowTitle("QUARVO - Simulation");
    setWindowFlag(Qt::Window);
    resize(720, 480);

    StateLabel = new QLabel(this);
    StateLabel->setObjectName("StateLabel");
    QFont bold = StateLabel->font();
    bold.setBold(true);
    StateLabel->setFont(bold);
    EventsLabel = new QLabel(this);
    EventsLabel->setObjectName("EventsLabel");
    EventsLabel->setWordWrap(true);

    Enabled = new QListWidget(this);
    Enabled->setObjectName("Enabled");
    Enabled->setFont(quarvo::FixedPitchFont());
    Enabled->setToolTip("Un clic (ou Entrée) franchit la transition");
    Trace = new QListWidget(this);
    Trace->setObjectName("Trace");
    Trace->setFont(quarvo::FixedPitchFont());
    Enabled->setItemDelegate(new RoomyRows(Enabled));
    Trace->setItemDelegate(new RoomyRows(Trace));
    Trace->setToolTip("Un clic revient à cette étape de la trace");

    auto button = [this](const char* text, const char* name, const QString& tip) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setToolTip(tip);
        return b;
    };
    BackButton = button("&Retour", "BackButton", "Revenir d'un pas (Alt+Gauche)");
    ForwardButton = button("&Avancer", "ForwardButton", "Refaire le pas suivant de la trace (Alt+Droite)");
    RestartButton = button("Re&commencer", "RestartButton", "Revenir à l'état initial, trace vide");
    RandomButton = button("Pas &aléatoires", "RandomButton", "Franchir au hasard le nombre de transitions indiqué");
    RandomSteps = new QSpinBox(this);
    RandomSteps->setObjectName("RandomSteps");
    RandomSteps->setRange(1, 100000);
    RandomSteps->setValue(10);
    SaveButton = button("&Enregistrer la trace...", "SaveButton", "Écrire la trace, une action par ligne");
    LoadButton = button("&Charger une trace...", "LoadButton", "Rejouer une trace écrite dans un fichier");
    ChartButton = button("&Diagramme", "ChartButton",
                         "La trace jusqu'à l'état courant en diagramme : une ligne de vie par processus");
    Message = new QLabel(this);
    Message->setObjectName("Message");
    Message->setWordWrap(true);
    Message->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* lists = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel("Transitions possibles :", this));
    left->addWidget(Enabled);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel("Trace :", this));
    right->addWidget(Trace);
    lists->addLayout(left, 3);
    lists->addLayout(right, 2);
    auto* steps = new QHBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(BackButton), static_cast<QWidget*>(ForwardButton),
                       static_cast<QWidget*>(RestartButton), static_cast<QWidget*>(RandomSteps),
                       static_cast<QWidget*>(RandomButton)})
        steps->addWidget(w);
    steps->addStretch();
    auto* files = new QHBoxLayout;
    files->addWidget(SaveButton);
    files->addWidget(LoadButton);
    files->addWidget(ChartButton);
    files->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(StateLabel);
    layout->addWidget(EventsLabel);
    layout->addLayout(lists, 1);
    layout->addLayout(steps);
    layout->addLayout(files);
    layout->addWidget(Message);

    connect(Enabled, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { FireRow(Enabled->row(item)); });
    // Enter fires the current row, as a click does.
    Enabled->installEventFilter(this);
    connect(Trace, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { TraceRowClicked(Trace->row(item)); });
    connect(BackButton, &QPushButton::clicked, this, &TSimulationWindow::BackClick);
    connect(ForwardButton, &QPushButton::clicked, this, &TSimulationWindow::ForwardClick);
    connect(RestartButton, &QPushButton::clicked, this, &TSimulationWindow::RestartClick);
    connect(RandomButton, &QPushButton::clicked, this, &TSimulationWindow::RandomClick);
    connect(SaveButton, &QPushButton::clicked, this, &TSimulationWindow::SaveTraceClick);
    connect(LoadButton, &QPushButton::clicked, this, &TSimulationWindow::LoadTraceClick);
    connect(ChartButton, &QPushButton::clicked, this, &TSimulationWindow::ChartClick);
    auto* back = new QShortcut(QKeySequence("Alt+Left"), this);
    connect(back, &QShortcut::activated, this, &TSimulationWindow::BackClick);
    auto* forward = new QShortcut(QKeySequence("Alt+Right"), this);
    connect(forward, &QShortcut::activated, this, &TSimulationWindow::ForwardClick);
    Refresh();
}

TSimulationWindow::~TSimulationWindow() = default;

bool TSimulationWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Enabled && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            FireRow(Enabled->currentRow());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool TSimulationWindow::Ready() {
    if (sim_) return true;
    if (!app_.session.hasStem || app_.session.busy || app_.session.stem.Empty()) return false;
    sim_ = std::make_unique<quarvo::Simulator>(app_.session.stem, app_.session.stemSemantics);
    return true;
}

void TSimulationWindow::Open() {
    if (!Ready()) {
        app_.dialogs.Tell(this, QMessageBox::Information, kCaption, kNoSystem);
        return;
    }
    Refresh();
    show();
    raise();
    activateWindow();
    Enabled->setFocus();
}

bool TSimulationWindow::SimulatePath(const std::vector<std::int32_t>& states) {
    if (!Ready()) {
        app_.dialogs.Tell(this, QMessageBox::Information, kCaption, kNoSystem);
        return false;
    }
    const bool followed = sim_->FollowStates(states);
    Message->setText(followed ? QString("Trace du verdict chargée : %1 pas.").arg(sim_->Steps().size())
                              : QString("La trace ne suit pas les arcs du système : elle s'arrête après %1 pas.")
                                    .arg(sim_->Steps().size()));
    Refresh();
    show();
    raise();
    activateWindow();
    return followed;
}

void TSimulationWindow::StemChanged() {
    sim_.reset();
    Message->clear();
    Refresh();
}

void TSimulationWindow::Say(const QString& text) { Message->setText(text); }

bool TSimulationWindow::FireRow(int row) {
    if (!sim_ || row < 0) return false;
    const std::vector<quarvo::EnabledTransition> enabled = sim_->Enabled();
    if (static_cast<std::size_t>(row) >= enabled.size()) return false;
    if (!sim_->Fire(enabled[static_cast<std::size_t>(row)].arc)) {
        Say("Cet arc mène à un état absent du système.");
        return false;
    }
    Message->clear();
    Refresh();
    return true;
}

void TSimulationWindow::BackClick() {
    if (sim_ && sim_->Back()) Refresh();
}

void TSimulationWindow::ForwardClick() {
    if (sim_ && sim_->Forward()) Refresh();
}

void TSimulationWindow::RestartClick() {
    if (!sim_) return;
    sim_->Restart();
    Message->clear();
    Refresh();
}

void TSimulationWindow::RandomClick() {
    if (!sim_) return;
    const std::size_t fired = sim_->RandomRun(static_cast<std::size_t>(RandomSteps->value()), nextSeed_++);
    Say(sim_->Blocked() && fired < static_cast<std::size_t>(RandomSteps->value())
            ? QString("%1 pas aléatoires, puis un état sans successeur.").arg(fired)
            : QString("%1 pas aléatoires.").arg(fired));
    Refresh();
}

void TSimulationWindow::TraceRowClicked(int row) {
    if (sim_ && row >= 0 && sim_->GoTo(static_cast<std::size_t>(row))) Refresh();
}

void TSimulationWindow::SaveTraceClick() {
    if (!sim_) return;
    const QString path = app_.dialogs.SaveFileName(this, "Enregistrer la trace", kTraceFilter, "trace",
                                                   quarvo::ProposedPath(app_.session, "trace"));
    if (path.isEmpty()) return;
    quarvo::RememberFolder(app_.session, path);
    const quarvo::Status written = quarvo::WriteTraceFile(path.toStdString(), sim_->TraceActions());
    if (!written) {
        app_.dialogs.Tell(this, QMessageBox::Critical, kCaption, FromStd(written.message()));
        return;
    }
    Say(QString("Trace enregistrée dans « %1 » (%2 pas).").arg(path).arg(sim_->Steps().size()));
}

void TSimulationWindow::LoadTraceClick() {
    if (!sim_) return;
    const QString path = app_.dialogs.OpenFileName(this, "Charger une trace", kTraceFilter,
                                                   quarvo::DialogFolder(app_.session));
    if (path.isEmpty()) return;
    quarvo::RememberFolder(app_.session, path);
    ReplayFile(path);
}

void TSimulationWindow::ChartClick() {
    if (!sim_) return;
    std::vector<std::string> actions = sim_->TraceActions();
    actions.resize(sim_->Position());
    app_.intents.ShowChart(actions);
}

bool TSimulationWindow::ReplayFile(const QString& path) {
    if (!sim_) return false;
    const quarvo::TraceFile file = quarvo::ReadTraceFile(path.toStdString());
    if (!file.status) {
        app_.dialogs.Tell(this, QMessageBox::Critical, kCaption, FromStd(file.status.message()));
        return false;
    }
    const quarvo::ReplayOutcome outcome = sim_->Replay(file.actions);
    if (outcome.complete)
        Say(QString("Trace rejouée en entier : %1 pas.").arg(outcome.replayed));
    else
        Say(Joined(quarvo::ReplayFailureLines(outcome)));
    Refresh();
    return outcome.complete;
}

void TSimulationWindow::Refresh() {
    Enabled->clear();
    Trace->clear();
    const bool on = sim_ != nullptr;
    for (QWidget* w : {static_cast<QWidget*>(RestartButton), static_cast<QWidget*>(RandomButton),
                       static_cast<QWidget*>(RandomSteps), static_cast<QWidget*>(SaveButton),
                       static_cast<QWidget*>(LoadButton), static_cast<QWidget*>(ChartButton)})
        w->setEnabled(on);
    BackButton->setEnabled(on && sim_->CanBack());
    ForwardButton->setEnabled(on && sim_->CanForward());
    if (!on) {
        StateLabel->setText("Aucun système simulé.");
        EventsLabel->clear();
        return;
    }
    const bool maximality = sim_->GetSemantics() == quarvo::Semantics::Maximality;
    StateLabel->setText(QString("État courant : %1").arg(sim_->CurrentNumber()));
    EventsLabel->setVisible(maximality);
    if (maximality) EventsLabel->setText("Evénements maximaux : " + FromStd(sim_->CurrentEvents()));
    for (const quarvo::EnabledTransition& t : sim_->Enabled()) {
        QString text = FromStd(t.action);
        if (maximality && t.event != 0) text += QString("  x%1  causes %2").arg(t.event).arg(FromStd(t.causes).trimmed());
        text += QString("  → %1").arg(t.target);
        auto* item = new QListWidgetItem(text, Enabled);
        if (t.internal) item->setForeground(Qt::darkGray);
    }
    if (Enabled->count() > 0) Enabled->setCurrentRow(0);
    if (sim_->Blocked())
        new QListWidgetItem(QString("Blocage : l'état %1 n'a aucun successeur.").arg(sim_->CurrentNumber()), Enabled);
    if (sim_->Blocked()) Enabled->item(0)->setFlags(Qt::NoItemFlags);

    const quarvo::StemStore& store = sim_->Store();
    new QListWidgetItem(QString("0. état %1 (initial)").arg(store.State(0).Number), Trace);
    for (std::size_t k = 0; k < sim_->Steps().size(); ++k) {
        const quarvo::SimulationStep& s = sim_->Steps()[k];
        new QListWidgetItem(QString("%1. %2 → %3").arg(k + 1).arg(FromStd(s.action)).arg(store.State(s.to).Number),
                            Trace);
    }
    QListWidgetItem* current = Trace->item(static_cast<int>(sim_->Position()));
    QFont bold = current->font();
    bold.setBold(true);
    current->setFont(bold);
    Trace->setCurrentItem(current);
    for (std::size_t k = sim_->Position() + 1; k < static_cast<std::size_t>(Trace->count()); ++k)
        Trace->item(static_cast<int>(k))->setForeground(Qt::darkGray);
    emit CurrentStateChanged(sim_->CurrentNumber());
}
