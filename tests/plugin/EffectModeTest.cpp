#include <gtest/gtest.h>

#include "plugin/EffectMode.h"

namespace tess {
namespace {

TEST(EffectMode, LibraryNamesCompareTheirEndingWithoutCase) {
    const struct {
        const char* name;
        const char* suffix;
        bool effect;
    } cases[] = {
        {"C:\\VST\\EFFECT.DLL", "effect.dll", true},
        {"C:\\VST\\my-effect.dll", "effect.dll", true},
        {"effect.dll", "effect.dll", true},
        {"effect.dll.bak", "effect.dll", false},
        {"C:\\VST\\Tessarine.dll", "effect.dll", false},
        {"ffect.dll", "effect.dll", false},
        {"", "effect.dll", false},
        {"/usr/lib/vst/effect.so", "effect.so", true},
        {"/usr/lib/vst/Tessarine-EFFECT.SO", "effect.so", true},
        {"/usr/lib/vst/effect.so.1", "effect.so", false},
        {"/usr/lib/vst/Tessarine.so", "effect.so", false},
        {"effect.dll", "effect.so", false},
    };
    for (const auto& c : cases) EXPECT_EQ(endsWithNoCase(c.name, c.suffix), c.effect) << c.name;
}

TEST(EffectMode, ThisPlatformUsesItsOwnLibraryEnding) {
#ifdef _WIN32
    EXPECT_TRUE(isEffectModuleName("x\\effect.dll"));
    EXPECT_FALSE(isEffectModuleName("x/effect.so"));
#else
    EXPECT_TRUE(isEffectModuleName("x/effect.so"));
    EXPECT_FALSE(isEffectModuleName("x\\effect.dll"));
#endif
}

}  // namespace
}  // namespace tess
