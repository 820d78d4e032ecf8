// Nothing a user made is lost or changed by the plug-in: a saved state comes back byte for
// byte, a load reads the instrument's files without touching them, and a request to load a
// file that cannot be read is answered as a failure.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "plugin/CreateInstance.h"
#include "plugin/Tessarine.h"
#include "support/TestSupport.h"

namespace tess {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

vst::VstIntPtr quietHost(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32, vst::VstIntPtr, void*, float) {
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

Bytes saved(Tessarine& plugin) {
    void* data = nullptr;
    const vst::VstInt32 size = plugin.getChunk(&data, false);
    const auto* bytes = static_cast<const unsigned char*>(data);
    return Bytes(bytes, bytes + size);
}

// Every file under `folder` with its bytes.
std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) files[entry.path().string()] = test::readFile(entry.path().string());
    return files;
}

// A low key (a keyswitch in some examples) and a chord, then `frames` frames.
void play(Tessarine& plugin, int frames) {
    std::vector<vst::VstEvent> notes;
    for (int key : {24, 60, 64, 67}) {
        vst::VstEvent event{};
        event.type = vst::kVstMidiType;
        event.byteSize = sizeof(vst::VstMidiEvent);
        auto* midi = reinterpret_cast<vst::VstMidiEvent*>(&event);
        midi->midiData[0] = static_cast<char>(0x90);
        midi->midiData[1] = static_cast<char>(key);
        midi->midiData[2] = 100;
        notes.push_back(event);
    }
    std::vector<unsigned char> list(sizeof(vst::VstEvents) + notes.size() * sizeof(vst::VstEvent*));
    auto* events = reinterpret_cast<vst::VstEvents*>(list.data());
    events->numEvents = static_cast<vst::VstInt32>(notes.size());
    for (std::size_t i = 0; i < notes.size(); ++i) events->entry(static_cast<int>(i)) = &notes[i];
    plugin.processEvents(events);
    std::vector<float> left(256), right(256);
    float* outputs[] = {left.data(), right.data()};
    float* inputs[] = {left.data(), right.data()};
    for (int done = 0; done < frames; done += 256) plugin.processReplacing(inputs, outputs, 256);
}

std::vector<std::string> exampleNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::path(TESSARINE_SOURCE_DIR) / "examples"))
        if (entry.path().extension() == ".txt") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

class EveryExample : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        // The examples are copied so that a change by the plug-in could not reach the sources.
        fs::copy(fs::path(TESSARINE_SOURCE_DIR) / "examples", folder.path(), fs::copy_options::recursive);
        plugin.reset(createEffectInstance(&quietHost));
        plugin->setSampleRate(44100.0f);
        plugin->setBlockSize(256);
        plugin->resume();
    }
    std::string file() const { return folder.file(GetParam() + ".txt"); }

    test::ScopedUserFolder home;
    test::TempDir folder;
    std::unique_ptr<Tessarine> plugin;
};

TEST_P(EveryExample, SavedStateComesBackByteForByte) {
    ASSERT_TRUE(plugin->selectInstrument(file()));
    for (int i = 0; i < plugin->numVstVars; ++i) plugin->setParameter(i, 0.1f + 0.037f * static_cast<float>(i));
    play(*plugin, 2048);
    const Bytes first = saved(*plugin);
    ASSERT_EQ(first.size(), StateChunk::kSize);

    plugin->setChunk(const_cast<unsigned char*>(first.data()), static_cast<vst::VstInt32>(first.size()), false);
    const Bytes second = saved(*plugin);
    EXPECT_EQ(second, first);

    // A second instance, as a project opened later, gives back the same bytes too.
    std::unique_ptr<Tessarine> reopened(createEffectInstance(&quietHost));
    reopened->setChunk(const_cast<unsigned char*>(first.data()), static_cast<vst::VstInt32>(first.size()), false);
    EXPECT_EQ(saved(*reopened), first);
}

TEST_P(EveryExample, LoadsLeaveTheInstrumentsFilesAsTheyWere) {
    const auto before = snapshot(folder.path());
    ASSERT_TRUE(plugin->selectInstrument(file()));
    play(*plugin, 1024);
    const Bytes state = saved(*plugin);
    plugin->setChunk(const_cast<unsigned char*>(state.data()), static_cast<vst::VstInt32>(state.size()), false);
    plugin->loadInstrument(file(), -1);
    EXPECT_EQ(snapshot(folder.path()), before);
}

INSTANTIATE_TEST_SUITE_P(Examples, EveryExample, ::testing::ValuesIn(exampleNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

// The vendor load request answers 1 only for a file the plug-in opened and compiled.
TEST(VendorLoadRequest, AnswersZeroForAFileThatCannotBeRead) {
    test::ScopedUserFolder home;
    test::TempDir dir;
    test::writeFile(dir.file("good.txt"), "POST\nOUT = 0.25\n");
    ASSERT_EQ(::mkfifo(dir.file("pipe.txt").c_str(), 0600), 0);
    fs::create_directory(dir.file("folder.txt"));
    std::unique_ptr<Tessarine> plugin(createEffectInstance(&quietHost));
    vst::AEffect* effect = plugin->getAeffect();
    const auto request = [&](const std::string& path) {
        return effect->dispatcher(effect, vst::effVendorSpecific, vst::kTessarineLoadInstrument, 0,
                                  const_cast<char*>(path.c_str()), 0.0f);
    };
    const std::pair<std::string, vst::VstIntPtr> cases[] = {
        {dir.file("good.txt"), 1},
        {dir.file("pipe.txt"), 0},  // opening it would wait for a writer
        {"/dev/zero", 0},           // endless text without a line end
        {dir.file("folder.txt"), 0},
        {dir.file("absent.txt"), 0},
    };
    for (const auto& [path, answer] : cases) {
        EXPECT_EQ(request(path), answer) << path;
        if (answer == 0) {
            EXPECT_NE(std::string(plugin->log.main.view()).find("ERROR: file \"" + path + "\" does not exist or can not open"),
                      std::string::npos)
                << path;
        }
    }
}

}  // namespace
}  // namespace tess
