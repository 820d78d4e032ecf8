#include "plugin/PlayerState.h"

namespace tess {

bool playerController(int number) {
    return (number >= 0 && number < 128) || number == mcc::kAftertouch || number == mcc::kProgram ||
           number == mcc::kPitchBend;
}

FileValues readFileValues(const ControllerSpace& controllers, int temperament, const HostParameterTable& parameters) {
    FileValues values;
    for (int n = 0; n < ControllerSpace::kControllers; ++n)
        values.controllers[static_cast<std::size_t>(n)] = controllers.current(n);
    for (int key = 0; key < ControllerSpace::kKeys; ++key)
        values.keyswitches[static_cast<std::size_t>(key)] = controllers.keyswitch(key);
    values.temperament = temperament;
    for (int i = 0; i < HostParameterTable::kCount; ++i)
        values.parameters[static_cast<std::size_t>(i)] = parameters.hostValue(i);
    values.valid = true;
    return values;
}

PlayerState readPlayerState(const ControllerSpace& controllers, int temperament, const HostParameterTable& parameters) {
    PlayerState state;
    for (int n = 0; n < ControllerSpace::kControllers; ++n)
        state.controllers[static_cast<std::size_t>(n)] = controllers.current(n);
    for (int key = 0; key < ControllerSpace::kKeys; ++key) {
        state.polyAftertouch[static_cast<std::size_t>(key)] = controllers.current(mcc::kPolyAftertouchBase + key);
        state.keyswitches[static_cast<std::size_t>(key)] = controllers.keyswitch(key);
    }
    state.temperament = temperament;
    state.pedals = controllers.pedals;
    for (int i = 0; i < HostParameterTable::kCount; ++i)
        state.parameters[static_cast<std::size_t>(i)] = parameters.hostValue(i);
    return state;
}

bool fitsKeyswitch(const compiler::Keyswitch& ks, const std::array<std::int32_t, ControllerSpace::kKeys>& states) {
    const auto valid = [](int key) { return key >= 0 && key < ControllerSpace::kKeys; };
    if (!valid(ks.key1) || !valid(ks.key2)) return false;
    const auto state = [&states](int key) { return states[static_cast<std::size_t>(key)]; };
    if (ks.type == 0) {
        int selected = 0;
        for (int key = ks.key1; key <= ks.key2; ++key) {
            if (state(key) != 0 && state(key) != 1) return false;
            selected += state(key);
        }
        return selected == 1;
    }
    const std::int32_t value = state(ks.key1);
    if (value < ks.min || value > ks.max) return false;
    return ks.type == 1 || state(ks.key2) == value;
}

}  // namespace tess
