// Host parameters through the built library as a host sees and drives them: names, labels,
// display texts, automation, the MIDI controller link both ways, the temperament link, a
// parameter as a sustain pedal, and changes from a second thread while the audio renders.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <string>
#include <thread>

#include "plugin/HostSession.h"
#include "support/SignalMeasures.h"
#include "support/TestSupport.h"

namespace tess {
namespace {

using test::HostSession;

class HostParameters : public ::testing::Test {
protected:
    HostParameters() { test::writeFile(home.file("Settings.ini"), "VSTVARS 20\r\n"); }
    // Loads `text` as params.txt into a fresh session of the built library.
    HostSession& load(const std::string& text) {
        test::writeFile(home.file("params.txt"), text);
        EXPECT_TRUE(session.loadInstrument(home.file("params.txt")));
        return session;
    }
    std::string display(int index) { return session.text(vst::effGetParamDisplay, index); }

    test::ScopedUserFolder home;
    HostSession session;
};

TEST_F(HostParameters, AHostSeesNamesLabelsAndDisplayTexts) {
    load("VSTVAR 0, 632.45553, \"Cutoff Frequency\", \"Hz\", 20, 20000, 0\n"
         "VSTVAR 1, 10010, \"Linear\", \"units\", 20, 20000, 1\n"
         "VSTVAR 2, 3, \"Steps\", \"\", 0, 10, 2\n"
         "VSTVAR 3, 1, \"Rate\", \"beats\", 0.03125, 4, 3\n"
         "VSTVAR 4, 5, \"Reversed\", \"\", 10, 0, 1\n");
    // The load announced every parameter to the host three times (0, 1, its value).
    EXPECT_EQ(session.host.callbackCounts().automateCalls, 3 * 20);
    const struct {
        int index;
        const char* name;
        const char* label;
        const char* shown;
        float host;
    } cases[] = {
        {0, "Cutoff F", "Hz", "632.5", 0.5f}, {1, "Linear", "units", "10010", 0.5f}, {2, "Steps", "", "3", 0.3f},
        {3, "Rate", "beats", "1", (1 - 0.03125f) / 3.96875f},  {4, "Reversed", "", "5.000", 0.5f},
        {7, "Var #7", "", "0.000000", 0.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_EQ(session.text(vst::effGetParamName, c.index), c.name);
        EXPECT_EQ(session.text(vst::effGetParamLabel, c.index), c.label);
        EXPECT_EQ(display(c.index), c.shown);
        EXPECT_NEAR(session.getParameter(c.index), c.host, 1e-6f);
    }
    const struct {
        int index;
        float host;
        const char* shown;
    } changes[] = {
        {0, 1.0f, "20000"}, {0, 0.0f, "20.00"}, {2, 0.33f, "3"}, {2, 0.36f, "4"}, {3, 0.0677f, "1/4"},
        {3, 0.648f, "3"},   {4, 0.0f, "10.00"}, {4, 1.0f, "0.000000"},
    };
    for (const auto& c : changes) {
        session.setParameter(c.index, c.host);
        EXPECT_EQ(display(c.index), c.shown) << c.index << " at " << c.host;
        EXPECT_EQ(session.getParameter(c.index), c.host);  // the host value as the host gave it
    }
    EXPECT_EQ(session.text(vst::effGetProgramName), "params.txt");
}

TEST_F(HostParameters, ALinkedParameterDrivesItsControllerAndTheControllerDrivesIt) {
    load("VSTVAR 3, 0, \"Mod\", \"\", 0, 1, 1\nMIDICC 7, 0, 3\nPOST\nOUT = MCC(7) * 0.001\n");
    const struct {
        float host;
        float controller;
    } cases[] = {{1.0f, 127.0f}, {0.004f, 1.0f}, {0.5f, 64.0f}, {0.0f, 0.0f}};
    for (const auto& c : cases) {
        session.setParameter(3, c.host);
        const std::vector<float> out = session.render(HostSession::kRate);  // the smoothing settles
        EXPECT_NEAR(out.back(), c.controller * 0.001f * 1.0001f, 0.00002f) << c.host;
    }
    // The other way: a control change moves the parameter and tells the host.
    const int automated = session.host.callbackCounts().automateCalls;
    session.render(HostSession::kBlock, {test::controllerAt(10, 7, 64)});
    EXPECT_NEAR(session.getParameter(3), 64.0f / 127.0f, 1e-6f);
    EXPECT_EQ(session.host.callbackCounts().automateCalls, automated + 1);
    EXPECT_EQ(session.host.callbackCounts().lastAutomatedIndex, 3);
    EXPECT_EQ(display(3), "0.5039");
}

TEST_F(HostParameters, TheTemperamentFollowsALinkedParameter) {
    load("VSTVAR 2, 0, \"Tuning\", \"\", 0, 10, 1\n"
         "TEMPERAMENT \"Semitone\", 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100\n"
         "TEMPERAMENT \"Tone\", 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 200\n"
         "TEMPERAMENT \"Third\", 400, 400, 400, 400, 400, 400, 400, 400, 400, 400, 400, 400\n"
         "TEMPERAMENTCC 602\n"
         "LAYER\nOUT = SIN(6.2831853 * FREQ * TIME) * 0.3 * (SAT((DURATION - TIME) * 100000 + 1) + 1)\n");
    const struct {
        float internal;
        double cents;  // of the temperament it selects
    } cases[] = {{2.6f, 200}, {1.4f, 0}, {9.6f, 400}, {0.3f, 0}};  // 0 is the host's tuning
    for (const auto& c : cases) {
        SCOPED_TRACE(c.internal);
        session.setParameter(2, c.internal / 10.0f);
        const std::vector<float> out =
            session.render(HostSession::kRate / 2, {test::noteOnAt(0, 69), test::noteOffAt(HostSession::kRate / 2 - 300, 69)});
        EXPECT_NEAR(test::measuredFrequency(test::slice(out, 1000, out.size() - 400), HostSession::kRate),
                    440.0 * std::pow(2.0, c.cents / 1200.0), 0.5);
        session.render(HostSession::kRate / 10);
    }
}

TEST_F(HostParameters, AParameterHoldsNotesLikeASustainPedal) {
    load("VSTVAR 4, 0, \"Sustain\", \"\", 0, 1, 1\nPEDAL 604\nSAMPLE 1, 0\n"
         "LAYER\nOUT = OSCENV(1, 0.002, 4, 0.8, 0.02) * 0.5\n");
    const int r = HostSession::kRate;
    const auto play = [&] { return session.render(r, {test::noteOnAt(0, 69), test::noteOffAt(r / 5, 69)}); };
    const std::vector<float> free = play();
    EXPECT_GT(test::rms(free, r / 10, r / 5), 0.1);
    EXPECT_LT(test::rms(free, r / 2, r), 1e-4);  // released at 0.2 s within 20 ms
    session.setParameter(4, 0.5f);               // from 0.5 up the pedal is down
    const std::vector<float> held = play();
    EXPECT_GT(test::rms(held, r / 2, r), 0.05);  // the release now takes the 4 s decay time
    session.setParameter(4, 0.49f);  // pedal up: the held note ends
    const std::vector<float> after = session.render(r / 2);
    EXPECT_GT(test::rms(after, 0, 100), 0.02);
    EXPECT_LT(test::rms(after, r / 4, r / 2), 1e-4);
}

// Parameter changes, state saves and host reads from another thread while the audio thread
// renders. Under the sanitizers (and ThreadSanitizer) this must run clean; afterwards the
// last values are the ones in force.
TEST_F(HostParameters, ChangesFromAnotherThreadWhileRendering) {
    load("VSTVAR 0, 0, \"A\", \"\", 0, 1, 1\nVSTVAR 1, 0, \"B\", \"\", 0, 100, 2\nMIDICC 7, 0, 0\n"
         "PEDAL 601\nTEMPERAMENTCC 601\nSAMPLE 1, 0\n"
         "POST\nOUT = OUT + MCC(7) * 0.0001\n"
         "LAYER\nOUT = OSCENV(1, 0.002, 1, 0.8, 0.05) * MCC(600) * 0.3\n");
    std::atomic<bool> done{false};
    std::thread automation([&] {
        for (int i = 0; !done.load(); ++i) {
            session.setParameter(i % 2, static_cast<float>(i % 100) / 99.0f);
            session.getParameter(i % 2);
            if (i % 50 == 0) {
                char text[64];
                session.effect()->dispatcher(session.effect(), vst::effGetParamDisplay, 1, 0, text, 0.0f);
                void* chunk = nullptr;
                session.effect()->dispatcher(session.effect(), vst::effGetChunk, 0, 0, &chunk, 0.0f);
            }
        }
    });
    std::vector<test::TimedMidi> notes;
    for (int n = 0; n < 40; ++n) {
        notes.push_back(test::noteOnAt(n * 2205, 60 + n % 12));
        notes.push_back(test::noteOffAt(n * 2205 + 1500, 60 + n % 12));
    }
    const std::vector<float> out = session.render(HostSession::kRate * 2, notes);
    done = true;
    automation.join();
    for (float v : out) ASSERT_TRUE(std::isfinite(v));
    session.setParameter(1, 0.0f);  // pedal up, equal temperament
    session.setParameter(0, 1.0f);
    session.render(HostSession::kRate * 2);
    const std::vector<float> settled = session.render(HostSession::kBlock);
    EXPECT_NEAR(settled.back(), 127.0f * 0.0001f * 1.0001f, 0.00001f);  // the linked controller followed
}

}  // namespace
}  // namespace tess
