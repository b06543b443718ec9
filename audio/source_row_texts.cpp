#include "audio/source_row_texts.h"

#include <cstdio>

#include "audio/source_extensions.h"
#include "platform/path_parts.h"

namespace tembrel {

std::string LengthText(std::int32_t durationSeconds) {
    // Unsigned as the list always showed it; a negative probe result cannot
    // come from a reader, so this only guards the arithmetic.
    const auto seconds = static_cast<std::uint32_t>(durationSeconds);
    char text[32];
    std::snprintf(text, sizeof text, "%02u:%02u", seconds / 60, seconds % 60);
    return text;
}

std::string ChannelsText(std::int32_t channels) {
    if (channels <= 1) return "Mono";
    if (channels == 2) return "Stereo";
    return std::to_string(channels);
}

SourceRowTexts RowTextsFor(const SourceFileEntry& entry) {
    return {FileNameOf(entry.sourcePath),
            LengthText(entry.durationSeconds),
            std::to_string(entry.bitrateKbps) + " kbps",
            std::to_string(entry.sampleRate) + " Hz",
            ChannelsText(entry.channels),
            std::string()};
}

void FailedFileList::Add(std::string_view path, std::string_view reason) {
    files_.push_back({std::string(path), std::string(reason)});
    ++count_;
    if (count_ <= kNamedFailures) {
        names_.append(path);
        names_ += '\n';
    } else if (count_ == kNamedFailures + 1) {
        names_ += "<more files>...\n";
    }
}

std::string FailedFileList::MessageText() const {
    return "Failed to load the following files.\n\n" + names_ + "\nTo get help, please contact " + kSupportContact + ".";
}

}  // namespace tembrel
