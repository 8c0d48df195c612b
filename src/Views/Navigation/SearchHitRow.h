#pragma once
// One matching line in project search: its number in accent colour, then the line itself in a
// monospaced face. A click anywhere on it, or Space while it has the keyboard, chooses the hit.
#include <QWidget>

#include "Views/Navigation/SearchHit.h"

class FocusRing;

class SearchHitRow : public QWidget {
    Q_OBJECT
public:
    explicit SearchHitRow(const SearchHit& hit, QWidget* parent = nullptr);

    const SearchHit& hit() const { return hit_; }
    const FocusRing& focusRing() const { return *ring_; }
    QSize sizeHint() const override;

signals:
    void clicked();
    // The keyboard came to the row, which the list should bring into view.
    void focused();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    SearchHit hit_;
    FocusRing* ring_;
};
