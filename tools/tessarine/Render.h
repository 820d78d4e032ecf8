// The render command: hosts a plug-in library, plays a MIDI file and/or an input WAV through
// it block by block, and writes the result to a stereo WAV file.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "tessarine/VstHost.h"

namespace tess::tool {

struct RenderOptions {
    std::string plugin;      // empty: the Tessarine library next to the executable
    std::string instrument;  // asked for through the vendor-specific load request
    std::string midi;
    std::string input;
    std::string output;
    std::optional<double> seconds;
    std::optional<int> sampleRate;  // default: the input's rate, else 44100
    int blockSize = 512;
    std::optional<double> tempo;    // used until the MIDI file's first tempo event
    std::vector<std::pair<int, float>> parameters;
    std::string loadState;  // a saved state given to the plug-in before the first block
    std::string saveState;  // where the plug-in's state goes after the render
    bool pcm16 = false;
    // Render in real time, block by block as a sound card would ask, so that an instrument file
    // saved meanwhile is heard reloading; the longest silence is reported.
    bool realTime = false;
    bool progress = true;  // draw a progress bar when standard error is a terminal
};

constexpr int kDefaultSampleRate = 44100;
constexpr double kDefaultTempo = 120.0;
constexpr double kDefaultSeconds = 5.0;
constexpr double kMidiTailSeconds = 2.0;

// The Tessarine plug-in library that sits next to the running executable; on POSIX, when there
// is none, the one installed in $VST_DIR or ~/.vst.
std::string defaultPluginPath();

// Loads the library named by the options (or the default) and renders. Returns an exit status.
int runRender(const RenderOptions& options, std::ostream& out, std::ostream& err);

// Renders through a plug-in that `host` has already created (not yet opened).
int renderWithHost(VstHost& host, const RenderOptions& options, std::ostream& out, std::ostream& err);

// Asks an opened plug-in to load an instrument file through Tessarine's vendor-specific
// request and says what it answered. False when it did not load it.
bool requestInstrument(VstHost& host, const std::string& instrument, std::ostream& out, std::ostream& err);

}  // namespace tess::tool
