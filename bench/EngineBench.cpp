// Renders a fixed set of patches for a fixed number of voices and seconds through the engine
// and prints, per patch, nanoseconds per voice-sample and the real-time factor (seconds of
// audio rendered per second of computing, for all voices together); then the note-on time of
// a chord and the load times. Usage: tessarine_bench [VOICES [SECONDS [FOLDER]]]; the patches
// are left in FOLDER as NAME.txt (scripts/bench.sh measures their resident size).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/DenormalGuard.h"
#include "common/Log.h"
#include "compiler/InstrumentCompiler.h"
#include "engine/Engine.h"
#include "engine/delays/DelayMemory.h"
#include "midi/NotePlayer.h"
#include "samples/SampleDirective.h"
#include "sf2import/SoundFontImport.h"

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
    // Four resonant state-variable stages at twice the rate.
    {"filter4", "LAYER\nsaw = FRAC(FREQ * TIME) * 2 - 1\nOUT = FILT(3, saw, 1200 + 800 * SIN(TIME), 0.7) * 0.05\n"},
    // A filtered-feedback delay into a reverb, in every voice.
    {"delay-reverb",
     "LAYER\nx = SIN(6.2831853 * FREQ * TIME) * 0.05\ny = DELAYFF(x, 0.25, 0.4, 3000)\n"
     "OUT = REVERB(y, 0.7, 0.5, 4000, 20) * 0.1 + y\n"},
};

// The instrument the note-on measurement plays: one delay and one reverb per voice.
const char* kDelayLayer =
    "LAYER\nOUT = REVERB(DELAYFF(SIN(6.2831853 * FREQ * TIME) * 0.05, 0.25, 0.4, 3000), 0.7, 0.5, 4000, 20)\n";

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

// Microseconds the note path takes to start a 16-note chord on a delay layer (the chord's
// note-on events handed to processEvents), over many chords; then, for comparison, what
// allocating and zero-filling one 16 MiB buffer per note on the audio thread would cost.
void benchChordNoteOn(const std::filesystem::path& folder, float rate) {
    const auto path = (folder / "chord.txt").string();
    std::ofstream(path) << kDelayLayer;
    tess::Log log;
    tess::compiler::InstrumentCompiler compiler(log, folder.string());
    compiler.reset();
    compiler.compileFile(0, path);
    tess::Engine engine(log);
    engine.sampleRate = rate;
    engine.installInstrument(compiler.instrument());
    tess::midi::NotePlayer notes(engine, log);
    notes.installInstrument(compiler.instrument());

    constexpr int kNotes = 16;
    std::vector<vst::VstMidiEvent> midi(kNotes);
    std::vector<unsigned char> list(sizeof(vst::VstEvents) + kNotes * sizeof(vst::VstEvent*));
    auto* events = reinterpret_cast<vst::VstEvents*>(list.data());
    events->numEvents = kNotes;
    for (int i = 0; i < kNotes; ++i) {
        vst::VstMidiEvent& e = midi[static_cast<std::size_t>(i)];
        e = vst::VstMidiEvent{};
        e.type = vst::kVstMidiType;
        e.byteSize = sizeof e;
        e.midiData[0] = static_cast<char>(0x90);
        e.midiData[1] = static_cast<char>(48 + i);
        e.midiData[2] = 100;
        events->events[i] = reinterpret_cast<vst::VstEvent*>(&e);
    }
    std::vector<float> input(64, 0.0f), left(64), right(64);
    float* inputs[2] = {input.data(), input.data()};
    float* outputs[2] = {left.data(), right.data()};

    std::vector<double> times;
    for (int chord = 0; chord < 200; ++chord) {
        const auto begin = std::chrono::steady_clock::now();
        notes.processEvents(*events, -1);
        times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - begin).count());
        engine.process(inputs, outputs, 64, nullptr, false);  // the chord sounds
        engine.voices.releaseNoteVoices();
        engine.process(inputs, outputs, 64, nullptr, false);  // its voices end, memory goes home
    }
    std::sort(times.begin(), times.end());
    std::printf("\n16-note chord note-on on a delay+reverb layer (processEvents, %zu chords):\n", times.size());
    std::printf("  median %.1f us, 90th percentile %.1f us, worst %.1f us\n", times[times.size() / 2],
                times[times.size() * 9 / 10], times.back());

    const auto begin = std::chrono::steady_clock::now();
    std::vector<std::unique_ptr<float[]>> buffers;
    for (int i = 0; i < kNotes; ++i) buffers.emplace_back(new float[tess::fx::kDelayFloats]());
    const double zeroFill = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
    std::printf("  for comparison, allocating and zero-filling 16 delay buffers of 16 MiB: %.1f ms\n", zeroFill);
}

// A resonant filter and a reverb in the POST step struck once and left to ring out: the first
// second is loud (peaks near 9), from the sixth on the tail is in the denormal range, where
// without flush-to-zero it stays (about 1e-43) and never reaches 0. Prints the cost of each
// second relative to the first, as the engine alone runs it and as the audio callbacks run it
// (under the flush-to-zero guard).
void benchDecayingTail(const std::filesystem::path& folder, float rate) {
    const auto path = (folder / "tail.txt").string();
    std::ofstream(path) << "POST\nx = (SAT((0.5 / 44100 - TIME) * 1e9) + 1) * 0.5\n"
                           "OUT = REVERB(FILT(3, x, 3000, 0.9), 0.5, 0.2, 4000, 20)\n";
    constexpr int kSeconds = 12;
    constexpr int kBlock = 512;
    std::printf("\nA reverb tail decaying into silence (POST reverb struck once; processor time of each "
                "second / the first):\n");
    for (const bool guarded : {false, true}) {
        tess::Log log;
        tess::compiler::InstrumentCompiler compiler(log, folder.string());
        compiler.reset();
        compiler.compileFile(0, path);
        tess::Engine engine(log);
        engine.sampleRate = rate;
        engine.installInstrument(compiler.instrument());
        engine.resume();
        std::vector<float> input(kBlock, 0.0f), left(kBlock), right(kBlock);
        float* inputs[2] = {input.data(), input.data()};
        float* outputs[2] = {left.data(), right.data()};
        double first = 0.0, worst = 0.0;
        std::printf("  %-34s", guarded ? "under the callbacks' guard" : "engine alone, host's float mode");
        for (int second = 0; second < kSeconds; ++second) {
            const std::clock_t begin = std::clock();
            for (int done = 0; done < static_cast<int>(rate); done += kBlock) {
                if (guarded) {
                    const tess::DenormalGuard floatMode;
                    engine.process(inputs, outputs, kBlock, nullptr, false);
                } else {
                    engine.process(inputs, outputs, kBlock, nullptr, false);
                }
            }
            const double elapsed = static_cast<double>(std::clock() - begin) / CLOCKS_PER_SEC;
            if (second == 0) first = elapsed;
            worst = std::max(worst, elapsed);
            std::printf(" %5.1f", elapsed / first);
        }
        std::printf("   worst %.1fx\n", worst / first);
    }
}

// Wall and processor milliseconds of `work` (the processor time is the figure that holds on a
// shared machine).
template <class Work>
void timed(const char* what, Work&& work) {
    const std::clock_t cpuBegin = std::clock();
    const auto begin = std::chrono::steady_clock::now();
    const std::string result = work();
    const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
    const double cpu = 1000.0 * static_cast<double>(std::clock() - cpuBegin) / CLOCKS_PER_SEC;
    std::printf("  %-44s %8.0f ms cpu %8.0f ms wall   %s\n", what, cpu, wall, result.c_str());
}

// Load times: compiling and installing a generated instrument of 1000 layers, and importing
// the General MIDI bank TimGM6mb (when the bank is installed).
void benchLoadTimes(const std::filesystem::path& folder, float rate) {
    std::printf("\nLoad times:\n");
    const auto path = (folder / "layers1000.txt").string();
    {
        std::ofstream out(path);
        for (int i = 0; i < 1000; ++i)
            out << "LAYER\nx = OSCSYN(2, 1, 0, 0.1, FREQ * " << 1.0 + i * 1e-4 << ", 0)\n"
                << "OUT = FILT(0, x, " << 1000 + i << ", 0.5) * ENV1(0.01, 0.2, 0.7, 0.3, 0, 0)\n";
    }
    tess::Log log;
    tess::compiler::InstrumentCompiler compiler(log, folder.string());
    tess::Engine engine(log);
    engine.sampleRate = rate;
    timed("compile and install 1000 layers", [&] {
        compiler.reset();
        compiler.compileFile(0, path);
        engine.installInstrument(compiler.instrument());
        return std::to_string(compiler.instrument().layerCount) + " layers";
    });
    const std::string bank = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    if (!std::filesystem::exists(bank)) {
        std::printf("  (no %s: the import is not timed)\n", bank.c_str());
        return;
    }
    const auto imported = folder / "TimGM6mb";
    std::filesystem::remove_all(imported);
    timed("import TimGM6mb", [&] {
        tess::sf2::ImportRequest request;
        request.bankPath = bank;
        request.outputFolder = imported.string();
        const tess::sf2::ImportSummary summary = tess::sf2::importSoundFont(request, [](std::string_view) {});
        return std::to_string(summary.presets) + " presets, " + std::to_string(summary.layers) + " layers" +
               (summary.succeeded ? "" : ", FAILED");
    });
}

}  // namespace

int main(int argc, char** argv) {
    const int voices = argc > 1 ? std::atoi(argv[1]) : 64;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 2.0;
    const int block = 512;
    const float rate = 44100.0f;
    const auto folder = argc > 3 ? std::filesystem::path(argv[3]) : std::filesystem::temp_directory_path() / "tessarine-bench";
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
    benchChordNoteOn(folder, rate);
    benchDecayingTail(folder, rate);
    benchLoadTimes(folder, rate);
    return 0;
}
