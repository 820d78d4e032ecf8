#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Platform.h"

namespace tess::platform {

char pathSeparator() { return '/'; }

std::string userFolder() {
    std::string home = environment("TESSARINE_HOME");
    if (!home.empty()) return home;
    std::string documents = environment("XDG_DOCUMENTS_DIR");
    if (documents.empty()) documents = environment("HOME") + "/Documents";
    return documents + "/Tessarine";
}

std::string ownModulePath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ownModulePath), &info) != 0 && info.dli_fname != nullptr)
        return info.dli_fname;
    return {};
}

bool fileExists(const std::string& path) {
    struct stat status {};
    return ::stat(nativePath(path).c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

bool directoryExists(const std::string& path) {
    struct stat status {};
    return ::stat(nativePath(path).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool makeDirectory(const std::string& path) { return ::mkdir(nativePath(path).c_str(), 0755) == 0; }

bool deleteFile(const std::string& path) { return ::unlink(nativePath(path).c_str()) == 0; }

void* loadLibrary(const std::string& path, std::string* error) {
    void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr && error != nullptr) {
        const char* text = ::dlerror();
        *error = text != nullptr ? text : "unknown error";
    }
    return library;
}

void* findSymbol(void* library, const char* name) { return ::dlsym(library, name); }

void closeLibrary(void* library) {
    if (library != nullptr) ::dlclose(library);
}

}  // namespace tess::platform
