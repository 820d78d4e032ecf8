// The notes every peer of the side-by-side benchmark plays: 128 overlapping notes over 30
// seconds, always the same (a fixed-seed generator), written as a Standard MIDI File that
// Tessarine, Csound and FluidSynth all read.
#pragma once

#include <string>
#include <vector>

namespace tess::bench {

struct PeerNote {
    double onset = 0.0;     // seconds
    double duration = 0.0;  // seconds until the note-off
    int key = 60;
    int velocity = 100;
};

inline constexpr int kPeerNoteCount = 128;
inline constexpr double kPeerSeconds = 30.0;
// Onsets are at least this far apart, so each note's start can be told apart in the audio.
inline constexpr double kPeerMinimumGap = 0.15;
// The keys the notes take: A3 to E6, low enough for the 2 kHz low-pass to pass the fundamental
// and high enough for a tenth of a second of audio to tell neighbouring semitones apart.
inline constexpr int kPeerLowestKey = 57;
inline constexpr int kPeerHighestKey = 88;

// The notes in onset order. A key is never struck again while it (or its release) sounds.
std::vector<PeerNote> peerNotes();

// A format 0 file at 120 BPM, 480 ticks per quarter note (960 ticks per second), channel 1,
// whose track ends on a whole second two to three seconds after the last note-off.
std::string peerMidiBytes(const std::vector<PeerNote>& notes);

}  // namespace tess::bench
