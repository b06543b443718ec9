#include "swf/sound_swf_builders.h"

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/os_file.h"
#include "swf/mp3_event_reader.h"
#include "swf/mp3_stream_reader.h"
#include "swf/swf_records.h"
#include "swf/swf_writer.h"

namespace tembrel {

namespace {

constexpr std::size_t kStreamBufferBytes = 102400;
constexpr std::size_t kEventBufferBytes = 10240;
constexpr std::uint32_t kMaxStreamFrames = 16000;
constexpr int kEventSoundVersion = 6;
constexpr std::uint16_t kLoopForever = 65535;
constexpr std::int64_t kMaxFrameCount = 65535;  // the header's frame count is 16 bits

// One build's failure: the first reason given is the one the user gets.
class Failure {
public:
    // Always false, to return at once.
    bool operator()(std::string reason) {
        if (reason_.empty()) reason_ = std::move(reason);
        return false;
    }
    BuildResult Result(bool built) const { return built ? BuildResult{true, {}} : BuildResult{false, reason_}; }

private:
    std::string reason_;
};

bool OpenMp3(bool opened, Failure& fail) { return opened || fail("the encoded MP3 cannot be read"); }

bool TooLarge(std::uint64_t bytes, Failure& fail) {
    return fail("the movie would take " + std::to_string(bytes) + " bytes or more; a SWF holds at most " +
                std::to_string(kMaxSwfFileBytes) + " (4 GiB)");
}

// The sound data alone, and the template's tags when they go in too: a
// movie is never smaller than that.
std::uint64_t LeastMovieBytes(const std::string& mp3Path, const SwfTemplate* tmpl) {
    const std::int64_t mp3 = FileSizeAt(mp3Path);
    std::uint64_t bytes = mp3 > 0 ? static_cast<std::uint64_t>(mp3) : 0;
    if (tmpl) bytes += tmpl->Size();
    return bytes;
}

// The SWF header holds the rate in one byte, and the stream's samples per
// frame are derived from it: anything else would play out of step.
bool UsableFrameRate(int rate) { return rate >= 1 && rate <= 255; }
bool UsableStageSide(std::int32_t pixels) { return pixels >= 0 && pixels <= 0x7FFFFFFF / 20; }

// A movie being written: remembers whether every write went through, and
// removes the file unless Finish succeeds, so that no partial output stays.
class OutputMovie {
public:
    OutputMovie(std::string path, Failure& fail) : path_(std::move(path)), fail_(fail) {}
    ~OutputMovie() {
        if (writer_.IsOpen()) Discard();
    }
    OutputMovie(const OutputMovie&) = delete;
    OutputMovie& operator=(const OutputMovie&) = delete;

    bool Open() { return writer_.Open(path_) || fail_("cannot create \"" + path_ + "\": " + std::strerror(errno)); }
    bool Start(unsigned version, std::int32_t width, std::int32_t height, int rate) {
        // Twenty twips per pixel must still fit the RECT's signed fields.
        if (!UsableStageSide(width) || !UsableStageSide(height)) {
            fail_("a stage of " + std::to_string(width) + " x " + std::to_string(height) +
                 " pixels does not fit a SWF");
            return Check(false);
        }
        writer_.SetMovie(version, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                         static_cast<unsigned>(rate));
        return Check(writer_.WriteHeader());
    }
    void Tag(unsigned code, const std::uint8_t* bytes, std::size_t count) {
        if (count != 0) Check(writer_.WriteTag(code, bytes, count));
    }
    void Actions(const ActionBlock& block) { Tag(kTagDoAction, block.data.data(), block.data.size()); }
    void Background(ColourRef colour) {
        Check(writer_.WriteBackgroundColour(RedOf(colour), GreenOf(colour), BlueOf(colour)));
    }
    // The count must never wrap: a movie of more frames cannot be written.
    void ShowFrames(std::int64_t count) {
        if (count > kMaxFrameCount - writer_.FrameCount()) {
            fail_("the movie needs more than " + std::to_string(kMaxFrameCount) + " frames, more than a SWF can hold");
            Check(false);
            return;
        }
        for (std::int64_t i = 0; i < count && ok_; ++i) Check(writer_.WriteShowFrame());
    }
    OsFile& File() { return writer_.OutputFile(); }
    bool Check(bool result) {
        if (!result && ok_) fail_("cannot write \"" + path_ + "\": " + std::strerror(errno ? errno : EIO));
        ok_ = ok_ && result;
        return result;
    }
    bool Ok() const { return ok_; }

    // Ends the movie; false (and no file) when any write fell short or the
    // movie grew beyond what a SWF header can state.
    bool Finish() {
        Check(writer_.WriteEnd());
        if (!ok_) {
            Discard();
            return false;
        }
        const std::int64_t size = writer_.OutputFile().Size();
        if (!writer_.Close()) {
            DeleteFileAt(path_);
            const auto bytes = static_cast<std::uint64_t>(std::max<std::int64_t>(size, 0));
            if (bytes > kMaxSwfFileBytes) return TooLarge(bytes, fail_);
            return fail_("cannot write \"" + path_ + "\": " + std::strerror(errno ? errno : EIO));
        }
        return true;
    }
    void Discard() {
        writer_.Close();
        DeleteFileAt(path_);
    }

private:
    std::string path_;
    Failure& fail_;
    SwfWriter writer_;
    bool ok_ = true;
};

// Refuses a movie of at least `bytes`, before anything is written, when
// that is more than a SWF header can state.
bool FitsInSwf(std::uint64_t bytes, Failure& fail) { return bytes <= kMaxSwfFileBytes || TooLarge(bytes, fail); }

// Runs one of the fixed-size tag encoders into buffer and writes the tag.
template <typename Encode>
bool WriteEncodedTag(OutputMovie& movie, unsigned code, std::vector<std::uint8_t>& buffer, Failure& fail,
                     Encode encode) {
    std::size_t capacity = buffer.size(), length = 0;
    if (!encode(buffer.data(), capacity, length)) return fail("the encoded MP3 has no usable frames") || movie.Check(false);
    movie.Tag(code, buffer.data(), length);
    return movie.Ok();
}

// One SoundStreamBlock and ShowFrame per SWF frame until the sound ends. The
// buffer grows by half again when a block does not fit.
bool WriteStreamBlocks(OutputMovie& movie, Mp3StreamReader& reader, std::vector<std::uint8_t>& buffer) {
    if (!reader.Rewind()) return false;
    while (movie.Ok()) {
        std::size_t capacity = buffer.size(), length = 0;
        if (!reader.NextBlock(buffer.data(), capacity, length)) return true;
        if (length == 0) {
            std::size_t needed = capacity;
            buffer.assign((needed + needed / 2) & ~std::size_t{3}, 0);
            capacity = buffer.size();
            if (!reader.NextBlock(buffer.data(), capacity, length) || length == 0) return false;
        }
        movie.Tag(kTagSoundStreamBlock, buffer.data(), length);
        movie.ShowFrames(1);
    }
    return false;
}

bool OpenStream(Mp3StreamReader& reader, const std::string& mp3Path, int rate, Failure& fail) {
    if (!OpenMp3(reader.Open(mp3Path), fail)) return false;
    reader.SetFrameRate(rate);
    return true;
}

}  // namespace

int EffectiveFrameRate(std::uint32_t durationSeconds, std::int32_t frameRate) {
    if (static_cast<std::int64_t>(durationSeconds) * frameRate > kMaxStreamFrames) {
        int rate = static_cast<int>(kMaxStreamFrames / durationSeconds);
        return rate < 1 ? 1 : rate;
    }
    return frameRate;
}

int EffectiveFrameRate(const SoundMovieRecipe& recipe) {
    return EffectiveFrameRate(recipe.durationSeconds, recipe.frameRate);
}

namespace {

bool CheckFrameRate(int rate, Failure& fail) {
    return UsableFrameRate(rate) || fail("frame rate " + std::to_string(rate) + " is outside 1..255");
}

bool StreamingSwf(const SoundMovieRecipe& recipe, const SoundMovieFiles& files, SwfTemplate& tmpl, Failure& fail) {
    const int rate = EffectiveFrameRate(recipe);
    if (!CheckFrameRate(rate, fail)) return false;
    if (!FitsInSwf(LeastMovieBytes(files.mp3Path, recipe.withControls ? &tmpl : nullptr), fail)) return false;
    Mp3StreamReader reader;
    if (!OpenStream(reader, files.mp3Path, rate, fail)) return false;
    OutputMovie movie(files.swfPath, fail);
    if (!movie.Open()) return false;
    if (!movie.Start(static_cast<unsigned>(recipe.version), recipe.width, recipe.height, rate)) return false;
    std::vector<std::uint8_t> buffer(kStreamBufferBytes);

    // Frame 1: background, stream head, start actions, the template's controls.
    movie.Background(recipe.background);
    if (!WriteEncodedTag(movie, kTagSoundStreamHead, buffer, fail, [&](std::uint8_t* b, std::size_t& c, std::size_t& l) {
            return reader.WriteStreamHead(b, c, l);
        }))
        return false;
    ActionBlock start = recipe.initPlay ? recipe.startPlay : recipe.startStop;
    start.PatchFrameRate(static_cast<std::uint32_t>(rate));
    movie.Actions(start);
    if (recipe.withControls) {
        // Everything of the template's first frame except its own background
        // and actions, which the movie already has.
        bool frameEnded = false;
        tmpl.ResetIteration();
        unsigned code = 0;
        std::uint32_t length = 0;
        while (const std::uint8_t* tag = tmpl.NextTag(code, length)) {
            if (code == kTagShowFrame) {
                frameEnded = true;
                break;
            }
            if (code == kTagSetBackgroundColor || code == kTagDoAction) continue;
            movie.Tag(code, tag, length);
        }
        if (!frameEnded) return fail("the template's first frame never ends");
    }
    movie.ShowFrames(1);
    movie.ShowFrames(recipe.blankFrames);

    if (!WriteStreamBlocks(movie, reader, buffer)) return movie.Ok() ? fail("the encoded MP3 cannot be read") : false;
    reader.Close();
    movie.Actions(recipe.loopPlay ? recipe.endLoop : recipe.endStop);
    movie.ShowFrames(1);
    return movie.Finish();
}

bool SoundOnlySwf(const SoundMovieRecipe& recipe, const std::string& swfPath, const std::string& mp3Path,
                  Failure& fail) {
    const int rate = EffectiveFrameRate(recipe);
    if (!CheckFrameRate(rate, fail)) return false;
    if (!FitsInSwf(LeastMovieBytes(mp3Path, nullptr), fail)) return false;
    Mp3StreamReader reader;
    if (!OpenStream(reader, mp3Path, rate, fail)) return false;
    OutputMovie movie(swfPath, fail);
    if (!movie.Open()) return false;
    if (!movie.Start(static_cast<unsigned>(recipe.version), 1, 1, rate)) return false;
    std::vector<std::uint8_t> buffer(kStreamBufferBytes);

    movie.Background(recipe.background);
    if (!WriteEncodedTag(movie, kTagSoundStreamHead, buffer, fail, [&](std::uint8_t* b, std::size_t& c, std::size_t& l) {
            return reader.WriteStreamHead(b, c, l);
        }))
        return false;
    movie.ShowFrames(1);
    movie.ShowFrames(recipe.blankFrames);
    if (!WriteStreamBlocks(movie, reader, buffer)) return movie.Ok() ? fail("the encoded MP3 cannot be read") : false;
    reader.Close();
    return movie.Finish();
}

bool ShellPlayerPair(const SoundMovieRecipe& recipe, const SoundMovieFiles& files, SwfTemplate& tmpl,
                     Failure& fail) {
    if (!SoundOnlySwf(recipe, files.swfPath, files.mp3Path, fail)) return false;
    if (tmpl.SaveTemplate(files.playerPath)) return true;
    DeleteFileAt(files.swfPath);
    return fail("cannot write the player \"" + files.playerPath + "\"");
}

bool EventSoundSwf(const SoundMovieRecipe& recipe, const SoundMovieFiles& files, Failure& fail) {
    const int rate = recipe.frameRate;
    if (!CheckFrameRate(rate, fail)) return false;
    Mp3EventReader reader;
    if (!OpenMp3(reader.Open(files.mp3Path), fail)) return false;
    // DefineSound states its length in 32 bits too.
    if (!FitsInSwf(static_cast<std::uint64_t>(std::max<std::int64_t>(reader.DataSize(), 0)) + 64, fail)) return false;
    OutputMovie movie(files.swfPath, fail);
    if (!movie.Open()) return false;
    if (!movie.Start(kEventSoundVersion, recipe.width, recipe.height, rate)) return false;
    std::vector<std::uint8_t> buffer(kEventBufferBytes);

    movie.Background(recipe.background);
    if (!WriteEncodedTag(movie, kTagSoundStreamHead2, buffer, fail, [&](std::uint8_t* b, std::size_t& c, std::size_t& l) {
            return reader.WriteEventHead(b, c, l);
        }))
        return false;
    if (!WriteEncodedTag(movie, kTagDefineSound, buffer, fail, [&](std::uint8_t* b, std::size_t& c, std::size_t& l) {
            return reader.WriteDefineSoundHead(recipe.encodedSampleCount, b, c, l);
        }))
        return false;
    // The tag's length already counts the whole file: a short copy would
    // leave a movie whose tags run into each other.
    if (reader.CopyData(movie.File()) != reader.DataSize()) return movie.Check(false);
    if (!recipe.initPlay) {
        movie.Actions(recipe.startStop);
        movie.ShowFrames(1);
    }
    const std::uint16_t loops = recipe.loopPlay ? kLoopForever : 1;
    if (!WriteEncodedTag(movie, kTagStartSound, buffer, fail, [&](std::uint8_t* b, std::size_t& c, std::size_t& l) {
            return reader.WriteStartSound(loops, b, c, l);
        }))
        return false;
    movie.ShowFrames(1);
    bool done = movie.Finish();
    reader.Close();
    return done;
}

}  // namespace

BuildResult BuildStreamingSwf(const SoundMovieRecipe& recipe, const SoundMovieFiles& files, SwfTemplate& tmpl) {
    Failure fail;
    return fail.Result(StreamingSwf(recipe, files, tmpl, fail));
}

BuildResult BuildSoundOnlySwf(const SoundMovieRecipe& recipe, const std::string& swfPath,
                              const std::string& mp3Path) {
    Failure fail;
    return fail.Result(SoundOnlySwf(recipe, swfPath, mp3Path, fail));
}

BuildResult BuildShellPlayerPair(const SoundMovieRecipe& recipe, const SoundMovieFiles& files, SwfTemplate& tmpl) {
    Failure fail;
    return fail.Result(ShellPlayerPair(recipe, files, tmpl, fail));
}

BuildResult BuildEventSoundSwf(const SoundMovieRecipe& recipe, const SoundMovieFiles& files, SwfTemplate& /*tmpl*/) {
    Failure fail;
    return fail.Result(EventSoundSwf(recipe, files, fail));
}

}  // namespace tembrel
