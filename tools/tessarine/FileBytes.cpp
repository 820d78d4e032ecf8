#include "tessarine/FileBytes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/Platform.h"

namespace tess::tool {

bool readFileBytes(const std::string& path, std::vector<unsigned char>& bytes, std::string& error) {
    bytes.clear();
    if (platform::directoryExists(path)) {
        error = path + ": is a folder, not a file";
        return false;
    }
    std::FILE* file = platform::openFile(path, "rb");
    if (file == nullptr) {
        error = path + ": cannot open (" + std::strerror(errno) + ")";
        return false;
    }
    unsigned char buffer[65536];
    bool ok = true;
    for (;;) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, file);
        if (n == 0) break;
        if (bytes.size() + n > kMaxInputFileBytes) {
            error = path + ": larger than " + std::to_string(kMaxInputFileBytes >> 20) + " MiB";
            ok = false;
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    if (ok && std::ferror(file)) {
        error = path + ": read error";
        ok = false;
    }
    std::fclose(file);
    return ok;
}

}  // namespace tess::tool
