#include "tessarine/Commands.h"

#include <stdexcept>

#include "common/Version.h"
#include "tessarine/Check.h"
#include "tessarine/CommandLine.h"
#include "tessarine/Edit.h"
#include "tessarine/ExitStatus.h"
#include "tessarine/ImportSf2.h"
#include "tessarine/Info.h"
#include "tessarine/Render.h"

namespace tess::tool {
namespace {

int usageError(const std::string& command, const std::string& message, std::ostream& err) {
    err << "tessarine " << command << ": " << message << "\n\n" << usageText();
    return kExitUsage;
}

int renderCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (wantsHelp(args)) {
        out << usageText();
        return kExitSuccess;
    }
    RenderOptions options;
    std::string error;
    if (!parseRenderArguments(args, options, error)) return usageError("render", error, err);
    return runRender(options, out, err);
}

int infoCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (wantsHelp(args)) {
        out << usageText();
        return kExitSuccess;
    }
    std::string library, instrument;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--instrument" || arg.rfind("--instrument=", 0) == 0) {
            if (arg.size() > 12) {
                instrument = arg.substr(13);
            } else {
                if (i + 1 >= args.size()) return usageError("info", "--instrument needs a file", err);
                instrument = args[++i];
            }
            if (instrument.empty()) return usageError("info", "--instrument needs a file", err);
        } else if (library.empty() && !arg.empty() && arg[0] != '-') {
            library = arg;
        } else {
            return usageError("info", "unexpected argument \"" + arg + "\"", err);
        }
    }
    return runInfo(library, instrument, out, err);
}

int checkCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (wantsHelp(args)) {
        out << usageText();
        return kExitSuccess;
    }
    std::string file;
    int debugLevel = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--debug") {
            if (i + 1 >= args.size()) return usageError("check", "--debug needs a level", err);
            try {
                std::size_t used = 0;
                debugLevel = std::stoi(args[++i], &used);
                if (used != args[i].size() || debugLevel < 0) throw std::invalid_argument("level");
            } catch (const std::exception&) {
                return usageError("check", "--debug needs a level of 0 or more", err);
            }
        } else if (file.empty() && !args[i].empty() && args[i][0] != '-') {
            file = args[i];
        } else {
            return usageError("check", "unexpected argument \"" + args[i] + "\"", err);
        }
    }
    if (file.empty()) return usageError("check", "needs an instrument file", err);
    return runCheck(file, debugLevel, out, err);
}

int editCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (wantsHelp(args)) {
        out << usageText() << "\nedit scripts, one command per line:\n";
        for (const ScriptVerb& verb : scriptVerbs()) out << "  " << verb.help << "\n";
        return kExitSuccess;
    }
    EditOptions options;
    std::string error;
    if (!parseEditArguments(args, options, error)) return usageError("edit", error, err);
    return runEdit(options, out, err);
}

const Command kCommands[] = {
    {"render",
     "[--plugin LIB] [--instrument FILE] [--midi FILE.mid] [--input IN.wav] [--seconds S] [--rate HZ]\n"
     "        [--block N] [--tempo BPM] [--param I=V]... [--load-state FILE] [--save-state FILE]\n"
     "        [--pcm16] [--watch] -o OUT.wav",
     "Hosts a VST 2.4 library (default: the Tessarine library beside this program) as a DAW does,\n"
     "plays the MIDI file and/or feeds the input WAV (effects only) through it and writes a stereo\n"
     "WAV (32-bit float, or 16-bit PCM with --pcm16). Defaults: 44100 Hz (or the input's rate),\n"
     "blocks of 512 frames, 120 BPM in 4/4 until the MIDI file sets a tempo; length --seconds, else\n"
     "the MIDI file's length plus 2 s, else the input's length, else 5 s. --instrument asks\n"
     "Tessarine to load an instrument file (one that cannot be read fails the render; rejected\n"
     "lines are counted and the first shown); --param sets parameter I to V (0..1) before playing.\n"
     "--load-state gives the plug-in a saved state before the first block, as a DAW does when it\n"
     "opens a project; --save-state writes the plug-in's state after the render. --watch renders in\n"
     "real time, so that an instrument file saved meanwhile is heard reloading, and reports the\n"
     "longest run of silence.",
     renderCommand},
    {"check", "FILE [--debug N]",
     "Compiles an instrument file after Settings.ini as the plug-in's load does and prints the log\n"
     "and the accepted lines. Exit status 0 when no line was rejected, 1 when any was, 2 when the\n"
     "file cannot be read. --debug N starts the compile at log level N.",
     checkCommand},
    {"import-sf2", "BANK.sf2 [--out DIR] [--debug N]",
     "Converts every preset of a SoundFont 2 bank into a folder NNNN_name with an Instrument.txt\n"
     "and the WAV files of its samples, under DIR (default: Imported in the per-user folder).\n"
     "Prints the processing log, and a progress line per preset on standard error. --debug 2\n"
     "lists every record of the bank and every merge step.",
     [](const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
         if (wantsHelp(args)) {
             out << usageText();
             return kExitSuccess;
         }
         return runImportSf2(args, out, err);
     }},
    {"info", "[LIB] [--instrument FILE]",
     "Prints what a host sees of a VST 2.4 library (default: the Tessarine library beside this\n"
     "program): names, IDs, flags, channels, parameters with their names, display texts and labels,\n"
     "programs and the plug-in's canDo answers. --instrument asks Tessarine to load a file first.",
     infoCommand},
    {"edit", "LIB [--instrument FILE] [--seconds S] [--screenshot OUT.png|OUT.bmp] [--script FILE]",
     "Opens the plug-in's editor in a window as a DAW does (a Win32 window in the Windows build, an\n"
     "X11 window elsewhere). --instrument loads a file first; --seconds closes the window after S\n"
     "seconds (default: when you close it, or 0.5 s after a script or for a screenshot); --screenshot\n"
     "captures the editor before closing (BMP on Windows, PNG with X11); --script FILE operates the\n"
     "editor as a user would (tessarine edit --help lists the commands).",
     editCommand},
};

}  // namespace

std::span<const Command> commands() { return kCommands; }

std::string usageText() {
    std::string text = "Usage:\n";
    for (const Command& command : commands()) {
        text += "  tessarine ";
        text += command.name;
        text += " ";
        text += command.usage;
        text += "\n";
    }
    text += "  tessarine --help\n";
    text += "  tessarine --version\n\n";
    for (const Command& command : commands()) {
        text += command.name;
        text += ":\n";
        std::string summary = command.summary;
        std::size_t start = 0;
        while (start <= summary.size()) {
            const std::size_t end = summary.find('\n', start);
            text += "  " + summary.substr(start, end == std::string::npos ? std::string::npos : end - start) + "\n";
            if (end == std::string::npos) break;
            start = end + 1;
        }
    }
    text += "\nExit status: 0 success, 1 failure (a file or library that cannot be used), 2 usage error.\n";
    return text;
}

int runTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << usageText();
        return kExitUsage;
    }
    const std::string& name = args[0];
    if (name == "--help" || name == "-h" || name == "help") {
        out << usageText();
        return kExitSuccess;
    }
    if (name == "--version") {
        out << "tessarine " << kVersion << "\n";
        return kExitSuccess;
    }
    for (const Command& command : commands())
        if (name == command.name) return command.run({args.begin() + 1, args.end()}, out, err);
    err << "tessarine: unknown command '" << name << "'\n\n" << usageText();
    return kExitUsage;
}

}  // namespace tess::tool
