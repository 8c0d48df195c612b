#pragma once
// The strip of open documents above the editor: one chip per document in tab order, scrolling
// sideways when they do not fit. It never scrolls by itself.
#include <QHash>
#include <QPointer>
#include <QScrollArea>
#include <QUuid>

class AppState;
class QHBoxLayout;
class TabChip;

class EditorTabBarView : public QScrollArea {
    Q_OBJECT
public:
    static constexpr int kHeight = 40;

    explicit EditorTabBarView(AppState* app, QWidget* parent = nullptr);

    // The chips in tab order.
    QList<TabChip*> chips() const;
    TabChip* chip(const QUuid& documentId) const { return chips_.value(documentId); }

    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<AppState> app_;
    QWidget* strip_;
    QHBoxLayout* row_;
    QHash<QUuid, TabChip*> chips_;
};
