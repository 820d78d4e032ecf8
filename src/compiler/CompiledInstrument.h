// The compiled description of an instrument: one LayerProgram per LAYER, the POST program and
// the settings the directives store. It is rebuilt by each compile and read by the engine,
// which keeps all running state (voices, slot values while playing) apart.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "compiler/CurveTable.h"
#include "compiler/LayerModulation.h"
#include "compiler/Operation.h"
#include "compiler/OperationLimits.h"

namespace tess::compiler {

// A layer's crossfade over a controller (XFADE): type 0 fades in over start .. end, type 1
// fades out; curve 0 linear, 1 square root, 2 exponential.
struct LayerCrossfade {
    float start = 0.0f;
    float end = 0.0f;
    std::int16_t mcc = 0;
    std::int8_t type = 0;
    std::int8_t curve = 0;
    bool operator==(const LayerCrossfade&) const = default;
};

// A condition a note-on must meet for the layer to sound (ONMCCT and its shorthands). MCC
// numbers 1000 .. 1003 stand for first note, legato, round robin and MIDI channel.
struct LayerOnTrigger {
    float lo = 0.0f;
    float hi = 0.0f;
    std::int16_t mcc = -1;
    bool operator==(const LayerOnTrigger&) const = default;
};

// A controller range that releases the layer's voices (OFFMCCT, OFFGROUP on number 1000), with
// the forced release time handed to the release.
struct LayerOffTrigger {
    float lo = 0.0f;
    float hi = 0.0f;
    float release = 0.0f;
    std::int16_t mcc = -1;
    bool operator==(const LayerOffTrigger&) const = default;
};

// Per-layer settings of the layer directives (GROUP, BASEG, VELTRACK, BASEF, KEYTRACK,
// KEYCENTER, XFADE, SAMPLEOFF, ONNOTEON and the trigger lists). A new LAYER starts from the
// instrument's defaultLayerSettings. The five tuning and gain values start unset; a voice then
// takes the COMMON default (LayerToneDefaults).
struct LayerSettings {
    static constexpr float kUnset = -1000.0f;
    static constexpr int kMaxCrossfades = 64;
    static constexpr int kMaxTriggers = 32;

    std::int32_t group = -1;
    float baseGain = kUnset;
    float velocityTracking = kUnset;
    float baseFrequency = kUnset;
    float keyTracking = kUnset;
    float keyCenter = kUnset;
    // ONNOTEON: the keys and velocities (inclusive) that sound the layer.
    float keyMin = 0.0f;
    float keyMax = 127.0f;
    float velocityMin = 0.0f;
    float velocityMax = 127.0f;
    std::int32_t sampleOffset = 0;
    std::int32_t crossfadeCount = 0;
    std::array<LayerCrossfade, kMaxCrossfades> crossfades{};
    std::int32_t onTriggerCount = 0;
    std::array<LayerOnTrigger, kMaxTriggers> onTriggers{};
    std::int32_t offTriggerCount = 0;
    std::array<LayerOffTrigger, kMaxTriggers> offTriggers{};

    bool operator==(const LayerSettings&) const = default;
};

// The COMMON defaults of the tuning and gain values, for layers that leave them unset. Values
// above 1000 (base frequency: above 11000) name a controller read when a voice starts.
struct LayerToneDefaults {
    float baseGain = 1.0f;
    float velocityTracking = 2.0f;
    float baseFrequency = 440.0f;
    float keyTracking = 1.0f;
    float keyCenter = 69.0f;
    bool operator==(const LayerToneDefaults&) const = default;
};

struct LayerProgram {
    std::vector<Operation> operations;  // the live operations, in source order
    std::vector<float> left;            // initial value of each ResultSlot, left channel
    std::vector<float> right;           // and right channel
    int slotCount = 0;
    LayerSettings settings;
    LayerModulation modulation = LayerModulation::unset();

    int operationCount() const { return static_cast<int>(operations.size()); }
    void clear() {
        std::vector<Operation>().swap(operations);
        std::vector<float>().swap(left);
        std::vector<float>().swap(right);
        slotCount = 0;
        settings = LayerSettings{};
        modulation = LayerModulation::unset();
    }
};

// Interpolation quality: the kernel the sample players read is built from these values.
struct QualitySettings {
    int tableSize = 4096;
    int zeroCrossings = 7;  // the kernel's half-width
    int windowType = 6;     // 0 Hamming, 1 Hann, 2 cosine, 3 Lanczos, 4 Gaussian, 5 none, 6 Kaiser
    float windowParameter = 15.0f;
    bool operator==(const QualitySettings&) const = default;
};

// Polyphony, retrigger mode and glide (POLY). Negative retrigger and glide values name a
// controller read when a note starts (see the POLY directive).
struct PolySettings {
    int voices = 256;
    int option = 0;
    int retrigger = 0;
    float glide = 0.0f;
    bool operator==(const PolySettings&) const = default;
};

// One labelled sample button of the editor (SAMPLEUI).
struct SampleUiEntry {
    std::int16_t slot = 0;
    std::int16_t x = 0;
    std::int16_t y = 0;
    char caption[128] = {};
};

// Position and size override of one editor item (UIMOD); -32768 leaves a value as laid out.
struct UiOverride {
    static constexpr std::int16_t kUnchanged = -32768;
    std::int16_t x = kUnchanged;
    std::int16_t y = kUnchanged;
    std::int16_t size = kUnchanged;
};

// Settings of the COMMON directives. The load driver gives the defaults before each compile.
struct CommonSettings {
    static constexpr int kMaxSampleUi = 32;
    static constexpr int kUiItems = 734;

    int numVstVars = 16;  // host parameters shown; VSTVARS changes it
    QualitySettings quality;
    PolySettings poly;
    float silenceThreshold = 1e-7f;
    int midiChannelMin = 0;
    int midiChannelMax = 15;
    int editorWidth = 800;
    int editorHeight = 400;
    int sampleUiCount = 0;
    SampleUiEntry sampleUi[kMaxSampleUi];
    UiOverride uiOverrides[kUiItems];
};

// What a load gives these settings before it compiles: every default above, with the editor
// size and host parameter count the plug-in was created with.
inline void resetCommonSettings(CommonSettings& settings, int editorWidth, int editorHeight, int numVstVars) {
    settings = CommonSettings{};
    settings.editorWidth = editorWidth;
    settings.editorHeight = editorHeight;
    settings.numVstVars = numVstVars;
}

// ---- Key mapping (MAP, VELOCITY, PITCH, TIMING, ARPEGGIO / CHORD, PEDAL, SOSTENUTO) ----

// The keys a mapping directive applies to and the controller that switches it: a switch of -1
// is always on. A range of -1 .. -1 matches no key (the state before any directive).
struct KeyRangeSwitch {
    std::int32_t switchMcc = -1;
    std::int32_t minKey = -1;
    std::int32_t maxKey = -1;
    bool covers(int key) const { return key >= minKey && key <= maxKey; }
    bool operator==(const KeyRangeSwitch&) const = default;
};

// MAP: the pitch class each pitch class sounds as, within its octave. Always 0 .. 11.
struct PitchClassMap {
    KeyRangeSwitch range;
    std::array<std::int32_t, 12> map{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    bool operator==(const PitchClassMap&) const = default;
};

// VELOCITY: input range, output range, curve exponent, random amount; mode 0 maps note-on
// velocities, 1 release velocities, 2 both.
struct VelocityMapping {
    KeyRangeSwitch range;
    std::int32_t minIn = 0;
    std::int32_t maxIn = 127;
    float minOut = 0.0f;
    float maxOut = 0.0f;
    float random = 0.0f;
    float exponent = 1.0f;
    std::int32_t mode = 0;
    bool operator==(const VelocityMapping&) const = default;
};

// PITCH: offset in keys, random spread with its probability, quantisation step (0 none).
struct PitchMapping {
    KeyRangeSwitch range;
    float offset = 0.0f;
    float spread = 0.0f;
    float probability = 0.0f;
    std::int32_t step = 0;
    bool operator==(const PitchMapping&) const = default;
};

// TIMING, all in bars: start offset, random start and duration spreads, trigger rounding.
struct TimingMapping {
    KeyRangeSwitch range;
    float start = 0.0f;
    float startSpread = 0.0f;
    float durationSpread = 0.0f;
    float rounding = 0.0f;
    bool operator==(const TimingMapping&) const = default;
};

// ARPEGGIO and CHORD share this pattern: a chord is a pattern whose step is 0. Step, starts
// and durations are in bars (a negative step plays in reverse), offsets in keys.
struct NotePattern {
    static constexpr int kMaxNotes = 32;
    KeyRangeSwitch range;
    std::int32_t count = 1;
    float step = 0.0f;
    std::array<float, kMaxNotes> start{};
    std::array<float, kMaxNotes> offset{};
    std::array<float, kMaxNotes> duration{};
    std::array<float, kMaxNotes> velocity{};
    NotePattern() {
        duration.fill(0.25f);
        velocity.fill(1.0f);
    }
    bool operator==(const NotePattern&) const = default;
};

// PEDAL and SOSTENUTO: the controllers (MCC numbers, -1 none) that hold every key and that
// hold the keys of a range.
struct PedalControllers {
    std::int32_t allMcc = -1;
    std::int32_t rangeMcc = -1;
    std::int32_t minKey = 0;
    std::int32_t maxKey = 127;
    bool operator==(const PedalControllers&) const = default;
};

struct KeyMappingSettings {
    PitchClassMap map;
    VelocityMapping velocity;
    PitchMapping pitch;
    TimingMapping timing;
    NotePattern pattern;
    PedalControllers pedal;
    PedalControllers sostenuto;
    bool operator==(const KeyMappingSettings&) const = default;
};

// ---- Keyswitches (KEYSWITCH) ----

// Type 0: each key of key1 .. key2 selects one option. Type 1: key1 cycles through min .. max.
// Type 2: key1 steps down and key2 steps up through min .. max.
struct Keyswitch {
    static constexpr int kMaxOptions = 32;
    static constexpr int kNameSize = 32;  // 31 characters and the terminator
    char name[kNameSize] = {};
    char options[kMaxOptions][kNameSize] = {};
    std::int32_t type = 0;
    std::int32_t key1 = 0;
    std::int32_t key2 = 0;
    std::int32_t min = 0;
    std::int32_t max = 0;
};

struct KeyswitchTable {
    static constexpr int kMax = 8;
    static constexpr int kKeys = 128;
    std::int32_t count = 0;
    std::array<Keyswitch, kMax> entries{};
    // The keyswitch each key operates (-1 none) and the initial state of each key, which a
    // load copies into the controller space (MCC 400 + key).
    std::array<std::int32_t, kKeys> owner{};
    std::array<std::int32_t, kKeys> state{};
    KeyswitchTable() { owner.fill(-1); }
};

// ---- Temperaments (TEMPERAMENT, TEMPERAMENTCC) ----

struct Temperament {
    static constexpr int kNameSize = 64;
    char name[kNameSize] = {};
    std::array<float, 12> cents{};  // from C upward: pitch class = key mod 12
};

// Entry 0 "Host Temperament" applies the detune the host sends with each note; entry 1 "Equal
// Temperament" is the plain equal tuning.
struct TemperamentTable {
    static constexpr int kMax = 8192;
    std::vector<Temperament> entries;
    std::int32_t current = 0;  // the compile's selection; the running choice is the player's
    std::int32_t link = -1;    // TEMPERAMENTCC: an MCC number, -1 none
    // The value a selection asks the linked controller or host parameter to take once the
    // compile is over (-1: nothing to write).
    std::int32_t linkValue = -1;

    TemperamentTable() { reset(); }
    void reset() {
        entries.assign(2, Temperament{});
        copyName(entries[0], "Host Temperament");
        copyName(entries[1], "Equal Temperament");
        current = 0;
        link = -1;
        linkValue = -1;
    }
    int count() const { return static_cast<int>(entries.size()); }
    std::string_view name(int index) const {
        if (index < 0 || index >= count()) return {};
        const char* text = entries[static_cast<std::size_t>(index)].name;
        std::size_t n = 0;
        while (n < sizeof(Temperament::name) && text[n] != '\0') ++n;
        return {text, n};
    }
    static void copyName(Temperament& entry, std::string_view text) {
        std::size_t n = 0;
        for (; n + 1 < sizeof entry.name && n < text.size(); ++n) entry.name[n] = text[n];
        for (; n < sizeof entry.name; ++n) entry.name[n] = '\0';
    }
};

struct CompiledInstrument {
    // The layers the compile has reached, grown on the loading thread as LAYER sections start
    // (at most kLayerCapacity), so an instrument holds memory for the layers it has.
    std::vector<LayerProgram> layers;
    LayerProgram post;
    // 1.0 when the POST program has at least one operation (the POST step runs), else -1.0.
    float postFrequency = -1.0f;
    int layerCount = 0;  // LAYER sections finished so far
    // Defaults that each new LAYER receives, including lists declared for all future layers.
    LayerSettings defaultLayerSettings;
    // Modulation defaults of the COMMON section: every compile starts with them off.
    LayerModulation defaultModulation;
    CommonSettings common;
    CurveTable curves;  // the CURVE directive's breakpoint curves
    // Note-on, voice-start and tuning data of the COMMON section.
    LayerToneDefaults toneDefaults;
    KeyMappingSettings keyMapping;
    KeyswitchTable keyswitches;
    TemperamentTable temperaments;

    // Loading thread: the layer `index` (clamped to the capacity) for a compile to write,
    // created empty, with those before it, when the compile first reaches it.
    LayerProgram& layerForWriting(int index) {
        const auto i = static_cast<std::size_t>(std::clamp(index, 0, kLayerCapacity - 1));
        if (layers.size() <= i) layers.resize(i + 1);
        return layers[i];
    }

    // Empties every program and layer setting, giving back the layers' memory; keeps the host
    // parameter count.
    void clear() {
        std::vector<LayerProgram>().swap(layers);
        post.clear();
        postFrequency = -1.0f;
        layerCount = 0;
        defaultLayerSettings = LayerSettings{};
        defaultModulation = LayerModulation{};
        curves.clear();
        toneDefaults = LayerToneDefaults{};
        keyMapping = KeyMappingSettings{};
        keyswitches = KeyswitchTable{};
        temperaments.reset();
    }
};

}  // namespace tess::compiler
