// Writes seed inputs for two fuzz targets into the folder given as the argument:
// SoundFontFuzz/ gets small banks of the kinds the import tests build (mono, linked stereo,
// 24-bit, several zones with key ranges, modulators, global zones), ChunkFuzz/ the saved state
// of every example as a host would store it (paths relative to the sandbox the target runs in).
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "FuzzPlugin.h"
#include "sf2import/BankBuilder.h"

namespace {

namespace fs = std::filesystem;
using namespace tess::test;

void writeBytes(const fs::path& path, const void* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::fwrite(data, 1, size, file);
    std::fclose(file);
}

std::vector<std::pair<std::string, SfBank>> banks() {
    std::vector<std::pair<std::string, SfBank>> made;
    made.emplace_back("mono", simpleBank());

    SfBank deep = simpleBank(400);
    deep.with24Bit = true;
    made.emplace_back("24bit", deep);

    SfBank stereo = simpleBank();
    SfSample right = stereo.samples[0];
    right.name = "SineR";
    stereo.samples[0].type = 4;  // left
    stereo.samples[0].link = 1;
    right.type = 2;  // right
    right.link = 0;
    stereo.samples.push_back(right);
    stereo.instruments[0].zones = {SfZone{{{17, word(-500)}, {53, 0}}, {}}, SfZone{{{17, 500}, {53, 1}}, {}}};
    made.emplace_back("stereo", stereo);

    SfBank zones = simpleBank();
    SfSample low = zones.samples[0];
    low.name = "Low";
    low.pitch = 48;
    zones.samples.push_back(low);
    zones.instruments[0].zones = {
        SfZone{{{8, 3000}, {34, word(-1200)}}, {}},  // a global zone: filter and attack
        SfZone{{{43, rangeAmount(0, 59)}, {44, rangeAmount(0, 90)}, {54, 1}, {53, 1}},
               {SfModulator{0x0502, 48, 960, 0, 0}}},
        SfZone{{{43, rangeAmount(60, 127)}, {51, word(-3)}, {52, 40}, {53, 0}}, {}}};
    zones.presets.push_back({"Second", {SfZone{{{43, rangeAmount(30, 90)}, {41, 0}}, {}}}, 1, 0});
    made.emplace_back("zones", zones);
    return made;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: FuzzSeeds FOLDER\n");
        return 2;
    }
    const fs::path out = fs::absolute(argv[1]);
    fs::create_directories(out / "SoundFontFuzz");
    fs::create_directories(out / "ChunkFuzz");
    for (const auto& [name, bank] : banks()) {
        const std::string bytes = layout(bank.tree());
        writeBytes(out / "SoundFontFuzz" / (name + ".sf2"), bytes.data(), bytes.size());
    }

    // The plug-in loads the examples from the sandbox, where the fuzz target finds them too.
    tess::Tessarine* plugin = tess::fuzz::makePlugin();
    for (const auto& entry : fs::directory_iterator(tess::fuzz::sandbox() / "examples")) {
        if (entry.path().extension() != ".txt") continue;
        const std::string relative = "examples/" + entry.path().filename().string();
        plugin->selectInstrument(relative);
        for (int i = 0; i < 3; ++i) plugin->setParameter(i, 0.25f * static_cast<float>(i + 1));
        void* data = nullptr;
        const auto size = plugin->getChunk(&data, false);
        writeBytes(out / "ChunkFuzz" / (entry.path().stem().string() + ".chunk"), data, static_cast<std::size_t>(size));
    }
    delete plugin;
    return 0;
}
