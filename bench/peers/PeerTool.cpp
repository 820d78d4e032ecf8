// `tessarine_peers midi OUT.mid`: writes the peer benchmark's notes and prints how many
// seconds a rendering of them lasts (the file's end: two to three seconds after the last note-off).
// `tessarine_peers check RENDER.wav...`: checks that each rendering plays those notes, with
// their onsets and pitches; exit status 1 when any does not.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "peers/NoteCheck.h"
#include "peers/PeerNotes.h"
#include "tessarine/WavFile.h"

namespace {

int writeMidi(const std::string& path) {
    const std::vector<tess::bench::PeerNote> notes = tess::bench::peerNotes();
    std::ofstream out(path, std::ios::binary);
    out << tess::bench::peerMidiBytes(notes);
    if (!out) {
        std::fprintf(stderr, "%s: cannot write\n", path.c_str());
        return 1;
    }
    double end = 0.0;
    for (const auto& n : notes) end = std::max(end, n.onset + n.duration);
    std::printf("%.0f\n", std::floor(end) + 3.0);  // the track's end, as written
    return 0;
}

int check(const std::vector<std::string>& paths) {
    const std::vector<tess::bench::PeerNote> notes = tess::bench::peerNotes();
    bool all = true;
    for (const std::string& path : paths) {
        tess::tool::WavAudio audio;
        std::string error;
        if (!tess::tool::readWavFile(path, audio, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        std::vector<float> mono(audio.left.size());
        for (std::size_t i = 0; i < mono.size(); ++i) mono[i] = 0.5f * (audio.left[i] + audio.right[i]);
        const tess::bench::NoteCheckResult r = tess::bench::checkNotes(notes, mono, audio.sampleRate);
        std::printf("%s: %d of %d notes found at their onset and pitch (%d not heard, %d at a wrong pitch, "
                    "%d early)%s%s\n",
                    path.c_str(), r.found(), r.checked, r.missing, r.wrongPitch, r.early,
                    r.passed() ? "" : ": FAILED, first: ", r.passed() ? "" : r.firstFailure.c_str());
        all = all && r.passed();
    }
    return all ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "midi") return writeMidi(args[1]);
    if (args.size() >= 2 && args[0] == "check") return check({args.begin() + 1, args.end()});
    std::fprintf(stderr, "usage: tessarine_peers midi OUT.mid | check RENDER.wav...\n");
    return 2;
}
