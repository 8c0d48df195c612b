#pragma once
// Keeps files out of version control by adding their patterns to a folder's ".gitignore".
#include <QString>

namespace GitignoreFile {

// The comment line written above each pattern this program adds.
QString heading();

// Appends an empty line, the heading and the pattern to root/.gitignore (creating it) unless a
// line of the file, trimmed of blanks, already equals the pattern. The file's bytes are kept
// as they are, valid UTF-8 or not; the write is atomic. False, with a reason, when it fails.
bool addPattern(const QString& pattern, const QString& root, QString* error = nullptr);

} // namespace GitignoreFile
