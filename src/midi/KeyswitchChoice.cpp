// A keyswitch option chosen directly (the editor's combo box) rather than by a MIDI key, and
// the pedals that follow keyswitch states.
#include "midi/NotePlayer.h"

namespace tess::midi {

void NotePlayer::switchKeyswitchPedals(const compiler::Keyswitch& ks, std::int64_t t) {
    const ControllerSpace& controllers = engine_.controllers;
    const int last = ks.type == 0 || ks.type == 2 ? ks.key2 : ks.key1;
    for (int key = ks.key1; key <= last; ++key)
        if (ks.type != 2 || key == ks.key1 || key == ks.key2)
            switchPedals(mcc::kKeyswitchBase + key, controllers.keyswitch(key) > 0, t);
}

bool NotePlayer::chooseKeyswitchOption(int index, int option, std::int64_t t) {
    if (instrument_ == nullptr) return false;
    const compiler::KeyswitchTable& table = instrument_->keyswitches;
    if (index < 0 || index >= table.count) return false;
    const compiler::Keyswitch& ks = table.entries[static_cast<std::size_t>(index)];
    const int options = ks.type == 0 ? ks.key2 - ks.key1 + 1 : ks.max - ks.min + 1;
    if (option < 0 || option >= options) return false;

    ControllerSpace& controllers = engine_.controllers;
    // The keys whose OFF triggers see the new state.
    int keys[2] = {ks.key1, -1};
    if (ks.type == 0) {
        for (int k = ks.key1; k <= ks.key2; ++k) controllers.setKeyswitch(k, 0);
        keys[0] = ks.key1 + option;
        controllers.setKeyswitch(keys[0], 1);
    } else {
        controllers.setKeyswitch(ks.key1, ks.min + option);
        if (ks.type == 2) {
            controllers.setKeyswitch(ks.key2, ks.min + option);
            keys[1] = ks.key2;
        }
    }
    switchKeyswitchPedals(ks, t);
    for (int key : keys)
        if (key >= 0)
            noteOff(-1, -1, t, -1, 0.0f, mcc::kKeyswitchBase + key, static_cast<float>(controllers.keyswitch(key)), 0);
    return true;
}

}  // namespace tess::midi
