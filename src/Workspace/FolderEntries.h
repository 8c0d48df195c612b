#pragma once
// The entries of an open folder as the file list sees them: hidden and ignored names and links to
// folders left out, each entry classed as a folder, a regular file or another file (a link to a
// file, a device). Reads the folder in large blocks, one block per thread for all the folders it
// lists: read one folder to its end before listing another on the same thread.
#include <QString>
#include <memory>
#include <string_view>

class FolderEntries {
public:
    enum class Kind { folder, regularFile, otherFile };

    // An open folder's descriptor, closed with its last holder: subfolders are opened through it.
    struct Handle {
        explicit Handle(int handle) : fd(handle) {}
        Handle(const Handle&) = delete;
        Handle& operator=(const Handle&) = delete;
        ~Handle();
        const int fd;
    };

    explicit FolderEntries(int fd) : fd_(fd) {}

    // The next entry; false once the folder (or a read of it) ends. name lasts until the next call.
    bool next(std::string_view& name, Kind& kind);

    // prefix followed by an entry's name as text.
    static QString joined(const QString& prefix, std::string_view name);

private:
    const int fd_;
    long got_ = 0;
    long offset_ = 0;
};
