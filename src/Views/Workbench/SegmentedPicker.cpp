#include "Views/Workbench/SegmentedPicker.h"

#include <QHBoxLayout>
#include <QPushButton>

#include "UI/Brand.h"

SegmentedPicker::SegmentedPicker(const QList<Option>& options, QWidget* parent) : QWidget(parent), options_(options) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    const QColor accent = Brand::accent();
    const QColor ring = accent.lighter(135);
    // The keyboard's segment is outlined as the other controls are (the style's own dotted frame
    // hardly shows on these faces); the outline takes the padding's room, so nothing moves.
    setStyleSheet(QStringLiteral("QPushButton { color: rgba(255, 255, 255, 210); background: rgba(255, 255, 255, 18);"
                                 " border: none; border-radius: 6px; padding: 5px 10px; }"
                                 "QPushButton:checked { color: white; background: rgba(%1, %2, %3, 150); }"
                                 "QPushButton:focus { border: 2px solid rgb(%4, %5, %6); padding: 3px 8px; outline: none; }"
                                 "QPushButton:checked:focus { border-color: white; }")
                      .arg(accent.red()).arg(accent.green()).arg(accent.blue())
                      .arg(ring.red()).arg(ring.green()).arg(ring.blue()));
    for (int i = 0; i < options_.size(); ++i) {
        auto* button = new QPushButton(options_[i].label, this);
        button->setCheckable(true);
        button->setCursor(Qt::PointingHandCursor);
        // Reached by Tab, not taken by a click, like the other drawn controls.
        button->setFocusPolicy(Qt::TabFocus);
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
