#pragma once
// Turns a name the user typed into a name that is safe as one file or folder name in the workspace.
#include <QString>

namespace FileNameSanitizer {

// Deletes / \ : ? * " < > |, trims blanks at both ends, then drops leading dots (which would
// hide the file or make "." and ".."). An empty result means the name cannot be used.
QString sanitizeFileName(const QString& name);

} // namespace FileNameSanitizer
