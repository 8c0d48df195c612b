#pragma once
// Rows of key/value pairs with an enable box and a delete button, and an Add button below them.
// It edits its own copy of the list and hands every change on through itemsEdited.
#include <QList>
#include <QWidget>

#include "API/KeyValueItem.h"

class QCheckBox;
class QVBoxLayout;
class PressableButton;
class QLineEdit;
class QScrollArea;

class KeyValueEditor : public QWidget {
    Q_OBJECT
public:
    KeyValueEditor(const QString& keyHint, const QString& valueHint, QWidget* parent = nullptr);

    const QList<KeyValueItem>& items() const { return items_; }
    // Shows a list from outside; rows are rebuilt only when the list's shape changed, so the
    // field being typed into keeps its caret.
    void setItems(const QList<KeyValueItem>& items);
    void setReadOnly(bool readOnly);

    // Row i's widgets, for tests.
    int rowCount() const;
    QLineEdit* keyField(int row) const;
    QLineEdit* valueField(int row) const;
    PressableButton* addButton() const { return add_; }
    void add();
    void remove(int row);
    void setEnabledAt(int row, bool enabled);

    static QString fieldStyle();
    // Widgets looked through to reach rows' fields since construction, for tests.
    qsizetype widgetsLookedAt() const { return widgetsLookedAt_; }

signals:
    void itemsEdited(const QList<KeyValueItem>& items);

private:
    void rebuildRows();
    QWidget* makeRow(int index);
    void edited();

    QString keyHint_;
    QString valueHint_;
    QList<KeyValueItem> items_;
    bool readOnly_ = false;
    QScrollArea* scroll_;
    QWidget* rows_ = nullptr;
    QVBoxLayout* rowsLayout_ = nullptr;
    PressableButton* add_;
    // Each row's controls, in row order, so that a row is reached without looking through the others.
    struct RowWidgets {
        QCheckBox* box;
        QLineEdit* key;
        QLineEdit* value;
    };
    QList<RowWidgets> rowWidgets_;
    mutable qsizetype widgetsLookedAt_ = 0;
};
