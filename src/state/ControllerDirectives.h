// The directives that declare an instrument's host parameters and controller start values:
//
//   VSTVAR number, initial, "name", "unit", min, max, scale type
//   MIDICC number [, value [, vstvar]]
//
// VSTVAR describes host parameter `number` (0 .. 127) and gives it its initial internal value.
// MIDICC gives MIDI controller `number` (0 .. 199) a start value and, for a controller below
// 128, may bind it to a host parameter both ways: the parameter follows the controller and the
// controller follows the parameter.
//
// Both run while a load compiles the COMMON section, so they also see and pass on the
// temperament link: a temperament selection hands its index to a linked controller or host
// parameter at once, and TEMPERAMENTCC reads the value that MIDICC and VSTVAR lines above it
// left in that controller or parameter.
#pragma once

#include <functional>

#include "compiler/InstrumentCompiler.h"
#include "state/HostParameterTable.h"

namespace tess {

// What the directives do outside the compiled instrument; the plug-in provides each.
struct ControllerDirectiveActions {
    // MIDICC: the controller's current value, and both smoothing memories so that smoothed
    // readers start at it without a glide.
    std::function<void(int controller, float value)> setStartValue;
    // The controller's current value only (a temperament selection passed to its controller).
    std::function<void(int controller, float value)> setControllerValue;
    // The current value of a controller 0 .. 199 as the load has left it so far.
    std::function<float(int controller)> controllerValue;
    // The full host change of a parameter, without and with the host's notification.
    std::function<void(int index, float host)> setParameter;
    std::function<void(int index, float host)> setParameterAutomated;
};

void handleVstVar(const compiler::DirectiveLine& line, HostParameterTable& parameters);
void handleMidiController(const compiler::DirectiveLine& line, HostParameterTable& parameters,
                          compiler::TemperamentTable& temperaments, const ControllerDirectiveActions& actions);

// Installs VSTVAR and MIDICC, and puts TEMPERAMENT and TEMPERAMENTCC in touch with the
// controllers and parameters. The handlers keep references to all three arguments.
void installControllerDirectives(compiler::InstrumentCompiler& compiler, HostParameterTable& parameters,
                                 const ControllerDirectiveActions& actions);

}  // namespace tess
