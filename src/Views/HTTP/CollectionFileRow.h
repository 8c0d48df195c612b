#pragma once
// The label line of one request file in the collections panel: disclosure chevron, file name and
// request count. Whether its requests show is decided by the panel, not by clicks here. It is a
// Tab stop like the request rows, so the menu key or Shift+F10 reaches the collection's actions.
#include <QWidget>

class FocusRing;
class QMenu;

class CollectionFileRow : public QWidget {
    Q_OBJECT
public:
    CollectionFileRow(const QString& fileName, int requestCount, bool expanded, QWidget* parent = nullptr);

    bool isExpanded() const { return expanded_; }
    QString fileName() const { return fileName_; }
    QString countText() const { return QString::number(count_); }
    QMenu* contextMenu() const { return menu_; }
    FocusRing* focusRing() const { return ring_; }

    QSize sizeHint() const override;
    // Never lower than its text: a long list scrolls instead of squeezing its rows.
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString fileName_;
    int count_;
    bool expanded_;
    QMenu* menu_;
    FocusRing* ring_;

    void popupFromKeyboard();
};
