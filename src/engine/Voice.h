// One voice: the running copy of a layer's program plus the note's registers, clocks and
// state. Its frequency is also its state: above 0 active, exactly 0 freed when the next block
// reaches it, below 0 idle.
#pragma once

#include <cstdint>
#include <vector>

#include "compiler/Operation.h"
#include "engine/BlockPlan.h"
#include "engine/OperationState.h"
#include "engine/Stereo.h"
#include "engine/VoiceModulation.h"

namespace tess {

// An arpeggio's repetition: the voice playing a pattern's last note plays the whole pattern
// again `step` samples after `baseTime`, once its next repeat time has passed.
struct NoteRepeat {
    std::uint8_t pending = 0;   // the pattern's last note, not yet repeated
    std::uint8_t enabled = 0;   // an arpeggio note
    std::uint8_t blocking = 0;  // a chord note: chords never repeat
    std::uint8_t reverse = 0;   // the pattern's step was negative
    std::int32_t key = 0;
    std::int32_t velocity = 0;
    std::int32_t detune = 0;
    std::int32_t layer = 0;
    std::int32_t channel = 0;
    std::int64_t baseTime = 0;
    std::int64_t step = 0;
    std::int64_t nextTime = 0;

    bool due(std::int64_t blockStart) const {
        return enabled != 0 && blocking == 0 && pending != 0 && nextTime < blockStart;
    }
};

struct Voice {
    float gain = 1.0f;
    float frequency = -1.0f;
    float key = 0.0f;
    float tunedPitch = 0.0f;  // KEYF
    float onVelocity = 0.0f;
    float releaseVelocity = 0.0f;
    float level = 0.0f;  // peak of the last rendered block
    std::uint8_t sostenutoAll = 0;
    std::uint8_t sostenutoRange = 0;
    float currentFrequency = 0.0f;
    float glideStartFrequency = 0.0f;
    float glideRatio = 0.0f;
    std::int8_t retriggerMode = 0;
    std::uint8_t fresh = 0;
    std::int64_t glideEndTime = 0;
    std::int32_t temperament = 0;
    std::uint8_t midiKey = 0;
    std::int32_t layer = -1;
    std::int64_t startTime = 0;
    std::int64_t releaseTime = -1;  // below 0 while the note is held
    float crossfadeGain = 1.0f;
    float forcedReleaseTime = 0.0f;
    std::int16_t sampleOffset = 0;
    // The layer's tuning as the note resolved it (ROUNDF, ROUNDF2).
    float baseFrequency = 440.0f;
    float keyTracking = 1.0f;
    float keyCenter = 69.0f;
    VoiceModulation modulation;

    // What note-on, note-off, legato and arpeggio repetition keep about the note.
    std::int8_t channel = 0;
    std::int8_t previousKey = -1;     // the key a legato voice returns to on release, -1 none
    std::int32_t glideSource = -1;    // the voice this one glided from (itself when it took over)
    float glideTime = 0.0f;           // seconds
    float glideFrom = 0.0f;           // the frequency the glide began at (glideStartFrequency advances)
    float previousFrequency = 0.0f;   // the frequency a legato return glides back to
    float random = 0.0f;              // RANDOM at the note-on
    std::int32_t shift = 0;           // start delay in samples
    std::int32_t spread = 0;          // duration spread in samples
    std::int32_t rounding = 1;        // trigger rounding in samples (>= 1)
    std::int32_t group = -1;
    std::int32_t noteVelocity = 0;    // the event's velocity; a release may take it
    NoteRepeat repeat;

    // The voice's own program. The arrays keep their capacity between notes, so a note that
    // fits in what the voice held before starts without allocating.
    int operationCount = 0;
    std::vector<compiler::Operation> operations;
    std::vector<ResolvedOperation> resolved;  // the same operations with operands as registers
    std::vector<OperationState> states;
    // The ResultSlots (0 .. slotCount-1) followed by the keyword registers the program reads.
    std::vector<Stereo> registers;
    int slotCount = 0;
    // How the block executor runs this program; null: sample by sample.
    const BlockPlan* plan = nullptr;

    Stereo slot(int index) const { return registers[static_cast<std::size_t>(index)]; }

    bool active() const { return frequency > 0.0f; }
    // Ends the voice: idle, no program. The storage is kept for the next note.
    void release() {
        frequency = -1.0f;
        operationCount = 0;
    }
};

}  // namespace tess
