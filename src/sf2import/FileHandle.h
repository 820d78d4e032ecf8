// A stdio file that closes itself.
#pragma once

#include <cstdio>
#include <memory>

namespace tess::sf2 {

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f != nullptr) std::fclose(f);
    }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace tess::sf2
