// What the X11 view publishes about itself for scripts and tests (`tessarine edit`), and the
// requests it accepts from them. The view keeps a property on its window that lists every
// control, one per line:
//
//     id <TAB> kind <TAB> x <TAB> y <TAB> width <TAB> height <TAB> value <TAB> items <TAB>
//     selected item <TAB> text
//
// kind is one of button, text, link, slider, combo, edit, pane; value is a slider's position
// or a combo's selection (-1 otherwise); in the texts "\\", "\n", "\r" and "\t" stand for
// themselves. A client message asks the view to do what a user's drag of a slider's thumb or
// choice in a combo's list does, so that a script can reach every position and entry exactly.
#pragma once

namespace tess::editor::x11 {

inline constexpr const char* kStateProperty = "_TESSARINE_EDITOR_CONTROLS";
inline constexpr const char* kRequestMessage = "_TESSARINE_EDITOR_REQUEST";

// data.l[0] of a request; l[1] is the control id, l[2] the position or entry.
inline constexpr long kMoveSlider = 1;
inline constexpr long kChooseEntry = 2;

}  // namespace tess::editor::x11
