#include "tessarine/Edit.h"

#include <cstdio>
#include <sstream>
#include <vector>

#include "tessarine/CommandLine.h"
#include "tessarine/Levels.h"
#include "tessarine/VstHost.h"

namespace tess::tool {

namespace {
constexpr int kSampleRate = 44100;
constexpr int kBlock = 512;
}  // namespace

std::unique_ptr<VstHost> openEditorHost(const std::string& library, const std::string& instrument, int& width,
                                        int& height, std::ostream& err) {
    std::string error;
    auto host = std::make_unique<VstHost>();
    if (!host->load(library, error)) {
        err << "tessarine edit: " << error << "\n";
        return nullptr;
    }
    if ((host->effect()->flags & vst::effFlagsHasEditor) == 0) {
        err << "tessarine edit: " << library << " has no editor\n";
        return nullptr;
    }
    host->followWindowSizes(true);
    host->open();
    host->prepare(kSampleRate, kBlock);
    host->resume();
    if (!instrument.empty()) {
        std::string path = instrument;
        if (host->dispatch(vst::effVendorSpecific, vst::kTessarineLoadInstrument, 0, path.data()) != 1)
            err << "tessarine edit: the plug-in did not load \"" << instrument << "\"\n";
    }
    vst::ERect* rect = nullptr;
    width = 800;
    height = 400;
    if (host->dispatch(vst::effEditGetRect, 0, 0, &rect) != 0 && rect != nullptr) {
        width = rect->right - rect->left;
        height = rect->bottom - rect->top;
    }
    return host;
}

void printAutomation(const VstHost& host, std::ostream& out) {
    const HostCallbackCounts& counts = host.callbackCounts();
    char line[128];
    std::snprintf(line, sizeof line, "automation calls %d last-index %d last-value %.6f\n", counts.automateCalls,
                  counts.lastAutomatedIndex, static_cast<double>(counts.lastAutomatedValue));
    out << line;
}

void printPaneLines(const std::string& text, const char* prefix, std::ostream& out) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out << prefix << line << "\n";
    }
}

bool parseEditArguments(const std::vector<std::string>& args, EditOptions& options, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--instrument" || arg == "--screenshot" || arg == "--script" || arg == "--seconds") {
            if (!hasValue) {
                error = arg + " needs a value";
                return false;
            }
            const std::string& value = args[++i];
            if (arg == "--instrument") options.instrument = value;
            if (arg == "--screenshot") options.screenshot = value;
            if (arg == "--script") options.script = value;
            if (arg == "--seconds") {
                double seconds = 0.0;
                if (!parseReal(value, 0.0, 86400.0, seconds)) {
                    error = "--seconds needs a number of seconds from 0 to 86400";
                    return false;
                }
                options.seconds = seconds;
            }
        } else if (!arg.empty() && arg[0] != '-' && options.plugin.empty()) {
            options.plugin = arg;
        } else {
            error = "unexpected argument \"" + arg + "\"";
            return false;
        }
    }
    if (options.plugin.empty()) {
        error = "needs a plug-in library";
        return false;
    }
    return true;
}

const std::vector<ScriptVerb>& scriptVerbs() {
    static const std::vector<ScriptVerb> verbs = {
        {"slider", 2, 2, "slider I P: move slider I to position P (0..10000)"},
        {"keyswitch", 2, 2, "keyswitch K N: choose entry N of keyswitch K's combo"},
        {"temperament", 1, 1, "temperament N: choose entry N of the temperament combo"},
        {"combo", 2, 2, "combo ID N: choose entry N of the combo with control id ID"},
        {"click", 1, 1, "click TEXT: click the editor's button labelled TEXT (or with control id TEXT)"},
        {"press", 1, 1, "press ID: a mouse click in the middle of control ID (X11 view: opens a combo's list)"},
        {"text", 2, 2, "text ID TEXT: type TEXT into edit box ID and leave the box"},
        {"dialog", 1, 2, "dialog cancel | dialog choose PATH: how to answer the next file dialog"},
        {"copy", 2, 2, "copy FROM TO: copy a file (to change an instrument before Reload)"},
        {"play", 2, 2, "play KEY SECONDS: play a note and print its peak level and frequency"},
        {"idle", 1, 1, "idle N: let the editor idle N times"},
        {"print", 1, 2, "print sliders|combos|controls|overlaps|automation|class|rect|pane|text ID"},
        {"second", 1, 1,
         "second open|close|destroy: a second plug-in instance with its own editor (destroy: its window "
         "goes before the editor is closed, as some hosts do it)"},
        {"first", 1, 1, "first close: close the first editor"},
        {"screenshot", 1, 1, "screenshot FILE: capture the editor into a BMP file"},
    };
    return verbs;
}

namespace {

bool splitWords(const std::string& line, std::vector<std::string>& words) {
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
            continue;
        }
        if (line[i] == '#') break;
        std::string word;
        if (line[i] == '"') {
            const std::size_t close = line.find('"', i + 1);
            if (close == std::string::npos) return false;
            word = line.substr(i + 1, close - i - 1);
            i = close + 1;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') word += line[i++];
        }
        words.push_back(word);
    }
    return true;
}

}  // namespace

bool parseEditScript(const std::string& text, std::vector<ScriptCommand>& commands, std::string& error) {
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        std::vector<std::string> words;
        if (!splitWords(line, words)) {
            error = "line " + std::to_string(number) + ": unmatched quote";
            return false;
        }
        if (words.empty()) continue;
        const ScriptVerb* verb = nullptr;
        for (const ScriptVerb& candidate : scriptVerbs())
            if (words[0] == candidate.name) verb = &candidate;
        if (verb == nullptr) {
            error = "line " + std::to_string(number) + ": unknown command \"" + words[0] + "\"";
            return false;
        }
        const int count = static_cast<int>(words.size()) - 1;
        if (count < verb->minWords || count > verb->maxWords) {
            error = "line " + std::to_string(number) + ": usage: " + verb->help;
            return false;
        }
        commands.push_back({words[0], {words.begin() + 1, words.end()}, number});
    }
    return true;
}

std::string playNote(VstHost& host, int key, double seconds) {
    constexpr int kBlock = 512;
    constexpr int kSampleRate = 44100;
    const int frames = static_cast<int>(seconds * kSampleRate);
    std::vector<float> left(static_cast<std::size_t>(frames) + kBlock);
    std::vector<float> right(left.size());
    const HostMidiEvent on{0, {0x90, static_cast<unsigned char>(key & 0x7F), 100}};
    for (int done = 0; done < frames; done += kBlock)
        host.process(done == 0 ? &on : nullptr, done == 0 ? 1 : 0, nullptr, nullptr, &left[static_cast<std::size_t>(done)],
                     &right[static_cast<std::size_t>(done)], kBlock);
    // The note ends, and its release runs out before the next command.
    const HostMidiEvent off{0, {0x80, static_cast<unsigned char>(key & 0x7F), 0}};
    std::vector<float> tail(kBlock);
    std::vector<float> tailRight(kBlock);
    for (int block = 0; block < kSampleRate / kBlock; ++block)
        host.process(block == 0 ? &off : nullptr, block == 0 ? 1 : 0, nullptr, nullptr, tail.data(), tailRight.data(),
                     kBlock);
    const std::size_t skip = static_cast<std::size_t>(frames) / 10;  // past the attack
    LevelMeter meter;
    meter.add(left.data() + skip, right.data() + skip, static_cast<std::size_t>(frames) - skip);
    const double frequency = zeroCrossingFrequency(left.data() + skip, static_cast<std::size_t>(frames) - skip, kSampleRate);
    char line[128];
    std::snprintf(line, sizeof line, "play %d: peak %s dBFS, frequency %.2f Hz\n", key, formatDbfs(meter.peak(0)).c_str(),
                  frequency);
    return line;
}

}  // namespace tess::tool
