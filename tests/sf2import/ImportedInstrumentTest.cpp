// Imported instruments loaded and played through the plug-in's VST interface, measured; and
// the reference bank TimGM6mb imported whole, every preset compiling without a rejected line.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <fstream>
#include <sstream>

#include "midi/PluginHarness.h"
#include "plugin/vst/VstAbi.h"
#include "samples/AudioFileReader.h"
#include "sf2import/ImportSupport.h"
#include "tessarine/Check.h"

namespace tess::test {
namespace {

constexpr double kPi = 3.14159265358979;

// A sine of 441 Hz at 44100 Hz (100 points a period), 44 periods, looped over whole periods.
SfSample sine(const std::string& name, double amplitude, int period = 100) {
    SfSample s;
    s.name = name;
    for (int k = 0; k < 44 * period; ++k)
        s.points.push_back(static_cast<std::int16_t>(
            std::lround(amplitude * 32767.0 * std::sin(2 * kPi * k / period))));
    s.loopStart = 0;
    s.loopEnd = static_cast<std::uint32_t>(43 * period);
    s.pitch = 69;
    return s;
}

double cents(double measured, double expected) {
    return 1200.0 * std::log2(measured / expected);
}

// Plays `key` through the imported preset (released at `releaseFrame` when above 0); unless
// told otherwise the host first sends the General MIDI controller values, as a host would. The shared reverb of the POST section (host parameter 3, REVERBGAIN,
// starting at 0.1) is turned off: its combs ring at a steady tone's own frequency and would add
// to the zone's dry level that these tests measure.
struct Played {
    std::vector<float> left, right;
};

Played play(const SfBank& bank, int key, int velocity = 127, int releaseFrame = 0,
            bool controllers = true) {
    PluginHarness harness("");
    writeFile(harness.home.file("bank.sf2"), layout(bank.tree()));
    const ImportRun imported =
        importBank(harness.home.file("bank.sf2"), harness.home.file("Imported"));
    EXPECT_TRUE(imported.summary.succeeded) << imported.log;
    std::string path = harness.home.file("Imported/0001_Lead/Instrument.txt");
    vst::AEffect* effect = harness.plugin().getAeffect();
    EXPECT_EQ(effect->dispatcher(effect, vst::effVendorSpecific, vst::kTessarineLoadInstrument, 0,
                                 path.data(), 0.0f),
              1);
    effect->setParameter(effect, 3, 0.0f);
    if (controllers)
        harness.render(
            256, {controlChange(0, 7, 127), controlChange(0, 11, 127), controlChange(0, 10, 64)});
    Played out;
    std::vector<MidiMessage> notes = {noteOn(0, key, velocity)};
    if (releaseFrame > 0) notes.push_back(noteOff(releaseFrame, key));
    out.left = harness.render(22050, notes);
    out.right = harness.right;
    return out;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

double levelDb(double amplitude) {
    return 20.0 * std::log10(amplitude);
}

TEST(ImportedInstrument, PlaysAtTheZonesPitchAndLevel) {
    SfBank bank = simpleBank();
    bank.samples = {sine("Sine", 0.5)};
    bank.samples[0].correction = 10;  // the bank asks for 10 cents more on playback
    // looped, 60 cB of attenuation
    bank.instruments[0].zones = {SfZone{{{54, 1}, {48, 60}, {53, 0}}, {}}};
    const Played out = play(bank, 81);
    const std::vector<float> held = slice(out.left, 11025, 22050);
    const double expected = 441.0 * 2.0 * std::pow(2.0, 10.0 / 1200.0);
    EXPECT_NEAR(cents(measuredFrequency(held, 44100.0), expected), 0.0, 2.0);
    // 60 cB at the reference's 0.4 scale is 2.4 dB; the centre pan -3 dB on each side; the
    // reference's filter adds 1.1 dB.
    const double level = toneAmplitude(held, measuredFrequency(held, 44100.0), 44100.0);
    EXPECT_NEAR(levelDb(level), levelDb(0.5) - 2.4 - 3.0103 + 1.1, 0.3);
    EXPECT_NEAR(levelDb(toneAmplitude(slice(out.right, 11025, 22050), expected, 44100.0)),
                levelDb(level), 0.1);
}

// The zone's low-pass filter against the reference's: a second-order Butterworth (bilinear) at
// the zone's cutoff, whatever the note's velocity, also where the cutoff nears a quarter of the
// sample rate. Each tone is measured against the same zone without a filter.
TEST(ImportedInstrument, TheFilterFollowsTheReferencesResponse) {
    struct Case {
        int cutoffCents;
        int period;  // of the sine, in samples at 44.1 kHz
        int velocity;
    };
    const Case cases[] = {
        {12753, 5, 100},   // 12.9 kHz, tone 8820 Hz
        {12753, 5, 127},
        {10722, 10, 100},  // 4 kHz, tone 4410 Hz
        {10722, 20, 100},  // 4 kHz, tone 2205 Hz
        {9559, 100, 60},   // 2 kHz, tone 441 Hz
    };
    for (const Case& c : cases) {
        const double tone = 44100.0 / c.period;
        const double fc = 8.176 * std::pow(2.0, c.cutoffCents / 1200.0);
        // The bilinear Butterworth low-pass at `tone`.
        const double w0 = 2 * kPi * fc / 44100.0, alpha = std::sin(w0) / (2 * 0.7071068);
        const std::complex<double> z = std::polar(1.0, -2 * kPi * tone / 44100.0);
        const double cw = std::cos(w0);
        const double expected = levelDb(std::abs(((1 - cw) / 2 * (1.0 + 2.0 * z + z * z)) /
                                                 ((1 + alpha) - 2 * cw * z + (1 - alpha) * z * z)));
        double level[2];
        for (int filtered = 0; filtered < 2; ++filtered) {
            SfBank bank = simpleBank();
            bank.samples = {sine("Sine", 0.5, c.period)};
            bank.instruments[0].zones = {SfZone{{{54, 1}, {53, 0}}, {}}};
            if (filtered)
                bank.instruments[0].zones[0].generators.insert(
                    bank.instruments[0].zones[0].generators.begin(),
                    {8, static_cast<std::uint16_t>(c.cutoffCents)});
            const Played out = play(bank, 69, c.velocity);
            level[filtered] = levelDb(toneAmplitude(slice(out.left, 11025, 22050), tone, 44100.0));
        }
        EXPECT_NEAR(level[1] - level[0], expected, 1.2)
            << "cutoff " << fc << " Hz, tone " << tone << " Hz, velocity " << c.velocity;
    }
}

// A pitch envelope released inside its decay falls from where it stands at the reference's
// slope: a whole octave per release time (1 s here), not from the sustain's time.
TEST(ImportedInstrument, TheModulationEnvelopeReleasesFromWhereItStands) {
    SfBank bank = simpleBank();
    bank.samples = {sine("Sine", 0.5)};
    // looped; +1200 cents of pitch envelope decaying over 1 s to a sustain of 0, released over
    // 1 s; the volume envelope released over 1 s too, so the tone is heard on
    bank.instruments[0].zones = {
        SfZone{{{54, 1}, {7, 1200}, {28, 0}, {29, 1000}, {30, 0}, {38, 0}, {53, 0}}, {}}};
    const Played out = play(bank, 69, 127, 11025);  // released at 0.25 s, the envelope at 0.75
    const auto track = pitchTrack(out.left, 44100.0);
    struct Point {
        double seconds, level;
    };
    for (const Point& p : {Point{0.15, 0.85}, Point{0.30, 0.70}, Point{0.45, 0.55}}) {
        double hertz = 0.0;
        for (const auto& [at, f] : track)
            if (at <= p.seconds * 44100.0) hertz = f;
        EXPECT_NEAR(cents(hertz, 441.0), 1200.0 * p.level, 15.0) << p.seconds << " s";
    }
}

// The volume envelope's decay against the reference's straight line in decibels (96 dB per
// decay time, down to the sustain): the tone's mean power over the decay, relative to its
// sustain, within 0.7 dB, for sustains near and far.
TEST(ImportedInstrument, TheVolumeDecayKeepsTheReferencesPower) {
    for (int sustainCentibels : {60, 100, 200, 300}) {
        const double sustainDb = 0.096 * sustainCentibels;
        SfBank bank = simpleBank();
        bank.samples = {sine("Sine", 0.5)};
        // looped; decay -1200 timecents (0.5 s for 96 dB)
        bank.instruments[0].zones = {SfZone{
            {{54, 1}, {36, word(-1200)}, {37, static_cast<std::uint16_t>(sustainCentibels)},
             {53, 0}},
            {}}};
        // No controller is sent: one sent would glide in over the decay.
        const Played out = play(bank, 69, 127, 0, false);
        // Windows of 4 periods; the decay starts after the 1 ms delay, attack and hold.
        const double start = 0.003, reach = 0.5 * sustainDb / 96.0;
        auto power = [&](double from, double to) {
            double sum = 0.0;
            int n = 0;
            for (auto k = static_cast<std::size_t>(from * 44100.0); k + 400 <= to * 44100.0;
                 k += 400, ++n)
                sum += std::pow(toneAmplitude(slice(out.left, k, k + 400), 441.0, 44100.0), 2);
            return sum / n;
        };
        double reference = 0.0;
        int n = 0;
        for (double t = start + 200.0 / 44100.0; t < start + 2 * reach; t += 400.0 / 44100.0, ++n)
            reference += std::pow(10.0, std::max(-96.0 * (t - start) / 0.5, -sustainDb) / 10.0);
        reference /= n;
        const double ours = power(start, start + 2 * reach) / power(0.4, 0.5);
        EXPECT_NEAR(10.0 * std::log10(ours), 10.0 * std::log10(reference) + sustainDb, 0.7)
            << "sustain " << sustainDb << " dB";
    }
}

TEST(ImportedInstrument, StereoZonesPlayTheirOwnChannelWhereTheyArePanned) {
    SfBank bank = simpleBank();
    SfSample left = sine("StrL", 0.5, 100);  // 441 Hz
    left.type = 4;
    left.link = 1;
    SfSample right = sine("StrR", 0.25, 80);  // 551.25 Hz
    right.type = 2;
    right.link = 0;
    bank.samples = {left, right};
    bank.instruments[0].zones = {SfZone{{{17, word(-500)}, {54, 1}, {53, 0}}, {}},
                                 SfZone{{{17, word(500)}, {54, 1}, {53, 1}}, {}}};
    const Played out = play(bank, 69);
    // 10800 samples hold whole periods of both tones, so neither leaks into the other's bin.
    const std::vector<float> l = slice(out.left, 11000, 21800), r = slice(out.right, 11000, 21800);
    EXPECT_NEAR(levelDb(toneAmplitude(l, 441.0, 44100.0)), levelDb(0.5) + 1.1, 0.3);
    EXPECT_NEAR(levelDb(toneAmplitude(r, 551.25, 44100.0)), levelDb(0.25) + 1.1, 0.3);
    // Each side holds only its own sample (the other is more than 50 dB down).
    EXPECT_LT(toneAmplitude(l, 551.25, 44100.0), 0.001);
    EXPECT_LT(toneAmplitude(r, 441.0, 44100.0), 0.001);
}

TEST(ImportedInstrument, TimGM6mbImportsWholeAndEveryPresetCompilesClean) {
    const std::string bank = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    ASSERT_TRUE(std::ifstream(bank).good())
        << "scripts/ensure-packages.sh test installs timgm6mb-soundfont";
    ScopedUserFolder home;
    const ImportRun run = importBank(bank, home.file("Imported"));
    ASSERT_TRUE(run.summary.succeeded)
        << run.log.substr(run.log.size() > 4000 ? run.log.size() - 4000 : 0);
    EXPECT_EQ(run.summary.presets, 136);
    EXPECT_GT(run.summary.layers, 1000);
    int checked = 0;
    for (const std::string& entry : lines(listTree(home.file("Imported")))) {
        if (entry.size() < 15 || entry.substr(entry.size() - 15) != "/Instrument.txt") continue;
        std::ostringstream out, err;
        EXPECT_EQ(tool::runCheck(home.file("Imported/" + entry), 0, out, err), 0) << entry;
        ++checked;
    }
    EXPECT_EQ(checked, 136);
    // SynthStringsC4 ends 32 points before the sample data does: the rest of its guard is silence.
    AudioFileInfo info;
    std::vector<float> v;
    ASSERT_TRUE(readAudioFile(home.file("Imported/0134_Slow_Strings_LP/samples/SynthStringsC4.wav"),
                              0, -1, v, &info));
    ASSERT_EQ(v.size(), 2882136u - 2879424u + 46u);
    for (std::size_t k = v.size() - 14; k < v.size(); ++k) EXPECT_EQ(v[k], 0.0f) << k;
}

}  // namespace
}  // namespace tess::test
