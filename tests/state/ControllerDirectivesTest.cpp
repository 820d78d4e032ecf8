// VSTVAR and MIDICC as a compile reads them: their checks and messages, what they store, and
// how they meet the temperament link. The plug-in's side is recorded by fake actions.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/Log.h"
#include "compiler/InstrumentCompiler.h"
#include "state/ControllerDirectives.h"
#include "state/ParameterScale.h"
#include "support/TestSupport.h"

namespace tess {
namespace {

class ControllerDirectives : public ::testing::Test {
protected:
    ControllerDirectives() : compiler(log, user.path()) {
        actions.setStartValue = [this](int mcc, float value) { starts[mcc] = value, controllers[mcc] = value; };
        actions.setControllerValue = [this](int mcc, float value) { controllers[mcc] = value; };
        actions.controllerValue = [this](int mcc) { return controllers.count(mcc) ? controllers[mcc] : 0.0f; };
        actions.setParameter = [this](int index, float host) { changes.emplace_back(index, host), host_[index] = host; };
        actions.setParameterAutomated = [this](int index, float host) {
            automated.emplace_back(index, host);
            parameters.setHostValue(index, host);
        };
        installControllerDirectives(compiler, parameters, actions);
        compiler.reset();
    }

    // Compiles the lines after DEBUG 2 and returns what they logged.
    std::string compile(const std::string& lines) {
        const std::string path = files.file("instrument.txt");
        test::writeFile(path, "DEBUG 2\n" + lines + "\n");
        compiler.compileFile(0, path);
        const std::string all(log.main.view());
        const std::size_t from = all.find("DEBUG level set to: 2\r\n") + 23;
        std::size_t cut = all.find("End of COMMON", from);
        if (cut != std::string::npos) cut = all.rfind("Line ", cut);
        else if ((cut = all.find(", End of File", from)) != std::string::npos) cut = all.rfind("**** Line", cut);
        return all.substr(from, cut == std::string::npos ? std::string::npos : cut - from);
    }
    std::string located(int line) const {
        return "************ Line " + std::to_string(line) + ", file " + files.file("instrument.txt") + "\r\n";
    }
    const compiler::TemperamentTable& temperaments() const { return compiler.instrument().temperaments; }

    test::ScopedUserFolder user;
    test::TempDir files;
    Log log;
    compiler::InstrumentCompiler compiler;
    HostParameterTable parameters;
    ControllerDirectiveActions actions;
    std::map<int, float> starts, controllers, host_;
    std::vector<std::pair<int, float>> changes, automated;
};

TEST_F(ControllerDirectives, VstVarDescribesAParameterAndGivesItsInitialValue) {
    const std::string text = compile("VSTVAR 3, 632.45553, \"Cutoff Frequency\", \"Hz\", 20, 20000, 0");
    EXPECT_EQ(text, "VSTVAR 3, Initial value: 632.46, Label: Cutoff Frequency, Unit: Hz, Range: 20.00 : 20000.00, "
                    "Scale type: 0, Internal value: 0.500000\r\n");
    EXPECT_STREQ(parameters.name(3), "Cutoff Frequency");
    EXPECT_EQ(parameters.scaleType(3), kScaleLogarithmic);
    EXPECT_NEAR(parameters.hostValue(3), 0.5f, 1e-6f);
    EXPECT_TRUE(changes.empty() && automated.empty());  // no host notification, no links
}

TEST_F(ControllerDirectives, VstVarAcceptsAReversedRangeAndANumberAboveTheHostCount) {
    compile("VSTVAR 100, 5, \"\", \"\", 10, 0, 1\nVSTVAR 4, 0.5, \"Gate\", \"\", 0, 1, 1");
    EXPECT_FLOAT_EQ(parameters.internalValue(100), 5.0f);
    EXPECT_FLOAT_EQ(parameters.hostValue(100), 0.5f);
    EXPECT_FLOAT_EQ(parameters.minimum(100), 10.0f);
    EXPECT_EQ(std::string(log.main.view()).find("ERROR"), std::string::npos) << log.main.view();
}

TEST_F(ControllerDirectives, VstVarRefusals) {
    const std::string name40(40, 'n');
    const struct {
        std::string line;
        std::string message;
        bool lineFirst;  // the range checks write the line before the located message
    } cases[] = {
        {"VSTVAR 128, 0, \"a\", \"b\", 0, 1, 1", "ERROR: VSTVAR. <number> should be between 0 and 127...\r\n", true},
        {"VSTVAR 1, 0, \"a\", \"b\", 0, 1, 4", "ERROR: VSTVAR. Invalid <scale type>, must be between 0 and 3...\r\n",
         true},
        {"VSTVAR 1, 1, \"a\", \"b\", 1, 1.00004, 1",
         "ERROR: VSTVAR. <min> (1.0000) should be different than <max> (1.0000)...\r\n", true},
        {"VSTVAR 1, 0.5, \"a\", \"b\", 0, 1, 0",
         "ERROR: VSTVAR. <min> and <max> should be greater or equal than 0.00001 with logaritmic and beats scale "
         "(<scale type>=0 or 3)...\r\n",
         true},
        {"VSTVAR 1, 11, \"a\", \"b\", 10, 0, 1",
         "ERROR: VSTVAR. <initial value> should be between <min> (10.00) and <max> (0.00)...\r\n", true},
        {"VSTVAR 3, 0, \"" + name40 + "\", \"b\", 0, 1, 1",
         "ERROR: VSTVAR. Name MUST be a string of length between 0 and 31 characters...\r\n", false},
        {"VSTVAR 3, 0, a, \"b\", 0, 1, 1", "ERROR: VSTVAR. Parameter 3 MUST be a string...\r\n", false},
        {"VSTVAR 3, \"0\", \"a\", \"b\", 0, 1, 1", "ERROR: VSTVAR. Parameter 2 MUST be numeric constant...\r\n", false},
        {"VSTVAR 3, 0x, \"a\", \"b\", 0, 1, 1", "ERROR: VSTVAR. Parameter 2 MUST be valid numeric constant...\r\n",
         false},
        {"VSTVAR 3, 0, \"a\", \"b\", 0, 1e999, 1", "ERROR: VSTVAR. Parameter 6 MUST be valid numeric constant...\r\n",
         false},
        {"VSTVAR 3, 0, \"a\", \"b\", 0, 1", "ERROR: VSTVAR. 7 parameters needed...\r\n", false},
        {"VSTVAR 3, 0, \"a\", \"b\", 0, (1), 1", "ERROR: VSTVAR. Parenthesis not allowed...\r\n", false},
        {"VSTVAR 3, 0 1, \"a\", \"b\", 0, 1, 1", "ERROR: invalid VSTVAR syntax...\r\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        log.clear();
        parameters.reset();
        const std::string text = compile(c.line);
        EXPECT_EQ(text, c.lineFirst ? c.line + "\r\n" + located(2) + c.message : located(2) + c.message + c.line + "\r\n");
        EXPECT_STREQ(parameters.name(1), "Var #1");
        EXPECT_STREQ(parameters.name(3), "Var #3");
    }
}

TEST_F(ControllerDirectives, VstVarIsCommonOnly) {
    const std::string text = compile("LAYER\nVSTVAR 1, 0, \"a\", \"b\", 0, 1, 1");
    EXPECT_NE(std::string(log.main.view()).find("VSTVAR only in COMMON section"), std::string::npos) << text;
    EXPECT_STREQ(parameters.name(1), "Var #1");
}

TEST_F(ControllerDirectives, MidiccSetsAControllerAndLinksAParameterBothWays) {
    const std::string text = compile("VSTVAR 2, 0, \"Depth\", \"\", 0, 50, 1\nMIDICC 7, 100, 2");
    EXPECT_EQ(text.substr(text.find("VST VAR 2")),
              "VST VAR 2 set to 39.37 BY MIDI CC # 7 LINK...\r\nMIDI CC # 7 set to: 100.000\r\n");
    EXPECT_EQ(starts, (std::map<int, float>{{7, 100.0f}}));
    ASSERT_EQ(automated.size(), 1u);
    EXPECT_EQ(automated[0].first, 2);
    EXPECT_FLOAT_EQ(automated[0].second, 100.0f / 127.0f);
    EXPECT_EQ(parameters.parameterOfController(7), 2);
    EXPECT_EQ(parameters.linkedController(2), 7);
}

TEST_F(ControllerDirectives, MidiccWithoutALinkOrAboveController127) {
    compile("MIDICC 130, 64, 2\nMIDICC 5\nMIDICC 6, 3, 128");
    EXPECT_EQ(starts, (std::map<int, float>{{130, 64.0f}, {5, 0.0f}, {6, 3.0f}}));
    EXPECT_TRUE(automated.empty());
    EXPECT_EQ(parameters.parameterOfController(130), -1);
    EXPECT_EQ(parameters.linkedController(2), -1);
}

TEST_F(ControllerDirectives, MidiccRefusals) {
    const struct {
        const char* line;
        std::string logged;
    } cases[] = {
        {"MIDICC 200, 1", std::string("MIDICC 200, 1\r\n") + "@ERROR: MIDICC. <number> should be between 0 and 199...\r\n"},
        {"MIDICC 1, 2, 3, 4", "@MIDICC 1, 2, 3, 4\r\nERROR: MIDICC. Invalid parameters number or syntax error...\r\n"},
        {"MIDICC \"1\"", "@MIDICC \"1\"\r\nERROR: MIDICC. Invalid parameters number or syntax error...\r\n"},
        {"MIDICC x", "@MIDICC x\r\nERROR: MIDICC. Invalid parameters number or syntax error...\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        log.clear();
        std::string expected = c.logged;
        expected.replace(expected.find('@'), 1, located(2));
        EXPECT_EQ(compile(c.line), expected);
    }
    EXPECT_TRUE(starts.empty());
}

TEST_F(ControllerDirectives, TheTemperamentLinkMeetsControllersAndParameters) {
    // TEMPERAMENTCC reads what MIDICC left in the controller; MIDICC on the linked controller
    // selects; a selection passes its index on to a linked parameter.
    const std::string text = compile(
        "TEMPERAMENT \"A\", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0\n"
        "TEMPERAMENT \"B\", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0\n"
        "MIDICC 20, 3\n"
        "TEMPERAMENTCC 20\n"
        "MIDICC 20, 1.4\n"
        "VSTVAR 2, 0, \"Tuning\", \"\", 0, 10, 2\n"
        "TEMPERAMENTCC 602\n"
        "TEMPERAMENT \"B\"");
    EXPECT_NE(text.find("TEMPERAMENT is linked with MIDI CC #20. Reading initial value: 3...\r\n"
                        "TEMPERAMENT set to: B (3) BY MIDI CC SYNCRONIZATION.\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("TEMPERAMENT set to: Equal Temperament (1) WITH MIDI CC CHANGE.\r\n"), std::string::npos);
    EXPECT_NE(text.find("TEMPERAMENT is linked with VST VAR #2. Reading initial value: 0...\r\n"), std::string::npos);
    EXPECT_NE(text.find("TEMPERAMENT is linked with VST VAR #2. Setting initial value to 3...\r\n"), std::string::npos);
    EXPECT_EQ(temperaments().current, 3);
    EXPECT_FLOAT_EQ(parameters.internalValue(2), 3.0f);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].first, 2);
    EXPECT_FLOAT_EQ(changes[0].second, 0.3f);
    EXPECT_EQ(temperaments().linkValue, -1);
}

TEST_F(ControllerDirectives, ASelectionPassesItsIndexToALinkedController) {
    compile("TEMPERAMENTCC 30\nTEMPERAMENT 1");
    EXPECT_EQ(controllers[30], 1.0f);
    EXPECT_TRUE(starts.empty());  // the controller's value alone, not its smoothing
}

}  // namespace
}  // namespace tess
