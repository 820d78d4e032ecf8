// What each control of the editor does to the plug-in, free of any window: a slider move, a
// keyswitch or temperament choice, clearing a log pane, loading a file, and the edits of a
// sample panel. The platform view reports the user's action and the editor calls one of these.
#pragma once

#include <string>

#include "editor/EditorModel.h"

namespace tess {
class Tessarine;
}

namespace tess::editor {

// A slider moved to `position` (0 .. 10000): the host value position / 10000 is set and
// automated.
void moveFader(Tessarine& plugin, int index, int position);

// A keyswitch combo's choice: the key states change as pressing that option's key would, and
// the OFF triggers on those keys are evaluated. False when the keyswitch or option is unknown.
bool chooseKeyswitch(Tessarine& plugin, int keyswitch, int option);

// The temperament combo's choice becomes the current temperament; a controller or host
// parameter linked to the temperament follows it.
bool chooseTemperament(Tessarine& plugin, int index);

// Empties the main log (pane 0) or the accepted lines (pane 1).
void clearPane(Tessarine& plugin, int pane);

// Loads `path` as a file the user chose (it counts as new even when it is the loaded one),
// then hands every host parameter's value to the host again. True when the file was read.
bool loadChosenInstrument(Tessarine& plugin, const std::string& path);

// Sample panels. Each edit stores the value in the panel's settings and rebuilds the slot from
// them; a rebuild that fails is logged and leaves the slot as it was. A panel whose slot holds
// no sampled file keeps the settings until a file is chosen.
enum class PanelField {
    CentreNote,
    Start,
    End,
    LoopStart,
    LoopEnd,
    Release,
    Crossfade,
    CrossfadeForwardBackward,
    CrossfadeRelease,
    Loops,
};
// False (and nothing stored) when `text` is not a number.
bool editPanelField(Tessarine& plugin, SamplePanel& panel, PanelField field, const std::string& text);
void choosePanelSampleType(Tessarine& plugin, SamplePanel& panel, int type);
void choosePanelNormalisation(Tessarine& plugin, SamplePanel& panel, int mode);
void choosePanelFile(Tessarine& plugin, SamplePanel& panel, const std::string& path);
// Builds the panel's slot again from its settings; true when the slot was rebuilt.
bool rebuildPanelSlot(Tessarine& plugin, SamplePanel& panel);

}  // namespace tess::editor
