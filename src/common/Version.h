// The release's version, written in this one place: `tessarine --version` prints it, the
// plug-in reports it to hosts as its vendor version, and `make package` names the packages
// after it. The plug-in's AEffect version stays 1, so that projects saved with an earlier
// release still match.
#pragma once

namespace tess {

inline constexpr const char kVersion[] = "1.0.0";

// "MAJOR.MINOR.PATCH" as one number: major * 1000 + minor * 100 + patch (1.0.0 is 1000).
constexpr int versionNumber(const char* text) {
    int parts[3] = {0, 0, 0};
    int part = 0;
    for (const char* c = text; *c != '\0' && part < 3; ++c) {
        if (*c == '.')
            ++part;
        else
            parts[part] = parts[part] * 10 + (*c - '0');
    }
    return parts[0] * 1000 + parts[1] * 100 + parts[2];
}

inline constexpr int kVendorVersion = versionNumber(kVersion);

}  // namespace tess
