#pragma once
// One entry of the open folder's tree. A directory lists its children the first time it is loaded;
// a refresh re-lists only what was loaded, keeping the nodes of entries that still exist.
// Hidden entries (names starting with ".") and a fixed set of tool folders are left out.
#include <QList>
#include <QObject>
#include <QSet>
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
    // The same, each directory listed on another thread and taken in when its listing is done.
    void refreshLoadedLater();
    // Brings the loaded directories up to date with changes at the given paths, relative to this
    // directory: only those names are looked at, unless one directory has so many that listing it
    // again (on another thread) costs less.
    void applyChanges(const QSet<QString>& paths);
    // Entries read from disk so far by listings and by looking at changed names, in this process.
    static quint64 entriesRead();
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
    // The children were replaced: anything about them may differ.
    void childrenChanged();
    // One child came at index; the others kept their order.
    void childInserted(qsizetype index);
    // The child at index is about to go; the others keep their order.
    void childAboutToBeRemoved(qsizetype index);
    // Entries of loaded directories at or below this one came and went in a burst, without a signal
    // of their own: whatever shows them looks at the whole tree again, once.
    void descendantsChanged();
    // A listing made on another thread was taken in and the children differ: told as childrenChanged,
    // but those who show them may gather several of these into one.
    void childrenListed();
    void isExpandedChanged();
    void isLoadedChanged();

private:
    struct Listed { QString url, name; bool isDirectory; };
    FileNode(QString url, QString name, bool isDirectory);
    static Ptr make(const Listed& entry);
    // The visible entries of dir in display order.
    static QList<Listed> listVisible(const QString& dir);
    // Folders first, each part in the order names are shown in.
    static QList<Listed> inShownOrder(QList<Listed> entries);
    // Whether entry is listed before node's own entry.
    static bool comesBefore(const Listed& entry, const FileNode& node);
    void assignChildren(Children children);
    // Takes a listing of this directory in, keeping the nodes of entries still there; deep also
    // re-lists the loaded directories among them. True when the children differ; nothing is told.
    bool merge(const QList<Listed>& listed, bool deep);
    // The loaded directory at the relative path below, if it is shown.
    FileNode* loadedBelow(QStringView path);
    // The child named name, or children's size.
    qsizetype indexOf(const QString& name) const;
    // Looks at one name of this loaded directory again, on disk.
    void updateEntry(const QString& name);
    // The same for many names at once, in one pass over the children and without signals; true when
    // the children changed.
    bool updateEntries(const QStringList& names);
    // What a listing would show for one name of this directory; nullopt when it shows nothing.
    std::optional<Listed> lookAt(const QString& name) const;
    void listLater();
    // Lists this folder again, later, when it is loaded: its own entry changed.
    void listChangedFolder();

    mutable QUuid id_;
    const QString url_;
    const bool isDirectory_;
    const QString name_;
    std::optional<Children> children_;
    bool isExpanded_ = false;
    bool isLoaded_ = false;
    bool listing_ = false;      // a listing is under way on another thread
    bool listAgain_ = false;    // and another was asked for meanwhile
};
