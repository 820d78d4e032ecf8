#include <cerrno>
#include <cstdlib>

#include <sys/stat.h>

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

std::FILE* openRegularFile(const std::string& path) {
    const std::string native = nativePath(path);
#if defined(_WIN32)
    struct _stat64 status {};  // the plain stat fails on files of 2 GB and more
    if (::_stat64(native.c_str(), &status) != 0) return nullptr;
#else
    struct stat status {};
    if (::stat(native.c_str(), &status) != 0) return nullptr;
#endif
    if (!S_ISREG(status.st_mode)) {
        errno = S_ISDIR(status.st_mode) ? EISDIR : ENODEV;
        return nullptr;
    }
    return std::fopen(native.c_str(), "rb");
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

}  // namespace tess::platform
