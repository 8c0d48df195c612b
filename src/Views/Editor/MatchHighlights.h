#pragma once
// The find matches on screen, painted as translucent fills under the editor's text: one fill per
// run of touching matches on a line, and only on the lines a repaint reaches. As the widget's own
// extra selections each match would cost another drawing of its line's text.
#include <QList>
#include <QRect>

class CodeEditorView;
class QPainter;

class MatchHighlights {
public:
    // A match at display positions [from, to); current is the one the find bar is at.
    struct Match {
        qsizetype from = 0;
        qsizetype to = 0;
        bool current = false;
        bool operator==(const Match&) const = default;
    };

    explicit MatchHighlights(CodeEditorView* view) : view_(view) {}

    // Sorted by position. Repaints the lines whose highlights changed.
    void setMatches(QList<Match> matches);
    const QList<Match>& matches() const { return matches_; }
    // Paints the highlights of the lines within exposed (viewport coordinates).
    void paint(QPainter& painter, const QRect& exposed);

private:
    CodeEditorView* view_;
    QList<Match> matches_;
};
