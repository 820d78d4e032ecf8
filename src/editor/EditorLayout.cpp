#include "editor/EditorLayout.h"

#include <algorithm>

namespace tess::editor {

namespace texts {
const std::vector<std::string> kSampleTypes = {
    "One shot forward", "One shot backward", "One shot fw + bk", "One shot bk + fw",
    "Looped forward",   "Looped backward",   "Looped fw + bk",   "Looped bk + fw"};
const std::vector<std::string> kNormalisationModes = {"No action", "ABS stereo", "ABS L/R", "RMS stereo",
                                                      "RMS L/R"};
const char* const kPanelFieldTooltips[10] = {
    "Center note",
    "Start sample",
    "End sample",
    "Start loop sample",
    "End loop sample",
    "Release start sample",
    "Crossfade samples",
    "Crossfade among forward and backward (samples)",
    "Crossfade for the separate release (samples)",
    "Number of loops to perform (0 = unlimited). Ignored for one-shot"};
const char* const kPanelFieldLabels[10] = {"Center note", "Start",      "End",        "Loop start",
                                           "Loop end",    "Release",    "X-fade",     "X-fade f/b",
                                           "X-fade rel.", "Loops"};
}  // namespace texts

using namespace geometry;

const Control* Layout::find(int controlId) const {
    for (const Control& control : controls)
        if (control.id == controlId) return &control;
    return nullptr;
}

namespace {

struct SliderOverride {
    int x = -1;
    int y = -1;
    int width = -1;
};

SliderOverride overrideOf(const LayoutInput& input, int index) {
    SliderOverride result;
    if (input.overrides == nullptr || index >= input.overrideCount) return result;
    const compiler::UiOverride& item = input.overrides[index];
    if (item.x >= 0) result.x = item.x;
    if (item.y >= 0) result.y = item.y;
    if (item.size >= 0) result.width = item.size;
    return result;
}

int headerBottom(const LayoutInput& input) {
    const int rows = static_cast<int>(input.keyswitches.size());
    return rows == 0 ? kHeaderBottom : kHeaderBottom + 2 + rows * kKeyswitchPitch;
}

// Sliders per column: one column while the panes are shown, else as many as the width holds.
int sliderRows(int count, int width, bool panes) {
    if (count <= 0) return 0;
    if (panes) return count;
    const int columns = std::max(1, (width - 40) / kColumnWidth);
    return (count + columns - 1) / columns;
}

// The smallest size that holds everything without overlap, given the requested size.
void fitSize(const LayoutInput& input, bool panes, int count, int& width, int& height) {
    // The buttons of the top row end at 690, the log pane's caption at 696.
    width = std::max(width, (panes ? kPaneCaptionRight : kTopRowRight) + kMargin);
    const int rows = sliderRows(count, width, panes);
    // The slider block ends 6 pixels above the bottom and keeps a margin below the header.
    if (rows > 0) height = std::max(height, headerBottom(input) + kMargin + 6 + rows * kSliderPitch);
    if (panes) height = std::max(height, 300);
    for (const PanelPlacement& panel : input.panels) {
        width = std::max(width, panel.x + kPanelWidth + kMargin);
        height = std::max(height, panel.y + kPanelHeight + kMargin);
    }
    for (int i = 0; i < count; ++i) {
        const SliderOverride o = overrideOf(input, i);
        const int sliderWidth = o.width >= 0 ? o.width : kSliderWidth;
        if (o.x >= 0) width = std::max(width, o.x + sliderWidth + kCaptionGap + kCaptionWidth + kMargin);
        if (o.y >= 0) height = std::max(height, o.y + kSliderHeight + kMargin);
    }
}

void add(Layout& layout, ControlKind kind, int id, std::string text, Rect rect) {
    Control control;
    control.kind = kind;
    control.id = id;
    control.text = std::move(text);
    control.rect = rect;
    layout.controls.push_back(std::move(control));
}

void addCombo(Layout& layout, int id, Rect rect, std::vector<std::string> items, std::string tooltip = {}) {
    add(layout, ControlKind::Combo, id, {}, rect);
    layout.controls.back().items = std::move(items);
    layout.controls.back().tooltip = std::move(tooltip);
}

void addHeader(Layout& layout, const LayoutInput& input) {
    add(layout, ControlKind::Button, id::kResize, "Resize", {0, 0, 70, 24});
    add(layout, ControlKind::Button, id::kReload, "Reload", {410, 0, 70, 24});
    add(layout, ControlKind::Button, id::kBrowse, "Browse", {490, 0, 70, 24});
    add(layout, ControlKind::Button, id::kSoundFontImport, "SF2 bulk import", {570, 0, 120, 24});
    add(layout, ControlKind::ClickableText, id::kCurrentFile, texts::kNoFile, {0, 26, 1000, 17});
    add(layout, ControlKind::Text, id::kPoly, "Poly: 0", {0, 46, 90, 17});
    add(layout, ControlKind::Text, id::kTempo, "120.00 BPM", {0, 66, 90, 17});
    add(layout, ControlKind::Text, id::kTimeSignature, "4 / 4", {0, 86, 90, 17});

    // The caption's text lines up with the combo's.
    add(layout, ControlKind::Text, id::kTemperamentCaption, "Temperament", {90, 4, 100, 18});
    std::vector<std::string> items = {"Host temperament", "Equal temperament"};
    for (std::size_t i = 2; i < input.temperaments.size(); ++i) items.push_back(input.temperaments[i]);
    addCombo(layout, id::kTemperamentCombo, {200, 0, 200, 18}, std::move(items));

    const int rows = std::min(static_cast<int>(input.keyswitches.size()), id::kMaxKeyswitches);
    for (int k = 0; k < rows; ++k) {
        const KeyswitchRow& row = input.keyswitches[static_cast<std::size_t>(k)];
        const int y = kHeaderBottom + 2 + k * kKeyswitchPitch;
        add(layout, ControlKind::Text, id::keyswitchCaption(k), row.name, {0, y + 3, 190, 19});
        addCombo(layout, id::keyswitchCombo(k), {200, y, 200, 18}, row.options);
    }
}

void addSliders(Layout& layout, const LayoutInput& input, int count) {
    const int rows = sliderRows(count, layout.width, layout.panes);
    const int top = layout.height - rows * kSliderPitch;
    for (int i = 0; i < count; ++i) {
        Rect rect{0, 0, kSliderWidth, kSliderHeight};
        if (layout.panes) {
            rect.x = 20;
            rect.y = layout.height - 6 + (i - count) * kSliderPitch;
        } else {
            rect.x = (i / rows) * kColumnWidth + 20;
            rect.y = (i % rows) * kSliderPitch - 6 + top;
        }
        const SliderOverride o = overrideOf(input, i);
        if (o.x >= 0) rect.x = o.x;
        if (o.y >= 0) rect.y = o.y;
        if (o.width >= 0) rect.width = o.width;
        add(layout, ControlKind::Slider, id::slider(i), {}, rect);
        add(layout, ControlKind::Text, id::sliderCaption(i), {},
            {rect.right() + kCaptionGap, rect.y + 1, kCaptionWidth, 18});
    }
}

void addPanes(Layout& layout) {
    const int paneHeight = (layout.height - 100) / 2;
    const int paneWidth = layout.width - 424;
    // The clear buttons end where their panes begin.
    add(layout, ControlKind::Button, id::kLogClear, "X", {kPaneLeft, 55, 22, 19});
    add(layout, ControlKind::Text, id::kLogCaption, "Log: messages, warnings and errors",
        {436, 56, kPaneCaptionRight - 436, 18});
    add(layout, ControlKind::Pane, id::kLogPane, texts::kLogPaneInitial, {kPaneLeft, 74, paneWidth, paneHeight});
    add(layout, ControlKind::Button, id::kProgramClear, "X", {kPaneLeft, paneHeight + 75, 22, 19});
    add(layout, ControlKind::Text, id::kProgramCaption, "Accepted lines", {436, paneHeight + 76, 160, 18});
    add(layout, ControlKind::Pane, id::kProgramPane, texts::kProgramPaneInitial,
        {kPaneLeft, paneHeight + 94, paneWidth, paneHeight});
}

// A panel: caption and Browse, the file name, the two combos, then two rows of five labelled
// boxes, wide enough for "60.000000" and for 10000000000 (no release point).
void addPanel(Layout& layout, int panel, const PanelPlacement& place) {
    const int x = place.x;
    const int y = place.y;
    constexpr int kFieldPitch = kPanelWidth / 5;
    constexpr int kFieldWidth = kFieldPitch - 5;
    constexpr int kComboWidth = (kPanelWidth - 10) / 2;
    add(layout, ControlKind::Text, id::panelPart(panel, id::kPanelCaption), place.caption,
        {x, y + 3, kPanelWidth - 80, 18});
    add(layout, ControlKind::Button, id::panelPart(panel, id::kPanelBrowse), "Browse",
        {x + kPanelWidth - 70, y, 70, 24});
    add(layout, ControlKind::Text, id::panelPart(panel, id::kPanelFile), {}, {x, y + 26, kPanelWidth, 17});
    addCombo(layout, id::panelPart(panel, id::kPanelType), {x, y + 46, kComboWidth, 18}, texts::kSampleTypes,
             "Sample type");
    addCombo(layout, id::panelPart(panel, id::kPanelNormalisation), {x + kPanelWidth - kComboWidth, y + 46, kComboWidth, 18},
             texts::kNormalisationModes, "Normalization mode");
    // The second row gives the release point (up to 11 digits) a wider box than the
    // crossfades and the loop count.
    constexpr int kReleaseWidth = 110;
    constexpr int kShortPitch = (kPanelWidth - kReleaseWidth - 5) / 4;
    for (int f = 0; f < 10; ++f) {
        int fx = x + (f % 5) * kFieldPitch;
        int width = kFieldWidth;
        if (f == 5) width = kReleaseWidth;
        if (f > 5) {
            fx = x + kReleaseWidth + 5 + (f - 6) * kShortPitch;
            width = kShortPitch - 5;
        }
        const int fy = y + 70 + (f / 5) * 40;
        add(layout, ControlKind::Text, id::panelPart(panel, id::kPanelLabelFirst + f), texts::kPanelFieldLabels[f],
            {fx, fy, width, 15});
        add(layout, ControlKind::Edit, id::panelPart(panel, id::kPanelFieldFirst + f), {}, {fx, fy + 16, width, 20});
        layout.controls.back().tooltip = texts::kPanelFieldTooltips[f];
    }
}

}  // namespace

Layout layoutEditor(const LayoutInput& input) {
    Layout layout;
    layout.panes = input.debugLevel >= 1;
    const int count = std::clamp(input.sliderCount, 0, id::kMaxSliders);
    layout.width = std::max(input.width, 1);
    layout.height = std::max(input.height, 1);
    fitSize(input, layout.panes, count, layout.width, layout.height);

    addHeader(layout, input);
    const int panels = std::min(static_cast<int>(input.panels.size()), id::kMaxPanels);
    for (int p = 0; p < panels; ++p) addPanel(layout, p, input.panels[static_cast<std::size_t>(p)]);
    addSliders(layout, input, count);
    if (layout.panes) addPanes(layout);
    return layout;
}

}  // namespace tess::editor

namespace tess::editor {

Layout layoutImport(int width, int height) {
    Layout layout;
    layout.width = std::max(width, geometry::kTopRowRight + geometry::kMargin);
    layout.height = std::max(height, 200);
    layout.controls.push_back({ControlKind::Button, id::kImportButton, texts::kImportRunning, {0, 0, 120, 24}, {}, {}});
    layout.controls.push_back({ControlKind::Text, id::kImportCaption, "Processing log:", {130, 4, 260, 18}, {}, {}});
    layout.controls.push_back(
        {ControlKind::Pane, id::kImportPane, {}, {0, 28, layout.width, layout.height - 28}, {}, {}});
    return layout;
}

}  // namespace tess::editor
