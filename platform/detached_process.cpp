#include "platform/detached_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace tembrel {

namespace {

// Only async-signal-safe calls from here on: the caller may have threads.
[[noreturn]] void RunInGrandchild(char* const argv[], int reportFd) {
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
    }
    ::setsid();
    ::execvp(argv[0], argv);
    const int error = errno;
    (void)!::write(reportFd, &error, sizeof error);
    ::_exit(127);
}

}  // namespace

bool StartDetached(const std::vector<std::string>& command) {
    if (command.empty()) return false;
    std::vector<char*> argv;
    for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    // The exec's failure comes back through a pipe that a successful exec
    // closes unwritten.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return false;
    // The middle child ends at once, so the program is init's to reap.
    const pid_t middle = ::fork();
    if (middle == 0) {
        ::close(report[0]);
        const pid_t program = ::fork();
        if (program == 0) RunInGrandchild(argv.data(), report[1]);
        ::_exit(program < 0 ? 1 : 0);
    }
    ::close(report[1]);
    if (middle < 0) {
        ::close(report[0]);
        return false;
    }
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got;
    while ((got = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    return got == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace tembrel
