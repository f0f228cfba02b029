// The state-by-state STEM explorer: two groups for the current state and transition, and the table of all states.
#include "app/views/SteV.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QScrollBar>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>

#include "views/StemTexts.h"
#include "app/WidgetHelpers.h"

namespace {

QString Padded(quarvo::ActionId action, const quarvo::ActionTable& actions) {
    return QString::fromStdString(quarvo::PaddedActionName(action, actions));
}

// Names are padded to 32 characters; a fixed-pitch font keeps them in columns.
void UseFixedPitch(QWidget* widget) {
    QFont font = quarvo::FixedPitchFont();
    if (widget->font().pointSizeF() > 0) font.setPointSizeF(widget->font().pointSizeF());
    widget->setFont(font);
}

}  // namespace

TSteVisual::TSteVisual(quarvo::AppContext& app) : app_(app) {
    setObjectName("SteVisual");
    setWindowTitle("Calvento - STEM Explorer");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    auto* layout = new QVBoxLayout(this);

    GrpStat = new QGroupBox(" Etats : ", this);
    auto* stat = new QGridLayout(GrpStat);
    stat->addWidget(new QLabel("Etat courant :", GrpStat), 0, 0);
    StatName = new QLabel(GrpStat);
    StatName->setObjectName("StatName");
    stat->addWidget(StatName, 0, 1);
    stat->addWidget(new QLabel("Evénements maximaux et leurs actions correspondantes:", GrpStat), 1, 0, 1, 2);
    stat->addWidget(new QLabel("Transitions sortantes :", GrpStat), 1, 2);
    auto* events = new QHBoxLayout;
    events->setSpacing(0);
    ListEvent = new QListWidget(GrpStat);
    ListEvent->setFixedWidth(33);
    ListAction = new QListWidget(GrpStat);
    events->addWidget(ListEvent);
    events->addWidget(ListAction);
    stat->addLayout(events, 2, 0, 1, 2);
    ListTransition = new QListWidget(GrpStat);
    stat->addWidget(ListTransition, 2, 2);
    auto* statButtons = new QHBoxLayout;
    ButResetStem = new QPushButton("&Etat racine", GrpStat);
    Button2 = new QPushButton("&Aller à...", GrpStat);
    ButNext = new QPushButton("Etat &suivant", GrpStat);
    statButtons->addWidget(ButResetStem);
    statButtons->addWidget(Button2);
    statButtons->addWidget(ButNext);
    stat->addLayout(statButtons, 3, 0, 1, 3);
    layout->addWidget(GrpStat);

    GrpTransition = new QGroupBox(" Transitions sortantes : ", this);
    auto* tran = new QGridLayout(GrpTransition);
    tran->addWidget(new QLabel("Evénements maximaux :", GrpTransition), 0, 0);
    ListEventAct = new QListWidget(GrpTransition);
    ListEventAct->setFixedWidth(60);
    tran->addWidget(ListEventAct, 1, 0, 4, 1);
    StatTransition = new QLabel(GrpTransition);
    StatEvent = new QLabel(GrpTransition);
    StatBut = new QLabel(GrpTransition);
    tran->addWidget(new QLabel("Action :", GrpTransition), 1, 1);
    tran->addWidget(StatTransition, 1, 2);
    tran->addWidget(new QLabel("Evénement :", GrpTransition), 2, 1);
    tran->addWidget(StatEvent, 2, 2);
    tran->addWidget(new QLabel("Etat but :", GrpTransition), 3, 1);
    tran->addWidget(StatBut, 3, 2);
    ButNextTran = new QPushButton("&Transition suivante", GrpTransition);
    tran->addWidget(ButNextTran, 4, 1, 1, 2);
    tran->setColumnStretch(2, 1);
    layout->addWidget(GrpTransition);

    for (QListWidget* list : {ListEvent, ListAction, ListTransition, ListEventAct}) list->setMaximumHeight(80);
    for (QWidget* w : {static_cast<QWidget*>(ListEvent), static_cast<QWidget*>(ListAction),
                       static_cast<QWidget*>(ListTransition), static_cast<QWidget*>(StatTransition)})
        UseFixedPitch(w);
    // An event number and its action stand on one row: both lists have the
    // same rows, scroll together and select together.
    for (QListWidget* list : {ListEvent, ListAction}) list->setUniformItemSizes(true);
    ListEvent->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(ListAction->verticalScrollBar(), &QScrollBar::valueChanged, ListEvent->verticalScrollBar(),
            &QScrollBar::setValue);
    connect(ListEvent->verticalScrollBar(), &QScrollBar::valueChanged, ListAction->verticalScrollBar(),
            &QScrollBar::setValue);
    connect(ListEvent, &QListWidget::currentRowChanged, ListAction, [this](int row) { ListAction->setCurrentRow(row); });
    connect(ListAction, &QListWidget::currentRowChanged, ListEvent, [this](int row) { ListEvent->setCurrentRow(row); });

    table_ = new TStemTableModel(this);
    ex = new QTableView(this);
    ex->setObjectName("ex");
    ex->setModel(table_);
    ex->verticalHeader()->hide();
    ex->verticalHeader()->setMinimumSectionSize(8);
    ex->verticalHeader()->setDefaultSectionSize(16);
    ex->verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    ex->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    ex->horizontalHeader()->setSectionsMovable(true);
    ex->horizontalHeader()->setStretchLastSection(true);
    ex->setColumnWidth(0, 62);
    ex->setColumnWidth(1, 269);
    ex->setColumnWidth(2, 127);
    ex->setShowGrid(true);
    ex->setWordWrap(false);
    ex->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(ex, 1);

    Button1 = new QPushButton("&Fermer", this);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(Button1);
    layout->addLayout(bottom);

    // Qt has a single default button per dialog: "Etat suivant" keeps Enter.
    for (QPushButton* b : {ButResetStem, Button2, ButNext, ButNextTran, Button1}) b->setAutoDefault(false);
    ButNext->setDefault(true);

    connect(ButResetStem, &QPushButton::clicked, this, [this] { ButResetStemClick(); });
    connect(ButNext, &QPushButton::clicked, this, [this] { ButNextClick(); });
    connect(ButNextTran, &QPushButton::clicked, this, [this] { ButNextTranClick(); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    // A double click on a row of the table goes to its state.
    connect(ex, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid()) ShowStateAt(index.row());
    });
    quarvo::FitFixedSize(this, QSize(491, 555));
}

void TSteVisual::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TSteVisual::hideEvent(QHideEvent* event) {
    // The store may be replaced while the window is hidden.
    if (!event->spontaneous()) {
        explorer(nullptr);
        exploredState_ = exploredArc_ = -1;
    }
    QDialog::hideEvent(event);
}

void TSteVisual::FormShow() {
    ButResetStemClick();
    explorer(&Store());
}

void TSteVisual::explorer(const quarvo::StemStore* store) { table_->explorer(store); }

std::optional<quarvo::StateView> TSteVisual::ExploredState() const {
    if (exploredState_ < 0 || exploredState_ >= static_cast<std::int64_t>(Store().StateCount())) return std::nullopt;
    return Store().State(static_cast<std::size_t>(exploredState_));
}

std::optional<quarvo::ArcView> TSteVisual::ExploredArc() const {
    const std::optional<quarvo::StateView> state = ExploredState();
    if (!state || exploredArc_ < 0 || exploredArc_ >= static_cast<std::int64_t>(state->Arcs.size())) return std::nullopt;
    return state->Arcs[static_cast<std::size_t>(exploredArc_)];
}

void TSteVisual::ClearTransition() {
    ListEventAct->clear();
    StatTransition->clear();
    StatBut->clear();
    StatEvent->clear();
}

void TSteVisual::ClearAll() {
    StatName->clear();
    ListEvent->clear();
    ListAction->clear();
    ListTransition->clear();
    ClearTransition();
}

void TSteVisual::ShowArc() {
    const std::optional<quarvo::ArcView> arc = ExploredArc();
    if (!arc) return;
    for (const quarvo::TEventEntry& cause : arc->Causes) ListEventAct->addItem(QString::number(cause.Event));
    StatTransition->setText(Padded(arc->Action, Store().actions));
    StatEvent->setText(QString::number(arc->Event));
    StatBut->setText(QString::number(arc->Target));
}

void TSteVisual::affiche() {
    const std::optional<quarvo::StateView> state = ExploredState();
    if (!state) return;
    StatName->setText(QString::number(state->Number));
    const int rowHeight = std::max(ListEvent->fontMetrics().height(), ListAction->fontMetrics().height()) + 2;
    for (const quarvo::TEventEntry& entry : state->Events) {
        ListEvent->addItem(QString::number(entry.Event));
        ListAction->addItem(Padded(entry.Action, Store().actions));
        for (QListWidget* list : {ListEvent, ListAction}) {
            QListWidgetItem* item = list->item(list->count() - 1);
            item->setSizeHint({list->fontMetrics().horizontalAdvance(item->text()) + 6, rowHeight});
        }
    }
    if (state->Arcs.empty()) {
        exploredArc_ = -1;
        return;
    }
    exploredArc_ = 0;
    for (const quarvo::ArcView arc : state->Arcs) ListTransition->addItem(Padded(arc.Action, Store().actions));
    ShowArc();
}

void TSteVisual::ShowStateAt(std::int64_t index) {
    ClearAll();
    exploredState_ = index;
    exploredArc_ = -1;
    affiche();
}

void TSteVisual::ButResetStemClick() { ShowStateAt(Store().Empty() ? -1 : 0); }

void TSteVisual::ButNextClick() {
    ClearAll();
    if (exploredState_ < 0) return;
    ++exploredState_;
    if (!ExploredState()) {
        exploredState_ = exploredArc_ = -1;
        return;
    }
    affiche();
}

void TSteVisual::ButNextTranClick() {
    ClearTransition();
    const std::optional<quarvo::StateView> state = ExploredState();
    if (!state || exploredArc_ < 0 || exploredArc_ + 1 >= static_cast<std::int64_t>(state->Arcs.size())) return;
    ++exploredArc_;
    ShowArc();
}

void TSteVisual::Button1Click() { close(); }

void TSteVisual::Button2Click() {
    app_.intents.ShowGoTo();
}
