#include <gtest/gtest.h>

#include <set>
#include <string>

#include "state/HostParameterTable.h"
#include "state/ParameterScale.h"

namespace tess {
namespace {

TEST(HostParameterTable, ResetNamesEveryEntryAndClearsValuesAndLinks) {
    HostParameterTable table;
    table.describe(5, "Cutoff Frequency", "Hertz", 20, 20000, kScaleLogarithmic);
    table.setVstVarValue(5, 440);
    table.setControllerLink(7, 5);
    table.setLinkedController(5, 7);
    table.reset();
    EXPECT_STREQ(table.name(5), "Var #5");
    EXPECT_STREQ(table.name(127), "Var #127");
    EXPECT_STREQ(table.unit(5), "");
    EXPECT_EQ(table.scaleType(5), kScaleLinear);
    EXPECT_EQ(table.minimum(5), 0.0f);
    EXPECT_EQ(table.maximum(5), 1.0f);
    EXPECT_EQ(table.internalValue(5), 0.0f);
    EXPECT_EQ(table.hostValue(5), 0.0f);
    EXPECT_EQ(table.linkedController(5), -1);
    EXPECT_EQ(table.parameterOfController(7), -1);
}

TEST(HostParameterTable, NamesKeepSixteenCharacters) {
    HostParameterTable table;
    table.describe(0, "Cutoff Frequency of the filter", "cycles per second", 0, 1, kScaleLinear);
    EXPECT_STREQ(table.name(0), "Cutoff Frequency");
    EXPECT_STREQ(table.unit(0), "cycles per secon");
}

TEST(HostParameterTable, SetVstVarValueClampsToTheRangeEvenWhenReversed) {
    HostParameterTable table;
    table.describe(1, "Up", "", 0, 10, kScaleLinear);
    table.describe(2, "Down", "", 10, 0, kScaleLinear);
    table.describe(3, "Steps", "", 0, 10, kScaleInteger);
    const struct {
        int index;
        float value, internal, host;
    } cases[] = {
        {1, 5, 5, 0.5f}, {1, -3, 0, 0}, {1, 12, 10, 1}, {2, 5, 5, 0.5f},
        {2, -3, 0, 1},   {2, 12, 10, 0}, {3, 3.6f, 4, 0.4f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.index) + ": " + std::to_string(c.value));
        EXPECT_FLOAT_EQ(table.setVstVarValue(c.index, c.value), c.host);
        EXPECT_FLOAT_EQ(table.internalValue(c.index), c.internal);
        EXPECT_FLOAT_EQ(table.hostValue(c.index), c.host);
    }
    EXPECT_FALSE(table.anyChanged());  // a declared value is not a host change
}

TEST(HostParameterTable, AHostChangeIsStoredAsGivenAndVisitedOnce) {
    HostParameterTable table;
    table.describe(70, "Down", "", 10, 0, kScaleLinear);
    EXPECT_FLOAT_EQ(table.setHostValue(70, 0.0f), 10.0f);
    EXPECT_FLOAT_EQ(table.setHostValue(70, 1.25f), -2.5f);  // outside the range, as given
    EXPECT_FLOAT_EQ(table.hostValue(70), 1.25f);
    table.setHostValue(3, 0.5f);
    table.setHostValue(127, 0.5f);
    EXPECT_EQ(table.changeCount(), 4u);
    std::multiset<int> visited;
    table.takeChanged([&visited](int index) { visited.insert(index); });
    EXPECT_EQ(visited, (std::multiset<int>{3, 70, 127}));
    EXPECT_FALSE(table.anyChanged());
    table.takeChanged([](int index) { ADD_FAILURE() << index; });
}

TEST(HostParameterTable, ACopyTakesDescriptionsValuesLinksAndChanges) {
    HostParameterTable built;
    built.describe(3, "Cutoff", "Hz", 20.0f, 20000.0f, kScaleLogarithmic);
    built.setVstVarValue(3, 1000.0f);
    built.setLinkedController(3, 74);
    built.setControllerLink(74, 3);
    built.setHostValue(5, 0.25f);

    HostParameterTable running;
    running.setHostValue(9, 0.5f);
    running.setHostValue(9, 0.5f);
    running.takeChanged([](int) {});
    running.describe(3, "Old", "", 0.0f, 1.0f, kScaleLinear);
    running.copyFrom(built);

    EXPECT_STREQ(running.name(3), "Cutoff");
    EXPECT_STREQ(running.unit(3), "Hz");
    EXPECT_EQ(running.scaleType(3), kScaleLogarithmic);
    EXPECT_FLOAT_EQ(running.internalValue(3), built.internalValue(3));
    EXPECT_FLOAT_EQ(running.hostValue(3), built.hostValue(3));
    EXPECT_EQ(running.linkedController(3), 74);
    EXPECT_EQ(running.parameterOfController(74), 3);
    EXPECT_FLOAT_EQ(running.hostValue(9), 0.0f);  // the build's value, not the old one
    std::set<int> changed;
    running.takeChanged([&](int index) { changed.insert(index); });
    EXPECT_EQ(changed, std::set<int>{5});  // what the build changed is acted on once installed
}

}  // namespace
}  // namespace tess
