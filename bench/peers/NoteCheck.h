// Checks that a rendering of the peer notes really plays them: at each note's onset the
// note's own pitch comes in (and not a neighbouring semitone), and it was not there just
// before. Used to prove that two peers' renderings hold the same notes before they are timed.
#pragma once

#include <string>
#include <vector>

#include "peers/PeerNotes.h"

namespace tess::bench {

struct NoteCheckResult {
    int checked = 0;
    int wrongPitch = 0;    // another key's frequency rose more at the onset
    int missing = 0;       // the note's frequency did not rise by the required amount
    int early = 0;         // it rose already well before the onset
    std::string firstFailure;

    int found() const { return checked - wrongPitch - missing - early; }
    // Where five to ten notes sound at once, another note's partial beside the new pitch can
    // hide an onset now and then; a rendering with wrong keys, octaves or times fails nearly
    // every note. So: at least 120 of the 128 notes found, and no note heard at a neighbouring
    // semitone.
    bool passed() const { return checked > 0 && wrongPitch == 0 && found() * 16 >= checked * 15; }
};

// `mono` is the rendering mixed to one channel at `sampleRate`.
NoteCheckResult checkNotes(const std::vector<PeerNote>& notes, const std::vector<float>& mono,
                           double sampleRate);

}  // namespace tess::bench
