#pragma once
// The rows of the source-control change lists: for each list that is not empty ("Conflicts",
// "Staged Changes", "Changes"), its header row and then one row per change. Rows are
// positions into the three lists, so a model of any size holds no per-row objects.
#include <QAbstractListModel>
#include <array>

#include "Git/GitFileChange.h"

class ChangeListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum class Section { conflicts, staged, changes };

    using QAbstractListModel::QAbstractListModel;

    // Splits changes into the lists and resets the rows; the same changes again change nothing
    // (and report false).
    bool setChanges(const QList<GitFileChange>& changes);

    const QList<GitFileChange>& changes() const { return changes_; }
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    bool isHeader(int row) const;
    Section section(int row) const;
    // The change of a change row; nullptr for a header row or a row out of range.
    const GitFileChange* change(int row) const;
    // Staged rows offer Unstage; the others (conflicts included) Discard and Stage, conflicts no Unstage.
    bool isStagedRow(int row) const { return !isHeader(row) && section(row) == Section::staged; }

    static QString title(Section section);
    int count(Section section) const { return int(lists_[size_t(section)].size()); }
    // The titles shown now, in order, in upper case.
    QStringList titles() const;
    // The row of path in section; -1 when it is not listed there.
    int rowOf(Section section, const QString& path) const;
    int headerRow(Section section) const;

private:
    // The first row of each section (its header), or -1 for an empty section.
    int firstRow(Section section) const { return firstRows_[size_t(section)]; }

    QList<GitFileChange> changes_;
    std::array<QList<GitFileChange>, 3> lists_;
    std::array<int, 3> firstRows_{-1, -1, -1};
    int rows_ = 0;
};
