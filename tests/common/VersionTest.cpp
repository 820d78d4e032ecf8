// The release version and the number hosts see as the vendor version.
#include <gtest/gtest.h>

#include <regex>

#include "common/Version.h"

namespace tess {
namespace {

TEST(Version, NumberIsMajorThousandsMinorHundredsAndPatch) {
    struct Case {
        const char* text;
        int number;
    };
    for (const Case c :
         {Case{"1.0.0", 1000}, Case{"2.3.4", 2304}, Case{"0.9.12", 912}, Case{"10.0.1", 10001}})
        EXPECT_EQ(versionNumber(c.text), c.number) << c.text;
    EXPECT_TRUE(std::regex_match(kVersion, std::regex("[0-9]+\\.[0-9]\\.[0-9]{1,2}")));
    EXPECT_EQ(kVendorVersion, versionNumber(kVersion));
}

}  // namespace
}  // namespace tess
