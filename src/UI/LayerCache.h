#pragma once
// Keeps a translucent panel, with its children, as drawn over nothing, and lays that picture over
// whatever is painted behind it. A backdrop that moves under a still panel then costs one copy of
// the panel per frame instead of a repaint of each of its widgets; any repaint a widget of the
// panel asks for (a new text, a hover, a move) has the panel drawn afresh.
// Not for a panel that reads what lies behind it: it is drawn over nothing.
#include <QGraphicsEffect>
#include <QPixmap>

class LayerCache : public QGraphicsEffect {
    Q_OBJECT
public:
    explicit LayerCache(QObject* parent = nullptr);

    // How many times the panel was drawn afresh.
    int renderCount() const { return renders_; }

protected:
    void draw(QPainter* painter) override;
    void sourceChanged(ChangeFlags flags) override;

private:
    QPixmap layer_;
    QPoint offset_;
    int renders_ = 0;
};
