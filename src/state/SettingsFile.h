// Settings.ini in the per-user folder: the default text written when it is missing, and the
// creation-time reading of the two values the plug-in needs before it exists (the host
// parameter count and the editor size).
#pragma once

#include <string>
#include <string_view>

namespace tess {

// The default Settings.ini, byte for byte, with "\r\n" line ends.
extern const std::string_view kDefaultSettingsText;

struct CreationSettings {
    int numParams = 20;
    int editorWidth = 800;
    int editorHeight = 400;
};

// Creates the per-user folder (with any missing parent) and writes the default Settings.ini
// when either is missing. Returns false when the folder or the file could not be made, with the
// reason in `problem` (creation goes on with the defaults). A write that fails part way, as on
// a full disk, leaves no Settings.ini behind: a partial one would be taken as complete.
bool ensureSettingsFile(const std::string& userFolder, std::string* problem = nullptr);

// Reads VSTVARS and INTERFACE from a Settings.ini; an unreadable file leaves 20, 800, 400.
CreationSettings readCreationSettings(const std::string& settingsPath);

// Parses the same two settings from text (one line at a time, as the file is read).
void applyCreationSettingsLine(std::string line, CreationSettings& settings);

std::string settingsPath(const std::string& userFolder);

}  // namespace tess
