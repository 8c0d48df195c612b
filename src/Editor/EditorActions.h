#pragma once
// The commands the active text editor carries out for menus and overlays.

class EditorActions {
public:
    virtual ~EditorActions() = default;
    // Comment or uncomment the lines touched by the selection.
    virtual void toggleComment() = 0;
    // Move the caret to the start of a 1-based line.
    virtual void goToLine(int line) = 0;
};
