#pragma once
// Shared helpers for the test executables: temp folders, file bytes, event-loop waits.
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <functional>

class QImage;

namespace testing_support {

// A temp folder removed at the end of the test; paths are canonical (no symlinks).
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    QString path() const;
    QString file(const QString& relative) const;
    // Writes bytes, creating parent folders; returns the absolute path.
    QString write(const QString& relative, const QByteArray& bytes) const;
    QString mkdir(const QString& relative) const;
private:
    QTemporaryDir dir_;
    QString canonical_;
};

// Makes the system refuse this process's file bytes past `bytes` the way a full disk does (the write
// fails with EFBIG instead of the process being signalled), until lifted or destroyed.
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit() { lift(); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool active() const { return active_; }
    void lift();
private:
    unsigned long long savedSoft_ = 0;
    void (*savedHandler_)(int) = nullptr;
    bool active_ = false;
};

QByteArray readBytes(const QString& path);
// Descriptors this process holds on anything inside folder.
qsizetype openInside(const QString& folder);
// Spins the event loop until pred() holds or timeoutMs passes; returns pred(). The deadline only bounds a
// hang: it is generous so that a loaded machine never fails a test that would pass.
bool waitUntil(const std::function<bool()>& pred, int timeoutMs = 120000);
// Spins the event loop for at least ms milliseconds.
void spin(int ms);
// The largest difference of one channel (alpha too) between pixels at the same place of two images of one size.
int largestChannelDifference(const QImage& a, const QImage& b);

} // namespace testing_support
