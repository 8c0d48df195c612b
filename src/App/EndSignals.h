#pragma once
// Turns the end signals (SIGTERM, SIGHUP, SIGINT) into a quit request on the main thread, so they
// ask about unsaved work and save the session as the Quit command does. The handler only writes
// the signal's number into a pipe that the event loop reads; a second signal that comes while the
// first is still being answered ends the program at once (stopping our git children first).
#include <QObject>
#include <functional>


class EndSignals : public QObject {
    Q_OBJECT
public:
    // quit runs on the main thread for each signal; it returns whether the program may end, and
    // the application's event loop is then left.
    explicit EndSignals(std::function<bool()> quit, QObject* parent = nullptr);
    ~EndSignals() override;

    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;

private:
    void readPending();

    std::function<bool()> quit_;
    int pipe_[2] = {-1, -1};
};
