#include "app/close_on_signal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include <QSocketNotifier>

namespace tembrel::app {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The pipe's ends; the handler may touch nothing else.
int g_pipe[2] = {-1, -1};
struct sigaction g_previous[std::size(kSignals)];
bool g_installed[std::size(kSignals)] = {};

void OnSignal(int) {
    const int saved = errno;
    const char byte = 1;
    // Full pipe: a close is already on its way.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

CloseOnSignal::CloseOnSignal(std::function<void()> close) : close_(std::move(close)) {
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return;
    }
    notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &CloseOnSignal::Drain);

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // Once caught, the next one of its kind takes the default action: a
    // program stuck while closing can still be ended with a second signal.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        g_installed[i] = false;
        if (sigaction(kSignals[i], nullptr, &g_previous[i]) != 0) continue;
        // Started under nohup: hang-ups stay ignored.
        if (kSignals[i] == SIGHUP && g_previous[i].sa_handler == SIG_IGN) continue;
        g_installed[i] = sigaction(kSignals[i], &action, nullptr) == 0;
    }
}

CloseOnSignal::~CloseOnSignal() {
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        if (g_installed[i]) sigaction(kSignals[i], &g_previous[i], nullptr);
    delete notifier_;
    for (int& end : g_pipe) {
        if (end >= 0) ::close(end);
        end = -1;
    }
}

void CloseOnSignal::Drain() {
    char bytes[64];
    bool caught = false;
    while (::read(g_pipe[0], bytes, sizeof bytes) > 0) caught = true;
    if (caught && close_) close_();
}

}  // namespace tembrel::app
