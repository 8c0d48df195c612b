#pragma once
// Turns the overlay keys into callbacks: Down and Up into a move of +1 and -1, Return and the
// keypad's Enter into enter, Escape into escape. Placed behind an overlay it takes those keys when
// it has the focus itself, and it can also catch them from the overlay's text field, so they act
// the same wherever the focus sits. A recognised key without its action is swallowed; any other key
// goes on as usual.
#include <QWidget>
#include <functional>

class QKeyEvent;

class KeyCatcher : public QWidget {
    Q_OBJECT
public:
    using MoveAction = std::function<void(int)>;
    using Action = std::function<void()>;

    explicit KeyCatcher(QWidget* parent = nullptr);

    // Replaces all three actions; an empty function leaves its keys without effect.
    void setActions(MoveAction onMove, Action onEnter, Action onEscape);

    // The keys above, pressed while source has the focus, reach these actions instead of source.
    void catchFrom(QWidget* source);

    // Whether the key is one of ours (whatever the modifiers).
    static bool recognises(const QKeyEvent* event);
    // Runs the action of a recognised key; false for any other key.
    bool dispatch(const QKeyEvent* event);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MoveAction onMove_;
    Action onEnter_;
    Action onEscape_;
};
