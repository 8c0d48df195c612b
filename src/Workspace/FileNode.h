#pragma once
// One entry of the open folder's tree. A directory lists its children the first time it is loaded;
// a refresh re-lists only what was loaded, keeping the nodes of entries that still exist.
// Hidden entries (names starting with ".") and a fixed set of tool folders are left out.
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <functional>
#include <memory>
#include <optional>

#include "Workspace/FileWalk.h"

class FileNode : public QObject {
    Q_OBJECT
public:
    using Ptr = std::shared_ptr<FileNode>;
    using Children = QList<Ptr>;

    // url is the entry's path. A symbolic link to a directory counts as a directory here, so a folder
    // opened through a link shows its content; walks over the whole tree never follow links.
    explicit FileNode(const QString& url);

    // Made the first time it is asked for: drawing one for every node of a large folder costs more
    // than listing it, and most are never asked.
    QUuid id() const;
    const QString& url() const { return url_; }
    bool isDirectory() const { return isDirectory_; }
    const QString& name() const { return name_; }

    // Absent until the directory is loaded; then its entries, directories first, in file-viewer order.
    const std::optional<Children>& children() const { return children_; }
    bool isLoaded() const { return isLoaded_; }
    bool isExpanded() const { return isExpanded_; }
    void setIsExpanded(bool expanded);

    // Lists a directory the first time; a directory that cannot be read becomes loaded and empty.
    void loadChildren();
    // Re-lists this loaded directory and every loaded directory below it.
    void refreshLoaded();
    // Appends every file at or below this node, read from disk now, in the file system's listing order.
    // Hidden and ignored directories are never entered, nor are links to directories.
    void allFiles(QStringList& into) const;
    using Files = FileWalk::Files;
    // The same walk below the directory dir, handing the files over in batches as it goes: one before
    // each subdirectory is entered (possibly empty) and one at the end. It stops when batch returns false.
    // Lists on up to threads threads (0: one per core).
    static void walkFiles(const QString& dir, const std::function<bool(Files&&)>& batch, int threads = 0);

    // Whether a name found inside a directory is left out of the tree and of the file list.
    static bool isExcluded(const QString& name);

signals:
    void childrenChanged();
    void isExpandedChanged();
    void isLoadedChanged();

private:
    struct Listed { QString url, name; bool isDirectory; };
    FileNode(QString url, QString name, bool isDirectory);
    static Ptr make(const Listed& entry);
    // The visible entries of dir in display order.
    static QList<Listed> listVisible(const QString& dir);
    // Whether entry is listed before node's own entry.
    static bool comesBefore(const Listed& entry, const FileNode& node);
    void assignChildren(Children children);

    mutable QUuid id_;
    const QString url_;
    const bool isDirectory_;
    const QString name_;
    std::optional<Children> children_;
    bool isExpanded_ = false;
    bool isLoaded_ = false;
};
