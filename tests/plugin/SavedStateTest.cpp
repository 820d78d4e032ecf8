// The saved state through the VST chunk calls: a save restored into a new instance sounds the
// same, short and long chunks, the path's limit, a moved instrument, every order a host may
// restore in, and chunks of any length and content.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "plugin/HostSession.h"
#include "state/StateChunk.h"
#include "support/SignalMeasures.h"
#include "support/TestSupport.h"
#include "tessarine/WavFile.h"

namespace tess {
namespace {

using test::HostSession;
using Bytes = std::vector<unsigned char>;

constexpr int kRate = HostSession::kRate;

// An instrument whose sound depends on each thing a state saves: an integer parameter (the
// level, read without smoothing), a keyswitch (the octave), the temperament (chosen by
// program change) and the sample in slot 2, which a sample panel may replace.
const char* kInstrument =
    "VSTVAR 0, 2, \"Level\", \"\", 0, 10, 2\n"
    "VSTVAR 1, 0.25, \"Rate\", \"beats\", 0.0625, 4, 3\n"
    "KEYSWITCH \"Octave\", 0, 24, 24, 25, 0, 0, \"Low\", \"High\"\n"
    "TEMPERAMENT \"Up\", 50, 50, 50, 50, 50, 50, 50, 50, 50, 50, 50, 50\n"
    "TEMPERAMENTCC 134\n"
    "SAMPLE 2, 0\n"
    "SAMPLEUI 2, 10, 10, \"Swap\"\n"
    "LAYER\n"
    "OUT = OSCENV(2, 0.001, 1, 1, 0.01) * MCC(600) * 0.05 * (1 + MCC(425)) * (1 + MCC(601))\n";

class SavedState : public ::testing::Test {
protected:
    SavedState() {
        test::writeFile(home.file("Settings.ini"), "VSTVARS 8\r\n");
        test::writeFile(home.file("state.txt"), kInstrument);
        // The panel's file: a second of silence, then a 220 Hz tone. The panel reads it from
        // frame 44100, so the tone starts at once.
        std::vector<float> tone(2 * kRate, 0.0f);
        for (int i = kRate; i < 2 * kRate; ++i) tone[i] = 0.8f * static_cast<float>(std::sin(6.283185307 * 220.0 * (i - kRate) / kRate));
        tool::WavWriter writer;
        std::string error;
        EXPECT_TRUE(writer.open(home.file("late.wav"), kRate, tool::WavEncoding::Float32, error)) << error;
        EXPECT_TRUE(writer.write(tone.data(), tone.data(), tone.size(), error)) << error;
        EXPECT_TRUE(writer.close(error)) << error;
    }

    // The phrase every comparison renders: two notes.
    static std::vector<test::TimedMidi> phrase() {
        return {test::noteOnAt(0, 57), test::noteOffAt(9000, 57), test::noteOnAt(11000, 64), test::noteOffAt(20000, 64)};
    }

    // An instance whose user changed everything a state keeps.
    void configure(HostSession& session) {
        ASSERT_TRUE(session.loadInstrument(home.file("state.txt")));
        session.setParameter(0, 0.7f);  // level 7
        session.setParameter(1, 0.06f);  // 0.3 beats: 1/4
        session.render(HostSession::kBlock, {{0, {0x90, 25, 100}}, {1, {0xC0, 2, 0}}});  // high octave, "Up"
        SampleRequest request;
        request.fileName = "late.wav";
        request.start = kRate;
        ASSERT_TRUE(session.plugin()->loadSamplePanel(0, request));
        // The state is taken the way a host takes it: between blocks, with the sound stopped.
        session.host.suspend();
        session.host.resume();
    }

    test::ScopedUserFolder home;
};

TEST_F(SavedState, ARestoredStateSoundsTheSameAsTheSavedOne) {
    HostSession original(HostSession::Where::InProcess);
    configure(original);
    const Bytes saved = original.getChunk();
    ASSERT_EQ(saved.size(), StateChunk::kSize);
    EXPECT_EQ(original.getChunk(true), saved);  // a program save is the bank save
    const std::vector<float> expected = original.render(kRate / 2, phrase());

    HostSession restored;  // the built library, as a DAW opening the project
    restored.setChunk(saved);
    EXPECT_EQ(restored.getChunk(), saved);  // same file, values, states, temperament, records
    EXPECT_EQ(restored.text(vst::effGetProgramName), "state.txt");
    EXPECT_EQ(restored.text(vst::effGetParamDisplay, 0), "7");
    EXPECT_EQ(restored.text(vst::effGetParamDisplay, 1), "1/4");
    const std::vector<float> heard = restored.render(kRate / 2, phrase());
    ASSERT_EQ(heard.size(), expected.size());
    for (std::size_t i = 0; i < heard.size(); ++i) ASSERT_EQ(heard[i], expected[i]) << "sample " << i;

    // Each of those settings is audible: the file alone sounds different, and the panel's
    // sample starts where the panel read it, with the tone at once.
    HostSession plain;
    ASSERT_TRUE(plain.loadInstrument(home.file("state.txt")));
    EXPECT_NE(plain.render(kRate / 2, phrase()), expected);
    EXPECT_LT(test::onsetSample(heard, 0.01f), 200);
    // The file's 220 Hz tone sounds at key 69; key 57 an octave down, 50 cents up ("Up").
    EXPECT_NEAR(test::measuredFrequency(test::slice(heard, 500, 8500), kRate),
                220.0 * std::pow(2.0, (57 - 69) / 12.0 + 50.0 / 1200.0), 0.2);
}

TEST_F(SavedState, AChunkOf1024BytesRestoresThePathAndTheParametersOnly) {
    HostSession original(HostSession::Where::InProcess);
    configure(original);
    const Bytes full = original.getChunk();

    HostSession session;
    session.setChunk(full);
    Bytes other = full;
    StateChunk edited;
    edited.copyFrom(other.data(), static_cast<std::int64_t>(other.size()));
    edited.setParameter(0, 0.3f);
    std::memcpy(other.data(), edited.data(), other.size());
    session.setChunk(other.data(), 1024);

    const Bytes after = session.getChunk();
    EXPECT_EQ(session.text(vst::effGetParamDisplay, 0), "3");
    StateChunk now;
    now.copyFrom(after.data(), static_cast<std::int64_t>(after.size()));
    EXPECT_EQ(now.temperament(), 0);        // the staged temperament became 0
    EXPECT_EQ(now.keyswitchState(24), 1);   // no saved keyswitch state fits: the file's choice
    EXPECT_EQ(now.keyswitchState(25), 0);
    EXPECT_EQ(now.panelRecord(0).start, kRate);  // the records keep their earlier content
    EXPECT_TRUE(std::equal(after.begin() + 1544, after.end(), full.begin() + 1544));
}

TEST_F(SavedState, APathOf600CharactersIsSavedCutTo511) {
    HostSession session;
    const std::string path = home.path() + "/" + std::string(600 - home.path().size() - 1, 'x');
    EXPECT_FALSE(session.loadInstrument(path));
    const Bytes saved = session.getChunk();
    const std::string stored(reinterpret_cast<const char*>(saved.data()));
    EXPECT_EQ(stored, path.substr(0, 511));
}

TEST_F(SavedState, AMovedInstrumentIsFoundInThePerUserFolder) {
    test::TempDir elsewhere;
    test::writeFile(elsewhere.file("moved.txt"), "LAYER\nOUT = SIN(6.2831853 * FREQ * TIME) * 0.3 * (SAT((DURATION - TIME) * 100000 + 1) + 1)\n");
    HostSession first;
    ASSERT_TRUE(first.loadInstrument(elsewhere.file("moved.txt")));
    const Bytes saved = first.getChunk();
    // The project opens on a machine where the instrument lies in the per-user folder.
    test::writeFile(home.file("moved.txt"), test::readFile(elsewhere.file("moved.txt")));
    std::remove(elsewhere.file("moved.txt").c_str());

    HostSession session(HostSession::Where::InProcess);
    session.setChunk(saved);
    const std::string log(session.plugin()->log.main.view());
    EXPECT_NE(log.find("Instrument file \"" + elsewhere.file("moved.txt") + "\" not found; loading \"" +
                       home.file("moved.txt") + "\" from the per-user folder instead.\r\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(session.plugin()->instrumentPath, elsewhere.file("moved.txt"));  // saved again as it was
    const std::vector<float> out = session.render(kRate / 4, {test::noteOnAt(0, 69)});
    EXPECT_NEAR(test::measuredFrequency(test::slice(out, 100, out.size()), kRate), 440.0, 0.5);
}

// Hosts restore at different moments; Ardour does it right after switching the plug-in on.
TEST_F(SavedState, ARestoreWorksInEveryHostOrder) {
    test::writeFile(home.file("tone.txt"), "VSTVAR 0, 2, \"Octave\", \"\", 0, 4, 2\n"
                                           "LAYER\nOUT = SIN(6.2831853 * FREQ * MCC(600) * TIME) * 0.3 * (SAT((DURATION - TIME) * 100000 + 1) + 1)\n");
    Bytes saved;
    {
        HostSession source;
        ASSERT_TRUE(source.loadInstrument(home.file("tone.txt")));
        source.setParameter(0, 0.75f);  // 3 times the frequency
        saved = source.getChunk();
    }
    const auto played = [](HostSession& s) {
        const std::vector<float> out = s.render(kRate / 4, {test::noteOnAt(0, 57)});
        return test::measuredFrequency(test::slice(out, 100, out.size()), kRate);
    };
    {
        SCOPED_TRACE("before the plug-in is switched on");
        HostSession s(HostSession::Where::Library, false);
        s.setChunk(saved);
        s.host.resume();
        EXPECT_NEAR(played(s), 660.0, 0.5);
    }
    {
        SCOPED_TRACE("after it is switched on, before the first block");
        HostSession s;
        s.setChunk(saved);
        EXPECT_NEAR(played(s), 660.0, 0.5);
    }
    {
        SCOPED_TRACE("while playing, between blocks");
        HostSession s;
        ASSERT_TRUE(s.loadInstrument(home.file("state.txt")));
        s.render(kRate / 10, {test::noteOnAt(0, 60)});
        s.setChunk(saved);
        s.render(HostSession::kBlock);
        EXPECT_NEAR(played(s), 660.0, 0.5);
    }
    {
        SCOPED_TRACE("from another thread while the audio thread renders");
        HostSession s;
        ASSERT_TRUE(s.loadInstrument(home.file("state.txt")));
        std::thread restorer([&] { s.setChunk(saved); });
        for (int i = 0; i < 200; ++i) s.render(HostSession::kBlock, {test::noteOnAt(0, 60), test::noteOffAt(100, 60)});
        restorer.join();
        s.render(kRate / 10);
        EXPECT_NEAR(played(s), 660.0, 0.5);
    }
}

// Chunks of every length up to past the block's size, of random bytes, and of a real state
// with random damage: none may crash or read past what it is given (the sanitizer build
// checks the reads).
TEST_F(SavedState, ChunksOfAnyLengthAndContentAreSafe) {
    HostSession original(HostSession::Where::InProcess);
    configure(original);
    // The real state, with its panel naming a short file, so that the many restores stay quick.
    Bytes real = original.getChunk();
    StateChunk state;
    state.copyFrom(real.data(), static_cast<std::int64_t>(real.size()));
    SamplePanelRecord record = state.panelRecord(0);
    std::snprintf(record.fileName, sizeof record.fileName, "%s", "short.wav");
    record.start = 10;
    record.end = 200;
    state.setPanelRecord(0, record);
    std::memcpy(real.data(), state.data(), real.size());
    std::string error;
    tool::WavWriter writer;
    const std::vector<float> frames(300, 0.25f);
    ASSERT_TRUE(writer.open(home.file("short.wav"), kRate, tool::WavEncoding::Float32, error) &&
                writer.write(frames.data(), frames.data(), frames.size(), error) && writer.close(error))
        << error;
    test::writeFile(home.file("Settings.ini"), "");  // keep each restore's compile short

    // A restore reads a field only where the chunk covers it, so its behaviour can change only
    // where a field begins or ends: every length through the header and the first two panel
    // records, the last and first bytes around every later record's boundary and the block's end,
    // and every 13th length in between and beyond, up to 20600.
    constexpr std::size_t kEveryLengthUpTo = StateChunk::kPanelsOffset + 2 * StateChunk::kPanelRecordSize;
    std::vector<std::size_t> lengths;
    for (std::size_t length = 0; length <= kEveryLengthUpTo; ++length) lengths.push_back(length);
    for (int record = 3; record <= StateChunk::kPanelRecords; ++record)
        for (std::size_t near = 0; near < 5; ++near)
            lengths.push_back(StateChunk::kPanelsOffset + record * StateChunk::kPanelRecordSize + near - 2);
    for (std::size_t length = kEveryLengthUpTo + 13; length <= 20600; length += 13) lengths.push_back(length);

    HostSession session;
    std::mt19937 random(20488);
    for (const std::size_t length : lengths) {
        // Exactly `length` bytes on the heap, so that a read past them is caught.
        std::unique_ptr<unsigned char[]> chunk(new unsigned char[std::max<std::size_t>(length, 1)]);
        const bool damaged = length % 3 == 0 && length <= real.size();
        for (std::size_t i = 0; i < length; i += 4) {
            const std::uint32_t bits = random();
            for (std::size_t b = 0; b < 4 && i + b < length; ++b)
                chunk[i + b] = !damaged                        ? static_cast<unsigned char>(bits >> (8 * b))
                               : ((bits >> (8 * b)) & 63) != 0 ? real[i + b]
                                                               : static_cast<unsigned char>(random());
        }
        session.setChunk(length == 0 ? nullptr : chunk.get(), length);
        if (length % 97 == 0) session.render(HostSession::kBlock, {test::noteOnAt(0, 60)});
    }
    session.setChunk(real);
    EXPECT_EQ(session.text(vst::effGetProgramName), "state.txt");
}

}  // namespace
}  // namespace tess
