#pragma once
// One selectable line of an overlay's result list: symbol, title and an optional trailing note,
// on an accent highlight while selected. Its whole rectangle takes clicks and hovering.
// A command's row pins the note to the right edge and inks its symbol by selection; a file's row
// keeps its symbol in the file's tint and puts the note, faint and shortened in the middle, right
// after the title.
#include <QColor>
#include <QWidget>

class PaletteRow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 38;

    PaletteRow(const QString& icon, const QString& title, const QString& trailing, bool selected,
               QWidget* parent = nullptr);
    // A file's row: tint is its symbol's ink.
    PaletteRow(const QString& icon, const QColor& tint, const QString& title, const QString& trailing, bool selected,
               QWidget* parent = nullptr);

    QString icon() const { return icon_; }
    QString title() const { return title_; }
    QString trailing() const { return trailing_; }
    bool isSelected() const { return selected_; }
    void setSelected(bool selected);

    QSize sizeHint() const override;

signals:
    void clicked();
    // The pointer entered the row; where it is on the screen.
    void hovered(QPoint globalPosition);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;

private:
    void paintPinned(QPainter& p, const QRectF& r);
    void paintFollowing(QPainter& p, const QRectF& r);

    QString icon_;
    QColor tint_;  // valid for a file's row
    QString title_;
    QString trailing_;
    bool selected_;
};
