// The source file list: type codes and supported extensions by name, folder
// scans through links and link loops, row texts, probing, duplicates and
// the closing failure message with each file's reason.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <iterator>
#include <string>
#include <vector>

#include "audio/aiff_file_reader.h"
#include "audio/au_file_reader.h"
#include "audio/bass_audio_source.h"
#include "audio/source_extensions.h"
#include "audio/source_file_list.h"
#include "audio/source_row_texts.h"
#include "audio/source_scan.h"
#include "audio/source_selection.h"
#include "audio/source_type.h"
#include "audio/wav_file_reader.h"
#include "platform/decoding_library.h"
#include "platform/os_file.h"
#include "support/decoding_fixtures.h"
#include "support/test_support.h"
#include "platform/path_parts.h"

namespace tembrel {
namespace {

using test::ScratchDir;

TEST(SourceTypeCodeTest, ExtensionPicksTheCode) {
    const struct {
        const char* path;
        int code;
    } cases[] = {
        {"/a/b.wav", 2000},   {"/a/b.WAVE", 2000},     {"/a/b.aiff", 2100}, {"b.Aif", 2100},
        {"/x/y.aifc", 2100},  {"/x/y.AFC", 2100},      {"/x/y.au", 3000},   {"/x/y.SND", 3000},
        {"/x/y.mp3", 6000},   {"/x/noext", 6000},      {"/x.wav/noext", 6000}, {"/x/y.wav.mp3", 6000},
        {"/x/y.mp3.wav", 2000}, {"/x/.au", 3000},      {"", 6000},          {"/x/y.", 6000},
    };
    for (const auto& c : cases) EXPECT_EQ(SourceTypeCode(c.path), c.code) << c.path;
}

TEST(SupportedExtensionTest, TheFortyInAnyCaseAndNothingElse) {
    EXPECT_EQ(kSupportedExtensions.size(), 40u);
    for (std::string_view ext : kSupportedExtensions) {
        EXPECT_TRUE(IsSupportedExtension(ext)) << ext;
        std::string upper(ext);
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_TRUE(IsSupportedExtension(upper)) << upper;
    }
    for (const char* ext : {"", ".", ".txt", ".lnk", "mp3", ".mp33", ".mp", ".jpg", ".wav ", ".mp3mp3mp3mp3mp3mp3"})
        EXPECT_FALSE(IsSupportedExtension(ext)) << ext;
}

TEST(PathPartsTest, NameAndExtension) {
    EXPECT_EQ(FileNameOf("/music/pop/a.b.mp3"), "a.b.mp3");
    EXPECT_EQ(ExtensionOf("/music/pop/a.b.mp3"), ".mp3");
    EXPECT_EQ(ExtensionOf("/music.d/pop"), "");
    EXPECT_EQ(FileNameOf("plain"), "plain");
}

TEST(RowTextsTest, ColumnsAsTheListShowsThem) {
    const struct {
        int duration, bitrate, rate, channels;
        const char *length, *bits, *freq, *ch;
    } cases[] = {
        {0, 0, 0, 0, "00:00", "0 kbps", "0 Hz", "Mono"},
        {59, 128, 44100, 1, "00:59", "128 kbps", "44100 Hz", "Mono"},
        {61, 1411, 44100, 2, "01:01", "1411 kbps", "44100 Hz", "Stereo"},
        {6000, 32, 8000, 6, "100:00", "32 kbps", "8000 Hz", "6"},
        {5999, 64, 22050, 3, "99:59", "64 kbps", "22050 Hz", "3"},
    };
    for (const auto& c : cases) {
        SourceFileEntry entry;
        entry.sourcePath = "/music/a song.mp3";
        entry.durationSeconds = c.duration;
        entry.bitrateKbps = c.bitrate;
        entry.sampleRate = c.rate;
        entry.channels = c.channels;
        const SourceRowTexts texts = RowTextsFor(entry);
        EXPECT_EQ(texts[0], "a song.mp3");
        EXPECT_EQ(texts[1], c.length);
        EXPECT_EQ(texts[2], c.bits);
        EXPECT_EQ(texts[3], c.freq);
        EXPECT_EQ(texts[4], c.ch);
        EXPECT_EQ(texts[5], "");
    }
}

TEST(FailedFileListTest, ThirtyNamesThenMoreFiles) {
    for (int failures : {1, 30, 31, 45}) {
        FailedFileList list;
        std::string expectedNames;
        for (int i = 1; i <= failures; ++i) {
            const std::string path = "/m/f" + std::to_string(i) + ".mp3";
            list.Add(path, "reason " + std::to_string(i));
            if (i <= 30) expectedNames += path + "\n";
            if (i == 31) expectedNames += "<more files>...\n";
        }
        EXPECT_EQ(list.Count(), static_cast<std::size_t>(failures));
        // Every failure keeps its path and reason, even past the named ones.
        ASSERT_EQ(list.Files().size(), static_cast<std::size_t>(failures));
        for (int i = 1; i <= failures; ++i) {
            EXPECT_EQ(list.Files()[i - 1].path, "/m/f" + std::to_string(i) + ".mp3");
            EXPECT_EQ(list.Files()[i - 1].reason, "reason " + std::to_string(i));
        }
        EXPECT_EQ(list.Names(), expectedNames);
        EXPECT_EQ(list.MessageText(), "Failed to load the following files.\n\n" + expectedNames +
                                          "\nTo get help, please contact " + kSupportContact + ".");
    }
}

// A folder tree with files, links, a loop of links and a linked folder
// pointing back up.
class FolderScanTest : public ::testing::Test {
protected:
    void Touch(const std::string& relative) { test::WriteAll(scratch.File(relative), {0}); }
    void Folder(const std::string& relative) { ::mkdir(scratch.File(relative).c_str(), 0755); }
    void Link(const std::string& target, const std::string& relative) {
        ASSERT_EQ(::symlink(target.c_str(), scratch.File(relative).c_str()), 0) << relative;
    }
    std::string Root() const { return scratch.File("root"); }
    std::string In(const std::string& relative) const { return scratch.File(relative); }

    ScratchDir scratch;
};

TEST_F(FolderScanTest, ParentsFirstLinksFollowedLoopsEnd) {
    Folder("root");
    Folder("root/b_sub");
    Folder("root/b_sub/deeper");
    Folder("elsewhere");
    Touch("root/a.mp3");
    Touch("root/c.WAV");
    Touch("root/notes.txt");
    Touch("root/b_sub/x.ogg");
    Touch("root/b_sub/deeper/y.flac");
    Touch("elsewhere/target.mp3");
    Touch("elsewhere/text.doc");
    Link("../elsewhere/target.mp3", "root/shortcut");           // relative link without extension
    Link(In("root/shortcut"), "root/shortcut_to_shortcut");     // a link to a link
    Link(In("elsewhere/text.doc"), "root/to_document");         // unsupported target
    Link(In("root/loop_b"), "root/loop_a");                     // a loop of links
    Link(In("root/loop_a"), "root/loop_b");
    Link(In("elsewhere/gone.mp3"), "root/dangling");            // target missing
    Link("..", "root/b_sub/up");                                // linked folder back up the tree

    std::vector<std::string> paths;
    ScanFolder(paths, Root());
    const std::vector<std::string> expected = {
        In("root/a.mp3"),        In("root/c.WAV"),          In("elsewhere/target.mp3"),
        In("elsewhere/target.mp3"),  // once through each link
        In("root/b_sub/x.ogg"), In("root/b_sub/deeper/y.flac"),
    };
    EXPECT_EQ(paths, expected);
}

TEST_F(FolderScanTest, DroppedItemsAndLinkChains) {
    Folder("root");
    Touch("root/song.mp3");
    Touch("root/readme");
    Link(In("root/song.mp3"), "hop1");
    for (int i = 2; i <= kMaxLinkHops + 2; ++i)
        Link(In("hop" + std::to_string(i - 1)), "hop" + std::to_string(i));

    std::vector<std::string> paths;
    CollectDroppedItem(paths, In("root/song.mp3"));  // a supported file as it is
    CollectDroppedItem(paths, In("root/readme"));    // not supported, not a link
    CollectDroppedItem(paths, In("hop3"));           // a short chain resolves
    CollectDroppedItem(paths, In("hop" + std::to_string(kMaxLinkHops + 2)));  // too long a chain ends
    CollectDroppedItem(paths, Root());                                         // a folder is scanned
    EXPECT_EQ(paths, (std::vector<std::string>{In("root/song.mp3"), In("root/song.mp3"), In("root/song.mp3")}));

    std::string target;
    EXPECT_TRUE(ResolveShortcut(In("hop1"), target));
    EXPECT_EQ(target, In("root/song.mp3"));
    EXPECT_FALSE(ResolveShortcut(In("root/song.mp3"), target));
    EXPECT_EQ(target, "");
}

// Records what adding files shows.
class RecordingListUi : public SourceListUi {
public:
    int AppendRow(const SourceRowTexts& texts) override {
        rows.push_back(texts);
        return static_cast<int>(rows.size()) - 1;
    }
    void OpenProgress(int count) override { opened = count; }
    void CloseProgress() override { ++closed; }
    void SetProgressText(const std::string& text) override { texts.push_back(text); }
    void StepProgress() override { ++steps; }
    void ShowMessage(const std::string& text, MessageIcon icon) override { messages.push_back({text, icon}); }
    void PumpMessages() override {
        if (cancelAfter > 0 && static_cast<int>(texts.size()) >= cancelAfter) cancelled = true;
    }
    bool CancelRequested() const override { return cancelled; }

    std::vector<SourceRowTexts> rows;
    std::vector<std::string> texts;
    std::vector<std::pair<std::string, MessageIcon>> messages;
    int opened = -1, closed = 0, steps = 0, cancelAfter = 0;
    bool cancelled = false;
};

class SourceListTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "needs ffmpeg";
        ASSERT_TRUE(test::EncodeTone(mono, 22050, 1, 2.5, "-c:a pcm_s16le"));
        ASSERT_TRUE(test::EncodeTone(surround, 48000, 6, 1.0, "-c:a pcm_s16le"));
        ASSERT_TRUE(test::EncodeTone(au, 8000, 1, 61.0, "-c:a pcm_mulaw -f au"));
        test::WriteAll(junk, {'j', 'u', 'n', 'k', 0, 1, 2, 3});
    }

    ScratchDir scratch;
    std::string mono = scratch.File("mono.wav");
    std::string surround = scratch.File("surround.wav");
    std::string au = scratch.File("speech.au");
    std::string junk = scratch.File("junk.mp3");
};

TEST_F(SourceListTest, ProbeFillsTheEntry) {
    const auto entry = ProbeSourceFile(mono);
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->sourcePath, mono);
    EXPECT_EQ(entry->channels, 1);
    EXPECT_EQ(entry->sampleRate, 22050);
    EXPECT_EQ(entry->durationSeconds, 2);
    EXPECT_NEAR(entry->bitrateKbps, 352, 2);  // 22050 Hz x 16 bits, from the file size
    EXPECT_EQ(entry->typeCode, kSourceTypeWav);
    EXPECT_TRUE(entry->outputSwfPath.empty() && entry->htmlPath.empty() && entry->playerSwfPath.empty());

    const auto six = ProbeSourceFile(surround);
    ASSERT_TRUE(six.has_value());
    EXPECT_EQ(RowTextsFor(*six)[4], "6");

    const auto speech = ProbeSourceFile(au);
    ASSERT_TRUE(speech.has_value());
    EXPECT_EQ(speech->typeCode, kSourceTypeAu);
    EXPECT_EQ(RowTextsFor(*speech)[1], "01:01");

    EXPECT_FALSE(ProbeSourceFile(junk).has_value());
    EXPECT_FALSE(ProbeSourceFile(scratch.File("absent.wav")).has_value());
}

TEST_F(SourceListTest, AddingSkipsDuplicatesAndReportsFailures) {
    RecordingListUi ui;
    SourceFileList list(&ui);
    const std::string link = scratch.File("link.wav");  // the same file under another name
    ASSERT_EQ(::symlink(mono.c_str(), link.c_str()), 0);
    const FailedFileList failed = list.LoadSourceFiles({mono, junk, surround, link, scratch.File("absent.ogg")});

    ASSERT_EQ(list.Size(), 2u);
    EXPECT_EQ(list.Entry(0).sourcePath, mono);
    EXPECT_EQ(list.Entry(1).sourcePath, surround);
    ASSERT_EQ(ui.rows.size(), 2u);
    EXPECT_EQ(ui.rows[0][0], "mono.wav");
    EXPECT_EQ(ui.rows[1][3], "48000 Hz");
    EXPECT_EQ(ui.opened, 5);
    EXPECT_EQ(ui.closed, 1);
    EXPECT_EQ(ui.steps, 5);
    EXPECT_EQ(ui.texts[1], "[2/5] Adding file junk.mp3...");
    EXPECT_EQ(failed.Count(), 2u);
    ASSERT_EQ(failed.Files().size(), 2u);
    EXPECT_EQ(failed.Files()[0].path, junk);
    EXPECT_EQ(failed.Files()[0].reason, "not a sound file the decoders recognise");
    EXPECT_EQ(failed.Files()[1].path, scratch.File("absent.ogg"));
    EXPECT_EQ(failed.Files()[1].reason, "cannot be opened: No such file or directory");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].second, MessageIcon::Exclamation);
    EXPECT_EQ(ui.messages[0].first, "Failed to load the following files.\n\n" + junk + "\n" +
                                        scratch.File("absent.ogg") + "\n\nTo get help, please contact " +
                                        kSupportContact + ".");
    EXPECT_EQ(list.AddSourceFile(surround), 0);
    EXPECT_EQ(list.AddSourceFile(au), 2);
}

// Names that differ only in letter case are different files on this file
// system: both are listed.
TEST_F(SourceListTest, FilesDifferingOnlyInCaseAreNotDuplicates) {
    const std::string upper = scratch.File("MONO.WAV");
    ASSERT_TRUE(test::EncodeTone(upper, 8000, 1, 0.5, "-c:a pcm_s16le"));
    SourceFileList list;
    EXPECT_EQ(list.AddSourceFile(mono), 0);  // first row
    EXPECT_EQ(list.AddSourceFile(upper), 1);
    ASSERT_EQ(list.Size(), 2u);
    EXPECT_EQ(list.Entry(1).sampleRate, 8000);
    EXPECT_EQ(list.AddSourceFile(upper), 0);  // now it is listed
    EXPECT_EQ(list.Size(), 2u);
}

// Runs `work` on another thread; when it has not finished after a minute it
// is blocked on the FIFO: writers are opened and closed on the FIFO until it
// finishes (so the suite ends), and false is returned.
bool FinishesWithoutBlocking(const std::string& fifo, const std::function<void()>& work) {
    std::future<void> done = std::async(std::launch::async, work);
    if (done.wait_for(std::chrono::seconds(60)) == std::future_status::ready) return true;
    while (done.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) ::close(writer);
    }
    return false;
}

// A FIFO (or any other file that is not a regular one) is refused by every
// reader without waiting for a writer, and the list goes on with the next
// file.
TEST_F(SourceListTest, FifoIsRefusedWithoutBlocking) {
    const std::string fifo = scratch.File("x.wav");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);

    SourceFileList list;
    FailedFileList failed;
    ASSERT_TRUE(FinishesWithoutBlocking(fifo, [&] { failed = list.LoadSourceFiles({fifo, mono}); }));
    ASSERT_EQ(list.Size(), 1u);
    EXPECT_EQ(list.Entry(0).sourcePath, mono);
    ASSERT_EQ(failed.Files().size(), 1u);
    EXPECT_EQ(failed.Files()[0].path, fifo);
    EXPECT_EQ(failed.Files()[0].reason, "not a regular file");

    // Each reader on its own, past the list's own check.
    const std::function<bool()> openers[] = {
        [&] { return WavFileReader().Open(fifo, 0) != 0; },
        [&] { return AiffFileReader().Open(fifo, 0) != 0; },
        [&] { return AuFileReader().Open(fifo, 0) != 0; },
        [&] { return BassAudioSource().Open(fifo, 0) != 0; },
        [&] { return decoding::MusicLoad(fifo, 0) != 0; },
        [&] { return OsFile().OpenForReading(fifo); },
    };
    for (std::size_t i = 0; i < std::size(openers); ++i) {
        SCOPED_TRACE(i);
        bool opened = true;
        EXPECT_TRUE(FinishesWithoutBlocking(fifo, [&] { opened = openers[i](); }));
        EXPECT_FALSE(opened);
    }
    std::string reason;
    EXPECT_FALSE(OpenAudioSource(fifo, kSourceTypeWav, 0, &reason));
    EXPECT_EQ(reason, "not a regular file");
}

TEST_F(SourceListTest, CancelStopsTheBatchAndKeepsWhatWasAdded) {
    RecordingListUi ui;
    ui.cancelAfter = 1;
    SourceFileList list(&ui);
    list.LoadSourceFiles({mono, surround, au});
    EXPECT_EQ(list.Size(), 1u);
    EXPECT_EQ(ui.closed, 1);
    EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
}  // namespace tembrel
