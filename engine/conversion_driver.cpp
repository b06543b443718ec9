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

TemplateResult Usable() { return {true, {}, false}; }

// Adapts the template to the colours or the picture. A picture that cannot
// be embedded leaves the template as it was: the result says why.
TemplateResult AdaptTemplate(const ConversionSettings& settings, const ColourFactors& factors,
                             const std::string& templatePath, SwfTemplate& tmpl, PreparedMovie& movie) {
    TemplateResult result = Usable();
    const int kind = TemplateKindFromName(templatePath);
    if (kind == kTemplateKindTrack) {
        SetTrackColours(tmpl, settings.SWFBtnColor, settings.TrackSWFBkgTopColor, settings.TrackSWFBkgBottomColor,
                        settings.TrackSWFBorderColor, factors.TBC);
    } else if (kind == kTemplateKindPicture) {
        if (!settings.JPEGFile.empty() && settings.JPEGWidth > 0 && settings.JPEGHeight > 0) {
            // The stage takes the picture's size whether or not it could be
            // embedded, as the options promised that size.
            std::string problem;
            if (!EmbedPicture(tmpl, settings.JPEGFile, settings.JPEGWidth, settings.JPEGHeight, &problem)) {
                result.reason = "the picture \"" + settings.JPEGFile + "\" is not in the movie: " +
                                (problem.empty() ? "it cannot be embedded" : problem);
                result.outOfMemory = problem == kPictureOutOfMemory;
            }
            movie.width = settings.JPEGWidth;
            movie.height = settings.JPEGHeight;
        }
    } else {
        SetKindColours(tmpl, kind, settings.SWFBtnColor, factors.GC[0], factors.GC[2], factors.GC[3]);
    }
    return result;
}

// A template that cannot be used, told to ui and given as the rows' reason.
// One that cannot be loaded, missing or unreadable, gets the same message,
// as the fix is the same: reinstall; the rows' reason says which it is. One
// that loads but lacks what a player needs is an invalid template.
TemplateResult Unusable(const std::string& path, bool loaded, bool isThere, ConversionUi* ui) {
    if (ui && loaded) ui->ShowMessage(TemplateInvalidMessage(path), MessageIcon::Stop);
    else if (ui) ui->ShowMessage(TemplateMissingMessage(path), MessageIcon::Exclamation);
    return {false,
            "the template SWF file \"" + path + "\" " + (isThere ? "is not a valid template file" : "is not available"),
            false};
}

// Memory ran out on the template itself: the run cannot go on.
TemplateResult OutOfMemory(const std::string& path, ConversionUi* ui, RunTemplate& run) {
    run = RunTemplate{};
    if (ui) ui->ShowMessage(OutOfMemoryMessage(path), MessageIcon::Exclamation);
    return {false, kOutOfMemoryReason, true};
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

std::string OutOfMemoryMessage(const std::string& path) {
    return "Error: there is not enough memory to prepare the template SWF file \"" + path + "\".";
}

TemplateResult CheckTemplate(const ConversionSettings& settings, const BuilderChoice& choice, ConversionUi* ui,
                             RunTemplate& run) {
    run = RunTemplate{};
    const std::string& path = choice.templatePath;
    auto usable = [&] {
        run.checked = true;
        return Usable();
    };
    try {
        if (path.empty()) return usable();
        if (!run.tmpl.LoadTemplate(path)) return Unusable(path, false, IsRegularFileAt(path), ui);
        run.movie.version = run.tmpl.Version();
        run.movie.width = run.tmpl.Width();
        run.movie.height = run.tmpl.Height();
        if (!choice.usesActionBlocks) return usable();
        // The blocks are taken from the listed tags: a scan with no colours
        // set lists them and changes nothing.
        run.tmpl.ScanAndRecolour();
        PreparedMovie& movie = run.movie;
        bool valid = ExtractActionBlocks(run.tmpl, movie.startPlay, movie.startStop, movie.endLoop, movie.endStop);
        if (valid && IsTimingTemplatePath(path))
            valid = LocateFrameRatePatch(settings.SWFInitPlay != 0 ? movie.startPlay : movie.startStop);
        return valid ? usable() : Unusable(path, true, true, ui);
    } catch (const std::bad_alloc&) {
        // A template too large for the memory there is: the run ends with a
        // reason rather than taking the program down.
        return OutOfMemory(path, ui, run);
    }
}

TemplateResult PrepareTemplate(const ConversionSettings& settings, const BuilderChoice& choice, ConversionUi* ui,
                               RunTemplate& run) {
    return PrepareTemplate(settings, choice, ProcessColourFactors(), ui, run);
}

TemplateResult PrepareTemplate(const ConversionSettings& settings, const BuilderChoice& choice,
                               const ColourFactors& factors, ConversionUi* ui, RunTemplate& run) {
    if (!run.checked) {
        if (const TemplateResult checked = CheckTemplate(settings, choice, ui, run); !checked) return checked;
    }
    if (choice.templatePath.empty()) return Usable();
    try {
        TemplateResult result = Usable();
        if (settings.CreateCtrlSWF != 0)
            result = AdaptTemplate(settings, factors, choice.templatePath, run.tmpl, run.movie);
        run.tmpl.SetBackgroundColour(settings.SWFBkgColor);
        run.tmpl.ScanAndRecolour();
        return result;
    } catch (const std::bad_alloc&) {
        return OutOfMemory(choice.templatePath, ui, run);
    }
}

int ConvertFiles(const ConversionSettings& settings, const std::vector<SourceFileEntry*>& entries,
                 const std::vector<int>& rows, ConversionUi* ui, const ConversionSteps& steps) {
    return RunConversionJob(settings, entries, rows, ui, 1, steps);
}

}  // namespace tembrel
