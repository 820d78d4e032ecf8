// A host session for the plug-in tests: the tool's VST host code drives the built library, or
// an instance created in this process when a test must also reach the plug-in object (as the
// editor does), block by block with sample-accurate MIDI, and hands back the left channel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plugin/Tessarine.h"
#include "tessarine/VstHost.h"

namespace tess::test {

// A MIDI message at an absolute frame of a render.
struct TimedMidi {
    std::int64_t frame = 0;
    unsigned char bytes[3] = {0, 0, 0};
};
inline TimedMidi noteOnAt(std::int64_t frame, int key, int velocity = 100) {
    return {frame, {0x90, static_cast<unsigned char>(key), static_cast<unsigned char>(velocity)}};
}
inline TimedMidi noteOffAt(std::int64_t frame, int key) {
    return {frame, {0x80, static_cast<unsigned char>(key), 0}};
}
inline TimedMidi controllerAt(std::int64_t frame, int cc, int value) {
    return {frame, {0xB0, static_cast<unsigned char>(cc), static_cast<unsigned char>(value)}};
}

class HostSession {
public:
    static constexpr int kRate = 44100;
    static constexpr int kBlock = 256;
    enum class Where { Library, InProcess };

    // Loads and opens the plug-in and sets rate and block size; `resume` switches it on.
    explicit HostSession(Where where = Where::Library, bool resume = true);

    vst::AEffect* effect() const { return host.effect(); }
    // The plug-in object of an in-process session (null for the library).
    Tessarine* plugin() const;

    // The vendor-specific load request; true when the plug-in loaded the file.
    bool loadInstrument(std::string path);
    void setParameter(int index, float value) { effect()->setParameter(effect(), index, value); }
    float getParameter(int index) { return effect()->getParameter(effect(), index); }
    std::string text(vst::VstInt32 opcode, int index = 0) { return host.text(opcode, index); }
    // The state as a host saves it (a bank, or a program with `program`).
    std::vector<unsigned char> getChunk(bool program = false);
    void setChunk(const std::vector<unsigned char>& bytes) { setChunk(bytes.data(), bytes.size()); }
    void setChunk(const void* data, std::size_t size);

    // Renders `frames` frames in blocks; each message goes to the block holding its frame.
    std::vector<float> render(std::int64_t frames, const std::vector<TimedMidi>& midi = {});

    tool::VstHost host;
};

// Sum of squares over a stretch of a signal, as a root mean square.
double rms(const std::vector<float>& signal, std::size_t from, std::size_t to);

}  // namespace tess::test
