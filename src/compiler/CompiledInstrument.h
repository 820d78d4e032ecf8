// The compiled description of an instrument: one LayerProgram per LAYER, the POST program and
// the settings the directives store. It is rebuilt by each compile and read by the engine,
// which keeps all running state (voices, slot values while playing) apart.
#pragma once

#include <cstdint>
#include <vector>

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

// Settings of the COMMON directives handled by the compiler itself.
struct CommonSettings {
    int numVstVars = 16;  // host parameters shown; VSTVARS changes it
};

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

    // Empties every program and layer setting; keeps the host parameter count.
    void clear() {
        for (LayerProgram& layer : layers) layer.clear();
        post.clear();
        postFrequency = -1.0f;
        layerCount = 0;
        defaultLayerSettings = LayerSettings{};
    }
};

}  // namespace tess::compiler
