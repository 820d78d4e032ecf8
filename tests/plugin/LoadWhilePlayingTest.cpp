// Loads while the audio thread plays: one thread renders blocks and plays notes without a
// pause while another reloads instruments (delays, samples, POST sections, keyswitches),
// restores saved states and moves parameters. Nothing may crash or race (the test also runs
// under ThreadSanitizer), the audio stays finite, and once every key is up no voice sounds on.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "plugin/CreateInstance.h"
#include "plugin/Tessarine.h"
#include "support/TestSupport.h"

namespace tess {
namespace {

namespace fs = std::filesystem;
constexpr int kBlock = 256;

vst::VstIntPtr quietHost(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32, vst::VstIntPtr, void*, float) {
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

// The audio thread's host: a block's MIDI events and the render.
class AudioSide {
public:
    explicit AudioSide(Tessarine& plugin) : plugin_(plugin) {}

    void block(const std::vector<std::array<unsigned char, 3>>& messages) {
        events_.clear();
        for (const auto& m : messages) {
            vst::VstEvent event{};
            event.type = vst::kVstMidiType;
            event.byteSize = sizeof(vst::VstMidiEvent);
            event.deltaFrames = static_cast<int>(events_.size()) * 7;
            auto* midi = reinterpret_cast<vst::VstMidiEvent*>(&event);
            for (int i = 0; i < 3; ++i) midi->midiData[i] = static_cast<char>(m[static_cast<std::size_t>(i)]);
            events_.push_back(event);
        }
        list_.assign(sizeof(vst::VstEvents) + events_.size() * sizeof(vst::VstEvent*), 0);
        auto* list = reinterpret_cast<vst::VstEvents*>(list_.data());
        list->numEvents = static_cast<vst::VstInt32>(events_.size());
        for (std::size_t i = 0; i < events_.size(); ++i) list->entry(static_cast<int>(i)) = &events_[i];
        plugin_.processEvents(list);
        float* outputs[] = {left_.data(), right_.data()};
        plugin_.processReplacing(outputs, outputs, kBlock);
        for (int i = 0; i < kBlock; ++i)
            if (!std::isfinite(left_[static_cast<std::size_t>(i)]) || !std::isfinite(right_[static_cast<std::size_t>(i)]))
                ++notFinite;
    }

    int notFinite = 0;

private:
    Tessarine& plugin_;
    std::vector<vst::VstEvent> events_;
    std::vector<unsigned char> list_;
    std::vector<float> left_ = std::vector<float>(kBlock), right_ = std::vector<float>(kBlock);
};

int soundingNoteVoices(Tessarine& plugin) {
    int count = 0;
    for (int v = 0; v < VoiceTable::kNoteVoices; ++v) count += plugin.engine.voices[v].active() ? 1 : 0;
    return count;
}

TEST(LoadWhilePlaying, AThousandLoadsRestoresAndParameterChangesWhileRendering) {
    test::ScopedUserFolder home;
    test::TempDir folder;
    fs::copy(fs::path(TESSARINE_SOURCE_DIR) / "examples", folder.path(), fs::copy_options::recursive);
    // Delays, samples, POST sections, a reverb send, keyswitches, host parameters, arpeggios;
    // every one has voices to play.
    const std::vector<std::string> files = {"pingpong",  "sampled",  "reverb-send",  "keyswitch", "parameters",
                                            "arpeggio", "sample-panel", "roundrobin", "legato"};
    std::unique_ptr<Tessarine> plugin(createEffectInstance(&quietHost));
    plugin->setSampleRate(44100.0f);
    plugin->setBlockSize(kBlock);
    plugin->resume();

    // Saved states to restore, taken with the parameters moved.
    std::vector<std::vector<unsigned char>> states;
    for (const std::string& name : files) {
        ASSERT_TRUE(plugin->selectInstrument(folder.file(name + ".txt"))) << name;
        for (int i = 0; i < 4; ++i) plugin->setParameter(i, 0.2f * static_cast<float>(i + 1));
        void* data = nullptr;
        const vst::VstInt32 size = plugin->getChunk(&data, false);
        states.emplace_back(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
    }

    AudioSide audio(*plugin);
    std::atomic<bool> stop{false};
    std::atomic<int> blocks{0};
    std::thread audioThread([&] {
        // Keys go down in turn and come up three blocks later; a sustain pedal now and then.
        for (int b = 0; !stop.load(); ++b) {
            std::vector<std::array<unsigned char, 3>> messages;
            const auto key = static_cast<unsigned char>(36 + (b * 7) % 48);
            messages.push_back({0x90, key, static_cast<unsigned char>(40 + b % 80)});
            if (b >= 3) messages.push_back({0x80, static_cast<unsigned char>(36 + ((b - 3) * 7) % 48), 0});
            if (b % 64 == 0) messages.push_back({0xB0, 64, static_cast<unsigned char>(b % 128 == 0 ? 127 : 0)});
            audio.block(messages);
            blocks.fetch_add(1);
        }
    });

    std::mt19937 random(17);
    for (int i = 0; i < 1000; ++i) {
        const std::size_t which = random() % files.size();
        switch (i % 4) {
            case 0:
                plugin->selectInstrument(folder.file(files[which] + ".txt"));
                break;
            case 1:
                plugin->setChunk(states[which].data(), static_cast<vst::VstInt32>(states[which].size()), false);
                break;
            case 2:
                for (int p = 0; p < 8; ++p)
                    plugin->setParameter(static_cast<int>(random() % 20), static_cast<float>(random() % 1001) / 1000.0f);
                break;
            default:
                plugin->loadInstrument(folder.file(files[which] + ".txt"), -1);
        }
        if (i % 3 == 0) std::this_thread::sleep_for(std::chrono::microseconds(random() % 300));
    }
    // The audio thread keeps playing a little on the last instrument.
    const int playedDuringLoads = blocks.load();
    while (blocks.load() < playedDuringLoads + 20) std::this_thread::yield();
    stop = true;
    audioThread.join();

    EXPECT_EQ(audio.notFinite, 0);
    EXPECT_GT(playedDuringLoads, 100);  // the two threads did overlap

    // Keys were down when the audio thread stopped; with every key and the pedal up, every
    // voice has ended within ten seconds.
    EXPECT_GT(soundingNoteVoices(*plugin), 0);
    std::vector<std::array<unsigned char, 3>> allUp = {{0xB0, 64, 0}};
    for (int key = 0; key < 128; ++key) allUp.push_back({0x80, static_cast<unsigned char>(key), 0});
    audio.block(allUp);
    for (int b = 0; b < 10 * 44100 / kBlock; ++b) audio.block({});
    EXPECT_EQ(soundingNoteVoices(*plugin), 0);
}

}  // namespace
}  // namespace tess
