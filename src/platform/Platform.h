// The few operating-system services the plug-in and its tools need. Everything else in the
// project is portable C++; these have one implementation for Windows and one for POSIX.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace tess::platform {

// '\\' on Windows, '/' elsewhere.
char pathSeparator();

// Instrument files may write either separator; this gives the path the system understands.
std::string nativePath(std::string_view path);

// The per-user folder: $TESSARINE_HOME when set, else the documents folder + "Tessarine".
std::string userFolder();

// Full file name of the module (shared library or executable) that holds this code.
std::string ownModulePath();

// A file that is not a folder.
bool fileExists(const std::string& path);
bool directoryExists(const std::string& path);
bool makeDirectory(const std::string& path);
bool deleteFile(const std::string& path);

// fopen with the separators mapped; binary modes only (no line-end translation). A folder is
// never opened, although POSIX would open one for reading.
std::FILE* openFile(const std::string& path, const char* mode);

// Opens `path` for binary reading only when it is a regular file. The readers of outside input
// (instrument files and what they include, samples, banks, Settings.ini) use it: a device or a
// pipe named there could block the caller or never end (/dev/zero has no last line).
std::FILE* openRegularFile(const std::string& path);

// Loading another module, for the host tool and tests.
void* loadLibrary(const std::string& path, std::string* error);
void* findSymbol(void* library, const char* name);
void closeLibrary(void* library);

// Environment access that works the same on both platforms.
std::string environment(const char* name);

}  // namespace tess::platform
