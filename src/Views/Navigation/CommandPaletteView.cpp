#include "Views/Navigation/CommandPaletteView.h"

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
      list_(new OverlayList(kListMaxHeight, 2)), selection_(list_),
      scaffold_(OverlayParts::card(this, keys_, field_, {list_}, [this] { close(); })) {
    keys_->setActions([this](int step) { move(step); }, [this] { enter(); }, [this] { close(); });
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
                 if (EditorDocument* document = app->activeDocument()) app->save(document, true);
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
    selection_.reset();
    rebuildRows();
}

void CommandPaletteView::enter() {
    if (const int index = selection_.chosen(); index >= 0) run(shown_[index]);
}

void CommandPaletteView::close() {
    OverlayParts::markDismissed(this);
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
    QList<PaletteRow*> rows;
    for (const PaletteCommand& command : std::as_const(shown_))
        rows.append(new PaletteRow(command.icon, command.title, command.subtitle, false));
    selection_.setRows(rows, this, [this](int index) { run(shown_[index]); });
}

void CommandPaletteView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    field_->setFocused(true);
}
