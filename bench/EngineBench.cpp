// Renders a fixed set of patches for a fixed number of voices and seconds through the engine
// and prints, per patch, nanoseconds per voice-sample and the real-time factor (seconds of
// audio rendered per second of computing, for all voices together).
#include <chrono>
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
    {"controllers", "LAYER\nOUT = SIN(6.2831853 * FREQ * TIME) * MCC2(7) * MCC(1) * 0.01\n"},
    {"post-sends",
     "POST\nOUT = OUT + SENDS1 * 0.5\n"
     "LAYER\nx = SIN(6.2831853 * FREQ * TIME) * 0.05\nSENDS1 = x\nOUT = x\n"},
};

}  // namespace

int main(int argc, char** argv) {
    const int voices = argc > 1 ? std::atoi(argv[1]) : 64;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 2.0;
    const int block = 512;
    const float rate = 44100.0f;
    const auto folder = std::filesystem::temp_directory_path() / "tessarine-bench";
    std::filesystem::create_directories(folder);

    std::printf("%-12s %8s %8s %14s %12s\n", "patch", "voices", "seconds", "ns/voice-sample",
                "realtime x");
    for (const Patch& patch : kPatches) {
        const auto path = (folder / (std::string(patch.name) + ".txt")).string();
        std::ofstream(path) << patch.text;
        tess::Log log;
        tess::compiler::InstrumentCompiler compiler(log, folder.string());
        compiler.reset();
        compiler.compileFile(0, path);
        tess::Engine engine(log);
        engine.sampleRate = rate;
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
