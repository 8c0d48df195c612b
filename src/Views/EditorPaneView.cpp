#include "Views/EditorPaneView.h"

#include "Views/HTTP/RequestView.h"
#include "Views/SourceControl/DiffView.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "AppState.h"
#include "UI/LogoMark.h"
#include "UI/ShimmerText.h"
#include "Views/Editor/CodeEditorCoordinator.h"
#include "Views/Editor/CodeEditorView.h"

namespace {
QString keys(QKeyCombination combination) {
    return QKeySequence(combination).toString(QKeySequence::NativeText);
}

// --- Seams: where the request editor and the diff view are made.

QWidget* makeRequestView(AppState& app, const APICollectionFile& file, const HTTPRequest& request, QWidget* parent) {
    return new RequestView(app, file, request, parent);
}

QWidget* makeDiffView(AppState& app, const GitFileChange& change, QWidget* parent) {
    return new DiffView(app, change, parent);
}
} // namespace

qint64 EditorPaneView::builtEditors = 0;

EditorPaneView::Subject EditorPaneView::subjectFor(AppState& app) {
    if (app.hasActiveRequest()) return {Kind::request, app.activeRequest()->request.id.toString()};
    if (const auto& diff = app.activeDiff()) return {Kind::diff, diff->path};
    if (EditorDocument* doc = app.activeDocument()) return {Kind::document, doc->id().toString()};
    return {Kind::empty, QString()};
}

const QList<std::pair<QString, QString>>& EditorPaneView::shortcutHints() {
    static const QList<std::pair<QString, QString>> hints{
        {keys(Qt::CTRL | Qt::Key_P), QStringLiteral("Quick-open a file")},
        {keys(Qt::CTRL | Qt::Key_K), QStringLiteral("Command palette")},
        {keys(Qt::CTRL | Qt::Key_N), QStringLiteral("New file")},
        {keys(Qt::CTRL | Qt::SHIFT | Qt::Key_O), QStringLiteral("Open a folder")},
    };
    return hints;
}

EditorPaneView::EditorPaneView(AppState* app, QWidget* parent) : QWidget(parent), app_(app) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (app_) {
        for (auto signal : {&AppState::documentsChanged, &AppState::activeDocumentIdChanged, &AppState::activeDiffChanged,
                            &AppState::activeRequestChanged, &AppState::overlaysChanged})
            connect(app_, signal, this, &EditorPaneView::refresh);
    }
    subject_ = app_ ? subjectFor(*app_) : Subject{};
    content_ = build(subject_);
    refresh();
}

CodeEditorView* EditorPaneView::editor() const { return qobject_cast<CodeEditorView*>(content_.data()); }

void EditorPaneView::refresh() {
    if (!app_) return;
    const Subject now = subjectFor(*app_);
    if (now != subject_ || !content_) {
        // The window's focus: this pane's own last one stays behind when the keys go to an overlay.
        QWidget* keys = window()->focusWidget();
        const bool hadFocus = content_ && (content_ == keys || content_->isAncestorOf(keys));
        retire(content_);
        subject_ = now;
        content_ = build(now);
        content_->setGeometry(rect());
        content_->show();
        if (hadFocus || (now.kind == Kind::document && !typingElsewhere())) content_->setFocus(Qt::OtherFocusReason);
    }
    if (CodeEditorView* view = editor(); view && view->showFind() != app_->findOpen()) view->setShowFind(app_->findOpen());
}

bool EditorPaneView::typingElsewhere() const {
    // A document opened from the explorer, quick open or the session is for typing into; a text
    // field that stays open beside it (the find bar's) keeps the keys.
    const QWidget* focus = window()->focusWidget();
    return focus && !isAncestorOf(focus) && focus->isVisible() && focus->isEnabled() &&
           focus->testAttribute(Qt::WA_InputMethodEnabled);
}

void EditorPaneView::retire(QWidget* old) {
    if (!old) return;
    if (auto* view = qobject_cast<CodeEditorView*>(old); view && app_) {
        // Commands must not reach an editor that is on its way out.
        if (app_->editorController().actions() == static_cast<EditorActions*>(view->coordinator()))
            app_->editorController().clearActions();
        if (app_->findState().engine() == static_cast<FindEngine*>(view->coordinator())) app_->findState().clearEngine();
    }
    old->hide();
    old->deleteLater();  // it may be the receiver of the event being handled
}

QWidget* EditorPaneView::build(const Subject& subject) {
    switch (subject.kind) {
    case Kind::document:
        if (EditorDocument* doc = app_ ? app_->activeDocument() : nullptr) {
            ++builtEditors;
            auto* view = new CodeEditorView(doc, &app_->findState(), &app_->editorController(), this);
            view->setShowFind(app_->findOpen());
            return view;
        }
        break;
    case Kind::request:
        if (app_ && app_->activeRequest())
            return makeRequestView(*app_, app_->activeRequest()->file, app_->activeRequest()->request, this);
        break;
    case Kind::diff:
        if (app_ && app_->activeDiff()) return makeDiffView(*app_, *app_->activeDiff(), this);
        break;
    case Kind::empty: break;
    }
    return emptyState();
}

QWidget* EditorPaneView::emptyState() {
    auto* state = new QWidget(this);
    auto* column = new QVBoxLayout(state);
    column->setSpacing(18);
    column->addStretch(1);

    auto* logo = new LogoMark(64, state);
    auto* fade = new QGraphicsOpacityEffect(logo);
    fade->setOpacity(0.9);
    logo->setGraphicsEffect(fade);
    column->addWidget(logo, 0, Qt::AlignHCenter);
    column->addWidget(new ShimmerText(QStringLiteral("Duzizoda Voza"), 30, QFont::Bold, ShimmerText::Design::rounded, state),
                      0, Qt::AlignHCenter);

    auto* hints = new QVBoxLayout;
    hints->setSpacing(8);
    hints->setContentsMargins(0, 6, 0, 0);
    QList<QWidget*> rows;
    int badgeWidth = 0;
    for (const auto& [keys, label] : shortcutHints()) {
        rows.append(shortcut(keys, label));
        badgeWidth = std::max(badgeWidth, rows.back()->findChild<QLabel*>(QStringLiteral("keys"))->sizeHint().width());
    }
    // Key texts here are longer than symbol glyphs: one badge width keeps the labels in a column.
    for (QWidget* row : rows) {
        row->findChild<QLabel*>(QStringLiteral("keys"))->setFixedWidth(badgeWidth);
        hints->addWidget(row, 0, Qt::AlignHCenter);
    }
    column->addLayout(hints);
    column->addStretch(1);
    return state;
}

QWidget* EditorPaneView::shortcut(const QString& keys, const QString& label) {
    auto* row = new QWidget;
    row->setFixedWidth(240);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(12);

    auto* badge = new QLabel(keys, row);
    badge->setObjectName(QStringLiteral("keys"));
    badge->setFont(ShimmerText::font(12, QFont::DemiBold, ShimmerText::Design::rounded));
    badge->setAlignment(Qt::AlignCenter);
    badge->setMinimumWidth(44 + 16);
    badge->setStyleSheet(QStringLiteral("QLabel { color: rgba(255, 255, 255, 230); background: rgba(255, 255, 255, 20);"
                                        " border-radius: 6px; padding: 4px 8px; }"));
    line->addWidget(badge);

    auto* text = new QLabel(label, row);
    text->setObjectName(QStringLiteral("label"));
    text->setFont(ShimmerText::font(12.5, QFont::Normal, ShimmerText::Design::standard));
    text->setStyleSheet(QStringLiteral("QLabel { color: rgba(255, 255, 255, 140); background: transparent; }"));
    line->addWidget(text);
    line->addStretch(1);
    return row;
}

void EditorPaneView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), CodeEditorView::bg());
}

void EditorPaneView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (content_) content_->setGeometry(rect());
}
