// Compiles instrument text and renders it through the engine, for tests that look at audio.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "common/Log.h"
#include "compiler/InstrumentCompiler.h"
#include "engine/Engine.h"
#include "samples/SampleBank.h"
#include "samples/SampleLoader.h"
#include "support/TestSupport.h"

namespace tess::test {

class EngineHarness {
public:
    explicit EngineHarness(const std::string& instrumentText, int debugLevel = 0);

    // Renders `frames` samples in one host block; returns left and right.
    void render(int frames, std::vector<float>& left, std::vector<float>& right,
                const TransportInput* time = nullptr, bool effectMode = false);
    // Renders `seconds` in blocks of `block` and returns the left channel.
    std::vector<float> renderLeft(double seconds, int block = 512);

    int start(int layer, float key, float velocity = 100.0f) {
        return engine->startVoice(compiler->instrument(), layer, key, velocity, engine->sampleClock);
    }

    Log log;
    TempDir dir;
    // The SAMPLE directive fills this bank while compiling; the engine plays from it.
    std::unique_ptr<SampleBank> bank = std::make_unique<SampleBank>();
    SampleContext sampleContext;
    std::unique_ptr<compiler::InstrumentCompiler> compiler;
    std::unique_ptr<Engine> engine;
    std::vector<float> input;
};

// Frequency from the rising zero crossings of a signal.
double zeroCrossingFrequency(const std::vector<float>& signal, double sampleRate);
float peak(const std::vector<float>& signal, std::size_t from = 0);

}  // namespace tess::test
