#include "audio/source_extensions.h"

#include <algorithm>
#include <cctype>

#include "audio/source_type.h"
#include "platform/path_parts.h"

namespace tembrel {
namespace {

// Extensions longer than this are never a supported one.
constexpr std::size_t kMaxExtensionLength = 15;

std::string LowerCase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

}  // namespace

int SourceTypeCode(std::string_view path) {
    const std::string ext = LowerCase(ExtensionOf(path));
    if (ext == ".wav" || ext == ".wave") return kSourceTypeWav;
    if (ext == ".aiff" || ext == ".aif" || ext == ".aifc" || ext == ".afc") return kSourceTypeAiff;
    if (ext == ".au" || ext == ".snd") return kSourceTypeAu;
    return kSourceTypeOther;
}

bool IsSupportedExtension(std::string_view extension) {
    if (extension.empty() || extension.size() > kMaxExtensionLength) return false;
    const std::string lower = LowerCase(extension);
    return std::find(kSupportedExtensions.begin(), kSupportedExtensions.end(), lower) != kSupportedExtensions.end();
}

}  // namespace tembrel
