#pragma once
// The text editor of one open document: a plain-text widget whose display is fed by its
// coordinator, with the line-number gutter beside it. Every user change is handed to the
// coordinator before anything is changed, so the document's own characters are never altered.
#include <QBasicTimer>
#include <QList>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextBlock>
#include <memory>

#include "Editor/EditorController.h"
#include "Editor/FindState.h"
#include "Editor/TextRange.h"
#include "Views/Editor/MatchHighlights.h"
#include "Workspace/EditorDocument.h"

class CodeEditorCoordinator;
class DeferredTextData;
class LineNumberRuler;
class MouseSelection;

class CodeEditorView : public QPlainTextEdit {
    Q_OBJECT
public:
    CodeEditorView(EditorDocument* document, FindState* find, EditorController* editor, QWidget* parent = nullptr);
    ~CodeEditorView() override;

    // The editor background, also used by the response body view.
    static const QColor& bg();
    // Whether a display block shows a run of joined empty lines (see LineJoins).
    static bool holdsJoinedLines(const QTextBlock& block);

    EditorDocument* editorDocument() const { return document_; }
    CodeEditorCoordinator* coordinator() const { return coordinator_; }
    LineNumberRuler* ruler() const { return ruler_; }

    // True while the find bar is open: matches are counted and painted; otherwise cleared.
    void setShowFind(bool show);
    bool showFind() const { return showFind_; }

    // Synchronises with the document, the settings and the find state; runs on its own after any
    // of them changes (once per turn of the event loop).
    void updateFromModel();

    // One visible (not folded away) block on screen, with its top in viewport coordinates.
    struct VisibleLine {
        QTextBlock block;
        qreal top = 0;
        qreal height = 0;
    };
    QList<VisibleLine> visibleLines() const;
    // Blocks visibleLines() has stepped on since the view was made.
    qsizetype steppedBlocks() const { return stepped_; }
    // The find matches painted under the text.
    MatchHighlights& matchHighlights() { return highlights_; }

    // Places the gutter, as wide as the numbers of the text's lines need, and the text beside it.
    void layoutRuler();

    // Selected characters copied out for the clipboard, the primary selection or a drag, for tests.
    static qsizetype unitsCopied();

    qreal appliedFontSize() const { return appliedFontSize_; }
    int appliedTabWidth() const { return appliedTabWidth_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // A word move from inside a block of joined empty lines, made a line at a time; false for others.
    bool moveByLineInJoinedBlock(QKeyEvent* event);
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // The text's lines within `rect` of the viewport, with the selection.
    void paintText(QRect rect);
    // Hands what an input method is still composing over to the text, before a press moves the caret.
    void commitComposition();
    void scheduleUpdate();
    void applyTypography();
    void cutSelection();
    void deleteSelection();
    // The range a Backspace (backwards) or Delete (forwards) removes.
    TextRange deletionRange(bool backwards) const;
    TextRange wordDeletionRange(bool backwards) const;
    QRect caretRect() const;
    void restartCaretBlink();
    // Repaints rows [top, bottom) of a line, within it.
    void repaintRows(const QTextBlock& block, qreal top, qreal bottom);
    void dragSelection();

    QPointer<EditorDocument> document_;
    QPointer<FindState> find_;
    QPointer<EditorController> editor_;
    CodeEditorCoordinator* coordinator_ = nullptr;
    LineNumberRuler* ruler_ = nullptr;
    std::unique_ptr<MouseSelection> mouse_;
    // The current selection, read only when another program asks for it or before the text changes.
    DeferredTextData* offerSelection() const;
    // The selection last offered as the primary selection, while the clipboard holds it.
    mutable QPointer<DeferredTextData> primary_;
    // A key that only makes or extends a selection is being handled.
    bool selectingByKey_ = false;
    MatchHighlights highlights_{this};
    bool showFind_ = false;
    bool updateScheduled_ = false;
    bool updatePending_ = false;
    QBasicTimer caretBlink_;
    bool caretOn_ = true;
    bool caretMoving_ = false;
    QRect paintedCaret_;
    qreal appliedFontSize_ = 0;
    int appliedTabWidth_ = 0;
    mutable qsizetype stepped_ = 0;
};
