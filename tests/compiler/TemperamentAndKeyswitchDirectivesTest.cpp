// TEMPERAMENT, TEMPERAMENTCC and KEYSWITCH: the tables they build and their messages.
#include <gtest/gtest.h>

#include "compiler/CompilerTestSupport.h"

namespace tess::compiler::test {
namespace {

class NoteDirectives : public CompilerTest {
protected:
    const TemperamentTable& temperaments() const { return compiler.instrument().temperaments; }
    const KeyswitchTable& keyswitches() const { return compiler.instrument().keyswitches; }
    // Compiles `text` after DEBUG 2 and returns what it logged after the DEBUG line.
    std::string compileLines(const std::string& text) {
        log.clear();
        compiler.reset();
        compileText("DEBUG 2\n" + text + "\n");
        const std::string all = mainLog();
        const std::size_t from = all.find("DEBUG level set to: 2\r\n") + 23;
        const std::size_t end = all.find(", End of File ", from);
        const std::size_t cut = end == std::string::npos ? std::string::npos : all.rfind("**** Line", end);
        return all.substr(from, cut == std::string::npos ? std::string::npos : cut - from);
    }
    std::string error(int line, const std::string& message, const std::string& raw) const {
        return "************ Line " + std::to_string(line) + ", file " + files.file("instrument.txt") + "\r\n" +
               message + raw + "\r\n";
    }
};

TEST_F(NoteDirectives, TemperamentDefinesAndSelects) {
    const std::string log = compileLines(
        "TEMPERAMENT \"Mine\", 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12\n"
        "TEMPERAMENT \"MINE\"\n"
        "TEMPERAMENT 5\n"
        "TEMPERAMENT \"Other\"\n");
    EXPECT_EQ(log,
              "NEW TEMPERAMENT: Mine (2): 1.000 2.000 3.000 4.000 5.000 6.000 7.000 8.000 9.000 10.000 11.000 12.000\r\n"
              "TEMPERAMENT set to: Mine (2) WITH TEMPERAMENT \"<name>\" INSTRUCTION.\r\n"
              "TEMPERAMENT set to: Mine (2) WITH TEMPERAMENT <number> INSTRUCTION.\r\n"
              "TEMPERAMENT Other NOT FOUND.\r\n");
    EXPECT_EQ(temperaments().current, 2);  // 5 is clamped to the last entry
    EXPECT_NE(programLog().find("TEMPERAMENT \"Other\"\r\n"), std::string::npos);
    EXPECT_NE(programLog().find("TEMPERAMENT 5\r\n"), std::string::npos);
}

TEST_F(NoteDirectives, TemperamentRefusals) {
    const struct {
        const char* line;
        const char* message;
    } cases[] = {
        {"TEMPERAMENT \"A\", 1, 2, 3, 4, 5, 6", "ERROR: TEMPERAMENT. 1 or 13 parameters needed...\r\n"},
        {"TEMPERAMENT \"\", 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12",
         "ERROR: TEMPERAMENT. Temperament name MUST be a string of length between 1 and 31 characters...\r\n"},
        {"TEMPERAMENT \"A\", 1, 2, 3, 4, 5, \"6\", 7, 8, 9, 10, 11, 12",
         "ERROR: TEMPERAMENT. Parameter 7 MUST be numeric constant...\r\n"},
        {"TEMPERAMENT \"A\", 1, 2, 3, 4, 5, 6x, 7, 8, 9, 10, 11, 12",
         "ERROR: TEMPERAMENT. Parameter 7 MUST be valid numeric constant...\r\n"},
        {"TEMPERAMENT \"A\", 1, 2 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13", "ERROR: invalid TEMPERAMENT syntax...\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(compileLines(c.line), error(2, c.message, c.line)) << c.line;
        EXPECT_EQ(temperaments().count(), 2) << c.line;
    }
}

TEST_F(NoteDirectives, TemperamentControllerLinks) {
    const struct {
        const char* line;
        int link;
        const char* log;
    } cases[] = {
        {"TEMPERAMENTCC -5", -1, "TEMPERAMENTCC set to: -1 (NOT CONNECTED)\r\n"},
        {"TEMPERAMENTCC 2000", 999, "TEMPERAMENTCC set to: 999 (NOT CONNECTED)\r\n"},
        {"TEMPERAMENTCC 436", 436, "TEMPERAMENTCC set to: 436 (KEYSWITCH ON KEY #36)\r\n"},
        {"TEMPERAMENTCC 20", 20,
         "TEMPERAMENTCC set to: 20 (MIDI CC #20) \r\nTEMPERAMENT is linked with MIDI CC #20. Reading initial value: "
         "0...\r\nTEMPERAMENT set to: Host Temperament (0) BY MIDI CC SYNCRONIZATION.\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(compileLines(c.line), c.log) << c.line;
        EXPECT_EQ(temperaments().link, c.link) << c.line;
    }
    EXPECT_EQ(compileLines("TEMPERAMENTCC 7\nTEMPERAMENT 1"),
              "TEMPERAMENTCC set to: 7 (MIDI CC #7) \r\nTEMPERAMENT is linked with MIDI CC #7. Reading initial value: "
              "0...\r\nTEMPERAMENT set to: Host Temperament (0) BY MIDI CC SYNCRONIZATION.\r\n"
              "TEMPERAMENT set to: Equal Temperament (1) WITH TEMPERAMENT <number> INSTRUCTION.\r\n"
              "TEMPERAMENT is linked with MIDI CC #7. Setting initial value to 1...\r\n");
    EXPECT_EQ(temperaments().linkValue, 1);
    const std::string bad = "TEMPERAMENTCC x";
    EXPECT_EQ(compileLines(bad), "************ Line 2, file " + files.file("instrument.txt") + "\r\n" + bad +
                                     "\r\nERROR: TEMPERAMENTCC requires a numeric constant...\r\n");
}

TEST_F(NoteDirectives, KeyswitchesBuildTheirKeyTables) {
    const std::string log = compileLines(
        "KEYSWITCH \"Art\", 0, 25, 24, 26, 0, 0, \"Legato\", \"Staccato\"\n"
        "KEYSWITCH \"Cycle\", 1, 2, 30, 0, 1, 3\n"
        "KEYSWITCH \"Steps\", 2, 0, 32, 33, -1, 2\n");
    EXPECT_EQ(log,
              "KEYSWITCH Art (1) succesfully created...\r\nUse Keys from #24 to #26 to change the current KEYSWITCH "
              "value...\r\nOPTION Staccato (1) selected...\r\n"
              "KEYSWITCH Cycle (2) succesfully created...\r\nUse Key #30 to cycle between the KEYSWITCH values...\r\n"
              "OPTION Option #2 (1) selected...\r\n"
              "KEYSWITCH Steps (3) succesfully created...\r\nUse Key #33 to select next KEYSWITCH option and key #32 to "
              "select the previous KEYSWITCH option...\r\nOPTION Option #2 (1) selected...\r\n");
    const KeyswitchTable& t = keyswitches();
    EXPECT_EQ(t.count, 3);
    const struct {
        int key, owner, state;
    } keys[] = {{23, -1, 0}, {24, 0, 0}, {25, 0, 1}, {26, 0, 0}, {30, 1, 2}, {32, 2, 0}, {33, 2, 0}, {34, -1, 0}};
    for (const auto& k : keys) {
        EXPECT_EQ(t.owner[static_cast<std::size_t>(k.key)], k.owner) << k.key;
        EXPECT_EQ(t.state[static_cast<std::size_t>(k.key)], k.state) << k.key;
    }
    EXPECT_STREQ(t.entries[0].options[2], "Option #3");
}

TEST_F(NoteDirectives, KeyswitchRefusals) {
    const struct {
        const char* line;
        const char* message;
    } cases[] = {
        {"KEYSWITCH \"A\", 0, 24, 24, 24, 0, 0", "ERROR: KEYSWITCH. Option number MUST be between 2 and 32...\r\n"},
        {"KEYSWITCH \"A\", 0, 24, 24, 56, 0, 0", "ERROR: KEYSWITCH. Option number MUST be between 2 and 32...\r\n"},
        {"KEYSWITCH \"A\", 0, 24, 24, 26, 0, 0, \"a\", \"b\", \"c\", \"d\"",
         "ERROR: KEYSWITCH. Option name strings exceed options number...\r\n"},
        {"KEYSWITCH \"A\", 3, 24, 24, 26, 0, 0", "ERROR: KEYSWITCH. Type must be 0, 1 or 2...\r\n"},
        {"KEYSWITCH \"A\", 0, 30, 24, 26, 0, 0", "ERROR: KEYSWITCH. Initial valye must be between Key1 and Key2...\r\n"},
        {"KEYSWITCH \"A\", 0, 24, 26, 24, 0, 0", "ERROR: KEYSWITCH. Key2 should be greater than Key1...\r\n"},
        {"KEYSWITCH \"A\", 1, 5, 24, 0, 0, 3", "ERROR: KEYSWITCH. Initial valye must be between Min and Max...\r\n"},
        {"KEYSWITCH \"A\", 1, 0, 24, 0, 3, 0", "ERROR: KEYSWITCH. Max should be greater than Min...\r\n"},
        // The operating key of a cycling keyswitch must be a MIDI key.
        {"KEYSWITCH \"A\", 1, 0, 200, 0, 0, 3", "ERROR: KEYSWITCH. Key1 and Key2 must be between 0 and 127...\r\n"},
        {"KEYSWITCH A, 0, 24, 24, 26, 0, 0", "ERROR: KEYSWITCH. Parameter 1 MUST be string...\r\n"},
        {"KEYSWITCH \"A\", \"0\", 24, 24, 26, 0, 0", "ERROR: KEYSWITCH. Parameter 2 MUST be numeric constant...\r\n"},
        {"KEYSWITCH \"A\", 0, 24, 24, 26, 0", "ERROR: KEYSWITCH. At least 7 parameters needed...\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(compileLines(c.line), error(2, c.message, c.line)) << c.line;
        EXPECT_EQ(keyswitches().count, 0) << c.line;
    }
    std::string nine;
    for (int i = 0; i < 9; ++i) nine += "KEYSWITCH \"K\", 0, " + std::to_string(i * 2) + ", " + std::to_string(i * 2) +
                                        ", " + std::to_string(i * 2 + 1) + ", 0, 0\n";
    const std::string log = compileLines(nine);
    EXPECT_NE(log.find("\r\nERROR: maximum number of 8 KEYSWITCHES exceeded...\r\n"), std::string::npos) << log;
    EXPECT_EQ(keyswitches().count, 8);
}

}  // namespace
}  // namespace tess::compiler::test
