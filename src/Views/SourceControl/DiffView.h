#pragma once
// The diff of one changed file in the editor area: a header naming the file, with "Open File"
// and a close button (Escape), over the lines git prints, numbered in the old and the new file
// and tinted by kind. Only the rows in view are drawn, so long diffs stay cheap.
#include <QFutureWatcher>
#include <QList>
#include <QPointer>
#include <QWidget>

#include "Git/GitFileChange.h"
#include "Views/SourceControl/DiffLine.h"

class AppState;
class DiffLinesArea;
class QLabel;
class QStackedWidget;

class DiffView : public QWidget {
    Q_OBJECT
public:
    DiffView(AppState& app, const GitFileChange& change, QWidget* parent = nullptr);

    const GitFileChange& change() const { return change_; }
    // Shows another change, its diff loaded again unless it is the one shown.
    void setChange(const GitFileChange& change);

    // True until the first lines show; the rest of a long diff may still be parsing then.
    bool isLoading() const { return loading_; }
    // The whole diff has been read and parsed.
    bool isComplete() const { return !loading_ && !parsing_; }
    const QString& raw() const { return raw_; }
    const QList<DiffLine>& lines() const { return lines_; }
    // "loading", "empty" or "lines": what the content area shows now.
    QString contentState() const;

    // Leaves the diff and opens the file in a tab.
    void openFile();
    // Leaves the diff.
    void dismiss();

    static QString marker(DiffLineKind kind);
    static QColor textColor(DiffLineKind kind);
    static QColor rowBackground(DiffLineKind kind);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* buildHeader();
    void load();
    void followState();
    // Follows the repository: the change as git now lists it, or none once it is committed.
    void followRepository();
    // The file to open in a tab, or empty when there is none (deleted, a folder, no repository).
    QString openablePath() const;

    QPointer<AppState> app_;
    GitFileChange change_;
    QString raw_;
    QList<DiffLine> lines_;
    bool loading_ = true;
    bool listed_ = true;  // git still lists the change
    quint64 loadToken_ = 0;
    QPointer<QFutureWatcherBase> parsing_;  // the parse running aside, if any
    QLabel* icon_;
    QLabel* path_;
    QLabel* badge_;
    QWidget* open_;
    QStackedWidget* content_;
    QWidget* spinner_;
    QWidget* empty_;
    DiffLinesArea* area_;
};
