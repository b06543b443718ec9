// Times the desktop window adding a folder, as Add Folder does once the
// folder is chosen (and as a folder named at start-up or dropped is added):
// the "Searching files..." window, the scan, then each file probed and
// listed with the progress window open. Run offscreen by
// bench/adding_files.sh; not part of the program or its tests.
//
//   adding_files_driver FOLDER [CANCEL_AFTER_SECONDS]
//
// Prints the rows listed, the seconds the add took (wall, and processor:
// user and system, every thread), and how many distinct progress texts a
// 50 ms sampler saw while it ran (the window kept updating). With
// CANCEL_AFTER_SECONDS, the progress window's Cancel is pressed that long
// into the add (once the window handles events), and the seconds from then
// until the add returned are printed too.
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "app/main_window/main_window.h"
#include "app/widgets/message_box.h"
#include "app/widgets/program_style.h"
#include "app/main_window/progress_window.h"
#include "app/main_window/sortable_list.h"
#include "audio/bass_audio_source.h"
#include "platform/memory_settings_store.h"

namespace {

double ProcessorSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fputs("usage: adding_files_driver FOLDER [CANCEL_AFTER_SECONDS]\n", stderr);
        return 2;
    }
    std::string folder = argv[1];
    if (folder.back() != '/') folder += '/';
    const double cancelAfter = argc == 3 ? std::atof(argv[2]) : -1.0;

    QApplication application(argc, argv);
    QApplication::setStyle(new tembrel::app::ProgramStyle);
    if (tembrel::InitAudioDecoding() != tembrel::AudioDecodingStart::Ready) {
        std::fputs("adding_files_driver: the decoders did not start\n", stderr);
        return 1;
    }
    // A closing message would wait for a click: it goes to standard error.
    tembrel::app::SetMessageHookForTesting([](const QString& text, tembrel::MessageIcon) {
        std::fprintf(stderr, "message: %s\n", text.toLocal8Bit().constData());
        return true;
    });
    // The stored settings are left alone, and no help opens on a first run.
    tembrel::MemorySettingsStore store;
    tembrel::app::MainDialog window(store, {});
    window.show();
    QApplication::processEvents();

    QElapsedTimer clock;
    std::set<QString> texts;
    qint64 cancelledAt = -1;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        auto* progress = window.findChild<tembrel::app::ProgressWindow*>();
        if (!progress) return;
        texts.insert(progress->Text());
        if (cancelAfter >= 0 && cancelledAt < 0 && clock.elapsed() >= cancelAfter * 1000) {
            cancelledAt = clock.elapsed();
            progress->CancelButton()->click();
        }
    });
    sampler.start(50);
    const double processorBefore = ProcessorSeconds();
    clock.start();
    window.AddPaths({folder});
    const qint64 took = clock.elapsed();
    const double processor = ProcessorSeconds() - processorBefore;
    sampler.stop();

    std::printf("rows %d\n", window.List()->topLevelItemCount());
    std::printf("seconds %.3f\n", took / 1000.0);
    std::printf("processor seconds %.3f\n", processor);
    std::printf("progress texts seen %zu\n", texts.size());
    // From the moment the user pressed it: the click waits for the window to
    // handle events, as a real one would.
    if (cancelledAt >= 0) std::printf("seconds after cancel %.3f\n", took / 1000.0 - cancelAfter);
    tembrel::ShutdownAudioDecoding();
    return 0;
}
