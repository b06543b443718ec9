#pragma once
// A thread with a stack of its own size, whose start reports failure rather
// than throwing. std::thread gives every thread a stack as large as the
// stack limit (ulimit -s): under a limit of gigabytes, as clusters set, a
// few threads spend the whole address space. And a thread the system will
// not start (ulimit -u, ulimit -v) must leave the caller free to do the
// work with fewer.
#include <pthread.h>

#include <functional>
#include <string>

namespace tembrel {

class BoundedThread {
public:
    BoundedThread() = default;
    // Joins a thread still running.
    ~BoundedThread();
    BoundedThread(const BoundedThread&) = delete;
    BoundedThread& operator=(const BoundedThread&) = delete;

    // Runs body on a new thread. False when the system would not start one;
    // *error (when given) then holds the error number.
    bool Start(std::function<void()> body, int* error = nullptr);
    bool Started() const { return started_; }
    void Join();

private:
    static void* Main(void* self);

    std::function<void()> body_;
    pthread_t thread_{};
    bool started_ = false;
};

// Why a thread could not be started, naming the limits set on this process
// that may have stopped it.
std::string ThreadStartFailureReason(int error);

}  // namespace tembrel
