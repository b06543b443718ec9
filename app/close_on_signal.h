#pragma once
// SIGINT, SIGTERM and SIGHUP (Ctrl-C in the terminal, `kill`, logging out)
// end the program as its Close does, so that a run is cancelled and every
// temporary and preview file goes with it. The handler only writes a byte to
// a pipe; the event loop reads it and does the closing on the GUI thread.
// A second signal of the same kind ends the program at once.
#include <functional>

#include <QObject>

class QSocketNotifier;

namespace tembrel::app {

class CloseOnSignal : public QObject {
public:
    // `close` runs on the GUI thread after a signal has been caught. One
    // object at a time.
    explicit CloseOnSignal(std::function<void()> close);
    // Puts back the signals' handling as it was before.
    ~CloseOnSignal() override;
    CloseOnSignal(const CloseOnSignal&) = delete;
    CloseOnSignal& operator=(const CloseOnSignal&) = delete;

private:
    void Drain();

    std::function<void()> close_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace tembrel::app
