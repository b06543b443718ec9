// How long the Options sheet's window stops answering while its preview is
// rebuilt for a large picture. The sheet is opened on the picture template
// with PICTURE; once its first preview plays, the Width arrow is clicked
// COUNT times, INTERVAL ms apart, while a 10 ms timer notes the longest gap
// between its ticks on the GUI thread. Prints that gap while opening and
// while clicking, the time until the preview plays the last width, the peak
// memory and the preview files left. Not part of the test suite: bench/options_preview.sh
// makes the picture and runs it.
//
//   bench_options_preview PROGRAM_FOLDER PICTURE [COUNT [INTERVAL_MS]]
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <QApplication>
#include <QElapsedTimer>
#include <QThreadPool>
#include <QTimer>

#include "app/preview/flash_view.h"
#include "app/options/options_sheet.h"
#include "app/options/page_swf_options.h"
#include "app/widgets/step_spin_button.h"
#include "engine/conversion_settings.h"

namespace {

namespace fs = std::filesystem;
using tembrel::app::CPageSWFOpt;
using tembrel::app::CSheetOptions;
using tembrel::app::StepSpinButton;

// The stage width in pixels of an uncompressed SWF (its frame's x extent,
// which the first eight bytes of the rectangle hold), or -1.
int StageWidth(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char b[16] = {};
    if (path.empty() || !in.read(reinterpret_cast<char*>(b), sizeof b) || b[0] != 'F') return -1;
    std::uint64_t bits = 0;
    for (int i = 8; i < 16; ++i) bits = (bits << 8) | b[i];
    const int n = static_cast<int>(bits >> (64 - 5));
    auto field = [&](int index) {
        const int shift = 64 - 5 - n * (index + 1);
        std::uint64_t v = (bits >> shift) & ((std::uint64_t{1} << n) - 1);
        if (v & (std::uint64_t{1} << (n - 1))) return static_cast<std::int64_t>(v) - (std::int64_t{1} << n);
        return static_cast<std::int64_t>(v);
    };
    return static_cast<int>((field(1) - field(0)) / 20);
}

int PreviewFiles(const std::string& folder) {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().rfind("TBRpreview-", 0) == 0) ++count;
    return count;
}

bool WaitUntil(const std::function<bool()>& done, int limitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s PROGRAM_FOLDER PICTURE [COUNT [INTERVAL_MS]]\n", argv[0]);
        return 2;
    }
    const std::string program = std::string(argv[1]) + "/";
    const std::string picture = argv[2];
    const int count = argc > 3 ? std::atoi(argv[3]) : 5;
    const int interval = argc > 4 ? std::atoi(argv[4]) : 250;
    const char* tmp = std::getenv("TMPDIR");
    const std::string temp = tmp && *tmp ? tmp : "/tmp";

    tembrel::app::PrepareWebEngine();
    QApplication app(argc, argv);
    tembrel::ConversionSettings settings(program);
    settings.CreateCtrlSWF = 1;
    settings.ButtonSWFType = tembrel::kPlayerSingle;
    settings.ControlSWF = program + "ControlSWF/use_a_jpeg_1.swf";
    settings.JPEGFile = picture;
    settings.JPEGWidth = 200;
    settings.JPEGHeight = 150;

    QElapsedTimer sinceTick, clock;
    qint64 longestGap = 0;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    auto stall = [&] { return std::max(longestGap, sinceTick.elapsed()); };

    clock.start();
    auto* sheet = new CSheetOptions(settings, CSheetOptions::kSwfPage, program);
    const qint64 constructMs = clock.elapsed();
    auto* page = static_cast<CPageSWFOpt*>(sheet->PageAt(CSheetOptions::kSwfPage));
    if (!page->Preview()) {
        std::fprintf(stderr, "no Flash view: is Ruffle in %s?\n", program.c_str());
        return 1;
    }
    // The stage width of the movie the view said it loaded last.
    int loadedWidth = -1;
    QObject::connect(page->Preview(), &tembrel::app::FlashView::MovieLoaded,
                     [&] { loadedWidth = StageWidth(page->PreviewPath()); });
    sinceTick.start();
    ticker.start();
    sheet->resize(700, 600);
    sheet->show();
    // The first movie shown before the clicks, so that each click asks for
    // a rebuild of its own.
    if (!WaitUntil([&] { return loadedWidth == 200; }, 300000)) {
        std::fprintf(stderr, "the first preview never came\n");
        return 1;
    }
    const qint64 openMs = clock.elapsed();
    const qint64 openStall = std::max(constructMs, stall());

    auto* width = page->findChild<StepSpinButton*>("jpegWidth");
    int clicked = 0;
    QTimer clicks;
    clicks.setInterval(interval);
    QObject::connect(&clicks, &QTimer::timeout, [&] {
        width->stepBy(1);
        if (++clicked == count) clicks.stop();
    });
    longestGap = 0;
    sinceTick.restart();
    clock.restart();
    clicks.start();
    const int last = 200 + count;
    const bool built = WaitUntil([&] { return clicked == count && StageWidth(page->PreviewPath()) == last; }, 600000);
    const qint64 builtMs = clock.elapsed();
    const bool shown = built && WaitUntil([&] { return loadedWidth == last; }, 120000);
    const qint64 shownMs = clock.elapsed();
    const qint64 clickStall = stall();
    ticker.stop();
    const int filesOpen = PreviewFiles(temp);

    delete sheet;
    QThreadPool::globalInstance()->waitForDone();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("picture: %.0f MB, %d clicks %d ms apart\n", static_cast<double>(fs::file_size(picture)) / 1e6,
                count, interval);
    std::printf("opening the sheet: %.2f s until the first preview played, longest GUI-thread stall %.2f s\n",
                static_cast<double>(openMs) / 1000.0, static_cast<double>(openStall) / 1000.0);
    std::printf("longest GUI-thread stall from the first click until the last width played: %.2f s\n",
                static_cast<double>(clickStall) / 1000.0);
    std::printf("first click to the last width built: %.2f s%s, played: %.2f s%s\n",
                static_cast<double>(builtMs) / 1000.0, built ? "" : " (never)",
                static_cast<double>(shownMs) / 1000.0, shown ? "" : " (never)");
    std::printf("peak memory: %.0f MB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    std::printf("preview files while open: %d, after closing: %d\n", filesOpen, PreviewFiles(temp));
    return shown ? 0 : 1;
}
