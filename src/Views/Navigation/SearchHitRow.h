#pragma once
// One matching line in project search: its number in accent colour, then the line itself in a
// monospaced face. A click anywhere on it chooses the hit.
#include <QWidget>

#include "Views/Navigation/SearchHit.h"

class SearchHitRow : public QWidget {
    Q_OBJECT
public:
    explicit SearchHitRow(const SearchHit& hit, QWidget* parent = nullptr);

    const SearchHit& hit() const { return hit_; }
    QSize sizeHint() const override;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    SearchHit hit_;
};
