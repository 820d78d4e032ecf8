#include "sf2import/SafeName.h"

#include <cctype>

namespace tess::sf2 {

namespace {

bool isDeviceName(const std::string& name) {
    std::string stem = foldedName(name.substr(0, name.find('.')));
    if (stem == "con" || stem == "prn" || stem == "aux" || stem == "nul") return true;
    return stem.size() == 4 && (stem.compare(0, 3, "com") == 0 || stem.compare(0, 3, "lpt") == 0) &&
           stem[3] >= '0' && stem[3] <= '9';
}

}  // namespace

std::string foldedName(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

std::string safeFileName(std::string_view name) {
    while (!name.empty() && name.back() == ' ')
        name.remove_suffix(1);  // bank names are often blank-padded
    std::string safe;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        const bool kept = u < 128 && (std::isalnum(u) != 0 || c == '-' || c == '_' || c == '.');
        safe += kept ? c : '_';
    }
    // A trailing dot would vanish on Windows; a leading one hides the file on POSIX.
    if (!safe.empty() && safe.back() == '.') safe.back() = '_';
    if (!safe.empty() && safe.front() == '.') safe.front() = '_';
    if (safe.empty()) safe = "unnamed";
    if (isDeviceName(safe)) safe.insert(0, "_");
    return safe;
}

}  // namespace tess::sf2
