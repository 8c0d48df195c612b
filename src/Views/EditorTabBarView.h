#pragma once
// The strip of open documents above the editor: one chip per document in tab order, scrolling
// sideways when they do not fit, with either wheel of the mouse. Whenever another document
// becomes active, and whenever the bar changes size, the strip moves just enough to show its chip;
// otherwise it stays put.
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
    static constexpr int kWheelPixelsPerNotch = 60;

    explicit EditorTabBarView(AppState* app, QWidget* parent = nullptr);

    // The chips in tab order.
    QList<TabChip*> chips() const;
    TabChip* chip(const QUuid& documentId) const { return chips_.value(documentId); }

    void refresh();

    // Chips put into the strip at a place in its row, counted over every bar.
    static qint64 placedChips;
    // Chips looked at to bring the strip in step with the tabs, counted over every bar.
    static qint64 visitedChips;

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void revealActive();

    QPointer<AppState> app_;
    QWidget* strip_;
    QHBoxLayout* row_;
    QHash<QUuid, TabChip*> chips_;
};
