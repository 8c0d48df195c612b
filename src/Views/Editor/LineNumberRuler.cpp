#include "Views/Editor/LineNumberRuler.h"

#include <QFontDatabase>
#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>
#include <QtMath>

#include "UI/Brand.h"
#include "UI/Icons.h"
#include "Views/Editor/CodeEditorCoordinator.h"
#include "Views/Editor/CodeEditorView.h"

namespace {
constexpr qreal kNumbersEnd = 34;   // numbers are right-aligned to here
constexpr qreal kChevronX = 38;
constexpr qreal kChevronSide = 11;
constexpr qreal kChevronSlop = 4;   // a click this close to a chevron still hits it
}

LineNumberRuler::LineNumberRuler(CodeEditorView* view, CodeEditorCoordinator* coordinator)
    : QWidget(view), view_(view), coordinator_(coordinator) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QFont LineNumberRuler::numberFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(11);
    return font;
}

int LineNumberRuler::extraWidth() const {
    // The last line's number from the start, while a long text is still going into the display.
    const int digits = coordinator_ ? int(QString::number(coordinator_->lineCount()).size()) : 0;
    if (digits <= 5) return 0;
    const QFontMetricsF metrics(numberFont());
    return qCeil(metrics.horizontalAdvance(QString(digits, u'0')) - metrics.horizontalAdvance(QString(5, u'0')));
}

int LineNumberRuler::thickness() const {
    return kThickness + extraWidth();
}

void LineNumberRuler::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), CodeEditorView::bg());
    painter.fillRect(QRectF(width() - 1, 0, 1, height()), QColor::fromRgbF(1, 1, 1, 0.06f));
    chevronHits_.clear();
    drawnNumbers_.clear();
    if (!view_ || !coordinator_) return;

    const QTextCursor cursor = view_->textCursor();
    // The whole lines the selection touches; one ending at a line start does not reach that line.
    const int selStart = cursor.selectionStart();
    const int selEnd = cursor.selectionEnd();
    const int firstCaretLine = coordinator_->lineAt(selStart);
    const int lastCaretLine = coordinator_->lineAt(selEnd > selStart ? selEnd - 1 : selStart);

    const QFont font = numberFont();
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    const qreal extra = extraWidth();
    QColor dim = Qt::white;
    dim.setAlphaF(0.28f);
    const QSet<qsizetype> folded = coordinator_->foldedStarts();
    const qreal shift = view_->viewport()->geometry().top() - geometry().top();

    for (const CodeEditorView::VisibleLine& line : view_->visibleLines()) {
        // A later piece of a long line goes on as its wrapped rows do, unnumbered.
        if (!coordinator_->startsLine(line.block)) continue;
        const qreal top = line.top + shift;
        // Centre on the line's first row of text, however tall the block wraps.
        qreal rowHeight = line.height;
        if (const QTextLayout* layout = line.block.layout(); layout && layout->lineCount() > 0)
            rowHeight = layout->lineAt(0).height();
        const int number = coordinator_->lineOf(line.block) + 1;
        const qsizetype lineStart = coordinator_->toExact(line.block.position());
        // A block of joined empty lines shows a line per row, each numbered.
        const ExactText& text = coordinator_->text();
        const qsizetype rows = 1 + text.joins().countIn(lineStart, coordinator_->toExact(line.block.position() + line.block.length() - 1));
        const QTextLayout* layout = line.block.layout();
        for (qsizetype row = 0; row < rows; ++row) {
            const qreal rowTop = top + (layout && row < layout->lineCount() ? layout->lineAt(int(row)).y() : row * rowHeight);
            const bool caretLine = number - 1 + row >= firstCaretLine && number - 1 + row <= lastCaretLine;
            const QString label = QString::number(number + row);
            painter.setPen(caretLine ? Brand::accent() : dim);
            const qreal baseline = rowTop + (rowHeight + metrics.ascent() - metrics.descent()) / 2;
            const qreal left = kNumbersEnd + extra - metrics.horizontalAdvance(label);
            painter.drawText(QPointF(left, baseline), label);
            drawnNumbers_.append({int(number + row), rowTop, caretLine, left});
        }

        const std::optional<FoldRegion> region = coordinator_->regionWithHeader(lineStart);
        if (!region) continue;
        const bool isFolded = folded.contains(region->hiddenRange.location);
        QColor colour = Brand::accent();
        colour.setAlphaF(isFolded ? 1.0f : 0.6f);
        const QRectF box(kChevronX + extra, top + (rowHeight - kChevronSide) / 2, kChevronSide, kChevronSide);
        const QPixmap chevron = Icons::pixmap(isFolded ? QStringLiteral("chevron.right") : QStringLiteral("chevron.down"),
                                              int(kChevronSide), colour, devicePixelRatioF());
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(box, chevron, QRectF(chevron.rect()));
        chevronHits_.append({box, lineStart});
    }
}

void LineNumberRuler::mousePressEvent(QMouseEvent* event) {
    const QPointF at = event->position();
    for (const ChevronHit& hit : chevronHits_) {
        if (!hit.rect.adjusted(-kChevronSlop, -kChevronSlop, kChevronSlop, kChevronSlop).contains(at)) continue;
        if (coordinator_) coordinator_->toggleFold(hit.headerStart);
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}
