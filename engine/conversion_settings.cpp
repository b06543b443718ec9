#include "engine/conversion_settings.h"

#include "platform/program_folder.h"

namespace tembrel {

ConversionSettings::ConversionSettings(const std::string& programFolder)
    : ControlSWF(programFolder + kDefaultControlSwf),
      EmptySwfPath(programFolder + kEmptySwfName),
      PageTemplatePath(programFolder + kPageTemplateName),
      PageRufflePath(programFolder + kPageRuffleFolderName),
      ShellPlayerSWF(programFolder + kDefaultShellPlayerSwf),
      JPEGFile(programFolder + kSamplePictureName) {}

ConversionSettings::ConversionSettings() : ConversionSettings(ProgramFolder()) {}

}  // namespace tembrel
