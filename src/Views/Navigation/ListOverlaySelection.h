#pragma once
// The selectable rows of an overlay's list and which one is selected: the first after every
// rebuild, moved round at both ends by the arrows, or to a row the pointer enters. Rows built under
// a pointer that has not moved since do not count as entered. A click on a row chooses it. The overlay owns the list; this only keeps the index and the rows' highlight.
#include <QList>
#include <QPoint>
#include <functional>
#include <optional>

class OverlayList;
class PaletteRow;
class QObject;

class ListOverlaySelection {
public:
    explicit ListOverlaySelection(OverlayList* list) : list_(list) {}
    // The rows' connections point back here.
    ListOverlaySelection(const ListOverlaySelection&) = delete;
    ListOverlaySelection& operator=(const ListOverlaySelection&) = delete;

    int index() const { return index_; }
    // Back to the first row, for the next setRows.
    void reset() { index_ = 0; }

    // Replaces the list's rows, highlighting the selected one; a click on row i calls choose(i).
    // context ends the rows' connections when it goes.
    void setRows(const QList<PaletteRow*>& rows, QObject* context, std::function<void(int)> choose);
    QList<PaletteRow*> rows() const;

    // Round at both ends; a step of any size stays in range. Nothing happens on an empty list.
    void move(int step);
    void select(int index);
    // The selected row's index, or -1 when it names no row.
    int chosen() const;

private:
    OverlayList* list_;
    int index_ = 0;
    // Where the pointer rested when the rows were last built, until it moves.
    std::optional<QPoint> restingAt_;
};
