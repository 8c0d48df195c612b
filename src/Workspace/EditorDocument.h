#pragma once
// One open tab: the text of a file (or of an untitled buffer), whether it holds unsaved changes,
// its language and the caret position. It reads nothing from disk; it writes itself when saved.
#include <QFuture>
#include <QObject>
#include <QString>
#include <QUuid>
#include <future>
#include <optional>

#include "Editor/CodeLanguage.h"
#include "Platform/TextFile.h"
#include "Workspace/TextFingerprint.h"

class ExactText;

class EditorDocument : public QObject {
    Q_OBJECT
public:
    // url is the file's path; absent for an untitled document.
    explicit EditorDocument(std::optional<QString> url = std::nullopt, QString text = {}, QObject* parent = nullptr);
    // Lets a save under way end first: its bytes are the user's.
    ~EditorDocument() override;

    QUuid id() const { return id_; }

    // Every setter announces its change, also when the value stays the same.
    const std::optional<QString>& url() const { return url_; }
    void setUrl(std::optional<QString> url);

    const QString& text() const;
    // Marks the document dirty when the text is not canonically equal to the saved text.
    void setText(const QString& text);
    // The same as setText of the text with length units at `at` replaced by `with`, edited in place.
    void replaceText(qsizetype at, qsizetype length, QStringView with);
    // While an editor holds the text and edits it in place, the document reads it from there instead
    // of keeping a copy of its own; the editor still reports every edit with replaceText(), which
    // then only keeps the books. setText() ends it, and so does null: the document then keeps the
    // text as it is (sharing it, not copying it).
    void lendText(const ExactText* live);
    const ExactText* lentText() const { return live_; }
    // Called by the lender before it edits its text in place, with the edit it is about to make. When
    // the text still shares its buffer with the saved text and the edit makes them differ, the saved
    // text lets go of the buffer (the lender then edits it without a copy) and only its fingerprint
    // is kept: a dirty document needs the saved text for nothing else than telling whether the file
    // on disk still holds it. That fingerprint is worked out on another thread when the saved text
    // is set, so that this reads none of the text. A save reading the text is let finish its read first.
    void willReplace(qsizetype at, qsizetype length, QStringView with);
    // Units of the saved text the last willReplace() hashed on the calling thread.
    qsizetype unitsHashedOnEdit() const { return savedFingerprint_.hashedByTake(); }
    // Counts every change of the text, so a holder of a copy can tell whether it is behind.
    quint64 textRevision() const { return textRevision_; }

    bool isDirty() const { return isDirty_; }
    void setIsDirty(bool dirty);

    CodeLanguage language() const { return language_; }
    void setLanguage(CodeLanguage language);

    int cursorLine() const { return cursorLine_; }
    void setCursorLine(int line);
    int cursorColumn() const { return cursorColumn_; }
    void setCursorColumn(int column);

    // The text as last read or saved; the reference of the dirty rule. Changing it announces nothing.
    // Empty once willReplace() let it go (the document is dirty then) until the next save or reload,
    // and after a save in the background that the text outran.
    const QString& savedText() const { return savedText_; }
    void setSavedText(const QString& text);
    // True when the text is the saved text unit for unit: savedText(), which is never edited in
    // place, can then be shared where a copy of the text is wanted.
    bool textIsSavedText() const;

    // The file name, or "Untitled".
    QString displayName() const;

    // Writes the text atomically to `to`, or to the document's own file when `to` is absent, byte for
    // byte as held (line endings and a leading U+FEFF included). On success the document follows the
    // target and turns clean. On failure nothing changes, false is returned and error says why.
    bool save(const std::optional<QString>& to = std::nullopt, QString* error = nullptr);
    // The same, with the bytes made and written on another thread, so that a large text does not hold
    // up the caller: the text is shared, not copied, and let go of before the write. False (error
    // filled) only when there is no file to save to; the outcome comes as saveFinished(). Until then
    // the document stays as it was; an edit made meanwhile keeps it dirty after the write.
    bool saveInBackground(const std::optional<QString>& to = std::nullopt, QString* error = nullptr);
    bool isSaving() const { return saving_.isValid(); }
    // Waits for the save under way to end and takes its outcome now; false when it failed.
    bool finishSaving();
    // Waits until the save under way has let go of the text (made its bytes), not for the write:
    // an edit after that finds the text its own instead of copying it whole.
    void awaitSaveRead();

    // --- the file on disk
    // The file as last read or saved; absent when not known (untitled, or created without a read).
    const std::optional<TextFile::Stamp>& diskStamp() const { return diskStamp_; }
    void setDiskStamp(const std::optional<TextFile::Stamp>& stamp) { diskStamp_ = stamp; }
    enum class DiskChange { none, changed, missing };
    // Whether the file is still what was last read or saved: a different stamp counts only when the
    // bytes differ too. Nothing known counts as none.
    DiskChange diskChange() const;
    // The file was renamed or moved: the document follows it (name and language), edits kept.
    void moveTo(const QString& path);

signals:
    void urlChanged();
    void textChanged();
    void isDirtyChanged();
    void languageChanged();
    void cursorLineChanged();
    void cursorColumnChanged();
    // A save in the background ended: empty error when the file holds the text.
    void saveFinished(const QString& error);

private:
    // Where a save goes (the document's own file unless told another), after any save under way.
    std::optional<QString> saveTarget(const std::optional<QString>& to, QString* error);
    // inserted: the edit only added text (a clean text that only grew cannot read as the saved one).
    void textDidChange(bool inserted = false);
    void applyHeld() const;
    // The document follows the file it was saved to; clean when the text is still what was written.
    void didSave(const QString& target, const TextFile::Stamp& written, bool textUnchanged,
                 std::optional<TextFingerprint::Print> print);

    const QUuid id_;
    std::optional<QString> url_;
    // Typing moves the text's tail once per keystroke, a long pause in a text of hundreds of
    // megabytes. A run of typing (characters added at its end, or taken back from it) is held
    // here instead and put into the text when the text is next read.
    struct HeldEdit {
        qsizetype at = 0;
        qsizetype length = 0;
        QString with;
    };
    mutable QString text_;
    const ExactText* live_ = nullptr;  // the editor's text, while it lends it
    mutable std::optional<HeldEdit> held_;
    bool isDirty_ = false;
    CodeLanguage language_;
    int cursorLine_ = 1;
    int cursorColumn_ = 1;
    QString savedText_;
    // What is known of the saved text once it was let go, and that worked out while it is held.
    std::optional<TextFingerprint::Print> savedPrint_;
    TextFingerprint savedFingerprint_;
    std::optional<TextFile::Stamp> diskStamp_;
    // Lower bounds of how many units text and saved text share at their start and end, so the dirty
    // rule after an edit reads only the stretch that can differ.
    qsizetype samePrefix_ = 0;
    qsizetype sameSuffix_ = 0;
    quint64 textRevision_ = 0;
    struct Written {
        QString error;
        TextFile::Stamp stamp;
        TextFingerprint::Print print;
    };
    QFuture<Written> saving_;
    std::shared_future<void> savingRead_;  // ready once the save under way has let go of the text
    QString savingTo_;
    quint64 savingRevision_ = 0;
    quint64 savingGeneration_ = 0;
};
