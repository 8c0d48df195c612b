#pragma once
// Notices changes to a repository's own state: HEAD, the index, branches, tags, remotes and
// stashes. These live in the git dir, which need not lie under the opened folder (a folder below
// the top level, a linked work tree, a submodule). Reports after a short quiet period, once per
// burst of changes.
#include <QFileSystemWatcher>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

class GitDirWatcher : public QObject {
    Q_OBJECT
public:
    // gitDir holds HEAD and the index; commonDir (the same folder except in a linked work tree)
    // holds the refs and packed-refs.
    GitDirWatcher(const QString& gitDir, const QString& commonDir, QObject* parent = nullptr);

    // Folders whose entries have been read to find new ref folders, so tests can tell that a
    // change looks only where it happened.
    qint64 foldersListed() const { return foldersListed_; }

signals:
    void changed();

private:
    // Refs nest in folders ("feature/x"): every folder under refs is watched, new ones as they come.
    void watchRefFolders();
    // Watches folder and the folders in it not yet watched (with everything, all of them), and
    // so on down.
    void watchNewFolders(const QString& folder, bool everything);
    // Watches the git dir, the common dir and the refs; while the git dir or the common dir is
    // gone (a repository deleted, to be made again), the folder that would hold it instead.
    void watchAll();
    void watch(const QString& folder);
    void noticed(const QString& folder);

    QFileSystemWatcher watcher_;
    QTimer quiet_;
    QString gitDir_;
    QString commonDir_;
    QString refs_;
    QSet<QString> waitingIn_;  // folders watched only until a missing git dir is back
    QSet<QString> watched_;
    qint64 foldersListed_ = 0;
};
