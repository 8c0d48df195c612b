#pragma once
// One tab of the tab bar: the document's language symbol, its name, and either its close button or,
// while it has unsaved changes and the pointer is elsewhere, an orange dot. A click anywhere else on
// the chip selects the document.
#include <QPointer>
#include <QWidget>

#include "UI/SpringAnimation.h"

class AppState;
class EditorDocument;
class QPushButton;

class TabChip : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 32;

    TabChip(EditorDocument* doc, AppState* app, QWidget* parent = nullptr);

    EditorDocument* document() const { return doc_; }
    bool isActive() const { return active_; }
    void setActive(bool active);
    bool hover() const { return hover_; }
    void setHover(bool hover);

    // The dot shows instead of the close button.
    bool showsDirtyDot() const;
    QPushButton* closeButton() const { return close_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void documentChanged();
    void updateCloseButton();
    QFont nameFont() const;
    QRect slotRect() const;

    QPointer<EditorDocument> doc_;
    QPointer<AppState> app_;
    bool hover_ = false;
    bool active_ = false;
    bool pressed_ = false;
    QPushButton* close_;
    SpringAnimation activeness_;  // 0 inactive, 1 active
};
