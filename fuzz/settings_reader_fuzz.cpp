// The options file as a person may have edited it: read through the Qt
// store the program uses and loaded over the defaults with every check.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/colour_factors.h"
#include "engine/conversion_settings.h"
#include "engine/settings_persistence.h"
#include "platform/os_file.h"
#include "platform/qt_settings_store.h"

namespace {

std::string g_configFolder;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char folder[] = "/tmp/tembrel-settings-fuzz-XXXXXX";
    if (!::mkdtemp(folder)) return 1;
    g_configFolder = folder;
    ::setenv("XDG_CONFIG_HOME", folder, 1);
    ::mkdir((g_configFolder + "/TembrelFuzz").c_str(), 0700);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tembrel::QtSettingsStore store("TembrelFuzz", "Options");
    const std::string path = store.Location();
    {
        tembrel::OsFile file;
        if (!file.CreateForWriting(path) || !file.Write(data, size)) std::abort();
        // QSettings keeps a parsed file and reads it again only when its
        // size or time changed: every input gets a time of its own.
        static std::int64_t seconds = 1000000000;
        const timespec times[2] = {{seconds, 0}, {seconds, 0}};
        ++seconds;
        if (::futimens(file.Descriptor(), times) != 0) std::abort();
    }
    tembrel::ConversionSettings settings("/nonexistent-program-folder");
    tembrel::ColourFactors factors;
    tembrel::LoadSettings(store, settings, factors, "/nonexistent-program-folder");
    store.Close();
    return 0;
}
