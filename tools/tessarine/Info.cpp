#include "tessarine/Info.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <cstdint>

#include "tessarine/ExitStatus.h"
#include "tessarine/Render.h"

namespace tess::tool {
namespace {

constexpr int kMaxListedPrograms = 128;

// What a plug-in may be asked with effCanDo.
constexpr const char* kPluginCanDos[] = {
    "sendVstEvents",  "sendVstMidiEvent", "receiveVstEvents", "receiveVstMidiEvent", "receiveVstTimeInfo",
    "offline",        "midiProgramNames", "bypass",           "noRealTime",          "plugAsChannelInsert",
    "plugAsSend",     "mixDryWet",        "1in1out",          "1in2out",             "2in1out",
    "2in2out",        "2in4out",          "4in2out",          "4in4out",             "8in8out",
};

const char* category(vst::VstIntPtr value) {
    static const char* const kNames[] = {"unknown",    "effect",      "synth",       "analysis",
                                         "mastering",  "spacializer", "room effect", "surround effect",
                                         "restoration", "offline process", "shell", "generator"};
    return value >= 0 && value < vst::VstIntPtr(std::size(kNames)) ? kNames[value] : "unknown";
}

const char* yesNo(bool value) { return value ? "yes" : "no"; }

std::string hex32(vst::VstInt32 value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

}  // namespace

std::string fourCharText(vst::VstInt32 code) {
    const auto bits = static_cast<std::uint32_t>(code);
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((bits >> shift) & 0xFF);
        text += (c >= 0x20 && c < 0x7F) ? c : '.';
    }
    return text;
}

void printInfo(VstHost& host, std::ostream& out) {
    vst::AEffect* effect = host.effect();
    const vst::VstInt32 flags = effect->flags;

    out << "Library: " << host.name() << "\n";
    out << "Effect name: " << host.text(vst::effGetEffectName) << "\n";
    out << "Vendor: " << host.text(vst::effGetVendorString) << "\n";
    out << "Product: " << host.text(vst::effGetProductString) << "\n";
    out << "Vendor version: " << host.dispatch(vst::effGetVendorVersion) << "\n";
    out << "Unique ID: " << fourCharText(effect->uniqueID) << " (" << effect->uniqueID << ", "
        << hex32(effect->uniqueID) << ")\n";
    out << "Plug-in version: " << effect->version << "\n";
    out << "VST version: " << host.dispatch(vst::effGetVstVersion) << "\n";
    const vst::VstIntPtr kind = host.dispatch(vst::effGetPlugCategory);
    out << "Category: " << category(kind) << " (" << kind << ")\n";
    out << "Flags: " << hex32(flags) << "\n";
    out << "Is synth: " << yesNo(flags & vst::effFlagsIsSynth) << "\n";
    out << "Has editor: " << yesNo(flags & vst::effFlagsHasEditor) << "\n";
    out << "Can replacing: " << yesNo(flags & vst::effFlagsCanReplacing) << "\n";
    out << "Can double replacing: " << yesNo(flags & vst::effFlagsCanDoubleReplacing) << "\n";
    out << "Program chunks: " << yesNo(flags & vst::effFlagsProgramChunks) << "\n";
    out << "No sound in stop: " << yesNo(flags & vst::effFlagsNoSoundInStop) << "\n";
    out << "Inputs: " << effect->numInputs << "\n";
    out << "Outputs: " << effect->numOutputs << "\n";
    out << "Initial delay: " << effect->initialDelay << "\n";
    out << "Tail size: " << host.dispatch(vst::effGetTailSize) << "\n";
    out << "MIDI input channels: " << host.dispatch(vst::effGetNumMidiInputChannels) << "\n";
    out << "MIDI output channels: " << host.dispatch(vst::effGetNumMidiOutputChannels) << "\n";

    out << "Programs: " << effect->numPrograms << "\n";
    out << "Current program: " << host.dispatch(vst::effGetProgram) << "\n";
    out << "Program name: " << host.text(vst::effGetProgramName) << "\n";
    if (effect->numPrograms > 1) {
        const int listed = std::min(effect->numPrograms, kMaxListedPrograms);
        for (int i = 0; i < listed; ++i)
            out << "Program " << i << ": " << host.text(vst::effGetProgramNameIndexed, i) << "\n";
    }

    out << "Parameters: " << effect->numParams << "\n";
    for (int i = 0; i < effect->numParams; ++i) {
        char value[32];
        std::snprintf(value, sizeof value, "%.6f", static_cast<double>(effect->getParameter(effect, i)));
        out << "Parameter " << i << ": name \"" << host.text(vst::effGetParamName, i) << "\", label \""
            << host.text(vst::effGetParamLabel, i) << "\", display \"" << host.text(vst::effGetParamDisplay, i)
            << "\", value " << value << "\n";
    }

    for (const char* text : kPluginCanDos) {
        const vst::VstIntPtr answer = host.canDo(text);
        out << "Can do " << text << ": " << answer << " (" << (answer > 0 ? "yes" : answer < 0 ? "no" : "unknown")
            << ")\n";
    }
}

int runInfo(const std::string& library, const std::string& instrument, std::ostream& out, std::ostream& err) {
    VstHost host;
    std::string error;
    if (!host.load(library.empty() ? defaultPluginPath() : library, error)) {
        err << "tessarine: " << error << "\n";
        return kExitFailure;
    }
    host.open();
    host.prepare(kDefaultSampleRate, 512);
    const bool loaded = instrument.empty() || requestInstrument(host, instrument, out, err);
    printInfo(host, out);
    host.close();
    return loaded ? kExitSuccess : kExitFailure;
}

}  // namespace tess::tool
