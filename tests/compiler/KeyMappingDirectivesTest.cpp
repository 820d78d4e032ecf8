// MAP, VELOCITY, PITCH, TIMING, ARPEGGIO, CHORD, PEDAL and SOSTENUTO: what each line stores or
// why it is refused.
#include <gtest/gtest.h>

#include "compiler/CompilerTestSupport.h"

namespace tess::compiler::test {
namespace {

class KeyMappingDirectives : public CompilerTest {
protected:
    const KeyMappingSettings& mapping() const { return compiler.instrument().keyMapping; }
    // Compiles one COMMON line and returns the log it wrote.
    std::string compileLine(const std::string& line) {
        log.clear();
        compiler.reset();
        compileText("DEBUG 2\n" + line + "\n");
        const std::string text = mainLog();
        const std::size_t start = text.find("DEBUG level set to: 2\r\n");
        const std::size_t from = start == std::string::npos ? 0 : start + 23;
        const std::size_t end = text.find(", End of File ", from);  // "**** Line n, End of File ..."
        const std::size_t cut = end == std::string::npos ? std::string::npos : text.rfind("**** Line", end);
        return text.substr(from, cut == std::string::npos ? std::string::npos : cut - from);
    }
    std::string error(int line, const std::string& message, const std::string& raw) const {
        return "************ Line " + std::to_string(line) + ", file " + files.file("instrument.txt") + "\r\n" +
               message + raw + "\r\n";
    }
};

TEST_F(KeyMappingDirectives, LoadStateLeavesEveryMappingOff) {
    const KeyMappingSettings& m = mapping();
    for (const KeyRangeSwitch* range : {&m.map.range, &m.velocity.range, &m.pitch.range, &m.timing.range,
                                        &m.pattern.range}) {
        EXPECT_EQ(range->minKey, -1);
        EXPECT_EQ(range->maxKey, -1);
        for (int key = 0; key < 128; ++key) ASSERT_FALSE(range->covers(key));
    }
    EXPECT_EQ(m.pedal.allMcc, -1);
    EXPECT_EQ(m.sostenuto.rangeMcc, -1);
    EXPECT_EQ(m.pedal.minKey, 0);
    EXPECT_EQ(m.pedal.maxKey, 127);
}

TEST_F(KeyMappingDirectives, MapStoresClampedPitchClassesAndTheIdentityForTheRest) {
    EXPECT_EQ(compileLine("MAP -1, 0, 127, 0, 0, 2, 2, 4, 5, 5, 7, 7, 9, 9, 11"),
              "MAP -1, 0, 127 succesfully created...\r\n");
    EXPECT_EQ(mapping().map.map, (std::array<std::int32_t, 12>{0, 0, 2, 2, 4, 5, 5, 7, 7, 9, 9, 11}));
    compileLine("MAP -1, 0, 127, 12, -3, 5.9");
    EXPECT_EQ(mapping().map.map, (std::array<std::int32_t, 12>{11, 0, 5, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(mapping().map.range.switchMcc, -1);
}

TEST_F(KeyMappingDirectives, StoredValuesAndClamping) {
    compileLine("VELOCITY -1, 0, 127, 0, 127, 20, 100");
    EXPECT_EQ(mapping().velocity.minOut, 20.0f);
    EXPECT_EQ(mapping().velocity.maxOut, 100.0f);
    EXPECT_EQ(mapping().velocity.exponent, 1.0f);
    compileLine("VELOCITY 7, 10, 20, 5, 120, 0, 127, 99, 500, 9");
    EXPECT_EQ(mapping().velocity.exponent, 10.0f);
    EXPECT_EQ(mapping().velocity.random, 127.0f);
    EXPECT_EQ(mapping().velocity.mode, 2);
    EXPECT_EQ(mapping().velocity.range.switchMcc, 7);
    compileLine("PITCH -1, 0, 127, 200, -4, 3, 300");
    EXPECT_EQ(mapping().pitch.offset, 127.0f);
    EXPECT_EQ(mapping().pitch.spread, 0.0f);
    EXPECT_EQ(mapping().pitch.probability, 1.0f);
    EXPECT_EQ(mapping().pitch.step, 127);
    compileLine("TIMING -1, 0, 127, 0, 0, 0, 8");
    EXPECT_EQ(mapping().timing.rounding, 1.0f);  // above 4 bars means one bar
    compileLine("TIMING -1, 0, 127, -200, 300, 9, -1");
    EXPECT_EQ(mapping().timing.start, -127.0f);
    EXPECT_EQ(mapping().timing.startSpread, 127.0f);
    EXPECT_EQ(mapping().timing.durationSpread, 4.0f);
    EXPECT_EQ(mapping().timing.rounding, 0.0f);
}

TEST_F(KeyMappingDirectives, ArpeggioAndChordShareOnePattern) {
    compileLine("ARPEGGIO -1, 48, 72, 0.01, 0, 0, 0.5, 2, 7, 0.25");
    const NotePattern& p = mapping().pattern;
    EXPECT_EQ(p.step, 0.125f);  // the dead zone
    EXPECT_EQ(p.count, 2);
    EXPECT_EQ(p.velocity[0], 1.0f);  // note 0 always keeps factor 1
    EXPECT_EQ(p.duration[0], 0.5f);
    EXPECT_EQ(p.offset[1], 7.0f);
    EXPECT_EQ(p.start[1], 0.25f);
    EXPECT_EQ(p.duration[1], 0.25f);  // not given: the default
    EXPECT_EQ(p.velocity[1], 1.0f);
    compileLine("ARPEGGIO -1, 0, 1, -0.01, 0, 0, 0, 1, 0");
    EXPECT_EQ(mapping().pattern.step, -0.125f);
    compileLine("CHORD -1, 0, 127, 0, 1, 4, 0.8, 7, 0.8");
    const NotePattern& c = mapping().pattern;
    EXPECT_EQ(c.count, 3);
    EXPECT_EQ(c.step, 0.0f);
    EXPECT_EQ(c.offset[2], 7.0f);
    EXPECT_EQ(c.velocity[0], 1.0f);
    EXPECT_EQ(c.velocity[2], 0.8f);
    EXPECT_EQ(c.duration[1], 0.0f);
    EXPECT_EQ(compileLine("ARPEGGIO -1, -1, -1, 0.25, 0"), "ARPEGGIO -1, -1, -1, 0.2, succesfully created...\r\n");
    EXPECT_EQ(mapping().pattern.count, 1);
}

TEST_F(KeyMappingDirectives, AnArpeggioWithoutNotesIsAcceptedWithItsStep) {
    // Only a single note is too few; a key range with no notes at all is kept with its step.
    EXPECT_EQ(compileLine("ARPEGGIO -1, 48, 72, 0.01"), "ARPEGGIO -1, 48, 72, 0.1, succesfully created...\r\n");
    EXPECT_EQ(mapping().pattern.step, 0.125f);
    EXPECT_EQ(mapping().pattern.count, 0);
    EXPECT_EQ(mapping().pattern.range.minKey, 48);
    // A chord asks for two notes whether none or one is given.
    EXPECT_EQ(compileLine("CHORD -1, 0, 127"), error(2, "ERROR: CHORD. Minimum 2 notes, if enabled...\r\n", "CHORD -1, 0, 127"));
}

TEST_F(KeyMappingDirectives, PedalsAndSostenuto) {
    EXPECT_EQ(compileLine("PEDAL 64, -1"), "PEDAL 64, -1, 0, 127 succesfully created...\r\n");
    EXPECT_EQ(mapping().pedal.allMcc, 64);
    EXPECT_EQ(compileLine("SOSTENUTO 66, 67, 10, 20"), "SOSTENUTO 66, 67, 10, 20 succesfully created...\r\n");
    EXPECT_EQ(mapping().sostenuto.rangeMcc, 67);
    EXPECT_EQ(mapping().sostenuto.maxKey, 20);
}

TEST_F(KeyMappingDirectives, RefusedLinesStoreNothing) {
    const struct {
        const char* line;
        const char* message;
    } cases[] = {
        {"MAP -1, 0 x, 127", "ERROR: invalid MAP syntax...\r\n"},
        {"MAP -1, (0), 127", "ERROR: MAP. Parenthesis not allowed...\r\n"},
        {"MAP -1, \"0, 127", "ERROR: unmatched quotes (1)...\r\n"},  // the reader refuses it first
        {"MAP -1", "ERROR: MAP. At least 2 parameters needed...\r\n"},
        {"MAP -1, \"a\", 127", "ERROR: MAP. Parameter 2 MUST be numeric constant...\r\n"},
        {"MAP -1, 0, 12x7", "ERROR: MAP. Parameter 3 MUST be valid numeric constant...\r\n"},
        {"MAP -1, 0, 128", "ERROR: MAP. min key and max key must be between -1 and 127...\r\n"},
        {"MAP -1, 100, 50", "ERROR: MAP. max key should be greater than min key...\r\n"},
        {"MAP -1, 0, 127, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0",
         "ERROR: MAP. Maximum number of 15 parameters exceeded...\r\n"},
        {"VELOCITY -1, 0, 127, 100, 50", "ERROR: VELOCITY. max in vel should be greater than min in vel...\r\n"},
        {"VELOCITY -1, 0, 127, 0, 130", "ERROR: VELOCITY. min in vel and max in vel must be between 0 and 127...\r\n"},
        {"VELOCITY -1, 0, 127, 0, 127, 90, 10",
         "ERROR: VELOCITY. max out vel should be greater than min out vel...\r\n"},
        {"VELOCITY -1, 0, 127, 0, 127, 0, 200",
         "ERROR: VELOCITY. min out vel and max out vel must be between 0 and 127...\r\n"},
        {"PITCH -1, 0, 127, 0, 0, 0, 0, 1", "ERROR: PITCH. Maximum number of 7 parameters exceeded...\r\n"},
        {"ARPEGGIO -1, 48, 72, 0.25, 0", "ERROR: ARPEGGIO. Minimum 2 notes, if enabled...\r\n"},
        {"CHORD -1, 0, 127, 4", "ERROR: CHORD. Minimum 2 notes, if enabled...\r\n"},
        {"PEDAL 64, 66, 100, 50", "ERROR: PEDAL. max key should be greater than min key...\r\n"},
        {"PEDAL 64, 66, -1, 50", "ERROR: PEDAL. min key and max key must be between 0 and 127...\r\n"},
        {"SOSTENUTO 1, 2, 3, 4, 5", "ERROR: SOSTENUTO. Maximum number of 4 parameters exceeded...\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(compileLine(c.line), error(2, c.message, c.line)) << c.line;
        EXPECT_EQ(mapping(), KeyMappingSettings{}) << c.line;
    }
    std::string tooLong = "ARPEGGIO -1, 0, 127, 0.5";
    for (int i = 0; i < 129; ++i) tooLong += ", 1";
    EXPECT_EQ(compileLine(tooLong), error(2, "ERROR: ARPEGGIO. Maximum number of 32 notes exceeded...\r\n", tooLong));
}

TEST_F(KeyMappingDirectives, OnlyInTheCommonSection) {
    EXPECT_NE(compileLine("LAYER\nMAP -1, 0, 127, 1").find("ERROR: MAP only in COMMON section...\r\n"),
              std::string::npos);
    EXPECT_EQ(mapping().map.range.minKey, -1);
}

}  // namespace
}  // namespace tess::compiler::test
