#include <windows.h>
#include <shlobj.h>

#include "platform/Platform.h"

namespace tess::platform {

char pathSeparator() { return '\\'; }

std::string userFolder() {
    std::string home = environment("TESSARINE_HOME");
    if (!home.empty()) return nativePath(home);
    char documents[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, 0, documents) != S_OK) return ".";
    return std::string(documents) + "\\Tessarine";
}

std::string ownModulePath() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&ownModulePath), &module))
        return {};
    char name[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(module, name, sizeof name);
    return std::string(name, length < sizeof name ? length : sizeof name - 1);
}

bool fileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(nativePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool directoryExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(nativePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool makeDirectory(const std::string& path) {
    return CreateDirectoryA(nativePath(path).c_str(), nullptr) != 0;
}

bool deleteFile(const std::string& path) { return DeleteFileA(nativePath(path).c_str()) != 0; }

void* loadLibrary(const std::string& path, std::string* error) {
    HMODULE library = LoadLibraryA(nativePath(path).c_str());
    if (library == nullptr && error != nullptr)
        *error = "LoadLibrary failed with error " + std::to_string(GetLastError());
    return reinterpret_cast<void*>(library);
}

void* findSymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void closeLibrary(void* library) {
    if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
}

}  // namespace tess::platform
