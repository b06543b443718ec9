// The Flash view with the real Qt WebEngine and Ruffle playing movies the
// engine converts, its server's refusals, and the Play SWF command.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWindow>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include <filesystem>
#include <memory>
#include <vector>

#include "app/app_test_support.h"
#include "app/desktop/desktop_services.h"
#include "app/desktop/endpoints.h"
#include "app/preview/flash_view.h"
#include "app/preview/flash_view_server.h"
#include "app/widgets/message_box.h"
#include "app/preview/play_swf_command.h"
#include "app/preview/play_swf_dialog.h"
#include "engine/conversion_driver.h"
#include "support/decoding_fixtures.h"
#include "support/test_support.h"

namespace tembrel::app {
namespace {

using test::WaitFor;

std::string Program() { return std::string(TEMBREL_PROGRAM_DIR) + "/"; }

// Taps every audio context's output with an analyser and notes loud blocks.
constexpr char kAudioTap[] = R"((() => {
  window.soundHeard = false;
  const connect = AudioNode.prototype.connect;
  AudioNode.prototype.connect = function (target, ...rest) {
    if (target instanceof AudioDestinationNode && !target.context.tap) {
      const analyser = target.context.createAnalyser();
      analyser.fftSize = 2048;
      connect.call(analyser, target);
      target.context.tap = analyser;
      const data = new Float32Array(analyser.fftSize);
      setInterval(() => {
        analyser.getFloatTimeDomainData(data);
        let sum = 0;
        for (const v of data) sum += v * v;
        if (Math.sqrt(sum / data.length) > 0.01) window.soundHeard = true;
      }, 20);
    }
    if (target instanceof AudioDestinationNode) return connect.call(this, target.context.tap, ...rest);
    return connect.call(this, target, ...rest);
  };
})();)";

void TapAudio(FlashView& view) {
    QWebEngineScript script;
    script.setSourceCode(kAudioTap);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    view.PageForTesting()->scripts().insert(script);
    view.PageForTesting()->triggerAction(QWebEnginePage::Reload);
}

// Waits until `condition` holds in the page.
bool PageSays(FlashView& view, const QString& condition) {
    // Answers may come after the wait is over.
    auto holds = std::make_shared<bool>(false);
    return WaitFor([&] {
        view.PageForTesting()->runJavaScript(condition, [holds](const QVariant& v) { *holds = v.toBool(); });
        return *holds;
    });
}

bool SoundHeard(FlashView& view) { return PageSays(view, "window.soundHeard === true"); }

// What MovieLoaded told.
struct Loaded {
    explicit Loaded(FlashView& view) {
        QObject::connect(&view, &FlashView::MovieLoaded, [this](int w, int h, double rate, int frames) {
            calls.push_back({w, h, rate, frames});
        });
    }
    struct Call {
        int width, height;
        double frameRate;
        int frameCount;
    };
    std::vector<Call> calls;
};

struct SwfHeader {
    int width = 0, height = 0;
    double frameRate = 0;
    int frameCount = 0;
};

// Stage size, rate and frames of an uncompressed SWF.
SwfHeader ReadHeader(const std::string& path) {
    const auto b = test::ReadAll(path);
    SwfHeader h;
    if (b.size() < 30 || b[0] != 'F') return h;
    std::size_t bit = 8 * 8;
    auto bits = [&](int n) {
        long v = 0;
        for (int i = 0; i < n; ++i, ++bit) v = (v << 1) | ((b[bit / 8] >> (7 - bit % 8)) & 1);
        return v;
    };
    const int n = static_cast<int>(bits(5));
    const long xmin = bits(n), xmax = bits(n), ymin = bits(n), ymax = bits(n);
    const std::size_t at = (bit + 7) / 8;
    h.width = static_cast<int>((xmax - xmin) / 20);
    h.height = static_cast<int>((ymax - ymin) / 20);
    h.frameRate = b[at + 1] + b[at] / 256.0;
    h.frameCount = b[at + 2] | (b[at + 3] << 8);
    return h;
}

class FlashViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::TestApplication();
        if (!QFile::exists(QString::fromStdString(Program() + "ruffle/ruffle.js"))) GTEST_SKIP() << "no Ruffle in the program folder";
    }
    void TearDown() override {
        SetMessageHookForTesting({});
        SetDesktopForTesting(nullptr);
    }

    // "my song.wav", two seconds of tone, converted as a single player or a
    // shell pair beside it.
    SourceFileEntry Convert(bool shell) {
        SourceFileEntry row;
        row.sourcePath = scratch.File(shell ? "shell/my song.wav" : "single/my song.wav");
        QDir().mkpath(QFileInfo(QString::fromStdString(row.sourcePath)).path());
        EXPECT_TRUE(test::EncodeTone(row.sourcePath, 44100, 2, 2.0, "-c:a pcm_s16le"));
        row.typeCode = kSourceTypeWav;
        settings.CreateCtrlSWF = 1;
        settings.CreateHtmlFile = 0;
        settings.BrowseOutFolder = 0;
        settings.SWFOutputFolderOpt = kOutputSameFolder;
        settings.ButtonSWFType = shell ? kPlayerWithShell : kPlayerSingle;
        std::vector<SourceFileEntry*> entries{&row};
        EXPECT_EQ(ConvertFiles(settings, entries, {0}, nullptr), 1);
        return row;
    }

    test::ScratchDir scratch;
    ConversionSettings settings{Program()};
};

TEST_F(FlashViewTest, PlaysASinglePlayerAndAShellPairWithSound) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "Chromium inside libQt6WebEngineCore deletes with a mismatched size when a page goes, "
                    "which AddressSanitizer aborts on";
#endif
    const SourceFileEntry single = Convert(false);
    {
        std::unique_ptr<FlashView> view(FlashView::Create(nullptr, Program()));
        ASSERT_NE(view, nullptr);
        view->resize(400, 100);
        view->show();
        TapAudio(*view);
        Loaded loaded(*view);
        view->SetBackgroundColor("#FF0000");
        view->LoadMovie(QString::fromStdString(single.outputSwfPath));
        ASSERT_TRUE(WaitFor([&] { return !loaded.calls.empty(); }));
        const SwfHeader want = ReadHeader(single.outputSwfPath);
        ASSERT_GT(want.frameCount, 1);
        EXPECT_EQ(loaded.calls[0].width, want.width);
        EXPECT_EQ(loaded.calls[0].height, want.height);
        EXPECT_DOUBLE_EQ(loaded.calls[0].frameRate, want.frameRate);
        EXPECT_EQ(loaded.calls[0].frameCount, want.frameCount);
        EXPECT_TRUE(SoundHeard(*view));
        // A new colour shows around the playing movie without a reload.
        view->SetBackgroundColor("#00FF80");
        EXPECT_TRUE(PageSays(*view, "getComputedStyle(document.body).backgroundColor === 'rgb(0, 255, 128)'"));
        EXPECT_EQ(loaded.calls.size(), 1u);
    }
    const SourceFileEntry pair = Convert(true);
    ASSERT_FALSE(pair.playerSwfPath.empty());
    std::unique_ptr<FlashView> view(FlashView::Create(nullptr, Program()));
    ASSERT_NE(view, nullptr);
    view->show();
    TapAudio(*view);
    Loaded loaded(*view);
    // The sound comes only from the sound SWF the player fetches by name.
    view->LoadMovie(MovieAddress(pair, settings, 2));
    ASSERT_TRUE(WaitFor([&] { return !loaded.calls.empty(); }));
    EXPECT_EQ(loaded.calls[0].width, ReadHeader(pair.playerSwfPath).width);
    EXPECT_TRUE(SoundHeard(*view));
}

// Raw request to the server; the status line's code.
int Status(const FlashViewServer& server, const QByteArray& path) {
    const QUrl base(server.Base());
    QTcpSocket socket;
    socket.connectToHost("127.0.0.1", static_cast<quint16>(base.port()));
    if (!socket.waitForConnected(60000)) return -1;
    socket.write("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QByteArray reply;
    WaitFor([&] {
        reply += socket.readAll();
        return reply.contains("\r\n") || socket.state() == QAbstractSocket::UnconnectedState;
    });
    return reply.mid(9, 3).toInt();
}

TEST_F(FlashViewTest, ServesOnlyTheFilesAsked) {
    const SourceFileEntry pair = Convert(true);
    test::WriteAll(scratch.File("shell/private.txt"), {'x'});
    test::WriteAll(scratch.File("outside.swf"), {'x'});
    QFile::link(QString::fromStdString(scratch.File("outside.swf")), QString::fromStdString(scratch.File("shell/linked.swf")));
    FlashViewServer server(QString::fromStdString(Program() + "ruffle"));
    ASSERT_TRUE(server.Listen());
    const QByteArray token = QUrl(server.Base()).path().toUtf8();  // "/<token>/"
    const QString address = MovieAddress(pair, settings, 2);
    const QString url =
        server.ShowMovie(QByteArray::fromStdString(pair.playerSwfPath), address.mid(address.indexOf('?') + 1));
    const QByteArray movie = token + "movie/1/";
    const QByteArray player = QUrl::toPercentEncoding(QFileInfo(QString::fromStdString(pair.playerSwfPath)).fileName());
    EXPECT_EQ(url, server.Base() + "movie/1/" + player + address.mid(address.indexOf('?')));
    EXPECT_EQ(Status(server, token + "view.html"), 200);
    EXPECT_EQ(Status(server, token + "ruffle/ruffle.js"), 200);
    EXPECT_EQ(Status(server, movie + player), 200);
    EXPECT_EQ(Status(server, movie + "my%20song.swf"), 200);
    for (const QByteArray& refused :
         {QByteArray("/view.html"), QByteArray("/ruffle/ruffle.js"), "/x" + token.mid(2) + "view.html", token,
          token + "ruffle/", token + "ruffle/..", token + "ruffle/%2E%2E%2Fpackage.json", token + "ruffle/../view.html",
          movie, movie + "private.txt", movie + "linked.swf", movie + "..%2Fshell%2Fprivate.txt",
          movie + "my%20song.wav", token + "movie/0/" + player, token + "movie/1/../../" + token + "view.html"}) {
        SCOPED_TRACE(refused.toStdString());
        EXPECT_EQ(Status(server, refused), 404);
    }
    // Another movie takes the place of the last.
    server.ShowMovie(QByteArray::fromStdString(pair.outputSwfPath), "");
    EXPECT_EQ(Status(server, movie + player), 404);
    EXPECT_EQ(Status(server, token + "movie/2/my%20song.swf"), 200);
    // A sound SWF named by the query that is a link out of the folder.
    server.ShowMovie(QByteArray::fromStdString(pair.playerSwfPath), "soundswf=linked.swf");
    EXPECT_EQ(Status(server, token + "movie/3/linked.swf"), 404);

    // A pair whose name is not UTF-8 is served by its bytes; the player
    // reads its query as text and asks for the sound with U+FFFD in place
    // of the odd byte, which still finds it.
    SourceFileEntry odd;
    odd.outputSwfPath = scratch.File("shell/caf\xE9.swf");
    odd.playerSwfPath = scratch.File("shell/caf\xE9.player.swf");
    std::filesystem::copy_file(pair.outputSwfPath, odd.outputSwfPath);
    std::filesystem::copy_file(pair.playerSwfPath, odd.playerSwfPath);
    const QString oddAddress = MovieAddress(odd, settings, 2);
    EXPECT_EQ(server.ShowMovie(QByteArray::fromPercentEncoding(oddAddress.left(oddAddress.indexOf('?')).toLatin1()),
                               oddAddress.mid(oddAddress.indexOf('?') + 1)),
              server.Base() + "movie/4/caf%E9.player.swf" + oddAddress.mid(oddAddress.indexOf('?')));
    EXPECT_EQ(Status(server, token + "movie/4/caf%E9.player.swf"), 200);
    EXPECT_EQ(Status(server, token + "movie/4/caf%E9.swf"), 200);
    EXPECT_EQ(Status(server, token + "movie/4/caf%EF%BF%BD.swf"), 200);
    EXPECT_EQ(Status(server, token + "movie/4/cafe.swf"), 404);
}

// Any program on the machine can reach the port: a connection that never
// finishes its request, a request without the token, or a crowd of them must
// not hold the server.
TEST_F(FlashViewTest, NoConnectionHoldsTheServer) {
    FlashViewServer server(QString::fromStdString(Program() + "ruffle"));
    // A head timeout far beyond this test, so only the other rules close.
    server.SetLimits(600000, 4);
    ASSERT_TRUE(server.Listen());
    const QByteArray token = QUrl(server.Base()).path().toUtf8();  // "/<token>/"
    const auto port = static_cast<quint16>(QUrl(server.Base()).port());
    auto open = [&](const QByteArray& start) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost("127.0.0.1", port);
        EXPECT_TRUE(socket->waitForConnected(60000));
        socket->write(start);
        socket->flush();
        return socket;
    };
    auto closed = [](QTcpSocket& socket) { return socket.state() == QAbstractSocket::UnconnectedState; };

    // Without the token: answered 404 at once, the rest of the head unawaited.
    auto tokenless = open("GET /view.html HTTP/1.1\r\nHost: 127.0.0.1\r\n");
    QByteArray reply;
    EXPECT_TRUE(WaitFor([&] { reply += tokenless->readAll(); return closed(*tokenless); }, 20000));
    EXPECT_TRUE(reply.startsWith("HTTP/1.1 404")) << reply.toStdString();

    // Four heads under way fill the server; a fifth connection is closed.
    std::vector<std::unique_ptr<QTcpSocket>> pending;
    for (int i = 0; i < 4; ++i) pending.push_back(open("GET " + token + "view.html HTTP/1.1\r\n"));
    auto fifth = open("GET " + token + "view.html HTTP/1.1\r\n");
    EXPECT_TRUE(WaitFor([&] { return closed(*fifth); }, 20000));
    for (const auto& socket : pending) EXPECT_FALSE(closed(*socket));
    // One of them going makes room again.
    pending.pop_back();
    EXPECT_TRUE(WaitFor([&] { return Status(server, token + "view.html") == 200; }, 20000));

    // A head that does not come in time loses its connection.
    server.SetLimits(300, 64);
    auto slow = open("GET " + token);
    EXPECT_TRUE(WaitFor([&] { return closed(*slow); }, 20000));
    for (const auto& socket : pending) EXPECT_FALSE(closed(*socket));
    pending.clear();

    // Three hundred connections opened at once, faster than the server
    // takes them, none sending a head: each is refused or timed out within
    // a few head timeouts, none left waiting in the system's queue to be
    // let in seconds later.
    server.SetLimits(500, 64);
    std::vector<int> crowd;
    for (int i = 0; i < 300; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        ASSERT_GE(fd, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        crowd.push_back(fd);
    }
    const auto stillOpen = [&] {
        int open = 0;
        for (const int fd : crowd) {
            char byte;
            // Closed: end of stream or an error; open: nothing yet.
            if (::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) < 0 && errno == EAGAIN) ++open;
        }
        return open;
    };
    EXPECT_TRUE(WaitFor([&] { return stillOpen() == 0; }, 6000)) << stillOpen() << " of 300 still open";
    for (const int fd : crowd) ::close(fd);
}

TEST_F(FlashViewTest, MovieAddressesOfBothKinds) {
    SourceFileEntry row;
    row.outputSwfPath = "/music/what?/my song#1 100%.swf";
    row.playerSwfPath = "/music/what?/my song#1 100%.player.swf";
    settings.SWFInitPlay = 1;
    settings.SWFLoopPlay = 0;
    // Each segment encoded; the sound SWF's name as an address (its "#" and
    // "%" escaped), then as a query value.
    EXPECT_EQ(MovieAddress(row, settings, 73).toStdString(),
              "/music/what%3F/my%20song%231%20100%25.player.swf?soundswf=my%20song%25231%20100%2525.swf&autoplay=1&loops=0&"
              "duration=73");
    row.playerSwfPath.clear();
    EXPECT_EQ(MovieAddress(row, settings, 73).toStdString(), "/music/what%3F/my%20song%231%20100%25.swf");
}

// A "?" or "#" in a name is part of the name: the movie of that name plays,
// not a file named by what comes before the mark.
TEST_F(FlashViewTest, NamesWithQuestionMarksAndHashesPlayTheirOwnMovie) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "Chromium inside libQt6WebEngineCore deletes with a mismatched size when a page goes, "
                    "which AddressSanitizer aborts on";
#endif
    const SourceFileEntry single = Convert(false);
    const SourceFileEntry pair = Convert(true);
    const SwfHeader singleHeader = ReadHeader(single.outputSwfPath), playerHeader = ReadHeader(pair.playerSwfPath);
    ASSERT_NE(std::pair(singleHeader.width, singleHeader.frameCount),
              std::pair(playerHeader.width, playerHeader.frameCount));
    const std::string folder = scratch.File("odd#?");
    QDir().mkpath(QString::fromStdString(folder));
    const auto copy = [](const std::string& from, const std::string& to) {
        std::error_code error;  // by the names' bytes: some are not UTF-8
        ASSERT_TRUE(std::filesystem::copy_file(from, to, error)) << to;
    };
    // Each movie beside a decoy named by the part of its name before the "?".
    SourceFileEntry what;
    what.outputSwfPath = folder + "/what?.swf";
    copy(single.outputSwfPath, what.outputSwfPath);
    copy(pair.playerSwfPath, folder + "/what");
    // The shell player fetches its sound SWF by the name in its query, as
    // an address: its own "#", "?" and "%" must reach the file too.
    SourceFileEntry shell;
    shell.outputSwfPath = folder + "/sound #1? 100%.swf";
    shell.playerSwfPath = folder + "/a#b?.player.swf";
    copy(pair.outputSwfPath, shell.outputSwfPath);
    copy(pair.playerSwfPath, shell.playerSwfPath);
    copy(single.outputSwfPath, folder + "/a#b");
    copy(single.outputSwfPath, folder + "/sound ");
    copy(single.outputSwfPath, scratch.File("odd#"));
    // A movie whose name is not UTF-8 plays, not Ruffle's "file missing".
    SourceFileEntry latin1;
    latin1.outputSwfPath = folder + "/caf\xE9.swf";
    copy(single.outputSwfPath, latin1.outputSwfPath);

    for (const auto& [row, want] :
         {std::pair{what, singleHeader}, std::pair{shell, playerHeader}, std::pair{latin1, singleHeader}}) {
        SCOPED_TRACE(row.outputSwfPath);
        std::unique_ptr<FlashView> view(FlashView::Create(nullptr, Program()));
        ASSERT_NE(view, nullptr);
        view->resize(400, 100);
        view->show();
        TapAudio(*view);
        Loaded loaded(*view);
        view->LoadMovie(MovieAddress(row, settings, 2));
        ASSERT_TRUE(WaitFor([&] { return !loaded.calls.empty(); }));
        EXPECT_EQ(loaded.calls[0].width, want.width);
        EXPECT_EQ(loaded.calls[0].frameCount, want.frameCount);
        // The shell player found its sound SWF by the name in the query.
        EXPECT_TRUE(SoundHeard(*view));
    }
}

// The keys a user ends Play SWF with, pressed where the focus is: inside the
// web view, which takes keys for the movie.
TEST_F(FlashViewTest, EnterAndEscapeEndPlaySwfFromInsideTheMovie) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "Chromium inside libQt6WebEngineCore deletes with a mismatched size when a page goes, "
                    "which AddressSanitizer aborts on";
#endif
    const SourceFileEntry single = Convert(false);
    for (const auto& [key, want] : {std::pair{Qt::Key_Escape, 2}, std::pair{Qt::Key_Return, 1}}) {
        SCOPED_TRACE(key);
        PlaySwfDialog dialog(nullptr, MovieAddress(single, settings, 2), settings.SWFBkgColor, Program());
        ASSERT_NE(dialog.View(), nullptr);
        Loaded loaded(*dialog.View());
        QElapsedTimer since;
        since.start();
        QWidget* pressedOn = nullptr;
        bool clicked = false;
        QTimer user;
        QObject::connect(&user, &QTimer::timeout, [&] {
            if (since.elapsed() > 60000) return dialog.done(99);  // the key did not end it
            if (loaded.calls.empty() || pressedOn) return;
            // As a user would: a click into the movie, then the key, both
            // through the window, so they reach whatever widget has the focus.
            QWindow* window = dialog.windowHandle();
            if (!clicked) {
                clicked = true;
                const QPointF middle = dialog.View()->mapTo(&dialog, dialog.View()->rect().center());
                QMouseEvent down(QEvent::MouseButtonPress, middle, dialog.mapToGlobal(middle), Qt::LeftButton,
                                 Qt::LeftButton, Qt::NoModifier);
                QMouseEvent up(QEvent::MouseButtonRelease, middle, dialog.mapToGlobal(middle), Qt::LeftButton,
                               Qt::NoButton, Qt::NoModifier);
                QApplication::sendEvent(window, &down);
                QApplication::sendEvent(window, &up);
                return;
            }
            QWidget* focus = QApplication::focusWidget();
            if (!focus || !dialog.View()->isAncestorOf(focus)) return;
            pressedOn = focus;
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
            QApplication::sendEvent(window, &press);
            QApplication::sendEvent(window, &release);
        });
        user.start(20);
        EXPECT_EQ(dialog.exec(), want);
        ASSERT_NE(pressedOn, nullptr);
    }
}

// A movie deleted since it was made: our message names the file that is
// gone, and no player opens on an error page.
TEST_F(FlashViewTest, PlaySwfOnAMovieThatIsGoneNamesIt) {
    const SourceFileEntry pair = Convert(true);
    std::vector<std::string> told;
    SetMessageHookForTesting([&](const QString& text, MessageIcon icon) {
        told.push_back(text.toStdString() + (icon == MessageIcon::Exclamation ? " (!)" : " (?)"));
        return false;
    });
    int opened = 0;
    QTimer user;  // ends any Play SWF that opens
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<PlaySwfDialog*>(QApplication::activeModalWidget())) {
            ++opened;
            dialog->done(2);
        }
    });
    user.start(20);
    SourceFileEntry single;
    single.outputSwfPath = scratch.File("gone.swf");
    PlaySwfCommand(nullptr, single, settings, 2, Program());
    const std::string player = pair.playerSwfPath, sound = pair.outputSwfPath;
    ASSERT_TRUE(QFile::rename(QString::fromStdString(sound), QString::fromStdString(sound + ".kept")));
    PlaySwfCommand(nullptr, pair, settings, 2, Program());
    ASSERT_TRUE(QFile::remove(QString::fromStdString(player)));
    PlaySwfCommand(nullptr, pair, settings, 2, Program());
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(told, (std::vector<std::string>{
                        "The SWF file \"" + single.outputSwfPath + "\" no longer exists. (!)",
                        "The SWF file \"" + sound + "\" no longer exists. (!)",
                        "The SWF file \"" + player + "\" no longer exists. (!)"}));
}

class RecordingDesktop : public DesktopServices {
public:
    bool OpenFile(const std::string& path) override { return opened.push_back(path), true; }
    bool OpenUrl(const QUrl& url) override { return opened.push_back(url.toString().toStdString()), true; }
    std::vector<std::string> opened;
};

TEST_F(FlashViewTest, WithoutRuffleTheCommandOffersToGetAPlayer) {
    // The program folder without its ruffle/.
    const std::string program = scratch.File("program/");
    QDir().mkpath(QString::fromStdString(program));
    EXPECT_EQ(FlashView::Create(nullptr, program), nullptr);

    RecordingDesktop desktop;
    SetDesktopForTesting(&desktop);
    std::vector<QString> asked;
    bool answer = false;
    SetMessageHookForTesting([&](const QString& text, MessageIcon icon) {
        EXPECT_EQ(icon, MessageIcon::Question);
        asked.push_back(text);
        return answer;
    });
    SourceFileEntry row;
    row.outputSwfPath = scratch.File("a.swf");
    PlaySwfCommand(nullptr, row, settings, 1, program);  // No
    row.htmlPath = scratch.File("a.htm");
    answer = true;
    PlaySwfCommand(nullptr, row, settings, 1, program);
    row.htmlPath.clear();
    PlaySwfCommand(nullptr, row, settings, 1, program);
    row.outputSwfPath.clear();
    PlaySwfCommand(nullptr, row, settings, 1, program);  // no SWF: nothing
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[0].toStdString(), kNoPlayerQuestion);
    EXPECT_EQ(desktop.opened, (std::vector<std::string>{scratch.File("a.htm"), kRuffleDownloadUrl}));
}

}  // namespace
}  // namespace tembrel::app
