#include "Views/HTTP/KeyValueEditor.h"

#include <QApplication>

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "UI/FocusChain.h"
#include "UI/PressableButton.h"
#include "Views/HTTP/HTTPStyle.h"

KeyValueEditor::KeyValueEditor(const QString& keyHint, const QString& valueHint, QWidget* parent)
    : QWidget(parent), keyHint_(keyHint), valueHint_(valueHint) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    scroll_ = new QScrollArea(this);
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->viewport()->setAutoFillBackground(false);
    // Its rows take the keyboard themselves (and are scrolled to); the list is no stop of its own.
    scroll_->setFocusPolicy(Qt::NoFocus);
    column->addWidget(scroll_, 1);
    add_ = HTTPStyle::button(QStringLiteral("plus"), QStringLiteral("Add"),
                             HTTPStyle::font(11, QFont::DemiBold, HTTPStyle::Design::rounded), HTTPStyle::white(0.7), this);
    add_->setPadding({4, 3, 4, 3});
    connect(add_, &QAbstractButton::clicked, this, &KeyValueEditor::add);
    column->addWidget(add_, 0, Qt::AlignHCenter);
    rebuildRows();
}

QString KeyValueEditor::fieldStyle() {
    return QStringLiteral("QLineEdit { background: rgba(255,255,255,13); border: 1px solid rgba(255,255,255,15);"
                          " border-radius: 6px; padding: 5px 8px; color: white; }");
}

void KeyValueEditor::setItems(const QList<KeyValueItem>& items) {
    if (items == items_) return;
    const bool sameShape = items.size() == items_.size() &&
                           std::equal(items.begin(), items.end(), items_.begin(),
                                      [](const KeyValueItem& a, const KeyValueItem& b) { return a.id == b.id; });
    items_ = items;
    if (!sameShape) return rebuildRows();
    for (int i = 0; i < rowCount(); ++i) {
        const RowWidgets& row = rowWidgets_[i];
        widgetsLookedAt_ += 3;
        const QSignalBlocker k(row.key), v(row.value), b(row.box);
        if (row.key->text() != items_[i].key) row.key->setText(items_[i].key);
        if (row.value->text() != items_[i].value) row.value->setText(items_[i].value);
        row.box->setChecked(items_[i].enabled);
    }
}

void KeyValueEditor::setReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    add_->setEnabled(!readOnly);
    rebuildRows();
}

void KeyValueEditor::rebuildRows() {
    // The field typed into keeps the caret in the new rows: the same field of the same row.
    auto* focused = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    bool focusedKey = false;
    int focusedRow = -1, caret = 0;
    for (int i = 0; focused && i < rowWidgets_.size() && focusedRow < 0; ++i) {
        if (rowWidgets_[i].key != focused && rowWidgets_[i].value != focused) continue;
        focusedRow = i;
        focusedKey = rowWidgets_[i].key == focused;
        caret = focused->cursorPosition();
    }
    rowWidgets_.clear();
    rows_ = new QWidget;
    rowsLayout_ = new QVBoxLayout(rows_);
    rowsLayout_->setContentsMargins(0, 0, 0, 0);
    rowsLayout_->setSpacing(4);
    for (int i = 0; i < items_.size(); ++i) rowsLayout_->addWidget(makeRow(i));
    rowsLayout_->addStretch(1);
    HTTPStyle::setScrolled(scroll_, rows_);
    // New rows would come last in the window's Tab order; they belong where they are seen, before Add.
    if (QWidget* last = FocusChain::placeAfter(add_, rows_); last != add_) QWidget::setTabOrder(last, add_);
    if (focusedRow >= 0 && focusedRow < rowWidgets_.size()) {
        QLineEdit* again = focusedKey ? rowWidgets_[focusedRow].key : rowWidgets_[focusedRow].value;
        again->setFocus(Qt::OtherFocusReason);
        again->setCursorPosition(caret);
    }
}

QWidget* KeyValueEditor::makeRow(int index) {
    auto* row = new QWidget(rows_);
    row->setObjectName(QStringLiteral("kvRow"));
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(6);
    const QUuid id = items_[index].id;
    auto at = [this, id]() -> KeyValueItem* {
        for (KeyValueItem& item : items_)
            if (item.id == id) return &item;
        return nullptr;
    };

    auto* box = new QCheckBox(row);
    box->setChecked(items_[index].enabled);
    box->setEnabled(!readOnly_);
    connect(box, &QCheckBox::toggled, this, [this, at](bool on) {
        if (KeyValueItem* item = at()) item->enabled = on;
        edited();
    });
    line->addWidget(box);

    auto makeField = [&](const QString& text, const QString& hint, bool isKey) {
        auto* field = new QLineEdit(text, row);
        field->setObjectName(isKey ? QStringLiteral("key") : QStringLiteral("value"));
        field->setPlaceholderText(hint);
        field->setFont(HTTPStyle::font(12, QFont::Normal, HTTPStyle::Design::monospaced));
        field->setStyleSheet(fieldStyle());
        field->setReadOnly(readOnly_);
        connect(field, &QLineEdit::textEdited, this, [this, at, isKey](const QString& t) {
            if (KeyValueItem* item = at()) (isKey ? item->key : item->value) = t;
            edited();
        });
        line->addWidget(field, 1);
        return field;
    };
    QLineEdit* key = makeField(items_[index].key, keyHint_, true);
    rowWidgets_.append({box, key, makeField(items_[index].value, valueHint_, false)});

    auto* remove = HTTPStyle::button(QStringLiteral("minus.circle"), {}, HTTPStyle::font(12), HTTPStyle::white(0.4), row);
    remove->setPadding({2, 2, 2, 2});
    remove->setEnabled(!readOnly_);
    connect(remove, &QAbstractButton::clicked, this, [this, id] {
        items_.removeIf([&](const KeyValueItem& item) { return item.id == id; });
        rebuildRows();
        edited();
    });
    line->addWidget(remove);
    return row;
}

int KeyValueEditor::rowCount() const { return int(items_.size()); }

QLineEdit* KeyValueEditor::keyField(int row) const {
    return row >= 0 && row < rowWidgets_.size() ? rowWidgets_[row].key : nullptr;
}

QLineEdit* KeyValueEditor::valueField(int row) const {
    return row >= 0 && row < rowWidgets_.size() ? rowWidgets_[row].value : nullptr;
}

void KeyValueEditor::add() {
    if (readOnly_) return;
    items_.append(KeyValueItem{QUuid::createUuid(), {}, {}, true});
    rebuildRows();
    edited();
}

void KeyValueEditor::remove(int row) {
    if (readOnly_ || row < 0 || row >= items_.size()) return;
    items_.removeAt(row);
    rebuildRows();
    edited();
}

void KeyValueEditor::setEnabledAt(int row, bool enabled) {
    if (row < 0 || row >= items_.size()) return;
    rowWidgets_[row].box->setChecked(enabled);
}

void KeyValueEditor::edited() { emit itemsEdited(items_); }
