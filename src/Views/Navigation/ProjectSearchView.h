#pragma once
// Project search: Return searches every file of the open folder for the typed text (ignoring
// case) in the background and lists the matching lines grouped by file, files in path order,
// the first ones while the rest is still being looked for.
// Choosing a line closes the overlay, opens the file and, a moment later, puts the caret on it.
// Typing alone never searches; a new search replaces a running one.
#include <QList>
#include <QPointer>
#include <QWidget>

#include "Views/Navigation/ProjectSearch.h"
#include "Views/Navigation/SearchHit.h"

class AppState;
class KeyCatcher;
class OverlayList;
class PaletteField;
class PaletteScaffold;
class QLabel;
class SearchHitRow;

class ProjectSearchView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kListMaxHeight = 420;
    static constexpr int kCaretDelayMs = 60;  // lets the opened editor settle first

    struct FileGroup {
        QString url;
        QList<SearchHit> hits;
    };

    explicit ProjectSearchView(AppState& app, QWidget* parent = nullptr);

    // One group per file, by path compared as plain text; hits keep their order.
    static QList<FileGroup> grouped(const QList<SearchHit>& hits);
    // "<n>[+] matches in <m> files".
    static QString summary(const QList<SearchHit>& hits, bool truncated);

    const QString& query() const { return query_; }
    void setQuery(const QString& query);
    const QList<SearchHit>& hits() const { return hits_; }
    bool isSearching() const { return searching_; }
    bool isTruncated() const { return truncated_; }

    // Searches for the query without surrounding spaces and tabs; a shorter one than two
    // characters just clears the list.
    void runSearch();
    // More hits of the running search, following those shown: they join the list without
    // disturbing the rows already on it, the one with the keyboard and the scroll position.
    void addHits(const QList<SearchHit>& hits);
    void close();
    // Closes the overlay, opens the hit's file and then moves the caret to its line.
    void open(const SearchHit& hit);

    // The message shown in place of the list, or empty while the list shows.
    QString message() const;
    PaletteField* field() const { return field_; }
    OverlayList* list() const { return list_; }
    QList<SearchHitRow*> hitRows() const;
    KeyCatcher* keyCatcher() const { return keys_; }
    PaletteScaffold* scaffold() const { return scaffold_; }

signals:
    // After the hits of a search were put on screen.
    void searchFinished();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void finish(const ProjectSearch::Result& result);
    void refresh();
    void rebuildList();
    // Puts rows for hits (the last of hits_) on the list, in their files' groups.
    void addRows(const QList<SearchHit>& hits);

    struct GroupRows {
        QString url;
        QWidget* box;  // the file's header and its hits, one row of the list
    };

    QPointer<AppState> app_;
    QString query_;
    QList<SearchHit> hits_;
    bool searching_ = false;
    bool truncated_ = false;
    bool searched_ = false;  // Return was pressed at least once
    ProjectSearch search_;
    KeyCatcher* keys_;
    PaletteField* field_;
    QLabel* message_;
    OverlayList* list_;
    PaletteScaffold* scaffold_;
    QLabel* summaryLine_ = nullptr;
    QList<GroupRows> groups_;  // on the list, by path
};
