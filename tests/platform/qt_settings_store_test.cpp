// The options file must never block the program: a FIFO (or anything else
// that is not a regular file) under its name, or under the name of the lock
// file that saving takes, reads as "no options" and is not written over.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>

#include "engine/scoped_env.h"
#include "engine/settings_persistence.h"
#include "platform/qt_settings_store.h"
#include "support/test_support.h"

namespace tembrel {
namespace {

namespace fs = std::filesystem;

bool IsFifo(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

// Runs job, giving it a minute. A job stuck opening one of the FIFOs, for
// reading or for writing, is released by opening them at both ends and
// closing them again until it returns, so that a regression fails instead
// of hanging the test program.
template <typename Job>
bool FinishesWithoutBlocking(Job job, const std::vector<std::string>& fifos) {
    auto done = std::async(std::launch::async, job);
    if (done.wait_for(std::chrono::seconds(60)) == std::future_status::ready) {
        done.get();
        return true;
    }
    // A released writer may find the reading end closed again.
    ::signal(SIGPIPE, SIG_IGN);
    while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        for (const auto& fifo : fifos) {
            int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
            if (fd < 0) continue;
            char sink[4096];
            while (::read(fd, sink, sizeof sink) > 0) {
            }
            ::close(fd);
        }
    }
    done.get();
    return false;
}

TEST(QtSettingsStoreFifoTest, FifoInPlaceOfTheFilesIsNeitherReadNorWritten) {
    for (const char* fifoName : {"Options.conf", "Options.conf.lock"}) {
        test::ScratchDir config;
        test::ScopedEnv env;
        env.Set("XDG_CONFIG_HOME", config.Path());
        const std::string folder = config.File("Tembrel");
        const std::string file = folder + "/Options.conf";
        const std::string fifo = folder + "/" + fifoName;
        fs::create_directories(folder);
        const bool fileIsFifo = fifo == file;
        if (!fileIsFifo) test::WriteAll(file, {'[', 'G', 'e', 'n', 'e', 'r', 'a', 'l', ']', '\n'});
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0) << fifo;
        const auto before = fileIsFifo ? std::vector<std::uint8_t>{} : test::ReadAll(file);

        ConversionSettings loaded("/nowhere/");
        bool opened = true;
        bool finished = FinishesWithoutBlocking(
            [&] {
                QtSettingsStore store;
                opened = store.OpenForReading();
                store.Close();
                ColourFactors factors;
                LoadSettings(store, loaded, factors, "/nowhere/");
                ConversionSettings changed("/nowhere/");
                changed.SWFFrameRate = 30;
                SaveSettings(store, changed, kSaveFolder | kSaveOptions, factors);
            },
            {fifo});
        ASSERT_TRUE(finished) << fifoName << ": loading or saving blocked on the FIFO";
        EXPECT_EQ(opened, !fileIsFifo) << fifoName;
        EXPECT_EQ(loaded.SWFFrameRate, 12) << fifoName;
        // Saving was refused: the FIFO is still there and the file unchanged.
        EXPECT_TRUE(IsFifo(fifo)) << fifoName;
        if (!fileIsFifo) {
            EXPECT_EQ(test::ReadAll(file), before);
        }
    }
}

}  // namespace
}  // namespace tembrel
