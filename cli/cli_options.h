#pragma once
// Command-line options of tembrel-convert: the inputs, what to do, and the
// settings this run overrides.
#include <string>
#include <vector>

#include "engine/conversion_settings.h"

namespace tembrel::cli {

struct CliOptions {
    std::vector<std::string> inputs;  // files and folders, in order
    bool probe = false;               // print list rows, convert nothing
    bool listFiles = false;           // print the files the inputs stand for, convert nothing
    bool json = false;                // one JSON object per file
    bool help = false;
    bool version = false;
    bool browse = false;              // open the file manager afterwards
    int jobs = 0;                     // files converted at once; 0: one per processor
    std::string filesFrom;            // a list of sources ("-": standard input); empty: none
    bool nullSeparated = false;       // the list's names end in NUL, not newline
    int shardIndex = 0, shardCount = 0;  // convert only part shardIndex of shardCount; 0: all
    // Overrides, applied in the order given on the command line.
    std::vector<std::pair<std::string, std::string>> overrides;
};

// Parses argv (program name first). On bad usage returns false with a
// message in *error.
bool ParseCommandLine(int argc, const char* const* argv, CliOptions& options, std::string* error);

// Applies the options' overrides to settings; false with a message in
// *error when a value does not fit its option.
bool ApplyOverrides(const CliOptions& options, ConversionSettings& settings, std::string* error);

std::string UsageText();

}  // namespace tembrel::cli
