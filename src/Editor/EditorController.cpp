#include "Editor/EditorController.h"

EditorController::EditorController(QObject* parent) : QObject(parent) {}

void EditorController::toggleComment() {
    if (EditorActions* editor = actions()) editor->toggleComment();
}

void EditorController::goToLine(int line) {
    if (EditorActions* editor = actions()) editor->goToLine(line);
}
