// Any bytes as an instrument file, with the files it names: the compiler must only log and
// drop lines, and INCLUDE and SAMPLE resolve inside the sandbox folder (the per-user folder).
//
// A line "@@ NAME" starts another file of the input, written beside the instrument file as
// NAME (letters, digits, '.', '-' and '_' only), so that one input can be an INCLUDE chain
// or a sample the instrument plays. The sandbox also holds samples/tone.wav (a short tone).
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSandbox.h"
#include "common/Log.h"
#include "compiler/InstrumentCompiler.h"
#include "samples/SampleBank.h"
#include "samples/SampleDirective.h"

namespace {

using namespace tess;

struct InputFile {
    std::string name;
    std::string_view text;
};

std::string safeName(std::string_view raw) {
    std::string name;
    for (char c : raw.substr(0, 32)) {
        const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          c == '.' || c == '-' || c == '_';
        if (kept) name += c;
    }
    if (name.empty() || name.front() == '.') name.insert(0, "f");
    return name;
}

constexpr std::size_t kMaxFiles = 16;
constexpr const char* kInstrumentFile = "input.txt";

std::vector<InputFile> splitInput(std::string_view input) {
    std::vector<InputFile> files;
    std::string name = kInstrumentFile;
    std::size_t start = 0;
    for (;;) {
        const std::size_t marker = files.size() + 1 < kMaxFiles ? input.find("\n@@ ", start) : std::string_view::npos;
        if (marker == std::string_view::npos) {
            files.push_back({name, input.substr(start)});
            return files;
        }
        files.push_back({name, input.substr(start, marker + 1 - start)});
        const std::size_t nameEnd = std::min(input.find('\n', marker + 4), input.size());
        name = safeName(input.substr(marker + 4, nameEnd - marker - 4));
        start = std::min(nameEnd + 1, input.size());
    }
}

struct Compiler {
    Log log;
    SampleBank bank;
    SampleContext context;
    compiler::InstrumentCompiler compiler{log, fuzz::sandbox().string()};
    Compiler() {
        context.instrumentFolder = fuzz::sandbox().string();
        context.userFolder = fuzz::sandbox().string();
        installSampleDirective(compiler, bank, context);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool prepared = [] {
        fuzz::copyExamples();
        fuzz::fs::create_directories(fuzz::sandbox() / "samples");
        fuzz::writeShortTone(fuzz::sandbox() / "samples/tone.wav");
        return true;
    }();
    (void)prepared;
    static auto state = std::make_unique<Compiler>();

    const std::vector<InputFile> files = splitInput({reinterpret_cast<const char*>(data), size});
    for (const InputFile& file : files)
        if (!fuzz::fs::is_directory(fuzz::sandbox() / file.name))
            fuzz::writeFile(fuzz::sandbox() / file.name, reinterpret_cast<const std::uint8_t*>(file.text.data()),
                        file.text.size());

    state->log.debugLevel = size > 0 ? data[0] % 4 : 0;
    state->compiler.compileFile(0, (fuzz::sandbox() / kInstrumentFile).string());

    // Everything the run compiled and loaded goes before the next run: memory a run keeps would
    // make libFuzzer look for a leak after every run.
    state->log.clear();
    state->compiler.reset();
    state->bank.reset();
    std::error_code ignored;
    // The instrument file is written over by the next run; a new file for every run would
    // cost more than most compiles.
    for (const InputFile& file : files)
        if (file.name != kInstrumentFile && !fuzz::fs::is_directory(fuzz::sandbox() / file.name))
            fuzz::fs::remove(fuzz::sandbox() / file.name, ignored);
    fuzz::fs::remove(state->compiler.lastFilePath(), ignored);
    return 0;
}
