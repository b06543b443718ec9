// The conversion window and the adding-files window driven as a user would:
// real sources converted on the engine's threads while the window shows
// them, Cancel pressed in mid-file, and a batch of added files with a file
// no decoder takes.
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
#include <QWidget>

#include "app/conversion_window.h"
#include "app/desktop_services.h"
#include "app/message_box.h"
#include "app/progress_window.h"
#include "app/widget_source_list_ui.h"
#include "audio/source_file_list.h"
#include "engine/scoped_env.h"
#include "support/decoding_fixtures.h"
#include "support/test_support.h"

namespace tembrel::app {
namespace {

using test::ScratchDir;

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "test_app";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
}

// Takes every message box's text instead of showing it.
class MessageRecorder {
public:
    MessageRecorder() {
        SetMessageHookForTesting([this](const QString& text, MessageIcon icon) {
            texts.push_back(text.toStdString());
            icons.push_back(icon);
            return true;
        });
    }
    ~MessageRecorder() { SetMessageHookForTesting({}); }
    std::vector<std::string> texts;
    std::vector<MessageIcon> icons;
};

class RevealRecorder : public DesktopServices {
public:
    RevealRecorder() { SetDesktopForTesting(this); }
    ~RevealRecorder() override { SetDesktopForTesting(nullptr); }
    bool ShowInFileManager(const std::string& path) override {
        revealed.push_back(path);
        return true;
    }
    std::vector<std::string> revealed;
};

// A left click as the window system delivers it: a disabled button takes none.
void Click(QPushButton* button) {
    const QPointF centre = QRectF(button->rect()).center();
    const QPointF global = button->mapToGlobal(centre);
    QMouseEvent press(QEvent::MouseButtonPress, centre, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(button, &press);
    QCoreApplication::sendEvent(button, &release);
}

SourceFileEntry Entry(const std::string& path, std::int32_t type) {
    SourceFileEntry entry;
    entry.sourcePath = path;
    entry.typeCode = type;
    return entry;
}

ConversionSettings SettingsWritingTo(const std::string& folder) {
    ConversionSettings settings{std::string(TEMBREL_PROGRAM_DIR) + "/"};
    settings.SWFOutputFolderOpt = kOutputCustomFolder;
    settings.SWFSpecifiedFolder = folder;
    return settings;
}

std::set<std::string> NamesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(folder)) names.insert(item.path().filename().string());
    return names;
}

struct RowEvent {
    int row;
    std::string status, reason;
    bool ownerEnabled;
    std::string overallText;
};

TEST(ConversionWindowTest, ConvertsInTheWindowAndReportsEachRowAndTheTemplateMessage) {
    if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "needs ffmpeg";
    EnsureApplication();
    ScratchDir scratch;
    test::ScopedEnv env;
    env.Set("TMPDIR", scratch.Path());
    const std::string out = scratch.File("out");
    std::filesystem::create_directory(out);
    ASSERT_TRUE(test::EncodeTone(scratch.File("one.wav"), 22050, 1, 3.0, "-c:a pcm_s16le"));
    ASSERT_TRUE(test::EncodeTone(scratch.File("two.ogg"), 44100, 2, 2.0, "-c:a libvorbis"));
    test::WriteAll(scratch.File("broken.mp3"), std::vector<std::uint8_t>(4000, 0x5A));
    const std::vector<SourceFileEntry> entries = {Entry(scratch.File("one.wav"), kSourceTypeWav),
                                                  Entry(scratch.File("broken.mp3"), kSourceTypeOther),
                                                  Entry(scratch.File("two.ogg"), kSourceTypeOther)};
    const std::vector<int> rows = {4, 5, 6};

    QWidget owner;
    owner.show();
    MessageRecorder messages;
    RevealRecorder desktop;
    std::vector<RowEvent> seen;
    auto onRow = [&](int row, const QString& status, const QString& reason) {
        auto* window = owner.findChild<ProgressWindow*>();
        seen.push_back({row, status.toStdString(), reason.toStdString(), owner.isEnabled(),
                        window && window->isVisible() ? window->OverallText().toStdString() : "no window"});
    };
    const ConversionRunResult result = RunConversionWindow(&owner, SettingsWritingTo(out), entries, rows, onRow, 2);

    // Each row: "Converting..." while the window shows its place in the
    // run, then its outcome; rows in list order, the owner disabled.
    ASSERT_EQ(seen.size(), 6u);
    const char* finals[] = {"one.swf", "Conversion Failure", "two.swf"};
    for (int i = 0; i < 3; ++i) {
        const RowEvent& start = seen[2 * i];
        const RowEvent& end = seen[2 * i + 1];
        EXPECT_EQ(start.row, rows[i]);
        EXPECT_EQ(start.status, "Converting...");
        EXPECT_EQ(start.overallText, "Converting " + std::to_string(i + 1) + " of 3 file(s) into SWF...");
        EXPECT_EQ(end.row, rows[i]);
        EXPECT_EQ(end.status, finals[i]);
        EXPECT_EQ(end.reason.empty(), i != 1) << end.reason;
        EXPECT_FALSE(start.ownerEnabled);
        EXPECT_FALSE(end.ownerEnabled);
    }
    EXPECT_TRUE(owner.isEnabled());
    EXPECT_EQ(owner.findChild<ProgressWindow*>(), nullptr);
    EXPECT_EQ(result.summary.converted, 2);
    EXPECT_EQ(result.summary.failed, 1);
    EXPECT_TRUE(result.entries[1].outputSwfPath.empty());
    EXPECT_EQ(result.lastDurationSeconds, 2u);
    EXPECT_TRUE(messages.texts.empty());
    // The first SWF is the one revealed, and it plays three seconds of sound.
    ASSERT_EQ(result.outcomes[0].swfPath, result.entries[0].outputSwfPath);
    EXPECT_EQ(desktop.revealed, std::vector<std::string>{result.outcomes[0].swfPath});
    const std::string swf = result.outcomes[0].swfPath;
    const long rate = test::ProbeField(swf, "sample_rate"), channels = test::ProbeField(swf, "channels");
    ASSERT_GT(rate * channels, 0);
    const double seconds = static_cast<double>(test::FfmpegDecode(swf).size()) / static_cast<double>(rate * channels);
    EXPECT_NEAR(seconds, 3.0, 0.2);

    // A missing template: the message comes while the engine waits, the
    // run ends and no row changes.
    ConversionSettings missing = SettingsWritingTo(out);
    missing.ControlSWF = scratch.File("gone.swf");
    seen.clear();
    const ConversionRunResult refused = RunConversionWindow(&owner, missing, entries, rows, onRow);
    EXPECT_TRUE(refused.summary.templateRefused);
    EXPECT_TRUE(seen.empty());
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_NE(messages.texts[0].find("gone.swf\" is not available"), std::string::npos) << messages.texts[0];
    EXPECT_EQ(messages.icons[0], MessageIcon::Exclamation);
    EXPECT_TRUE(owner.isEnabled());
}

TEST(ConversionWindowTest, CancelInMidFileEndsTheRunAndKeepsTheFilesBefore) {
    if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "needs ffmpeg";
    EnsureApplication();
    ScratchDir scratch;
    test::ScopedEnv env;
    env.Set("TMPDIR", scratch.Path());
    const std::string out = scratch.File("out");
    std::filesystem::create_directory(out);
    ASSERT_TRUE(test::EncodeTone(scratch.File("short.wav"), 22050, 1, 1.0, "-c:a pcm_s16le"));
    ASSERT_TRUE(test::EncodeTone(scratch.File("long.wav"), 44100, 2, 600.0, "-c:a pcm_s16le"));
    ASSERT_TRUE(test::EncodeTone(scratch.File("after.wav"), 22050, 1, 1.0, "-c:a pcm_s16le"));
    const std::vector<SourceFileEntry> entries = {Entry(scratch.File("short.wav"), kSourceTypeWav),
                                                  Entry(scratch.File("long.wav"), kSourceTypeWav),
                                                  Entry(scratch.File("after.wav"), kSourceTypeWav)};

    QWidget owner;
    owner.show();
    MessageRecorder messages;
    RevealRecorder desktop;
    std::map<int, std::string> statuses;
    // The user presses Cancel once the long file's bar has moved.
    bool clicked = false;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        auto* window = owner.findChild<ProgressWindow*>();
        if (clicked || !window || !window->isVisible() || statuses[1] != "Converting..." || window->BarPosition() <= 0)
            return;
        Click(window->CancelButton());
        clicked = true;
    });
    watcher.start(5);
    const auto start = std::chrono::steady_clock::now();
    const ConversionRunResult result = RunConversionWindow(
        &owner, SettingsWritingTo(out), entries, {0, 1, 2},
        [&](int row, const QString& status, const QString&) { statuses[row] = status.toStdString(); }, 2);
    watcher.stop();

    ASSERT_TRUE(clicked);
    EXPECT_TRUE(result.summary.cancelled);
    EXPECT_EQ(statuses[0], "short.swf");
    EXPECT_EQ(statuses[1], "Cancelled");
    EXPECT_EQ(statuses.count(2), 0u);
    EXPECT_EQ(result.outcomes[1].kind, FileOutcome::Kind::Cancelled);
    EXPECT_EQ(result.outcomes[2].kind, FileOutcome::Kind::NotReached);
    EXPECT_TRUE(owner.isEnabled());
    // Well before ten minutes of sound could have been encoded.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::minutes(3));
    // Only the first file's outputs remain: no partial SWF, no temporary file.
    std::set<std::string> expected = {"short.swf"};
    if (!result.entries[0].htmlPath.empty()) expected.insert("short.htm");
    EXPECT_EQ(NamesIn(out), expected);
    EXPECT_EQ(NamesIn(scratch.Path()), (std::set<std::string>{"after.wav", "long.wav", "out", "short.wav"}));
    EXPECT_EQ(desktop.revealed, std::vector<std::string>{result.entries[0].outputSwfPath});
}

TEST(WidgetSourceListUiTest, BatchesShowTheirProgressNameTheFailuresAndStopOnEscape) {
    if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "needs ffmpeg";
    EnsureApplication();
    ScratchDir scratch;
    for (const char* name : {"a.wav", "b.wav", "c.wav", "d.wav"})
        ASSERT_TRUE(test::EncodeTone(scratch.File(name), 22050, 1, 1.0, "-c:a pcm_s16le"));
    const std::string broken = scratch.File("broken.mp3");
    test::WriteAll(broken, std::vector<std::uint8_t>(4000, 0x5A));

    QWidget owner;
    owner.show();
    MessageRecorder messages;
    struct Appended {
        std::string name, windowText;
        bool ownerEnabled;
    };
    std::vector<Appended> rows;
    std::function<void()> onAppend;
    WidgetSourceListUi ui(&owner, [&](const SourceRowTexts& texts) {
        rows.push_back({texts[0], ui.Window() ? ui.Window()->Text().toStdString() : "no window", owner.isEnabled()});
        if (onAppend) onAppend();
        return static_cast<int>(rows.size()) - 1;
    });
    SourceFileList list(&ui);

    // A dropped batch: the searching window is the batch's window.
    ui.OpenSearching();
    ProgressWindow* searching = ui.Window();
    ASSERT_NE(searching, nullptr);
    EXPECT_EQ(searching->Text().toStdString(), "Searching files...");
    EXPECT_EQ(searching->WindowKind(), ProgressWindow::Kind::AddingFiles);
    EXPECT_FALSE(owner.isEnabled());
    onAppend = [&] { EXPECT_EQ(ui.Window(), searching); };
    list.LoadSourceFiles({scratch.File("a.wav"), broken});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].name, "a.wav");
    EXPECT_EQ(rows[0].windowText, "[1/2] Adding file a.wav...");
    EXPECT_FALSE(rows[0].ownerEnabled);
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_EQ(messages.texts[0],
              "Failed to load the following files.\n\n" + broken + "\n\nTo get help, please contact support@tembrel.org.");
    EXPECT_EQ(messages.icons[0], MessageIcon::Exclamation);
    EXPECT_EQ(ui.Window(), nullptr);
    EXPECT_TRUE(owner.isEnabled());

    // Escape in the window stops the next batch after the file in work;
    // what was added stays and nothing is reported.
    onAppend = [&] {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(ui.Window(), &escape);
    };
    list.LoadSourceFiles({scratch.File("b.wav"), scratch.File("c.wav"), scratch.File("d.wav")});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].windowText, "[1/3] Adding file b.wav...");
    EXPECT_EQ(list.Size(), 2u);
    EXPECT_EQ(messages.texts.size(), 1u);
    EXPECT_TRUE(owner.isEnabled());
    EXPECT_EQ(QApplication::topLevelWidgets().size(), 1);  // the window went with its batch
}

}  // namespace
}  // namespace tembrel::app
