// The synthesis engine: runs every active voice's program sample by sample, mixes OUT and the
// four send buses, lets the POST program rewrite the mix, and frees voices that fell silent.
// It owns the running state (voices, controller space, clocks, buses); the compiled
// instrument it plays is a description it only reads.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "common/Log.h"
#include "compiler/CompiledInstrument.h"
#include "compiler/CurveTable.h"
#include "controllers/ControllerSpace.h"
#include "engine/InterpolationKernel.h"
#include "engine/Noise.h"
#include "engine/NoteRepeater.h"
#include "engine/Stereo.h"
#include "engine/Transport.h"
#include "engine/delays/DelayMemoryPool.h"
#include "engine/VoiceTable.h"
#include "engine/BlockPlan.h"
#include "engine/envelopes/Lfos.h"
#include "engine/envelopes/StageModel.h"
#include "engine/filters/Filter.h"
#include "engine/math/NoteRounding.h"
#include "samples/SampleBank.h"

namespace tess {

struct RunSource;

class Engine {
public:
    // Host blocks are rendered in slices of at most this many frames, so the engine's own
    // buffers (IN and the send buses) hold one slice whatever block a host may send.
    static constexpr int kMaxBlock = 4096;
    static constexpr int kSendBuses = 4;
    static constexpr int kMaxJumpsPerSample = 4096;
    static constexpr int kRun = 256;  // samples the block executor runs each operation over
    // Voices of one program that touches nothing outside the voice run side by side, this many
    // at a time, so that their filters can share vectors (BlockPlan::independent).
    static constexpr int kGroup = filt::kMaxGroup;

    explicit Engine(Log& log);

    // Renders one host block. `timeInfo` may be null. In effect mode the host's output
    // buffers are added to rather than cleared, and IN reads the host's inputs directly.
    void process(float* const* inputs, float* const* outputs, std::int64_t frames,
                 const TransportInput* timeInfo, bool effectMode);

    // Starts a voice of `layer` at `key` and `velocity` (0..127) from `startTime` on,
    // tuned in equal temperament at 440 Hz for key 69. Returns the voice index or -1 when no
    // voice is free. (Note-on with allocation and stealing builds on this.)
    int startVoice(const compiler::CompiledInstrument& instrument, int layer, float key,
                   float velocity, std::int64_t startTime);

    // Takes a freshly compiled instrument (loading thread): the POST program goes into the
    // POST voice, the curves and settings the engine reads are taken from it, the delay memory
    // pool is filled for it and the voices get storage for its largest program.
    void installInstrument(const compiler::CompiledInstrument& instrument);

    // Gives `voice` its own copy of `program`, reusing the voice's storage when it is large
    // enough, with fresh running state; its delays and reverbs borrow memory from the pool
    // (what the voice held before goes back first). With `keepEnvelopes` (a voice re-used
    // legato, same program) each operation's envelope keeps its level, so it goes on from
    // where it stands.
    void copyProgram(Voice& voice, const compiler::LayerProgram& program, bool keepEnvelopes = false);
    // Ends a voice: idle, its delay memory back in the pool.
    void endVoice(Voice& voice);

    // suspend(): every note voice is cut, the clock rewinds and the POST step stops.
    void suspend();
    // True when the block executor runs the program of `layer` (-1: the POST program).
    bool runsInBlocks(int layer) const;
    // resume(): the POST step runs again when the instrument has one.
    void resume();

    // Runs every program sample by sample, as the reference the block executor is checked
    // against (tests and measurements set it; the plug-in never does).
    bool forcePerSample = false;
    // Runs of FILT and of OSCSYN computed for several voices at once (tests and measurements
    // read them).
    std::uint64_t groupedFilterRuns = 0;
    std::uint64_t groupedOscillatorRuns = 0;
    // Runs whose layer modulators each ran through the whole run (tests and measurements read it).
    std::uint64_t modulatorRuns = 0;
    float sampleRate = 44100.0f;
    float silenceThreshold = 1e-7f;
    std::int64_t sampleClock = 0;
    std::int32_t noteCounter = 0;
    float defaultFc = 0.0f;  // DEFAULTFC, kept across voices: POST sees the last voice's value
    VoiceTable voices;
    ControllerSpace controllers;
    Transport transport;
    Noise noise;
    const CurveTable* curves = nullptr;
    // The active temperament that ROUNDF snaps to; the base, tracking and centre are each
    // voice's own.
    math::TuningContext tuning;
    // Plays an arpeggio pattern again when a voice's repeat time has passed (the note path).
    NoteRepeater* repeater = nullptr;
    // The slots the oscillators play (owned by the plug-in; null plays nothing) and the
    // interpolation kernel they read through (rebuilt from QUALITY after each compile).
    const SampleBank* samples = nullptr;
    InterpolationKernel kernel;
    fx::DelayMemoryPool delayMemory;  // filled by installInstrument

private:
    // The registers of the sample being rendered for one voice.
    struct SampleFrame {
        int index;  // position in the slice
        std::int64_t t;
        std::int64_t releaseTime;  // the voice's note-off, or a time past the block while held
        float time;
        float lowestStage;
        float phaseModulation;  // the phase modulator's value, in radians
        float frequency;        // FREQ, GAIN and DEFAULTFC of this sample
        float gain;
        float defaultFc;
        bool pedalHeld;
        bool isPost;
    };

    void renderSlice(float* const* inputs, float* const* outputs, int offset, int frames,
                     bool effectMode);
    void renderVoice(Voice& voice, bool isPost, float* const* outputs, int offset, int frames);
    // What both render paths do around a voice's block: show its key and velocities to the
    // controller reads and its registers, and return the frame with its release time and
    // pedal; the layer modulation's view of it; the glide of one sample (false for a sample
    // before the start that does not run); and whether the voice goes on after the block.
    SampleFrame startVoiceBlock(Voice& voice, bool isPost, int frames);
    ModulationSample modulationSample(const Voice& voice, const env::EnvelopeTiming& timing, SampleFrame& frame);
    bool advanceFrequency(Voice& voice, std::int64_t t);
    void finishVoiceBlock(Voice& voice, float blockLevel, float lowestStage, std::int64_t releaseTime, int frames);
    // The block executor: each operation over a run of samples (see BlockPlan.h).
    void renderVoiceInBlocks(Voice& voice, bool isPost, float* const* outputs, int frames);
    // One voice's block in the executor, so that several voices can take their runs in turn.
    struct BlockVoice {
        Voice* voice = nullptr;
        SampleFrame frame{};
        env::EnvelopeTiming modulationTiming{};
        ModulationSample modulation{};  // points at this record's timing and frame: never moved
        float blockLevel = 0.0f;
        float lowestStage = 5.0f;
        int begin = 0;  // the first sample of the current run at which the voice plays
    };
    // `count` voices of one plan (1 .. kGroup, in render order), run by run: each run's
    // registers for every voice, then each operation for every voice, then each voice's mix.
    // The results are those of rendering the voices one after the other when the plan is
    // independent (or there is one voice).
    void renderGroupInBlocks(Voice* const* group, int count, bool isPost, float* const* outputs, int frames);
    // Whether `voice` may join a group (see BlockPlan::independent).
    bool groupable(const Voice& voice) const;
    void startBlock(BlockVoice& b, Voice& voice, bool isPost, int frames);
    // Steps 1 to 3 of a run: registers, HOLD-only slots, steady lanes. Returns the run's first
    // sample at which the voice plays (n: none).
    int prepareRun(BlockVoice& b, bool isPost, float* const* outputs, int runStart, int n);
    void finishRun(BlockVoice& b, const BlockPlan& plan, bool isPost, float* const* outputs, int runStart, int n);
    // Operation j for every voice of the group (FILT, OSCSYN): those that play from the run's
    // first sample at once, the others alone. False, with nothing changed, when it cannot be.
    bool runGroupOperation(int j, BlockVoice* group, int count, int runStart, int n);
    static constexpr int kMaxOperands = compiler::Operation::kMaxOperands;
    // The members (set numbers in `group`) side by side over the whole run.
    bool runFilterGroup(int j, const BlockVoice* group, const int* members, int count,
                        const RunSource (*sources)[kMaxOperands], Stereo* const* results, int n);
    bool runOscSynGroup(int j, const BlockVoice* group, const int* members, int count,
                        const RunSource (*sources)[kMaxOperands], Stereo* const* results, int n);
    void resolveOperands(int j, const Voice& voice, int begin, RunSource* sources, Stereo* held);
    void runOperation(int j, Voice& voice, int runStart, int begin, int end);
    // The lanes, steadiness flags, run registers and run context of group member `set`.
    void selectSet(int set);
    // The registers of a run in which the voice sounds from the first sample with the same
    // FREQ, GAIN and DEFAULTFC throughout.
    void fillSteadyRun(Voice& voice, bool isPost, float* const* outputs, int runStart, int n,
                       std::int64_t releaseTime, float frequency, float gain);
    // The registers of a run of a voice that sounds from the first sample, whose modulation
    // modulatorRun_ holds for each sample.
    void fillModulatedRun(Voice& voice, int runStart, int n, std::int64_t releaseTime);
    // TIME, IN, DURATION and the send buses of a run whose times run.time holds, where the
    // program reads them.
    void fillTimeAndInputLanes(const Voice& voice, int runStart, int n, std::int64_t releaseTime);
    // The controller operands of samples from .. to - 1 of the run: those whose reads hold one
    // value over the samples once, the others sample by sample.
    void readControllers(const Voice& voice, const BlockPlan& plan, std::int64_t runTime, int from, int to);
    const BlockPlan* planFor(const compiler::LayerProgram& program) const;
    void planInstrument(const compiler::CompiledInstrument& instrument);
    Stereo call(int code, const compiler::Operation& op, OperationState& state,
                const Stereo* args, const Voice& voice, SampleFrame& frame);
    Stereo oscillator(int function, const compiler::Operation& op, OperationState& state,
                      const Stereo* args, const Voice& voice, SampleFrame& frame);
    Stereo effect(int function, OperationState& state, const Stereo* args, const SampleFrame& frame);
    // What an oscillator body reads besides its operands, for the sample of `frame`.
    osc::OscillatorContext oscillatorContext(const Voice& voice, SampleFrame& frame);
    void returnDelayMemory(Voice& voice);
    Stereo envelope(int function, OperationState& state, const Stereo* args, const Voice& voice,
                    SampleFrame& frame);
    env::EnvelopeTiming envelopeTiming(const Voice& voice, const SampleFrame& frame) const;
    // What an LFO body reads besides its operands, for the sample of `frame`.
    env::LfoContext lfoContext(const Voice& voice, SampleFrame& frame);
    // The LFO functions (LFO0, LFO, LFO1, LFOSYN; `function` is the function index).
    static bool isLfo(int function);
    static Stereo runLfoFunction(int function, OperationState& state, const Stereo* args,
                                 const env::LfoContext& context);

    Log& log_;
    std::unique_ptr<float[]> inputLeft_;
    std::unique_ptr<float[]> inputRight_;
    std::unique_ptr<float[]> sends_;  // kSendBuses x 2 channels x kMaxBlock
    const float* inLeft_ = nullptr;   // what IN reads in the current slice
    const float* inRight_ = nullptr;
    std::unique_ptr<CurveTable> emptyCurves_;

    // The block executor's plans, one per layer of the installed instrument and one for POST,
    // and its lanes: kRun values of every register and controller operand of the voice being
    // rendered, sized for the largest plan when the instrument is installed.
    std::vector<BlockPlan> layerPlans_;
    BlockPlan postPlan_;
    const compiler::LayerProgram* installedLayers_ = nullptr;
    const compiler::LayerProgram* installedPost_ = nullptr;
    const SampleBank* plannedBank_ = nullptr;  // the slots the plans were made for
    // A group renders with one set of lanes per voice (kGroup sets when some plan is
    // independent, else one); selectSet points the members below at one set.
    std::unique_ptr<Stereo[]> lanes_;
    std::size_t laneCapacity_ = 0;  // in lanes of kRun values, per set
    int laneSets_ = 0;
    std::unique_ptr<std::uint8_t[]> steadySets_;
    std::unique_ptr<std::uint8_t[]> heldSets_;
    Stereo* laneBase_ = nullptr;
    // Per lane: it holds one value, bit for bit, over the run being rendered (from its first
    // sample that plays). Functions without state given only such operands run once per run,
    // and their result is written at that first sample only.
    std::uint8_t* steadyLanes_ = nullptr;
    // Per controller operand of the plan: its reads over the run were done once.
    std::uint8_t* heldControllers_ = nullptr;
    struct RunRegisters {
        float time[kRun];
        float lowestStage[kRun];
        float phaseModulation[kRun];
        float frequency[kRun];
        float gain[kRun];
        float defaultFc[kRun];
        bool holds[kRun];  // HOLD operations run at this sample
        Stereo scratch[kRun];
    };
    std::unique_ptr<RunRegisters[]> runSets_;  // one per set of lanes, sized with them
    RunRegisters* runSet_ = nullptr;
    // The layer modulators of the voice being prepared, over its run (a voice with modulators
    // renders on its own, never side by side).
    ModulatorRun modulatorRun_;
    static_assert(kRun <= ModulatorRun::kMaxSamples);
    // What the operations of the run being rendered need besides the lanes.
    struct RunContext {
        SampleFrame* frame;
        const BlockPlan* plan;
        std::int64_t runTime;  // sample clock of the run's first sample
        float crossfade;
        bool isPost;
    };
    RunContext runContexts_[kGroup]{};
    RunContext* runContext_ = &runContexts_[0];
    Stereo* lane(int index) { return laneBase_ + static_cast<std::size_t>(index) * kRun; }
    void markSteady(int index, int begin, int end);
    // A result that holds over the run is written at the run's first sample only and marked
    // steady; this writes it through the rest of the run for a reader that wants every sample.
    void materialize(int index, int begin, int end);

    float* send(int bus, int channel) {
        return sends_.get() + (static_cast<std::size_t>(bus) * 2 + static_cast<std::size_t>(channel)) * kMaxBlock;
    }
};

}  // namespace tess
