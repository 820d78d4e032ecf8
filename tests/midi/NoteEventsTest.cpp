// MIDI events through the plug-in's VST interface: note-on and note-off timing, the channel
// filter, releases, controllers and MIDI thru.
#include <gtest/gtest.h>

#include "midi/PluginHarness.h"

namespace tess::test {
namespace {

constexpr double kRate = 44100.0;

TEST(NoteEvents, ANoteOnSoundsAtItsKeyFromItsDeltaFrame) {
    PluginHarness host(kSineLayer);
    const std::vector<float> out = host.render(8192, {noteOn(300, 69)});
    EXPECT_EQ(onsetSample(out), 301);  // the sine starts at 0 on sample 300
    EXPECT_NEAR(measuredFrequency(slice(out, 400, 8192), kRate), 440.0, 0.05);
    EXPECT_NEAR(peakLevel(out), 0.2f * 100.0f / 127.0f, 1e-3);
}

TEST(NoteEvents, NoteOffsetPlacesANoteOnButNotANoteOff) {
    PluginHarness host(kSineLayer);
    MidiMessage on = noteOn(20, 69);
    on.noteOffset = 5;
    MidiMessage off = noteOff(100, 69);
    off.noteOffset = 7;
    const std::vector<float> first = host.block(256, {on});
    EXPECT_EQ(onsetSample(first), 6);
    host.block(256, {off});
    // The release follows deltaFrames: one sample after 256 + 100.
    ASSERT_NE(host.voiceOn(69), nullptr);
    EXPECT_EQ(host.voiceOn(69)->releaseTime, 256 + 100 + 1);
}

TEST(NoteEvents, AVelocityZeroNoteOnReleasesWithTheNoteOnVelocity) {
    const struct {
        MidiMessage off;
        float releaseVelocity;
    } cases[] = {
        {{0, 0x90, 60, 0}, 90.0f},    // note-on with velocity 0: the note's own velocity
        {{0, 0x80, 60, 33}, 33.0f},   // note-off: its own velocity
        {{0, 0x80, 60, 33, 0, 0, 5}, 1.0f},  // note-off with a positive noteOffVelocity: 1
    };
    for (const auto& c : cases) {
        PluginHarness host(kSineLayer);
        host.render(4410, {noteOn(0, 60, 90)});
        MidiMessage off = c.off;
        host.block(512, {off});
        ASSERT_NE(host.voiceOn(60), nullptr);
        const Voice& voice = *host.voiceOn(60);
        EXPECT_EQ(voice.releaseTime, 4410 + 1) << c.off.status;
        EXPECT_EQ(voice.releaseVelocity, c.releaseVelocity) << c.off.status;
        const std::vector<float> after = host.render(4410);
        EXPECT_EQ(peakLevel(after), 0.0f);  // the tone stops at its release
    }
}

TEST(NoteEvents, ANoteOffReleasesEveryVoiceOfItsKeyOnItsChannelOnly) {
    PluginHarness host(kSineLayer);
    host.render(2048, {noteOn(0, 60), noteOn(10, 60), noteOn(20, 60, 100, 1), noteOn(30, 62)});
    ASSERT_EQ(host.activeVoices(), 4);
    host.block(256, {noteOff(0, 60)});
    int released = 0, held = 0;
    for (int i = 0; i < VoiceTable::kNoteVoices; ++i) {
        const Voice& v = host.voice(i);
        if (!v.active()) continue;
        if (v.releaseTime >= 0) {
            ++released;
            EXPECT_EQ(v.midiKey, 60);
            EXPECT_EQ(v.channel, 0);
        } else {
            ++held;
        }
    }
    EXPECT_EQ(released, 2);
    EXPECT_EQ(held, 2);  // key 60 on channel 1 and key 62
    const std::vector<float> later = host.render(8192);
    EXPECT_NEAR(toneAmplitude(slice(later, 4410, 8192), keyFrequency(60), kRate), 0.2 * 100 / 127, 0.02);
}

TEST(NoteEvents, EventsOutsideTheMidiChannelsChangeNothing) {
    PluginHarness host(std::string("MIDICH 2, 3\n") + kSineLayer);
    host.render(4096, {noteOn(0, 60, 100, 1), controlChange(10, 7, 99, 4), {20, 0xE4, 0, 0}, noteOn(30, 64, 100, 4)});
    EXPECT_EQ(host.activeVoices(), 0);
    EXPECT_EQ(host.engine().controllers.current(7), 0.0f);
    EXPECT_EQ(host.engine().controllers.current(mcc::kPitchBend), 0.0f);
    const std::vector<float> out = host.render(4096, {noteOn(0, 60, 100, 2), controlChange(10, 7, 99, 3)});
    EXPECT_EQ(host.activeVoices(), 1);
    EXPECT_EQ(host.engine().controllers.current(7), 99.0f);
    EXPECT_GT(peakLevel(out), 0.1f);
}

TEST(NoteEvents, ControllersPressureProgramAndBendAreStoredAtTheirFrame) {
    PluginHarness host(std::string("DEBUG 2\n") + kSineLayer);
    host.block(256, {controlChange(10, 1, 64), {20, 0xD0, 55, 0}, {30, 0xC0, 9, 0}, {40, 0xE0, 0, 64},
                     {50, 0xA0, 60, 77}});
    const ControllerSpace& c = host.engine().controllers;
    EXPECT_EQ(c.current(1), 64.0f);
    EXPECT_EQ(c.switchTime(1), 10);
    EXPECT_EQ(c.current(mcc::kAftertouch), 55.0f);
    EXPECT_EQ(c.current(mcc::kProgram), 9.0f);
    EXPECT_EQ(c.current(mcc::kPitchBend), 0.0f);
    EXPECT_EQ(c.switchTime(mcc::kPitchBend), 40);
    EXPECT_EQ(c.current(mcc::kPolyAftertouchBase + 60), 77.0f);
    const std::string log = host.log();
    for (const char* line : {"MIDI CC #1 set to 64.\r\n", "Channel pressure (Aftertouch) changed to #55.\r\n",
                             "Program changed to #9.\r\n", "Pbend 0.00000 0.0009\r\n",
                             "POLYPHONIC AFTERTOUCH of note #60 set to 77.\r\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
}

// The per-voice controllers 128 to 131 describe the voice being rendered, the POST step
// included: there they read its own key and velocities, which are 0.
TEST(NoteEvents, ThePostStepReadsItsOwnKeyAndVelocityControllers) {
    PluginHarness host(std::string("POST\nOUT = MCC2(128) + MCC2(129) + MCC2(130) + MCC2(131)\n"
                                   "LAYER\nOUT = KEY * 0.001\n"));
    const std::vector<float> out = host.render(1024, {noteOn(0, 60, 100)});
    ASSERT_NE(host.voiceOn(60), nullptr);
    for (std::size_t i = 10; i < out.size(); ++i) ASSERT_EQ(out[i], 0.0f) << i;
}

TEST(NoteEvents, TheEventListGoesBackToTheHostUnchanged) {
    PluginHarness host(kSineLayer);
    MidiMessage sysex{0, 0xF0, 1, 2};
    host.block(256, {noteOn(3, 60), controlChange(4, 7, 1), sysex});
    ASSERT_EQ(host.eventListsReturned, 1);
    EXPECT_EQ(host.lastReturnedList, host.lastSentList);  // the very list the host gave
    ASSERT_EQ(host.returnedEvents.size(), 3u);
    const struct {
        int delta, status, d1, d2;
    } expected[] = {{3, 0x90, 60, 100}, {4, 0xB0, 7, 1}, {0, 0xF0, 1, 2}};
    for (std::size_t i = 0; i < 3; ++i) {
        const vst::VstMidiEvent& e = host.returnedEvents[i];
        EXPECT_EQ(e.type, vst::kVstMidiType);
        EXPECT_EQ(e.deltaFrames, expected[i].delta);
        EXPECT_EQ(static_cast<unsigned char>(e.midiData[0]), expected[i].status);
        EXPECT_EQ(e.midiData[1], expected[i].d1);
        EXPECT_EQ(e.midiData[2], expected[i].d2);
    }
}

TEST(NoteEvents, WhileALoadRunsEventsPassThroughAndStartNothing) {
    PluginHarness host(kSineLayer);
    host.block(64);
    std::vector<unsigned char> storage(sizeof(vst::VstEvents));
    auto* list = reinterpret_cast<vst::VstEvents*>(storage.data());
    vst::VstMidiEvent on{};
    on.type = vst::kVstMidiType;
    on.midiData[0] = static_cast<char>(0x90);
    on.midiData[1] = 60;
    on.midiData[2] = 100;
    list->numEvents = 1;
    list->events[0] = reinterpret_cast<vst::VstEvent*>(&on);
    {
        AudioThreadGuard::LoadScope load(host.plugin().audioGuard);
        EXPECT_EQ(host.plugin().processEvents(list), 1);
    }
    EXPECT_EQ(host.eventListsReturned, 1);
    EXPECT_EQ(host.lastReturnedList, list);
    EXPECT_EQ(host.activeVoices(), 0);
}

}  // namespace
}  // namespace tess::test
