// The note path of the plug-in: MIDI events in, voices out. It decodes the host's events,
// keeps keyswitches, pedals and the current temperament, selects the layers a note-on sounds,
// applies the key-mapping directives (arpeggio and chord, pitch-class map, velocity curve,
// pitch offset, timing), chooses and starts voices by the polyphony rules, and releases them
// on note-off, on OFF triggers and on group releases.
//
// Everything here runs on the audio thread between two render calls and never allocates: a
// voice reuses the storage of its program copy (Engine::copyProgram), reserved when the
// instrument was installed.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "common/Log.h"
#include "compiler/CompiledInstrument.h"
#include "engine/Engine.h"
#include "engine/Noise.h"
#include "engine/NoteRepeater.h"
#include "midi/ControllerChangeListener.h"
#include "plugin/vst/VstAbi.h"

namespace tess::midi {

// One note of one layer, as note-on hands it to voice start.
struct NoteStart {
    int key = 0;                 // the event's key
    float pitch = 0.0f;          // the mapped pitch in keys (may be fractional)
    int velocity = 0;            // the event's velocity
    float mappedVelocity = 0.0f;
    int detune = 0;              // cents, from the host's event
    bool arpeggio = false;
    bool chord = false;
    bool lastNote = false;
    std::int64_t t = 0;          // absolute sample time of the note-on
    std::int32_t shift = 0;      // start delay in samples
    std::int32_t spread = 0;     // duration spread in samples
    std::int32_t rounding = 1;   // trigger rounding in samples
    int layer = 0;               // 0-based layer index
    int channel = 0;
};

class NotePlayer final : public NoteRepeater {
public:
    static constexpr int kPlainNoteOff = -1;  // mcc of a note-off that is not a trigger call
    static constexpr int kGroupTrigger = 1000;

    // Registers itself with the engine for arpeggio repetition.
    NotePlayer(Engine& engine, Log& log);
    ~NotePlayer() override;
    NotePlayer(const NotePlayer&) = delete;
    NotePlayer& operator=(const NotePlayer&) = delete;

    // Before a compile: pedals up, sostenutos released, temperament 0, no instrument.
    void resetForLoad();
    // After a compile: the instrument is played from now on; its keyswitch states, selected
    // temperament, pedal key ranges and temperament link value take effect.
    void installInstrument(const compiler::CompiledInstrument& instrument);
    const compiler::CompiledInstrument* instrument() const { return instrument_; }

    // The host's events for the coming block. `hostPosition` is the host's sample position for
    // that block when its transport moves, else a negative value (trigger rounding then uses
    // the sample clock).
    void processEvents(const vst::VstEvents& events, std::int64_t hostPosition);

    // Note-on of one layer (0-based); every note of a chord or arpeggio is started.
    void noteOn(int key, int velocity, std::int64_t t, int detune, int layer, int channel);
    // Returns the voice index, or -1 when no voice was started.
    int startVoice(const NoteStart& note);
    // A note-off (mcc -1), an OFF-trigger evaluation (key -1, mcc the controller) or a group
    // release (mcc 1000, mccValue the group, status the key just played).
    void noteOff(int key, int velocity, std::int64_t t, int status, float forcedRelease, int mcc, float mccValue,
                 int channel);
    // which 0: the all-keys sostenuto, 1: the key-range sostenuto.
    void setSostenuto(bool on, std::int64_t t, int which);
    // Each of the four pedal controllers (sostenuto all and range, pedal all and range) that
    // is `mcc` goes down (on) or up.
    void switchPedals(int mcc, bool on, std::int64_t t);

    // Selects option `option` (0-based) of keyswitch `index` as pressing that option's key would:
    // the key states, the pedals on those states and the OFF triggers on MCC 400 + key (both keys
    // of a type 2 keyswitch). False when there is no such keyswitch or option.
    bool chooseKeyswitchOption(int index, int option, std::int64_t t);

    // The current temperament; readable from any thread (a saved state takes it while playing).
    int temperament() const {
        return std::atomic_ref<int>(const_cast<int&>(temperament_)).load(std::memory_order_relaxed);
    }
    // Makes `index` (clamped) current; false when it already was.
    bool selectTemperament(int index);
    // The cents a note of `pitch` gets from temperament `index`; index 0 takes the detune.
    float centsFor(int index, float pitch, int detune) const;

    // The draw used for every random choice: uniform in [-1, 1).
    float random() { return noise_.next(); }
    void seedRandom(std::uint32_t seed) { noise_.seed(seed); }

    void repeatNote(Voice& voice) override;

    // Told of every accepted control change (may be null).
    ControllerChangeListener* controllerListener = nullptr;

private:
    void handleEvent(const vst::VstMidiEvent& event, std::int64_t blockStart);
    void noteOnEvent(int key, int velocity, std::int64_t t, int detune, int channel);
    bool layerQualifies(const compiler::LayerSettings& layer, int key, int velocity, std::int64_t t, int channel,
                        std::int32_t counter, bool& advance);
    void keyswitchKey(int key, int owner, std::int64_t t, int channel);
    void controlChange(int cc, int value, std::int64_t t, int channel);
    // The pedals on the keys of a keyswitch follow their states, so that a pedal on one option's
    // key goes off when another option is chosen.
    void switchKeyswitchPedals(const compiler::Keyswitch& ks, std::int64_t t);
    void logTemperament(const char* how, int extra);
    float samplesPerBar() const;
    std::int32_t gridRounding(const compiler::LayerProgram& program) const;
    float mapVelocity(const compiler::VelocityMapping& mapping, float velocity, int inputVelocity);
    // Only the audio side (or a load) changes the temperament; the store is whole for readers
    // on other threads.
    void storeTemperament(int index) {
        std::atomic_ref<int>(temperament_).store(index, std::memory_order_relaxed);
    }
    float crossfadeGain(const compiler::LayerSettings& settings, std::int64_t ts, float key, float tunedPitch,
                        float onVelocity, float gain, float frequency, int midiKey);

    Engine& engine_;
    Log& log_;
    const compiler::CompiledInstrument* instrument_ = nullptr;
    int temperament_ = 0;
    std::int64_t hostOffset_ = 0;  // host position minus sample clock; 0 while the host stands still
    Noise noise_;
    // Slot values of a voice that keeps its program (legato): saved around the program copy.
    std::unique_ptr<Stereo[]> keptSlots_;
};

}  // namespace tess::midi
