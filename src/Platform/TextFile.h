#pragma once
// Reading and writing the user's files as UTF-8, byte for byte.
#include <QString>
#include <optional>

namespace TextFile {

// Larger files are refused rather than loaded into an editor buffer.
inline constexpr qint64 kMaxEditableBytes = 256ll * 1024 * 1024;

// What identifies one version of a file on disk: a write by anyone changes it.
struct Stamp {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modifiedNs = 0;
    bool operator==(const Stamp&) const = default;
};

struct ReadResult {
    std::optional<QString> text;  // absent on failure
    QString error;                // why, for the user
    Stamp stamp;                  // of the file as it was opened
};

// Strict: invalid UTF-8 is refused, never patched, also when the file ends inside a character.
// A leading byte-order mark is kept as U+FEFF so that writing the text back gives the same bytes.
// Only regular files are read, up to their end whatever size they report, and none of more than
// maxBytes.
ReadResult readUtf8(const QString& path, qint64 maxBytes = kMaxEditableBytes);

// The stamp of the file at path (following links); absent when there is no such file.
std::optional<Stamp> stamp(const QString& path);

// Replaces the whole file. By default a new file is written beside it and renamed over it, taking
// the old one's mode, owner and group; where that cannot be done faithfully (several hard links,
// a folder the writer may not add to, an owner the writer may not give away) the file is written
// in place instead. On failure returns false, fills error with the system's reason when given and
// leaves the old content whole as far as the system allows; on success fills written when given.
bool writeUtf8(const QString& path, const QString& text, QString* error = nullptr, Stamp* written = nullptr);

} // namespace TextFile
