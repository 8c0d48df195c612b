#pragma once
// The command palette: six window commands filtered by the typed text (title only, ignoring
// case). Arrows move the selection round the list, Return or a click runs the selected command
// once the palette has closed, Escape or a click on the backdrop just closes it.
#include <QList>
#include <QPointer>
#include <QWidget>

#include "Views/Navigation/ListOverlaySelection.h"
#include "Views/Navigation/PaletteCommand.h"

class AppState;
class KeyCatcher;
class OverlayList;
class PaletteField;
class PaletteRow;
class PaletteScaffold;

class CommandPaletteView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kListMaxHeight = 320;

    explicit CommandPaletteView(AppState& app, QWidget* parent = nullptr);

    // The table, built afresh (new ids) at every call; each action reads the state when it runs.
    QList<PaletteCommand> commands() const;
    // The commands whose title holds the query; all of them for an empty query.
    QList<PaletteCommand> filtered() const;

    const QString& query() const { return query_; }
    // Also selects the first row again.
    void setQuery(const QString& query);
    int selection() const { return selection_.index(); }

    void move(int step) { selection_.move(step); }
    void enter();
    void close();
    // Closes the palette, then runs the command on a later turn of the event loop.
    void run(const PaletteCommand& command);

    PaletteField* field() const { return field_; }
    OverlayList* list() const { return list_; }
    QList<PaletteRow*> rows() const { return selection_.rows(); }
    KeyCatcher* keyCatcher() const { return keys_; }
    PaletteScaffold* scaffold() const { return scaffold_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void rebuildRows();

    QPointer<AppState> app_;
    QString query_;
    QList<PaletteCommand> shown_;  // what the rows stand for
    KeyCatcher* keys_;
    PaletteField* field_;
    OverlayList* list_;
    ListOverlaySelection selection_;
    PaletteScaffold* scaffold_;
};
