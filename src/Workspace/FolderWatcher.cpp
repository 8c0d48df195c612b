#include "Workspace/FolderWatcher.h"

#include <QCoreApplication>
#include <QObject>

#include "Workspace/InotifyReader.h"

FolderWatcher::FolderWatcher(const QString& url, std::function<void()> onChange)
    : onChange_(std::move(onChange)), reader_(std::make_unique<InotifyReader>(url)) {
    clock_.start();
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { fireDue(); });
    QObject::connect(reader_.get(), &InotifyReader::eventsArrived, [this] {
        pacer_.eventsArrived(clock_.elapsed());
        schedule();
    });
}

FolderWatcher::~FolderWatcher() {
    reader_.reset();
    if (const auto due = pacer_.callbackDue())
        QTimer::singleShot(std::max<qint64>(0, *due - clock_.elapsed()), QCoreApplication::instance(), onChange_);
}

FolderChanges FolderWatcher::takeChanges() { return reader_ ? reader_->takeChanges() : FolderChanges{true, {}}; }

bool FolderWatcher::isRunning() const { return reader_->isActive(); }

int FolderWatcher::folderError() const { return reader_->folderError(); }

bool FolderWatcher::outOfWatches() const { return reader_->outOfWatches(); }

bool FolderWatcher::watchesEverything() const { return reader_->watchesEverything(); }

void FolderWatcher::schedule() {
    if (const auto next = pacer_.nextDeadline()) timer_.start(int(std::max<qint64>(0, *next - clock_.elapsed())));
    else timer_.stop();
}

void FolderWatcher::fireDue() {
    const int due = pacer_.advance(clock_.elapsed());
    schedule();
    // The callback may release this watcher (another folder opened): touch nothing after it.
    const auto callback = onChange_;
    for (int i = 0; i < due; ++i) callback();
}
