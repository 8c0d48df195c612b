#pragma once
// One entry of the file explorer and what can be done to it: open it or fold it open, create a
// file or folder inside it, rename it, reveal it in the file viewer, copy its path, move it to the
// Trash. After a change on disk the loaded part of the tree is listed again.
#include <QPointer>
#include <QString>
#include <optional>

#include "Workspace/FileNode.h"

class AppState;

class FileRow {
public:
    FileRow(FileNode::Ptr node, int depth, AppState& app);

    const FileNode::Ptr& node() const { return node_; }
    int depth() const { return depth_; }
    // Space before the row's content: 6 points, and 12 more per level.
    static int leadingPadding(int depth) { return depth * 12 + 6; }
    // A file whose document is the active tab; never a folder.
    bool isActive() const;

    // A file opens in the editor; a folder folds open (listing it the first time) or shut.
    void activate();
    void createEntry(bool directory);
    void rename();
    // Moves the entry to the Trash after asking; the open folder itself is never moved.
    void remove();
    void revealInFileViewer() const;
    void copyPath() const;

    // Asks for a name; the text as typed, or nothing when cancelled.
    static std::optional<QString> prompt(const QString& title, const QString& placeholder, const QString& initial);
    // Why a typed name cannot name an entry in a folder; empty when it can.
    static QString nameProblem(const QString& name);
    // Why a typed name cannot name a new entry below a folder ("a/b" makes a inside and b in it);
    // empty when it can. Only names that would lead out of the folder are refused.
    static QString newEntryProblem(const QString& path);

private:
    QString folderForNewEntries() const;
    // Alerts and refuses a name that cannot be used, or whose target would lie outside the open folder.
    bool acceptName(const QString& name, bool nested, const QString& target) const;
    void refreshTree() const;

    FileNode::Ptr node_;
    int depth_;
    QPointer<AppState> app_;
};
