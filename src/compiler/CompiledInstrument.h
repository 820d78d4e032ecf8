// The compiled description of an instrument: one LayerProgram per LAYER, the POST program and
// the settings the directives store. It is rebuilt by each compile and read by the engine,
// which keeps all running state (voices, slot values while playing) apart.
#pragma once

#include <cstdint>
#include <vector>

#include "compiler/CurveTable.h"
#include "compiler/Operation.h"
#include "compiler/OperationLimits.h"

namespace tess::compiler {

// Per-layer settings of the layer directives (GROUP, VELTRACK, the modulation lists, ...).
// The directive handlers fill it in; the compiler only copies the defaults into each new layer.
struct LayerSettings {
    bool operator==(const LayerSettings&) const = default;
};

struct LayerProgram {
    std::vector<Operation> operations;  // the live operations, in source order
    std::vector<float> left;            // initial value of each ResultSlot, left channel
    std::vector<float> right;           // and right channel
    int slotCount = 0;
    LayerSettings settings;

    int operationCount() const { return static_cast<int>(operations.size()); }
    void clear() {
        std::vector<Operation>().swap(operations);
        std::vector<float>().swap(left);
        std::vector<float>().swap(right);
        slotCount = 0;
        settings = LayerSettings{};
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

struct CompiledInstrument {
    CompiledInstrument() : layers(kLayerCapacity) {}

    std::vector<LayerProgram> layers;  // always kLayerCapacity entries
    LayerProgram post;
    // 1.0 when the POST program has at least one operation (the POST step runs), else -1.0.
    float postFrequency = -1.0f;
    int layerCount = 0;  // LAYER sections finished so far
    // Defaults that each new LAYER receives, including lists declared for all future layers.
    LayerSettings defaultLayerSettings;
    CommonSettings common;
    CurveTable curves;  // the CURVE directive's breakpoint curves

    // Empties every program and layer setting; keeps the host parameter count.
    void clear() {
        for (LayerProgram& layer : layers) layer.clear();
        post.clear();
        postFrequency = -1.0f;
        layerCount = 0;
        defaultLayerSettings = LayerSettings{};
        curves.clear();
    }
};

}  // namespace tess::compiler
