#pragma once
// The branches the branch popover lists: those whose name contains the filter (ignoring case),
// in the order git gave them. The shown rows are positions into the branch list, so filtering
// makes no per-row objects.
#include <QAbstractListModel>
#include <optional>

#include "Git/GitBranchInfo.h"

class BranchListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    // Both reset the rows, and only when what is shown changes.
    void setBranches(const QList<GitBranchInfo>& branches, const std::optional<QString>& current);
    void setFilter(const QString& filter);

    // Whether a branch name is shown under a filter.
    static bool matches(const QString& name, const QString& filter);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    const GitBranchInfo& branch(int row) const { return branches_.at(shown_.at(row)); }
    bool isCurrent(int row) const { return current_ && *current_ == branch(row).name; }
    int rowOf(const QString& name) const;
    QStringList names() const;

private:
    void apply();

    QList<GitBranchInfo> branches_;
    std::optional<QString> current_;
    QString filter_;
    QList<int> shown_;  // positions in branches_
};
