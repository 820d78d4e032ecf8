#include <gtest/gtest.h>

#include <string>

#include "state/SettingsFile.h"
#include "support/TestSupport.h"

namespace tess {
namespace {

TEST(SettingsFile, DefaultTextIsTwentyThreeCrLfLines) {
    const std::string text(kDefaultSettingsText);
    int lines = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n') {
            ++lines;
            EXPECT_EQ(text[i - 1], '\r') << "line " << lines;
        }
    EXPECT_EQ(lines, 23);
    EXPECT_EQ(text.substr(0, 54), "# This file contains sound configuration parameters.\r\n");
    EXPECT_NE(text.find("\r\nVSTVARS 20\r\n# Setting interpolation quality\r\nQUALITY 4096, 7, 6, 15\r\n"
                        "# Setting interface size\r\nINTERFACE 800; 400\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("TEMPERAMENT \"Just\",                        0,  11.731,   3.910,  15.641, "
                        "-13.686,  -1.955,   9.777,   1.955,  13.687, -15.641,  -3.909, -11.731\r\n"),
              std::string::npos);
    const std::string last =
        "TEMPERAMENT \"Werckmeister IV(VI)\",         0,      -9,      -4,      -2,      -5,      "
        "-2,      -5,      -2,      -7,      -7,       0,      -3\r\n";
    EXPECT_EQ(text.substr(text.size() - last.size()), last);
}

TEST(SettingsFile, EnsureCreatesTheFolderAndFileOnlyWhenMissing) {
    test::TempDir dir;
    const std::string folder = dir.file("Tessarine");
    ASSERT_TRUE(ensureSettingsFile(folder));
    EXPECT_EQ(test::readFile(settingsPath(folder)), std::string(kDefaultSettingsText));

    test::writeFile(settingsPath(folder), "VSTVARS 5\r\n");
    ASSERT_TRUE(ensureSettingsFile(folder));
    EXPECT_EQ(test::readFile(settingsPath(folder)), "VSTVARS 5\r\n");
}

struct CreationCase {
    const char* text;
    int params;
    int width;
    int height;
};

class CreationSettingsTable : public ::testing::TestWithParam<CreationCase> {};

TEST_P(CreationSettingsTable, ReadsVstVarsAndInterfaceWithClamping) {
    test::TempDir dir;
    const CreationCase& c = GetParam();
    test::writeFile(dir.file("Settings.ini"), c.text);
    const CreationSettings s = readCreationSettings(dir.file("Settings.ini"));
    EXPECT_EQ(s.numParams, c.params) << c.text;
    EXPECT_EQ(s.editorWidth, c.width) << c.text;
    EXPECT_EQ(s.editorHeight, c.height) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CreationSettingsTable,
    ::testing::Values(CreationCase{"VSTVARS 0\r\n", 16, 800, 400},
                      CreationCase{"VSTVARS 500\r\n", 128, 800, 400},
                      CreationCase{"VSTVARS 128\r\n", 128, 800, 400},
                      CreationCase{"VSTVARS 1\r\n", 1, 800, 400},
                      CreationCase{"# no count here\r\nQUALITY 4096\r\n", 20, 800, 400},
                      CreationCase{"vstvars   33   # comment\r\n", 33, 800, 400},
                      CreationCase{"VSTVARS = 40\r\n", 20, 800, 400},
                      CreationCase{"VSTVARS x\r\n", 20, 800, 400},
                      CreationCase{"// VSTVARS 50\r\n", 20, 800, 400},
                      CreationCase{"\tVSTVARS\t7\r\n", 7, 800, 400},
                      CreationCase{"INTERFACE 100, 5000\r\n", 20, 400, 4096},
                      CreationCase{"INTERFACE 1000; 600\r\n", 20, 1000, 600},
                      CreationCase{"INTERFACE 1000; 600, 700\r\n", 20, 1000, 700},
                      CreationCase{"INTERFACE 1000, 700; 600\r\n", 20, 1000, 700},
                      CreationCase{"INTERFACE 900\r\n", 20, 900, 400},
                      CreationCase{"interface 5000; 100\n", 20, 4096, 300},
                      CreationCase{"INTERFACE= 900; 900\r\n", 20, 800, 400},
                      CreationCase{"VSTVARS 10\r\nVSTVARS 12\r\nINTERFACE 640; 480\r\n", 12, 640, 480}));

TEST(CreationSettings, UnreadableFileLeavesTheDefaults) {
    const CreationSettings s = readCreationSettings("/nonexistent/folder/Settings.ini");
    EXPECT_EQ(s.numParams, 20);
    EXPECT_EQ(s.editorWidth, 800);
    EXPECT_EQ(s.editorHeight, 400);
}

TEST(CreationSettings, DefaultFileGivesTwentyParametersAnd800By400) {
    test::TempDir dir;
    test::writeFile(dir.file("Settings.ini"), std::string(kDefaultSettingsText));
    const CreationSettings s = readCreationSettings(dir.file("Settings.ini"));
    EXPECT_EQ(s.numParams, 20);
    EXPECT_EQ(s.editorWidth, 800);
    EXPECT_EQ(s.editorHeight, 400);
}

}  // namespace
}  // namespace tess
