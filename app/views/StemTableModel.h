// The explorer's table of all states: rows are computed when the view asks for them.
#pragma once

#include <QAbstractTableModel>

#include "generation/StemStore.h"

class TStemTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // The states to list; null lists none.
    void explorer(const quarvo::StemStore* store);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const quarvo::StemStore* store_ = nullptr;
};
