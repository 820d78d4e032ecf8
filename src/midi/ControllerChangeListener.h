// What the note path tells about each MIDI control change it accepts, once the controller,
// its OFF triggers and the pedals have taken it. The plug-in implements it to pass a change of
// a controller linked to a host parameter on to that parameter.
#pragma once

namespace tess {

class ControllerChangeListener {
public:
    virtual ~ControllerChangeListener() = default;
    // Runs on the audio thread, inside the block's event handling.
    virtual void controllerChanged(int controller, int value) = 0;
};

}  // namespace tess
