#include "engine/conversion_driver.h"

#include <strings.h>

#include <cstdio>
#include <new>

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

// Adapts the template to the colours or the picture; *note says what is
// wrong with a picture that could not be embedded.
void AdaptTemplate(const ConversionSettings& settings, const ColourFactors& factors, const std::string& templatePath,
                   SwfTemplate& tmpl, PreparedMovie& movie, std::string* note) {
    const int kind = TemplateKindFromName(templatePath);
    if (kind == kTemplateKindTrack) {
        SetTrackColours(tmpl, settings.SWFBtnColor, settings.TrackSWFBkgTopColor, settings.TrackSWFBkgBottomColor,
                        settings.TrackSWFBorderColor, factors.TBC);
    } else if (kind == kTemplateKindPicture) {
        if (!settings.JPEGFile.empty() && settings.JPEGWidth > 0 && settings.JPEGHeight > 0) {
            // The stage takes the picture's size whether or not it could be
            // embedded, as the options promised that size.
            std::string problem;
            if (!EmbedPicture(tmpl, settings.JPEGFile, settings.JPEGWidth, settings.JPEGHeight, &problem))
                *note = "the picture \"" + settings.JPEGFile + "\" is not in the movie: " +
                        (problem.empty() ? "it cannot be embedded" : problem);
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

namespace {

bool PrepareTemplateOrThrow(const ConversionSettings& settings, const BuilderChoice& choice,
                            const ColourFactors& factors, SwfTemplate& tmpl, ConversionUi* ui, PreparedMovie& movie,
                            std::string& reason) {
    movie = PreparedMovie{};
    if (choice.templatePath.empty()) return true;
    if (!tmpl.LoadTemplate(choice.templatePath)) {
        // The reason says whether the file is missing or unreadable; the
        // message is the same for both, as the fix is: reinstall.
        reason = UnusableTemplateReason(choice);
        if (ui) ui->ShowMessage(TemplateMissingMessage(choice.templatePath), MessageIcon::Exclamation);
        return false;
    }
    movie.version = tmpl.Version();
    movie.width = tmpl.Width();
    movie.height = tmpl.Height();
    if (settings.CreateCtrlSWF != 0) AdaptTemplate(settings, factors, choice.templatePath, tmpl, movie, &reason);
    tmpl.SetBackgroundColour(settings.SWFBkgColor);
    tmpl.ScanAndRecolour();

    if (!choice.usesActionBlocks) return true;
    bool valid = ExtractActionBlocks(tmpl, movie.startPlay, movie.startStop, movie.endLoop, movie.endStop);
    if (valid && IsTimingTemplatePath(choice.templatePath)) {
        ActionBlock& start = settings.SWFInitPlay != 0 ? movie.startPlay : movie.startStop;
        valid = LocateFrameRatePatch(start);
    }
    if (!valid) {
        reason = UnusableTemplateReason(choice);
        if (ui) ui->ShowMessage(TemplateInvalidMessage(choice.templatePath), MessageIcon::Stop);
        return false;
    }
    return true;
}

}  // namespace

std::string OutOfMemoryMessage(const std::string& path) {
    return "Error: there is not enough memory to prepare the template SWF file \"" + path + "\".";
}

bool PrepareTemplate(const ConversionSettings& settings, const BuilderChoice& choice, SwfTemplate& tmpl,
                     ConversionUi* ui, PreparedMovie& movie, std::string* reason) {
    return PrepareTemplate(settings, choice, ProcessColourFactors(), tmpl, ui, movie, reason);
}

bool PrepareTemplate(const ConversionSettings& settings, const BuilderChoice& choice, const ColourFactors& factors,
                     SwfTemplate& tmpl, ConversionUi* ui, PreparedMovie& movie, std::string* reason) {
    std::string why;
    bool ready = false;
    try {
        ready = PrepareTemplateOrThrow(settings, choice, factors, tmpl, ui, movie, why);
    } catch (const std::bad_alloc&) {
        // A picture or template too large for the memory there is: the run
        // ends with a reason rather than taking the program down.
        tmpl = SwfTemplate();
        movie = PreparedMovie{};
        why = kOutOfMemoryReason;
        if (ui) ui->ShowMessage(OutOfMemoryMessage(choice.templatePath), MessageIcon::Exclamation);
    }
    if (reason) *reason = why;
    return ready;
}

int ConvertFiles(const ConversionSettings& settings, const std::vector<SourceFileEntry*>& entries,
                 const std::vector<int>& rows, ConversionUi* ui, const ConversionSteps& steps) {
    return RunConversionJob(settings, entries, rows, ui, 1, steps);
}

}  // namespace tembrel
