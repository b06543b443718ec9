#include "app/options/preview_builder.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <vector>

#include <QThreadPool>
#include <QTimer>

#include "app/app_test_support.h"
#include "engine/conversion_driver.h"
#include "swf/swf_template.h"
#include "support/test_support.h"

namespace tembrel::app {
namespace {

namespace fs = std::filesystem;

using test::WaitFor;

std::vector<std::string> PreviewFiles(const std::string& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().rfind("TBRpreview-", 0) == 0) found.push_back(entry.path().string());
    return found;
}

std::string ProgramFolder() { return std::string(TEMBREL_PROGRAM_DIR) + "/"; }

PreviewRequest TrackBarIn(ColourRef button) {
    PreviewRequest request{ConversionSettings(ProgramFolder()), ProgramFolder() + "ControlSWF/track_bar.swf", {}};
    request.settings.SWFBtnColor = button;
    return request;
}

// Holds each build on the worker thread until the test lets one through,
// and notes which requests were built. Lets every build through as it goes
// and waits for them, so that no worker is left waiting on it.
class BuildGate {
public:
    ~BuildGate() {
        Pass(1000);
        QThreadPool::globalInstance()->waitForDone();
    }
    PreviewBuilder::Prepare Prepare() {
        return [this](const PreviewRequest& request, SwfTemplate& movie, std::string& why) {
            std::unique_lock<std::mutex> hold(lock_);
            built_.push_back(request.settings.SWFBtnColor);
            // Bounded, so that a builder that waited for its build on the
            // GUI thread fails the test instead of hanging it.
            if (changed_.wait_for(hold, std::chrono::minutes(2), [this] { return passes_ > 0; })) --passes_;
            hold.unlock();
            return PreviewBuilder::PrepareTemplateOf(request, movie, why);
        };
    }
    void Pass(int builds = 1) {
        const std::lock_guard<std::mutex> hold(lock_);
        passes_ += builds;
        changed_.notify_all();
    }
    std::vector<ColourRef> Built() {
        const std::lock_guard<std::mutex> hold(lock_);
        return built_;
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    int passes_ = 0;
    std::vector<ColourRef> built_;
};

class PreviewBuilderTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::TestApplication();
        setenv("TMPDIR", temp_.Path().c_str(), 1);
    }
    void TearDown() override { unsetenv("TMPDIR"); }

    test::ScratchDir temp_;
};

// A build waits on the worker while the GUI thread goes on; requests that
// come meanwhile are not built, save the newest, and the one overtaken never
// reaches the preview. A builder closed while it builds leaves no movie,
// whether the build ends after it or had already ended unseen.
TEST_F(PreviewBuilderTest, BuildsBesideTheEventLoopAndShowsOnlyTheNewestRequest) {
    BuildGate gate;
    auto builder = std::make_unique<PreviewBuilder>(nullptr, gate.Prepare());
    int built = 0, failed = 0;
    QObject::connect(builder.get(), &PreviewBuilder::Built, [&] { ++built; });
    QObject::connect(builder.get(), &PreviewBuilder::Failed, [&] { ++failed; });

    constexpr ColourRef kFirst = 0x0000FF, kSecond = 0x00FF00, kNewest = 0xFF0000;
    builder->Request(TrackBarIn(kFirst));
    ASSERT_TRUE(WaitFor([&] { return gate.Built().size() == 1; }));
    // Timers fire while the first build is held: the window answers.
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(1);
    EXPECT_TRUE(WaitFor([&] { return ticks >= 3; }));
    EXPECT_TRUE(builder->Busy());
    builder->Request(TrackBarIn(kSecond));
    builder->Request(TrackBarIn(kNewest));
    gate.Pass(2);
    ASSERT_TRUE(WaitFor([&] { return built > 0 && !builder->Busy(); }));
    EXPECT_EQ(built, 1);
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(gate.Built(), (std::vector<ColourRef>{kFirst, kNewest}));
    // What is shown is the newest request's movie, and the only one.
    SwfTemplate expected;
    std::string why;
    ASSERT_TRUE(PreviewBuilder::PrepareTemplateOf(TrackBarIn(kNewest), expected, why)) << why;
    const std::string direct = temp_.File("direct.swf");
    ASSERT_TRUE(expected.SaveTemplate(direct));
    EXPECT_EQ(test::ReadAll(builder->Path()), test::ReadAll(direct));
    EXPECT_EQ(PreviewFiles(temp_.Path()), std::vector<std::string>{builder->Path()});

    // Closed with a build finished on the worker but not yet delivered.
    builder->Request(TrackBarIn(kFirst));
    gate.Pass();
    QThreadPool::globalInstance()->waitForDone();
    EXPECT_EQ(PreviewFiles(temp_.Path()).size(), 2u);
    builder.reset();
    EXPECT_TRUE(PreviewFiles(temp_.Path()).empty());

    // Closed while a build is held: it writes nothing once let go.
    builder = std::make_unique<PreviewBuilder>(nullptr, gate.Prepare());
    builder->Request(TrackBarIn(kSecond));
    ASSERT_TRUE(WaitFor([&] { return gate.Built().size() == 4; }));
    builder.reset();
    gate.Pass();
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_TRUE(PreviewFiles(temp_.Path()).empty());
    EXPECT_EQ(built, 1);
}

// A picture too large for the memory there is fails that one preview with
// the out-of-memory message; the program goes on, and the next preview is
// built. Run in a child of this test program under an address-space limit,
// so that nothing else of the test run meets the limit.
TEST_F(PreviewBuilderTest, RunningOutOfMemoryFailsThatPreviewWithItsMessage) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer never lets an allocation fail with std::bad_alloc";
#else
    const char* picture = std::getenv("TEMBREL_TEST_LARGE_PICTURE");
    if (!picture) {
        // A picture of 1 GB, sparse: it takes no disk.
        const std::string big = temp_.File("big.jpg");
        test::WriteAll(big, {0xFF, 0xD8, 0xFF, 0xE0});
        ASSERT_EQ(::truncate(big.c_str(), off_t{1} << 30), 0);
        char self[4096] = {};
        ASSERT_GT(::readlink("/proc/self/exe", self, sizeof self - 1), 0);
        std::string output;
        const int status = test::RunCommand(
            "TEMBREL_TEST_LARGE_PICTURE=" + test::ShellQuote(big) + " " + test::ShellQuote(self) +
                " --gtest_filter=PreviewBuilderTest.RunningOutOfMemoryFailsThatPreviewWithItsMessage 2>&1",
            &output);
        EXPECT_EQ(status, 0) << output;
        EXPECT_NE(output.find("[       OK ]"), std::string::npos) << output;
        EXPECT_EQ(output.find("SKIPPED"), std::string::npos) << output;
        return;
    }
    // The child: 400 MB more address space than it has now, less than the
    // picture takes.
    std::ifstream status("/proc/self/status");
    long long sizeKb = 0;
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmSize:", 0) == 0) sizeKb = std::atoll(line.c_str() + 7);
    ASSERT_GT(sizeKb, 0);
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_AS, &limit), 0);
    limit.rlim_cur = static_cast<rlim_t>(sizeKb + 400 * 1024) * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_AS, &limit), 0);

    PreviewBuilder builder;
    QString message;
    bool failed = false, built = false;
    QObject::connect(&builder, &PreviewBuilder::Failed, [&](const QString& text) {
        failed = true;
        message = text;
    });
    QObject::connect(&builder, &PreviewBuilder::Built, [&] { built = true; });
    PreviewRequest request{ConversionSettings(ProgramFolder()), ProgramFolder() + "ControlSWF/use_a_jpeg_1.swf", {}};
    request.settings.JPEGFile = picture;
    request.settings.JPEGWidth = 40;
    request.settings.JPEGHeight = 30;
    builder.Request(request);
    ASSERT_TRUE(WaitFor([&] { return failed || built; }));
    EXPECT_FALSE(built);
    EXPECT_EQ(message.toStdString(), OutOfMemoryMessage(request.templatePath));
    EXPECT_TRUE(builder.Path().empty());

    // The same limit with the sample picture: the limit itself is no fault.
    request.settings.JPEGFile = ProgramFolder() + "sample.jpg";
    failed = false;
    builder.Request(request);
    ASSERT_TRUE(WaitFor([&] { return failed || built; }));
    EXPECT_TRUE(built) << message.toStdString();
    EXPECT_TRUE(fs::is_regular_file(builder.Path()));
#endif
}

}  // namespace
}  // namespace tembrel::app
