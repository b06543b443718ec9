#include "engine/path_parts.h"

namespace tembrel {

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExtensionOf(const std::string& path) {
    const std::string name = FileNameOf(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string StemOf(const std::string& path) {
    const std::string name = FileNameOf(path);
    return name.substr(0, name.size() - ExtensionOf(path).size());
}

std::string WithoutExtension(const std::string& path) {
    return path.substr(0, path.size() - ExtensionOf(path).size());
}

}  // namespace tembrel
