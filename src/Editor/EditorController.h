#pragma once
// The window's relay to whichever text editor registered last; it never owns that editor.
#include <QObject>

#include "Editor/EditorActions.h"
#include "Editor/WeakInterface.h"

class EditorController : public QObject {
    Q_OBJECT
public:
    explicit EditorController(QObject* parent = nullptr);

    // The registered editor, or null when none is registered or it has been destroyed.
    EditorActions* actions() const { return actions_.get(); }

    // An editor registers itself at every update; the reference clears when it is destroyed.
    template <class T>
    void setActions(T* editor) { actions_.reset(editor); }
    void setActions(EditorActions* actions, QObject* lifetime) { actions_.reset(actions, lifetime); }
    void clearActions() { actions_.reset(); }

    // Forward to the registered editor; nothing happens without one.
    void toggleComment();
    void goToLine(int line);

private:
    WeakInterface<EditorActions> actions_;
};
