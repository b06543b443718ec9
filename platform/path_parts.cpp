#include "platform/path_parts.h"

namespace tembrel {

std::string FileNameOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string ExtensionOf(std::string_view path) {
    const std::string name = FileNameOf(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string StemOf(std::string_view path) {
    const std::string name = FileNameOf(path);
    return name.substr(0, name.size() - ExtensionOf(path).size());
}

std::string WithoutExtension(std::string_view path) {
    return std::string(path.substr(0, path.size() - ExtensionOf(path).size()));
}

}  // namespace tembrel
