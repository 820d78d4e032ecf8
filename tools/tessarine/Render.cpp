#include "tessarine/Render.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <chrono>
#include <thread>
#include <memory>

#include "platform/Platform.h"
#include "tessarine/Check.h"
#include "tessarine/ExitStatus.h"
#include "tessarine/FileBytes.h"
#include "tessarine/Levels.h"
#include "tessarine/MidiFile.h"
#include "tessarine/StateFile.h"
#include "tessarine/TempoMap.h"
#include "tessarine/Terminal.h"
#include "tessarine/WavFile.h"

namespace tess::tool {
namespace {

constexpr double kMaxMidiSeconds = 24.0 * 3600.0;

struct ScheduledEvent {
    std::int64_t sample;
    unsigned char bytes[3];
};

std::string absolutePath(const std::string& path) {
    std::error_code ignored;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ignored);
    return absolute.empty() ? path : absolute.string();
}

std::string formatSeconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

void setTransport(vst::VstTimeInfo& info, const TempoMap& tempoMap, std::int64_t sample, bool first) {
    const TransportPosition position = tempoMap.positionAtSample(sample);
    info.samplePos = double(sample);
    info.sampleRate = tempoMap.sampleRate();
    info.nanoSeconds = 0.0;
    info.ppqPos = position.ppq;
    info.tempo = position.bpm;
    info.barStartPos = position.barStartPpq;
    info.cycleStartPos = 0.0;
    info.cycleEndPos = 0.0;
    info.timeSigNumerator = position.numerator;
    info.timeSigDenominator = position.denominator;
    info.smpteOffset = 0;
    info.smpteFrameRate = 0;
    info.samplesToNextClock = 0;
    info.flags = vst::kVstTransportPlaying | vst::kVstTempoValid | vst::kVstTimeSigValid | vst::kVstPpqPosValid |
                 vst::kVstBarsValid | (first ? vst::kVstTransportChanged : 0);
}

// Why the instrument file cannot be read, or nothing when it can.
std::string instrumentProblem(const std::string& path) {
    if (platform::directoryExists(path)) return "it is a folder";
    std::FILE* file = platform::openFile(path, "rb");
    if (file == nullptr) return std::strerror(errno);
    std::fclose(file);
    return {};
}

// After Tessarine accepted the load request: the lines its compile rejected. The plug-in plays
// what it accepted, so rejected lines are a warning that names the first and points to `check`.
void reportInstrument(const std::string& instrument, const std::string& path, std::ostream& out, std::ostream& err) {
    const InstrumentCheck check = checkInstrument(path, 0);
    if (check.rejected == 0) {
        out << "Instrument loaded: " << instrument << "\n";
        return;
    }
    const std::string lines =
        std::to_string(check.rejected) + (check.rejected == 1 ? " rejected line" : " rejected lines");
    out << "Instrument loaded with " << lines << ": " << instrument << "\n";
    err << "tessarine: warning: the plug-in plays " << instrument << " without its " << lines << "; the first:\n";
    std::size_t start = 0;
    while (start < check.firstRejection.size()) {
        const std::size_t end = check.firstRejection.find('\n', start);
        err << "  " << check.firstRejection.substr(start, end - start) << "\n";
        start = end == std::string::npos ? end : end + 1;
    }
    err << "tessarine: every message: tessarine check \"" << instrument << "\"\n";
}

}  // namespace

std::string defaultPluginPath() {
#ifdef _WIN32
    const char* libraryName = "Tessarine.dll";
    std::string executable = platform::ownModulePath();
#else
    const char* libraryName = "Tessarine.so";
    std::error_code failed;
    std::string executable = std::filesystem::read_symlink("/proc/self/exe", failed).string();
    if (failed || executable.empty()) executable = platform::ownModulePath();
#endif
    const std::filesystem::path folder = std::filesystem::path(executable).parent_path();
    const std::string beside = (folder / libraryName).string();
#ifndef _WIN32
    // An installed tool (make install) finds the plug-in where it was installed for DAWs.
    if (!platform::fileExists(beside)) {
        for (const std::string& vstFolder : {platform::environment("VST_DIR"),
                                             platform::environment("HOME").empty()
                                                 ? std::string()
                                                 : platform::environment("HOME") + "/.vst"}) {
            if (vstFolder.empty()) continue;
            const std::string installed = vstFolder + "/" + libraryName;
            if (platform::fileExists(installed)) return installed;
        }
    }
#endif
    return beside;
}

bool requestInstrument(VstHost& host, const std::string& instrument, std::ostream& out, std::ostream& err) {
    std::string path = absolutePath(instrument);
    const vst::VstIntPtr answer = host.dispatch(vst::effVendorSpecific, vst::kTessarineLoadInstrument, 0, path.data(), 0.0f);
    if (answer == 1) {
        reportInstrument(instrument, path, out, err);
        return true;
    }
    err << "tessarine: warning: the plug-in did not load " << instrument << " (it answered " << answer << ")\n";
    return false;
}

int runRender(const RenderOptions& options, std::ostream& out, std::ostream& err) {
    const std::string library = options.plugin.empty() ? defaultPluginPath() : options.plugin;
    VstHost host;
    std::string error;
    if (!host.load(library, error)) {
        err << "tessarine: " << error << "\n";
        return kExitFailure;
    }
    return renderWithHost(host, options, out, err);
}

int renderWithHost(VstHost& host, const RenderOptions& options, std::ostream& out, std::ostream& err) {
    std::string error;
    auto fail = [&](const std::string& message, int status = kExitFailure) {
        err << "tessarine: " << message << "\n";
        return status;
    };

    // Inputs first: a bad file stops the render before the plug-in does any work.
    if (!options.instrument.empty()) {
        const std::string problem = instrumentProblem(options.instrument);
        if (!problem.empty()) return fail(options.instrument + ": cannot read the instrument file (" + problem + ")");
    }
    MidiFile midi;
    const bool haveMidi = !options.midi.empty();
    if (haveMidi && !readMidiFile(options.midi, midi, error)) return fail(error);
    WavAudio input;
    const bool haveInput = !options.input.empty();
    if (haveInput && !readWavFile(options.input, input, error)) return fail(error);
    std::vector<unsigned char> state;
    if (!options.loadState.empty()) {
        if (!readFileBytes(options.loadState, state, error)) return fail(error);
        if (state.size() > std::size_t(std::numeric_limits<vst::VstInt32>::max()))
            return fail(options.loadState + ": too large for a plug-in state");
    }
    if (haveInput && input.truncated)
        err << "tessarine: warning: " << options.input << ": the data chunk is cut short; using "
            << input.left.size() << " frames\n";

    // An instrument makes its own sound: the input is checked above but not played.
    const bool synth = host.isSynth();
    if (haveInput && synth)
        err << "tessarine: warning: the plug-in is an instrument; the input " << options.input << " is not used\n";
    const bool feedInput = haveInput && !synth;

    const int rate = options.sampleRate ? *options.sampleRate : feedInput ? input.sampleRate : kDefaultSampleRate;
    if (feedInput && input.sampleRate != rate)
        err << "tessarine: warning: " << options.input << " is " << input.sampleRate << " Hz; it is played at "
            << rate << " Hz without resampling\n";

    const double tempo = options.tempo ? *options.tempo : kDefaultTempo;
    const TempoMap tempoMap = haveMidi ? TempoMap(rate, midi.ticksPerQuarter, tempo,
                                                  midi.tempos, midi.timeSignatures)
                                       : TempoMap::constant(rate, tempo);
    if (haveMidi && tempoMap.secondsAtTick(midi.lengthTicks) > kMaxMidiSeconds)
        return fail(options.midi + ": the file lasts more than 24 hours");

    std::int64_t totalFrames;
    if (options.seconds)
        totalFrames = std::llround(*options.seconds * rate);
    else if (haveMidi)
        totalFrames = tempoMap.sampleAtTick(midi.lengthTicks) + std::llround(kMidiTailSeconds * rate);
    else if (feedInput)
        totalFrames = static_cast<std::int64_t>(input.left.size());
    else
        totalFrames = std::llround(kDefaultSeconds * rate);
    const std::int64_t bytesPerFrame = options.pcm16 ? 4 : 8;
    if (totalFrames * bytesPerFrame > std::int64_t(0xFFFFFFFFll - 80))
        return fail("a render of " + formatSeconds(double(totalFrames) / rate) +
                    " s does not fit in a WAV file (4 GiB); shorten it with --seconds");

    std::vector<ScheduledEvent> events;
    std::int64_t eventsPastEnd = 0;
    for (const MidiMessage& message : midi.messages) {
        const std::int64_t sample = tempoMap.sampleAtTick(message.tick);
        if (sample >= totalFrames) {
            ++eventsPastEnd;
            continue;
        }
        events.push_back({sample, {message.status, message.data1, message.data2}});
    }

    vst::AEffect* effect = host.effect();
    for (const auto& [index, value] : options.parameters)
        if (index >= effect->numParams)
            return fail("--param " + std::to_string(index) + ": the plug-in has " + std::to_string(effect->numParams) +
                            " parameters",
                        kExitUsage);

    WavWriter writer;
    if (!writer.open(options.output, rate, options.pcm16 ? WavEncoding::Pcm16 : WavEncoding::Float32, error))
        return fail(error);

    host.open();
    host.prepare(rate, options.blockSize);
    const std::string effectName = host.text(vst::effGetEffectName);
    out << "Plug-in: " << (effectName.empty() ? std::string("(no name)") : effectName) << " (" << host.name() << ")\n";
    if (!options.instrument.empty()) requestInstrument(host, options.instrument, out, err);
    // A DAW opening a project hands the plug-in its saved state before the first block.
    if (!options.loadState.empty()) loadState(host, state, options.loadState, out);
    if (effect->setParameter != nullptr)
        for (const auto& [index, value] : options.parameters) effect->setParameter(effect, index, value);
    host.resume();

    const std::size_t block = std::size_t(options.blockSize);
    std::vector<float> left(block), right(block), inputLeft(block), inputRight(block);
    std::vector<HostMidiEvent> blockEvents;
    LevelMeter meter;
    ProgressBar progress(err, options.progress && standardErrorIsTerminal());
    std::size_t nextEvent = 0;
    bool writeFailed = false;
    SilenceMeter silence;
    const auto startedAt = std::chrono::steady_clock::now();
    for (std::int64_t start = 0; start < totalFrames; start += options.blockSize) {
        const int frames = static_cast<int>(std::min<std::int64_t>(options.blockSize, totalFrames - start));
        blockEvents.clear();
        for (; nextEvent < events.size() && events[nextEvent].sample < start + frames; ++nextEvent) {
            HostMidiEvent event;
            event.deltaFrames = static_cast<int>(events[nextEvent].sample - start);
            std::copy(events[nextEvent].bytes, events[nextEvent].bytes + 3, event.bytes);
            blockEvents.push_back(event);
        }
        setTransport(host.timeInfo(), tempoMap, start, start == 0);

        const float* inLeft = nullptr;
        const float* inRight = nullptr;
        if (feedInput) {  // the input, then silence once it has ended
            const std::int64_t available =
                std::clamp<std::int64_t>(std::int64_t(input.left.size()) - start, 0, frames);
            std::fill(inputLeft.begin(), inputLeft.end(), 0.0f);
            std::fill(inputRight.begin(), inputRight.end(), 0.0f);
            if (available > 0) {
                std::copy_n(input.left.begin() + start, available, inputLeft.begin());
                std::copy_n(input.right.begin() + start, available, inputRight.begin());
            }
            inLeft = inputLeft.data();
            inRight = inputRight.data();
        }
        host.process(blockEvents.data(), blockEvents.size(), inLeft, inRight, left.data(), right.data(), frames);
        meter.add(left.data(), right.data(), std::size_t(frames));
        silence.add(left.data(), right.data(), std::size_t(frames), start);
        if (options.realTime)  // the next block is due when this one has played
            std::this_thread::sleep_until(startedAt + std::chrono::microseconds((start + frames) * 1000000LL / rate));
        if (!writer.write(left.data(), right.data(), std::size_t(frames), error)) {
            writeFailed = true;
            break;
        }
        progress.update(start + frames, totalFrames);
    }
    progress.finish();
    const bool stateSaved = options.saveState.empty() || saveStateFile(host, options.saveState, out, error);
    host.suspend();
    const HostCallbackCounts counts = host.callbackCounts();
    host.close();
    if (writeFailed || !stateSaved) return fail(error);
    if (!writer.close(error)) return fail(error);

    out << "Rendered " << formatSeconds(double(totalFrames) / rate) << " s (" << totalFrames << " frames) at " << rate
        << " Hz in blocks of " << options.blockSize << ", " << (options.pcm16 ? "16-bit PCM" : "32-bit float") << "\n";
    if (haveMidi)
        out << "MIDI events: " << events.size() << " sent, " << counts.eventsReturned << " returned by the plug-in\n";
    if (eventsPastEnd > 0)
        err << "tessarine: warning: " << eventsPastEnd << " MIDI events fall after the end of the render\n";
    if (meter.nonFiniteSamples() > 0)
        err << "tessarine: warning: the plug-in produced " << meter.nonFiniteSamples()
            << " samples that are not finite numbers\n";
    out << "Left:  peak " << formatDbfs(meter.peak(0)) << " dBFS, RMS " << formatDbfs(meter.rms(0)) << " dBFS\n";
    out << "Right: peak " << formatDbfs(meter.peak(1)) << " dBFS, RMS " << formatDbfs(meter.rms(1)) << " dBFS\n";
    if (options.realTime && silence.longest() > 0)
        out << "Longest silence: " << silence.longest() << " frames from frame " << silence.longestStart() << " ("
            << formatSeconds(double(silence.longest()) / rate) << " s)\n";
    out << "Output: " << options.output << "\n";
    return kExitSuccess;
}

}  // namespace tess::tool
