#include "engine/conversion_driver.h"

#include <strings.h>

#include <cstdio>

#include "engine/colour_factors.h"
#include "engine/conversion_file_steps.h"
#include "engine/job_ui_bridge.h"
#include "engine/template_action_blocks.h"
#include "platform/file_identity.h"
#include "platform/os_file.h"
#include "swf/picture_embed.h"
#include "swf/template_kinds.h"
#include "platform/path_parts.h"

namespace tembrel {
namespace {

void AdaptTemplate(const ConversionSettings& settings, const std::string& templatePath, SwfTemplate& tmpl,
                   PreparedMovie& movie) {
    const ColourFactors& factors = ProcessColourFactors();
    const int kind = TemplateKindFromName(templatePath);
    if (kind == kTemplateKindTrack) {
        SetTrackColours(tmpl, settings.SWFBtnColor, settings.TrackSWFBkgTopColor, settings.TrackSWFBkgBottomColor,
                        settings.TrackSWFBorderColor, factors.TBC);
    } else if (kind == kTemplateKindPicture) {
        if (!settings.JPEGFile.empty() && settings.JPEGWidth > 0 && settings.JPEGHeight > 0) {
            // The stage takes the picture's size whether or not it could be
            // embedded, as the options promised that size.
            EmbedPicture(tmpl, settings.JPEGFile, settings.JPEGWidth, settings.JPEGHeight);
            movie.width = settings.JPEGWidth;
            movie.height = settings.JPEGHeight;
        }
    } else {
        SetKindColours(tmpl, kind, settings.SWFBtnColor, factors.GC[0], factors.GC[2], factors.GC[3]);
    }
}

}  // namespace

BuilderChoice ChooseBuilder(const ConversionSettings& settings) {
    if (settings.CreateCtrlSWF != 0) {
        if (settings.ButtonSWFType == kPlayerSingle) return {BuildStreamingSwf, settings.ControlSWF, true};
        return {BuildShellPlayerPair, settings.ShellPlayerSWF, false};
    }
    if (settings.SWFSoundType == kSoundStreaming) return {BuildStreamingSwf, settings.EmptySwfPath, true};
    return {BuildEventSoundSwf, settings.EmptySwfPath, true};
}

std::string TemplateMissingMessage(const std::string& path) {
    return "Error: the template SWF file \"" + path +
           "\" is not available.\n\nPlease re-install the software and try again.";
}

std::string TemplateInvalidMessage(const std::string& path) {
    return "Error: the template SWF file \"" + path +
           "\" is not a valid template file.\n\nPlease re-install the software and try again.";
}

std::string OverallProgressText(int number, int count) {
    return "Converting " + std::to_string(number) + " of " + std::to_string(count) + " file(s) into SWF...";
}

std::string FileProgressText(const std::string& sourcePath, int percent) {
    return "Converting " + FileNameOf(sourcePath) + "..." + std::to_string(percent) + "%";
}

bool PrepareTemplate(const ConversionSettings& settings, const BuilderChoice& choice, SwfTemplate& tmpl,
                     ConversionUi* ui, PreparedMovie& movie) {
    movie = PreparedMovie{};
    if (choice.templatePath.empty()) return true;
    if (!tmpl.LoadTemplate(choice.templatePath)) {
        // A file that is there but cannot be used is no reason to reinstall
        // a missing one: say which of the two it is.
        if (ui && IsRegularFileAt(choice.templatePath))
            ui->ShowMessage(TemplateInvalidMessage(choice.templatePath), MessageIcon::Stop);
        else if (ui)
            ui->ShowMessage(TemplateMissingMessage(choice.templatePath), MessageIcon::Exclamation);
        return false;
    }
    movie.version = tmpl.Version();
    movie.width = tmpl.Width();
    movie.height = tmpl.Height();
    if (settings.CreateCtrlSWF != 0) AdaptTemplate(settings, choice.templatePath, tmpl, movie);
    tmpl.SetBackgroundColour(settings.SWFBkgColor);
    tmpl.ScanAndRecolour();

    if (!choice.usesActionBlocks) return true;
    bool valid = ExtractActionBlocks(tmpl, movie.startPlay, movie.startStop, movie.endLoop, movie.endStop);
    if (valid && IsTimingTemplatePath(choice.templatePath)) {
        ActionBlock& start = settings.SWFInitPlay != 0 ? movie.startPlay : movie.startStop;
        valid = LocateFrameRatePatch(start);
    }
    if (!valid) {
        if (ui) ui->ShowMessage(TemplateInvalidMessage(choice.templatePath), MessageIcon::Stop);
        return false;
    }
    return true;
}

int ConvertFiles(const ConversionSettings& settings, const std::vector<SourceFileEntry*>& entries,
                 const std::vector<int>& rows, ConversionUi* ui, const ConversionSteps& steps) {
    return RunConversionJob(settings, entries, rows, ui, 1, steps);
}

}  // namespace tembrel
