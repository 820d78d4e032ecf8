// The editor's layout as arithmetic: from the window size and what the instrument declares
// (host parameter sliders, keyswitches, temperaments, sample panels, item overrides, the log
// level) to the list of controls with their rectangles.
//
// The top rows hold the buttons, the current file, the voice count, tempo and metre and the
// temperament combo; the keyswitch rows follow beneath them. Sliders fill columns from the
// bottom of the window, or stack in one column on the left while the log panes are shown on the
// right (log level 1 and above). When the window is too small for all of that, the layout grows
// it rather than letting controls cover each other; sample panels and overridden sliders stay
// where the instrument put them and the window grows to hold them.
#pragma once

#include <string>
#include <vector>

#include "compiler/CompiledInstrument.h"
#include "editor/EditorControls.h"

namespace tess::editor {

struct KeyswitchRow {
    std::string name;
    std::vector<std::string> options;
};

struct PanelPlacement {
    std::string caption;
    int x = 0;
    int y = 0;
};

struct LayoutInput {
    int width = 800;
    int height = 400;
    int sliderCount = 0;  // clamped to 0 .. 128
    int debugLevel = 0;   // the log panes show from 1 on
    std::vector<KeyswitchRow> keyswitches;
    std::vector<std::string> temperaments;  // every temperament's name, in table order
    std::vector<PanelPlacement> panels;
    // Position and size overrides of the sliders (item i is slider i); null for none.
    const compiler::UiOverride* overrides = nullptr;
    int overrideCount = 0;
};

struct Layout {
    int width = 0;   // the size the controls were laid out for, at least the requested one
    int height = 0;
    bool panes = false;
    std::vector<Control> controls;

    const Control* find(int controlId) const;
};

// Fixed geometry of the top rows and the families below them.
namespace geometry {
inline constexpr int kSliderWidth = 200;
inline constexpr int kSliderHeight = 20;
inline constexpr int kSliderPitch = 20;        // rows of sliders
inline constexpr int kColumnWidth = 360;       // slider, gap and caption
inline constexpr int kCaptionGap = 20;         // between a slider and its caption
inline constexpr int kCaptionWidth = 130;
inline constexpr int kHeaderBottom = 106;      // below the time signature text
inline constexpr int kKeyswitchPitch = 22;
inline constexpr int kMargin = 4;              // kept free between families
inline constexpr int kPanelWidth = 385;  // fits left of the log panes at x 20
inline constexpr int kPanelHeight = 150;
inline constexpr int kPaneLeft = 410;
inline constexpr int kTopRowRight = 690;       // right end of the last button of the top row
inline constexpr int kPaneCaptionRight = 696;  // right end of the log pane's caption
}  // namespace geometry

Layout layoutEditor(const LayoutInput& input);

// While a SoundFont import runs only its controls exist: a button ("Processing...", then "OK")
// and the processing log beneath it, filling the window.
Layout layoutImport(int width, int height);

// The texts of the fixed controls and of the sample panel's combos and boxes.
namespace texts {
inline constexpr const char* kLogPaneInitial = "Log/Warning/Error messages go here...";
inline constexpr const char* kProgramPaneInitial = "Accepted lines go here...";
inline constexpr const char* kNoFile = "Current file: (none)";
inline constexpr const char* kImportRunning = "Processing...";
inline constexpr const char* kImportDone = "OK";
extern const std::vector<std::string> kSampleTypes;          // 8 entries
extern const std::vector<std::string> kNormalisationModes;   // 5 entries
extern const char* const kPanelFieldTooltips[10];
extern const char* const kPanelFieldLabels[10];
}  // namespace texts

}  // namespace tess::editor
