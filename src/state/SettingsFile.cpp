#include "state/SettingsFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/Platform.h"

namespace tess {

const std::string_view kDefaultSettingsText =
    "# This file contains sound configuration parameters.\r\n"
    "# vstvars <number> sets the number of automatable parameters to present to the DAW, max 128. Experiment with your DAW.\r\n"
    "VSTVARS 20\r\n"
    "# Setting interpolation quality\r\n"
    "QUALITY 4096, 7, 6, 15\r\n"
    "# Setting interface size\r\n"
    "INTERFACE 800; 400\r\n"
    "# Set some standard and fancy temperaments. Detunes are in cents from the equal tempered note.\r\n"
    "# Temperaments___\"NAME\"____________________C,______C#,_______D,______D#,_______E,_______F,______F#,_______G,______G#,_______A,______A#,_______B\r\n"
    "TEMPERAMENT \"Just\",                        0,  11.731,   3.910,  15.641, -13.686,  -1.955,   9.777,   1.955,  13.687, -15.641,  -3.909, -11.731\r\n"
    "TEMPERAMENT \"Meantone (quarter tone)\",     0,     -24,    -6.8,    10.3,   -13.7,     3.4,   -20.5,    -3.4,   -27.4,   -10.3,     6.8,   -17.1\r\n"
    "TEMPERAMENT \"Young I\",                   6.2,     0.1,     2.1,     4.0,    -2.1,     6.1,    -1.8,     4.2,     2.1,       0,       6,    -2.0\r\n"
    "TEMPERAMENT \"Young II\",                  5.9,    -3.9,     2.0,       0,    -2.0,     3.9,    -5.9,     3.9,    -2.0,       0,       2,    -3.9\r\n"
    "TEMPERAMENT \"Kirnberger II\",               0,  -9.775,   3.910,  -5.865, -13.686,  -1.955,  -9.777,   1.955,   -7.82,  -4.922,  -3.909, -11.731\r\n"
    "TEMPERAMENT \"Kirnberger III\",              0,  -9.775,  -6.843,  -5.865, -13.686,  -1.955,  -9.777,  -3.422,   -7.82, -10.265,  -3.909, -11.731\r\n"
    "TEMPERAMENT \"Vallotti modern\",           5.9,       0,       2,     3.9,      -2,     7.8,      -2,     3.9,       2,       0,     5.9,    -3.9\r\n"
    "TEMPERAMENT \"Vallotti original\",         4.9,    0.65,     1.6,     4.6,    -1.6,     6.5,    -1.3,     3.3,     2.6,       0,     6.5,    -3.3\r\n"
    "TEMPERAMENT \"Vallotti-Barca\",            4.9,       0,     1.6,     3.3,    -1.6,     6.5,    -1.6,     3.3,     1.6,       0,     4.9,    -3.3\r\n"
    "TEMPERAMENT \"Vallotti-Jorgensen\",          0,    -5.5,    -4.2,    -2.2,    -7.5,     1.7,    -7.5,    -2.9,    -3.5,    -6.6,    -0.3,    -9.4\r\n"
    "TEMPERAMENT \"Werckmeister I(III)\",         0,     -10,      -8,      -6,     -10,      -2,     -12,      -4,      -8,     -12,      -4,      -8\r\n"
    "TEMPERAMENT \"Werckmeister II(IV)\",         0,     -18,      -4,      -6,      -8,      -2,     -12,      -6,     -16,     -10,       4,     -14\r\n"
    "TEMPERAMENT \"Werckmeister III(V)\",         0,      -4,       4,       0,      -4,       4,       0,       2,      -8,       0,       2,      -2\r\n"
    "TEMPERAMENT \"Werckmeister IV(VI)\",         0,      -9,      -4,      -2,      -5,      -2,      -5,      -2,      -7,      -7,       0,      -3\r\n";

std::string settingsPath(const std::string& userFolder) {
    return userFolder + platform::pathSeparator() + "Settings.ini";
}

bool ensureSettingsFile(const std::string& userFolder, std::string* problem) {
    const auto fail = [problem](const std::string& what, const std::string& reason) {
        if (problem != nullptr) *problem = what + " (" + reason + ").";
        return false;
    };
    if (!platform::directoryExists(userFolder)) {
        std::error_code error;
        std::filesystem::create_directories(std::filesystem::path(platform::nativePath(userFolder)), error);
        if (!platform::directoryExists(userFolder))
            return fail("Can't create the per-user folder " + userFolder,
                        error ? error.message() : std::strerror(ENOTDIR));
    }
    const std::string path = settingsPath(userFolder);
    if (platform::fileExists(path)) return true;
    // Written under another name and renamed once complete.
    const std::string partial = path + ".new";
    std::FILE* file = platform::openFile(partial, "wb");
    if (file == nullptr) return fail("Can't write " + path, std::strerror(errno));
    int error = 0;
    if (std::fwrite(kDefaultSettingsText.data(), 1, kDefaultSettingsText.size(), file) != kDefaultSettingsText.size() ||
        std::fflush(file) != 0)
        error = errno != 0 ? errno : EIO;
    if (std::fclose(file) != 0 && error == 0) error = errno != 0 ? errno : EIO;
    if (error == 0 && std::rename(platform::nativePath(partial).c_str(), platform::nativePath(path).c_str()) == 0)
        return true;
    if (error == 0) error = errno;
    platform::deleteFile(partial);
    return fail("Can't write " + path, std::strerror(error));
}

namespace {

// The reduced form the creation-time reader looks at: comments cut, control characters
// blanked, runs of blanks collapsed and leading blanks removed.
std::string simplifyLine(const std::string& raw) {
    std::string line = raw.substr(0, raw.find_first_of("\r\n"));
    line += ' ';
    std::size_t cut = line.size();
    for (const char* marker : {"//", "#", "%"}) cut = std::min(cut, line.find(marker));
    line.resize(cut);
    std::string result;
    for (char c : line) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u >= 1 && u <= 31) c = ' ';
        if (c == ' ' && (result.empty() || result.back() == ' ')) continue;
        result += c;
    }
    return result;
}

bool startsWithNoCase(const std::string& text, const char* prefix) {
    const std::size_t n = std::strlen(prefix);
    if (text.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

int clampInt(int value, int low, int high) { return value < low ? low : value > high ? high : value; }

}  // namespace

void applyCreationSettingsLine(std::string raw, CreationSettings& settings) {
    const std::string line = simplifyLine(raw);
    if (startsWithNoCase(line, "VSTVARS ") && (line.size() < 9 || line[8] != '=')) {
        int value = settings.numParams;
        std::sscanf(line.c_str() + 8, "%d", &value);
        settings.numParams = value < 1 ? 16 : value > 128 ? 128 : value;
    } else if (startsWithNoCase(line, "INTERFACE") && (line.size() < 10 || line[9] != '=')) {
        int width = settings.editorWidth;
        int height = settings.editorHeight;
        std::sscanf(line.c_str() + 9, "%d", &width);
        const std::size_t comma = line.find(',');
        const std::size_t semicolon = line.find(';');
        if (comma != std::string::npos)
            std::sscanf(line.c_str() + comma + 1, "%d", &height);
        else if (semicolon != std::string::npos)
            std::sscanf(line.c_str() + semicolon + 1, "%d", &height);
        settings.editorWidth = clampInt(width, 400, 4096);
        settings.editorHeight = clampInt(height, 300, 4096);
    }
}

CreationSettings readCreationSettings(const std::string& path) {
    CreationSettings settings;
    std::FILE* file = platform::openRegularFile(path);
    if (file == nullptr) return settings;
    char buffer[8192];
    while (std::fgets(buffer, sizeof buffer, file) != nullptr) applyCreationSettingsLine(buffer, settings);
    std::fclose(file);
    return settings;
}

}  // namespace tess
