#include "TestSupport.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <ftw.h>
#include <stdio.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QThread>

namespace testing_support {

TempFolder::TempFolder() : canonical_(QFileInfo(dir_.path()).canonicalFilePath()) {}

namespace {
int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
    ::remove(path);  // what cannot go stays for QTemporaryDir to try
    return 0;
}
} // namespace

// Removed by bytes: a name that is not UTF-8 does not survive the round trip through QString, and
// QTemporaryDir would leave such a folder behind.
TempFolder::~TempFolder() { ::nftw(QFile::encodeName(dir_.path()).constData(), removeEntry, 16, FTW_DEPTH | FTW_PHYS); }

QString TempFolder::path() const { return canonical_; }

QString TempFolder::file(const QString& relative) const { return canonical_ + "/" + relative; }

QString TempFolder::write(const QString& relative, const QByteArray& bytes) const {
    const QString full = file(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile f(full);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) qFatal("cannot write %s", qPrintable(full));
    f.write(bytes);
    return full;
}

QString TempFolder::mkdir(const QString& relative) const {
    const QString full = file(relative);
    QDir().mkpath(full);
    return full;
}

QByteArray readBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

qsizetype openInside(const QString& folder) {
    qsizetype count = 0;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::Files | QDir::System))
        count += QFileInfo(fds.filePath(fd)).symLinkTarget().startsWith(folder);
    return count;
}

bool waitUntil(const std::function<bool()>& pred, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!pred()) {
        if (deadline.hasExpired()) return pred();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

void spin(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

int largestChannelDifference(const QImage& a, const QImage& b) {
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    return worst;
}

FileSizeLimit::FileSizeLimit(qint64 bytes) {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0) return;
    savedSoft_ = limit.rlim_cur;
    savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = rlim_t(bytes);
    active_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    if (!active_) std::signal(SIGXFSZ, savedHandler_);
}

void FileSizeLimit::lift() {
    if (!active_) return;
    struct rlimit limit {};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = rlim_t(savedSoft_);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, savedHandler_);
    active_ = false;
}

} // namespace testing_support
