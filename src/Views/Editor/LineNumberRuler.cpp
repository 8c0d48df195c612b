#include "Views/Editor/LineNumberRuler.h"

#include <QFontDatabase>
#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>
#include <QtMath>
#include <utility>

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
    return qCeil(numberWidth(digits) - numberWidth(5));
}

qreal LineNumberRuler::numberWidth(int digits) const {
    // The font's figures are all as wide, so a count of digits tells a number's width.
    if (widths_.size() <= digits) {
        const QFontMetricsF metrics(font_);
        for (qsizetype n = widths_.size(); n <= digits; ++n) widths_.append(metrics.horizontalAdvance(QString(n, u'0')));
    }
    return widths_[digits];
}

int LineNumberRuler::thickness() const {
    return kThickness + extraWidth();
}

void LineNumberRuler::refresh() {
    if (std::exchange(refreshing_, true)) return;
    // Checked once the turn's changes are all in: the text, its colours and the caret.
    QMetaObject::invokeMethod(this, [this] {
        refreshing_ = false;
        Content now = content();
        if (!now.looksLike(painted_)) update();
        else painted_ = std::move(now);  // a click on a chevron then folds the block it is beside
    }, Qt::QueuedConnection);
}

bool LineNumberRuler::Content::looksLike(const Content& other) const {
    if (numbers != other.numbers || chevrons.size() != other.chevrons.size()) return false;
    for (qsizetype i = 0; i < chevrons.size(); ++i)
        if (chevrons[i].rect != other.chevrons[i].rect || chevrons[i].folded != other.chevrons[i].folded) return false;
    return true;
}

LineNumberRuler::Content LineNumberRuler::content() const {
    Content out;
    if (!view_ || !coordinator_) return out;
    const QTextCursor cursor = view_->textCursor();
    // The whole lines the selection touches; one ending at a line start does not reach that line.
    const int selStart = cursor.selectionStart();
    const int selEnd = cursor.selectionEnd();
    const int firstCaretLine = coordinator_->lineAt(selStart);
    const int lastCaretLine = coordinator_->lineAt(selEnd > selStart ? selEnd - 1 : selStart);

    const qreal extra = extraWidth();
    const QSet<qsizetype> folded = coordinator_->foldedStarts();
    const qreal shift = view_->viewport()->geometry().top() - geometry().top();
    const ExactText& text = coordinator_->text();

    for (const CodeEditorView::VisibleLine& line : view_->visibleLines()) {
        // A later piece of a long line goes on as its wrapped rows do, unnumbered.
        if (!coordinator_->startsLine(line.block)) continue;
        const qreal top = line.top + shift;
        // Centre on the line's first row of text, however tall the block wraps.
        const QTextLayout* layout = line.block.layout();
        const qreal rowHeight = layout && layout->lineCount() > 0 ? layout->lineAt(0).height() : line.height;
        const int number = coordinator_->lineOf(line.block) + 1;
        const qsizetype lineStart = coordinator_->toExact(line.block.position());
        // A block of joined empty lines shows a line per row, each numbered.
        const qsizetype rows = 1 + text.joins().countIn(lineStart, coordinator_->toExact(line.block.position() + line.block.length() - 1));
        for (qsizetype row = 0; row < rows; ++row) {
            const qreal rowTop = top + (layout && row < layout->lineCount() ? layout->lineAt(int(row)).y() : row * rowHeight);
            const bool caretLine = number - 1 + row >= firstCaretLine && number - 1 + row <= lastCaretLine;
            const qreal left = kNumbersEnd + extra - numberWidth(int(QString::number(number + row).size()));
            out.numbers.append({int(number + row), rowTop, caretLine, left, rowHeight});
        }

        const std::optional<FoldRegion> region = coordinator_->regionWithHeader(lineStart);
        if (!region) continue;
        const QRectF box(kChevronX + extra, top + (rowHeight - kChevronSide) / 2, kChevronSide, kChevronSide);
        out.chevrons.append({box, lineStart, folded.contains(region->hiddenRange.location)});
    }
    return out;
}

void LineNumberRuler::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), CodeEditorView::bg());
    painter.fillRect(QRectF(width() - 1, 0, 1, height()), QColor::fromRgbF(1, 1, 1, 0.06f));
    painted_ = content();

    painter.setFont(font_);
    const QFontMetricsF metrics(font_);
    QColor dim = Qt::white;
    dim.setAlphaF(0.28f);
    for (const DrawnNumber& number : painted_.numbers) {
        painter.setPen(number.caretLine ? Brand::accent() : dim);
        const qreal baseline = number.y + (number.rowHeight + metrics.ascent() - metrics.descent()) / 2;
        painter.drawText(QPointF(number.left, baseline), QString::number(number.number));
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const ChevronHit& hit : painted_.chevrons) {
        QColor colour = Brand::accent();
        colour.setAlphaF(hit.folded ? 1.0f : 0.6f);
        const QPixmap chevron = Icons::pixmap(hit.folded ? QStringLiteral("chevron.right") : QStringLiteral("chevron.down"),
                                              int(kChevronSide), colour, devicePixelRatioF());
        painter.drawPixmap(hit.rect, chevron, QRectF(chevron.rect()));
    }
}

void LineNumberRuler::mousePressEvent(QMouseEvent* event) {
    const QPointF at = event->position();
    for (const ChevronHit& hit : painted_.chevrons) {
        if (!hit.rect.adjusted(-kChevronSlop, -kChevronSlop, kChevronSlop, kChevronSlop).contains(at)) continue;
        if (coordinator_) coordinator_->toggleFold(hit.headerStart);
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}
