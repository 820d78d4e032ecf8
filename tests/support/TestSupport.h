// Helpers shared by the test programs: temporary folders and small file utilities.
#pragma once

#include <string>
#include <vector>

namespace tess::test {

// A fresh folder under the system's temporary directory, removed with everything in it when
// the object goes out of scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Sets TESSARINE_HOME to a fresh temporary folder for the lifetime of the object.
class ScopedUserFolder {
public:
    ScopedUserFolder();
    ~ScopedUserFolder();
    const std::string& path() const { return dir_.path(); }
    std::string file(const std::string& name) const { return dir_.file(name); }

private:
    TempDir dir_;
    std::string previous_;
    bool hadPrevious_ = false;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);

// Runs a shell command, returns its exit status and collects stdout+stderr.
int runCommand(const std::string& command, std::string* output);

}  // namespace tess::test
