// The block executor against the per-sample path: every example and a corpus of programs are
// rendered twice, once with the engine forced to run sample by sample, and compared sample by
// sample. Both paths call the same function bodies in the same order per operation with the
// same operands, so the output must be bit-identical; any difference is a fault of the executor.
// The corpus also pins down which programs the executor takes and which stay per sample.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "compiler/FunctionTable.h"
#include "compiler/InstrumentCompiler.h"
#include "midi/PluginHarness.h"
#include "plugin/CreateInstance.h"
#include "support/TestSupport.h"
#include "tessarine/Render.h"
#include "tessarine/VstHost.h"
#include "tessarine/WavFile.h"

namespace tess::test {
namespace {

Tessarine* created = nullptr;

vst::AEffect* inProcessEntry(vst::AudioMasterCallback host) {
    created = createEffectInstance(host);
    return created != nullptr ? created->getAeffect() : nullptr;
}

struct Stereo2 {
    std::vector<float> left, right;
};

// Renders an example through the command-line host's render path, in process, so that the
// engine can be told to run per sample.
Stereo2 renderExample(const std::string& name, bool perSample) {
    ScopedUserFolder home;
    const std::string base = std::string(TESSARINE_SOURCE_DIR) + "/examples/" + name;
    tool::RenderOptions options;
    options.instrument = base + ".txt";
    if (std::filesystem::exists(base + ".mid")) options.midi = base + ".mid";
    else options.seconds = 2.0;
    options.output = home.file("out.wav");
    options.progress = false;
    tool::VstHost host;
    std::string error;
    EXPECT_TRUE(host.create(inProcessEntry, "Tessarine", error)) << error;
    if (created == nullptr) return {};
    created->engine.forcePerSample = perSample;
    std::ostringstream out, err;
    EXPECT_EQ(tool::renderWithHost(host, options, out, err), 0) << err.str();
    EXPECT_EQ(out.str().find("rejected"), std::string::npos) << out.str();
    tool::WavAudio audio;
    EXPECT_TRUE(tool::readWavFile(options.output, audio, error)) << error;
    return {audio.left, audio.right};
}

// Index and value of the first sample where two renders differ, for the failure message.
std::string firstDifference(const std::vector<float>& a, const std::vector<float>& b) {
    if (a.size() != b.size()) return "lengths " + std::to_string(a.size()) + " and " + std::to_string(b.size());
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0)
            return "sample " + std::to_string(i) + ": " + std::to_string(a[i]) + " vs " + std::to_string(b[i]);
    return "";
}

float peakOf(const std::vector<float>& v) {
    float p = 0.0f;
    for (float x : v) p = std::max(p, std::fabs(x));
    return p;
}

class ExampleEquivalence : public ::testing::TestWithParam<std::string> {};

TEST_P(ExampleEquivalence, BlockRenderEqualsPerSampleRender) {
    const Stereo2 reference = renderExample(GetParam(), true);
    const Stereo2 blocks = renderExample(GetParam(), false);
    ASSERT_FALSE(reference.left.empty());
    EXPECT_GT(peakOf(reference.left) + peakOf(reference.right), 1e-3f) << "the example is silent";
    EXPECT_EQ(firstDifference(reference.left, blocks.left), "") << "left";
    EXPECT_EQ(firstDifference(reference.right, blocks.right), "") << "right";
}

std::vector<std::string> exampleNames() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(TESSARINE_SOURCE_DIR) + "/examples"))
        if (entry.path().extension() == ".txt") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleEquivalence, ::testing::ValuesIn(exampleNames()),
                         [](const auto& info) {
                             std::string n = info.param;
                             for (char& c : n)
                                 if (c == '-') c = '_';
                             return n;
                         });

TEST(ExampleEquivalence, CoversEveryExample) {
    // Every instrument file of examples/ is one case above; a new example joins by itself.
    EXPECT_GE(exampleNames().size(), 18u);
}

// --- The corpus -------------------------------------------------------------------------------

struct Program {
    const char* name;
    std::string text;
    bool blocks;  // whether the executor runs every layer of it (false: at least one falls back)
};

const std::string kSlots = "SAMPLE 1, 0\nSAMPLE 2, 4\nSAMPLE 3, \"" + std::string(TESSARINE_SOURCE_DIR) +
                           "/examples/samples/tone.wav\"\n";

const std::vector<Program>& corpus() {
    static const std::vector<Program> programs = {
        {"operators",
         "LAYER\na = KEY * 2 + ONVEL / 3 - 1\nb = a ^ 0.5\nc = b\n"
         "OUT = SIN(6.2831853 * FREQ * TIME) * 0.001 * c * GAIN\n",
         true},
        {"math",
         "LAYER\nx = SIN(6.2831853 * FREQ * TIME)\n"
         "m1 = ABS(x) + SAT(x * 3) + SIGM(x, 2) + SIGMDW(x, 2, 0.5) + LOG(ABS(x) + 1) + EXP(x * 0.1)\n"
         "m2 = LIN2DB(ABS(x) + 0.1) * 0.01 + DB2LIN(x * 3) + SEMI(x, 2) + CENTS(x, 50) + SIGN(x)\n"
         "m3 = COPYSIGN(0.3, x) + SINC(x) + POWABS(x, 1.5) + ROUND(x * 4) + FLOOR(x * 4) + CEIL(x * 4)\n"
         "m4 = FRAC(x * 3) + TAN(x * 0.5) + ASIN(x * 0.9) + ACOS(x * 0.9) + ATAN(x) + COS(x)\n"
         "OUT = (m1 + m2 + m3 + m4) * 0.02 * EXP(-3 * TIME)\n",
         true},
        {"stereo",
         "LAYER\nx = SIN(6.2831853 * FREQ * TIME) * 0.1\ny = JOIN(x, x * 0.5)\n"
         "OUT = MONO(y) + LEFT(y) + RIGHT(y) + WIDE(y, 0.5) + GAINS(y, 0.5, 0.7) + PAN(y, 0.3)\n",
         true},
        {"hold and noise",
         "LAYER\nHOLD r = RND(1)\nHOLD k = KEY * 0.01\n"
         "OUT = SHOLD(SIN(6.2831853 * FREQ * TIME), 0.05) * 0.1 * (r + k + 1)\n",
         true},
        {"tuning",
         "LAYER\nf = ROUNDF(FREQ * 1.01) + ROUNDF2(FREQ, 0.5)\n"
         "OUT = SIN(3.14159265 * f * TIME) * 0.1 + TEMPERAMENT * 0 + KEYF * 0 + KEYI * 0\n",
         true},
        {"curves",
         "CURVE 5, 0, 0, 0.5, 0.25, 1, 1, 2, 0.4, 3, 0\nLAYER\nx = SIN(6.2831853 * FREQ * TIME)\n"
         "e = ENVCURVE(0, 5, 0, -0.1, 0, -0.1, 0, -0.1)\n"
         "OUT = (CURVE(5, ABS(x) * 2) + MOD2(5, ABS(x), 5, 0.5, 5, 1)) * e * 0.1\n",
         true},
        {"controllers",
         "LAYER\nw = WHEEL + MCC(1) * 0.5 + PBEND * 0.1 + AFTERTOUCH + POLYAFT + PROGRAM * 0\n"
         "OUT = SIN(6.2831853 * FREQ * TIME) * 0.1 * (1 + w * 0.01) * (BPM + NUM + DEN) * 0.01"
         " + SAMPLERATE * 0 + RANDOM * 0 + OFFVEL * 0\n",
         true},
        {"controller read twice by MCC2",
         "LAYER\nOUT = SIN(6.2831853 * FREQ * TIME) * 0.1 * (MCC2(1) + MCC2(1) + 0.1)\n", false},
        {"controllers read once each by MCC2",
         "LAYER\nw = MCC2(1) * MCC2(135) + MCC2(7) + MCC2(-1) + MCC2(10) * MCC2(133)\n"
         "OUT = SIN(6.2831853 * FREQ * TIME) * 0.1 * (w + 0.1)\n",
         true},
        {"MCC2 beside layer modulation reading other controllers",
         "COMPLEXMOD 0, 135, 7, 100\nGAINMOD 11, 1\nLAYER\n"
         "OUT = SIN(6.2831853 * FREQ * TIME) * 0.1 * (MCC2(1) + 0.1)\n",
         true},
        {"MCC2 and the layer modulation reading one controller",
         "GAINMOD 1, 1\nLAYER\nOUT = SIN(6.2831853 * FREQ * TIME) * 0.1 * (MCC2(1) + 0.1)\n", false},
        {"MCC2 and a COMPLEXMOD amount reading one controller",
         "COMPLEXMOD 0, 7, 7, $135\nLAYER\nOUT = SIN(6.2831853 * FREQ * TIME) * 0.1 * (MCC2(135) + 0.1)\n",
         false},
        {"values that hold for a run, then move",
         "LAYER\nw = MCC2(1)\ng = DB2LIN(-20 + 10 * w) * MOD2(SAT(w * 4), 1, -2, -2, 50, -2)\n"
         "x = 0.5\nx = FILT(0, x, 1000 + 500 * w, 0.7)\ny = 0.25\ny = EXP(y)\n"
         "OUT = SIN(6.2831853 * FREQ * TIME) * g * (x + y) * 0.05\n",
         true},
        {"MCC2 of a computed controller number",
         "LAYER\nn = KEY - 59\nOUT = SIN(6.2831853 * FREQ * TIME) * 0.1 * (MCC2(n) + 0.1)\n", false},
        {"envelopes",
         "LAYER\nx = SIN(6.2831853 * FREQ * TIME)\n"
         "e0 = ENV0(0.01, 0.1, 0.6, 0.2)\ne1 = ENV1(0.01, 0.05, 0.1, 0.7, 0.5, 0.2)\n"
         "e2 = ENV(0, 0.01, 1, 0.1, 0.8, 0.2, 0.6, 0.3, 0, 0, 0)\n"
         "l0 = LFO0(0, 5)\nl1 = LFO(0, 0.1, 0.2, 0.3, 6)\n"
         "OUT = x * (e0 + e1 + e2) * 0.05 * (1 + 0.1 * (l0 + l1))\n",
         true},
        {"an ENV1 release that follows DURATION",
         "LAYER\nr = 0.05 + DURATION * 0.2\nd = 0 - 0.3\n"
         "OUT = SIN(6.2831853 * FREQ * TIME) * 0.1 * ENV1(0.01, d, 0.3, r, 0.002, 0.01)\n",
         true},
        {"lfo with sync",
         "LAYER\nx = SIN(6.2831853 * FREQ * TIME)\nl2 = LFO1(0, 0, 0.1, 0.1, 0.2, 4, 0)\n"
         "OUT = x * 0.1 * (1 + 0.2 * l2) * ENV0(0.01, 0.1, 0.6, 0.2)\n",
         true},
        {"lfo with shape",
         "LAYER\nx = SIN(6.2831853 * FREQ * TIME)\nl3 = LFOSYN(1, 0.3, 0, 0.1, 0.1, 0.2, 3, 0)\n"
         "OUT = x * 0.1 * (1 + 0.2 * l3) * ENV0(0.01, 0.1, 0.6, 0.2)\n",
         true},
        {"synth patch",
         "LAYER\nOUT = FILT(1, OSCSYN(1, 0, 0, 0.3, FREQ, 0), 2000, 0.7) * ENV1(0.01, 0.2, 0, 0.7, 0.3, 0)\n",
         true},
        {"shaped oscillators",
         "LAYER\nOUT = (OSCSYN(0, 1, 0, 0.1, FREQ, 0) + OSCSYN(0, 0.5, 1, 0.1, FREQ * 1.5, 0.3) + OSCSYN(1, 0.3, 0, 0.1, FREQ, 0)"
         " + OSCSYN(2, 0.25, 0, 0.1, FREQ, 0) + OSCSYN(3, 2, 0, 0.1, FREQ, 0) + OSCSYN(4, 0.5, 0, 0.1, -0.25, 0)"
         " + OSCSYN(2, 1, 0, 0.1, FREQ * (1 + 0.01 * SIN(30 * TIME)), 0)) * ENV1(0.01, 0.2, 0, 0.7, 0.3, 0)\n"
         "LAYER\nOUT = OSCSYN(5, 0, 0, 0.05, FREQ, 0) * ENV1(0.01, 0.2, 0, 0.7, 0.3, 0)\n",
         true},
        {"slot oscillators",
         kSlots + "LAYER\nOUT = OSCENV(1, 0.01, 0.1, 0.7, 0.2) * 0.2\nLAYER\nOUT = OSC0(2) * 0.1\n"
                  "LAYER\nOUT = OSC1(1, 0.5) * 0.2\nLAYER\nOUT = OSC0AUTO(1) * 0.2\nLAYER\nOUT = OSC(1, 1, 0.2, FREQ, 0)\n",
         true},
        {"several slot oscillators, no slot draws noise",
         "SAMPLE 1, 0\nSAMPLE 5, 2, 0.5, 2, 1, 0.25, 3\nLAYER\n"
         "OUT = (OSC0(1) + OSC1(5, 0.5) + OSCENV(1, 0.01, 0.1, 0.7, 0.2) + OSC(5, 1, 0.2, FREQ * 2, 0)) * 0.1\n",
         true},
        {"two slot oscillators while a slot draws noise",
         kSlots + "LAYER\nOUT = (OSC0(1) + OSC0(2)) * 0.1\n", false},
        {"a noise slot beside oscillators that play only sampled slots",
         kSlots + "LAYER\nOUT = OSC0(2) * 0.1 + WAVETABLE(3, TIME * 0.1) * 0.2 + "
                  "OSCSAM(3, 0, 0, 0, 0, 0, 0.3, FREQ / 261.63, 0)\n",
         true},
        {"modulated oscillators",
         kSlots + "LAYER\nOUT = OSCENVFM(1, SIN(TIME * 30), 0.01, 0.1, 0.7, 0.2) * 0.2\n"
                  "LAYER\nOUT = OSCENVMOD(1, -6, 30, 0.01, 0.1, 0.7, 0.2) * 0.2\n"
                  "LAYER\nOUT = OSC0FM(1, 0.3) * 0.1 + OSC0MOD(1, -3, 10) * 0.1\n"
                  "LAYER\nOUT = OSC1FM(1, 0.2, 0.5) * 0.1 + OSC1MOD(1, -3, 10, 0.5) * 0.1\n",
         false},
        {"sampled oscillators",
         kSlots + "LAYER\nOUT = OSCSAM(3, 0, 0, 0, 0, 0, 0.3, FREQ / 261.63, 0)\n"
                  "LAYER\nOUT = WAVETABLE(3, TIME * 0.1) * 0.2\n"
                  "LAYER\nOUT = GRAINSYNTH(3, 0.05, 0.02, TIME * 0.1) * 0.2\n"
                  "LAYER\nOUT = WAVESCAN(3, 0.01, TIME * 0.1, 0.5, 0) * 0.2\n",
         true},
        {"filters",
         "FCLFO 0, 1, 3, 0.5, 0, 0, 0.1\nLAYER\nx = FRAC(FREQ * TIME) * 2 - 1\n"
         "OUT = (FILT(2, x, 800 + 400 * TIME, 0.5) + FILT0(1, x, 0.7)) * 0.1 * EXP(-2 * TIME)\n",
         true},
        {"moving cutoffs on stereo and mono signals",
         "LAYER\nx = JOIN(FRAC(FREQ * TIME) * 2 - 1, FRAC(FREQ * 1.01 * TIME) * 2 - 1)\n"
         "y = FRAC(FREQ * TIME) * 2 - 1\nfc = 600 + 500 * TIME\n"
         "OUT = (FILT(1, x, fc, 0.4) + FILT(5, y, fc, JOIN(0.3, 0.6)) + FILT(18, y, JOIN(fc, fc * 1.5), 0.2)"
         " + FILT(-1, y, fc, 0)) * 0.05\n",
         true},
        {"delays",
         "LAYER\nx = SIN(6.2831853 * FREQ * TIME) * EXP(-20 * TIME) * 0.2\n"
         "d = DELAY(x, 0.05) + DELAYF(x, 0.07, 0.4) + DELAYFF(x, 0.03, 0.3, 3000) + DELAY2C(x, 0.02, 0.03, 0.2)\n"
         "e = DELAYFF2(x, 0.04, 0.3, 2000) + DELAYFF3(x, 0.05, 0.3, 2000, 0.5) + DELAYFF4(x, 0.06, 0.3, 2000, 0.5)\n"
         "f = PPDELAY(x, 0.03, 0.4, 0.2, 2500)\n"
         "OUT = (x + d + e + f) * 0.3\n"
         "LAYER\nx = SIN(6.2831853 * FREQ * TIME) * EXP(-20 * TIME) * 0.2\n"
         "d = NIDELAY(x, 0.05) + NIDELAYF(x, 0.07, 0.4) + NIDELAYFF(x, 0.03, 0.3, 3000) + NIDELAY2C(x, 0.02, 0.03, 0.2)\n"
         "e = NIDELAYFF2(x, 0.04, 0.3, 2000) + NIDELAYFF3(x, 0.05, 0.3, 2000, 0.5) + NIDELAYFF4(x, 0.06, 0.3, 2000, 0.5)\n"
         "OUT = (x + d + e + NIPPDELAY(x, 0.03, 0.4, 0.2, 2500)) * 0.3\n",
         true},
        {"reverbs and sends in POST",
         "POST\nw = REVERB(SENDS1, 0.5, 0.3, 5000, 0.5) + REVERB1(SENDS2, 0.5, 0.3, 5000, 0.5, 0.7)\n"
         "OUT = OUT + w + REVERB2(SENDS1, 0.4, 0.3, 5000, 0.5, 0.7, 0.6) * 0.5\n"
         "HOLD g = 0.5\nOUT = OUT * g + IN * 0\n"
         "LAYER\nx = SIN(6.2831853 * FREQ * TIME) * EXP(-8 * TIME) * 0.2\nSENDS1 = x\nSENDS2 = x * SENDS1\n"
         "OUT = x + SENDS1 * 0.1\n",
         true},
        {"feedback through a slot",
         "LAYER\nphase = phase + FREQ / SAMPLERATE\nOUT = SIN(6.2831853 * phase) * 0.1\n", false},
        {"output read before it is written",
         "LAYER\ny = OUT + 0.1\nOUT = SIN(6.2831853 * FREQ * TIME) * y\n", true},
        {"conditional jump",
         "LAYER\ns = SIN(6.2831853 * FREQ * TIME)\nIF s > 0 GOTO done\ns = s * 0.2\nLABEL done\nOUT = s * 0.1\n",
         false},
        {"glide",
         "POLY 1, 1, 0, 0.1\nLAYER\nOUT = SIN(6.2831853 * FREQ * TIME) * 0.1 + DURATION * 0\n", true},
        {"layer modulation",
         kSlots + "FREQLFO 0, 1, 5, 50, 0.2, -0.1, 0.5\nGAINENV 1, 0, -0.1, 0, -0.1, 0.5, -0.5\n"
                  "PHASELFO 0, 0.5, 10, 0.5, 0, 0, 0.1\nLAYER\nOUT = OSC0(1) * 0.2 + DEFAULTFC * 0\n",
         true},
    };
    return programs;
}

// Overlapping notes, releases, a pitch bend, a modulation-wheel sweep and aftertouch.
std::vector<MidiMessage> corpusEvents() {
    std::vector<MidiMessage> events = {noteOn(0, 60, 100), noteOn(3000, 64, 80), noteOn(9000, 67, 110),
                                       {12000, 0xE0, 0, 90},  noteOff(20000, 60, 40), {22000, 0xD0, 70, 0},
                                       noteOn(24000, 72, 90), noteOff(30000, 64), noteOff(34000, 67, 60),
                                       noteOff(40000, 72)};
    for (int k = 0; k < 32; ++k) events.push_back(controlChange(1000 + k * 900, 1, k * 4));
    std::sort(events.begin(), events.end(),
              [](const MidiMessage& a, const MidiMessage& b) { return a.deltaFrames < b.deltaFrames; });
    return events;
}

struct CorpusRender {
    std::vector<float> left, right;
    bool allLayersInBlocks = true;
};

CorpusRender renderProgram(const Program& program, bool perSample) {
    PluginHarness host(program.text);
    host.engine().forcePerSample = perSample;
    CorpusRender result;
    result.left = host.render(50000, corpusEvents(), 256);
    result.right = host.right;
    const compiler::CompiledInstrument& instrument = host.plugin().compiler->instrument();
    for (int layer = 0; layer < instrument.layerCount; ++layer)
        result.allLayersInBlocks = result.allLayersInBlocks && host.engine().runsInBlocks(layer);
    if (instrument.post.operations.size() > 0)
        result.allLayersInBlocks = result.allLayersInBlocks && host.engine().runsInBlocks(-1);
    return result;
}

TEST(ProgramEquivalence, EveryProgramRendersTheSameOnBothPaths) {
    for (const Program& program : corpus()) {
        SCOPED_TRACE(program.name);
        const CorpusRender reference = renderProgram(program, true);
        const CorpusRender blocks = renderProgram(program, false);
        EXPECT_GT(peakOf(reference.left) + peakOf(reference.right), 1e-3f) << "silent";
        EXPECT_EQ(firstDifference(reference.left, blocks.left), "") << "left";
        EXPECT_EQ(firstDifference(reference.right, blocks.right), "") << "right";
        EXPECT_EQ(blocks.allLayersInBlocks, program.blocks);
    }
}

// Controllers that settle and then move again: reads of a settled controller are done once per
// run, so a change after the smoothing has come to rest (in the middle of a run, and one on the
// first sample of a run) must be picked up exactly where the per-sample path picks it up.
TEST(ProgramEquivalence, SettledControllersThatMoveAgain) {
    const std::string text =
        "COMPLEXMOD 0, 135, 1, 100\nGAINMOD 11, 1\nGAINENV 1, 0, -0.1, 0, -0.1, 0.5, -0.5\nLAYER\n"
        "v = MCC2(7)\nw = WHEEL + PBEND * 0.1\n"
        "OUT = SIN(6.2831853 * FREQ * TIME) * 0.1 * (v + 0.1) * (1 + w)\n"
        "LAYER\nOUT = SAT(MCC2(10) * 2 - 0.5) * SIN(6.2831853 * FREQ * 1.5 * TIME) * 0.1\n";
    const std::vector<MidiMessage> events = {
        controlChange(0, 7, 90),   controlChange(0, 1, 30),      noteOn(10, 60, 100),
        controlChange(90000, 7, 20), {100037, 0xE0, 0, 100},     controlChange(110016, 10, 0),
        controlChange(120000, 1, 90), noteOn(125000, 67, 90),     controlChange(130001, 11, 50),
        noteOff(150000, 60),         noteOff(155000, 67)};
    std::vector<float> left[2], right[2];
    for (int perSample = 0; perSample < 2; ++perSample) {
        PluginHarness host(text);
        host.engine().forcePerSample = perSample != 0;
        left[perSample] = host.render(170000, events, 512);
        right[perSample] = host.right;
        if (perSample == 0) {
            EXPECT_TRUE(host.engine().runsInBlocks(0));
            EXPECT_TRUE(host.engine().runsInBlocks(1));
        }
    }
    EXPECT_GT(peakOf(left[1]), 1e-3f);
    EXPECT_EQ(firstDifference(left[1], left[0]), "") << "left";
    EXPECT_EQ(firstDifference(right[1], right[0]), "") << "right";
}

// Voices of a program that touches nothing outside the voice render side by side, their
// filters four to a vector. A chord starting together, notes starting inside a run, stereo
// inputs the vector cannot take and programs that may not group: every render equals the
// per-sample one, and the groups are used exactly where they can be.
TEST(ProgramEquivalence, VoicesRenderedSideBySide) {
    const struct {
        const char* name;
        const char* text;
        bool filtersGroup, oscillatorsGroup;
    } cases[] = {
        {"12 dB low-pass", "LAYER\nOUT = FILT(0, OSCSYN(2, 1, 0, 0.1, FREQ, 0), 2000, 0.5) * ENV1(0.01, 0.2, 0.7, 0.3, 0, 0)\n",
         true, true},
        {"four-stage high-pass, cutoff by key",
         "LAYER\nx = OSCSYN(1, 0.3, 0, 0.2, FREQ, 0)\nOUT = FILT(7, x, 100 + KEY * 20, 0.7) * ENV1(0.02, 0.1, 0.5, 0.2, 0, 0)\n",
         true, true},
        {"band-pass, notch and low minus high in series",
         "LAYER\nx = OSCSYN(3, 0.5, 0, 0.3, FREQ * 1.01, 0)\ny = FILT(9, x, 800, 0.4)\nz = FILT(13, y + x * 0.5, 1500, 0.2)\n"
         "OUT = FILT(16, z, 3000, 0.9) * ENV1(0.005, 0.3, 0.2, 0.1, 0.01, 0.02)\n",
         true, true},
        {"channels that differ", "LAYER\nx = JOIN(OSCSYN(2, 1, 0, 0.1, FREQ, 0), OSCSYN(0, 1, 0, 0.1, FREQ, 0))\n"
         "OUT = FILT(0, x, 1200, 0.5) * ENV1(0.01, 0.2, 0.7, 0.3, 0, 0)\n",
         false, true},
        {"oscillators alone, an octave up with a phase offset",
         "LAYER\nOUT = (OSCSYN(2, 1, 0, 0.1, FREQ * 2, 1.5) + OSCSYN(3, 0.5, 0, 0.1, FREQ, 7)) * ENV1(0.01, 0.2, 0.7, 0.3, 0, 0)\n",
         false, true},
        {"noise (not independent)", "LAYER\nOUT = FILT(0, OSCSYN(5, 1, 0, 0.1, FREQ, 0), 2000, 0.5) * ENV1(0.01, 0.2, 0.7, 0.3, 0, 0)\n",
         false, false},
    };
    const std::vector<MidiMessage> events = {
        noteOn(0, 48, 100), noteOn(0, 52, 90),  noteOn(0, 55, 80),    noteOn(0, 59, 70),    noteOn(0, 62, 60),
        noteOn(0, 67, 50),  noteOn(20017, 72, 100), noteOff(30000, 52), noteOff(30100, 67), noteOn(41000, 53, 90),
        noteOff(60000, 48), noteOff(60000, 55), noteOff(61003, 59), noteOff(70000, 62), noteOff(70000, 72),
        noteOff(80000, 53)};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<float> left[2], right[2];
        std::uint64_t filters = 0, oscillators = 0;
        for (int perSample = 0; perSample < 2; ++perSample) {
            PluginHarness host(c.text);
            host.engine().forcePerSample = perSample != 0;
            left[perSample] = host.render(100000, events, 512);
            right[perSample] = host.right;
            if (perSample == 0) {
                filters = host.engine().groupedFilterRuns;
                oscillators = host.engine().groupedOscillatorRuns;
            }
        }
        EXPECT_GT(peakOf(left[1]), 1e-3f);
        EXPECT_EQ(firstDifference(left[1], left[0]), "") << "left";
        EXPECT_EQ(firstDifference(right[1], right[0]), "") << "right";
        EXPECT_EQ(filters > 0, c.filtersGroup) << filters;
        EXPECT_EQ(oscillators > 0, c.oscillatorsGroup) << oscillators;
    }
}

// The layer modulators run through a whole run each, then combine per sample: through a
// sustain pedal (the release takes the decay time), an OFF trigger's forced release, legato
// re-use of a voice and its restart, and with two noise LFOs (which stay sample by sample).
TEST(ProgramEquivalence, LayerModulatorsOverARun) {
    const std::string modulators =
        "FREQLFO 0, 1, 5, 50, 0.02, -0.03, 0.05\nGAINENV 1, 0.005, 0.01, 0.003, -0.05, 0.4, 0.03\n"
        "FCENV 1200, 0, -0.01, 0, 0.1, 0.2, -0.05\nPHASELFO 3, 0.5, 10, 0.5, 0, 0, 0.02\n"
        "COMPLEXMOD 6, -1, -1, 0.8\n";
    const std::string layer = "LAYER\nOUT = FILT(0, SIN(6.2831853 * FREQ * TIME), DEFAULTFC, 0.5) * GAIN * 0.2\n";
    const struct {
        const char* name;
        std::string text;
        bool overRuns;  // some run takes the modulators through at once
    } cases[] = {
        {"pedal and forced release", "PEDAL 64, -1, 0, 127\nOFFMCCT 20, 64, 127, 0.05\n" + modulators + layer, true},
        {"legato", "POLY 1, 0, 1\n" + modulators + layer, true},
        {"two noise LFOs", "FREQLFO 5, 0, 0.1, 3, 0, 0.01, 0.02\nGAINLFO 5, 0, 0.2, 3, 0, 0.01, 0.02\n" + layer,
         false},
    };
    const std::vector<MidiMessage> events = {
        noteOn(0, 60, 100),         controlChange(5000, 64, 127), noteOn(7013, 64, 90),
        noteOff(9000, 60),          noteOff(12000, 64),           controlChange(20111, 64, 0),
        noteOn(22000, 67, 100),     noteOn(26000, 69, 80),        controlChange(30017, 20, 100),
        noteOff(30000, 69),         noteOn(38000, 72, 90),        noteOn(40050, 74, 90),
        noteOff(41000, 72),         noteOff(50000, 74)};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<float> left[2], right[2];
        std::uint64_t runs = 0;
        for (int perSample = 0; perSample < 2; ++perSample) {
            PluginHarness host(c.text);
            host.engine().forcePerSample = perSample != 0;
            left[perSample] = host.render(60000, events, 512);
            right[perSample] = host.right;
            if (perSample == 0) {
                EXPECT_TRUE(host.engine().runsInBlocks(0));
                runs = host.engine().modulatorRuns;
            }
        }
        EXPECT_GT(peakOf(left[1]), 1e-3f);
        EXPECT_EQ(firstDifference(left[1], left[0]), "") << "left";
        EXPECT_EQ(firstDifference(right[1], right[0]), "") << "right";
        EXPECT_EQ(runs > 0, c.overRuns) << runs;
    }
}

TEST(ProgramEquivalence, CorpusCallsEveryFunctionWithABody) {
    std::string all;
    for (const Program& program : corpus()) all += program.text;
    for (int index = 1; index < compiler::kFunctionCount; ++index) {
        std::string name(compiler::functionName(index));
        while (!name.empty() && name.back() == ' ') name.pop_back();
        // MCC and IF are written without parentheses; PREV has no body.
        if (name.empty() || name[0] == '*' || index == compiler::kFunctionIndexPrev ||
            index == compiler::kFunctionIndexIf || index == compiler::kFunctionIndexMcc)
            continue;
        EXPECT_NE(all.find(name + "("), std::string::npos) << name;
    }
}

}  // namespace
}  // namespace tess::test
