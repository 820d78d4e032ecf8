// What the render loop calls when a voice's arpeggio is due to play its pattern again. The
// note path implements it; the engine only knows this interface.
#pragma once

namespace tess {

struct Voice;

class NoteRepeater {
public:
    virtual ~NoteRepeater() = default;
    // `voice` played a pattern's last note and its repeat time has passed; its pending flag
    // is already cleared.
    virtual void repeatNote(Voice& voice) = 0;
};

}  // namespace tess
