// The host's parameter calls, and what a parameter change sets off.
//
// setParameter may come from the host's user-interface thread, its automation thread or the
// audio thread, at any time. It only stores values that are read and written whole (the
// table's atomics) and marks the parameter changed. The audio side acts on the changes at the
// start of its next callback: the linked MIDI controller, the pedals and sostenutos, the OFF
// triggers and the temperament link then change between two blocks, never while a block is
// being rendered, and nothing but the audio thread (or a load that holds it off) touches the
// voices.
#include <algorithm>
#include <cmath>

#include "compiler/InstrumentCompiler.h"
#include "compiler/Text.h"
#include "plugin/Tessarine.h"

namespace tess {

namespace {

constexpr int kParameterTextSize = vst::kVstMaxParamStrLen + 1;  // 8 characters and the end
constexpr float kControllerToHost = 0.007874016f;                // 1 / 127

}  // namespace

void Tessarine::setParameter(vst::VstInt32 index, float value) {
    if (!HostParameterTable::valid(index) || !std::isfinite(value)) return;
    parameters.setHostValue(index, value);
    restoreFlag.store(1, std::memory_order_relaxed);
}

float Tessarine::getParameter(vst::VstInt32 index) { return parameters.hostValue(index); }

void Tessarine::getParameterName(vst::VstInt32 index, char* text) {
    vst::copyToHost(text, parameters.name(index), kParameterTextSize);
}

void Tessarine::getParameterLabel(vst::VstInt32 index, char* label) {
    vst::copyToHost(label, parameters.unit(index), kParameterTextSize);
}

void Tessarine::getParameterDisplay(vst::VstInt32 index, char* text) {
    if (text != nullptr) parameters.display(index, text, kParameterTextSize);
}

void Tessarine::applyParameterChanges() {
    if (!parameters.anyChanged()) return;
    parameters.takeChanged([this](int index) { applyParameterChange(index); });
}

void Tessarine::applyParameterChange(int index) {
    ControllerSpace& controllers = engine.controllers;
    const float host = parameters.hostValue(index);
    const float x = parameters.internalValue(index);
    controllers.setVstVarScaleType(index, static_cast<std::int16_t>(parameters.scaleType(index)));
    controllers.setVstVar(index, x);
    const compiler::CompiledInstrument* instrument = notes.instrument();
    const auto selectLinkedTemperament = [&](int t, const char* how) {
        if (instrument == nullptr) return;
        if (notes.selectTemperament(t) && log.debugLevel > 1) {
            const std::string_view name = instrument->temperaments.name(notes.temperament());
            log.appendf(Log::kMain, "TEMPERAMENT set to: %.*s (%d) %s.\r\n", static_cast<int>(name.size()),
                        name.data(), notes.temperament(), how);
        }
    };

    // The MIDI controller this parameter drives.
    const int controller = parameters.linkedController(index);
    if (controller >= 0) {
        const int v = compiler::toIntSaturated(static_cast<double>(host) * 127.0 + 0.5);
        if (log.debugLevel > 1)
            log.appendf(Log::kMain, "MIDI CC #%d set to: %d WITH VST VAR CHANGE.\r\n", controller, v);
        controllers.setCurrent(controller, static_cast<float>(v));
        if (instrument != nullptr && instrument->temperaments.link == controller)
            selectLinkedTemperament(v, "WITH VST VAR CHANGE TRIGGERING MIDI CC CHANGE");
    }
    if (instrument == nullptr) return;

    // Pedals, OFF triggers and the temperament link that name this parameter (MCC 600 + n).
    const int m = mcc::kVstVarBase + index;
    const std::int64_t now = engine.sampleClock;
    notes.switchPedals(m, controllers.mccIsOnStrict(m) != 0, now);
    notes.noteOff(-1, -1, now, -1, 0.0f, m, x, 0);
    if (instrument->temperaments.link == m)
        selectLinkedTemperament(std::max(0, compiler::toIntSaturated(static_cast<double>(x) + 0.5)),
                                "WITH VST VAR CHANGE");
}

void Tessarine::controllerChanged(int controller, int value) {
    const int index = parameters.parameterOfController(controller);
    if (!HostParameterTable::valid(index)) return;
    setParameterAutomated(index, static_cast<float>(value) * kControllerToHost);
    applyParameterChanges();  // this runs inside the audio callback already
}

void Tessarine::installControllerDirectives() {
    ControllerSpace& controllers = engine.controllers;
    directiveActions_.setStartValue = [&controllers](int mcc, float value) { controllers.setStartValue(mcc, value); };
    directiveActions_.setControllerValue = [&controllers](int mcc, float value) { controllers.setCurrent(mcc, value); };
    directiveActions_.controllerValue = [&controllers](int mcc) { return controllers.current(mcc); };
    directiveActions_.setParameter = [this](int index, float host) { setParameter(index, host); };
    directiveActions_.setParameterAutomated = [this](int index, float host) { setParameterAutomated(index, host); };
    tess::installControllerDirectives(*compiler, parameters, directiveActions_);
}

}  // namespace tess
