#pragma once
// The files of a folder, as quick open lists them, with their names made ready for filtering;
// read on another thread, so that a large folder never holds up the window. A small folder is
// ready when the constructor returns.
#include <QObject>
#include <QStringList>
#include <memory>

#include "Views/Navigation/FuzzyNames.h"

class FileSnapshot : public QObject {
    Q_OBJECT
public:
    struct Contents {
        QStringList files;
        FuzzyNames names;  // the files' names, without their folders
    };

    // Waits up to waitMs for the list; an empty folder path gives an empty list at once.
    FileSnapshot(const QString& folder, int waitMs, QObject* parent = nullptr);
    ~FileSnapshot() override;

    bool isReady() const { return contents_ != nullptr; }
    // The last path component of each path.
    static QStringList fileNames(const QStringList& paths);
    // Empty until ready.
    const Contents& contents() const;

signals:
    void ready();

private:
    struct Shared;
    bool take();

    std::shared_ptr<Shared> shared_;
    std::unique_ptr<Contents> contents_;
};
