// The edit command: opens a plug-in's editor in a top-level window as a DAW does
// (effEditGetRect, effEditOpen with the window as parent, effEditIdle from a timer), can
// capture the window into a BMP file, and can be driven by a script of window messages so that
// tests can operate the editor and read back what it shows.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tess::tool {

struct EditOptions {
    std::string plugin;
    std::string instrument;          // loaded through the vendor-specific request before opening
    std::optional<double> seconds;   // how long the window stays open after the script
    std::string screenshot;          // BMP (Windows) or PNG (X11) written just before the window closes
    std::string script;
};

bool parseEditArguments(const std::vector<std::string>& args, EditOptions& options, std::string& error);

// One line of an edit script: a verb and its words. Words are separated by blanks; a word in
// double quotes may hold blanks; "#" starts a comment.
struct ScriptCommand {
    std::string verb;
    std::vector<std::string> words;
    int line = 0;
};

// The script language, for the usage text and the parser.
struct ScriptVerb {
    const char* name;
    int minWords;
    int maxWords;
    const char* help;
};
const std::vector<ScriptVerb>& scriptVerbs();

// Fails with a message naming the line for an unknown verb or a wrong number of words.
bool parseEditScript(const std::string& text, std::vector<ScriptCommand>& commands, std::string& error);

class VstHost;
// The host of an editor window: the plug-in loaded, opened, prepared and resumed, with
// `instrument` (if any) loaded through the vendor-specific request, and the editor's size from
// effEditGetRect (800 x 400 when it gives none). Null, with a message, when the library does
// not load or has no editor.
std::unique_ptr<VstHost> openEditorHost(const std::string& library, const std::string& instrument, int& width,
                                        int& height, std::ostream& err);
// The script's "print automation" line: how often and with what the plug-in automated.
void printAutomation(const VstHost& host, std::ostream& out);
// The script's "print pane" lines for one pane's text: each line after `prefix`.
void printPaneLines(const std::string& text, const char* prefix, std::ostream& out);

// The script's "play KEY SECONDS": holds a key, lets its release run out, and answers the line
// "play KEY: peak P dBFS, frequency F Hz" for what the plug-in played while the key was held.
std::string playNote(VstHost& host, int key, double seconds);

// Runs the command: a Win32 window in the Windows build, an X11 window elsewhere.
int runEdit(const EditOptions& options, std::ostream& out, std::ostream& err);

}  // namespace tess::tool
