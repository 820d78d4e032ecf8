// The editor's controls as data: what kind each is, its id, text and rectangle. The layout
// produces a list of these; a platform view creates one native control per entry and reports
// user actions by id. Ids are stable numbers so that a host script or test can find a control.
#pragma once

#include <string>
#include <vector>

namespace tess::editor {

enum class ControlKind {
    Button,
    Text,           // a static text
    ClickableText,  // a static text that reports clicks (the current file)
    Slider,         // a horizontal trackbar of 0 .. 10000
    Combo,          // a drop-down list
    Edit,           // a one-line edit box
    Pane,           // a multi-line, scrolling, read-only text pane
};

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int right() const { return x + width; }
    int bottom() const { return y + height; }
    bool overlaps(const Rect& other) const {
        return x < other.right() && other.x < right() && y < other.bottom() && other.y < bottom();
    }
    bool operator==(const Rect&) const = default;
};

struct Control {
    ControlKind kind = ControlKind::Text;
    int id = 0;
    std::string text;
    Rect rect;
    std::vector<std::string> items;  // a combo's entries
    std::string tooltip;
};

namespace id {
inline constexpr int kResize = 1;
inline constexpr int kReload = 2;
inline constexpr int kBrowse = 3;
inline constexpr int kSoundFontImport = 4;
inline constexpr int kCurrentFile = 5;
inline constexpr int kPoly = 6;
inline constexpr int kTempo = 7;
inline constexpr int kTimeSignature = 8;
inline constexpr int kTemperamentCaption = 9;
inline constexpr int kTemperamentCombo = 10;
inline constexpr int kLogPane = 11;
inline constexpr int kProgramPane = 12;
inline constexpr int kLogCaption = 13;
inline constexpr int kProgramCaption = 14;
inline constexpr int kLogClear = 15;
inline constexpr int kProgramClear = 16;
// The controls shown while a SoundFont import runs.
inline constexpr int kImportButton = 17;
inline constexpr int kImportCaption = 18;
inline constexpr int kImportPane = 19;

inline constexpr int kMaxSliders = 128;
inline constexpr int kSliderBase = 100;         // slider i: 100 + i
inline constexpr int kSliderCaptionBase = 300;  // its caption: 300 + i
inline constexpr int kMaxKeyswitches = 32;
inline constexpr int kKeyswitchCaptionBase = 500;  // keyswitch k: caption 500 + k
inline constexpr int kKeyswitchComboBase = 540;    // and combo 540 + k
inline constexpr int kMaxPanels = 32;
inline constexpr int kPanelBase = 1000;  // sample panel p, part n: 1000 + 32 p + n
inline constexpr int kPanelStride = 32;

// The parts of one sample panel.
inline constexpr int kPanelCaption = 0;
inline constexpr int kPanelBrowse = 1;
inline constexpr int kPanelFile = 2;
inline constexpr int kPanelType = 3;
inline constexpr int kPanelNormalisation = 4;
inline constexpr int kPanelFieldFirst = 5;   // the ten edit boxes: 5 .. 14
inline constexpr int kPanelLabelFirst = 15;  // and their labels: 15 .. 24

constexpr int slider(int index) { return kSliderBase + index; }
constexpr int sliderCaption(int index) { return kSliderCaptionBase + index; }
constexpr int keyswitchCaption(int k) { return kKeyswitchCaptionBase + k; }
constexpr int keyswitchCombo(int k) { return kKeyswitchComboBase + k; }
constexpr int panelPart(int panel, int part) { return kPanelBase + panel * kPanelStride + part; }

// The index a control id stands for within its family, or -1.
constexpr int sliderOf(int control) {
    return control >= kSliderBase && control < kSliderBase + kMaxSliders ? control - kSliderBase : -1;
}
constexpr int keyswitchOf(int control) {
    return control >= kKeyswitchComboBase && control < kKeyswitchComboBase + kMaxKeyswitches
               ? control - kKeyswitchComboBase
               : -1;
}
constexpr int panelOf(int control) {
    return control >= kPanelBase && control < kPanelBase + kMaxPanels * kPanelStride
               ? (control - kPanelBase) / kPanelStride
               : -1;
}
constexpr int panelPartOf(int control) { return panelOf(control) >= 0 ? (control - kPanelBase) % kPanelStride : -1; }
}  // namespace id

}  // namespace tess::editor
