#include <cerrno>
#include <cstdlib>

#include "platform/Platform.h"

namespace tess::platform {

std::string nativePath(std::string_view path) {
    std::string result(path);
    const char separator = pathSeparator();
    for (char& c : result)
        if (c == '/' || c == '\\') c = separator;
    return result;
}

std::FILE* openFile(const std::string& path, const char* mode) {
    if (directoryExists(path)) {
        errno = EISDIR;
        return nullptr;
    }
    return std::fopen(nativePath(path).c_str(), mode);
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

}  // namespace tess::platform
