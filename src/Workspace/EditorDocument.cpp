#include "Workspace/EditorDocument.h"

#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <memory>
#include <utility>

#include "Editor/ExactText.h"

#include "Platform/FilePath.h"
#include "Platform/TextEquivalence.h"
#include "Platform/TextFile.h"
#include "Platform/TextSplice.h"
#include "Workspace/DirectoryListing.h"

#include <cerrno>
#include <sys/stat.h>

namespace {
// Saves have threads of their own, so that a write never queues behind searches or listings; at
// a normal exit the pool waits for the writes under way.
QThreadPool& writers() {
    static QThreadPool pool;
    return pool;
}

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
      savedText_(text_),
      samePrefix_(text_.size()),
      sameSuffix_(text_.size()) {
    savedFingerprint_.start(savedText_);
}

EditorDocument::~EditorDocument() {
    if (saving_.isValid()) saving_.waitForFinished();
}

void EditorDocument::setUrl(std::optional<QString> url) {
    url_ = std::move(url);
    emit urlChanged();
}

void EditorDocument::setText(const QString& text) {
    live_ = nullptr;
    held_.reset();
    text_ = text;
    samePrefix_ = sameSuffix_ = 0;
    textDidChange();
}

const QString& EditorDocument::text() const {
    if (live_) return live_->text();
    if (held_) applyHeld();
    return text_;
}

void EditorDocument::lendText(const ExactText* live) {
    if (live == live_) return;
    if (!live) {
        text_ = live_->text();
        live_ = nullptr;
        return;
    }
    applyHeld();
    live_ = live;
    text_ = QString();
}

void EditorDocument::willReplace(qsizetype at, qsizetype length, QStringView with) {
    awaitSaveRead();  // a save reading the text lets go of it soon: the edit then copies none of it
    if (isDirty_ || savedPrint_ || savedText_.isEmpty() || text().constData() != savedText_.constData() ||
        !textIsSavedText() || TextEquivalence::replacementKeepsEqual(savedText_, at, length, with))
        return;
    savedPrint_ = savedFingerprint_.take(savedText_);
    savedText_ = QString();
}

void EditorDocument::replaceText(qsizetype at, qsizetype length, QStringView with) {
    if (live_) {
        // The lender's text holds the edit already.
        const qsizetype oldSize = live_->size() - with.size() + length;
        at = qBound<qsizetype>(0, at, oldSize);
        length = qBound<qsizetype>(0, length, oldSize - at);
        samePrefix_ = qMin(samePrefix_, at);
        sameSuffix_ = qMin(sameSuffix_, oldSize - at - length);
        textDidChange(length == 0 && !with.isEmpty());
        return;
    }
    const qsizetype oldSize = text_.size() + (held_ ? held_->with.size() - held_->length : 0);
    at = qBound<qsizetype>(0, at, oldSize);
    length = qBound<qsizetype>(0, length, oldSize - at);
    samePrefix_ = qMin(samePrefix_, at);
    sameSuffix_ = qMin(sameSuffix_, oldSize - at - length);
    const qsizetype heldEnd = held_ ? held_->at + held_->with.size() : -1;
    if (held_ && length == 0 && at == heldEnd) {
        held_->with += with;  // typing on
    } else if (held_ && with.isEmpty() && at + length == heldEnd && at >= held_->at) {
        held_->with.chop(length);  // typed characters taken back
    } else {
        applyHeld();
        held_ = HeldEdit{at, length, with.toString()};
    }
    textDidChange();
}

void EditorDocument::applyHeld() const {
    if (!held_) return;
    const HeldEdit edit = std::move(*held_);
    held_.reset();
    TextSplice::replace(text_, edit.at, edit.length, edit.with);
}

void EditorDocument::textDidChange(bool inserted) {
    ++textRevision_;
    emit textChanged();
    // Only a save or a reload makes the document clean again; a dirty document needs no comparing.
    // Nor does typing into a clean one: text inserted into a text that reads as the saved one always
    // adds to its canonical decomposition, so it can never read the same again.
    inserted = inserted || (held_ && held_->length == 0 && !held_->with.isEmpty());
    if (isDirty_ || inserted || savedPrint_ || !TextEquivalence::canonicallyEqual(text(), savedText_, &samePrefix_, &sameSuffix_))
        setIsDirty(true);
}

void EditorDocument::setSavedText(const QString& text) {
    savedText_ = text;
    savedPrint_.reset();
    savedFingerprint_.start(savedText_);
    samePrefix_ = sameSuffix_ = 0;
}

bool EditorDocument::textIsSavedText() const {
    return !savedPrint_ && !held_ && text().size() == savedText_.size() && samePrefix_ >= text().size();
}

void EditorDocument::setIsDirty(bool dirty) {
    // Every key sets it; the tab, status bar and view only care when it turns.
    if (std::exchange(isDirty_, dirty) == dirty) return;
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

std::optional<QString> EditorDocument::saveTarget(const std::optional<QString>& to, QString* error) {
    // A save under way ends first: its outcome is the starting point of this one.
    finishSaving();
    const std::optional<QString> target = to ? to : url_;
    if (!target || target->isEmpty()) {
        if (error) *error = QStringLiteral("The document has no file to save to.");
        return std::nullopt;
    }
    return target;
}

bool EditorDocument::save(const std::optional<QString>& to, QString* error) {
    const std::optional<QString> target = saveTarget(to, error);
    if (!target) return false;
    TextFile::Stamp written;
    if (!TextFile::writeUtf8(*target, text(), error, &written)) return false;
    didSave(*target, written, true, std::nullopt);
    return true;
}

void EditorDocument::didSave(const QString& target, const TextFile::Stamp& written, bool textUnchanged,
                             std::optional<TextFingerprint::Print> print) {
    diskStamp_ = written;
    setUrl(target);
    setLanguage(languageFor(url_));
    if (!textUnchanged) {
        // The file holds the text as it was; only its print is needed to tell whether it still does.
        savedText_ = QString();
        savedPrint_ = print;
        savedFingerprint_.clear();
        samePrefix_ = sameSuffix_ = 0;
        return;
    }
    savedText_ = text();
    savedPrint_.reset();
    if (print) savedFingerprint_.set(*print);
    else savedFingerprint_.start(savedText_);
    samePrefix_ = sameSuffix_ = savedText_.size();
    setIsDirty(false);
}

bool EditorDocument::saveInBackground(const std::optional<QString>& to, QString* error) {
    const std::optional<QString> target = saveTarget(to, error);
    if (!target) return false;
    savingTo_ = *target;
    savingRevision_ = textRevision_;
    const quint64 generation = ++savingGeneration_;
    auto read = std::make_shared<std::promise<void>>();
    savingRead_ = read->get_future().share();
    saving_ = QtConcurrent::run(&writers(), [this, generation, read, path = *target, shared = text()]() mutable {
        Written written;
        const std::optional<QByteArray> bytes = TextFile::encodeUtf8(shared, &written.error);
        written.print = TextFingerprint::of(shared);
        // Let go before the write: an edit meanwhile then finds the buffer its own and copies nothing.
        shared = QString();
        read->set_value();
        if (bytes && !TextFile::writeBytes(path, *bytes, &written.error, &written.stamp) && written.error.isEmpty())
            written.error = QStringLiteral("The file could not be written.");
        // Taken in a later turn, unless someone waited for it (and maybe started another) before.
        QMetaObject::invokeMethod(
            this, [this, generation] { if (generation == savingGeneration_) finishSaving(); }, Qt::QueuedConnection);
        return written;
    });
    return true;
}

void EditorDocument::awaitSaveRead() {
    if (savingRead_.valid()) savingRead_.wait();
}

bool EditorDocument::finishSaving() {
    if (!saving_.isValid()) return true;
    const Written written = saving_.result();
    saving_ = {};
    savingRead_ = {};
    if (written.error.isEmpty()) didSave(savingTo_, written.stamp, savingRevision_ == textRevision_, written.print);
    emit saveFinished(written.error);
    return written.error.isEmpty();
}

EditorDocument::DiskChange EditorDocument::diskChange() const {
    if (!url_ || !diskStamp_) return DiskChange::none;
    const auto now = TextFile::stamp(*url_);
    if (!now) {
        // Gone, as opposed to out of reach for a moment.
        struct stat st {};
        const bool gone = ::stat(FilePath::encode(*url_).constData(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR);
        return gone ? DiskChange::missing : DiskChange::none;
    }
    if (*now == *diskStamp_) return DiskChange::none;
    // Touched or rewritten with the same bytes is no change worth asking about.
    const auto read = TextFile::readUtf8(*url_);
    const bool same = read.text && (savedPrint_ ? TextFingerprint::of(*read.text) == *savedPrint_ : *read.text == savedText_);
    return same ? DiskChange::none : DiskChange::changed;
}

void EditorDocument::moveTo(const QString& path) {
    setUrl(path);
    setLanguage(languageFor(url_));
}
