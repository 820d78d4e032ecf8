#include "tessarine/StateFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/Platform.h"

namespace tess::tool {

void loadState(VstHost& host, std::vector<unsigned char>& bytes, const std::string& name, std::ostream& out) {
    if ((host.effect()->flags & vst::effFlagsProgramChunks) == 0)
        out << "Note: the plug-in does not declare that it keeps its state in chunks\n";
    host.dispatch(vst::effSetChunk, 0, static_cast<vst::VstIntPtr>(bytes.size()), bytes.empty() ? nullptr : bytes.data());
    out << "State loaded: " << name << " (" << bytes.size() << " bytes)\n";
}

bool saveStateFile(VstHost& host, const std::string& path, std::ostream& out, std::string& error) {
    void* data = nullptr;
    const vst::VstIntPtr size = host.dispatch(vst::effGetChunk, 0, 0, &data);
    if (size <= 0 || data == nullptr) {
        error = "the plug-in gave no state to save";
        return false;
    }
    std::FILE* file = platform::openFile(path, "wb");
    if (file == nullptr) {
        error = path + ": cannot open for writing (" + std::strerror(errno) + ")";
        return false;
    }
    const bool written = std::fwrite(data, 1, static_cast<std::size_t>(size), file) == static_cast<std::size_t>(size);
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        error = path + ": write error";
        return false;
    }
    out << "State saved: " << path << " (" << size << " bytes)\n";
    return true;
}

}  // namespace tess::tool
