#pragma once
// The small symbol buttons of the source-control views: a panel button (24 by 22 on a faint
// rounded square) and a remote button (26 by 22, a larger symbol). A panel button may carry a count badge, and can show a spinner in place of its symbol while work runs.
#include <QTimer>

#include "UI/PressableButton.h"

class IconButton : public PressableButton {
    Q_OBJECT
public:
    enum class Kind { panel, remote };

    IconButton(Kind kind, const QString& symbol, const QString& help, QWidget* parent = nullptr);

    bool isLoading() const { return loading_; }
    void setLoading(bool loading);
    // A count in a small capsule at the top-right corner; 0 shows none.
    int badge() const { return badge_; }
    void setBadge(int count);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void updateInk();
    void paintBadge();

    Kind kind_;
    bool loading_ = false;
    int badge_ = 0;
    int spinnerAngle_ = 0;
    QTimer spinner_;
};
