#pragma once
// One thread's reading of files for a search: each file is read whole into memory kept for the
// next one and its matching lines are collected. Files that are unreadable, not regular, larger
// than maxBytes or not valid UTF-8 are skipped.
#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>

#include "Views/Navigation/SearchHit.h"

class LineMatcher;

class FileScanner {
public:
    FileScanner(const LineMatcher& matcher, qint64 maxBytes, qsizetype maxHits);
    FileScanner(const FileScanner&) = delete;
    FileScanner& operator=(const FileScanner&) = delete;
    ~FileScanner();

    // Appends the hits of the file name inside the open folder at, until hits holds maxHits, and
    // returns how many it added; they carry no url yet. regular says that the folder's listing saw
    // a regular file there: such a file is asked about only when its first block fills up.
    qsizetype scanAt(int at, const char* name, bool regular, QList<SearchHit>& hits);
    // The same for a file given by its whole path, its hits carrying it. Files come a folder at a
    // time: the folder of the last one stays open, and the next is opened by its name inside it.
    qsizetype scanPath(const QString& path, QList<SearchHit>& hits);

    // Folders opened by their whole path so far.
    qsizetype foldersOpened() const { return foldersOpened_; }

private:
    char* reserve(qsizetype size, qsizetype kept = 0);
    bool read(int at, const char* name, bool regular, qsizetype& size);
    int folderOf(const QString& path, QByteArray& name);

    const LineMatcher& matcher_;
    const qint64 maxBytes_;
    const qsizetype maxHits_;
    std::unique_ptr<char[]> data_;  // grows but never shrinks
    qsizetype capacity_ = 0;
    QString folder_;  // of the last file given by path
    int folderFd_ = -1;
    bool folderTried_ = false;
    qsizetype foldersOpened_ = 0;
};
