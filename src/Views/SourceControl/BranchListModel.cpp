#include "Views/SourceControl/BranchListModel.h"

void BranchListModel::setBranches(const QList<GitBranchInfo>& branches, const std::optional<QString>& current) {
    if (branches == branches_ && current == current_) return;
    branches_ = branches;
    current_ = current;
    apply();
}

void BranchListModel::setFilter(const QString& filter) {
    if (filter == filter_) return;
    filter_ = filter;
    apply();
}

void BranchListModel::apply() {
    beginResetModel();
    shown_.clear();
    for (int i = 0; i < int(branches_.size()); ++i)
        if (matches(branches_.at(i).name, filter_)) shown_.append(i);
    endResetModel();
}

bool BranchListModel::matches(const QString& name, const QString& filter) {
    return filter.isEmpty() || name.contains(filter, Qt::CaseInsensitive);
}

int BranchListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(shown_.size()); }

QVariant BranchListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || role != Qt::DisplayRole) return {};
    return branch(index.row()).name;
}

int BranchListModel::rowOf(const QString& name) const {
    for (int row = 0; row < rowCount(); ++row)
        if (branch(row).name == name) return row;
    return -1;
}

QStringList BranchListModel::names() const {
    QStringList out;
    for (int row = 0; row < rowCount(); ++row) out << branch(row).name;
    return out;
}
