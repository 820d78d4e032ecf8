// Reloading the loaded instrument while it is played: what the player set survives a reload of
// the same file, the instrument reloads itself when its files change, and the hand-over to the
// new instrument leaves no silent gap.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "plugin/HostSession.h"
#include "plugin/Tessarine.h"
#include "support/TestSupport.h"

namespace tess {
namespace {

using test::controllerAt;
using test::HostSession;
using test::noteOffAt;
using test::noteOnAt;
using test::TimedMidi;

TimedMidi messageAt(std::int64_t frame, int status, int data1, int data2) {
    return {frame, {static_cast<unsigned char>(status), static_cast<unsigned char>(data1),
                    static_cast<unsigned char>(data2)}};
}

// The level the instrument settles at: the mean of the last block of a render.
double settledLevel(const std::vector<float>& signal) {
    double sum = 0.0;
    const std::size_t from = signal.size() - HostSession::kBlock;
    for (std::size_t i = from; i < signal.size(); ++i) sum += signal[i];
    return sum / HostSession::kBlock;
}

// What a row reads after the reload: the level the instrument settles at, whether the sustain
// pedal holds a released key, or the current temperament.
enum class Readout { Level, PedalHolds, Temperament };

struct ReloadCase {
    const char* name;
    const char* before;  // the instrument file at the first load
    const char* after;   // the file at the reload
    bool sameFile;       // reload the same path, else load a copy under another name
    std::vector<TimedMidi> played;  // what the player did before the reload
    std::vector<TimedMidi> then;    // and after it
    float parameter0;    // a host value for parameter 0 before the reload (below 0: none)
    double expected;
    Readout readout = Readout::Level;
};

const char* const kModWheel = "MIDICC 1, 20\nPOST\nOUT = MCC(1) / 1000\n";
const char* const kSustained = "PEDAL 64\nLAYER\nOUT = SIN(6.2831853 * FREQ * TIME) * 0.1\n";
const char* const kTemperament = "TEMPERAMENTCC 20\nPOST\nOUT = 0\n";
const char* const kKeyswitch =
    "KEYSWITCH \"Register\", 0, 24, 24, 25, 0, 0, \"A\", \"B\"\nPOST\nOUT = MCC(425) / 4\n";
const char* const kParameter = "VSTVAR 0, 0.2, \"Level\", \"\", 0, 1, 1\nPOST\nOUT = MCC(600)\n";

TEST(LiveReload, AReloadOfTheSameFileKeepsWhatThePlayerSet) {
    const std::vector<ReloadCase> cases = {
        {"mod wheel", kModWheel, kModWheel, true, {controllerAt(0, 1, 100)}, {}, -1, 0.100},
        {"mod wheel, another file", kModWheel, kModWheel, false, {controllerAt(0, 1, 100)}, {}, -1, 0.020},
        {"mod wheel, its MIDICC changed", kModWheel, "MIDICC 1, 30\nPOST\nOUT = MCC(1) / 1000\n", true,
         {controllerAt(0, 1, 100)}, {}, -1, 0.030},
        {"mod wheel, another MIDICC changed", "MIDICC 1, 20\nMIDICC 7, 90\nPOST\nOUT = MCC(1) / 1000\n",
         "MIDICC 1, 20\nMIDICC 7, 100\nPOST\nOUT = MCC(1) / 1000\n", true, {controllerAt(0, 1, 100)}, {}, -1, 0.100},
        {"pitch bend", "POST\nOUT = PBEND / 4\n", "POST\nOUT = PBEND / 4\n", true, {messageAt(0, 0xE0, 0, 96)}, {},
         -1, 0.125},
        {"channel pressure", "POST\nOUT = AFTERTOUCH / 1000\n", "POST\nOUT = AFTERTOUCH / 1000\n", true,
         {messageAt(0, 0xD0, 80, 0)}, {}, -1, 0.080},
        {"sustain pedal", kSustained, kSustained, true, {controllerAt(0, 64, 127)}, {}, -1, 1, Readout::PedalHolds},
        {"sustain pedal, another file", kSustained, kSustained, false, {controllerAt(0, 64, 127)}, {}, -1, 0,
         Readout::PedalHolds},
        {"keyswitch", kKeyswitch, kKeyswitch, true, {noteOnAt(0, 25), noteOffAt(10, 25)}, {}, -1, 0.25},
        {"keyswitch, another file", kKeyswitch, kKeyswitch, false, {noteOnAt(0, 25), noteOffAt(10, 25)}, {}, -1, 0.0},
        {"temperament", kTemperament, kTemperament, true, {controllerAt(0, 20, 2)}, {}, -1, 2, Readout::Temperament},
        {"temperament, another file", kTemperament, kTemperament, false, {controllerAt(0, 20, 2)}, {}, -1, 0,
         Readout::Temperament},
        {"host parameter", kParameter, kParameter, true, {}, {}, 0.7f, 0.7},
        {"host parameter, its initial value changed", kParameter,
         "VSTVAR 0, 0.4, \"Level\", \"\", 0, 1, 1\nPOST\nOUT = MCC(600)\n", true, {}, {}, 0.7f, 0.4},
    };
    for (const ReloadCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::ScopedUserFolder home;
        HostSession session(HostSession::Where::InProcess);
        const Tessarine& plugin = *session.plugin();
        const std::string first = home.file("live.txt");
        test::writeFile(first, c.before);
        ASSERT_TRUE(session.loadInstrument(first));
        if (c.parameter0 >= 0.0f) session.setParameter(0, c.parameter0);
        session.render(4 * HostSession::kBlock, c.played);

        const std::string second = c.sameFile ? first : home.file("copy.txt");
        test::writeFile(second, c.after);
        ASSERT_TRUE(session.loadInstrument(second));
        const std::vector<float> out = session.render(20000, c.then);
        switch (c.readout) {
            case Readout::Level: EXPECT_NEAR(settledLevel(out), c.expected, 2e-3); break;
            case Readout::PedalHolds: EXPECT_EQ(plugin.engine.controllers.pedals.holds(60, false), c.expected != 0); break;
            case Readout::Temperament: EXPECT_EQ(plugin.notes.temperament(), c.expected); break;
        }
    }
}

// A plug-in in this process, driven by a player thread that renders in real time as a host's
// audio thread does, and records what it rendered.
class RealTimePlayer {
public:
    static constexpr int kBlock = 256;
    static constexpr int kRate = 44100;

    explicit RealTimePlayer(HostSession& session) : session_(session) {}
    ~RealTimePlayer() { stop(); }

    void start() {
        thread_ = std::thread([this] { run(); });
    }
    void stop() {
        running_ = false;
        if (thread_.joinable()) thread_.join();
    }
    // Frames rendered so far.
    std::int64_t frames() const { return frames_.load(); }
    const std::vector<float>& output() const { return output_; }

private:
    void run() {
        std::vector<float> silence(kBlock, 0.0f), left(kBlock), right(kBlock);
        const auto blockTime = std::chrono::microseconds(1000000LL * kBlock / kRate);
        auto next = std::chrono::steady_clock::now();
        while (running_) {
            session_.host.process(nullptr, 0, silence.data(), silence.data(), left.data(), right.data(), kBlock);
            output_.insert(output_.end(), left.begin(), left.end());
            frames_ += kBlock;
            next += blockTime;
            std::this_thread::sleep_until(next);
        }
    }

    HostSession& session_;
    std::thread thread_;
    std::atomic<bool> running_{true};
    std::atomic<std::int64_t> frames_{0};
    std::vector<float> output_;
};

// The longest run of exact zeros in a signal.
std::size_t longestSilence(const std::vector<float>& signal, std::size_t from) {
    std::size_t longest = 0, run = 0;
    for (std::size_t i = from; i < signal.size(); ++i) {
        run = signal[i] == 0.0f ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

// The first frame from which the signal holds `level` (within 1e-3) for a block.
std::int64_t firstFrameAt(const std::vector<float>& signal, double level) {
    for (std::size_t i = 0; i + RealTimePlayer::kBlock <= signal.size(); ++i) {
        bool held = true;
        for (std::size_t k = i; k < i + RealTimePlayer::kBlock && held; k += 16)
            held = std::fabs(signal[k] - level) < 1e-3;
        if (held) return static_cast<std::int64_t>(i);
    }
    return -1;
}

TEST(LiveReload, ASavedFileIsReloadedWithoutASilentGap) {
    test::ScopedUserFolder home;
    HostSession session(HostSession::Where::InProcess);
    Tessarine& plugin = *session.plugin();
    const std::string file = home.file("live.txt");
    test::writeFile(file, "MIDICC 1, 20\nPOST\nOUT = 0.25 + MCC(1) / 1000\n");
    ASSERT_TRUE(session.loadInstrument(file));
    session.render(HostSession::kBlock, {controllerAt(0, 1, 100)});  // the player moves the mod wheel

    RealTimePlayer player(session);
    player.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // An editor that saves in two writes: the file is empty for a moment.
    test::writeFile(file, "");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::int64_t savedAt = player.frames();
    test::writeFile(file, "MIDICC 1, 20\nPOST\nOUT = 0.5 + MCC(1) / 1000\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    player.stop();

    const std::vector<float>& out = player.output();
    const std::int64_t heard = firstFrameAt(out, 0.6);  // the new sound, with the mod wheel kept
    ASSERT_GE(heard, savedAt);
    EXPECT_LT(heard - savedAt, RealTimePlayer::kRate);  // within a second
    EXPECT_EQ(firstFrameAt(out, 0.02), -1);             // never the half-written (empty) file's sound
    EXPECT_LE(longestSilence(out, 0), static_cast<std::size_t>(RealTimePlayer::kBlock));
    const std::string log(plugin.log.main.view());
    EXPECT_EQ(log.rfind("Reloading: " + file + " changed.\r\n", 0), 0u) << log;
}

TEST(LiveReload, AFileThatNoLongerCompilesLeavesTheReasonInTheLog) {
    test::ScopedUserFolder home;
    HostSession session(HostSession::Where::InProcess);
    Tessarine& plugin = *session.plugin();
    const std::string file = home.file("live.txt");
    test::writeFile(file, "POST\nOUT = 0.25\n");
    ASSERT_TRUE(session.loadInstrument(file));
    test::writeFile(file, "POST\nOUT = NOSUCHFUNCTION(1)\n");
    plugin.reloadChangedFile(file);
    const std::string reloaded(plugin.log.main.view());

    // The same file loaded by hand gives the same messages after the first line.
    plugin.selectInstrument(file);
    const std::string manual(plugin.log.main.view());
    const std::string notice = "Reloading: " + file + " changed.\r\n";
    ASSERT_EQ(reloaded.rfind(notice, 0), 0u);
    EXPECT_EQ(reloaded.substr(notice.size()), manual);
    EXPECT_NE(manual.find("NOSUCHFUNCTION"), std::string::npos) << manual;
}

TEST(LiveReload, TheWatchedFilesAreTheInstrumentItsIncludesSettingsAndSamples) {
    test::ScopedUserFolder home;
    HostSession session(HostSession::Where::InProcess);
    Tessarine& plugin = *session.plugin();
    test::writeFile(home.file("part.txt"), "POST\nOUT = 0.1\n");
    test::writeFile(home.file("live.txt"), "INCLUDE \"part.txt\"\n");
    ASSERT_TRUE(session.loadInstrument(home.file("live.txt")));
    std::vector<std::string> files = plugin.watchedFiles();
    std::sort(files.begin(), files.end());
    const std::vector<std::string> expected = {home.file("Settings.ini"), home.file("live.txt"),
                                               home.file("part.txt")};
    EXPECT_EQ(files, expected);

    plugin.selectInstrument("?");  // Settings.ini alone: nothing to watch
    EXPECT_TRUE(plugin.watchedFiles().empty());
}

// Looking for the sample files to watch reads the slots without creating them: an instrument
// without samples holds no slots, one whose samples fill one chunk holds that chunk.
TEST(LiveReload, LookingForSampleFilesCreatesNoSlots) {
    test::ScopedUserFolder home;
    HostSession session(HostSession::Where::InProcess);
    Tessarine& plugin = *session.plugin();
    test::writeFile(home.file("plain.txt"), "LAYER\nOUT = SIN(6.2831853 * FREQ * TIME) * 0.1\n");
    ASSERT_TRUE(session.loadInstrument(home.file("plain.txt")));
    EXPECT_EQ(plugin.samples->chunkCount(), 0);

    test::writeFile(home.file("additive.txt"), "SAMPLE 1, 0, 0, 0.4, 2, 0, 0, 0.1, 3, 0\nLAYER\nOUT = OSCENV(1, 0.005, 0.4, 0.7, 0.3) * 0.2\n");
    ASSERT_TRUE(session.loadInstrument(home.file("additive.txt")));
    EXPECT_EQ(plugin.samples->chunkCount(), 1);
}

}  // namespace
}  // namespace tess
