// The host side against a recording plug-in that lives in this test program: the life cycle a
// DAW runs, sample-accurate events, the transport the plug-in sees and the host's answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "tessarine/Render.h"
#include "tessarine/VstHost.h"
#include "tessarine/WavFile.h"
#include "tools/SmfBuilder.h"

namespace tess::tool {
namespace {

using vst::VstInt32;
using vst::VstIntPtr;

constexpr int kSetParameter = -2;  // recorded pseudo-opcodes
constexpr int kProcess = -1;

struct Call {
    int opcode;
    VstInt32 index;
    VstIntPtr value;
    float opt;
};
struct ReceivedEvent {
    std::int64_t absolute;
    vst::VstMidiEvent event;
};
struct Block {
    std::int64_t start;
    int frames;
    vst::VstTimeInfo time;
    VstIntPtr level;
};

// A plug-in that records what the host does. A synth writes velocity/127 on the left and its
// negative on the right at each note-on's frame; an effect writes half its inputs.
struct FakePlugin {
    vst::AEffect effect{};
    vst::AudioMasterCallback host = nullptr;
    VstIntPtr versionAnswer = 0;
    bool synth = true;
    std::vector<Call> calls;
    std::vector<ReceivedEvent> events;
    std::vector<Block> blocks;
    std::vector<std::pair<int, float>> noteOns;  // frame in block, level
    std::string loadedPath;
    std::int64_t position = 0;
};
FakePlugin fake;

VstIntPtr fakeDispatcher(vst::AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    fake.calls.push_back({opcode, index, value, opt});
    switch (opcode) {
        case vst::effProcessEvents: {
            const auto* list = static_cast<const vst::VstEvents*>(ptr);
            for (int i = 0; i < list->numEvents; ++i) {
                vst::VstMidiEvent copy;
                std::memcpy(&copy, list->entry(i), sizeof copy);
                fake.events.push_back({fake.position + copy.deltaFrames, copy});
                if ((copy.midiData[0] & 0xF0) == 0x90 && copy.midiData[2] != 0)
                    fake.noteOns.emplace_back(copy.deltaFrames, copy.midiData[2] / 127.0f);
            }
            return 1;
        }
        case vst::effGetEffectName: std::strcpy(static_cast<char*>(ptr), "Fake"); return 1;
        case vst::effVendorSpecific:
            if (index != vst::kTessarineLoadInstrument) return 0;
            fake.loadedPath = static_cast<const char*>(ptr);
            return 1;
        default: return 0;
    }
}

void fakeProcessReplacing(vst::AEffect* effect, float** inputs, float** outputs, VstInt32 frames) {
    fake.calls.push_back({kProcess, 0, frames, 0.0f});
    const auto* time = reinterpret_cast<const vst::VstTimeInfo*>(fake.host(effect, vst::audioMasterGetTime, 0, 0, nullptr, 0.0f));
    Block block{fake.position, frames, time != nullptr ? *time : vst::VstTimeInfo{},
                fake.host(effect, vst::audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f)};
    fake.blocks.push_back(block);
    for (int c = 0; c < effect->numOutputs; ++c)
        for (int i = 0; i < frames; ++i) outputs[c][i] = fake.synth ? 0.0f : 0.5f * inputs[c][i];
    if (fake.synth) {
        for (const auto& [frame, level] : fake.noteOns) {
            outputs[0][frame] = level;
            if (effect->numOutputs > 1) outputs[1][frame] = -level;
        }
    }
    fake.noteOns.clear();
    fake.position += frames;
}

void fakeSetParameter(vst::AEffect*, VstInt32 index, float value) { fake.calls.push_back({kSetParameter, index, 0, value}); }
float fakeGetParameter(vst::AEffect*, VstInt32) { return 0.0f; }

vst::AEffect* fakeEntry(vst::AudioMasterCallback host) {
    fake.host = host;
    fake.versionAnswer = host(nullptr, vst::audioMasterVersion, 0, 0, nullptr, 0.0f);
    return &fake.effect;
}
vst::AEffect* nullEntry(vst::AudioMasterCallback) { return nullptr; }
vst::AEffect* badMagicEntry(vst::AudioMasterCallback) {
    fake.effect.magic = vst::fourCharCode('V', 's', 't', 'X');
    return &fake.effect;
}

void resetFake(bool synth, int outputs) {
    fake = FakePlugin{};
    fake.synth = synth;
    vst::AEffect& e = fake.effect;
    e.magic = vst::kEffectMagic;
    e.dispatcher = fakeDispatcher;
    e.processReplacing = fakeProcessReplacing;
    e.setParameter = fakeSetParameter;
    e.getParameter = fakeGetParameter;
    e.numInputs = synth ? 0 : 2;
    e.numOutputs = outputs;
    e.numParams = 4;
    e.numPrograms = 1;
    e.flags = vst::effFlagsCanReplacing | (synth ? vst::effFlagsIsSynth : 0);
}

struct Rendered {
    int status;
    std::string out, err;
    WavAudio audio;
};

Rendered render(const RenderOptions& options) {
    VstHost host;
    std::string error;
    Rendered result{};
    EXPECT_TRUE(host.create(fakeEntry, "fake", error)) << error;
    std::ostringstream out, err;
    result.status = renderWithHost(host, options, out, err);
    result.out = out.str();
    result.err = err.str();
    if (result.status == 0) {
        EXPECT_TRUE(readWavFile(options.output, result.audio, error)) << error;
    }
    return result;
}

// 8000 Hz, 480 ticks per quarter: 120 BPM in 3/4 (8.333 samples per tick) until tick 480
// (sample 4000), then 240 BPM (4.1667 samples per tick).
std::string songFile() {
    return test::smf(0, 480,
                     {test::SmfTrack()
                          .tempo(0, 500000)
                          .timeSignature(0, 3, 2)
                          .event(1, {0x90, 60, 127})  // tick 1: sample 8.33 -> 8
                          .event(1, {0xB0, 7, 99})    // tick 2: sample 16.67 -> 17, then the note
                          .event(0, {0x90, 62, 64})
                          .event(98, {0xC0, 5})       // tick 100: 833
                          .event(0, {0x90, 64, 32})
                          .tempo(380, 250000)         // tick 480: 4000
                          .event(1, {0x90, 65, 127})  // tick 481: 4004.17 -> 4004
                          .event(95, {0x90, 67, 127}) // tick 576: 4400, a block boundary
                          .event(24, {0x80, 67, 0})   // tick 600: 4500
                          .event(0, {0x90, 69, 127})
                          .end(100)});                // tick 700: 4916.67 -> 4917
}

TEST(HostFakePluginTest, LifeCycleRunsInTheOrderADawUses) {
    resetFake(true, 2);
    test::ScopedUserFolder home;
    test::TempDir dir;
    test::writeFile(dir.file("song.mid"), songFile());
    test::writeFile(dir.file("inst.txt"), "LAYER\nOUT = 0\n");
    RenderOptions options;
    options.plugin = "fake";
    options.midi = dir.file("song.mid");
    options.instrument = dir.file("inst.txt");
    options.parameters = {{1, 0.25f}, {3, 1.0f}};
    options.sampleRate = 8000;
    options.blockSize = 100;
    options.output = dir.file("out.wav");
    const Rendered result = render(options);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(fake.versionAnswer, 2400);
    EXPECT_EQ(fake.loadedPath, dir.file("inst.txt"));
    EXPECT_NE(result.out.find("Instrument loaded: " + dir.file("inst.txt")), std::string::npos) << result.out;

    std::vector<Call> lifecycle;
    for (const Call& call : fake.calls) {
        if (call.opcode == vst::effGetEffectName || call.opcode == vst::effProcessEvents) continue;
        if (call.opcode == kProcess && !lifecycle.empty() && lifecycle.back().opcode == kProcess) continue;
        lifecycle.push_back(call);
    }
    const std::vector<std::pair<int, VstIntPtr>> expected = {
        {vst::effOpen, 0},          {vst::effSetSampleRate, 0}, {vst::effSetBlockSize, 100}, {vst::effVendorSpecific, 0},
        {kSetParameter, 0},         {kSetParameter, 0},         {vst::effMainsChanged, 1},   {vst::effStartProcess, 0},
        {kProcess, 100},            {vst::effStopProcess, 0},   {vst::effMainsChanged, 0},   {vst::effClose, 0},
    };
    ASSERT_EQ(lifecycle.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("call " + std::to_string(i));
        EXPECT_EQ(lifecycle[i].opcode, expected[i].first);
        EXPECT_EQ(lifecycle[i].value, expected[i].second);
    }
    EXPECT_EQ(lifecycle[1].opt, 8000.0f);
    EXPECT_EQ(lifecycle[4].index, 1);
    EXPECT_EQ(lifecycle[4].opt, 0.25f);
    EXPECT_EQ(lifecycle[5].index, 3);
    EXPECT_EQ(lifecycle[5].opt, 1.0f);
}

TEST(HostFakePluginTest, EventsArriveAtTheirExactSampleInsideTheRightBlock) {
    resetFake(true, 2);
    test::TempDir dir;
    test::writeFile(dir.file("song.mid"), songFile());
    RenderOptions options;
    options.midi = dir.file("song.mid");
    options.sampleRate = 8000;
    options.blockSize = 100;
    options.output = dir.file("out.wav");
    const Rendered result = render(options);
    ASSERT_EQ(result.status, 0) << result.err;

    struct Expected {
        std::int64_t sample;
        int status, data1, data2;
    };
    const std::vector<Expected> expected = {{8, 0x90, 60, 127},  {17, 0xB0, 7, 99},    {17, 0x90, 62, 64},
                                            {833, 0xC0, 5, 0},   {833, 0x90, 64, 32},  {4004, 0x90, 65, 127},
                                            {4400, 0x90, 67, 127}, {4500, 0x80, 67, 0}, {4500, 0x90, 69, 127}};
    ASSERT_EQ(fake.events.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("event " + std::to_string(i));
        const vst::VstMidiEvent& event = fake.events[i].event;
        EXPECT_EQ(fake.events[i].absolute, expected[i].sample);
        EXPECT_EQ(event.type, vst::kVstMidiType);
        EXPECT_EQ(event.byteSize, 32);
        EXPECT_EQ(event.flags, 1);
        EXPECT_GE(event.deltaFrames, 0);
        EXPECT_LT(event.deltaFrames, 100);
        EXPECT_EQ(std::uint8_t(event.midiData[0]), expected[i].status);
        EXPECT_EQ(std::uint8_t(event.midiData[1]), expected[i].data1);
        EXPECT_EQ(std::uint8_t(event.midiData[2]), expected[i].data2);
    }
    EXPECT_NE(result.out.find("MIDI events: 9 sent, 0 returned"), std::string::npos) << result.out;

    // The file is the MIDI length (4917 samples) plus two seconds, the last block shorter.
    ASSERT_EQ(result.audio.left.size(), 4917u + 16000u);
    EXPECT_EQ(fake.blocks.back().frames, 20917 % 100);
    EXPECT_EQ(fake.blocks.back().start, 20900);
    std::vector<std::int64_t> impulses;
    for (std::size_t i = 0; i < result.audio.left.size(); ++i) {
        if (result.audio.left[i] != 0.0f) {
            impulses.push_back(std::int64_t(i));
            EXPECT_EQ(result.audio.right[i], -result.audio.left[i]);
        }
    }
    EXPECT_EQ(impulses, (std::vector<std::int64_t>{8, 17, 833, 4004, 4400, 4500}));
    EXPECT_FLOAT_EQ(result.audio.left[17], 64 / 127.0f);
}

TEST(HostFakePluginTest, TransportFollowsTheTempoMapAndTimeSignature) {
    resetFake(true, 2);
    test::TempDir dir;
    test::writeFile(dir.file("song.mid"), songFile());
    RenderOptions options;
    options.midi = dir.file("song.mid");
    options.sampleRate = 8000;
    options.blockSize = 100;
    options.output = dir.file("out.wav");
    ASSERT_EQ(render(options).status, 0);

    struct Expected {
        std::int64_t start;
        double ppq, tempo, barStart;
    };
    const std::vector<Expected> expected = {
        {0, 0.0, 120.0, 0.0},     {2000, 0.5, 120.0, 0.0}, {4000, 1.0, 240.0, 0.0},
        {5000, 1.5, 240.0, 0.0},  {8000, 3.0, 240.0, 3.0}, {14000, 6.0, 240.0, 6.0},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE("block at " + std::to_string(e.start));
        auto block = std::find_if(fake.blocks.begin(), fake.blocks.end(), [&](const Block& b) { return b.start == e.start; });
        ASSERT_NE(block, fake.blocks.end());
        const vst::VstTimeInfo& time = block->time;
        EXPECT_EQ(time.samplePos, double(e.start));
        EXPECT_EQ(time.sampleRate, 8000.0);
        EXPECT_NEAR(time.ppqPos, e.ppq, 1e-9);
        EXPECT_NEAR(time.tempo, e.tempo, 1e-9);
        EXPECT_NEAR(time.barStartPos, e.barStart, 1e-9);
        EXPECT_EQ(time.timeSigNumerator, 3);
        EXPECT_EQ(time.timeSigDenominator, 4);
        const VstInt32 required = vst::kVstTransportPlaying | vst::kVstTempoValid | vst::kVstTimeSigValid |
                                  vst::kVstPpqPosValid | vst::kVstBarsValid;
        EXPECT_EQ(time.flags & required, required);
        EXPECT_EQ((time.flags & vst::kVstTransportChanged) != 0, e.start == 0);
        EXPECT_EQ(block->level, 2);  // real-time while processing
    }
}

TEST(HostFakePluginTest, TempoOptionSetsTheTransportWithoutAMidiFile) {
    resetFake(true, 2);
    test::TempDir dir;
    RenderOptions options;
    options.tempo = 90.0;
    options.seconds = 4.5;
    options.sampleRate = 1000;
    options.blockSize = 1000;
    options.output = dir.file("out.wav");
    const Rendered result = render(options);
    ASSERT_EQ(result.status, 0) << result.err;
    ASSERT_EQ(fake.blocks.size(), 5u);  // 4500 frames: four full blocks and one of 500
    EXPECT_EQ(fake.blocks[4].frames, 500);
    EXPECT_DOUBLE_EQ(fake.blocks[4].time.tempo, 90.0);
    EXPECT_NEAR(fake.blocks[4].time.ppqPos, 6.0, 1e-9);  // 4 s at 1.5 quarters per second
    EXPECT_NEAR(fake.blocks[4].time.barStartPos, 4.0, 1e-9);
    EXPECT_EQ(fake.blocks[4].time.timeSigNumerator, 4);
    EXPECT_EQ(result.audio.left.size(), 4500u);
}

TEST(HostFakePluginTest, EffectsProcessTheInputAtItsRateAndLength) {
    resetFake(false, 2);
    test::TempDir dir;
    std::vector<float> left(777), right(777);
    for (std::size_t i = 0; i < left.size(); ++i) {
        left[i] = float(i) / 1000.0f;
        right[i] = -0.75f;
    }
    {
        WavWriter writer;
        std::string error;
        ASSERT_TRUE(writer.open(dir.file("in.wav"), 22050, WavEncoding::Float32, error));
        ASSERT_TRUE(writer.write(left.data(), right.data(), left.size(), error));
        ASSERT_TRUE(writer.close(error));
    }
    RenderOptions options;
    options.input = dir.file("in.wav");
    options.blockSize = 64;
    options.output = dir.file("out.wav");
    const Rendered result = render(options);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("at 22050 Hz"), std::string::npos) << result.out;
    ASSERT_EQ(result.audio.left.size(), left.size());
    for (std::size_t i = 0; i < left.size(); ++i) {
        ASSERT_EQ(result.audio.left[i], 0.5f * left[i]) << i;
        ASSERT_EQ(result.audio.right[i], 0.5f * right[i]) << i;
    }

    // Past the input's end the effect hears silence.
    resetFake(false, 2);
    options.seconds = 2000.0 / 22050;
    const Rendered longer = render(options);
    ASSERT_EQ(longer.audio.left.size(), 2000u);
    EXPECT_EQ(longer.audio.right[776], -0.375f);
    EXPECT_EQ(longer.audio.right[777], 0.0f);
    EXPECT_EQ(longer.audio.right[1999], 0.0f);
}

TEST(HostFakePluginTest, AMonoPluginFeedsBothOutputChannels) {
    resetFake(true, 1);
    test::TempDir dir;
    test::writeFile(dir.file("one.mid"), test::smf(0, 96, {test::SmfTrack().event(10, {0x90, 60, 127}).end()}));
    RenderOptions options;
    options.midi = dir.file("one.mid");
    options.output = dir.file("out.wav");
    const Rendered result = render(options);
    ASSERT_EQ(result.status, 0) << result.err;
    const std::size_t at = 2297;  // 10 ticks of 1/192 s at 44100 Hz = 2296.875
    EXPECT_EQ(result.audio.left[at], 1.0f);
    EXPECT_EQ(result.audio.right[at], 1.0f);
    EXPECT_EQ(result.audio.left[at - 1], 0.0f);
}

TEST(HostFakePluginTest, ParameterIndexBeyondThePluginIsAUsageError) {
    resetFake(true, 2);
    test::TempDir dir;
    RenderOptions options;
    options.parameters = {{4, 0.5f}};
    options.output = dir.file("out.wav");
    const Rendered result = render(options);
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("--param 4: the plug-in has 4 parameters"), std::string::npos) << result.err;
}

TEST(HostFakePluginTest, HostAnswersThePluginsRequests) {
    resetFake(true, 2);
    VstHost host;
    std::string error;
    ASSERT_TRUE(host.create(fakeEntry, "fake", error)) << error;
    host.open();
    host.prepare(48000, 256);
    auto ask = [&](VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f) {
        return fake.host(&fake.effect, opcode, index, value, ptr, opt);
    };

    struct CanDo {
        const char* text;
        VstIntPtr answer;
    };
    const std::vector<CanDo> canDos = {
        {"sendVstEvents", 1},   {"sendVstMidiEvent", 1}, {"sendVstTimeInfo", 1}, {"receiveVstEvents", 1},
        {"receiveVstMidiEvent", 1}, {"startStopProcess", 1}, {"sizeWindow", 0},   {"offline", 0},
        {"openFileSelector", 0}, {"supportShell", 0},    {"", 0},
    };
    for (const CanDo& c : canDos)
        EXPECT_EQ(ask(vst::audioMasterCanDo, 0, 0, const_cast<char*>(c.text)), c.answer) << c.text;
    EXPECT_EQ(ask(vst::audioMasterCanDo), 0);

    EXPECT_EQ(ask(vst::audioMasterVersion), 2400);
    EXPECT_EQ(fake.host(nullptr, vst::audioMasterVersion, 0, 0, nullptr, 0.0f), 2400);
    EXPECT_EQ(ask(vst::audioMasterGetSampleRate), 48000);
    EXPECT_EQ(ask(vst::audioMasterGetBlockSize), 256);
    EXPECT_EQ(ask(vst::audioMasterGetCurrentProcessLevel), 1);  // not inside a process call
    for (VstInt32 opcode : {vst::audioMasterGetVendorString, vst::audioMasterGetProductString}) {
        char text[64];
        std::memset(text, 'x', sizeof text);
        EXPECT_EQ(ask(opcode, 0, 0, text), 1);
        EXPECT_STREQ(text, "Tessarine host");
    }
    const auto* time = reinterpret_cast<const vst::VstTimeInfo*>(ask(vst::audioMasterGetTime));
    ASSERT_NE(time, nullptr);
    EXPECT_EQ(time->sampleRate, 48000.0);

    EXPECT_EQ(ask(vst::audioMasterAutomate, 3, 0, nullptr, 0.75f), 1);
    EXPECT_EQ(host.callbackCounts().automateCalls, 1);
    EXPECT_EQ(host.callbackCounts().lastAutomatedIndex, 3);
    EXPECT_EQ(host.callbackCounts().lastAutomatedValue, 0.75f);

    vst::VstMidiEvent midi[3] = {};
    struct {  // a VstEvents record with room for three pointers
        VstInt32 numEvents;
        VstIntPtr reserved;
        vst::VstEvent* events[3];
    } list{3, 0, {}};
    for (int i = 0; i < 3; ++i) list.events[i] = reinterpret_cast<vst::VstEvent*>(&midi[i]);
    EXPECT_EQ(ask(vst::audioMasterProcessEvents, 0, 0, &list), 1);
    EXPECT_EQ(host.callbackCounts().eventsReturned, 3);
    EXPECT_EQ(host.callbackCounts().eventBlocksReturned, 1);

    for (VstInt32 opcode : {VstInt32(vst::audioMasterIdle), VstInt32(vst::audioMasterIOChanged),
                            VstInt32(vst::audioMasterSizeWindow), VstInt32(vst::audioMasterCurrentId), VstInt32(99),
                            VstInt32(-5)})
        EXPECT_EQ(ask(opcode), 0) << opcode;

    // A size request is recorded, and answered 1 by a host that follows them.
    host.followWindowSizes(true);
    EXPECT_EQ(ask(vst::audioMasterSizeWindow, 900, 520), 1);
    EXPECT_EQ(host.callbackCounts().sizeWindowRequests, 2);
    EXPECT_EQ(host.callbackCounts().requestedWidth, 900);
    EXPECT_EQ(host.callbackCounts().requestedHeight, 520);
}

TEST(HostFakePluginTest, EntriesThatGiveNoPluginAreRefused) {
    struct Case {
        VstEntryProc entry;
        const char* message;
    };
    for (const Case& c : {Case{nullEntry, "fake: the plug-in's entry returned no plug-in"},
                          Case{badMagicEntry, "fake: the entry's record is not a VST plug-in"}}) {
        resetFake(true, 2);
        VstHost host;
        std::string error;
        EXPECT_FALSE(host.create(c.entry, "fake", error));
        EXPECT_EQ(error.rfind(c.message, 0), 0u) << error;
        EXPECT_EQ(host.effect(), nullptr);
    }
}

}  // namespace
}  // namespace tess::tool
