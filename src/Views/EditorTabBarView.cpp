#include "Views/EditorTabBarView.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QCoreApplication>
#include <QScrollBar>
#include <QWheelEvent>
#include <cstdlib>

#include "AppState.h"
#include "Views/TabChip.h"

qint64 EditorTabBarView::placedChips = 0;
qint64 EditorTabBarView::visitedChips = 0;

EditorTabBarView::EditorTabBarView(AppState* app, QWidget* parent)
    : QScrollArea(parent), app_(app), strip_(new QWidget), row_(new QHBoxLayout(strip_)) {
    setFixedHeight(kHeight);
    setFrameShape(QFrame::NoFrame);
    // Tab goes past the strip to the editor; Ctrl+Tab moves between the documents.
    setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(true);
    row_->setContentsMargins(8, 0, 8, 0);
    row_->setSpacing(2);
    row_->addStretch(1);
    setWidget(strip_);
    // The bar is see-through: its own tint over the window's backdrop.
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    strip_->setAutoFillBackground(false);

    if (app_) {
        connect(app_, &AppState::documentsChanged, this, &EditorTabBarView::refresh);
        connect(app_, &AppState::activeDocumentIdChanged, this, &EditorTabBarView::refresh);
    }
    refresh();
}

QList<TabChip*> EditorTabBarView::chips() const {
    QList<TabChip*> out;
    for (int i = 0; i < row_->count(); ++i)
        if (auto* chip = qobject_cast<TabChip*>(row_->itemAt(i)->widget())) out.append(chip);
    return out;
}

void EditorTabBarView::refresh() {
    if (!app_) return;
    const QList<EditorDocument*>& documents = app_->documents();
    QHash<QUuid, TabChip*> kept;
    QList<TabChip*> ordered;
    for (EditorDocument* doc : documents) {
        ++visitedChips;
        TabChip* chip = chips_.take(doc->id());
        if (!chip) chip = new TabChip(doc, app_, strip_);
        kept.insert(doc->id(), chip);
        ordered.append(chip);
    }
    // Chips of closed documents may be in the middle of their own click handler: let them go later.
    for (TabChip* gone : std::as_const(chips_)) {
        row_->removeWidget(gone);
        gone->hide();
        gone->deleteLater();
    }
    chips_ = kept;
    // Only a chip out of its place moves: switching tabs or closing one moves none, so the work
    // does not grow with the number of tabs.
    for (qsizetype i = 0; i < ordered.size(); ++i) {
        const QLayoutItem* item = row_->itemAt(int(i));
        if (item && item->widget() == ordered[i]) continue;
        row_->removeWidget(ordered[i]);
        row_->insertWidget(int(i), ordered[i], 0, Qt::AlignVCenter);
        ++placedChips;
        ordered[i]->show();
    }
    const auto& active = app_->activeDocumentId();
    for (TabChip* chip : ordered) chip->setActive(active && chip->document() && chip->document()->id() == *active);
    // Once the strip has taken its new width, which happens when its layout runs.
    QMetaObject::invokeMethod(this, &EditorTabBarView::revealActive, Qt::QueuedConnection);
}

void EditorTabBarView::revealActive() {
    if (!app_ || !app_->activeDocumentId()) return;
    TabChip* chip = chips_.value(*app_->activeDocumentId());
    if (!chip) return;
    QCoreApplication::sendPostedEvents(strip_, QEvent::LayoutRequest);
    QCoreApplication::sendPostedEvents(viewport(), QEvent::LayoutRequest);
    QCoreApplication::sendPostedEvents(this, QEvent::LayoutRequest);
    ensureWidgetVisible(chip, row_->contentsMargins().left(), 0);
}

void EditorTabBarView::wheelEvent(QWheelEvent* event) {
    // The strip only moves sideways: a plain mouse's vertical wheel moves it too, down to the right.
    const QPoint pixels = event->pixelDelta();
    const QPoint angle = event->angleDelta();
    const auto along = [](QPoint d) { return std::abs(d.x()) >= std::abs(d.y()) ? d.x() : d.y(); };
    const int step = !pixels.isNull() ? along(pixels) : along(angle) * kWheelPixelsPerNotch / 120;
    if (step == 0) {
        event->ignore();
        return;
    }
    QScrollBar* bar = horizontalScrollBar();
    bar->setValue(bar->value() - step);
    event->accept();
}

// Chips are only laid out once the bar shows: tabs opened before (a restored session) are placed
// when it first takes its size.
void EditorTabBarView::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    QMetaObject::invokeMethod(this, &EditorTabBarView::revealActive, Qt::QueuedConnection);
}

void EditorTabBarView::paintEvent(QPaintEvent* event) {
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), QColor::fromRgbF(0, 0, 0, 0.3f));
    QScrollArea::paintEvent(event);
}
