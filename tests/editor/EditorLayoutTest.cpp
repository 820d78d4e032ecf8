// The layout arithmetic: slider columns and the stacked column beside the log panes, the panes,
// the keyswitch rows, sample panels, item overrides, and the promise that nothing the layout
// places covers anything else.
#include <gtest/gtest.h>

#include <string>

#include "editor/EditorLayout.h"

namespace tess::editor {

void PrintTo(const Rect& r, std::ostream* os) { *os << "{" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << "}"; }

namespace {

LayoutInput input(int width, int height, int sliders, int debug) {
    LayoutInput in;
    in.width = width;
    in.height = height;
    in.sliderCount = sliders;
    in.debugLevel = debug;
    in.temperaments = {"Host Temperament", "Equal Temperament", "Just"};
    return in;
}

Rect rectOf(const Layout& layout, int controlId) {
    const Control* control = layout.find(controlId);
    return control != nullptr ? control->rect : Rect{-1, -1, -1, -1};
}

TEST(EditorLayout, SlidersFillColumnsOrStackBesideThePanes) {
    struct Case {
        int width, height, sliders, debug;
        int slider;
        Rect expected;
    } cases[] = {
        // Two columns of ten in 800 x 400: top = 400 - 10 * 20.
        {800, 400, 20, 0, 0, {20, 194, 200, 20}},
        {800, 400, 20, 0, 9, {20, 374, 200, 20}},
        {800, 400, 20, 0, 10, {380, 194, 200, 20}},
        {800, 400, 20, 0, 19, {380, 374, 200, 20}},
        // Four columns of five in 1600 x 800: top = 700.
        {1600, 800, 20, 0, 0, {20, 694, 200, 20}},
        {1600, 800, 20, 0, 5, {380, 694, 200, 20}},
        {1600, 800, 20, 0, 19, {1100, 774, 200, 20}},
        // Three sliders fit one row: each column takes one.
        {1600, 800, 3, 0, 2, {740, 774, 200, 20}},
        // Stacked from the bottom while the panes show: y = height - 6 + (i - count) * 20.
        {800, 400, 5, 1, 0, {20, 294, 200, 20}},
        {800, 400, 5, 1, 4, {20, 374, 200, 20}},
        {800, 600, 5, 2, 4, {20, 574, 200, 20}},
    };
    for (const Case& c : cases) {
        const Layout layout = layoutEditor(input(c.width, c.height, c.sliders, c.debug));
        EXPECT_EQ(layout.width, c.width);
        EXPECT_EQ(layout.height, c.height);
        EXPECT_EQ(rectOf(layout, id::slider(c.slider)), c.expected)
            << c.width << "x" << c.height << " sliders " << c.sliders << " debug " << c.debug << " slider " << c.slider;
        const Rect caption = rectOf(layout, id::sliderCaption(c.slider));
        EXPECT_EQ(caption, (Rect{c.expected.x + 220, c.expected.y + 1, 130, 18}));
    }
}

TEST(EditorLayout, SliderCountIsTheVstvarsCountUpTo128) {
    for (const auto& [requested, shown] : {std::pair{0, 0}, {1, 1}, {20, 20}, {128, 128}, {500, 128}, {-3, 0}}) {
        const Layout layout = layoutEditor(input(1600, 800, requested, 0));
        int sliders = 0;
        for (const Control& control : layout.controls) sliders += control.kind == ControlKind::Slider ? 1 : 0;
        EXPECT_EQ(sliders, shown) << requested;
    }
}

TEST(EditorLayout, LogPanesSplitTheRightSideFromLevelOne) {
    EXPECT_FALSE(layoutEditor(input(800, 400, 4, 0)).find(id::kLogPane));
    const Layout layout = layoutEditor(input(800, 400, 4, 1));
    ASSERT_TRUE(layout.panes);
    // Pane height (400 - 100) / 2 = 150, width 800 - 424 = 376.
    EXPECT_EQ(rectOf(layout, id::kLogPane), (Rect{410, 74, 376, 150}));
    EXPECT_EQ(rectOf(layout, id::kProgramPane), (Rect{410, 244, 376, 150}));
    EXPECT_EQ(rectOf(layout, id::kLogCaption), (Rect{436, 56, 260, 18}));
    EXPECT_EQ(rectOf(layout, id::kProgramCaption), (Rect{436, 226, 160, 18}));
    EXPECT_EQ(rectOf(layout, id::kLogClear), (Rect{410, 55, 22, 19}));
    EXPECT_EQ(rectOf(layout, id::kProgramClear), (Rect{410, 225, 22, 19}));
    EXPECT_EQ(layout.find(id::kLogPane)->text, texts::kLogPaneInitial);
    EXPECT_EQ(layout.find(id::kProgramPane)->text, texts::kProgramPaneInitial);
}

TEST(EditorLayout, FixedControlsKeepTheirPlaces) {
    const Layout layout = layoutEditor(input(800, 400, 0, 0));
    const struct {
        int control;
        const char* text;
        Rect rect;
    } fixed[] = {
        {id::kResize, "Resize", {0, 0, 70, 24}},
        {id::kReload, "Reload", {410, 0, 70, 24}},
        {id::kBrowse, "Browse", {490, 0, 70, 24}},
        {id::kSoundFontImport, "SF2 bulk import", {570, 0, 120, 24}},
        {id::kCurrentFile, "Current file: (none)", {0, 26, 1000, 17}},
        {id::kPoly, "Poly: 0", {0, 46, 90, 17}},
        {id::kTempo, "120.00 BPM", {0, 66, 90, 17}},
        {id::kTimeSignature, "4 / 4", {0, 86, 90, 17}},
        {id::kTemperamentCaption, "Temperament", {90, 4, 100, 18}},
        {id::kTemperamentCombo, "", {200, 0, 200, 18}},
    };
    for (const auto& f : fixed) {
        const Control* control = layout.find(f.control);
        ASSERT_NE(control, nullptr) << f.text;
        EXPECT_EQ(control->text, f.text);
        EXPECT_EQ(control->rect, f.rect) << f.text;
    }
    EXPECT_EQ(layout.find(id::kTemperamentCombo)->items,
              (std::vector<std::string>{"Host temperament", "Equal temperament", "Just"}));
}

TEST(EditorLayout, KeyswitchRowsFollowBelowTheHeader) {
    LayoutInput in = input(800, 400, 0, 0);
    in.keyswitches = {{"Register", {"Flute", "Reed"}}, {"Mute", {"Off", "On", "Half"}}};
    const Layout layout = layoutEditor(in);
    EXPECT_EQ(rectOf(layout, id::keyswitchCaption(0)), (Rect{0, 111, 190, 19}));
    EXPECT_EQ(rectOf(layout, id::keyswitchCombo(0)), (Rect{200, 108, 200, 18}));
    EXPECT_EQ(rectOf(layout, id::keyswitchCombo(1)), (Rect{200, 130, 200, 18}));
    EXPECT_EQ(layout.find(id::keyswitchCaption(1))->text, "Mute");
    EXPECT_EQ(layout.find(id::keyswitchCombo(1))->items, (std::vector<std::string>{"Off", "On", "Half"}));
    EXPECT_FALSE(layout.find(id::keyswitchCombo(2)));
}

TEST(EditorLayout, OverridesMoveAndResizeOneSliderAndItsCaption) {
    compiler::UiOverride overrides[compiler::CommonSettings::kUiItems];
    overrides[2] = {500, 300, 100};                                       // all three
    overrides[3] = {compiler::UiOverride::kUnchanged, 40, compiler::UiOverride::kUnchanged};  // y only
    LayoutInput in = input(800, 400, 4, 0);
    in.overrides = overrides;
    in.overrideCount = compiler::CommonSettings::kUiItems;
    const Layout layout = layoutEditor(in);
    EXPECT_EQ(rectOf(layout, id::slider(2)), (Rect{500, 300, 100, 20}));
    EXPECT_EQ(rectOf(layout, id::sliderCaption(2)), (Rect{620, 301, 130, 18}));
    // Two columns of two, top 360: slider 3 keeps its column's x.
    EXPECT_EQ(rectOf(layout, id::slider(3)), (Rect{380, 40, 200, 20}));
    EXPECT_EQ(rectOf(layout, id::slider(0)), (Rect{20, 354, 200, 20}));

    // An override beyond the window makes the window hold it.
    overrides[0] = {1200, 900, 300};
    const Layout grown = layoutEditor(in);
    EXPECT_EQ(grown.width, 1200 + 300 + 20 + 130 + 4);
    EXPECT_EQ(grown.height, 900 + 20 + 4);
}

TEST(EditorLayout, SamplePanelsSitWhereTheInstrumentPutsThem) {
    LayoutInput in = input(800, 400, 0, 0);
    in.panels = {{"Piano", 420, 120}, {"Drum", 700, 300}};
    const Layout layout = layoutEditor(in);
    EXPECT_EQ(layout.find(id::panelPart(0, id::kPanelCaption))->text, "Piano");
    EXPECT_EQ(rectOf(layout, id::panelPart(0, id::kPanelCaption)), (Rect{420, 123, 305, 18}));
    EXPECT_EQ(rectOf(layout, id::panelPart(0, id::kPanelBrowse)), (Rect{735, 120, 70, 24}));
    // Ten boxes in two rows of five, each under its label.
    EXPECT_EQ(rectOf(layout, id::panelPart(0, id::kPanelFieldFirst + 1)), (Rect{420 + 77, 206, 72, 20}));
    EXPECT_EQ(rectOf(layout, id::panelPart(0, id::kPanelLabelFirst + 1)), (Rect{420 + 77, 190, 72, 15}));
    EXPECT_EQ(rectOf(layout, id::panelPart(0, id::kPanelFieldFirst + 5)), (Rect{420, 246, 110, 20}));
    EXPECT_EQ(rectOf(layout, id::panelPart(0, id::kPanelFieldFirst + 9)), (Rect{420 + 115 + 3 * 67, 246, 62, 20}));
    EXPECT_EQ(layout.find(id::panelPart(0, id::kPanelType))->items.size(), 8u);
    EXPECT_EQ(layout.find(id::panelPart(0, id::kPanelType))->items[6], "Looped fw + bk");
    EXPECT_EQ(layout.find(id::panelPart(0, id::kPanelNormalisation))->items[4], "RMS L/R");
    const Control* loops = layout.find(id::panelPart(1, id::kPanelFieldFirst + 9));
    ASSERT_NE(loops, nullptr);
    EXPECT_EQ(loops->kind, ControlKind::Edit);
    EXPECT_EQ(loops->tooltip, "Number of loops to perform (0 = unlimited). Ignored for one-shot");
    EXPECT_EQ(layout.find(id::panelPart(1, id::kPanelFieldFirst))->tooltip, "Center note");
    // The second panel reaches x 1085 and y 450: the window grows to hold it.
    EXPECT_EQ(layout.width, 700 + geometry::kPanelWidth + geometry::kMargin);
    EXPECT_EQ(layout.height, 300 + geometry::kPanelHeight + geometry::kMargin);
}

TEST(EditorLayout, WindowGrowsInsteadOfLettingControlsOverlap) {
    // 20 stacked sliders need 400 pixels below the header: 400 high is not enough.
    const Layout stacked = layoutEditor(input(800, 400, 20, 1));
    EXPECT_EQ(stacked.height, geometry::kHeaderBottom + geometry::kMargin + 6 + 20 * 20);
    EXPECT_GE(rectOf(stacked, id::slider(0)).y, geometry::kHeaderBottom + geometry::kMargin);
    // The narrowest INTERFACE still shows the whole top row of buttons.
    EXPECT_EQ(layoutEditor(input(400, 300, 0, 0)).width, 694);
    // With the panes, the log pane's caption needs 700.
    EXPECT_EQ(rectOf(layoutEditor(input(400, 300, 0, 1)), id::kLogPane).width, 700 - 424);
}

// Every control the layout places (sample panels and overrides are placed by the instrument)
// lies inside the window and covers no other, for many sizes, counts and levels.
TEST(EditorLayout, NoControlCoversAnotherAndAllAreInside) {
    for (int width : {400, 700, 800, 1600})
        for (int height : {300, 400, 800})
            for (int sliders : {0, 1, 7, 20, 128})
                for (int debug : {-1, 0, 1, 3})
                    for (int keyswitches : {0, 3, 8}) {
                        LayoutInput in = input(width, height, sliders, debug);
                        for (int k = 0; k < keyswitches; ++k) in.keyswitches.push_back({"K", {"a", "b"}});
                        const Layout layout = layoutEditor(in);
                        const std::string where = std::to_string(width) + "x" + std::to_string(height) + " sliders " +
                                                  std::to_string(sliders) + " debug " + std::to_string(debug) +
                                                  " keyswitches " + std::to_string(keyswitches);
                        EXPECT_GE(layout.width, width) << where;
                        EXPECT_GE(layout.height, height) << where;
                        for (std::size_t a = 0; a < layout.controls.size(); ++a) {
                            const Control& first = layout.controls[a];
                            const Rect& r = first.rect;
                            EXPECT_TRUE(r.x >= 0 && r.y >= 0 && r.bottom() <= layout.height) << where << " " << first.id;
                            // The current file's text may run past the right edge, as a long name would.
                            if (first.id != id::kCurrentFile) {
                                EXPECT_LE(r.right(), layout.width) << where << " " << first.id;
                            }
                            for (std::size_t b = a + 1; b < layout.controls.size(); ++b)
                                EXPECT_FALSE(r.overlaps(layout.controls[b].rect))
                                    << where << ": " << first.id << " and " << layout.controls[b].id;
                        }
                    }
}

}  // namespace
}  // namespace tess::editor
