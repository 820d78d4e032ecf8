// The audio callbacks never allocate or free heap memory: processEvents and processReplacing,
// driven as a host drives them, over note-ons on fresh voices, note-offs and voices ending,
// voice stealing, arpeggios, controller sweeps and delay and reverb layers. Every event list
// and buffer is made before the counting starts, since the host runs on the same thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "midi/PluginHarness.h"
#include "support/AllocationCounter.h"

namespace tess {
namespace {

using test::MidiMessage;
using test::PluginHarness;

constexpr int kBlock = 256;
// A sine at FREQ that stops at the note's release.
const std::string kGatedSine = "s = SIN(6.2831853 * FREQ * TIME) * (SAT((DURATION - TIME) * 100000 + 1) + 1)\n";
const std::string kDelayLayer =
    "LAYER\n" + kGatedSine + "OUT = REVERB(DELAYFF(s * 0.005, 0.05, 0.1, 3000), 0.2, 0.1, 5000, 10) * 0.1\n";

// The host's side: one prepared event list per block (or none), and the audio buffers.
class RawHost {
public:
    RawHost(PluginHarness& h, int blocks)
        : effect_(h.plugin().getAeffect()), lists_(static_cast<std::size_t>(blocks)), peaks_(lists_.size(), 0.0f) {
        h.recordReturnedEvents = false;
        input_.assign(kBlock, 0.0f);
        left_.assign(kBlock, 0.0f);
        right_.assign(kBlock, 0.0f);
    }
    int blocks() const { return static_cast<int>(lists_.size()); }
    // Adds `message` to the events of block `block`; call before run().
    void at(int block, MidiMessage message) { lists_[static_cast<std::size_t>(block)].messages.push_back(message); }
    void prepare() {
        for (EventList& l : lists_) l.build();
    }
    // processEvents (when the block has events) and processReplacing for blocks [from, to).
    void run(int from, int to) {
        float* inputs[2] = {input_.data(), input_.data()};
        float* outputs[2] = {left_.data(), right_.data()};
        for (int b = from; b < to; ++b) {
            EventList& l = lists_[static_cast<std::size_t>(b)];
            if (!l.messages.empty()) effect_->dispatcher(effect_, vst::effProcessEvents, 0, 0, l.bytes.data(), 0.0f);
            effect_->processReplacing(effect_, inputs, outputs, kBlock);
            for (float s : left_) peaks_[static_cast<std::size_t>(b)] = std::max(peaks_[static_cast<std::size_t>(b)], std::fabs(s));
        }
    }
    // The left channel's peak over blocks [from, to), or over all.
    float peak(int from = 0, int to = -1) const {
        float p = 0.0f;
        for (int b = from; b < (to < 0 ? blocks() : to); ++b) p = std::max(p, peaks_[static_cast<std::size_t>(b)]);
        return p;
    }

private:
    struct EventList {
        std::vector<MidiMessage> messages;
        std::vector<vst::VstMidiEvent> midi;
        std::vector<unsigned char> bytes;
        void build() {
            midi.assign(messages.size(), vst::VstMidiEvent{});
            bytes.assign(sizeof(vst::VstEvents) + messages.size() * sizeof(vst::VstEvent*), 0);
            auto* header = reinterpret_cast<vst::VstEvents*>(bytes.data());
            header->numEvents = static_cast<vst::VstInt32>(messages.size());
            for (std::size_t i = 0; i < messages.size(); ++i) {
                vst::VstMidiEvent& e = midi[i];
                e.type = vst::kVstMidiType;
                e.byteSize = sizeof e;
                e.deltaFrames = messages[i].deltaFrames;
                e.midiData[0] = static_cast<char>(messages[i].status);
                e.midiData[1] = static_cast<char>(messages[i].data1);
                e.midiData[2] = static_cast<char>(messages[i].data2);
                header->entry(static_cast<int>(i)) = reinterpret_cast<vst::VstEvent*>(&e);
            }
        }
    };
    vst::AEffect* effect_;
    std::vector<EventList> lists_;
    std::vector<float> input_, left_, right_;
    std::vector<float> peaks_;  // per block
};

struct Counted {
    long allocations = 0;
    long frees = 0;
};

Counted countBlocks(RawHost& host, int from, int to) {
    test::CountAllocations counting;
    host.run(from, to);
    return {counting.count(), counting.frees()};
}

TEST(AudioThreadAllocation, TheCounterSeesAllocationsAndFrees) {
    test::CountAllocations counting;
    {
        std::vector<int> v;
        v.reserve(1000);
        EXPECT_GE(v.capacity(), 1000u);
    }
    EXPECT_GE(counting.count(), 1);
    EXPECT_GE(counting.frees(), 1);
}

TEST(AudioThreadAllocation, NoCallbackAllocatesOrFreesInAnyPlayingSituation) {
    struct Case {
        const char* what;
        std::string instrument;
        int blocks;
        std::function<void(RawHost&)> play;
        // What the render must show to prove the situation happened.
        std::function<void(PluginHarness&, const RawHost&)> proof;
    };
    const Case cases[] = {
        {"64 note-ons on fresh voices of a delay and reverb layer, their note-offs and ends", kDelayLayer, 1200,
         [](RawHost& host) {
             for (int i = 0; i < 64; ++i) {
                 host.at(0, test::noteOn(i, 30 + i));
                 host.at(40, test::noteOff(i, 30 + i));
             }
         },
         [](PluginHarness& h, const RawHost& host) {
             EXPECT_GT(host.peak(), 0.0f);
             EXPECT_EQ(h.activeVoices(), 0);  // every voice ended and gave its memory back
             EXPECT_EQ(h.engine().delayMemory.freeCount(fx::MemoryKind::Delay),
                       h.engine().delayMemory.capacity().delays);
         }},
        {"twelve notes on four voices: each new note steals one", "POLY 4\n" + kDelayLayer, 60,
         [](RawHost& host) {
             for (int i = 0; i < 12; ++i) host.at(i * 4, test::noteOn(10, 60 + i));
         },
         [](PluginHarness& h, const RawHost&) {
             EXPECT_EQ(h.activeVoices(), 4);
             for (int key = 68; key < 72; ++key) EXPECT_NE(h.voiceOn(key), nullptr) << key;
         }},
        {"a held arpeggio repeating its pattern",
         std::string("ARPEGGIO -1, 0, 127, 0.5, 0, 0, 0.125, 1, 12, 0.25, 0.125, 1\n") + test::kSineLayer, 400,
         [](RawHost& host) {
             host.at(0, test::noteOn(0, 60));
             host.at(390, test::noteOff(0, 60));
         },
         [](PluginHarness&, const RawHost& host) {
             // The pattern comes round every 44100 samples: key 60 for 11025 samples, a pause,
             // key 72 from 22050 on. Its second round sounds, pauses and sounds again.
             const int second = 44100 / kBlock;
             EXPECT_GT(host.peak(second + 2, second + 40), 0.0f);
             EXPECT_EQ(host.peak(second + 45, second + 84), 0.0f);
             EXPECT_GT(host.peak(second + 88, second + 125), 0.0f);
         }},
        {"controller sweeps and pitch bend under held notes",
         "LAYER\n" + kGatedSine + "OUT = s * (MCC(1) + 0.1) * (MCC2(7) + 0.1) * (1 + PBEND) * 0.05\n", 260,
         [](RawHost& host) {
             for (int key : {48, 55, 60, 64}) host.at(0, test::noteOn(0, key));
             for (int b = 1; b < 256; ++b) {
                 host.at(b, test::controlChange(0, 1, b / 2));
                 host.at(b, test::controlChange(128, 7, 127 - b / 2));
                 host.at(b, {64, 0xE0, 0, b / 2});  // pitch bend, coarse
             }
         },
         [](PluginHarness& h, const RawHost& host) {
             EXPECT_EQ(h.activeVoices(), 4);
             EXPECT_GT(host.peak(), 0.0f);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PluginHarness h(c.instrument);
        RawHost host(h, c.blocks);
        c.play(host);
        host.prepare();
        const Counted counted = countBlocks(host, 0, host.blocks());
        EXPECT_EQ(counted.allocations, 0);
        EXPECT_EQ(counted.frees, 0);
        c.proof(h, host);
    }
}

}  // namespace
}  // namespace tess
