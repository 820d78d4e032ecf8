// The Settings.ini a first start writes compiles without a single message: its temperament
// library is the table every instrument starts from.
#include <gtest/gtest.h>

#include "compiler/InstrumentCompiler.h"
#include "state/SettingsFile.h"
#include "support/TestSupport.h"

namespace tess::test {
namespace {

TEST(DefaultSettings, CompileWithoutAnyMessageIntoTheTemperamentLibrary) {
    ScopedUserFolder home;
    Log log;
    compiler::InstrumentCompiler compiler(log, home.path());
    compiler.reset();
    writeFile(home.file("Settings.ini"), std::string(kDefaultSettingsText));
    compiler.compileFile(compiler::InstrumentCompiler::kSettingsLevel, home.file("Settings.ini"));
    EXPECT_EQ(log.main.view(), "");
    const compiler::TemperamentTable& t = compiler.instrument().temperaments;
    const char* names[] = {"Host Temperament", "Equal Temperament", "Just", "Meantone (quarter tone)", "Young I",
                           "Young II", "Kirnberger II", "Kirnberger III", "Vallotti modern", "Vallotti original",
                           "Vallotti-Barca", "Vallotti-Jorgensen", "Werckmeister I(III)", "Werckmeister II(IV)",
                           "Werckmeister III(V)", "Werckmeister IV(VI)"};
    ASSERT_EQ(t.count(), 16);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(t.name(i), names[i]) << i;
    EXPECT_FLOAT_EQ(t.entries[2].cents[4], -13.686f);
    EXPECT_FLOAT_EQ(t.entries[15].cents[11], -3.0f);
    EXPECT_EQ(t.current, 0);
}

}  // namespace
}  // namespace tess::test
