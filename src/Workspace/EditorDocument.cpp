#include "Workspace/EditorDocument.h"

#include "Platform/TextEquivalence.h"
#include "Platform/TextFile.h"
#include "Workspace/DirectoryListing.h"

#include <QFileInfo>

namespace {
CodeLanguage languageFor(const std::optional<QString>& url) {
    return url ? CodeLanguages::detect(DirectoryListing::lastComponent(*url)) : CodeLanguage::plain;
}
} // namespace

EditorDocument::EditorDocument(std::optional<QString> url, QString text, QObject* parent)
    : QObject(parent),
      id_(QUuid::createUuid()),
      url_(std::move(url)),
      text_(std::move(text)),
      language_(languageFor(url_)),
      savedText_(text_) {}

void EditorDocument::setUrl(std::optional<QString> url) {
    url_ = std::move(url);
    emit urlChanged();
}

void EditorDocument::setText(const QString& text) {
    text_ = text;
    emit textChanged();
    // Only a save or a reload makes the document clean again.
    if (!TextEquivalence::canonicallyEqual(text_, savedText_)) setIsDirty(true);
}

void EditorDocument::setIsDirty(bool dirty) {
    isDirty_ = dirty;
    emit isDirtyChanged();
}

void EditorDocument::setLanguage(CodeLanguage language) {
    language_ = language;
    emit languageChanged();
}

void EditorDocument::setCursorLine(int line) {
    cursorLine_ = line;
    emit cursorLineChanged();
}

void EditorDocument::setCursorColumn(int column) {
    cursorColumn_ = column;
    emit cursorColumnChanged();
}

QString EditorDocument::displayName() const {
    return url_ ? DirectoryListing::lastComponent(*url_) : QStringLiteral("Untitled");
}

bool EditorDocument::save(const std::optional<QString>& to, QString* error) {
    const std::optional<QString> target = to ? to : url_;
    if (!target || target->isEmpty()) {
        if (error) *error = QStringLiteral("The document has no file to save to.");
        return false;
    }
    TextFile::Stamp written;
    if (!TextFile::writeUtf8(*target, text_, error, &written)) return false;
    diskStamp_ = written;
    setUrl(*target);
    setLanguage(languageFor(target));
    savedText_ = text_;
    setIsDirty(false);
    return true;
}

EditorDocument::DiskChange EditorDocument::diskChange() const {
    if (!url_ || !diskStamp_) return DiskChange::none;
    const auto now = TextFile::stamp(*url_);
    if (!now) return QFileInfo::exists(*url_) ? DiskChange::none : DiskChange::missing;
    if (*now == *diskStamp_) return DiskChange::none;
    // Touched or rewritten with the same bytes is no change worth asking about.
    const auto read = TextFile::readUtf8(*url_);
    return read.text && *read.text == savedText_ ? DiskChange::none : DiskChange::changed;
}

void EditorDocument::moveTo(const QString& path) {
    setUrl(path);
    setLanguage(languageFor(url_));
}
