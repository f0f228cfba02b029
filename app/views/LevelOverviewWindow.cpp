// The overview by level: its bars, painted, and the list of a level's states.
#include "app/views/LevelOverviewWindow.h"

#include <algorithm>

#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

constexpr int kNumberWidth = 48;   // the level's number, left of its bar
constexpr int kCountsWidth = 260;  // its counts, right of the longest bar

// "0 arc", "1 état", "2 états", "20 niveaux": French puts 0 and 1 in the singular.
QString Counted(std::size_t count, const char* singular, const char* plural = nullptr) {
    const QString one = QString::fromUtf8(singular);
    return QString("%1 %2").arg(count).arg(count > 1 ? (plural ? QString::fromUtf8(plural) : one + "s") : one);
}

}  // namespace

QString TLevelBars::Counts(const quarvo::LevelBar& bar) {
    QString text = Counted(bar.states, "état") + ", " + Counted(bar.arcs, "arc");
    if (bar.deadlocks > 0) text += ", " + Counted(bar.deadlocks, "blocage");
    if (bar.terminations > 0) text += ", " + Counted(bar.terminations, "terminaison");
    return text;
}

TLevelBars::TLevelBars(QWidget* parent) : QWidget(parent) {
    setObjectName("Bars");
    setMinimumWidth(kNumberWidth + 120 + kCountsWidth);
}

void TLevelBars::SetOverview(const quarvo::LevelOverview* overview, int chosen) {
    overview_ = overview;
    chosen_ = chosen;
    const int rows = overview_ ? static_cast<int>(overview_->levels.size()) : 0;
    setFixedHeight(std::max(1, rows) * RowHeight + 4);
    update();
}

int TLevelBars::LevelAt(int y) const {
    if (!overview_ || y < 0) return -1;
    const int level = y / RowHeight;
    return level < static_cast<int>(overview_->levels.size()) ? level : -1;
}

QRect TLevelBars::BarRect(int level) const {
    if (!overview_ || level < 0 || level >= static_cast<int>(overview_->levels.size())) return {};
    const int room = std::max(20, width() - kNumberWidth - kCountsWidth);
    const std::size_t states = overview_->levels[static_cast<std::size_t>(level)].states;
    // A level of one state still shows a bar of a pixel or two.
    const int length = std::max(2, static_cast<int>(static_cast<double>(room) * static_cast<double>(states) /
                                                    static_cast<double>(std::max<std::size_t>(1, overview_->widest))));
    return QRect(kNumberWidth, level * RowHeight + 3, length, RowHeight - 6);
}

void TLevelBars::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!overview_) return;
    for (int level = 0; level < static_cast<int>(overview_->levels.size()); ++level) {
        const quarvo::LevelBar& bar = overview_->levels[static_cast<std::size_t>(level)];
        const int top = level * RowHeight;
        if (level == chosen_) painter.fillRect(QRect(0, top, width(), RowHeight), QColor(0xE0, 0xE8, 0xFF));
        painter.setPen(Qt::black);
        painter.drawText(QRect(0, top, kNumberWidth - 6, RowHeight), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(level));
        const QRect barRect = BarRect(level);
        painter.fillRect(barRect, QColor(0x60, 0x90, 0xD0));
        // The deadlocks of the level: a red stretch at the bar's start, in proportion.
        if (bar.deadlocks > 0) {
            QRect dead = barRect;
            dead.setWidth(std::max(3, static_cast<int>(static_cast<double>(barRect.width()) *
                                                       static_cast<double>(bar.deadlocks) /
                                                       static_cast<double>(bar.states))));
            painter.fillRect(dead, Qt::red);
        }
        painter.drawText(QRect(barRect.right() + 8, top, kCountsWidth, RowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         Counts(bar));
    }
}

void TLevelBars::mousePressEvent(QMouseEvent* event) {
    const int level = LevelAt(static_cast<int>(event->position().y()));
    if (level >= 0) emit LevelClicked(level);
}

TLevelOverviewWindow::TLevelOverviewWindow(quarvo::AppContext& app) : app_(app) {
    setObjectName("LevelOverview");
    setWindowTitle("QUARVO - Vue d'ensemble par niveaux");
    setWindowFlag(Qt::Window);
    resize(720, 560);
    Summary = new QLabel(this);
    Summary->setObjectName("Summary");
    Summary->setWordWrap(true);
    Bars = new TLevelBars(this);
    BarsArea = new QScrollArea(this);
    BarsArea->setWidget(Bars);
    BarsArea->setWidgetResizable(true);
    LevelTitle = new QLabel("Un clic sur une barre liste les états de son niveau.", this);
    LevelTitle->setObjectName("LevelTitle");
    States = new QListWidget(this);
    States->setObjectName("States");
    States->setToolTip("Un double clic dessine l'état dans la visualisation graphique");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Summary);
    layout->addWidget(BarsArea, 3);
    layout->addWidget(LevelTitle);
    layout->addWidget(States, 1);
    connect(Bars, &TLevelBars::LevelClicked, this, &TLevelOverviewWindow::ChooseLevel);
    connect(States, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { emit StateChosen(item->data(Qt::UserRole).toInt()); });
}

void TLevelOverviewWindow::ShowOverview() {
    if (!app_.session.hasStem || app_.session.busy) return;
    if (!overview_) overview_ = quarvo::OverviewByLevel(app_.session.stem);
    std::size_t deadlocks = 0;
    for (const quarvo::LevelBar& bar : overview_->levels) deadlocks += bar.deadlocks;
    QString summary = Counted(app_.session.stem.StateCount(), "état") + " en " +
                      Counted(overview_->levels.size(), "niveau", "niveaux") + " depuis l'état initial, " +
                      Counted(static_cast<std::size_t>(app_.session.stem.ArcCount()), "arc") + ", " +
                      Counted(deadlocks, "blocage") + ".";
    if (overview_->unreachable > 0)
        summary += overview_->unreachable > 1
                       ? QString(" %1 états ne sont pas atteints depuis l'état initial.").arg(overview_->unreachable)
                       : QString(" 1 état n'est pas atteint depuis l'état initial.");
    Summary->setText(summary);
    Bars->SetOverview(&*overview_, -1);
    States->clear();
    show();
    raise();
    activateWindow();
}

void TLevelOverviewWindow::StemChanged() {
    Bars->SetOverview(nullptr, -1);
    overview_.reset();
    States->clear();
    Summary->clear();
}

void TLevelOverviewWindow::ChooseLevel(int level) {
    if (!overview_ || level < 0 || level >= static_cast<int>(overview_->levels.size())) return;
    Bars->SetOverview(&*overview_, level);
    const quarvo::LevelBar& bar = overview_->levels[static_cast<std::size_t>(level)];
    States->clear();
    const std::vector<std::int32_t> numbers =
        quarvo::StatesOfLevel(app_.session.stem, *overview_, static_cast<std::size_t>(level), ListedStates);
    for (const std::int32_t number : numbers) {
        const auto state = app_.session.stem.FindState(number);
        const bool blocked = state && state->Arcs.empty();
        auto* item = new QListWidgetItem(QString("État %1%2").arg(number).arg(blocked ? " (blocage)" : ""), States);
        item->setData(Qt::UserRole, number);
        if (blocked) item->setForeground(Qt::red);
    }
    LevelTitle->setText(numbers.size() < bar.states
                            ? QString("Niveau %1 : %2 états, les %3 premiers listés.")
                                  .arg(level)
                                  .arg(bar.states)
                                  .arg(numbers.size())
                            : QString("Niveau %1 : %2.").arg(level).arg(Counted(bar.states, "état")));
}
