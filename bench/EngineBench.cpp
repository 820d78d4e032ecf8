// Renders a fixed set of patches for a fixed number of voices and seconds through the engine
// and prints, per patch, nanoseconds per voice-sample and the real-time factor (seconds of
// audio rendered per second of computing, for all voices together).
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/Log.h"
#include "compiler/InstrumentCompiler.h"
#include "engine/Engine.h"
#include "samples/SampleDirective.h"

namespace {

struct Patch {
    const char* name;
    const char* text;
};

const Patch kPatches[] = {
    {"sine", "LAYER\nOUT = SIN(6.2831853 * FREQ * TIME) * 0.1\n"},
    {"math-chain",
     "LAYER\n"
     "p = 6.2831853 * FREQ * TIME\n"
     "a = SIN(p) + SIN(p * 2) * 0.5 + SIN(p * 3) * 0.25\n"
     "b = SAT(SIGM(a, 3) * 1.5)\n"
     "c = CURVE(-4, ABS(b))\n"
     "OUT = PAN(b * c * 0.05, SIN(TIME) * 100)\n"},
    {"controllers", "LAYER\nOUT = SIN(6.2831853 * FREQ * TIME) * (MCC2(7) + 0.5) * (MCC(1) + PBEND + 1) * 0.01\n"},
    {"post-sends",
     "POST\nOUT = OUT + SENDS1 * 0.5\n"
     "LAYER\nx = SIN(6.2831853 * FREQ * TIME) * 0.05\nSENDS1 = x\nOUT = x\n"},
    // A looped stereo WAV read through the default kernel (15 taps per channel).
    {"sample", "SAMPLE 0, \"bench.wav\", 1, 60, 0, 0, 0, 0, 1e10, 2000, 40000\nLAYER\nOUT = OSC0(0) * 0.05\n"},
    {"sample-env", "SAMPLE 0, \"bench.wav\", 1, 60, 0, 0, 0, 0, 1e10, 2000, 40000\n"
                   "LAYER\nOUT = OSCENV(0, 0.01, 0.2, 0.7, 0.3) * 0.05\n"},
    // All four voice modulators running, each with an LFO and (but the phase) an envelope.
    {"modulators", "SAMPLE 1, 0, 0, 0.5, 2, 0\n"
                   "FREQLFO 0, 1, 5, 30, 0, 0.1, 0.2\nFREQENV 100, 0, 0.01, 0, 0.2, 0.5, 0.2\n"
                   "GAINLFO 0, 1, 6, 3, 0, 0.1, 0.2\nGAINENV 1, 0, 0.01, 0, 0.3, 0.7, 0.3\n"
                   "FCLFO 3, 1, 0.5, 1200, 0, 0.1, 0.2\nFCENV 2400, 0, 0.01, 0, 0.5, 0.3, 0.3\n"
                   "PHASELFO 0, 1, 3, 0.2, 0, 0.1, 0.2\n"
                   "LAYER\nOUT = OSC0(1) * 0.05\n"},
    // The controller lists: COMPLEXMOD, FREQMOD, GAINMOD and FCMOD, read every sample.
    {"mod-lists", "SAMPLE 1, 0, 0, 0.5, 2, 0\n"
                  "COMPLEXMOD 0, 1, 2, 10\nCOMPLEXMOD 7, 7, -1, 1\nFREQMOD 1, 50, 135, 200\nGAINMOD 7, -3\n"
                  "FCMOD 2, 1, 1200\nLAYER\nOUT = OSC0(1) * 0.05\n"},
    {"additive8", "SAMPLE 1, 0, 0, 0.5, 2, 0, 0, 0.3, 3, 0, 0, 0.2, 4, 0, 0, 0.1, 5, 0, 0, 0.1, 6, 0, 0, 0.1, 7, 0, 0, 0.1, 8, 0\n"
                  "LAYER\nOUT = OSC0(1) * 0.05\n"},
};

// A one-second stereo 16-bit WAV of two detuned saws at 261.63 Hz, written byte by byte.
void writeBenchWav(const std::string& path) {
    const int rate = 44100, frames = 44100;
    std::string bytes;
    auto u32 = [&](std::uint32_t v) { for (int i = 0; i < 4; ++i) bytes += static_cast<char>((v >> (8 * i)) & 0xFF); };
    auto u16 = [&](std::uint32_t v) { for (int i = 0; i < 2; ++i) bytes += static_cast<char>((v >> (8 * i)) & 0xFF); };
    bytes += "RIFF";
    u32(36 + frames * 4);
    bytes += "WAVEfmt ";
    u32(16); u16(1); u16(2); u32(rate); u32(rate * 4); u16(4); u16(16);
    bytes += "data";
    u32(frames * 4);
    for (int i = 0; i < frames; ++i)
        for (double hz : {261.63, 262.4}) {
            const double phase = i * hz / rate;
            u16(static_cast<std::uint16_t>(static_cast<std::int16_t>((phase - std::floor(phase) - 0.5) * 20000)));
        }
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace

int main(int argc, char** argv) {
    const int voices = argc > 1 ? std::atoi(argv[1]) : 64;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 2.0;
    const int block = 512;
    const float rate = 44100.0f;
    const auto folder = std::filesystem::temp_directory_path() / "tessarine-bench";
    std::filesystem::create_directories(folder);
    writeBenchWav((folder / "bench.wav").string());

    std::printf("%-12s %8s %8s %14s %12s\n", "patch", "voices", "seconds", "ns/voice-sample",
                "realtime x");
    for (const Patch& patch : kPatches) {
        const auto path = (folder / (std::string(patch.name) + ".txt")).string();
        std::ofstream(path) << patch.text;
        tess::Log log;
        tess::compiler::InstrumentCompiler compiler(log, folder.string());
        auto bank = std::make_unique<tess::SampleBank>();
        tess::SampleContext samples;
        samples.instrumentFolder = folder.string();
        tess::installSampleDirective(compiler, *bank, samples);
        compiler.reset();
        compiler.compileFile(0, path);
        tess::Engine engine(log);
        engine.sampleRate = rate;
        engine.samples = bank.get();
        const tess::compiler::QualitySettings& q = compiler.instrument().common.quality;
        engine.kernel.build(q.tableSize, q.zeroCrossings, q.windowType, q.windowParameter);
        engine.installInstrument(compiler.instrument());
        for (int v = 0; v < voices; ++v)
            engine.startVoice(compiler.instrument(), 0, 36.0f + static_cast<float>(v % 60), 100.0f, 0);

        std::vector<float> input(block, 0.0f), left(block), right(block);
        float* inputs[2] = {input.data(), input.data()};
        float* outputs[2] = {left.data(), right.data()};
        const long total = static_cast<long>(seconds * rate);
        const auto begin = std::chrono::steady_clock::now();
        for (long done = 0; done < total; done += block) engine.process(inputs, outputs, block, nullptr, false);
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        int active = 0;
        for (int v = 0; v < tess::VoiceTable::kNoteVoices; ++v) active += engine.voices[v].frequency > 0.0f;
        if (active != voices) std::printf("warning: %d of %d voices still active\n%s", active, voices, log.main.c_str());
        const double voiceSamples = static_cast<double>(total) * voices;
        std::printf("%-12s %8d %8.1f %14.1f %12.1f\n", patch.name, voices, seconds,
                    elapsed * 1e9 / voiceSamples, seconds / elapsed);
    }
    return 0;
}
