#include "platform/openmpt_music.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/os_file.h"

namespace tembrel::decoding {
namespace {

constexpr std::uint32_t kMinRate = 8000;
constexpr std::uint32_t kMaxRate = 192000;
// Modules are read whole into memory; anything larger is not one.
constexpr std::int64_t kMaxModuleBytes = std::int64_t{512} << 20;
constexpr std::size_t kFrameBytes = 4;  // stereo, 16 bits
// Linear interpolation, the usual default of tracker players.
constexpr int kInterpolationTaps = 2;

class OpenmptMusic final : public DecodingChannel {
public:
    OpenmptMusic(openmpt_module* module, std::uint32_t rate, std::uint64_t frames)
        : module_(module), rate_(rate), lengthBytes_(frames * kFrameBytes) {}
    ~OpenmptMusic() override { openmpt_module_destroy(module_); }

    bool IsMusic() const override { return true; }
    std::uint32_t Rate() const override { return rate_; }
    std::uint32_t Channels() const override { return 2; }
    std::uint64_t LengthBytes() const override { return lengthBytes_; }
    std::uint64_t FileBytes() const override { return ~std::uint64_t{0}; }

    std::int64_t Read(void* buffer, std::uint32_t bytes) override {
        std::size_t frames = bytes / kFrameBytes;
        // Rendering stops at the song's length, so that the data match the
        // length reported (libopenmpt would add a short tail after the end).
        if (lengthBytes_ > 0) {
            const std::uint64_t left = (lengthBytes_ - std::min(position_, lengthBytes_)) / kFrameBytes;
            if (left == 0) ended_ = true;
            frames = static_cast<std::size_t>(std::min<std::uint64_t>(frames, left));
        }
        if (ended_) return -1;
        if (frames == 0) return 0;
        std::size_t done = 0;
        auto* out = static_cast<std::int16_t*>(buffer);
        while (done < frames) {
            std::size_t n = openmpt_module_read_interleaved_stereo(
                module_, static_cast<std::int32_t>(rate_), frames - done, out + 2 * done);
            if (n == 0) {
                ended_ = true;
                break;
            }
            done += n;
        }
        if (done == 0) return -1;
        position_ += done * kFrameBytes;
        return static_cast<std::int64_t>(done * kFrameBytes);
    }

private:
    openmpt_module* module_;
    std::uint32_t rate_;
    std::uint64_t lengthBytes_;
    bool ended_ = false;
};

// False with *reason set when the file cannot be read; false with *reason
// empty when it is too small or too large to be a module.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>* bytes, std::string* reason) {
    OsFile file;
    if (!file.OpenForReading(path, reason)) return false;
    std::int64_t size = file.Size();
    if (size <= 0 || size > kMaxModuleBytes) return false;
    bytes->resize(static_cast<std::size_t>(size));
    if (file.Read(bytes->data(), bytes->size()) == size) return true;
    *reason = "cannot be read to the end";
    return false;
}

bool LooksLikeModule(const std::vector<std::uint8_t>& bytes) {
    const std::size_t probeSize = std::min(bytes.size(), openmpt_probe_file_header_get_recommended_size());
    int result = openmpt_probe_file_header(OPENMPT_PROBE_FILE_HEADER_FLAGS_DEFAULT, bytes.data(), probeSize,
                                           bytes.size(), openmpt_log_func_silent, nullptr,
                                           openmpt_error_func_ignore, nullptr, nullptr, nullptr);
    return result == OPENMPT_PROBE_FILE_HEADER_RESULT_SUCCESS;
}

std::unique_ptr<DecodingChannel> RenderedMusic(const std::vector<std::uint8_t>& bytes, std::uint32_t rate) {
    openmpt_module* module =
        openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr,
                                           openmpt_error_func_ignore, nullptr, nullptr, nullptr, nullptr);
    if (!module) return nullptr;
    // The 16-bit output is dithered by default, with noise seeded anew for
    // every module: the same song would give different samples on every run.
    if (!openmpt_module_ctl_set_integer(module, "dither", 0)) {
        openmpt_module_destroy(module);
        return nullptr;
    }
    openmpt_module_set_repeat_count(module, 0);
    openmpt_module_set_render_param(module, OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH, kInterpolationTaps);
    const double seconds = openmpt_module_get_duration_seconds(module);
    std::uint64_t frames = 0;
    if (std::isfinite(seconds) && seconds > 0) {
        // Bounded so that a broken duration cannot overflow the byte count.
        frames = static_cast<std::uint64_t>(std::llround(std::min(seconds, 1e9) * rate));
    }
    return std::make_unique<OpenmptMusic>(module, rate, frames);
}

}  // namespace

std::unique_ptr<DecodingChannel> OpenOpenmptMusic(const std::string& path, std::uint32_t rate,
                                                  std::string* reason) {
    std::string why;
    std::unique_ptr<DecodingChannel> music;
    if (rate < kMinRate || rate > kMaxRate) {
        why = "music rate " + std::to_string(rate) + " outside 8000..192000";
    } else {
        std::vector<std::uint8_t> bytes;
        if (ReadWholeFile(path, &bytes, &why) && LooksLikeModule(bytes)) {
            music = RenderedMusic(bytes, rate);
            if (!music) why = "module cannot be loaded";
        }
    }
    if (reason) *reason = music ? std::string() : why;
    return music;
}

}  // namespace tembrel::decoding
