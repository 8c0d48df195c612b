#include "Platform/TextFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace TextFile {

namespace {
QString tooLarge(qint64 maxBytes) {
    return maxBytes == kMaxEditableBytes ? QStringLiteral("The file is too large to edit (over 256 MB).")
                                         : QStringLiteral("The file is too large.");
}
} // namespace

ReadResult readUtf8(const QString& path, qint64 maxBytes) {
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) return {std::nullopt, QString::fromLocal8Bit(std::strerror(errno))};
    if (S_ISDIR(st.st_mode)) return {std::nullopt, QStringLiteral("It is a folder, not a file.")};
    if (!S_ISREG(st.st_mode)) return {std::nullopt, QStringLiteral("It is not a regular file.")};
    if (st.st_size > maxBytes) return {std::nullopt, tooLarge(maxBytes)};

    // O_NONBLOCK: a file swapped for a FIFO between stat and open must not block us.
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return {std::nullopt, QString::fromLocal8Bit(std::strerror(errno))};
    struct stat fst {};
    if (::fstat(fd, &fst) != 0 || !S_ISREG(fst.st_mode)) {
        ::close(fd);
        return {std::nullopt, QStringLiteral("It is not a regular file.")};
    }
    QFile f;
    if (!f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {std::nullopt, f.errorString()};
    }
    QByteArray bytes;
    while (!f.atEnd()) {
        const QByteArray chunk = f.read(1 << 20);
        if (chunk.isEmpty() && f.error() != QFileDevice::NoError) return {std::nullopt, f.errorString()};
        if (chunk.isEmpty()) break;
        bytes += chunk;
        if (bytes.size() > maxBytes) return {std::nullopt, tooLarge(maxBytes)};
    }
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) return {std::nullopt, QStringLiteral("The file is not valid UTF-8 text.")};
    return {std::move(text), {}};
}

bool writeUtf8(const QString& path, const QString& text, QString* error) {
    QStringEncoder encoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    const QByteArray bytes = encoder.encode(text);
    if (encoder.hasError() || !QStringView(text).isValidUtf16()) {
        // Lone surrogates cannot be written as UTF-8.
        if (error) *error = QStringLiteral("The text holds characters that cannot be written as UTF-8.");
        return false;
    }
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        if (error) *error = f.errorString();
        return false;
    }
    if (f.write(bytes) != bytes.size() || !f.commit()) {
        if (error) *error = f.errorString();
        return false;
    }
    return true;
}

} // namespace TextFile
