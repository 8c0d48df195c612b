#pragma once
// The scrolling result list of an overlay card: rows stacked top to bottom with 8 points of
// padding, as tall as its rows up to a maximum height, then scrolling.
#include <QList>
#include <QScrollArea>

class QVBoxLayout;

class OverlayList : public QScrollArea {
    Q_OBJECT
public:
    OverlayList(int maxHeight, int spacing, QWidget* parent = nullptr);

    // Replaces every row (the old ones not among the new are deleted); takes ownership of the new ones.
    void setRows(const QList<QWidget*>& rows);
    const QList<QWidget*>& rows() const { return rows_; }
    // Scrolls just enough to show the row.
    void reveal(QWidget* row);

private:
    void fitHeight();

    int maxHeight_;
    QWidget* body_;
    QVBoxLayout* layout_;
    QList<QWidget*> rows_;
};
