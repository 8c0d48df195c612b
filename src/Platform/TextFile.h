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
    // Taken long enough after the file's last change that a later change cannot carry the same
    // time (file times are coarse: two writes within one tick look alike). Only a settled stamp
    // that equals the file's stamp now proves the file unchanged.
    bool settled = false;
    bool operator==(const Stamp& other) const {
        return device == other.device && inode == other.inode && size == other.size && modifiedNs == other.modifiedNs;
    }
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

// How many files readUtf8 has read in this process, successfully or not.
quint64 filesRead();
// The most bytes the last readUtf8 on the calling thread decoded as one piece.
qsizetype largestPieceDecoded();

// The stamp of the file at path (following links); absent when there is no such file.
std::optional<Stamp> stamp(const QString& path);

// Replaces the whole file, at the end of its symbolic links (made again there when gone). By
// default a new file is written beside it and renamed over it, taking the old one's mode, owner,
// group, access list and user attributes; where that cannot be done faithfully (several hard
// links, a folder the writer may not add to, an owner or attribute the writer may not give) the
// file is written in place instead. On failure returns false, fills error with the system's reason when given and
// leaves the old content whole as far as the system allows; on success fills written when given.
bool writeUtf8(const QString& path, const QString& text, QString* error = nullptr, Stamp* written = nullptr);

// The two steps of writeUtf8, for a writer that lets go of the text before it writes the bytes:
// the text as UTF-8 (absent, with error filled when given, when it holds a lone surrogate), and
// the bytes written as writeUtf8 writes them.
std::optional<QByteArray> encodeUtf8(const QString& text, QString* error = nullptr);
bool writeBytes(const QString& path, const QByteArray& bytes, QString* error = nullptr, Stamp* written = nullptr);
// Units of text encodeUtf8 has encoded on the calling thread.
qsizetype unitsEncodedHere();
// Folder entries read by writes looking for the temporary files of killed saves, in this process.
quint64 leftoverEntriesRead();

} // namespace TextFile
