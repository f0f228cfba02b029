// The explorer's table of all states.
#include "app/views/StemTableModel.h"

#include <climits>

#include "views/StemTexts.h"

void TStemTableModel::explorer(const quarvo::StemStore* store) {
    beginResetModel();
    store_ = store;
    endResetModel();
}

int TStemTableModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !store_) return 0;
    const std::size_t n = store_->StateCount();
    return n > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n);
}

int TStemTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant TStemTableModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !store_ || !index.isValid() || index.row() >= rowCount()) return {};
    const quarvo::StateView state = store_->State(static_cast<std::size_t>(index.row()));
    switch (index.column()) {
        case 0: return QString::number(state.Number);
        case 1: return QString::fromStdString(quarvo::afficher_listEvent(state.Events, store_->actions));
        case 2: return QString::fromStdString(quarvo::afficher_ButStates(state.Arcs));
        default: return {};
    }
}

QVariant TStemTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
    switch (section) {
        case 0: return QStringLiteral("Etat");
        case 1: return QStringLiteral("Evénements maximaux");
        case 2: return QStringLiteral("Etats buts");
        default: return {};
    }
}
