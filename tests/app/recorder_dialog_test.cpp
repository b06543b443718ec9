// The Record dialog against a real PulseAudio server of the test's own (a
// null sink whose monitor is the default input), and against none at all.
// Qt's audio backend connects to the sound server once per process, so each
// scenario runs in a fresh copy of this program whose environment names its
// server; the server is started and killed by the parent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QWindow>

#include "app/app_test_support.h"
#include "app/desktop/desktop_hooks.h"
#include "app/main_window/main_window.h"
#include "app/main_window/sortable_list.h"
#include "app/widgets/message_box.h"
#include "app/widgets/program_icon.h"
#include "app/recorder/level_meter_view.h"
#include "app/recorder/recorder_dialog.h"
#include "audio/wav_file_reader.h"
#include "engine/conversion_settings.h"
#include "recorder/wav_file_writer.h"
#include "support/decoding_fixtures.h"
#include "support/test_support.h"

namespace tembrel::app {
namespace {

using test::ReadAll;
using test::ScratchDir;

constexpr char kChildMark[] = "TEMBREL_RECORDER_SCENARIO";
constexpr char kScratchVar[] = "TEMBREL_RECORDER_SCRATCH";
constexpr double kPi = 3.14159265358979323846;

bool InScenarioChild() { return std::getenv(kChildMark) != nullptr; }
std::string ChildScratch() { return std::getenv(kScratchVar); }

// The scenario's home, configuration, temporary and runtime folders.
void PrepareScratch(const std::string& scratch) {
    for (const char* folder : {"/run", "/home", "/config", "/tmp"}) std::filesystem::create_directories(scratch + folder);
    std::filesystem::permissions(scratch + "/run", std::filesystem::perms::owner_all);
}

// Runs the current test again in a child process with these variables set;
// its failures come back as this test's.
void RunScenarioInChild(const std::string& scratch, const QString& pulseServer) {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kChildMark, "1");
    env.insert(kScratchVar, QString::fromStdString(scratch));
    env.insert("PULSE_SERVER", pulseServer);
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(scratch + "/config"));
    env.insert("TMPDIR", QString::fromStdString(scratch + "/tmp"));
    env.insert("HOME", QString::fromStdString(scratch + "/home"));
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(scratch + "/run"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start("/proc/self/exe", {QString("--gtest_filter=%1.%2").arg(info->test_suite_name(), info->name())});
    ASSERT_TRUE(child.waitForStarted(60000));
    if (!child.waitForFinished(240000)) {
        child.kill();
        child.waitForFinished(10000);
        ADD_FAILURE() << "the scenario did not finish:\n" << child.readAll().toStdString();
        return;
    }
    const std::string output = child.readAll().toStdString();
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << output;
    EXPECT_EQ(child.exitCode(), 0) << output;
    if (output.find("[  SKIPPED ]") != std::string::npos) GTEST_SKIP() << output;
}

// A PulseAudio server of the test's own, with one null sink whose monitor
// feeds the default source: what is played into the sink can be recorded.
class PrivateSoundServer {
public:
    explicit PrivateSoundServer(const std::string& scratch) : runtime_(scratch + "/run") {
        socket_ = runtime_ + "/native";
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime_));
        env.insert("HOME", QString::fromStdString(scratch + "/home"));
        env.insert("XDG_CONFIG_HOME", QString::fromStdString(scratch + "/config"));
        env.remove("PULSE_SERVER");
        server_.setProcessEnvironment(env);
        server_.setProcessChannelMode(QProcess::MergedChannels);
        server_.setStandardOutputFile(QString::fromStdString(scratch + "/pulseaudio.log"));
        server_.start("pulseaudio",
                      // Idle exit only for a server orphaned by a killed test.
                      {"-n", "--daemonize=no", "--system=no", "--exit-idle-time=120", "--use-pid-file=no",
                       "--disallow-exit", "--log-target=stderr",
                       QString::fromStdString("--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket_),
                       "--load=module-null-sink sink_name=nullsink",
                       // Qt lists no monitor sources: the sink's monitor is
                       // offered again as an ordinary source.
                       "--load=module-remap-source master=nullsink.monitor source_name=nullsink_input"});
        if (!server_.waitForStarted(60000)) return;
        QElapsedTimer clock;
        clock.start();
        while (!clock.hasExpired(60000) && server_.state() == QProcess::Running) {
            if (Pactl("info >/dev/null 2>&1")) {
                ready_ = Pactl("set-default-sink nullsink") && Pactl("set-default-source nullsink_input") &&
                         StartRoom();
                return;
            }
            server_.waitForFinished(100);
        }
    }
    ~PrivateSoundServer() {
        room_.kill();
        room_.waitForFinished(20000);
        if (server_.state() == QProcess::NotRunning) return;
        server_.terminate();
        if (!server_.waitForFinished(20000)) {
            server_.kill();
            server_.waitForFinished(20000);
        }
    }
    bool Ready() const { return ready_; }
    QString Address() const { return QString::fromStdString("unix:" + socket_); }

private:
    // Silence played with a short buffer for as long as the server runs.
    // It keeps the null sink rendering in small steps, so its monitor hears
    // continuously and at once, as a microphone does; otherwise it hands
    // over sound in bursts up to two seconds late, or none while idle.
    bool StartRoom() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PULSE_SERVER", Address());
        room_.setProcessEnvironment(env);
        room_.start("pacat", {"--playback", "--latency-msec=20", "/dev/zero"});
        return room_.waitForStarted(60000);
    }

    bool Pactl(const std::string& arguments) const {
        return test::RunCommand("PULSE_SERVER=" + test::ShellQuote("unix:" + socket_) + " pactl " + arguments) == 0;
    }

    std::string runtime_;
    std::string socket_;
    QProcess server_;
    QProcess room_;
    bool ready_ = false;
};

// Waits for a condition while the event loop runs; false at the time limit.
// Unlike test::WaitFor it runs a nested event loop, as the program's own
// would.
bool WaitUntil(const std::function<bool()>& done, int limitMs = 60000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.hasExpired(limitMs)) return false;
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

struct Message {
    QString text;
    MessageIcon icon;
};

// The messages shown while it lives; questions get `answer`.
class MessageLog {
public:
    explicit MessageLog(bool answer = false) {
        SetMessageHookForTesting([this, answer](const QString& text, MessageIcon icon) {
            messages.push_back({text, icon});
            return answer;
        });
    }
    ~MessageLog() { SetMessageHookForTesting({}); }
    std::vector<Message> messages;
};

class SaveAnswer {
public:
    explicit SaveAnswer(const std::string& path) { Set(path); }
    ~SaveAnswer() { RecorderDialog::SetSavePathHookForTesting({}); }
    void Set(const std::string& path) {
        RecorderDialog::SetSavePathHookForTesting([path](QWidget*) { return QString::fromStdString(path); });
    }
};

QPushButton* ButtonOf(RecorderDialog& dialog, const char* name) {
    auto* button = dialog.findChild<QPushButton*>(name);
    EXPECT_NE(button, nullptr) << name;
    return button;
}
QString StatusOf(RecorderDialog& dialog) { return dialog.findChild<QLabel*>("status")->text(); }
// The "mm:ss" that ends a status text.
int ClockSeconds(const QString& status) { return 60 * status.right(5).left(2).toInt() + status.right(2).toInt(); }

// A stereo tone file at 44100 Hz, made of parts of a frequency, length and
// amplitude (of full scale; above 1 the tone is clipped).
struct TonePart {
    double hz;
    double seconds;
    double amplitude;
};
constexpr int kToneRate = 44100;
void WriteTone(const std::string& path, std::initializer_list<TonePart> parts) {
    std::vector<std::int16_t> samples;
    for (const TonePart& part : parts) {
        const int n = static_cast<int>(part.seconds * kToneRate);
        for (int i = 0; i < n; ++i) {
            const double v = std::clamp(part.amplitude * std::sin(2 * kPi * part.hz * i / kToneRate), -1.0, 1.0);
            const auto sample = static_cast<std::int16_t>(std::lround(v * 32767));
            samples.push_back(sample);
            samples.push_back(sample);
        }
    }
    WavFileWriter writer;
    ASSERT_EQ(writer.Open(path, true, 16, kToneRate), 1);
    writer.Write(samples.data(), samples.size() * sizeof samples[0]);
}

// 3 s of 440 Hz, 0.5 s of silence, 1 s of 660 Hz, at half of full scale.
constexpr double kGapSeconds = 0.5;
constexpr double kHighSeconds = 1.0;
constexpr double kToneRms = 0.5 * 32767 / 1.4142135623730951;
void WriteToneFile(const std::string& path) {
    WriteTone(path, {{440, 3.0, 0.5}, {0, kGapSeconds, 0.0}, {660, kHighSeconds, 0.5}});
}

struct Recording {
    int channels = 0;
    int rate = 0;
    std::vector<std::int16_t> samples;  // the first channel
};

Recording ReadRecording(const std::string& path) {
    Recording rec;
    WavFileReader reader;
    if (!reader.Open(path, 0)) return rec;
    rec.channels = reader.GetChannels();
    rec.rate = reader.GetSampleRate();
    std::vector<std::int16_t> block(4096);
    while (std::size_t got = reader.ReadRaw(block.data(), block.size() * 2)) {
        for (std::size_t i = 0; i < got / 2; i += static_cast<std::size_t>(rec.channels)) rec.samples.push_back(block[i]);
    }
    return rec;
}

// The samples written so far, while the header still holds placeholders.
Recording ReadGrowingRecording(const std::string& path, int rate) {
    Recording rec{1, rate, {}};
    const std::vector<std::uint8_t> bytes = ReadAll(path);
    for (std::size_t i = WavFileWriter::kHeaderBytes; i + 1 < bytes.size(); i += 2)
        rec.samples.push_back(static_cast<std::int16_t>(bytes[i] | bytes[i + 1] << 8));
    return rec;
}

constexpr std::size_t kNowhere = std::size_t(-1);
constexpr int kLoud = 4000;   // a quarter of the tone's amplitude
constexpr int kQuiet = 1000;

// The first loud sample at or after `from`.
std::size_t FindLoud(const Recording& rec, std::size_t from) {
    for (std::size_t i = from; i < rec.samples.size(); ++i)
        if (std::abs(rec.samples[i]) >= kLoud) return i;
    return kNowhere;
}

// The start of the first stretch of `seconds` of quiet at or after `from`.
std::size_t FindQuiet(const Recording& rec, std::size_t from, double seconds) {
    const auto n = static_cast<std::size_t>(seconds * rec.rate);
    std::size_t run = 0;
    for (std::size_t i = from; i < rec.samples.size(); ++i) {
        run = std::abs(rec.samples[i]) < kQuiet ? run + 1 : 0;
        if (run >= n) return i + 1 - n;
    }
    return kNowhere;
}

// Where the tone's parts lie in a recording that began during its first part.
struct ToneParts {
    std::size_t lowEnd = kNowhere;
    std::size_t highStart = kNowhere;
    std::size_t highEnd = kNowhere;
};

ToneParts FindToneParts(const Recording& rec) {
    ToneParts parts;
    parts.lowEnd = FindQuiet(rec, 0, 0.25);
    if (parts.lowEnd == kNowhere) return parts;
    parts.highStart = FindLoud(rec, parts.lowEnd);
    if (parts.highStart == kNowhere) return parts;
    parts.highEnd = FindQuiet(rec, parts.highStart, 0.25);
    return parts;
}

// The whole tone from its first part on, and a little quiet after it.
bool HoldsToneToItsEnd(const Recording& rec) {
    const ToneParts parts = FindToneParts(rec);
    return parts.highEnd != kNowhere && parts.highEnd + static_cast<std::size_t>(0.3 * rec.rate) < rec.samples.size();
}

struct Stretch {
    double rms = 0;
    double hz = 0;  // from the zero crossings
};

Stretch Measure(const Recording& rec, std::size_t from, double seconds) {
    Stretch s;
    const std::size_t n = static_cast<std::size_t>(seconds * rec.rate);
    if (from + n > rec.samples.size() || n == 0) return s;
    double sum = 0;
    int crossings = 0;
    for (std::size_t i = from; i < from + n; ++i) {
        sum += double(rec.samples[i]) * rec.samples[i];
        if (i > from && (rec.samples[i - 1] < 0) != (rec.samples[i] < 0)) ++crossings;
    }
    s.rms = std::sqrt(sum / double(n));
    s.hz = crossings / 2.0 / seconds;
    return s;
}

// The parent's side of a scenario on a sound server: a private PulseAudio
// with its null sink, and the test run again in a child that uses it.
void RunOnPrivateSoundServer() {
    if (!test::HaveTool("pulseaudio") || !test::HaveTool("pactl") || !test::HaveTool("paplay") ||
        !test::HaveTool("parec") || !test::HaveTool("pacat"))
        GTEST_SKIP() << "no PulseAudio server or its tools (pulseaudio, pulseaudio-utils) on this machine";
    ScratchDir scratch;
    PrepareScratch(scratch.Path());
    PrivateSoundServer server(scratch.Path());
    ASSERT_TRUE(server.Ready()) << "the private PulseAudio server did not start";
    RunScenarioInChild(scratch.Path(), server.Address());
}

// Listens to the default input as any other program would, to learn when
// the tone has reached it.
class InputListener {
public:
    InputListener() {
        process_.start("parec", {"--raw", "--format=s16le", "--channels=1", "--rate=22050", "--latency-msec=20"});
        process_.waitForStarted(60000);
    }
    ~InputListener() {
        process_.kill();
        process_.waitForFinished(20000);
    }
    bool HearsSound() {
        pending_ += process_.readAllStandardOutput();
        bool loud = false;
        for (qsizetype i = 0; i + 1 < pending_.size(); i += 2) {
            const auto v = static_cast<std::int16_t>(std::uint8_t(pending_[i]) | std::uint8_t(pending_[i + 1]) << 8);
            loud = loud || std::abs(v) >= kLoud;
        }
        pending_.remove(0, pending_.size() - pending_.size() % 2);
        return loud;
    }
    bool Running() const { return process_.state() == QProcess::Running; }
    std::string Errors() { return process_.readAllStandardError().toStdString(); }

private:
    QProcess process_;
    QByteArray pending_;
};

TEST(RecorderDialogOnSoundServer, RecordsWhatTheServerPlaysAndPlaysItBackToTheEnd) {
    if (!InScenarioChild()) {
        RunOnPrivateSoundServer();
        return;
    }
    const std::string scratch = ChildScratch();
    test::TestApplication();
    const std::string tone = scratch + "/tone.wav";
    WriteToneFile(tone);
    MessageLog log;
    const std::string saved = scratch + "/saved.wav";
    SaveAnswer answer(saved);

    std::string tempPath;
    {
        RecorderDialog dialog;
        dialog.show();
        EXPECT_EQ(StatusOf(dialog), "Ready.  Length: 00:00");
        // The input follows the quality chosen before Record.
        auto* quality = dialog.findChild<QComboBox*>("quality");
        quality->setCurrentIndex(quality->findText("Low quality [Mono]"));

        // The user speaks, then presses Record: the tone already sounds at
        // the input when the button goes down.
        QProcess player;
        player.start("paplay", {QString::fromStdString(tone)});
        {
            InputListener listener;
            ASSERT_TRUE(WaitUntil([&] { return listener.HearsSound() || !listener.Running(); }));
            ASSERT_TRUE(listener.Running()) << "parec could not listen to the input: " << listener.Errors();
        }
        QElapsedTimer recording;
        recording.start();
        ButtonOf(dialog, "record")->click();
        ASSERT_EQ(dialog.State(), RecorderState::Recording) << (log.messages.empty() ? "" : log.messages[0].text.toStdString());
        tempPath = dialog.RecordingPath();
        EXPECT_EQ(tempPath.rfind(scratch + "/tmp/TBQ", 0), 0u) << tempPath;
        EXPECT_FALSE(ButtonOf(dialog, "record")->isEnabled());
        EXPECT_FALSE(ButtonOf(dialog, "playPause")->isEnabled());

        // Until the file holds the rest of the tone and the clock has run,
        // then stop where whole seconds counted would be furthest off: 0.6
        // to 0.9 s past one.
        bool clockRan = false;
        ASSERT_TRUE(WaitUntil([&] {
            const QString status = StatusOf(dialog);
            clockRan = clockRan || (status.startsWith("Recording...  ") && ClockSeconds(status) >= 1);
            const Recording growing = ReadGrowingRecording(tempPath, 11025);
            const double held = double(growing.samples.size()) / growing.rate;
            const double past = held - std::floor(held);
            return clockRan && HoldsToneToItsEnd(growing) && past >= 0.6 && past < 0.9;
        })) << StatusOf(dialog).toStdString();
        ButtonOf(dialog, "stopRecording")->click();
        const double pressedSeconds = recording.elapsed() / 1000.0;
        ASSERT_TRUE(WaitUntil([&] { return player.state() == QProcess::NotRunning; }));
        ASSERT_EQ(player.exitCode(), 0) << player.readAllStandardError().toStdString();
        EXPECT_EQ(dialog.State(), RecorderState::Idle);
        EXPECT_TRUE(log.messages.empty());

        const Recording rec = ReadRecording(tempPath);
        ASSERT_EQ(rec.channels, 1);
        ASSERT_EQ(rec.rate, 11025);
        const double fileSeconds = double(rec.samples.size()) / rec.rate;
        // The length is what the file holds, to the nearest second.
        const int seconds = dialog.LengthSeconds();
        EXPECT_NEAR(seconds, fileSeconds, 0.5);
        EXPECT_EQ(StatusOf(dialog), QString("Ready.  Length: 00:%1").arg(seconds, 2, 10, QChar('0')));
        // The sound from the press to Stop Rec: nothing from long before
        // it, and none of it lost.
        EXPECT_LE(fileSeconds, pressedSeconds + 0.25);
        EXPECT_GE(fileSeconds, pressedSeconds - 0.5);

        // The tone sounds from the first 100 ms of the file on, and each
        // part of it comes whole.
        const std::size_t onset = FindLoud(rec, 0);
        EXPECT_LT(onset, std::size_t(0.1 * rec.rate)) << "the recording starts " << double(onset) / rec.rate
                                                      << " s after the press";
        const ToneParts parts = FindToneParts(rec);
        ASSERT_NE(parts.highEnd, kNowhere) << "the tone is missing or cut";
        const auto span = [&](std::size_t from, std::size_t to) { return double(to - from) / rec.rate; };
        const Stretch low = Measure(rec, onset, span(onset, parts.lowEnd) - 0.05);
        const Stretch gap = Measure(rec, parts.lowEnd + 500, span(parts.lowEnd, parts.highStart) - 0.05);
        const Stretch high = Measure(rec, parts.highStart + 500, span(parts.highStart, parts.highEnd) - 0.05);
        const Stretch after = Measure(rec, parts.highEnd, span(parts.highEnd, rec.samples.size()));
        EXPECT_NEAR(low.rms, kToneRms, kToneRms * 0.2);
        EXPECT_NEAR(low.hz, 440, 10);
        EXPECT_NEAR(span(parts.lowEnd, parts.highStart), kGapSeconds, 0.05);
        EXPECT_LT(gap.rms, 200);
        EXPECT_NEAR(span(parts.highStart, parts.highEnd), kHighSeconds, 0.05);
        EXPECT_NEAR(high.rms, kToneRms, kToneRms * 0.2);
        EXPECT_NEAR(high.hz, 660, 10);
        EXPECT_LT(after.rms, 200);

        ButtonOf(dialog, "saveAs")->click();
        ASSERT_EQ(log.messages.size(), 1u);
        EXPECT_EQ(log.messages[0].text, QString("Successfully save recorded file as '%1'.").arg(saved.c_str()));
        EXPECT_EQ(log.messages[0].icon, MessageIcon::Information);
        EXPECT_EQ(ReadAll(saved), ReadAll(tempPath));

        // Playback runs to the end of the recording by itself, not sooner.
        QElapsedTimer playing;
        playing.start();
        ButtonOf(dialog, "playPause")->click();
        ASSERT_EQ(dialog.State(), RecorderState::Playing);
        EXPECT_EQ(ButtonOf(dialog, "playPause")->text(), "&Pause");
        bool ticked = false;
        ASSERT_TRUE(WaitUntil([&] {
            ticked = ticked || StatusOf(dialog).startsWith("Playing...  00:01 / 00:");
            return dialog.State() == RecorderState::Idle;
        }));
        EXPECT_TRUE(ticked);
        EXPECT_GE(playing.elapsed() / 1000.0, double(rec.samples.size()) / rec.rate - 0.5);
        EXPECT_EQ(StatusOf(dialog), QString("Ready.  Length: 00:%1").arg(seconds, 2, 10, QChar('0')));
        EXPECT_EQ(ButtonOf(dialog, "playPause")->text(), "&Play");
        EXPECT_EQ(log.messages.size(), 1u);
        ButtonOf(dialog, "cancel")->click();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    EXPECT_FALSE(std::filesystem::exists(tempPath)) << "the temporary recording outlived the dialog";
}

TEST(RecorderDialogOnSoundServer, KeepsTheRecordingUntilTheUserLetsItGo) {
    if (!InScenarioChild()) {
        RunOnPrivateSoundServer();
        return;
    }
    const std::string scratch = ChildScratch();
    const std::string ini = scratch + "/config/Tembrel/tembrel.ini";
    std::filesystem::create_directories(scratch + "/config/Tembrel");
    std::ofstream(ini) << "[Options]\nRecQuality=700\n";
    test::TestApplication();
    MessageLog log(false);
    SaveAnswer answer("");

    RecorderDialog dialog;
    dialog.show();
    EXPECT_EQ(dialog.findChild<QComboBox*>("quality")->currentText(), "Medium quality [Mono]");
    ButtonOf(dialog, "record")->click();
    ASSERT_EQ(dialog.State(), RecorderState::Recording);
    const std::string recording = dialog.RecordingPath();
    // A second of sound in the file is a recording of 00:01.
    ASSERT_TRUE(WaitUntil([&] { return ReadGrowingRecording(recording, 22050).samples.size() >= 22050; }));
    ButtonOf(dialog, "stopRecording")->click();
    ASSERT_EQ(dialog.LengthSeconds(), 1);
    const std::vector<std::uint8_t> bytes = ReadAll(recording);
    EXPECT_EQ(ReadRecording(recording).rate, 22050);

    // Record again while playing, answered No: playback stops, the recording stays.
    ButtonOf(dialog, "playPause")->click();
    ASSERT_EQ(dialog.State(), RecorderState::Playing);
    ButtonOf(dialog, "record")->click();
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_EQ(log.messages[0].text, "Are you sure you want to abandon the previous recording sound then re-record?");
    EXPECT_EQ(log.messages[0].icon, MessageIcon::Question);
    EXPECT_EQ(dialog.State(), RecorderState::Idle);
    EXPECT_EQ(StatusOf(dialog), "Ready.  Length: 00:01");
    EXPECT_EQ(dialog.RecordingPath(), recording);
    EXPECT_EQ(ReadAll(recording), bytes);
    EXPECT_TRUE(ButtonOf(dialog, "playPause")->isEnabled());

    // Convert to SWF with the save question cancelled, then into a missing folder: the dialog stays.
    ButtonOf(dialog, "convert")->click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(log.messages.size(), 1u);
    const std::string nowhere = scratch + "/missing/take.wav";
    answer.Set(nowhere);
    ButtonOf(dialog, "convert")->click();
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(log.messages.size(), 2u);
    EXPECT_EQ(log.messages[1].text, QString("Failed to save recorded file as '%1'.").arg(nowhere.c_str()));
    EXPECT_EQ(log.messages[1].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(dialog.SavedPath().empty());

    // Converting over an existing file replaces it whole and hands its path back.
    const std::string target = scratch + "/take.wav";
    std::ofstream(target) << std::string(200000, 'x');
    answer.Set(target);
    ButtonOf(dialog, "convert")->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.SavedPath(), target);
    EXPECT_EQ(ReadAll(target), bytes);
    EXPECT_EQ(log.messages.size(), 2u);
    int leftovers = 0;
    for (const auto& entry : std::filesystem::directory_iterator(scratch))
        leftovers += entry.path().filename().string().rfind("TBR", 0) == 0;
    EXPECT_EQ(leftovers, 0);
    // The unknown stored quality went back as medium quality mono.
    EXPECT_EQ(QSettings(QString::fromStdString(ini), QSettings::IniFormat).value("Options/RecQuality").toInt(), 300);
}

// Presses the main window's Record button as a user does and, once the
// Record dialog is up, hands it to `user`, who ends it. Returns when the
// press has been handled to its end: the dialog gone and its result used.
QPushButton* RecordButton(MainDialog& window) {
    for (QPushButton* button : window.findChildren<QPushButton*>())
        if (button->text() == "Record") return button;
    return nullptr;
}

void UseRecorder(MainDialog& window, const std::function<void(RecorderDialog&)>& user) {
    QPushButton* record = RecordButton(window);
    ASSERT_TRUE(record && record->isEnabled());
    bool used = false;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<RecorderDialog*>(QApplication::activeModalWidget());
        if (used || !dialog || !dialog->isVisible()) return;
        used = true;
        user(*dialog);
        // A failed step leaves the dialog to no one.
        if (testing::Test::HasFatalFailure() && dialog->isVisible()) dialog->reject();
    });
    watcher.start(5);
    record->click();
    EXPECT_TRUE(used) << "the Record dialog did not show";
}

// Records while the server plays: from Record until the file holds `seconds`.
void RecordFor(RecorderDialog& dialog, double seconds) {
    ButtonOf(dialog, "record")->click();
    ASSERT_EQ(dialog.State(), RecorderState::Recording);
    const std::string path = dialog.RecordingPath();
    ASSERT_TRUE(WaitUntil([&] { return ReadGrowingRecording(path, 22050).samples.size() >= seconds * 22050; }));
}

// Waits until the level meter has shown `holds` for every channel of the
// input in ten readings running.
bool MeterSettles(RecorderDialog& dialog, const std::function<bool(const ChannelLevel&)>& holds) {
    auto* meter = dialog.findChild<LevelMeterView*>("level");
    if (!meter) return false;
    int steady = 0, seen = -1;
    return WaitUntil([&] {
        if (meter->Refreshes() == seen) return false;
        seen = meter->Refreshes();
        const std::vector<ChannelLevel>& levels = meter->Shown();
        const bool all = !levels.empty() && std::all_of(levels.begin(), levels.end(), holds);
        steady = all ? steady + 1 : 0;
        return steady >= 10;
    });
}

bool TemporaryRecordingsIn(const std::string& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().rfind("TBQ", 0) == 0) return true;
    return false;
}

// The program's own road: the main window's Record, a recording of what the
// server plays, Convert to SWF, and the main window converting exactly that
// file; then the dialog ended by Cancel, by its close box and by SIGTERM,
// each leaving no recording behind. The level meter reads a tone's level
// before Record, and full scale with its mark for a clipped one.
TEST(RecorderDialogOnSoundServer, TheProgramRecordsConvertsAndEndsTheDialogEveryWay) {
    if (!InScenarioChild()) {
        RunOnPrivateSoundServer();
        return;
    }
    if (!test::HaveTool("ffmpeg") || !test::HaveTool("ffprobe")) GTEST_SKIP() << "ffmpeg is needed to decode the SWF";
    const std::string scratch = ChildScratch();
    const std::string temp = scratch + "/tmp";
    test::TestApplication();
    const std::string tone = scratch + "/tone.wav", other = scratch + "/other.wav", take = scratch + "/take.wav";
    WriteTone(tone, {{440, 8.0, 0.5}});
    WriteTone(other, {{440, 1.0, 0.5}});
    const std::string clipped = scratch + "/clipped.wav";
    WriteTone(clipped, {{440, 8.0, 2.0}});
    const std::string out = scratch + "/out";
    std::filesystem::create_directory(out);
    MessageLog log;
    SaveAnswer answer(take);
    MainWindowHooks hooks = DesktopHooks();
    hooks.showHelp = {};  // no first-run help over the window
    hooks.closeHelp = {};

    std::string recording;
    double recordedSeconds = 0;
    bool started = false, signalled = false;
    const int status = test::RunProgram({other}, hooks, [&] {
        MainDialog* window = test::ShownMainWindow();
        // Once the file named at start is in the list, and the window free again.
        if (started || !window || window->List()->topLevelItemCount() != 1 || !RecordButton(*window)->isEnabled()) return;
        started = true;
        window->Settings() = ConversionSettings(TEMBREL_PROGRAM_DIR "/");
        window->Settings().SWFOutputFolderOpt = kOutputCustomFolder;
        window->Settings().SWFSpecifiedFolder = out;
        window->Settings().BrowseOutFolder = 0;
        SortableListCtrl* list = window->List();
        list->topLevelItem(0)->setSelected(true);

        // Record while a tone plays, Stop Rec, Convert to SWF.
        UseRecorder(*window, [&](RecorderDialog& dialog) {
            QElapsedTimer open;
            open.start();
            auto* meter = dialog.findChild<LevelMeterView*>("level");
            ASSERT_NE(meter, nullptr);
            // The meter stands clear of every other control.
            for (QWidget* control : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (control == meter || !control->isVisible()) continue;
                EXPECT_FALSE(meter->geometry().intersects(control->geometry())) << control->objectName().toStdString();
            }
            EXPECT_GE(meter->height(), 50);
            // Before Record the meter already follows the input: the tone's
            // peak is 6 dB below full scale, and nothing clips.
            QProcess player;
            player.start("paplay", {QString::fromStdString(tone)});
            ASSERT_TRUE(MeterSettles(dialog, [](const ChannelLevel& level) {
                return std::abs(level.peakDb - -6.02) <= 2 && std::abs(level.holdDb - -6.02) <= 2 && !level.clipped;
            })) << (meter->Shown().empty() ? "no input" : std::to_string(meter->Shown()[0].peakDb));
            EXPECT_EQ(meter->Shown().size(), 1u);  // medium quality, mono
            RecordFor(dialog, 1.5);
            recording = dialog.RecordingPath();
            ButtonOf(dialog, "stopRecording")->click();
            // At least ten readings a second, from the dialog's start to now.
            EXPECT_GE(meter->Refreshes(), 10 * open.elapsed() / 1000) << open.elapsed() << " ms";
            const Recording rec = ReadRecording(recording);
            ASSERT_EQ(rec.rate, 22050);
            recordedSeconds = double(rec.samples.size()) / rec.rate;
            ButtonOf(dialog, "convert")->click();
            EXPECT_FALSE(dialog.isVisible());
            player.kill();
            player.waitForFinished(20000);
        });
        if (testing::Test::HasFatalFailure()) return QCoreApplication::exit(1);
        EXPECT_FALSE(std::filesystem::exists(recording)) << "the temporary recording outlived the dialog";
        // The saved take is added, selected alone and converted alone.
        ASSERT_EQ(list->topLevelItemCount(), 2);
        const int row = list->EntryAt(0)->sourcePath == take ? 0 : 1;
        ASSERT_EQ(list->EntryAt(row)->sourcePath, take);
        EXPECT_EQ(list->selectedItems(), QList<QTreeWidgetItem*>{list->topLevelItem(row)});
        EXPECT_EQ(list->currentItem(), list->topLevelItem(row));
        EXPECT_TRUE(list->EntryAt(1 - row)->outputSwfPath.empty());
        const std::string swf = list->EntryAt(row)->outputSwfPath;
        ASSERT_EQ(swf, out + "/take.swf");
        // The SWF holds the recording: as long, and the tone in it.
        const long channels = test::ProbeField(swf, "channels");
        const long rate = test::ProbeField(swf, "sample_rate");
        ASSERT_GT(channels, 0);
        ASSERT_GT(rate, 0);
        const Recording decoded{1, int(rate), test::ChannelOf(test::FfmpegDecode(swf), int(channels), 0)};
        EXPECT_NEAR(double(decoded.samples.size()) / double(rate), recordedSeconds, 0.3);
        const Stretch heard = Measure(decoded, std::size_t(0.2 * rate), 0.8);
        EXPECT_NEAR(heard.hz, 440, 10);
        EXPECT_NEAR(heard.rms, kToneRms, kToneRms * 0.2);

        // Cancel and the close box end the dialog; the program goes on.
        const std::function<void(RecorderDialog&)> endings[] = {
            [](RecorderDialog& dialog) { ButtonOf(dialog, "cancel")->click(); },
            [](RecorderDialog& dialog) { dialog.windowHandle()->close(); },
        };
        for (const auto& end : endings) {
            UseRecorder(*window, [&](RecorderDialog& dialog) {
                // A clipped tone reads full scale, with the clipping mark.
                QProcess player;
                player.start("paplay", {QString::fromStdString(clipped)});
                EXPECT_TRUE(MeterSettles(dialog, [](const ChannelLevel& level) {
                    return level.peakDb >= kClipDb && level.clipped;
                }));
                player.kill();
                player.waitForFinished(20000);
                RecordFor(dialog, 0.3);
                recording = dialog.RecordingPath();
                end(dialog);
                EXPECT_FALSE(dialog.isVisible());
            });
            EXPECT_TRUE(window->isVisible());
            EXPECT_EQ(list->topLevelItemCount(), 2);
            EXPECT_FALSE(std::filesystem::exists(recording)) << "the temporary recording outlived the dialog";
        }

        // SIGTERM while recording ends the program.
        UseRecorder(*window, [&](RecorderDialog& dialog) {
            RecordFor(dialog, 0.3);
            recording = dialog.RecordingPath();
            signalled = true;
            ::kill(::getpid(), SIGTERM);
        });
    }, 240000);
    EXPECT_TRUE(signalled);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(test::ShownMainWindow(), nullptr);
    EXPECT_FALSE(std::filesystem::exists(recording)) << "the temporary recording outlived the program";
    EXPECT_FALSE(TemporaryRecordingsIn(temp));
    EXPECT_TRUE(log.messages.empty()) << log.messages[0].text.toStdString();
}

TEST(RecorderDialogWithoutSoundServer, ReportsTheFailureAndStaysUsable) {
    if (!InScenarioChild()) {
        ScratchDir scratch;
        PrepareScratch(scratch.Path());
        RunScenarioInChild(scratch.Path(), QString::fromStdString("unix:" + scratch.Path() + "/no-server"));
        return;
    }
    const std::string scratch = ChildScratch();
    test::TestApplication();
    MessageLog log;

    RecorderDialog dialog;
    dialog.show();
    const QImage icon = dialog.windowIcon().pixmap(32).toImage();
    EXPECT_FALSE(icon.isNull()) << "the dialog has no icon";
    EXPECT_EQ(icon, ProgramIcon().pixmap(32).toImage());
    for (int press = 1; press <= 2; ++press) {
        ButtonOf(dialog, "record")->click();
        ASSERT_EQ(log.messages.size(), std::size_t(press));
        EXPECT_EQ(log.messages.back().text, "Failed to record. Be sure sound card is installed in your computer.");
        EXPECT_EQ(log.messages.back().icon, MessageIcon::Exclamation);
        EXPECT_EQ(dialog.State(), RecorderState::Idle);
        EXPECT_EQ(StatusOf(dialog), "Ready.  Length: 00:00");
        EXPECT_TRUE(ButtonOf(dialog, "record")->isEnabled());
        EXPECT_FALSE(ButtonOf(dialog, "stopRecording")->isEnabled());
        EXPECT_FALSE(ButtonOf(dialog, "convert")->isEnabled());
    }
    // Escape and Enter leave the dialog open; Cancel ends it.
    for (int key : {Qt::Key_Escape, Qt::Key_Return}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(&dialog, &press);
    }
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(log.messages.size() == 2u);
    ButtonOf(dialog, "cancel")->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(std::filesystem::is_empty(scratch + "/tmp"));
    EXPECT_EQ(QSettings(QString::fromStdString(scratch + "/config/Tembrel/tembrel.ini"), QSettings::IniFormat)
                  .value("Options/RecQuality")
                  .toInt(),
              300);
}

}  // namespace
}  // namespace tembrel::app
