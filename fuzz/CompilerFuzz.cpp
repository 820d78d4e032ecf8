// Any bytes as an instrument file: the compiler must only log and drop lines.
#include <cstdint>
#include <cstdio>
#include <string>

#include "common/Log.h"
#include "compiler/InstrumentCompiler.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string folder = [] {
        char pattern[] = "/tmp/tessarine-fuzz-XXXXXX";
        return std::string(mkdtemp(pattern));
    }();
    const std::string path = folder + "/input.txt";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    static tess::Log log;
    static tess::compiler::InstrumentCompiler compiler(log, folder);
    log.clear();
    log.debugLevel = size > 0 ? data[0] % 4 : 0;
    compiler.reset();
    compiler.compileFile(0, path);
    return 0;
}
