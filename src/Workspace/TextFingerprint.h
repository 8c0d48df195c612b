#pragma once
// The size and hash of a text, worked out on another thread from the moment the text is known, so
// that the one who needs it later (to let go of a large text on its first edit) does not read the
// whole text then. The text is shared, not copied, until the hash is done.
#include <QFuture>
#include <QString>
#include <optional>

class TextFingerprint {
public:
    struct Print {
        qsizetype size = 0;
        size_t hash = 0;
        friend bool operator==(const Print&, const Print&) = default;
    };
    static Print of(QStringView text);
    // Units of text of() has hashed on the calling thread.
    static qsizetype unitsHashedHere();

    // Starts working out the print of the text, dropping the one worked out before.
    void start(const QString& text);
    // Takes the print of the text, worked out elsewhere.
    void set(Print print);
    // The print of the text last started, waiting for it if it is not done yet; the print of
    // `text`, worked out here, when none was started since the last clear().
    Print take(QStringView text);
    void clear();
    // Units the last take() hashed on the calling thread.
    qsizetype hashedByTake() const { return hashedByTake_; }

private:
    QFuture<Print> running_;
    std::optional<Print> done_;
    qsizetype hashedByTake_ = 0;
};
