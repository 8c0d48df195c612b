#include "Views/Editor/CodeEditorView.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDrag>
#include <QDragLeaveEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QClipboard>
#include <QScopedValueRollback>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QStyleHints>
#include <QTextBoundaryFinder>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

#include "AppState.h"
#include "Editor/EditorController.h"
#include "Editor/ExactText.h"
#include "Editor/FindState.h"
#include "Editor/Outdent.h"
#include "Editor/TokenRole.h"
#include "Platform/SettingsStore.h"
#include "UI/Brand.h"
#include "Views/Editor/CodeEditorCoordinator.h"
#include "Views/Editor/DeferredTextData.h"
#include "Views/Editor/DisplayRelease.h"
#include "Views/Editor/FoldingLayoutManager.h"
#include "Views/Editor/LineNumberRuler.h"
#include "Views/Editor/MouseSelection.h"
#include "Views/Editor/WrappingTextLayout.h"
#include "Workspace/EditorDocument.h"

namespace {

qreal fontSizeSetting() { return SettingsStore::shared().number(SettingsKey::fontSize, SettingsKey::fontSizeRange); }

int tabWidthSetting() {
    return int(SettingsStore::shared().choice(SettingsKey::tabWidth, SettingsKey::tabWidthChoices, SettingsKey::defaultTabWidth));
}

// Text the keyboard types (not a shortcut, not a control character).
bool isTypedText(const QKeyEvent* event) {
    const QString text = event->text();
    if (text.isEmpty() || (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))) return false;
    const QChar first = text.front();
    return first == u'\t' || first.isHighSurrogate() || first.isPrint();
}

// Keys that act on the selection where it is, also on one still on its way far into a long text:
// the keys that only change the text, and those that choose no key at all.
bool actsOnTheSelection(const QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_CapsLock: return true;
    default: break;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    const int key = event->key();
    const bool plainKey = modifiers == Qt::NoModifier && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Backspace ||
                                                          key == Qt::Key_Delete || key == Qt::Key_Backtab);
    return plainKey || isTypedText(event) || event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo) ||
           event->matches(QKeySequence::Cut) || event->matches(QKeySequence::Paste);
}

} // namespace

const QColor& CodeEditorView::bg() {
    static const QColor colour = QColor::fromRgbF(0.06f, 0.06f, 0.09f);
    return colour;
}

CodeEditorView::CodeEditorView(EditorDocument* editorDocument, FindState* find, EditorController* editor,
                               QWidget* parent)
    : QPlainTextEdit(parent), document_(editorDocument), find_(find), editor_(editor) {
    auto* display = new QTextDocument(this);
    auto* rows = new WrappingTextLayout(display);
    display->setDocumentLayout(rows);
    setDocument(display);
    connect(rows, &WrappingTextLayout::rowsChanged, this, &CodeEditorView::repaintRows);
    setFrameShape(QFrame::NoFrame);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    static_cast<WrappingTextLayout*>(display->documentLayout())->setWrapWidth(viewport()->width());
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCenterOnScroll(false);
    setAutoFillBackground(true);
    QPalette colours = palette();
    for (QPalette::ColorRole role : {QPalette::Base, QPalette::Window}) colours.setColor(role, bg());
    colours.setColor(QPalette::Text, SyntaxPalette::base());
    QColor selection = Brand::accent();
    selection.setAlphaF(0.35f);
    colours.setColor(QPalette::Highlight, selection);
    colours.setColor(QPalette::HighlightedText, SyntaxPalette::base());
    setPalette(colours);
    viewport()->setPalette(colours);
    document()->setDocumentMargin(8);
    // The widget would draw the caret in whatever colour the line's last character has; it is
    // painted here instead, in the accent colour (paintEvent).
    setCursorWidth(0);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &CodeEditorView::restartCaretBlink);
    mouse_ = std::make_unique<MouseSelection>(this, [this] { dragSelection(); }, [this] {
        if (QGuiApplication::clipboard()->supportsSelection())
            QGuiApplication::clipboard()->setMimeData(offerSelection(), QClipboard::Selection);
    });

    coordinator_ = new CodeEditorCoordinator(this, editorDocument, find);
    connect(coordinator_, &CodeEditorCoordinator::textAboutToChange, this, [this] {
        if (primary_) primary_->take();
    });
    applyTypography();
    ruler_ = new LineNumberRuler(this, coordinator_);
    layoutRuler();
    // Past 99,999 lines the numbers need a wider gutter.
    connect(this, &QPlainTextEdit::blockCountChanged, this, &CodeEditorView::layoutRuler);

    // A scroll moves every number. Text repainted in place (a line typed into or recoloured) and a
    // caret or selection move change the numbers only now and then: the gutter looks.
    connect(this, &QPlainTextEdit::updateRequest, ruler_, [this](const QRect&, int dy) {
        if (dy != 0) ruler_->update();
        else ruler_->refresh();
    });
    for (auto signal : {&QPlainTextEdit::cursorPositionChanged, &QPlainTextEdit::selectionChanged})
        connect(this, signal, ruler_, &LineNumberRuler::refresh);
    // Every scroll, by the scroll bar or by a key that moves the caret out of view (which moves the
    // bar with its signals blocked), reports how far the view moved.
    connect(this, &QPlainTextEdit::updateRequest, coordinator_, [this](const QRect&, int dy) {
        if (dy != 0) coordinator_->viewportChanged();
    });
    connect(this, &QPlainTextEdit::cursorPositionChanged, coordinator_, &CodeEditorCoordinator::selectionChanged);
    connect(this, &QPlainTextEdit::selectionChanged, coordinator_, &CodeEditorCoordinator::selectionChanged);
    connect(coordinator_, &CodeEditorCoordinator::settled, this, [this] {
        if (std::exchange(updatePending_, false)) scheduleUpdate();
    });

    coordinator_->highlight();

    if (document_) {
        for (auto signal : {&EditorDocument::textChanged, &EditorDocument::languageChanged, &EditorDocument::urlChanged,
                            &EditorDocument::isDirtyChanged, &EditorDocument::cursorLineChanged,
                            &EditorDocument::cursorColumnChanged})
            connect(document_, signal, this, &CodeEditorView::scheduleUpdate);
    }
    if (find_) connect(find_, &FindState::changed, this, &CodeEditorView::scheduleUpdate);
    connect(&SettingsStore::shared(), &SettingsStore::changed, this, [this](const QString& key) {
        if (key == SettingsKey::fontSize || key == SettingsKey::tabWidth) scheduleUpdate();
    });
    updateFromModel();
}

CodeEditorView::~CodeEditorView() {
    if (primary_) primary_->take();
    // The coordinator reads the view while it goes; take it down first.
    delete coordinator_;
    coordinator_ = nullptr;
    // A display of millions of lines is freed over later turns rather than with the view; the text
    // widget lets go of it on its own, the layout's signals to this view end with it.
    QTextDocument* display = document();
    if (display && display->parent() == this && display->blockCount() > DisplayRelease::kBlocksPerTurn) {
        display->setParent(nullptr);
        DisplayRelease::release(display);
    }
}

void CodeEditorView::scheduleUpdate() {
    if (coordinator_ && coordinator_->isBusy()) {
        updatePending_ = true;
        return;
    }
    if (updateScheduled_) return;
    updateScheduled_ = true;
    QMetaObject::invokeMethod(this, &CodeEditorView::updateFromModel, Qt::QueuedConnection);
}

void CodeEditorView::updateFromModel() {
    updateScheduled_ = false;
    if (!coordinator_) return;
    // Registered at every update: the editor updated last is the one commands and find reach.
    if (find_) find_->setEngine(coordinator_);
    if (editor_) editor_->setActions(coordinator_);
    coordinator_->syncFromDocument();
    if (fontSizeSetting() != appliedFontSize_ || tabWidthSetting() != appliedTabWidth_) {
        applyTypography();
        coordinator_->recomputeFolds();
        coordinator_->highlight();
        ruler_->update();
    }
    if (showFind_) coordinator_->findSync();
    else coordinator_->clearFind();
}

void CodeEditorView::setShowFind(bool show) {
    showFind_ = show;
    updateFromModel();
}

void CodeEditorView::applyTypography() {
    const qreal size = fontSizeSetting();
    const int tabWidth = tabWidthSetting();
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(qMax(1, qRound(size)));
    font.setWeight(QFont::Normal);
    setFont(font);
    document()->setDefaultFont(font);
    // Every tab advances to the next multiple of tabWidth spaces.
    setTabStopDistance(QFontMetricsF(font).horizontalAdvance(u' ') * tabWidth);
    appliedFontSize_ = size;
    appliedTabWidth_ = tabWidth;
}

QList<CodeEditorView::VisibleLine> CodeEditorView::visibleLines() const {
    QList<VisibleLine> out;
    const QPointF offset = contentOffset();
    const qreal height = viewport()->height();
    const FoldingLayoutManager* folding = coordinator_ ? coordinator_->foldingLayout() : nullptr;
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        ++stepped_;
        if (!block.isVisible()) {
            // A fold's lines are stepped over at once: a fold may hide hundreds of thousands.
            const int through = folding ? folding->hiddenThrough(block.blockNumber()) : -1;
            if (through > block.blockNumber()) block = document()->findBlockByNumber(through);
            continue;
        }
        const QRectF rect = blockBoundingGeometry(block).translated(offset);
        if (rect.top() > height && !out.isEmpty()) break;
        if (rect.bottom() >= 0) out.append({block, rect.top(), rect.height()});
        if (rect.top() > height) break;
    }
    return out;
}

// --- input: every change goes to the coordinator before anything is changed

TextRange CodeEditorView::deletionRange(bool backwards) const {
    const TextRange selection = coordinator_->selection();
    if (selection.length > 0) return selection;
    const ExactText& text = coordinator_->text();
    const qsizetype at = selection.location;
    if (backwards) {
        if (at == 0) return {at, 0};
        const bool pair = at >= 2 && ((text.at(at - 1) == u'\n' && text.at(at - 2) == u'\r') ||
                                      (text.at(at - 1).isLowSurrogate() && text.at(at - 2).isHighSurrogate()));
        return pair ? TextRange{at - 2, 2} : TextRange{at - 1, 1};
    }
    if (at >= text.size()) return {at, 0};
    // Forwards, the whole character the user sees (a letter and its accents, an emoji with its
    // modifiers, a CR LF), as the caret steps over it. Only its neighbourhood is looked at.
    constexpr qsizetype kClusterReach = 256;
    const QString near = text.mid(at, kClusterReach);
    QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, near);
    const qsizetype next = clusters.toNextBoundary();
    return {at, next > 0 ? next : near.size()};
}

bool CodeEditorView::holdsJoinedLines(const QTextBlock& block) {
    return block.text().contains(QChar(ExactText::kJoin));
}

TextRange CodeEditorView::wordDeletionRange(bool backwards) const {
    QTextCursor cursor = textCursor();
    // A block of joined lines holds empty lines only: a word back from one inside it is its line break.
    if (!cursor.hasSelection() && backwards && cursor.positionInBlock() > 0 && holdsJoinedLines(cursor.block()))
        cursor.movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor);
    else if (!cursor.hasSelection())
        cursor.movePosition(backwards ? QTextCursor::PreviousWord : QTextCursor::EndOfWord, QTextCursor::KeepAnchor);
    const qsizetype start = coordinator_->toExact(cursor.selectionStart());
    return {start, coordinator_->toExact(cursor.selectionEnd()) - start};
}

bool CodeEditorView::moveByLineInJoinedBlock(QKeyEvent* event) {
    // A word move skips blank space, and a block of joined lines is nothing else: it would cross all
    // of them at once. On lines of their own, a word move from an empty line goes a line on or back.
    const bool select = event == QKeySequence::SelectNextWord || event == QKeySequence::SelectPreviousWord;
    const bool back = event == QKeySequence::MoveToPreviousWord || event == QKeySequence::SelectPreviousWord;
    if (!select && !back && event != QKeySequence::MoveToNextWord) return false;
    QTextCursor cursor = textCursor();
    const int within = cursor.positionInBlock();
    if ((back ? within == 0 : within + 1 >= cursor.block().length()) || !holdsJoinedLines(cursor.block())) return false;
    cursor.movePosition(back ? QTextCursor::PreviousCharacter : QTextCursor::NextCharacter,
                        select ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
    setTextCursor(cursor);
    return true;
}

namespace {

// Keys that only make or extend a selection: the text widget offers what they select to other
// programs at each one, which for Select All on a long text would copy all of it.
bool selectsOnly(QKeyEvent* event) {
    static constexpr QKeySequence::StandardKey keys[] = {
        QKeySequence::SelectAll,           QKeySequence::SelectNextChar,      QKeySequence::SelectPreviousChar,
        QKeySequence::SelectNextWord,      QKeySequence::SelectPreviousWord,  QKeySequence::SelectNextLine,
        QKeySequence::SelectPreviousLine,  QKeySequence::SelectNextPage,      QKeySequence::SelectPreviousPage,
        QKeySequence::SelectStartOfLine,   QKeySequence::SelectEndOfLine,     QKeySequence::SelectStartOfBlock,
        QKeySequence::SelectEndOfBlock,    QKeySequence::SelectStartOfDocument, QKeySequence::SelectEndOfDocument,
    };
    return std::any_of(std::begin(keys), std::end(keys), [event](QKeySequence::StandardKey key) { return event->matches(key); });
}

} // namespace

void CodeEditorView::keyPressEvent(QKeyEvent* event) {
    const QScopedValueRollback selecting(selectingByKey_, selectsOnly(event));
    coordinator_->awaitFirstMatch();
    // After a key that sent the caret far into a long text (the end key, going to a line, a find),
    // every key acts where the caret went: one that moves on from there waits until it is there.
    if (coordinator_->hasPendingSelection() && event == QKeySequence::MoveToStartOfDocument)
        return coordinator_->setSelection({0, 0}, true);
    if (coordinator_->hasPendingSelection() &&
        (event == QKeySequence::MoveToStartOfLine || event == QKeySequence::MoveToEndOfLine))
        return coordinator_->movePendingToRowEdge(event == QKeySequence::MoveToEndOfLine);
    if (coordinator_->hasPendingSelection() && !actsOnTheSelection(event) && event != QKeySequence::MoveToEndOfDocument)
        coordinator_->landPendingSelection();
    if (event == QKeySequence::Undo) return coordinator_->undo();
    if (event == QKeySequence::Redo) return coordinator_->redo();
    // Keys that reach the end of the whole text, not of what a long text has shown so far. The caret
    // alone goes there once it arrives; a selection, which may be copied next, waits for all of it.
    if (event == QKeySequence::MoveToEndOfDocument && !coordinator_->isFullyShown())
        return coordinator_->setSelection({coordinator_->text().size(), 0}, true);
    if (event == QKeySequence::SelectEndOfDocument || event == QKeySequence::SelectAll) coordinator_->showAll();
    if (isReadOnly()) return QPlainTextEdit::keyPressEvent(event);
    if (event == QKeySequence::Cut) return cutSelection();
    // The widget's own line deletions reach to its block's end, many lines in a block of joined ones,
    // where an empty line has nothing to delete.
    if ((event == QKeySequence::DeleteEndOfLine || event == QKeySequence::DeleteCompleteLine) &&
        holdsJoinedLines(textCursor().block()))
        return deleteSelection();
    if (moveByLineInJoinedBlock(event)) return;
    if (event == QKeySequence::DeleteStartOfWord || event == QKeySequence::DeleteEndOfWord) {
        const TextRange range = wordDeletionRange(event == QKeySequence::DeleteStartOfWord);
        if (range.length > 0) coordinator_->plainChange(range, QString());
        return;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    const int key = event->key();
    // Shift+Tab takes a level of indentation away, as Tab adds one; the focus stays in the text.
    if (key == Qt::Key_Backtab || (key == Qt::Key_Tab && (event->modifiers() & Qt::ShiftModifier))) {
        if (modifiers != Qt::NoModifier) return QPlainTextEdit::keyPressEvent(event);
        if (const auto change = Outdent::of(coordinator_->text().text(), coordinator_->selection())) {
            coordinator_->plainChange(change->range, change->replacement);
            coordinator_->setSelection(change->selection);
        }
        return;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && modifiers == Qt::NoModifier)
        return coordinator_->userChange(coordinator_->selection(), QStringLiteral("\n"));
    if ((key == Qt::Key_Backspace || key == Qt::Key_Delete) && modifiers == Qt::NoModifier) {
        const TextRange range = deletionRange(key == Qt::Key_Backspace);
        if (range.length > 0) coordinator_->userChange(range, QString());
        return;
    }
    if (isTypedText(event)) return coordinator_->userChange(coordinator_->selection(), event->text(), true);
    const int before = textCursor().position();
    QPlainTextEdit::keyPressEvent(event);
    // Where two pieces of a long line meet, the end of the one and the start of the next are the same
    // character position: a move that only crossed from one to the other goes on by one more step.
    const int after = textCursor().position();
    const qsizetype exact = coordinator_->toExact(after);
    if (after != before && exact == coordinator_->toExact(before) && coordinator_->text().pieces().isBreak(exact))
        QPlainTextEdit::keyPressEvent(event);
}

void CodeEditorView::inputMethodEvent(QInputMethodEvent* event) {
    if (isReadOnly() || (event->commitString().isEmpty() && event->replacementLength() == 0))
        return QPlainTextEdit::inputMethodEvent(event);
    TextRange range = coordinator_->selection();
    if (range.length == 0 && (event->replacementStart() != 0 || event->replacementLength() != 0)) {
        const int caret = textCursor().position();
        const qsizetype from = coordinator_->toExact(caret + event->replacementStart());
        range = {from, coordinator_->toExact(caret + event->replacementStart() + event->replacementLength()) - from};
    }
    coordinator_->userChange(range, event->commitString());
    // What is still being composed is shown by the widget itself, outside the text.
    QInputMethodEvent composing(event->preeditString(), event->attributes());
    QPlainTextEdit::inputMethodEvent(&composing);
    event->accept();
}

void CodeEditorView::commitComposition() {
    const QString pending = textCursor().block().layout()->preeditAreaText();
    if (pending.isEmpty()) return;
    // The input method hands it over as a commit of its own where it can; else it is committed here
    // and the input method told to let it go.
    QGuiApplication::inputMethod()->commit();
    if (textCursor().block().layout()->preeditAreaText().isEmpty()) return;
    QInputMethodEvent commit;
    commit.setCommitString(pending);
    inputMethodEvent(&commit);
    QGuiApplication::inputMethod()->reset();
}

void CodeEditorView::insertFromMimeData(const QMimeData* source) {
    if (isReadOnly() || !source || !source->hasText()) return;
    const QString text = source->text();
    // Keys held while a change reaches the display go first: the paste lands where they leave the caret.
    coordinator_->catchUpDisplay();
    if (!text.isEmpty()) coordinator_->userChange(coordinator_->selection(), text);
}

namespace {
qsizetype copiedUnits = 0;
} // namespace

qsizetype CodeEditorView::unitsCopied() { return copiedUnits; }

DeferredTextData* CodeEditorView::offerSelection() const {
    const TextRange selection = coordinator_->selection();
    primary_ = new DeferredTextData([this, selection] {
        copiedUnits += selection.length;
        return coordinator_->text().mid(selection.location, selection.length);
    });
    return primary_;
}

QMimeData* CodeEditorView::createMimeDataFromSelection() const {
    if (selectingByKey_) return offerSelection();
    // The selection's own characters, not the display's rendering of them (NBSP, line endings).
    const TextRange selection = coordinator_->selection();
    copiedUnits += selection.length;
    auto* data = new QMimeData;
    data->setText(coordinator_->text().mid(selection.location, selection.length));
    return data;
}

void CodeEditorView::dropEvent(QDropEvent* event) {
    if (isReadOnly() || !event->mimeData()->hasText()) return QPlainTextEdit::dropEvent(event);
    // Let the widget take down its drop caret; the text itself changes only through the coordinator.
    QDragLeaveEvent leave;
    QPlainTextEdit::dragLeaveEvent(&leave);
    qsizetype at = coordinator_->toExact(cursorForPosition(event->position().toPoint()).position());
    const TextRange selection = coordinator_->selection();
    const bool ownDrag = event->source() == this || event->source() == viewport();
    if (ownDrag && event->dropAction() == Qt::MoveAction && selection.length > 0) {
        if (at >= selection.location && at <= selection.end()) return event->acceptProposedAction();
        coordinator_->plainChange(selection, QString());
        if (at > selection.location) at -= selection.length;
    }
    coordinator_->setSelection({at, 0});
    coordinator_->userChange({at, 0}, event->mimeData()->text());
    event->acceptProposedAction();
}

void CodeEditorView::cutSelection() {
    const TextRange selection = coordinator_->selection();
    if (selection.length == 0) return;
    // The coordinator's selection, which may be one still on its way.
    QGuiApplication::clipboard()->setMimeData(createMimeDataFromSelection());
    coordinator_->plainChange(selection, QString());
}

void CodeEditorView::deleteSelection() {
    const TextRange selection = coordinator_->selection();
    if (selection.length > 0) coordinator_->plainChange(selection, QString());
}

void CodeEditorView::contextMenuEvent(QContextMenuEvent* event) {
    const std::unique_ptr<QMenu> menu(createStandardContextMenu(event->pos()));
    const bool editable = !isReadOnly();
    const bool hasSelection = coordinator_->selection().length > 0;
    const auto reroute = [](QAction* action, bool enabled, auto* receiver, auto handler) {
        QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, receiver, handler);
    };
    for (QAction* action : menu->actions()) {
        const QString name = action->objectName();
        if (name == u"edit-undo")
            reroute(action, coordinator_->canUndo(), coordinator_, &CodeEditorCoordinator::undo);
        else if (name == u"edit-redo")
            reroute(action, coordinator_->canRedo(), coordinator_, &CodeEditorCoordinator::redo);
        else if (name == u"edit-cut")
            reroute(action, editable && hasSelection, this, &CodeEditorView::cutSelection);
        else if (name == u"edit-delete")
            reroute(action, editable && hasSelection, this, &CodeEditorView::deleteSelection);
    }
    menu->exec(event->globalPos());
}

// --- mouse: presses, double presses and drags select through MouseSelection, which looks only at
// the lines under the pointer; the widget still stops its scrolling and pastes the primary selection

void CodeEditorView::mousePressEvent(QMouseEvent* event) {
    commitComposition();
    if (!mouse_->press(event)) return QPlainTextEdit::mousePressEvent(event);
    // A press is the user's own choice of place, also where the caret already is (a selection on
    // its way far into a long text gives way to it).
    coordinator_->selectionChanged();
}

void CodeEditorView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (!mouse_->doubleClick(event)) QPlainTextEdit::mouseDoubleClickEvent(event);
}

void CodeEditorView::mouseMoveEvent(QMouseEvent* event) {
    // The widget's own handling of a move with the button held scrolls when the pointer leaves.
    if (!mouse_->move(event) || (event->buttons() & Qt::LeftButton)) QPlainTextEdit::mouseMoveEvent(event);
}

void CodeEditorView::mouseReleaseEvent(QMouseEvent* event) {
    mouse_->release(event);
    QPlainTextEdit::mouseReleaseEvent(event);
}

void CodeEditorView::dragSelection() {
    const TextRange selection = coordinator_->selection();
    auto* drag = new QDrag(this);
    drag->setMimeData(createMimeDataFromSelection());
    const Qt::DropAction action = isReadOnly() ? drag->exec(Qt::CopyAction, Qt::CopyAction)
                                               : drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
    // A move onto this editor is made by its own drop; a move elsewhere takes the text away here.
    const QObject* target = drag->target();
    drag->deleteLater();
    if (action == Qt::MoveAction && target != this && target != viewport() && !isReadOnly())
        coordinator_->plainChange(selection, QString());
}

// --- geometry

void CodeEditorView::layoutRuler() {
    if (!ruler_) return;
    const int thickness = ruler_->thickness();
    if (viewportMargins().left() != thickness) setViewportMargins(thickness, 2, 0, 2);
    const QRect area = contentsRect();
    ruler_->setGeometry(area.left(), area.top(), thickness, area.height());
}

void CodeEditorView::resizeEvent(QResizeEvent* event) {
    // The lines are rewrapped by the editor's own layout. The widget would rewrap them only when
    // the width changed, through the stock call that makes a layout object for every line; handed
    // the same width it only fits its scroll bars.
    if (auto* layout = qobject_cast<WrappingTextLayout*>(document()->documentLayout());
        layout && layout->wrapWidth() != viewport()->width()) {
        {
            // The widget hears of the size once every line counts its rows again, or it would scroll
            // to where the lines were meanwhile.
            const QSignalBlocker quiet(layout);
            layout->setWrapWidth(viewport()->width());
        }
        emit layout->documentSizeChanged(layout->documentSize());
        emit layout->update(QRectF(0., -document()->documentMargin(), 1000000000., 1000000000.));
    }
    QResizeEvent sameWidth(event->size(), QSize(event->size().width(), event->oldSize().height()));
    QPlainTextEdit::resizeEvent(&sameWidth);
    layoutRuler();
    if (coordinator_) coordinator_->viewportChanged();
}

// --- caret

QRect CodeEditorView::caretRect() const {
    QRect rect = cursorRect();
    rect.setWidth(1);
    return rect;
}

void CodeEditorView::repaintRows(const QTextBlock& block, qreal top, qreal bottom) {
    const qreal blockTop = blockBoundingGeometry(block).translated(contentOffset()).top();
    // A band reaching past the view's bottom (rows that moved the lines after them) ends there.
    const qreal from = qMax(blockTop + top, qreal(-1));
    const qreal to = qMin(blockTop + bottom, qreal(viewport()->height() + 1));
    if (to <= from) return;
    const QRect rows = QRectF(0, from, viewport()->width(), to - from).toAlignedRect().adjusted(0, -1, 0, 1) &
                       viewport()->rect();
    if (rows.isEmpty()) return;
    viewport()->update(rows);
    emit updateRequest(rows, 0);
}

void CodeEditorView::restartCaretBlink() {
    caretOn_ = true;
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (hasFocus() && flash > 0) caretBlink_.start(flash / 2, this);
    else caretBlink_.stop();
    // The caret where it was painted goes, and shows where it is once the turn's changes are in (the
    // line it is on may still be laid out afresh).
    viewport()->update(paintedCaret_);
    if (std::exchange(caretMoving_, true)) return;
    QMetaObject::invokeMethod(this, [this] {
        caretMoving_ = false;
        viewport()->update(caretRect().adjusted(-1, 0, 1, 0));
    }, Qt::QueuedConnection);
}

void CodeEditorView::timerEvent(QTimerEvent* event) {
    if (event->timerId() != caretBlink_.timerId()) return QPlainTextEdit::timerEvent(event);
    caretOn_ = !caretOn_;
    viewport()->update(caretRect().adjusted(-1, 0, 1, 0));
}

void CodeEditorView::focusInEvent(QFocusEvent* event) {
    QPlainTextEdit::focusInEvent(event);
    restartCaretBlink();
}

void CodeEditorView::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    caretBlink_.stop();
    viewport()->update();
}

void CodeEditorView::paintEvent(QPaintEvent* event) {
    {
        QPainter under(viewport());
        highlights_.paint(under, event->rect());
    }
    paintText(event->rect());
    if (!caretOn_ || !hasFocus() || isReadOnly() || textCursor().hasSelection()) return;
    QPainter painter(viewport());
    painter.fillRect(caretRect(), Brand::accent());
    paintedCaret_ = caretRect().adjusted(-1, 0, 1, 0);
}

void CodeEditorView::paintText(QRect rect) {
    // The stock painting walks every line a fold hides (making each a layout object of its own);
    // this one steps over a fold at once, as visibleLines() does. The caret is painted apart.
    QPainter painter(viewport());
    QPointF offset = contentOffset();
    painter.setBrushOrigin(offset);
    // The right margin stays clear of selections reaching the full width.
    const qreal widest = qMax(qreal(viewport()->width()), document()->documentLayout()->documentSize().width());
    rect.setRight(qMin(rect.right(), int(offset.x() + widest - document()->documentMargin())));
    painter.setClipRect(rect);
    const QAbstractTextDocumentLayout::PaintContext context = getPaintContext();
    painter.setPen(context.palette.text().color());
    const FoldingLayoutManager* folding = coordinator_ ? coordinator_->foldingLayout() : nullptr;
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        if (!block.isVisible()) {
            const int through = folding ? folding->hiddenThrough(block.blockNumber()) : -1;
            if (through > block.blockNumber()) block = document()->findBlockByNumber(through);
            continue;
        }
        const QRectF bounds = blockBoundingRect(block).translated(offset);
        if (bounds.bottom() >= rect.top() && bounds.top() <= rect.bottom()) {
            QList<QTextLayout::FormatRange> selections;
            const int start = block.position(), length = block.length();
            for (const QAbstractTextDocumentLayout::Selection& selection : context.selections) {
                const int from = selection.cursor.selectionStart() - start, to = selection.cursor.selectionEnd() - start;
                if (from < length && to > 0 && to > from) selections.append({from, to - from, selection.format});
            }
            block.layout()->draw(&painter, offset, selections, rect);
        }
        offset.ry() += bounds.height();
        if (offset.y() > viewport()->height()) break;
    }
}

void CodeEditorView::showEvent(QShowEvent* event) {
    QPlainTextEdit::showEvent(event);
    if (coordinator_) coordinator_->viewportChanged();
}
