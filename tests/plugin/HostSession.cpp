#include "plugin/HostSession.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "plugin/CreateInstance.h"

namespace tess::test {

namespace {

vst::AEffect* inProcessEntry(vst::AudioMasterCallback master) {
    if (master(nullptr, vst::audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    Tessarine* plugin = createEffectInstance(master);
    return plugin != nullptr ? plugin->getAeffect() : nullptr;
}

}  // namespace

HostSession::HostSession(Where where, bool resume) {
    std::string error;
    const bool created = where == Where::Library ? host.load(TESSARINE_PLUGIN_PATH, error)
                                                 : host.create(&inProcessEntry, "in-process Tessarine", error);
    EXPECT_TRUE(created) << error;
    if (!created) return;
    host.open();
    host.prepare(kRate, kBlock);
    if (resume) host.resume();
}

Tessarine* HostSession::plugin() const {
    if (effect() == nullptr || host.name() != "in-process Tessarine") return nullptr;
    return static_cast<Tessarine*>(static_cast<vst::AudioEffect*>(effect()->object));
}

bool HostSession::loadInstrument(std::string path) {
    return host.dispatch(vst::effVendorSpecific, vst::kTessarineLoadInstrument, 0, path.data()) == 1;
}

std::vector<unsigned char> HostSession::getChunk(bool program) {
    void* data = nullptr;
    const vst::VstIntPtr size = host.dispatch(vst::effGetChunk, program ? 1 : 0, 0, &data);
    if (size <= 0 || data == nullptr) return {};
    const auto* bytes = static_cast<const unsigned char*>(data);
    return std::vector<unsigned char>(bytes, bytes + size);
}

void HostSession::setChunk(const void* data, std::size_t size) {
    host.dispatch(vst::effSetChunk, 0, static_cast<vst::VstIntPtr>(size), const_cast<void*>(data));
}

std::vector<float> HostSession::render(std::int64_t frames, const std::vector<TimedMidi>& midi) {
    std::vector<float> all;
    std::vector<float> silence(kBlock, 0.0f), left(kBlock), right(kBlock);
    std::vector<tool::HostMidiEvent> events;
    for (std::int64_t start = 0; start < frames; start += kBlock) {
        const int n = static_cast<int>(std::min<std::int64_t>(kBlock, frames - start));
        events.clear();
        for (const TimedMidi& m : midi)
            if (m.frame >= start && m.frame < start + n) {
                tool::HostMidiEvent e;
                e.deltaFrames = static_cast<int>(m.frame - start);
                std::memcpy(e.bytes, m.bytes, 3);
                events.push_back(e);
            }
        host.process(events.data(), events.size(), silence.data(), silence.data(), left.data(), right.data(), n);
        all.insert(all.end(), left.begin(), left.begin() + n);
    }
    return all;
}

double rms(const std::vector<float>& signal, std::size_t from, std::size_t to) {
    double sum = 0.0;
    to = std::min(to, signal.size());
    for (std::size_t i = from; i < to; ++i) sum += double(signal[i]) * signal[i];
    return to > from ? std::sqrt(sum / double(to - from)) : 0.0;
}

}  // namespace tess::test
