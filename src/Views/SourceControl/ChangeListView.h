#pragma once
// The change lists of the source-control panel in one scrolling list that makes rows only for
// what is on screen. A click on a row shows its diff; a click on one of its actions (shown while
// the pointer is over the row) runs it. From the keyboard: Up and Down go from row to row, Left
// and Right from the row to its actions, Return or Space does what a click there would do.
#include <QListView>
#include <QPointer>
#include <array>
#include <functional>
#include <optional>

#include "Views/SourceControl/ChangeListModel.h"

class AppState;
class ChangeRowDelegate;

class ChangeListView : public QListView {
    Q_OBJECT
public:
    explicit ChangeListView(AppState& app, QWidget* parent = nullptr);

    ChangeListModel& changes() { return model_; }
    const ChangeListModel& changes() const { return model_; }
    // Shows these changes; rows made before are only kept in the model's positions.
    void setChanges(const QList<GitFileChange>& changes);
    // The widget shown over a section's header row (its title, count and actions); it is kept,
    // moved with the list and hidden while its section is empty or out of view.
    void setHeader(ChangeListModel::Section section, QWidget* header);
    // Where the keyboard goes when the header holding it goes away with its section.
    void setFocusHome(QWidget* widget) { focusHome_ = widget; }
    // Called with the result of each action a row runs.
    void setResultHandler(std::function<void(bool)> handler) { onResult_ = std::move(handler); }

    // Runs a row's action by its tooltip ("Unstage", "Discard", "Stage"), as its button would.
    void trigger(int row, const QString& help);
    // Where a row and its actions are in the viewport now.
    QRect rowRect(int row) const;
    QRect actionRect(int row, const QString& help) const;
    int keyboardAction() const { return keyboardAction_; }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;

private:
    static constexpr int kRowsPerBatch = 500;

    // The change at the top of the view, kept there while a new list is laid out.
    struct Anchor {
        ChangeListModel::Section section;
        QString path;
        int row = 0;
        int offset = 0;  // where its row starts, from the top of the viewport
        int scroll = 0;  // the scroll position it was seen at
    };
    std::optional<Anchor> topChange() const;
    void keepAnchor();
    void hoverAgain();

    void syncDelegate();
    void placeHeaders();
    // The action under a point of the viewport; empty when none.
    QString actionAt(const QPoint& point, int* row = nullptr) const;
    void moveCurrent(int step);

    QPointer<AppState> app_;
    ChangeListModel model_;
    ChangeRowDelegate* delegate_;
    std::function<void(bool)> onResult_;
    std::array<QPointer<QWidget>, 3> headers_;
    QPointer<QWidget> focusHome_;
    int keyboardAction_ = -1;
    std::optional<Anchor> anchor_;  // to bring back once its row has been laid out
};
