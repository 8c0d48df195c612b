#include "Views/SourceControl/ChangeListView.h"

#include <QApplication>
#include <QCursor>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QToolTip>

#include "AppState.h"
#include "Platform/Prompter.h"
#include "Views/SourceControl/ChangeRowDelegate.h"
#include "Views/SourceControl/SourceControlParts.h"

ChangeListView::ChangeListView(AppState& app, QWidget* parent)
    : QListView(parent), app_(&app), model_(this), delegate_(new ChangeRowDelegate(this)) {
    SourceControlParts::setUpRowList(*this, model_, delegate_);
    // Rows are measured a batch per turn of the event loop: tens of thousands of changes
    // appearing at once fill the list over several turns rather than holding one.
    setLayoutMode(QListView::Batched);
    setBatchSize(kRowsPerBatch);
    // 10 points above and below the lists; each row keeps half the gap on either side.
    setViewportMargins(0, 10 - ChangeRowDelegate::kGap / 2, 0, 10 - ChangeRowDelegate::kGap / 2);
    connect(&app, &AppState::activeDiffChanged, this, &ChangeListView::syncDelegate);
    syncDelegate();
}

void ChangeListView::setChanges(const QList<GitFileChange>& changes) {
    // The keyboard stays on the same change when it is still listed.
    const GitFileChange* current = model_.change(currentIndex().row());
    const std::optional<std::pair<ChangeListModel::Section, QString>> kept =
        current ? std::optional(std::pair(model_.section(currentIndex().row()), current->path)) : std::nullopt;
    // A new list is laid out a batch at a time from the top, which would leave the view wherever
    // the first batch ends: the change the user was looking at is brought back once it is placed.
    const std::optional<Anchor> top = topChange();
    if (!model_.setChanges(changes)) return;
    anchor_ = top;
    placeHeaders();
    hoverAgain();
    if (kept) {
        const int row = model_.rowOf(kept->first, kept->second);
        if (row >= 0) setCurrentIndex(model_.index(row));
    }
}

void ChangeListView::setHeader(ChangeListModel::Section section, QWidget* header) {
    header->setParent(viewport());
    headers_[size_t(section)] = header;
    placeHeaders();
}

void ChangeListView::placeHeaders() {
    for (size_t i = 0; i < headers_.size(); ++i) {
        QWidget* header = headers_[i];
        if (!header) continue;
        const int row = model_.headerRow(ChangeListModel::Section(i));
        // A section emptied by its own button (Stage All, Discard All) takes the keyboard with it:
        // it goes to where the panel sends it rather than wherever the window's order leads.
        if (row < 0 && header->isAncestorOf(QApplication::focusWidget()) && focusHome_)
            focusHome_->setFocus(Qt::OtherFocusReason);
        // Out of view it is simply clipped by the viewport.
        header->setVisible(row >= 0);
        if (row >= 0) header->setGeometry(ChangeRowDelegate::box(visualRect(model_.index(row))));
    }
}

std::optional<ChangeListView::Anchor> ChangeListView::topChange() const {
    if (verticalScrollBar()->value() == 0) return std::nullopt;  // the top stays the top by itself
    if (anchor_) return anchor_;  // still being brought back
    // The first change row in view, its header's row standing in for none.
    for (int y = 0; y < viewport()->height(); y += ChangeRowDelegate::kGap) {
        const QModelIndex index = indexAt(QPoint(viewport()->width() / 2, y));
        const GitFileChange* change = model_.change(index.row());
        if (!change) continue;
        return Anchor{model_.section(index.row()), change->path, index.row(), visualRect(index).top(),
                      verticalScrollBar()->value()};
    }
    return std::nullopt;
}

void ChangeListView::keepAnchor() {
    if (!anchor_) return;
    int row = model_.rowOf(anchor_->section, anchor_->path);
    if (row < 0) row = std::min(anchor_->row, model_.rowCount() - 1);  // gone: about where it was
    if (row < 0) {
        anchor_.reset();
        return;
    }
    const QRect placed = visualRect(model_.index(row));
    QScrollBar* bar = verticalScrollBar();
    if (!placed.isValid()) {
        // Not laid out yet: hold the place rather than show rows from elsewhere meanwhile.
        bar->setRange(0, std::max(bar->maximum(), anchor_->scroll));
        bar->setValue(anchor_->scroll);
        return;
    }
    const Anchor anchor = *std::exchange(anchor_, std::nullopt);
    bar->setValue(bar->value() + placed.top() - anchor.offset);
    hoverAgain();
}

void ChangeListView::hoverAgain() {
    // A new list forgets the row under the pointer; a pointer at rest would not tell it again
    // until it moved, and the row's actions would give way to its badge meanwhile.
    const QPoint global = QCursor::pos();
    if (!isVisible() || QApplication::widgetAt(global) != viewport()) return;
    const QPointF at = viewport()->mapFromGlobal(global);
    QHoverEvent move(QEvent::HoverMove, at, global, at);
    QCoreApplication::sendEvent(viewport(), &move);
}

void ChangeListView::updateGeometries() {
    QListView::updateGeometries();
    keepAnchor();
    placeHeaders();
}

void ChangeListView::scrollContentsBy(int dx, int dy) {
    QListView::scrollContentsBy(dx, dy);
    placeHeaders();
}

void ChangeListView::syncDelegate() {
    ChangeRowDelegate::State state;
    if (hasFocus() && model_.change(currentIndex().row())) {
        state.keyboardRow = currentIndex().row();
        state.keyboardAction = keyboardAction_;
    }
    if (app_ && app_->activeDiff()) {
        state.hasActive = true;
        state.activePath = app_->activeDiff()->path;
    }
    delegate_->setState(state);
    viewport()->update();
}

QRect ChangeListView::rowRect(int row) const { return visualRect(model_.index(row)); }

QRect ChangeListView::actionRect(int row, const QString& help) const {
    const qsizetype i = ChangeRowDelegate::actions(model_.isStagedRow(row)).indexOf(help);
    if (i < 0 || !model_.change(row)) return {};
    return ChangeRowDelegate::actionRects(rowRect(row), model_.isStagedRow(row)).at(i);
}

QString ChangeListView::actionAt(const QPoint& point, int* rowOut) const {
    const int row = indexAt(point).row();
    if (rowOut) *rowOut = row;
    if (!model_.change(row)) return {};
    const QStringList helps = ChangeRowDelegate::actions(model_.isStagedRow(row));
    const QList<QRect> rects = ChangeRowDelegate::actionRects(rowRect(row), model_.isStagedRow(row));
    for (qsizetype i = 0; i < helps.size(); ++i)
        if (rects.at(i).contains(point)) return helps.at(i);
    return {};
}

void ChangeListView::trigger(int row, const QString& help) {
    const GitFileChange* found = model_.change(row);
    if (!found || !app_) return;
    const GitFileChange change = *found;  // the model may be reset before the command ends
    const auto report = [handler = onResult_](bool ok) {
        if (handler) handler(ok);
    };
    GitService& git = app_->git();
    if (help == QLatin1String("Unstage")) {
        git.unstage(change, {&git, report});
    } else if (help == QLatin1String("Stage")) {
        git.stage(change, {&git, report});
    } else if (help == QLatin1String("Discard")) {
        // Nothing brings a discarded change back, so ask first.
        Alert alert;
        alert.title = QStringLiteral("Discard changes in “%1”?").arg(ChangeRowDelegate::fileName(change));
        alert.message = change.isUntracked() ? QStringLiteral("The untracked file will be deleted.")
                                             : QStringLiteral("Your changes to this file will be lost.");
        alert.buttons = {QStringLiteral("Discard"), QStringLiteral("Cancel")};
        alert.warning = true;
        if (Prompter::current().ask(alert) != 0 || !app_) return;
        app_->git().discard(change, {&app_->git(), report});
    }
}

void ChangeListView::mouseReleaseEvent(QMouseEvent* event) {
    QListView::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !app_) return;
    int row = -1;
    const QString action = actionAt(event->position().toPoint(), &row);
    if (!action.isEmpty()) trigger(row, action);
    else if (const GitFileChange* change = model_.change(row)) app_->setActiveDiff(*change);
}

bool ChangeListView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString action = actionAt(help->pos());
        if (action.isEmpty()) QToolTip::hideText();
        else QToolTip::showText(help->globalPos(), action, viewport());
        return true;
    }
    return QListView::viewportEvent(event);
}

void ChangeListView::moveCurrent(int step) {
    int row = currentIndex().isValid() ? currentIndex().row() + step : (step > 0 ? 0 : model_.rowCount() - 1);
    while (row >= 0 && row < model_.rowCount() && !model_.change(row)) row += step;  // headers are passed over
    if (row >= 0 && row < model_.rowCount()) {
        setCurrentIndex(model_.index(row));
        scrollTo(currentIndex());
    }
}

void ChangeListView::keyPressEvent(QKeyEvent* event) {
    const int row = currentIndex().row();
    const int actionCount = model_.change(row) ? int(ChangeRowDelegate::actions(model_.isStagedRow(row)).size()) : 0;
    switch (event->key()) {
    case Qt::Key_Up: moveCurrent(-1); return;
    case Qt::Key_Down: moveCurrent(1); return;
    case Qt::Key_Left:
        keyboardAction_ = std::max(-1, keyboardAction_ - 1);
        syncDelegate();
        return;
    case Qt::Key_Right:
        keyboardAction_ = std::min(actionCount - 1, keyboardAction_ + 1);
        syncDelegate();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (keyboardAction_ >= 0 && keyboardAction_ < actionCount)
            trigger(row, ChangeRowDelegate::actions(model_.isStagedRow(row)).at(keyboardAction_));
        else if (const GitFileChange* change = model_.change(row); change && app_) app_->setActiveDiff(*change);
        return;
    default: QListView::keyPressEvent(event);
    }
}

void ChangeListView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QListView::currentChanged(current, previous);
    keyboardAction_ = -1;
    syncDelegate();
}

void ChangeListView::focusInEvent(QFocusEvent* event) {
    QListView::focusInEvent(event);
    if (!model_.change(currentIndex().row())) moveCurrent(1);
    syncDelegate();
}

void ChangeListView::focusOutEvent(QFocusEvent* event) {
    QListView::focusOutEvent(event);
    syncDelegate();
}
