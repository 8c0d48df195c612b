#pragma once
// Reading and writing the user's files as UTF-8, byte for byte.
#include <QString>
#include <optional>

namespace TextFile {

// Larger files are refused rather than loaded into an editor buffer.
inline constexpr qint64 kMaxEditableBytes = 256ll * 1024 * 1024;

struct ReadResult {
    std::optional<QString> text;  // absent on failure
    QString error;                // why, for the user
};

// Strict: invalid UTF-8 is refused, never patched. A leading byte-order mark is kept as U+FEFF
// so that writing the text back gives the same bytes. Only regular files are read, and none of
// more than maxBytes.
ReadResult readUtf8(const QString& path, qint64 maxBytes = kMaxEditableBytes);

// Atomic replace of the whole file. On failure returns false and fills error when given.
bool writeUtf8(const QString& path, const QString& text, QString* error = nullptr);

} // namespace TextFile
