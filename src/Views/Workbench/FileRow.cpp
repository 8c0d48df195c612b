#include "Views/Workbench/FileRow.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

#include "AppState.h"
#include "Platform/FilePath.h"
#include "Platform/Prompter.h"

namespace {
namespace fs = std::filesystem;

// The name as the system holds it: Qt's own file names would turn bytes that are not UTF-8 into
// another name, and so reach another file.
fs::path native(const QString& path) { return fs::path(FilePath::encode(path).toStdString()); }

// lstat: a dangling link still takes the name.
bool nameTaken(const fs::path& path) {
    std::error_code error;
    return fs::symlink_status(path, error).type() != fs::file_type::not_found;
}
bool nameTaken(const QString& path) { return nameTaken(native(path)); }

// Whether path, once made, lies inside folder: its deepest existing ancestor, links resolved, must.
bool staysInside(const QString& folder, const QString& path) {
    std::error_code error;
    const std::string root = fs::canonical(native(folder), error).native();
    if (error || root.empty()) return false;
    fs::path existing = native(path);
    while (!nameTaken(existing) && existing != existing.parent_path()) existing = existing.parent_path();
    const std::string reached = fs::canonical(existing, error).native();  // fails for a dangling link
    return !error && (reached == root || reached.starts_with(root == "/" ? root : root + '/'));
}

bool makeFolders(const fs::path& path) {
    std::error_code error;
    fs::create_directories(path, error);
    return fs::is_directory(path, error);
}

// Makes a new empty file; an existing entry keeps its content and counts as a failure.
bool makeNewFile(const fs::path& path) {
    if (!makeFolders(path.parent_path())) return false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    return fd >= 0 && ::close(fd) == 0;
}
} // namespace

FileRow::FileRow(FileNode::Ptr node, int depth, AppState& app) : node_(std::move(node)), depth_(depth), app_(&app) {}

bool FileRow::isActive() const {
    if (node_->isDirectory() || !app_) return false;
    const EditorDocument* doc = app_->activeDocument();
    return doc && doc->url() == node_->url();
}

void FileRow::activate() {
    if (!app_) return;
    if (!node_->isDirectory()) {
        app_->open(node_->url());
        return;
    }
    node_->setIsExpanded(!node_->isExpanded());
    if (!node_->isExpanded()) return;
    if (!app_->watchesEverything()) node_->refreshLoaded();  // no watch told of changes in there
    node_->loadChildren();
}

std::optional<QString> FileRow::prompt(const QString& title, const QString& placeholder, const QString& initial) {
    TextPrompt request;
    request.title = title;
    request.placeholder = placeholder;
    request.initialText = initial;
    return Prompter::current().askText(request);
}

QString FileRow::nameProblem(const QString& name) {
    if (name.contains(QLatin1Char('/'))) return QStringLiteral("A name can’t contain “/”.");
    if (name == QLatin1String(".") || name == QLatin1String("..")) return QStringLiteral("“%1” can’t be used as a name.").arg(name);
    return {};
}

QString FileRow::newEntryProblem(const QString& path) {
    if (path.startsWith(QLatin1Char('/'))) return QStringLiteral("A name can’t start with “/”.");
    const QStringList parts = path.split(QLatin1Char('/'));
    if (parts.contains(QString())) return QStringLiteral("A name can’t have an empty part (“//” or a “/” at its end).");
    if (parts.contains(QStringLiteral(".."))) return QStringLiteral("A name can’t contain “..”.");
    if (path == QLatin1String(".")) return QStringLiteral("“.” can’t be used as a name.");
    return {};
}

bool FileRow::acceptName(const QString& name, bool nested, const QString& target) const {
    QString problem = nested ? newEntryProblem(name) : nameProblem(name);
    // The folder's own rows may be linked folders that point elsewhere: what is made or renamed there
    // would land outside the folder, so the folder itself is the bound, not the row.
    if (problem.isEmpty() && app_ && app_->rootNode() && !staysInside(app_->rootNode()->url(), target))
        problem = QStringLiteral("A name can’t lead out of the open folder through a linked folder.");
    if (problem.isEmpty()) return true;
    Alert alert;
    alert.title = QStringLiteral("The name “%1” can’t be used.").arg(name);
    alert.message = problem;
    alert.warning = true;
    Prompter::current().ask(alert);
    return false;
}

QString FileRow::folderForNewEntries() const {
    return node_->isDirectory() ? node_->url() : QFileInfo(node_->url()).absolutePath();
}

void FileRow::createEntry(bool directory) {
    const auto name = directory ? prompt(QStringLiteral("New Folder"), QStringLiteral("folder name"), QString())
                                : prompt(QStringLiteral("New File"), QStringLiteral("file.txt"), QString());
    if (!name || name->isEmpty() || !app_) return;
    const QString target = QDir(folderForNewEntries()).filePath(*name);
    if (!acceptName(*name, true, target)) return;
    const bool made = directory ? makeFolders(native(target)) : makeNewFile(native(target));
    if (!made) {
        QApplication::beep();
        return;
    }
    if (node_->isDirectory() && !node_->isExpanded()) {
        node_->setIsExpanded(true);
        node_->loadChildren();
    }
    refreshTree();
    if (!directory && app_) app_->open(target);
}

void FileRow::rename() {
    const auto name = prompt(QStringLiteral("Rename"), node_->name(), node_->name());
    if (!name || name->isEmpty() || *name == node_->name() || !app_) return;
    const QString target = QDir(QFileInfo(node_->url()).absolutePath()).filePath(*name);
    if (!acceptName(*name, false, target)) return;
    // A taken name is left alone: a plain rename would replace an empty folder or a file there.
    if (!nameTaken(target)) app_->renameEntry(node_->url(), target);
    refreshTree();
}

void FileRow::remove() {
    if (!app_ || (app_->rootNode() && app_->rootNode()->url() == node_->url())) return;
    Alert alert;
    alert.title = QStringLiteral("Move “%1” to the Trash?").arg(node_->name());
    alert.buttons = {QStringLiteral("Move to Trash"), QStringLiteral("Cancel")};
    alert.warning = true;
    if (Prompter::current().ask(alert) != 0) return;
    app_->moveToTrash(node_->url());
    refreshTree();
}

void FileRow::revealInFileViewer() const {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(node_->url()).absolutePath()));
}

void FileRow::copyPath() const {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(node_->url());
}

void FileRow::refreshTree() const {
    if (!app_) return;
    if (const FileNode::Ptr& root = app_->rootNode()) root->refreshLoaded();
    emit app_->changed();
}
