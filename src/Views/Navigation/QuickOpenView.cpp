#include "Views/Navigation/QuickOpenView.h"

#include <QFileInfo>
#include <QLabel>
#include <QVBoxLayout>

#include "AppState.h"
#include "Views/KeyCatcher.h"
#include "Views/Navigation/FolderPaths.h"
#include "Views/Navigation/FuzzyMatch.h"
#include "Views/Navigation/OverlayList.h"
#include "Views/Navigation/OverlayParts.h"
#include "Views/Navigation/QuickOpenRow.h"
#include "Views/PaletteField.h"
#include "Views/PaletteScaffold.h"

QuickOpenView::QuickOpenView(AppState& app, QWidget* parent)
    : QWidget(parent), app_(&app), keys_(new KeyCatcher(this)),
      field_(new PaletteField(QStringLiteral("magnifyingglass"), QStringLiteral("Go to file…"))),
      list_(new OverlayList(kListMaxHeight, 2)) {
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(field_);
    column->addWidget(OverlayParts::divider(content));
    noFolder_ = OverlayParts::message(QStringLiteral("Open a folder first (Ctrl+Shift+O)"), 28, content);
    column->addWidget(noFolder_);
    column->addWidget(list_);
    scaffold_ = new PaletteScaffold([this] { close(); }, content, this);
    OverlayParts::stack(this, keys_, scaffold_);

    keys_->setActions([this](int step) { move(step); }, [this] { enter(); }, [this] { close(); });
    keys_->catchFrom(field_->lineEdit());
    connect(field_, &PaletteField::textEdited, this, &QuickOpenView::setQuery);
    rebuildRows();
}

QStringList QuickOpenView::results(const QString& query, const QStringList& files) {
    if (query.isEmpty()) return files.mid(0, kMaxResults);
    QStringList out;
    for (const QString& file : files) {
        if (fuzzyMatch(query, QFileInfo(file).fileName())) out.append(file);
        if (out.size() == kMaxResults) break;
    }
    return out;
}

void QuickOpenView::setQuery(const QString& query) {
    query_ = query;
    field_->setText(query);
    selection_ = 0;
    rebuildRows();
}

QList<QuickOpenRow*> QuickOpenView::rows() const {
    QList<QuickOpenRow*> out;
    for (QWidget* row : list_->rows()) out.append(static_cast<QuickOpenRow*>(row));
    return out;
}

void QuickOpenView::move(int step) {
    const auto count = int(shown_.size());
    if (count == 0) return;
    select(((selection_ + step) % count + count) % count);
}

void QuickOpenView::enter() {
    if (selection_ >= 0 && selection_ < shown_.size()) choose(shown_[selection_]);
}

void QuickOpenView::close() {
    if (app_) app_->setQuickOpenOpen(false);
}

void QuickOpenView::choose(const QString& path) {
    // Copies: closing may take this view down.
    const QPointer<AppState> app = app_;
    const QString file = path;
    if (!app) return;
    app->setQuickOpenOpen(false);
    if (app) app->open(file);
}

void QuickOpenView::rebuildRows() {
    const bool hasFolder = app_ && app_->rootNode();
    noFolder_->setVisible(!hasFolder);
    list_->setVisible(hasFolder);
    shown_ = results();
    const QString folder = hasFolder ? app_->rootNode()->url() : QString();
    QList<QWidget*> rows;
    for (qsizetype i = 0; i < shown_.size(); ++i) {
        const QString& path = shown_[i];
        auto* row = new QuickOpenRow(path, hasFolder ? FolderPaths::insideFolder(path, folder) : path, i == selection_);
        const int index = int(i);
        connect(row, &QuickOpenRow::clicked, this, [this, index] {
            if (index < shown_.size()) choose(shown_[index]);
        });
        connect(row, &QuickOpenRow::hovered, this, [this, index] { select(index); });
        rows.append(row);
    }
    list_->setRows(rows);
}

void QuickOpenView::select(int index) {
    selection_ = index;
    const QList<QuickOpenRow*> all = rows();
    for (qsizetype i = 0; i < all.size(); ++i) all[i]->setSelected(i == selection_);
    if (selection_ >= 0 && selection_ < all.size()) list_->reveal(all[selection_]);
}

void QuickOpenView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    field_->setFocused(true);
    if (!appeared_) {
        // One snapshot per opening: files made while the overlay is up wait for the next one.
        appeared_ = true;
        allFiles_ = app_ ? app_->quickOpenFiles() : QStringList();
        rebuildRows();
    }
}
