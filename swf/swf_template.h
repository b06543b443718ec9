#pragma once
// A control SWF template held in memory: loaded and checked from a file,
// its top-level tags listed, recoloured in place through its colour map,
// and handed to the builders tag by tag or saved whole.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "swf/colour_map.h"
#include "swf/colour_ref.h"
#include "swf/swf_records.h"

namespace tembrel {

struct TagEntry {
    std::uint16_t code = 0;
    std::uint32_t offset = 0;  // first header byte in the template's data
    std::uint32_t length = 0;  // whole tag, header included
};

class SwfTemplate {
public:
    // Reads an uncompressed SWF of more than 20 bytes (up to its length
    // field). Any previous content is discarded first; the colour map stays.
    bool LoadTemplate(const std::string& path);
    // The same checks on a movie already in memory.
    bool LoadTemplateBytes(ByteBuffer bytes);

    // Colour written into SetBackgroundColor tags by the next scan (only
    // when the colour map holds at least one pair). 0xFFFFFF after a load.
    void SetBackgroundColour(ColourRef colour) { backgroundColour_ = colour; }
    ColourRef BackgroundColour() const { return backgroundColour_; }

    // Rebuilds the tag list from the first tag and applies the colour map
    // and background colour in place. Stops quietly at the first tag that
    // does not fit in the data; always true.
    bool ScanAndRecolour();

    // Iteration over the tag list that the last scan built.
    void ResetIteration() { iteration_ = 0; }
    // The next tag's first byte (header included), or null at the end.
    const std::uint8_t* NextTag(unsigned& code, std::uint32_t& length);

    // Creates or replaces the file with the template's data. False when
    // nothing is loaded, the file cannot be created or the write falls short
    // (a partial file is removed).
    bool SaveTemplate(const std::string& path) const;

    bool IsLoaded() const { return !data_.empty(); }
    int Width() const { return width_; }    // pixels
    int Height() const { return height_; }  // pixels
    int FrameRate() const { return frameRate_; }  // integer part
    int FrameCount() const { return frameCount_; }
    std::uint16_t Version() const { return version_; }
    const ByteBuffer& Data() const { return data_; }
    std::uint32_t Size() const { return static_cast<std::uint32_t>(data_.size()); }
    std::uint32_t FirstTag() const { return firstTag_; }
    const std::vector<TagEntry>& Tags() const { return tags_; }
    ColourMap& Colours() { return colours_; }
    const ColourMap& Colours() const { return colours_; }
    int PictureWidth() const { return pictureWidth_; }    // twips
    int PictureHeight() const { return pictureHeight_; }  // twips

private:
    friend bool EmbedPicture(SwfTemplate& tmpl, const std::string& jpegPath, int width, int height,
                             std::string* problem);

    void Reset();
    void RecolourTag(unsigned code, std::size_t bodyStart, std::size_t bodyEnd, int spriteDepth);
    void RecolourShape(std::size_t bodyStart, std::size_t bodyEnd, bool rgba);
    void RecolourText(std::size_t bodyStart, std::size_t bodyEnd);
    void RecolourEditText(std::size_t bodyStart, std::size_t bodyEnd);
    void RecolourSprite(std::size_t bodyStart, std::size_t bodyEnd, int spriteDepth);

    int width_ = 0;
    int height_ = 0;
    int frameRate_ = 0;
    int frameCount_ = 0;
    std::uint16_t version_ = 0;
    ByteBuffer data_;
    std::uint32_t firstTag_ = 0;
    std::vector<TagEntry> tags_;
    std::size_t iteration_ = 0;
    ColourMap colours_;
    ColourRef backgroundColour_ = 0xFFFFFF;
    int pictureWidth_ = 0;
    int pictureHeight_ = 0;
};

}  // namespace tembrel
