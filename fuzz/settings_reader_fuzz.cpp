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
    // A new name for every input: QSettings keeps parsed files by name and
    // would take a rewritten file of the same size and time for the old one.
    static unsigned long counter = 0;
    const std::string application = "Options" + std::to_string(counter++);
    tembrel::QtSettingsStore store("TembrelFuzz", application);
    const std::string path = store.Location();
    {
        tembrel::OsFile file;
        if (!file.CreateForWriting(path) || !file.Write(data, size)) std::abort();
    }
    tembrel::ConversionSettings settings("/nonexistent-program-folder");
    tembrel::ColourFactors factors;
    tembrel::LoadSettings(store, settings, factors, "/nonexistent-program-folder");
    store.Close();
    ::unlink(path.c_str());
    return 0;
}
