#include "Views/SourceControl/ChangeListModel.h"

#include "Views/SourceControl/ChangeLists.h"

namespace {
constexpr std::array kSections{ChangeListModel::Section::conflicts, ChangeListModel::Section::staged,
                               ChangeListModel::Section::changes};
} // namespace

bool ChangeListModel::setChanges(const QList<GitFileChange>& changes) {
    if (changes == changes_) return false;
    beginResetModel();
    changes_ = changes;
    lists_ = {ChangeLists::conflicts(changes), ChangeLists::staged(changes), ChangeLists::unstaged(changes)};
    rows_ = 0;
    for (Section s : kSections) {
        const auto& list = lists_[size_t(s)];
        firstRows_[size_t(s)] = list.isEmpty() ? -1 : rows_;
        if (!list.isEmpty()) rows_ += 1 + int(list.size());
    }
    endResetModel();
    return true;
}

int ChangeListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

ChangeListModel::Section ChangeListModel::section(int row) const {
    Section found = Section::conflicts;
    for (Section s : kSections)
        if (firstRow(s) >= 0 && firstRow(s) <= row) found = s;
    return found;
}

bool ChangeListModel::isHeader(int row) const { return row >= 0 && row < rows_ && firstRow(section(row)) == row; }

const GitFileChange* ChangeListModel::change(int row) const {
    if (row < 0 || row >= rows_ || isHeader(row)) return nullptr;
    const Section s = section(row);
    return &lists_[size_t(s)].at(row - firstRow(s) - 1);
}

QVariant ChangeListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole) return {};
    if (isHeader(index.row())) return title(section(index.row())).toUpper();
    const GitFileChange* c = change(index.row());
    return c ? c->path : QVariant();
}

QString ChangeListModel::title(Section section) {
    switch (section) {
    case Section::conflicts: return QStringLiteral("Conflicts");
    case Section::staged: return QStringLiteral("Staged Changes");
    case Section::changes: return QStringLiteral("Changes");
    }
    return {};
}

QStringList ChangeListModel::titles() const {
    QStringList out;
    for (Section s : kSections)
        if (firstRow(s) >= 0) out << title(s).toUpper();
    return out;
}

int ChangeListModel::headerRow(Section section) const { return firstRow(section); }

int ChangeListModel::rowOf(Section section, const QString& path) const {
    const auto& list = lists_[size_t(section)];
    for (qsizetype i = 0; i < list.size(); ++i)
        if (list.at(i).path == path) return firstRow(section) + 1 + int(i);
    return -1;
}
