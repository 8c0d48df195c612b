#pragma once
// One request of a request file in the collections panel: method badge and name, on the accent
// highlight while it is the window's active request. A click anywhere in the row chooses it;
// its context menu holds the request's actions.
#include <QUuid>
#include <QWidget>

#include "API/HTTPRequest.h"

class FocusRing;
class QLabel;
class QMenu;

class RequestRow : public QWidget {
    Q_OBJECT
public:
    RequestRow(const HTTPRequest& request, bool active, QWidget* parent = nullptr);

    QUuid requestId() const { return id_; }
    bool isActive() const { return active_; }
    QString name() const;
    QLabel* nameLabel() const { return name_; }
    QMenu* contextMenu() const { return menu_; }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QUuid id_;
    bool active_;
    bool pressed_ = false;
    QLabel* name_;
    QMenu* menu_;
    FocusRing* ring_;
};
