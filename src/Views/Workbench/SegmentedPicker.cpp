#include "Views/Workbench/SegmentedPicker.h"

#include <QHBoxLayout>
#include <QPushButton>

#include "UI/Brand.h"

SegmentedPicker::SegmentedPicker(const QList<Option>& options, QWidget* parent) : QWidget(parent), options_(options) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    const QColor accent = Brand::accent();
    setStyleSheet(QStringLiteral("QPushButton { color: rgba(255, 255, 255, 210); background: rgba(255, 255, 255, 18);"
                                 " border: none; border-radius: 6px; padding: 5px 10px; }"
                                 "QPushButton:checked { color: white; background: rgba(%1, %2, %3, 150); }")
                      .arg(accent.red()).arg(accent.green()).arg(accent.blue()));
    for (int i = 0; i < options_.size(); ++i) {
        auto* button = new QPushButton(options_[i].label, this);
        button->setCheckable(true);
        button->setCursor(Qt::PointingHandCursor);
        connect(button, &QPushButton::clicked, this, [this, i] {
            select(options_[i].value);
            emit chosen(options_[i].value);
        });
        row->addWidget(button, 1);
        segments_ << button;
    }
}

void SegmentedPicker::select(const QJsonValue& value) {
    for (int i = 0; i < segments_.size(); ++i) segments_[i]->setChecked(options_[i].value == value);
}

int SegmentedPicker::selectedIndex() const {
    for (int i = 0; i < segments_.size(); ++i)
        if (segments_[i]->isChecked()) return i;
    return -1;
}
