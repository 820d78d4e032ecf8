// What the editor reads of the plug-in: the layout's input (sliders, keyswitches,
// temperaments, sample panels, overrides, log level) and, at every idle, the values its
// controls show (texts, slider positions, combo selections). Changes are found by comparing
// with what the view was last given, so a view is only told what changed.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "editor/EditorLayout.h"
#include "samples/SampleLoader.h"

namespace tess {
class Tessarine;
}

namespace tess::editor {

// The settings one sample panel edits: the slot it rebuilds and the request it rebuilds it
// with, in file frames.
struct SamplePanel {
    int entry = 0;  // the SAMPLEUI entry, 0 .. 31
    int slot = 0;
    SampleRequest request;
};

// The panel settings that rebuild a slot exactly as it is now; an empty file name when the
// slot holds no sampled audio.
SamplePanel panelFromSlot(const Tessarine& plugin, int entry);

LayoutInput layoutInputFor(Tessarine& plugin, int width, int height);

// The text and value of every control whose content follows the plug-in.
struct ShownState {
    std::map<int, std::string> texts;
    std::map<int, int> values;  // slider positions and combo selections
};

// Slider captions: the parameter's name, display and label, separated by blanks.
std::string sliderCaption(Tessarine& plugin, int index);
// Slider positions: the host value times 10000, truncated.
int sliderPosition(Tessarine& plugin, int index);
// The option a keyswitch's key states select, or -1 when none is selected.
int keyswitchOption(const Tessarine& plugin, int keyswitch);
// "Poly: %d": the note voices that still sound, with "+P" while a sustain pedal is down.
std::string polyText(const Tessarine& plugin);
std::string currentFileText(const Tessarine& plugin);

// Everything but the log panes, whose text is copied only when the log changed.
ShownState readShownState(Tessarine& plugin, const Layout& layout, const std::vector<SamplePanel>& panels);

// The entries of `now` that differ from (or are missing in) `shown`.
ShownState changedEntries(const ShownState& shown, const ShownState& now);

}  // namespace tess::editor
