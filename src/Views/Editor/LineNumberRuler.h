#pragma once
// The gutter beside the editor's text: the number of every visible line (the caret's lines in the
// accent colour) and a chevron on each line that opens a foldable block; a click on a chevron
// folds or unfolds that block.
#include <QList>
#include <QPointer>
#include <QRectF>
#include <QWidget>

class CodeEditorCoordinator;
class CodeEditorView;

class LineNumberRuler : public QWidget {
    Q_OBJECT
public:
    static constexpr int kThickness = 52;

    LineNumberRuler(CodeEditorView* view, CodeEditorCoordinator* coordinator);

    struct ChevronHit {
        QRectF rect;             // in ruler coordinates
        qsizetype headerStart;   // exact offset of the block's header line
        bool folded;
        friend bool operator==(const ChevronHit&, const ChevronHit&) = default;
    };
    // One per chevron drawn by the last painting, in drawing order.
    const QList<ChevronHit>& chevronHits() const { return painted_.chevrons; }

    // A line number as drawn by the last painting (tests read what the gutter showed).
    struct DrawnNumber {
        int number;
        qreal y;
        bool caretLine;
        qreal left;  // where the number starts
        qreal rowHeight;  // the height of the row it is centred on
        friend bool operator==(const DrawnNumber&, const DrawnNumber&) = default;
    };
    const QList<DrawnNumber>& drawnNumbers() const { return painted_.numbers; }

    // kThickness, widened by what numbers of more than five digits need beyond five.
    int thickness() const;

    // Repaints the gutter, on a later turn of the event loop, only if what it shows has changed since
    // it was last painted: a key typed into a line changes no number.
    void refresh();
    QSize sizeHint() const override { return {thickness(), 0}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    // What a painting shows: the numbers and chevrons of the lines on screen.
    struct Content {
        QList<DrawnNumber> numbers;
        QList<ChevronHit> chevrons;
        friend bool operator==(const Content&, const Content&) = default;
        // Whether it paints the same picture: the offsets the chevrons stand for move with every
        // key typed above them, which changes nothing on screen.
        bool looksLike(const Content& other) const;
    };
    Content content() const;
    static QFont numberFont();
    // How much wider than usual the numbers of the view's last line are.
    int extraWidth() const;
    // The width of a number of `digits` digits, worked out once for each count: shaping every
    // number at every key and paint costs more than the rest of the gutter.
    qreal numberWidth(int digits) const;

    QPointer<CodeEditorView> view_;
    QPointer<CodeEditorCoordinator> coordinator_;
    Content painted_;
    bool refreshing_ = false;
    const QFont font_ = numberFont();
    mutable QList<qreal> widths_;  // numberWidth() by digits, as far as asked for
};
