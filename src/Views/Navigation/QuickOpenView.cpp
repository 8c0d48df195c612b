#include "Views/Navigation/QuickOpenView.h"

#include <QFileInfo>
#include <QLabel>

#include "AppState.h"
#include "Editor/CodeLanguage.h"
#include "Git/ProcessText.h"
#include "Views/KeyCatcher.h"
#include "Views/Navigation/FileSnapshot.h"
#include "Views/Navigation/FolderPaths.h"
#include "Views/Navigation/OverlayList.h"
#include "Views/Navigation/OverlayParts.h"
#include "Views/PaletteField.h"
#include "Views/PaletteRow.h"
#include "Views/PaletteScaffold.h"

QuickOpenView::QuickOpenView(AppState& app, QWidget* parent)
    : QWidget(parent), app_(&app), keys_(new KeyCatcher(this)),
      field_(new PaletteField(QStringLiteral("magnifyingglass"), QStringLiteral("Go to file…"))),
      list_(new OverlayList(kListMaxHeight, 2)), selection_(list_),
      noFolder_(OverlayParts::message(QStringLiteral("Open a folder first (Ctrl+Shift+O)"), 28)),
      scaffold_(OverlayParts::card(this, keys_, field_, {noFolder_, list_}, [this] { close(); })) {
    keys_->setActions([this](int step) { move(step); }, [this] { enter(); }, [this] { close(); });
    connect(field_, &PaletteField::textEdited, this, &QuickOpenView::setQuery);
    rebuildRows();
}

namespace {
QStringList pick(const QStringList& files, const QList<qsizetype>& indices) {
    QStringList out;
    out.reserve(indices.size());
    for (const qsizetype i : indices) out.append(files[i]);
    return out;
}
} // namespace

QStringList QuickOpenView::results(const QString& query, const QStringList& files) {
    FuzzyNames names(FileSnapshot::fileNames(files));
    return pick(files, names.filter(query, kMaxResults));
}

void QuickOpenView::setQuery(const QString& query) {
    query_ = query;
    field_->setText(query);
    selection_.reset();
    rebuildRows();
}

void QuickOpenView::enter() {
    if (const int index = selection_.chosen(); index >= 0) choose(shown_[index]);
}

void QuickOpenView::close() {
    OverlayParts::markDismissed(this);
    if (app_) app_->setQuickOpenOpen(false);
}

void QuickOpenView::choose(const QString& path) {
    // Copies: closing may take this view down.
    const QPointer<AppState> app = app_;
    const QString file = path;
    if (!app) return;
    OverlayParts::returnFocusToEditor(this);
    app->setQuickOpenOpen(false);
    if (app) app->open(file);
}

void QuickOpenView::rebuildRows() {
    const bool hasFolder = app_ && app_->rootNode();
    noFolder_->setVisible(!hasFolder);
    list_->setVisible(hasFolder);
    shown_ = pick(allFiles_, names_.filter(query_, kMaxResults));
    const QString folder = hasFolder ? app_->rootNode()->url() : QString();
    QList<PaletteRow*> rows;
    for (const QString& path : std::as_const(shown_)) {
        const QString name = QFileInfo(path).fileName();
        const CodeLanguage language = CodeLanguages::detect(name);
        // Drawn on one line whatever the name holds (a line break, a tab).
        rows.append(new PaletteRow(CodeLanguages::icon(language), CodeLanguages::tint(language),
                                   ProcessText::visibleName(name),
                                   ProcessText::visibleName(hasFolder ? FolderPaths::insideFolder(path, folder) : path),
                                   false));
    }
    selection_.setRows(rows, this, [this](int index) { choose(shown_[index]); });
}

void QuickOpenView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    field_->setFocused(true);
    if (!appeared_) {
        // One snapshot per opening: files made while the overlay is up wait for the next one.
        // Names are made ready with it, once, rather than on every keystroke.
        appeared_ = true;
        const QString folder = app_ && app_->rootNode() ? app_->rootNode()->url() : QString();
        auto* snapshot = new FileSnapshot(folder, kListingWaitMs, this);
        const auto take = [this, snapshot] {
            listed_ = true;
            allFiles_ = snapshot->contents().files;
            names_ = snapshot->contents().names;
            rebuildRows();
        };
        if (snapshot->isReady()) take();
        else connect(snapshot, &FileSnapshot::ready, this, take);
    }
}
