// The conversion window and the adding-files window driven as a user would:
// real sources converted on the engine's threads while the window shows
// them, Cancel pressed in mid-file, a batch of added files with a file no
// decoder takes.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include "app/app_test_support.h"
#include "app/main_window/conversion_window.h"
#include "app/desktop/desktop_services.h"
#include "app/widgets/message_box.h"
#include "app/main_window/progress_window.h"
#include "app/main_window/widget_source_list_ui.h"
#include "audio/source_file_list.h"
#include "engine/scoped_env.h"
#include "support/decoding_fixtures.h"
#include "support/test_support.h"

namespace tembrel::app {
namespace {

// The application, the message boxes and the file manager of one test.
class ConversionWindowTest : public ::testing::Test, public DesktopServices {
protected:
    void SetUp() override {
        if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "needs ffmpeg";
        env.Set("TMPDIR", scratch.Path());
        std::filesystem::create_directory(out);
        SetMessageHookForTesting([this](const QString& text, MessageIcon icon) {
            messages.push_back(text.toStdString() + (icon == MessageIcon::Exclamation ? " (!)" : " (?)"));
            return true;
        });
        SetDesktopForTesting(this);
        owner.show();
    }
    void TearDown() override {
        SetMessageHookForTesting({});
        SetDesktopForTesting(nullptr);
    }
    // The reveal comes over a window that takes input again.
    bool ShowInFileManager(const std::string& path) override {
        const bool running = !owner.isEnabled() || Window() != "no window" || QApplication::overrideCursor();
        revealed.push_back(path + (running ? " (during the run)" : ""));
        return true;
    }
    // Mono 22.05 kHz WAVs unless the name says otherwise.
    std::vector<SourceFileEntry> Sources(const std::vector<std::pair<std::string, double>>& files) {
        std::vector<SourceFileEntry> entries;
        for (const auto& [name, seconds] : files) {
            SourceFileEntry entry;
            entry.sourcePath = scratch.File(name);
            entry.typeCode = name.ends_with(".wav") ? kSourceTypeWav : kSourceTypeOther;
            const std::string codec = name.ends_with(".ogg") ? "-c:a libvorbis" : "-c:a pcm_s16le";
            if (seconds > 0) EXPECT_TRUE(test::EncodeTone(entry.sourcePath, 22050, 1, seconds, codec));
            else test::WriteAll(entry.sourcePath, std::vector<std::uint8_t>(4000, 0x5A));  // no decoder takes it
            entries.push_back(entry);
        }
        return entries;
    }
    ConversionSettings Settings() const {
        ConversionSettings settings{std::string(TEMBREL_PROGRAM_DIR) + "/"};
        settings.SWFOutputFolderOpt = kOutputCustomFolder;
        settings.SWFSpecifiedFolder = out;
        return settings;
    }
    std::string Window() {
        auto* window = owner.findChild<ProgressWindow*>();
        return window && window->isVisible() ? window->OverallText().toStdString() : "no window";
    }

    test::ScratchDir scratch;
    test::ScopedEnv env;
    std::string out = scratch.File("out");
    QApplication& application = test::TestApplication();  // before any widget
    QWidget owner;
    std::vector<std::string> messages, revealed;
};

std::set<std::string> NamesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(folder)) names.insert(item.path().filename().string());
    return names;
}

TEST_F(ConversionWindowTest, ConversionShowsEachFileInTheWindowAndItsOutcomeInItsRow) {
    const auto entries = Sources({{"one.wav", 3.0}, {"broken.mp3", 0}, {"two.ogg", 2.0}});
    std::vector<std::string> seen;  // row, status, reason given, the overall text, the owner disabled
    auto onRow = [&](int row, const QString& status, const QString& reason) {
        seen.push_back(std::to_string(row) + " " + status.toStdString() + (reason.isEmpty() ? "" : " +reason") +
                       " | " + Window() + (owner.isEnabled() ? " | owner enabled" : ""));
    };
    const ConversionRunResult result = RunConversionWindow(&owner, Settings(), entries, {4, 5, 6}, onRow, 2);

    EXPECT_EQ(seen, (std::vector<std::string>{
                        "4 Converting... | Converting 1 of 3 file(s) into SWF...",
                        "4 one.swf | Converting 1 of 3 file(s) into SWF...",
                        "5 Converting... | Converting 2 of 3 file(s) into SWF...",
                        "5 Conversion Failure +reason | Converting 2 of 3 file(s) into SWF...",
                        "6 Converting... | Converting 3 of 3 file(s) into SWF...",
                        "6 two.swf | Converting 3 of 3 file(s) into SWF...",
                    }));
    EXPECT_TRUE(owner.isEnabled());
    EXPECT_EQ(owner.findChild<ProgressWindow*>(), nullptr);
    EXPECT_EQ(result.summary.converted, 2);
    EXPECT_TRUE(result.entries[1].outputSwfPath.empty());
    EXPECT_EQ(result.lastDurationSeconds, 2u);
    EXPECT_TRUE(messages.empty());
    // The first SWF is revealed, and it plays the source's three seconds.
    const std::string swf = result.entries[0].outputSwfPath;
    EXPECT_EQ(revealed, std::vector<std::string>{swf});
    const long rate = test::ProbeField(swf, "sample_rate"), channels = test::ProbeField(swf, "channels");
    ASSERT_GT(rate * channels, 0);
    EXPECT_NEAR(static_cast<double>(test::FfmpegDecode(swf).size()) / static_cast<double>(rate * channels), 3.0, 0.2);

    // A missing template: the message is answered while the engine waits,
    // and no row changes.
    ConversionSettings missing = Settings();
    missing.ControlSWF = scratch.File("gone.swf");
    seen.clear();
    EXPECT_TRUE(RunConversionWindow(&owner, missing, entries, {4, 5, 6}, onRow).summary.templateRefused);
    EXPECT_TRUE(seen.empty());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("gone.swf\" is not available"), std::string::npos) << messages[0];
    EXPECT_TRUE(messages[0].ends_with("(!)"));
    EXPECT_TRUE(owner.isEnabled());
}

// A template that is missing or is no SWF is told over the window as it was
// (both as not available: the fix is the same, reinstall):
// no progress window yet, the owner still enabled, no row touched.
TEST_F(ConversionWindowTest, AnUnusableTemplateIsToldBeforeTheRunShows) {
    const auto entries = Sources({{"one.wav", 1.0}});
    test::WriteAll(scratch.File("junk.swf"), std::vector<std::uint8_t>(200, 0x41));
    std::vector<std::string> told;  // the message's file, its icon, and what was shown meanwhile
    SetMessageHookForTesting([&](const QString& text, MessageIcon icon) {
        const std::string name = text.contains("gone.swf") ? "gone" : text.contains("junk.swf") ? "junk" : "other";
        told.push_back(name + (icon == MessageIcon::Stop ? " stop" : icon == MessageIcon::Exclamation ? " !" : " ?") +
                       " | " + Window() + (owner.isEnabled() ? " | owner enabled" : " | owner disabled"));
        return true;
    });
    int rowsChanged = 0;
    auto onRow = [&](int, const QString&, const QString&) { ++rowsChanged; };
    for (const char* name : {"gone.swf", "junk.swf"}) {
        ConversionSettings settings = Settings();
        settings.ControlSWF = scratch.File(name);
        const ConversionRunResult result = RunConversionWindow(&owner, settings, entries, {0}, onRow);
        EXPECT_TRUE(result.summary.templateRefused);
        EXPECT_EQ(result.summary.converted, 0);
        ASSERT_EQ(result.outcomes.size(), 1u);
        EXPECT_FALSE(result.outcomes[0].reason.empty());
    }
    EXPECT_EQ(told, (std::vector<std::string>{"gone ! | no window | owner enabled", "junk ! | no window | owner enabled"}));
    EXPECT_EQ(rowsChanged, 0);
    EXPECT_TRUE(NamesIn(out).empty());
}

TEST_F(ConversionWindowTest, CancelInMidFileEndsTheRunAndKeepsTheFilesBefore) {
    const auto entries = Sources({{"short.wav", 1.0}, {"long.wav", 600.0}, {"after.wav", 1.0}});
    std::map<int, std::string> statuses;
    // The user presses Cancel once the long file's bar has moved; a click
    // as the window system delivers it, which a disabled button ignores.
    bool clicked = false;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        auto* window = owner.findChild<ProgressWindow*>();
        if (clicked || !window || statuses[1] != "Converting..." || window->BarPosition() <= 0) return;
        QPushButton* cancel = window->CancelButton();
        const QPointF at = QRectF(cancel->rect()).center();
        QMouseEvent press(QEvent::MouseButtonPress, at, cancel->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
        QMouseEvent release(QEvent::MouseButtonRelease, at, cancel->mapToGlobal(at), Qt::LeftButton, {}, {});
        QCoreApplication::sendEvent(cancel, &press);
        QCoreApplication::sendEvent(cancel, &release);
        clicked = true;
    });
    user.start(5);
    const auto start = std::chrono::steady_clock::now();
    const ConversionRunResult result = RunConversionWindow(
        &owner, Settings(), entries, {0, 1, 2},
        [&](int row, const QString& status, const QString&) { statuses[row] = status.toStdString(); }, 2);

    ASSERT_TRUE(clicked);
    EXPECT_EQ(statuses, (std::map<int, std::string>{{0, "short.swf"}, {1, "Cancelled"}}));
    EXPECT_TRUE(result.summary.cancelled);
    EXPECT_EQ(result.outcomes[2].kind, FileOutcome::Kind::NotReached);
    EXPECT_TRUE(owner.isEnabled());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::minutes(3));  // not ten minutes encoded
    // Only the first file's outputs stay: no partial SWF, no temporary file;
    // its page has the Ruffle beside it, carrying that movie alone.
    std::set<std::string> expected = {"short.swf"};
    if (!result.entries[0].htmlPath.empty()) {
        expected.insert("short.htm");
        expected.insert(kPageRuffleFolderName);
        EXPECT_EQ(NamesIn(out + "/" + kPageRuffleFolderName + "/movies"), (std::set<std::string>{"short.swf.js"}));
    }
    EXPECT_EQ(NamesIn(out), expected);
    EXPECT_EQ(NamesIn(scratch.Path()), (std::set<std::string>{"after.wav", "long.wav", "out", "short.wav"}));
    EXPECT_EQ(revealed, std::vector<std::string>{result.entries[0].outputSwfPath});
}

// Files are named ahead of the one in work, and each in its own folder: a
// Cancel takes back the folders made for files never written, and keeps a
// folder that was there before and the finished file's.
TEST_F(ConversionWindowTest, CancelLeavesNoFolderMadeForAFileNeverWritten) {
    const auto entries =
        Sources({{"short.wav", 1.0}, {"long.wav", 600.0}, {"after.wav", 1.0}, {"there.wav", 1.0}});
    std::filesystem::create_directory(scratch.File("there"));
    ConversionSettings settings = Settings();
    settings.SWFOutputFolderOpt = kOutputFolderPerFile;
    std::map<int, std::string> statuses;
    bool cancelled = false;
    bool aheadMade = false;  // the files after the long one were named before the Cancel
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        auto* window = owner.findChild<ProgressWindow*>();
        if (cancelled || !window || statuses[1] != "Converting..." || window->BarPosition() <= 0) return;
        aheadMade = std::filesystem::is_directory(scratch.File("after"));
        window->RequestCancel();
        cancelled = true;
    });
    user.start(5);
    const ConversionRunResult result = RunConversionWindow(
        &owner, settings, entries, {0, 1, 2, 3},
        [&](int row, const QString& status, const QString&) { statuses[row] = status.toStdString(); }, 2);

    ASSERT_TRUE(cancelled);
    EXPECT_TRUE(aheadMade);
    EXPECT_TRUE(result.summary.cancelled);
    EXPECT_EQ(result.summary.converted, 1);
    EXPECT_EQ(NamesIn(scratch.Path()), (std::set<std::string>{"after.wav", "long.wav", "out", "short", "short.wav",
                                                               "there", "there.wav"}));
    EXPECT_TRUE(NamesIn(scratch.File("short")).count("short.swf"));
}

TEST_F(ConversionWindowTest, AddedBatchesShowTheirProgressNameTheFailuresAndStopOnEscape) {
    Sources({{"a.wav", 1.0}, {"b.wav", 1.0}, {"c.wav", 1.0}, {"broken.mp3", 0}});
    std::vector<std::string> rows;  // name, the window's text, the owner disabled
    std::function<void()> onAppend;
    WidgetSourceListUi ui(&owner, [&](const SourceRowTexts& texts) {
        rows.push_back(texts[0] + " | " + (ui.Window() ? ui.Window()->Text().toStdString() : "no window") +
                       (owner.isEnabled() ? " | owner enabled" : ""));
        if (onAppend) onAppend();
        return static_cast<int>(rows.size()) - 1;
    });
    SourceFileList list(&ui);

    // A dropped batch: the searching window is the batch's window.
    ui.OpenSearching();
    ProgressWindow* searching = ui.Window();
    ASSERT_NE(searching, nullptr);
    EXPECT_EQ(searching->Text().toStdString(), "Searching files...");
    EXPECT_FALSE(owner.isEnabled());
    onAppend = [&] { EXPECT_EQ(ui.Window(), searching); };
    list.LoadSourceFiles({scratch.File("a.wav"), scratch.File("broken.mp3")});
    EXPECT_EQ(rows, std::vector<std::string>{"a.wav | [1/2] Adding file a.wav..."});
    EXPECT_EQ(messages, std::vector<std::string>{"Failed to load the following files.\n\n" + scratch.File("broken.mp3") +
                                                 "\n\nTo get help, please contact support@tembrel.org. (!)"});
    EXPECT_EQ(ui.Window(), nullptr);
    EXPECT_TRUE(owner.isEnabled());

    // Escape stops the next batch after the file in work; what was added stays.
    onAppend = [&] {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(ui.Window(), &escape);
    };
    list.LoadSourceFiles({scratch.File("b.wav"), scratch.File("c.wav")});
    EXPECT_EQ(rows.back(), "b.wav | [1/2] Adding file b.wav...");
    EXPECT_EQ(list.Size(), 2u);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_TRUE(owner.isEnabled());
    EXPECT_EQ(QApplication::topLevelWidgets().size(), 1);  // the window went with its batch
}

}  // namespace
}  // namespace tembrel::app
