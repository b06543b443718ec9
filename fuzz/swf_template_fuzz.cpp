// SwfTemplate: a player template file loaded, recoloured in place, searched
// for its action blocks, given a picture, and walked tag by tag, as
// preparing a player movie does it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "engine/template_action_blocks.h"
#include "fuzz/fuzz_input_file.h"
#include "swf/picture_embed.h"
#include "swf/swf_template.h"
#include "swf/template_kinds.h"

namespace {

// The start of a JPEG: embedding copies the picture's bytes as they are.
constexpr std::uint8_t kPicture[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0xFF, 0xD9};

// Every tag the last scan listed lies inside the data.
void WalkTags(tembrel::SwfTemplate& tmpl) {
    tmpl.ResetIteration();
    unsigned code = 0;
    std::uint32_t length = 0;
    const std::uint8_t* begin = tmpl.Data().data();
    const std::uint8_t* end = begin + tmpl.Data().size();
    while (const std::uint8_t* tag = tmpl.NextTag(code, length)) {
        if (tag < begin || length > static_cast<std::size_t>(end - tag)) std::abort();
        volatile std::uint8_t last = length ? tag[length - 1] : 0;
        (void)last;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tembrel::fuzz::InputFile input("template");
    static tembrel::fuzz::InputFile picture("picture");
    static const std::string& picturePath = picture.Fill(kPicture, sizeof kPicture);
    const std::string& path = input.Fill(data, size);

    tembrel::SwfTemplate tmpl;
    if (!tmpl.LoadTemplate(path)) return 0;
    // The colour maps of a gradient design and of the track bar: between
    // them they have keys in shapes, texts and edit texts.
    if (size % 2)
        tembrel::SetTrackColours(tmpl, 0x3366CC, 0xEEEEEE, 0x999999, 0x000000, 1.5f);
    else
        tembrel::SetKindColours(tmpl, tembrel::kTemplateKindCircleGradient, 0x3366CC);
    tmpl.SetBackgroundColour(0x123456);
    tmpl.ScanAndRecolour();
    WalkTags(tmpl);

    tembrel::ActionBlock startPlay, startStop, endLoop, endStop;
    if (tembrel::ExtractActionBlocks(tmpl, startPlay, startStop, endLoop, endStop)) {
        for (tembrel::ActionBlock* block : {&startPlay, &startStop}) {
            if (tembrel::LocateFrameRatePatch(*block)) block->PatchFrameRate(12);
        }
    }

    // The picture design, at a size that depends on the input.
    tembrel::SwfTemplate pictureTemplate;
    if (!pictureTemplate.LoadTemplate(path)) std::abort();  // the same bytes loaded once already
    const int width = 1 + static_cast<int>(size % tembrel::kMaxPicturePixels);
    const int height = 1 + static_cast<int>((size / 7) % tembrel::kMaxPicturePixels);
    tembrel::EmbedPicture(pictureTemplate, picturePath, width, height);
    pictureTemplate.ScanAndRecolour();
    WalkTags(pictureTemplate);
    return 0;
}
