#include <string>

#include "CompilerTestSupport.h"
#include "compiler/DirectiveRules.h"

namespace tess::compiler::test {
namespace {

TEST(DirectiveChain, KeywordsInReaderOrder) {
    const std::vector<std::string_view> expected = {
        "QUALITY",   "CURVE",     "FREQLFO",  "GAINLFO",   "FCLFO",     "PHASELFO",    "FREQENV",  "GAINENV",
        "FCENV",     "FREQMOD",   "GAINMOD",  "FCMOD",     "COMPLEXMOD", "SAMPLEUI",   "UIMOD",    "INTERFACE",
        "VSTVARS",   "TEMPERAMENT", "TEMPERAMENTCC", "VSTVAR", "MIDICC", "KEYSWITCH",  "DEBUG",    "SAMPLE",
        "POLY",      "SILTH",     "MIDICH",   "MAP",       "VELOCITY",  "PITCH",       "TIMING",   "ARPEGGIO",
        "CHORD",     "PEDAL",     "SOSTENUTO", "GROUP",    "BASEG",     "VELTRACK",    "BASEF",    "KEYTRACK",
        "KEYCENTER", "XFADE",     "SAMPLEOFF", "ONNOTEON", "ONFIRST",   "ONLEGATO",    "ONRROBIN", "ONCHANNEL",
        "ONMCCT",    "OFFGROUP",  "OFFMCCT"};
    EXPECT_EQ(DirectiveDispatch::keywords(), expected);
}

// Every keyword without a handler yet consumes its line with a warning, in any section.
std::vector<std::string_view> keywordsWithoutHandler() {
    Log log;
    InstrumentCompiler compiler(log, "");
    std::vector<std::string_view> waiting;
    for (std::string_view keyword : DirectiveDispatch::keywords())
        if (!compiler.directives().hasHandler(keyword)) waiting.push_back(keyword);
    return waiting;
}

class PlaceholderTest : public CompilerTest, public ::testing::WithParamInterface<std::string_view> {};

TEST(DirectiveChain, CommonDirectivesAreHandledHere) {
    Log log;
    InstrumentCompiler compiler(log, "");
    for (std::string_view keyword : {"QUALITY", "CURVE", "POLY", "SILTH", "MIDICH", "DEBUG", "INTERFACE", "VSTVARS",
                                     "SAMPLEUI", "UIMOD"})
        EXPECT_TRUE(compiler.directives().hasHandler(keyword)) << keyword;
    // The ten above, the eleven of the note path (key mapping, KEYSWITCH, TEMPERAMENT, TEMPERAMENTCC),
    // the sixteen layer directives and the eleven modulation directives.
    EXPECT_EQ(keywordsWithoutHandler().size(), DirectiveDispatch::keywords().size() - 10 - 11 - 16 - 11);
}

TEST_P(PlaceholderTest, WarnsAndConsumes) {
    const std::string keyword(GetParam());
    const std::string path = compileText(keyword + " 1, 2\n" + keyword + " = 3\n");
    const std::string warning = "WARNING: " + keyword + " directive not supported in this version, line ignored...\r\n";
    EXPECT_EQ(count(mainLog(), warning), 1u) << mainLog();
    EXPECT_EQ(count(mainLog(), "WARNING"), 1u) << mainLog();
    // the line with '=' went down the chain to the operation compiler
    EXPECT_EQ(compiler.staging().operations().size() + count(mainLog(), "ERROR"), 1u) << mainLog();
}

INSTANTIATE_TEST_SUITE_P(Keywords, PlaceholderTest, ::testing::ValuesIn(keywordsWithoutHandler()),
                         [](const auto& info) { return std::string(info.param); });

TEST_F(CompilerTest, InstalledHandlerReceivesTheLine) {
    DirectiveLine seen;
    std::string normalized;
    std::string raw;
    std::string file;
    ASSERT_TRUE(compiler.directives().setHandler("quality", [&](const DirectiveLine& line) {
        seen = line;
        file = line.fileName;
        normalized = line.normalized;
        raw = line.raw;
    }));
    EXPECT_FALSE(compiler.directives().setHandler("NOTADIRECTIVE", [](const DirectiveLine&) {}));
    const std::string path = compileText("LAYER\n\tquality 100, 7 # comment\n");
    EXPECT_EQ(normalized, "quality 100 ) ; ( 7 ");
    EXPECT_EQ(raw, "\tquality 100, 7 # comment");
    EXPECT_EQ(seen.lineNumber, 2);
    EXPECT_EQ(seen.section, 0);
    EXPECT_EQ(seen.counts.separators, 1);
    EXPECT_EQ(seen.counts.quotes, 0);
    EXPECT_EQ(file, path);
    EXPECT_EQ(mainLog().find("WARNING"), std::string::npos);
}

struct DebugCase {
    std::string line;
    int level;
    std::string log;  // what the line itself logs
};

class DebugDirectiveTest : public CompilerTest, public ::testing::WithParamInterface<DebugCase> {};

TEST_P(DebugDirectiveTest, SetsLevel) {
    const std::string path = compileText(GetParam().line + "\n", -1);
    EXPECT_EQ(log.debugLevel, GetParam().level);
    EXPECT_EQ(mainLog(), GetParam().log.empty() ? std::string()
                                                : (GetParam().log[0] == '*'
                                                       ? "************ Line 1, file " + path + "\r\n" + GetParam().line +
                                                             "\r\n" + GetParam().log.substr(1)
                                                       : GetParam().log));
}

INSTANTIATE_TEST_SUITE_P(
    Levels, DebugDirectiveTest,
    ::testing::Values(DebugCase{"DEBUG 1", 1, "DEBUG level set to: 1\r\n"},
                      DebugCase{"debug 5000", 999, "DEBUG level set to: 999\r\n"},
                      DebugCase{"DEBUG -3", 0, "DEBUG level set to: 0\r\n"},
                      DebugCase{"DEBUG +2", 2, "DEBUG level set to: 2\r\n"},
                      DebugCase{"DEBUG x", 0, "*ERROR: DEBUG requires a numeric constant...\r\n"},
                      DebugCase{"DEBUG 1, 2", 0, "*ERROR: DEBUG requires a numeric constant...\r\n"},
                      DebugCase{"DEBUG", 0, "*ERROR: DEBUG requires a numeric constant...\r\n"}));

TEST_F(CompilerTest, DebugTakesEffectForTheNextLine) {
    compileText("x = 1\nDEBUG 3\ny = 2\n");
    const std::string text = mainLog();
    EXPECT_EQ(text.find("Original instruction: x = 1"), std::string::npos);
    EXPECT_NE(text.find("Token 0: \"y\"\r\nToken 1: \"=\"\r\nToken 2: \"2\"\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Variable y put in slot #2\r\nConstant 2 put in slot #3 : 2.000000\r\n"), std::string::npos) << text;
}

struct VstVarsCase {
    std::string line;
    int expected;
};

class VstVarsTest : public CompilerTest, public ::testing::WithParamInterface<VstVarsCase> {};

TEST_P(VstVarsTest, StoresClampedCount) {
    compiler.settings().numVstVars = 20;
    log.debugLevel = 2;
    compileText("LAYER\n" + GetParam().line + "\n", -1);
    EXPECT_EQ(compiler.instrument().common.numVstVars, GetParam().expected);
    EXPECT_NE(mainLog().find("VSTVARS set to: " + std::to_string(GetParam().expected) + "\r\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Counts, VstVarsTest,
                         ::testing::Values(VstVarsCase{"VSTVARS 0", 16}, VstVarsCase{"VSTVARS 500", 128},
                                           VstVarsCase{"VSTVARS x", 20}, VstVarsCase{"vstvars 24", 24},
                                           VstVarsCase{"VSTVARS -4", 16}, VstVarsCase{"VSTVARS 128", 128},
                                           VstVarsCase{"VSTVARS", 20}));

TEST_F(CompilerTest, VstVarsIsQuietAtDebugZero) {
    compileText("VSTVARS 9\n", -1);
    EXPECT_EQ(compiler.instrument().common.numVstVars, 9);
    EXPECT_EQ(mainLog(), "");
}

DirectiveLine makeLine(std::string_view normalized, std::string_view raw, int section, LineCounts counts, Log& log) {
    DirectiveLine line;
    line.normalized = normalized;
    line.raw = raw;
    line.lineNumber = 7;
    line.fileName = "f.txt";
    line.section = section;
    line.counts = counts;
    line.log = &log;
    return line;
}

TEST(DirectiveRules, KeywordMatch) {
    const struct {
        const char* text;
        const char* keyword;
        bool match;
    } cases[] = {{"QUALITY 3 ", "QUALITY", true},        {"quality 3 ", "QUALITY", true},
                 {"QUALITY ", "QUALITY", true},          {"QUALITY = 3 ", "QUALITY", false},
                 {"QUALITYX 3 ", "QUALITY", false},      {"TEMPERAMENTCC 1 ", "TEMPERAMENT", false},
                 {"TEMPERAMENTCC 1 ", "TEMPERAMENTCC", true}, {"QUAL", "QUALITY", false}};
    for (const auto& c : cases) EXPECT_EQ(matchKeyword(c.text, c.keyword), c.match) << c.text << " / " << c.keyword;
}

TEST(DirectiveRules, SectionCheckMessages) {
    Log log;
    EXPECT_TRUE(checkSection(makeLine("POLY 1 ", "POLY 1", -2, {}, log), "POLY", SectionRule::CommonOnly));
    EXPECT_TRUE(checkSection(makeLine("GROUP 1 ", "GROUP 1", 3, {}, log), "GROUP", SectionRule::NotInPost));
    EXPECT_TRUE(checkSection(makeLine("DEBUG 1 ", "DEBUG 1", -1, {}, log), "DEBUG", SectionRule::Any));
    EXPECT_EQ(log.main.view(), "");
    EXPECT_FALSE(checkSection(makeLine("POLY 1 ", "POLY 1", 0, {}, log), "POLY", SectionRule::CommonOnly));
    EXPECT_FALSE(checkSection(makeLine("GROUP 1 ", "GROUP 1", -1, {}, log), "GROUP", SectionRule::NotInPost));
    EXPECT_EQ(log.main.view(),
              "************ Line 7, file f.txt\r\nERROR: POLY only in COMMON section...\r\nPOLY 1\r\n"
              "************ Line 7, file f.txt\r\nERROR: GROUP can not be specified in POST section...\r\nGROUP 1\r\n");
}

TEST(DirectiveRules, ShapeCheck) {
    Log log;
    DirectiveShape upToFour;
    upToFour.maxSeparators = 3;
    DirectiveShape curve;
    curve.minSeparators = 4;
    curve.maxSeparators = 1000;
    curve.evenSeparators = true;
    DirectiveShape dot;
    dot.first = FirstCharacter::NumericOrDot;
    DirectiveShape quoted;
    quoted.minQuotes = quoted.maxQuotes = 2;
    quoted.minSeparators = quoted.maxSeparators = 3;
    const struct {
        const char* normalized;
        LineCounts counts;
        const DirectiveShape* shape;
        bool ok;
    } cases[] = {{"K 1 ", {0, 0, 0, 0}, &upToFour, true},     {"K -1 ", {0, 3, 0, 0}, &upToFour, true},
                 {"K 1 ", {0, 4, 0, 0}, &upToFour, false},    {"K x ", {0, 0, 0, 0}, &upToFour, false},
                 {"K ", {0, 0, 0, 0}, &upToFour, false},      {"K 1 ", {0, 0, 2, 0}, &upToFour, false},
                 {"K 1 ", {0, 0, 0, 1}, &upToFour, false},    {"K 1 ", {2, 0, 0, 0}, &upToFour, false},
                 {"K 3 ", {0, 4, 0, 0}, &curve, true},        {"K 3 ", {0, 5, 0, 0}, &curve, false},
                 {"K 3 ", {0, 2, 0, 0}, &curve, false},       {"K .5 ", {0, 0, 0, 0}, &dot, true},
                 {"K .5 ", {0, 0, 0, 0}, &upToFour, false},   {"K 1 ", {2, 3, 0, 0}, &quoted, true}};
    for (const auto& c : cases)
        EXPECT_EQ(checkShape(makeLine(c.normalized, c.normalized, -2, c.counts, log), "K", *c.shape), c.ok)
            << c.normalized << " separators " << c.counts.separators;
}

TEST(DirectiveRules, SplitNumericTestAndReport) {
    Log log;
    EXPECT_EQ(splitParameters(makeLine("", "POLY 8, 1, $64, -1 # c", -2, {}, log), "POLY"),
              (std::vector<std::string>{"8", "1", "$64", "-1"}));
    EXPECT_EQ(splitParameters(makeLine("", "SAMPLEUI 1,2,3, \"a, b\"", -2, {}, log), "SAMPLEUI"),
              (std::vector<std::string>{"1", "2", "3", "\"a, b\""}));
    EXPECT_EQ(splitParameters(makeLine("", "POLY", -2, {}, log), "POLY"), std::vector<std::string>{});
    EXPECT_EQ(splitParameters(makeLine("", "POLY 1,,3", -2, {}, log), "POLY"),
              (std::vector<std::string>{"1", "", "3"}));
    for (const char* good : {"1", "-2.5", "+3e2", ".5", "1 rest"}) EXPECT_TRUE(isNumericConstant(good)) << good;
    for (const char* bad : {"", "x", "1x", "-", ".", "nan", "inf", "0x10"}) EXPECT_FALSE(isNumericConstant(bad)) << bad;

    reportDirectiveError(makeLine("", "CURVE 3, 0", -2, {}, log), "ERROR: CURVE. Invalid parameters...\r\n");
    log.debugLevel = 1;
    logDirectiveSuccess(makeLine("", "", -2, {}, log), "not shown\r\n");
    log.debugLevel = 2;
    logDirectiveSuccess(makeLine("", "", -2, {}, log), "shown\r\n");
    EXPECT_EQ(log.main.view(), "************ Line 7, file f.txt\r\nCURVE 3, 0\r\nERROR: CURVE. Invalid parameters...\r\nshown\r\n");
}

}  // namespace
}  // namespace tess::compiler::test
