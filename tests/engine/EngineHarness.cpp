#include "engine/EngineHarness.h"

#include <cmath>

#include "samples/SampleDirective.h"

namespace tess::test {

EngineHarness::EngineHarness(const std::string& instrumentText, int debugLevel) {
    log.debugLevel = debugLevel;
    compiler = std::make_unique<compiler::InstrumentCompiler>(log, dir.path());
    installSampleDirective(*compiler, *bank, sampleContext);
    sampleContext.instrumentFolder = dir.path();
    writeFile(dir.file("instrument.txt"), instrumentText);
    compiler->reset();
    compiler->compileFile(0, dir.file("instrument.txt"));
    engine = std::make_unique<Engine>(log);
    engine->samples = bank.get();
    const compiler::QualitySettings& q = compiler->instrument().common.quality;
    engine->kernel.build(q.tableSize, q.zeroCrossings, q.windowType, q.windowParameter);
    engine->installInstrument(compiler->instrument());
}

void EngineHarness::render(int frames, std::vector<float>& left, std::vector<float>& right,
                           const TransportInput* time, bool effectMode) {
    left.resize(static_cast<std::size_t>(frames));
    right.resize(static_cast<std::size_t>(frames));
    input.assign(static_cast<std::size_t>(frames), 0.0f);
    float* inputs[2] = {input.data(), input.data()};
    float* outputs[2] = {left.data(), right.data()};
    engine->process(inputs, outputs, frames, time, effectMode);
}

std::vector<float> EngineHarness::renderLeft(double seconds, int block) {
    std::vector<float> all, left, right;
    const auto total = static_cast<long>(seconds * engine->sampleRate);
    for (long done = 0; done < total; done += block) {
        render(block, left, right);
        all.insert(all.end(), left.begin(), left.end());
    }
    all.resize(static_cast<std::size_t>(total));
    return all;
}

double zeroCrossingFrequency(const std::vector<float>& signal, double sampleRate) {
    long first = -1, last = -1, count = 0;
    for (std::size_t i = 1; i < signal.size(); ++i)
        if (signal[i - 1] < 0.0f && signal[i] >= 0.0f) {
            // Interpolated crossing position.
            if (first < 0) first = static_cast<long>(i);
            last = static_cast<long>(i);
            ++count;
        }
    if (count < 2) return 0.0;
    return (count - 1) * sampleRate / static_cast<double>(last - first);
}

float peak(const std::vector<float>& signal, std::size_t from) {
    float p = 0.0f;
    for (std::size_t i = from; i < signal.size(); ++i) p = std::max(p, std::fabs(signal[i]));
    return p;
}

}  // namespace tess::test
