#pragma once
// The source-control sidebar panel: the repository state that the window's git service
// publishes (branch, remotes, stashes, staged and unstaged changes), the commit composer, and
// the buttons that change it. Without a repository it offers to create one.
#include <QPointer>
#include <array>
#include <QWidget>

#include "Git/GitFileChange.h"

class AppState;
class ChangeListView;
class CommitComposer;
class IconButton;
class PressableButton;
class QLabel;
class QStackedWidget;
class QVBoxLayout;
class QMenu;

class SourceControlPanel : public QWidget {
    Q_OBJECT
public:
    explicit SourceControlPanel(AppState& app, QWidget* parent = nullptr);

    static QString pullHelp(int behindBy);
    static QString pushHelp(int aheadBy);

    CommitComposer* composer() const { return composer_; }
    // The change lists: conflicts, then staged, then the other changes.
    ChangeListView* changeList() const { return list_; }
    // The section titles shown now, in order ("STAGED CHANGES", "CHANGES").
    QStringList sectionTitles() const;
    // What shows below the composer: "changes", "clean" or, without a repository, "empty".
    QString contentState() const;
    // The line that reports the last failed command started here; empty when hidden.
    QString errorLine() const;
    // The line that says why the repository's state could not be read; empty when hidden.
    QString readErrorLine() const;

    // Actions, as the buttons run them.
    void refresh();
    void pull();
    void push();
    void fetch();
    void promptStash();
    void popStash();
    void unstageAll();
    void stageAll();
    void confirmDiscardAll();
    void initRepository();
    void openBranches();

    // The items of the stash menu as it would open now.
    QStringList stashMenuItems() const;
    PressableButton* branchChip() const { return branchChip_; }
    IconButton* button(const QString& help) const;  // by tooltip

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildHeader();
    QWidget* buildToolbar();
    QWidget* buildRepositoryPage();
    QWidget* buildEmptyPage();
    QWidget* sectionHeader(const QString& title, QLabel** count, const QList<IconButton*>& actions, QWidget* parent);
    QWidget* makeSectionHeader(int section);
    void follow();  // everything that follows the published state
    void rebuildLists();
    void updateToolbar();
    // Shows git's line for a failed command, hides the line for a successful one.
    std::function<void(bool)> reporter();
    void showResult(bool ok);
    void showStashMenu();

    QPointer<AppState> app_;
    QWidget* toolbar_;
    PressableButton* branchChip_;
    IconButton* pullButton_;
    IconButton* pushButton_;
    IconButton* fetchButton_;
    IconButton* stashButton_;
    // The remote button that had the keys when a command disabled it, and where Qt passed them.
    QPointer<IconButton> keysBack_;
    QPointer<QWidget> keysPassedTo_;
    QLabel* errorLabel_;
    QLabel* readErrorLabel_;
    QStackedWidget* pages_;
    QWidget* repositoryPage_;
    QWidget* emptyPage_;
    QWidget* initButton_;
    CommitComposer* composer_;
    QStackedWidget* contentPages_;
    QWidget* cleanState_;
    ChangeListView* list_;
    std::array<QLabel*, 3> sectionCounts_{};  // the count beside each section's title
};
