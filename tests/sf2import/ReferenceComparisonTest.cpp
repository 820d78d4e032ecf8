// TimGM6mb imported whole and played against FluidSynth, the reference player of SoundFont
// banks: the same notes of a piano, strings, an organ, a drum kit and a plucked bass, rendered
// by FluidSynth (reverb and chorus off) and by the plug-in from the imported instruments (its
// shared reverb off), compared per note for pitch, held level, release time and note count.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "compiler/Text.h"
#include "midi/PluginHarness.h"
#include "plugin/vst/VstAbi.h"
#include "samples/AudioFileReader.h"
#include "sf2import/ImportSupport.h"
#include "sf2import/NoteMeasures.h"
#include "sf2import/SoundFontReader.h"
#include "tools/SmfBuilder.h"

namespace tess::test {
namespace {

const char* const kBank = "/usr/share/sounds/sf2/TimGM6mb.sf2";
constexpr double kRate = 44100.0;
// Every note has a slot of its own: held for 1.2 s, then 1.8 s to die away.
constexpr double kHeldSeconds = 1.2, kSlotSeconds = 3.0;
constexpr int kVelocity = 100;

struct PresetCase {
    const char* label;
    int bank, program;
    int channel;  // the drum kit plays on the General MIDI drum channel
    std::vector<int> keys;
    bool pitched;
};

const std::vector<PresetCase>& cases() {
    static const std::vector<PresetCase> list = {
        {"piano", 0, 0, 0, {48, 60, 72}, true},
        {"strings", 0, 48, 1, {48, 60, 72}, true},
        {"organ", 0, 16, 2, {48, 60, 72}, true},
        {"drums", 128, 0, 9, {36, 38, 42}, false},
        {"plucked bass", 0, 34, 3, {28, 40, 52}, true},
    };
    return list;
}

std::size_t frameOf(double seconds) {
    return static_cast<std::size_t>(std::lround(seconds * kRate));
}

// Slot `n` of the whole performance.
NoteSpan slot(int n) {
    const double start = n * kSlotSeconds;
    return {frameOf(start), frameOf(start + kHeldSeconds), frameOf(start + kSlotSeconds)};
}

// Every case's notes one after another, each case on its own channel, as a Standard MIDI File
// (120 BPM, 480 ticks a quarter: 960 ticks a second).
std::string performance() {
    SmfTrack track;
    track.tempo(0, 500000);
    std::uint32_t pending = 0;
    for (const PresetCase& c : cases()) {
        if (c.channel != 9) {
            track.event(pending, {0xB0 | c.channel, 0, c.bank});
            track.event(0, {0xC0 | c.channel, c.program});
            pending = 0;
        }
        for (int key : c.keys) {
            const auto held = static_cast<std::uint32_t>(kHeldSeconds * 960);
            track.event(pending, {0x90 | c.channel, key, kVelocity});
            track.event(held, {0x80 | c.channel, key, 0});
            pending = static_cast<std::uint32_t>(kSlotSeconds * 960) - held;
        }
    }
    track.end(pending);
    return smf(0, 480, {track});
}

StereoRender readStereo(const std::string& path) {
    StereoRender r;
    std::vector<float> v;
    AudioFileInfo info;
    if (!readAudioFile(path, 0, -1, v, &info) || info.channels != 2) return r;
    for (std::size_t k = 0; k + 1 < v.size(); k += 2) {
        r.left.push_back(v[k]);
        r.right.push_back(v[k + 1]);
    }
    r.rate = info.sampleRate;
    return r;
}

// The folder the import wrote for a bank and program: named after the preset's place in the bank.
std::string presetFolder(const sf2::Bank& bank, int bankNumber, int program) {
    for (std::size_t i = 0; i + 1 < bank.presets.size(); ++i) {
        const sf2::PresetHeader& p = bank.presets[i];
        if (p.bank == bankNumber && p.preset == program)
            return compiler::format("%04d_", static_cast<int>(i + 1));
    }
    return "";
}

std::string folderStartingWith(const std::string& root, const std::string& prefix) {
    std::istringstream entries(listTree(root));
    for (std::string entry; std::getline(entries, entry);)
        if (entry.rfind(prefix, 0) == 0 && entry.find('/') == std::string::npos) return entry;
    return "";
}

// The case's notes in slots 0, 1, 2 ... through the plug-in, with the imported instrument loaded
// and nothing sent but the notes (the instrument sets the General MIDI controller values itself).
StereoRender renderOurs(const std::string& instrument, const PresetCase& c) {
    PluginHarness harness("");
    vst::AEffect* effect = harness.plugin().getAeffect();
    std::string path = instrument;
    EXPECT_EQ(effect->dispatcher(effect, vst::effVendorSpecific, vst::kTessarineLoadInstrument, 0,
                                 path.data(), 0.0f),
              1)
        << harness.log();
    effect->setParameter(effect, 3, 0.0f);  // the shared reverb (REVERBGAIN) off
    std::vector<MidiMessage> events;
    for (std::size_t n = 0; n < c.keys.size(); ++n) {
        const NoteSpan s = slot(static_cast<int>(n));
        events.push_back(noteOn(static_cast<int>(s.on), c.keys[n], kVelocity));
        events.push_back(noteOff(static_cast<int>(s.off), c.keys[n]));
    }
    StereoRender r;
    r.left = harness.render(static_cast<int>(slot(static_cast<int>(c.keys.size())).on), events);
    r.right = harness.right;
    return r;
}

// The same stretch of a longer render.
StereoRender part(const StereoRender& whole, std::size_t from, std::size_t to) {
    StereoRender r;
    r.rate = whole.rate;
    to = std::min(to, whole.frames());
    if (from < to) {
        r.left.assign(whole.left.begin() + from, whole.left.begin() + to);
        r.right.assign(whole.right.begin() + from, whole.right.begin() + to);
    }
    return r;
}

std::string number(std::optional<double> v, const char* format) {
    return v ? compiler::format(format, *v) : std::string("-");
}

// Onsets that fall on the note-ons of the case's slots, and those that do not.
struct OnsetCount {
    int matched = 0, extra = 0;
};
OnsetCount countOnsets(const StereoRender& r, std::size_t notes) {
    double loudest = -200.0;
    for (std::size_t n = 0; n < notes; ++n) {
        const NoteSpan s = slot(static_cast<int>(n));
        loudest = std::max(loudest, rmsDb(r, s.on, s.on + frameOf(0.3)));
    }
    OnsetCount count;
    for (std::size_t at : noteOnsets(r, 0, r.frames(), loudest - 35.0)) {
        bool onNote = false;
        for (std::size_t n = 0; n < notes; ++n) {
            const std::size_t on = slot(static_cast<int>(n)).on;
            onNote |= at + frameOf(0.04) >= on && at <= on + frameOf(0.03);
        }
        onNote ? ++count.matched : ++count.extra;
    }
    return count;
}

TEST(ReferencePlayer, ImportedPresetsSoundLikeFluidSynth) {
    ASSERT_TRUE(std::ifstream(kBank).good())
        << "scripts/ensure-packages.sh test installs timgm6mb-soundfont";
    ScopedUserFolder home;
    const ImportRun run = importBank(kBank, home.file("Imported"));
    ASSERT_TRUE(run.summary.succeeded) << run.log;
    sf2::Bank bank;
    ASSERT_TRUE(sf2::readBank(kBank, bank, sf2::ImportLog({})));

    writeFile(home.file("notes.mid"), performance());
    std::string output;
    const int status = runCommand("fluidsynth -ni -q -F '" + home.file("reference.wav") +
                                      "' -T wav -O float -r 44100 -R 0 -C 0 -g 1 '" + kBank +
                                      "' '" + home.file("notes.mid") + "'",
                                  &output);
    ASSERT_EQ(status, 0) << "scripts/ensure-packages.sh test installs fluidsynth\n" << output;
    const StereoRender reference = readStereo(home.file("reference.wav"));
    ASSERT_GT(reference.frames(), 0u) << output;

    std::string table =
        "preset        note  pitch ref / ours Hz (cents)   level ref / ours dBFS (dB)   "
        "release ref / ours s (%)\n";
    int firstSlot = 0;
    for (const PresetCase& c : cases()) {
        SCOPED_TRACE(c.label);
        const std::string folder =
            folderStartingWith(home.file("Imported"), presetFolder(bank, c.bank, c.program));
        ASSERT_FALSE(folder.empty()) << c.label;
        const StereoRender ours = renderOurs(home.file("Imported/" + folder + "/Instrument.txt"), c);
        const StereoRender ref =
            part(reference, slot(firstSlot).on,
                 slot(firstSlot + static_cast<int>(c.keys.size())).on);
        firstSlot += static_cast<int>(c.keys.size());

        const OnsetCount refOnsets = countOnsets(ref, c.keys.size());
        const OnsetCount ourOnsets = countOnsets(ours, c.keys.size());
        EXPECT_EQ(refOnsets.matched, static_cast<int>(c.keys.size())) << "the reference's notes";
        EXPECT_EQ(refOnsets.extra, 0) << "the reference's notes";
        EXPECT_EQ(ourOnsets.matched, static_cast<int>(c.keys.size())) << "missing notes";
        EXPECT_EQ(ourOnsets.extra, 0) << "extra notes";

        for (std::size_t n = 0; n < c.keys.size(); ++n) {
            const int key = c.keys[n];
            SCOPED_TRACE(key);
            const std::optional<double> expected =
                c.pitched ? std::optional<double>(keyFrequency(key)) : std::nullopt;
            const NoteMeasure a = measureNote(ref, slot(static_cast<int>(n)), expected);
            const NoteMeasure b = measureNote(ours, slot(static_cast<int>(n)), expected);
            std::optional<double> cents, levelDb, releasePercent;
            if (c.pitched) {
                EXPECT_TRUE(a.hertz.has_value()) << "no pitch in the reference";
                EXPECT_TRUE(b.hertz.has_value()) << "no pitch in ours";
                if (a.hertz && b.hertz) {
                    cents = 1200.0 * std::log2(*b.hertz / *a.hertz);
                    EXPECT_LE(std::fabs(*cents), 5.0) << "pitch";
                }
            }
            levelDb = b.levelDb - a.levelDb;
            EXPECT_LE(std::fabs(*levelDb), 3.0) << "level";
            EXPECT_EQ(a.release.has_value(), b.release.has_value()) << "release";
            if (a.release && b.release) {
                releasePercent = 100.0 * (*b.release / *a.release - 1.0);
                EXPECT_LE(std::fabs(*releasePercent), 25.0) << "release";
            }
            table += compiler::format(
                "%-13s %4d  %9s / %-9s (%6s)   %7.2f / %-7.2f (%6s)   %6s / %-6s (%6s)\n", c.label,
                key, number(a.hertz, "%.2f").c_str(), number(b.hertz, "%.2f").c_str(),
                number(cents, "%+.1f").c_str(), a.levelDb, b.levelDb,
                number(levelDb, "%+.2f").c_str(), number(a.release, "%.3f").c_str(),
                number(b.release, "%.3f").c_str(), number(releasePercent, "%+.0f").c_str());
        }
    }
    std::printf("%s", table.c_str());
}

}  // namespace
}  // namespace tess::test
