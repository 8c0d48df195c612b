#pragma once
// A row of text tabs without chrome; the chosen one is semibold and brighter and carries a
// gradient bar along its bottom edge. One stop in the Tab order; Left, Right, Home and End choose.
#include <QStringList>
#include <QWidget>

class FocusRing;

class TabStrip : public QWidget {
    Q_OBJECT
public:
    // Opacities of the chosen and the other captions, and the padding around each caption.
    TabStrip(const QStringList& titles, qreal otherOpacity, QMargins padding, QWidget* parent = nullptr);

    int current() const { return current_; }
    void setCurrent(int index);
    QStringList titles() const { return titles_; }
    // Where tab i is drawn, for clicks and tests.
    QRect tabRect(int index) const;

    const FocusRing& focusRing() const { return *ring_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    void currentChanged(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QFont fontFor(int index) const;

    QStringList titles_;
    qreal otherOpacity_;
    QMargins padding_;
    int current_ = 0;
    FocusRing* ring_;
};
