#pragma once
// Quick open: the files of the open folder, read once when the overlay appears (off the main thread,
// so a large folder fills the list a moment later), filtered by the
// typed text against each file name (characters in order, gaps allowed), at most 60 in the
// order the folder was walked; names are prepared once per opening, not per keystroke. Arrows
// move the selection round the list; Return or a click closes the overlay and opens the file.
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include "Views/Navigation/FuzzyNames.h"
#include "Views/Navigation/ListOverlaySelection.h"

class AppState;
class KeyCatcher;
class OverlayList;
class PaletteField;
class PaletteRow;
class PaletteScaffold;
class QLabel;

class QuickOpenView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxResults = 60;
    static constexpr int kListMaxHeight = 360;
    // How long opening waits for the file list before showing without it; rows follow when it comes.
    static constexpr int kListingWaitMs = 30;

    explicit QuickOpenView(AppState& app, QWidget* parent = nullptr);

    // The files whose name (not folder path) matches the query, in list order, at most kMaxResults.
    static QStringList results(const QString& query, const QStringList& files);
    // What the list shows now.
    const QStringList& results() const { return shown_; }

    const QString& query() const { return query_; }
    // Also selects the first row again.
    void setQuery(const QString& query);
    int selection() const { return selection_.index(); }
    const QStringList& allFiles() const { return allFiles_; }
    // The file list of this opening has arrived.
    bool isListed() const { return listed_; }

    void move(int step) { selection_.move(step); }
    void enter();
    void close();
    // Closes the overlay and opens the file.
    void choose(const QString& path);

    PaletteField* field() const { return field_; }
    OverlayList* list() const { return list_; }
    // Each row's title is the file name, its trailing note the path inside the folder.
    QList<PaletteRow*> rows() const { return selection_.rows(); }
    // The "no folder" message; shown instead of the list while no folder is open.
    QLabel* noFolderLabel() const { return noFolder_; }
    KeyCatcher* keyCatcher() const { return keys_; }
    PaletteScaffold* scaffold() const { return scaffold_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void rebuildRows();

    QPointer<AppState> app_;
    QString query_;
    QStringList allFiles_;
    FuzzyNames names_;  // the names of allFiles_
    QStringList shown_;
    bool appeared_ = false;
    bool listed_ = false;
    KeyCatcher* keys_;
    PaletteField* field_;
    OverlayList* list_;
    ListOverlaySelection selection_;
    QLabel* noFolder_;
    PaletteScaffold* scaffold_;
};
