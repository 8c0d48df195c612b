#include "Views/HTTP/HistoryPopover.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <algorithm>
#include <QVBoxLayout>

#include "AppState.h"
#include "UI/Brand.h"
#include "UI/ElidedText.h"
#include "UI/PressableButton.h"
#include "Views/HTTP/HTTPStyle.h"
#include "Views/HTTP/MethodBadge.h"
#include "Views/HTTP/ResponseView.h"
#include "Views/HTTP/StatusPill.h"

using HTTPStyle::white;

namespace {

constexpr const char* kEntryId = "entryId";  // on each row: the entry it replays

// A dot of the status colour.
class Dot : public QWidget {
public:
    Dot(const QColor& colour, QWidget* parent) : QWidget(parent), colour_(colour) {
        setFixedSize(7, 7);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(colour_);
        p.drawEllipse(QRectF(rect()));
    }
    QColor colour_;
};

// A row button as tall as what it holds (a push button would size itself for a caption alone).
class RowButton : public QPushButton {
public:
    using QPushButton::QPushButton;
    QSize sizeHint() const override { return layout() ? layout()->sizeHint() : QPushButton::sizeHint(); }
    QSize minimumSizeHint() const override { return layout() ? layout()->minimumSize() : QPushButton::minimumSizeHint(); }
};

template <typename Label>
Label* passive(Label* label) {
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

} // namespace

QString HistoryPopover::timeText(const QDateTime& timestamp) { return timestamp.toLocalTime().toString(QStringLiteral("HH:mm:ss")); }

QString HistoryPopover::durationText(double seconds) { return QString::number(qint64(seconds * 1000)) + QStringLiteral("ms"); }

HistoryPopover::HistoryPopover(AppState& app, QWidget* parent) : QFrame(parent, Qt::Popup), app_(app) {
    setAttribute(Qt::WA_NoMouseReplay);
    setFixedWidth(kWidth);
    HTTPStyle::fill(this, QColor::fromRgbF(0.1f, 0.1f, 0.13f));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* title = new QHBoxLayout;
    title->setContentsMargins(10, 8, 10, 8);
    title->addWidget(HTTPStyle::label(QStringLiteral("HISTORY"), HTTPStyle::font(10, QFont::Bold, HTTPStyle::Design::rounded),
                                      white(0.5), this));
    title->addStretch(1);
    clear_ = HTTPStyle::button({}, QStringLiteral("Clear"), HTTPStyle::font(10.5, QFont::Normal, HTTPStyle::Design::rounded),
                               white(0.55), this);
    connect(clear_, &QAbstractButton::clicked, this, [this] { app_.history().clear(); });
    title->addWidget(clear_);
    column->addLayout(title);
    column->addWidget(HTTPStyle::divider(0.08, this));
    empty_ = HTTPStyle::label(QStringLiteral("No sends yet"), HTTPStyle::font(11.5), white(0.4), this);
    static_cast<QLabel*>(empty_)->setAlignment(Qt::AlignCenter);
    empty_->setContentsMargins(0, 18, 0, 18);
    column->addWidget(empty_);
    scroll_ = new QScrollArea(this);
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->viewport()->setAutoFillBackground(false);
    // Its rows take the keyboard themselves (and are scrolled to); the list is no stop of its own.
    scroll_->setFocusPolicy(Qt::NoFocus);
    column->addWidget(scroll_);
    connect(&app_.history(), &ResponseHistory::entriesChanged, this, &HistoryPopover::rebuild);
    rebuild();
}

HistoryPopover* HistoryPopover::showUnder(AppState& app, QWidget* anchor) {
    auto* popover = new HistoryPopover(app, anchor);
    popover->setAttribute(Qt::WA_DeleteOnClose);
    popover->adjustSize();
    QPoint below = anchor->mapToGlobal(QPoint(anchor->width() / 2 - kWidth / 2, anchor->height() + 4));
    // Kept on the anchor's screen: shifted left from the right edge, and above the anchor when there is no room below.
    if (const QScreen* screen = anchor->screen()) {
        const QRect area = screen->availableGeometry();
        if (below.y() + popover->height() > area.bottom() + 1) below.setY(anchor->mapToGlobal(QPoint(0, -4)).y() - popover->height());
        below.setX(std::clamp(below.x(), area.left(), std::max(area.left(), area.right() + 1 - popover->width())));
        below.setY(std::clamp(below.y(), area.top(), std::max(area.top(), area.bottom() + 1 - popover->height())));
    }
    popover->move(below);
    popover->show();
    return popover;
}

void HistoryPopover::hideEvent(QHideEvent* event) {
    QFrame::hideEvent(event);
    emit closed();
}

bool HistoryPopover::showsEmptyNote() const { return !empty_->isHidden(); }

QList<QAbstractButton*> HistoryPopover::rows() const {
    return scroll_->widget() ? scroll_->widget()->findChildren<QAbstractButton*>(QStringLiteral("historyRow"))
                             : QList<QAbstractButton*>{};
}

void HistoryPopover::rebuild() {
    // The row with the keyboard is made anew: the keyboard goes to the new one.
    QVariant focused;
    for (QAbstractButton* row : rows())
        if (row->hasFocus()) focused = row->property(kEntryId);
    const auto& entries = app_.history().entries();
    clear_->setVisible(!entries.isEmpty());
    empty_->setVisible(entries.isEmpty());
    scroll_->setVisible(!entries.isEmpty());
    auto* list = new QWidget;
    auto* column = new QVBoxLayout(list);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(1);
    for (const ResponseHistoryEntry& entry : entries) column->addWidget(makeRow(entry, list));
    column->addStretch(1);
    HTTPStyle::setScrolled(scroll_, list);  // the history may change from inside one of its rows' clicks
    scroll_->setFixedHeight(std::min(kListMaxHeight, list->sizeHint().height()));
    adjustSize();
    if (focused.isValid())
        for (QAbstractButton* row : rows())
            if (row->property(kEntryId) == focused) row->setFocus(Qt::OtherFocusReason);
}

QAbstractButton* HistoryPopover::makeRow(const ResponseHistoryEntry& entry, QWidget* parent) {
    auto* row = new RowButton(parent);
    row->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);  // as wide as the list, however long its texts
    row->setObjectName(QStringLiteral("historyRow"));
    row->setCursor(Qt::PointingHandCursor);
    // The outline shows where the keyboard is: the style sheet takes the platform's focus frame away.
    const QColor ring = Brand::accent().lighter(135);
    row->setStyleSheet(QStringLiteral("#historyRow { background: rgba(255,255,255,10); border: 2px solid transparent;"
                                      " border-radius: 6px; }"
                                      " #historyRow:hover { background: rgba(255,255,255,20); }"
                                      " #historyRow:focus { border-color: %1; }")
                           .arg(ring.name()));
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(8, 6, 8, 6);
    line->setSpacing(8);
    line->addWidget(new Dot(ResponseView::statusColor(entry.status), row));
    auto* status = passive(HTTPStyle::label(StatusPill::codeText(entry.status),
                                            HTTPStyle::font(10, QFont::Bold, HTTPStyle::Design::monospaced), white(0.9), row));
    status->setObjectName(QStringLiteral("status"));
    status->setFixedWidth(28);
    line->addWidget(status);
    line->addWidget(new MethodBadge(entry.method, 9, 42, 1, row));
    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    const QFont nameFont = HTTPStyle::font(11.5, QFont::Medium, HTTPStyle::Design::rounded);
    const QFont urlFont = HTTPStyle::font(10, QFont::Normal, HTTPStyle::Design::monospaced);
    auto* name = passive(new ElidedText(entry.requestName, nameFont, white(0.9), Qt::ElideRight, row));
    name->setObjectName(QStringLiteral("name"));
    auto* url = passive(new ElidedText(entry.url, urlFont, white(0.45), Qt::ElideMiddle, row));
    url->setObjectName(QStringLiteral("url"));
    texts->addWidget(name);
    texts->addWidget(url);
    line->addLayout(texts, 1);
    auto* right = new QVBoxLayout;
    right->setSpacing(1);
    const QFont small = HTTPStyle::font(9.5, QFont::Normal, HTTPStyle::Design::monospaced);
    auto* time = passive(HTTPStyle::label(timeText(entry.timestamp), small, white(0.5), row));
    time->setAlignment(Qt::AlignRight);
    auto* duration = passive(HTTPStyle::label(durationText(entry.duration), small, white(0.35), row));
    duration->setObjectName(QStringLiteral("duration"));
    duration->setAlignment(Qt::AlignRight);
    right->addWidget(time);
    right->addWidget(duration);
    line->addLayout(right);
    row->setToolTip(entry.url);
    const QUuid id = entry.id;
    row->setProperty(kEntryId, id);
    connect(row, &QAbstractButton::clicked, this, [this, id] {
        app_.replay(id);
        close();
    });
    return row;
}
