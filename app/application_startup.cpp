#include "app/application_startup.h"

#include <filesystem>
#include <system_error>

#include <QApplication>
#include <QTimer>

#include "app/close_on_signal.h"
#include "app/widgets/message_box.h"
#include "audio/bass_audio_source.h"
#include "engine/settings_persistence.h"
#include "platform/qt_settings_store.h"

namespace tembrel::app {

namespace {

constexpr char kFirstRun[] = "FirstRun";

class AudioDecodingSession {
public:
    AudioDecodingSession() = default;
    ~AudioDecodingSession() { ShutdownAudioDecoding(); }
    AudioDecodingSession(const AudioDecodingSession&) = delete;
    AudioDecodingSession& operator=(const AudioDecodingSession&) = delete;
};

}  // namespace

bool TakeFirstRun(SettingsStore& store) {
    if (!store.OpenForWriting()) return true;
    std::int64_t firstRun = 1;
    if (const std::optional<StoredValue> stored = store.Get(kFirstRun)) firstRun = StoredNumber(*stored, false).value_or(1);  // unreadable: a first run
    if (firstRun != 0) store.Set(kFirstRun, StoredValue::Dword(0));
    store.Close();
    return firstRun != 0;
}

std::vector<std::string> StartupItems(const std::vector<std::string>& arguments) {
    std::vector<std::string> items;
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    for (const std::string& argument : arguments) {
        if (argument.empty()) continue;
        // Lexically, as a shell's names are: "..", "." and doubled slashes go.
        std::string item = (current / argument).lexically_normal().string();
        while (item.size() > 1 && item.back() == '/') item.pop_back();
        items.push_back(std::move(item));
    }
    return items;
}

int RunApplication(const std::vector<std::string>& items, MainWindowHooks hooks) {
    // The random generator needs no seed: unique names come from the
    // temporary-file functions.
    switch (InitAudioDecoding()) {
        case AudioDecodingStart::Ready: break;
        case AudioDecodingStart::WrongVersion: return 1;
        case AudioDecodingStart::InitFailed:
            ShowMessage(nullptr, kAudioDecodingInitFailedMessage, MessageIcon::Stop);
            return 1;
    }
    const AudioDecodingSession session;
    // ActiveX hosting, 3-D controls, COM, common controls and OLE have no
    // counterpart here: Qt and its web engine set themselves up.
    QtSettingsStore store;
    MainDialog window(store, std::move(hooks));
    const CloseOnSignal closeOnSignal([&window] { window.CloseWithItsDialogs(); });
    window.show();
    if (!items.empty()) QTimer::singleShot(0, &window, [&window, items] { window.AddPaths(items); });
    return QApplication::exec();
}

}  // namespace tembrel::app
