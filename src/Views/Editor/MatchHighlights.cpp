#include "Views/Editor/MatchHighlights.h"

#include <QPainter>
#include <QTextBlock>
#include <QTextLayout>
#include <algorithm>
#include <optional>

#include "UI/Brand.h"
#include "Views/Editor/CodeEditorView.h"

namespace {

QColor colourOf(bool current) {
    QColor colour = current ? Brand::palette()[4] : Brand::accent();
    colour.setAlphaF(current ? 0.55f : 0.28f);
    return colour;
}

bool before(const MatchHighlights::Match& a, const MatchHighlights::Match& b) {
    return std::tie(a.from, a.to, a.current) < std::tie(b.from, b.to, b.current);
}

// The first match that ends after position.
QList<MatchHighlights::Match>::const_iterator firstEndingAfter(const QList<MatchHighlights::Match>& matches,
                                                               qsizetype position) {
    return std::lower_bound(matches.begin(), matches.end(), position,
                            [](const MatchHighlights::Match& m, qsizetype at) { return m.to <= at; });
}

} // namespace

void MatchHighlights::setMatches(QList<Match> matches) {
    if (matches == matches_) return;
    QList<Match> changed;
    std::set_symmetric_difference(matches_.begin(), matches_.end(), matches.begin(), matches.end(),
                                  std::back_inserter(changed), before);
    matches_ = std::move(matches);
    const QList<CodeEditorView::VisibleLine> lines = view_->visibleLines();
    const int width = view_->viewport()->width();
    for (const Match& m : changed) {
        auto line = std::lower_bound(lines.begin(), lines.end(), m.from, [](const auto& l, qsizetype at) {
            return l.block.position() + l.block.length() <= at;
        });
        for (; line != lines.end() && line->block.position() < m.to; ++line)
            view_->viewport()->update(QRectF(0, line->top, width, line->height).toAlignedRect());
    }
}

void MatchHighlights::paint(QPainter& painter, const QRect& exposed) {
    if (matches_.isEmpty()) return;
    for (const CodeEditorView::VisibleLine& line : view_->visibleLines()) {
        if (line.top + line.height < exposed.top() || line.top > exposed.bottom()) continue;
        const QTextBlock& block = line.block;
        const qsizetype start = block.position(), end = start + block.length() - 1;
        const QTextLayout* layout = block.layout();
        const QPointF origin = layout->position() + QPointF(0, line.top);
        // A run of touching matches of one colour on one line of the block is filled once.
        struct Run {
            int line;
            bool current;
            qreal left, right;
        };
        std::optional<Run> run;
        const auto flush = [&] {
            if (!run) return;
            const QTextLine text = layout->lineAt(run->line);
            painter.fillRect(QRectF(origin.x() + run->left, origin.y() + text.y(), run->right - run->left, text.height()),
                             colourOf(run->current));
            run.reset();
        };
        for (auto it = firstEndingAfter(matches_, start); it != matches_.end() && it->from < end; ++it) {
            const int from = int(std::max(it->from, start) - start), to = int(std::min(it->to, end) - start);
            for (int i = layout->lineForTextPosition(from).lineNumber(); i >= 0 && i < layout->lineCount(); ++i) {
                const QTextLine text = layout->lineAt(i);
                if (text.textStart() >= to) break;
                const int a = std::max(from, text.textStart()), b = std::min(to, text.textStart() + text.textLength());
                const qreal left = text.cursorToX(a), right = text.cursorToX(b);
                if (run && run->line == i && run->current == it->current && left <= run->right + 0.5) {
                    run->right = std::max(run->right, right);
                    continue;
                }
                flush();
                run = Run{i, it->current, left, right};
            }
        }
        flush();
    }
}
