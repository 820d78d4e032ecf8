// Any bytes as a SoundFont 2 bank: the reader must refuse or read, and a bank that reads is
// converted into a temporary output folder, writing nothing outside it.
//
// Banks up to kConvertLimit bytes are imported whole; larger ones (mutations of a full General
// MIDI bank) are only read and validated, so that one run stays short.
#include <cstdint>
#include <string>

#include "FuzzSandbox.h"
#include "sf2import/SoundFontImport.h"
#include "sf2import/SoundFontReader.h"

namespace {

constexpr std::size_t kConvertLimit = 256 * 1024;

// Everything in the sandbox but the bank and the output folder is a file the import wrote where
// it must not.
void checkNothingOutside(const tess::fuzz::fs::path& sandbox) {
    for (const auto& entry : tess::fuzz::fs::directory_iterator(sandbox)) {
        const std::string name = entry.path().filename().string();
        if (name != "bank.sf2" && name != "out")
            tess::fuzz::fail("the import wrote " + entry.path().string() + " outside its output folder");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace fs = tess::fuzz::fs;
    const fs::path& sandbox = tess::fuzz::sandbox();
    const std::string bankPath = (sandbox / "bank.sf2").string();
    tess::fuzz::writeFile(bankPath, data, size);
    const auto quiet = [](std::string_view) {};

    if (size > kConvertLimit) {
        tess::sf2::Bank bank;
        tess::sf2::readBank(bankPath, bank, tess::sf2::ImportLog(quiet));
        return 0;
    }
    tess::sf2::ImportRequest request;
    request.bankPath = bankPath;
    request.outputFolder = (sandbox / "out").string();
    request.debugLevel = size > 0 ? data[size - 1] % 3 : 0;
    tess::sf2::importSoundFont(request, quiet);
    checkNothingOutside(sandbox);
    std::error_code ignored;
    fs::remove_all(sandbox / "out", ignored);
    return 0;
}
