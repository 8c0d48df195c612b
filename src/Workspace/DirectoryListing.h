#pragma once
// One level of a directory as the file system lists it, with each entry's kind read alongside,
// never following a symbolic link further than to ask what it points at.
#include <QList>
#include <QString>
#include <optional>

namespace DirectoryListing {

enum class Kind {
    directory,         // a real directory (not a link)
    linkToDirectory,   // a symbolic link whose target is a directory: never walked into
    other,             // files, links to files, dangling links, devices, ...
};

struct Entry {
    QString name;
    QString path;
    Kind kind = Kind::other;
    bool regular = false;  // a regular file itself, not a link to one: safe to open without asking again
};

} // namespace DirectoryListing
Q_DECLARE_TYPEINFO(DirectoryListing::Entry, Q_RELOCATABLE_TYPE);
namespace DirectoryListing {

// The entries directly inside dir, in the order the file system gives them, without "." and "..".
// Absent when the directory cannot be read. Names that are not UTF-8 are listed too, in FilePath's
// text form.
std::optional<QList<Entry>> list(const QString& dir);

// dir + "/" + name, without doubling a trailing slash.
QString join(const QString& dir, const QString& name);

// The last path component, ignoring trailing slashes ("/a/b/" gives "b").
QString lastComponent(const QString& path);

} // namespace DirectoryListing
