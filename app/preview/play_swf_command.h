#pragma once
// The main window's "Play SWF": the row's movie in the Play SWF dialog, or,
// without a player, the offer to get one.
#include <cstdint>
#include <string>

#include <QString>

#include "audio/source_file_entry.h"
#include "engine/conversion_settings.h"
#include "platform/program_folder.h"

class QWidget;

namespace tembrel::app {

inline constexpr char kNoPlayerQuestion[] =
    "Ruffle hasn't been installed on your computer. The SWF file can't be played.\n\n"
    "Do you want to install Ruffle now? Be sure your computer is online.";

// A movie of the row that is gone since it was made is told by its name,
// before any player opens (Ruffle's own error names a web site, not the file).
QString MovieGoneMessage(const std::string& path);

// A shell pair plays as "<player address>?soundswf=<SWF file name as an escaped address>
// &autoplay=..&loops=..&duration=.."; any other row as its SWF's address
// (MovieAddressOfFile).
QString MovieAddress(const SourceFileEntry& row, const ConversionSettings& settings,
                     std::uint32_t lastDurationSeconds);

// Nothing for a row without a SWF; MovieGoneMessage for a SWF it needs
// that is no longer there.
void PlaySwfCommand(QWidget* parent, const SourceFileEntry& row, const ConversionSettings& settings,
                    std::uint32_t lastDurationSeconds, const std::string& programFolder = ProgramFolder());

}  // namespace tembrel::app
