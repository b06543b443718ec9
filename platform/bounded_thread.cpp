#include "platform/bounded_thread.h"

#include <sys/resource.h>

#include <cerrno>
#include <cstring>

namespace tembrel {
namespace {

// What Debian gives a thread by default; decoding and encoding need far
// less.
constexpr std::size_t kStackBytes = std::size_t{8} << 20;

// The soft limit, or false when there is none.
bool LimitOf(int resource, rlim_t& value) {
    struct rlimit limit {};
    if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return false;
    value = limit.rlim_cur;
    return true;
}

}  // namespace

BoundedThread::~BoundedThread() { Join(); }

bool BoundedThread::Start(std::function<void()> body, int* error) {
    if (started_) return false;
    body_ = std::move(body);
    pthread_attr_t attributes;
    int result = ::pthread_attr_init(&attributes);
    if (result == 0) {
        result = ::pthread_attr_setstacksize(&attributes, kStackBytes);
        if (result == 0) result = ::pthread_create(&thread_, &attributes, &BoundedThread::Main, this);
        ::pthread_attr_destroy(&attributes);
    }
    started_ = result == 0;
    if (!started_) {
        body_ = nullptr;
        if (error) *error = result;
    }
    return started_;
}

void BoundedThread::Join() {
    if (!started_) return;
    ::pthread_join(thread_, nullptr);
    started_ = false;
}

void* BoundedThread::Main(void* self) {
    static_cast<BoundedThread*>(self)->body_();
    return nullptr;
}

std::string ThreadStartFailureReason(int error) {
    std::string reason = std::string("no thread could be started (") + std::strerror(error) + ")";
    rlim_t value = 0;
    if (LimitOf(RLIMIT_NPROC, value))
        reason += "; the processes of this user are limited to " + std::to_string(value) + " (ulimit -u)";
    if (LimitOf(RLIMIT_AS, value))
        reason += "; the address space is limited to " + std::to_string(value / 1024) + " KB (ulimit -v)";
    return reason;
}

}  // namespace tembrel
