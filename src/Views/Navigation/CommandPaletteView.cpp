#include "Views/Navigation/CommandPaletteView.h"

#include <QVBoxLayout>

#include "AppState.h"
#include "Views/KeyCatcher.h"
#include "Views/Navigation/OverlayList.h"
#include "Views/Navigation/OverlayParts.h"
#include "Views/Navigation/SearchText.h"
#include "Views/PaletteField.h"
#include "Views/PaletteRow.h"
#include "Views/PaletteScaffold.h"

CommandPaletteView::CommandPaletteView(AppState& app, QWidget* parent)
    : QWidget(parent), app_(&app), keys_(new KeyCatcher(this)),
      field_(new PaletteField(QStringLiteral("command"), QStringLiteral("Type a command…"))),
      list_(new OverlayList(kListMaxHeight, 2)) {
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(field_);
    column->addWidget(OverlayParts::divider(content));
    column->addWidget(list_);
    scaffold_ = new PaletteScaffold([this] { close(); }, content, this);
    OverlayParts::stack(this, keys_, scaffold_);

    keys_->setActions([this](int step) { move(step); }, [this] { enter(); }, [this] { close(); });
    keys_->catchFrom(field_->lineEdit());
    connect(field_, &PaletteField::textEdited, this, &CommandPaletteView::setQuery);
    rebuildRows();
}

QList<PaletteCommand> CommandPaletteView::commands() const {
    AppState* app = app_.data();
    const auto make = [](const char* title, const char* subtitle, const char* icon, std::function<void()> run) {
        return PaletteCommand{QUuid::createUuid(), QString::fromUtf8(title), QString::fromUtf8(subtitle),
                              QString::fromUtf8(icon), std::move(run)};
    };
    return {
        make("New File", "Ctrl+N", "doc.badge.plus", [app] { app->newUntitled(); }),
        make("Open Folder…", "Ctrl+Shift+O", "folder.badge.plus", [app] { app->promptOpenFolder(); }),
        make("Quick Open File", "Ctrl+P", "magnifyingglass", [app] { app->setQuickOpenOpen(true); }),
        make("Save", "Ctrl+S", "square.and.arrow.down",
             [app] {
                 if (EditorDocument* document = app->activeDocument()) app->save(document);
             }),
        make("Close Tab", "Ctrl+W", "xmark.square",
             [app] {
                 if (EditorDocument* document = app->activeDocument()) app->close(document);
             }),
        make("Find in File", "Ctrl+F", "text.magnifyingglass", [app] { app->setFindOpen(true); }),
    };
}

QList<PaletteCommand> CommandPaletteView::filtered() const {
    QList<PaletteCommand> all = commands();
    if (query_.isEmpty()) return all;
    QList<PaletteCommand> out;
    for (PaletteCommand& command : all)
        if (SearchText::containsIgnoringCase(command.title, query_)) out.append(std::move(command));
    return out;
}

void CommandPaletteView::setQuery(const QString& query) {
    query_ = query;
    field_->setText(query);
    selection_ = 0;
    rebuildRows();
}

QList<PaletteRow*> CommandPaletteView::rows() const {
    QList<PaletteRow*> out;
    for (QWidget* row : list_->rows()) out.append(static_cast<PaletteRow*>(row));
    return out;
}

void CommandPaletteView::move(int step) {
    const auto count = int(shown_.size());
    if (count == 0) return;
    // Round at both ends; a step of any size stays in range.
    select(((selection_ + step) % count + count) % count);
}

void CommandPaletteView::enter() {
    if (selection_ >= 0 && selection_ < shown_.size()) run(shown_[selection_]);
}

void CommandPaletteView::close() {
    if (app_) app_->setPaletteOpen(false);
}

void CommandPaletteView::run(const PaletteCommand& command) {
    AppState* app = app_.data();
    if (!app) return;
    const std::function<void()> action = command.run;
    app->setPaletteOpen(false);
    // Runs after the palette is down, and not at all should the window's state be gone by then.
    if (action) QMetaObject::invokeMethod(app, action, Qt::QueuedConnection);
}

void CommandPaletteView::rebuildRows() {
    shown_ = filtered();
    QList<QWidget*> rows;
    for (qsizetype i = 0; i < shown_.size(); ++i) {
        const PaletteCommand& command = shown_[i];
        auto* row = new PaletteRow(command.icon, command.title, command.subtitle, i == selection_);
        const int index = int(i);
        connect(row, &PaletteRow::clicked, this, [this, index] {
            if (index < shown_.size()) run(shown_[index]);
        });
        connect(row, &PaletteRow::hovered, this, [this, index] { select(index); });
        rows.append(row);
    }
    list_->setRows(rows);
}

void CommandPaletteView::select(int index) {
    selection_ = index;
    const QList<PaletteRow*> all = rows();
    for (qsizetype i = 0; i < all.size(); ++i) all[i]->setSelected(i == selection_);
    if (selection_ >= 0 && selection_ < all.size()) list_->reveal(all[selection_]);
}

void CommandPaletteView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    field_->setFocused(true);
}
