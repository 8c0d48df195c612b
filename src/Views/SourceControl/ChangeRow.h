#pragma once
// One changed file in the source-control lists: language icon, file name, folder and status
// badge; while the pointer is over it, its actions (Unstage, or Discard and Stage) replace the
// badge. A click elsewhere on the row shows the change's diff.
#include <QColor>
#include <QPointer>
#include <QWidget>
#include <functional>

#include "Git/GitFileChange.h"

class AppState;
class IconButton;

class ChangeRow : public QWidget {
    Q_OBJECT
public:
    ChangeRow(AppState& app, const GitFileChange& change, bool staged, QWidget* parent = nullptr);

    const GitFileChange& change() const { return change_; }
    bool isStaged() const { return staged_; }
    bool isHovered() const { return hover_; }
    // Whether the window shows this path's diff (only the paths are compared).
    bool isActive() const;

    QString fileName() const;
    QString folder() const;  // empty for a file at the repository root
    static QColor badgeColor(const GitFileChange& change);

    // Called with the result of each action the row runs, even after the row itself is gone.
    void setResultHandler(std::function<void(bool ok)> handler) { onResult_ = std::move(handler); }

    // The action buttons, by tooltip: "Unstage", "Discard", "Stage".
    IconButton* actionButton(const QString& help) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void setHover(bool hover);
    void placeActions();
    void confirmDiscard();
    IconButton* addAction(const QString& symbol, const QString& help, std::function<void()> run);
    std::function<void(bool)> reporter() const;

    QPointer<AppState> app_;
    GitFileChange change_;
    bool staged_;
    bool hover_ = false;
    QList<IconButton*> actions_;
    std::function<void(bool)> onResult_;
};
