#pragma once
// The HTTP client's picture of the open folder: its request files with their requests, its
// environments and the active one, and the operations that change those files on disk.
// One per window; everything runs on the main thread.
#include "API/APICollectionFile.h"
#include "API/APIEnvironment.h"
#include "API/HTTPRequest.h"

#include "Platform/TextFile.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUuid>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class APIService : public QObject {
    Q_OBJECT
public:
    explicit APIService(QObject* parent = nullptr);
    ~APIService() override;

    // The workspace folder (symbolic links already resolved by the caller); nothing is scanned without it.
    const std::optional<QString>& root() const { return root_; }
    void setRoot(const std::optional<QString>& folder);

    // Request files, in file-viewer order of their names (files with no request are left out).
    const QList<APICollectionFile>& collections() const { return collections_; }
    // Environments, in file-viewer order of their names; names are unique.
    const QList<APIEnvironment>& environments() const { return environments_; }
    // The environment whose values are substituted; may name none until the next rescan.
    const std::optional<QString>& activeEnvironment() const { return activeEnvironment_; }
    void setActiveEnvironment(const std::optional<QString>& name);
    // The active environment's values; empty when none is active or none has that name.
    QMap<QString, QString> environmentValues() const;

    // Rescans the root. A file that still holds what was last read or written keeps its record;
    // one changed outside is read anew, its requests keeping their ids (same place, same name) so
    // that a request being edited still finds its file.
    void reload();
    // The same after changes at the given paths (relative to the root): only they are looked at again
    // on disk, unless the root changed since the last rescan. A burst of them, or files too large to
    // read at once, are looked at on another thread and taken in when done, as reloadLater does.
    void reload(const QSet<QString>& changed);
    // The full rescan walked and read on another thread and taken in when done, for when anything may
    // have changed; changes reported meanwhile are looked at too before it is taken in.
    void reloadLater();
    // A rescan is under way on another thread; what it finds is taken in when it is done.
    bool isScanning() const { return scanning_; }

    // Writing. Request files are rewritten whole by their own format, atomically. Operations
    // that fail report false (or emit operationFailed) and leave lastError() saying why.
    // A file changed on disk since it was last read or written is not written over: the change is
    // merged line by line with the file's new text, and where both touched the same lines the
    // user is asked whether to overwrite; if not, the disk's version is taken and false returned.
    bool save(const APICollectionFile& file);
    // Replaces the request with the same id in the file at fileUrl and saves the file.
    bool update(const HTTPRequest& request, const QString& fileUrl);
    // A folder and a ".http" file named by the sanitised name, directly under the root; the
    // existing file is kept. The file's path, or nothing without a root or a usable name.
    std::optional<QString> createCollection(const QString& name);
    std::optional<HTTPRequest> addRequest(const QString& name, const QString& fileUrl);
    // A copy named "<name> copy" right after the request.
    std::optional<HTTPRequest> duplicate(const HTTPRequest& request, const QString& fileUrl);
    bool rename(const HTTPRequest& request, const QString& newName, const QString& fileUrl);
    bool deleteRequest(const HTTPRequest& request, const QString& fileUrl);
    // Renames the file (and the folder made for it, when the file is alone there).
    bool renameCollection(const QString& fileUrl, const QString& newName);
    // Moves the file to the Trash, and the folder made for it when that is left empty.
    bool deleteCollection(const QString& fileUrl);
    // environments/<name>.env under the root, made active; a secrets environment is also added
    // to the root's .gitignore. The file's path, or nothing without a root or a usable name.
    std::optional<QString> createEnvironment(const QString& name, bool isSecret);

    QString lastError() const { return lastError_; }

signals:
    void collectionsChanged();
    void environmentsChanged();
    void activeEnvironmentChanged();
    void operationFailed(const QString& message);

private:
    qsizetype indexOf(const QString& fileUrl) const;
    bool insideRoot(const QString& path) const;  // strictly below the root
    QString relativeToRoot(const QString& path) const;  // empty for the root and what is outside
    // After a change made here at these paths: shown at once (files too large to read at once
    // excepted), also while a rescan runs, which looks at them again.
    void lookAtOwnChange(const QSet<QString>& changed);
    // Only request files below the root are renamed or trashed, whatever path a caller hands in.
    bool isCollectionPath(const QString& path) const;
    bool fail(const QString& message);
    // The name made safe as a file name; nothing (and the failure reported) when none is left.
    std::optional<QString> usableName(const QString& name);
    // Applies edit to the request with that id in the file at fileUrl and saves the file; false
    // when either is not found or the file could not be written.
    bool editRequest(const QUuid& id, const QString& fileUrl, const std::function<void(HTTPRequest&)>& edit);

    // The text of a request file as last read or written, and the version of the file it was.
    struct DiskVersion {
        TextFile::Stamp stamp;
        QString text;
    };
    // The file's text to write, merged with what was changed on disk meanwhile; nothing when the
    // user chose the disk's version instead.
    std::optional<QString> mergedWithDisk(const APICollectionFile& file, const QString& text);
    // The record read anew from the disk's text, keeping ids.
    void adoptDiskText(qsizetype at, const TextFile::ReadResult& read);

    // What a rescan elsewhere read and parsed, by path, so that taking it in reads nothing here.
    struct Reads {
        QHash<QString, TextFile::ReadResult> texts;  // request files; a text is the known one when unchanged
        QHash<QString, QList<HTTPRequest>> parsed;   // their requests, ids kept from parsedFrom
        QHash<QString, QList<HTTPRequest>> parsedFrom;
        QHash<QString, std::optional<APIEnvironment>> environments;
    };
    // Reads the request and environment files found; given the paths changed since the last
    // reading (relative to the root), only those and what lies below them. What reads holds is
    // taken from there instead of the disk.
    void readFound(const QSet<QString>* changed = nullptr, const Reads* reads = nullptr);
    // Bytes of the found files that a reading after these changes would read.
    qint64 bytesToRead(const QStringList& found, const QSet<QString>& changed, const Reads* reads = nullptr) const;

    std::optional<QString> root_;
    std::optional<QString> scannedRoot_;
    QStringList found_;  // the request and environment files of the last scan of the root
    quint64 scanGeneration_ = 0;     // a rescan on another thread is taken in only while it is the latest
    // The same, for the rescans to see: one overtaken (or outlived by the service) stops reading.
    std::shared_ptr<std::atomic<quint64>> latestScan_ = std::make_shared<std::atomic<quint64>>(0);
    quint64 nextGeneration();
    bool scanning_ = false;
    // A scan on another thread: the files found are found anew, or updated after changes; those
    // that may have changed are read there, unless seed holds them already.
    struct Scan {
        std::optional<QStringList> found;        // to start from; absent: the root is walked
        QSet<QString> update;                    // paths to look at again in found
        std::optional<QSet<QString>> changed;    // the files below these are read; absent: all
        Reads seed;
    };
    void scanLater(Scan scan);
    // Takes in what a scan elsewhere found and read, unless something changed meanwhile: then that
    // is looked at too, elsewhere, with what was read so far, and all of it taken in at once.
    void takeIn(QStringList found, std::optional<QSet<QString>> changed, Reads reads);
    QSet<QString> changedWhileScanning_;
    QHash<QString, DiskVersion> known_;
    QList<APICollectionFile> collections_;
    QList<APIEnvironment> environments_;
    QHash<QString, APIEnvironment> environmentFiles_;  // each environment file as last read
    std::optional<QString> activeEnvironment_;
    QString lastError_;
};
