#include "support/TestSupport.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tess::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessarine-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

ScopedUserFolder::ScopedUserFolder() {
    if (const char* previous = std::getenv("TESSARINE_HOME")) {
        previous_ = previous;
        hadPrevious_ = true;
    }
    setenv("TESSARINE_HOME", dir_.path().c_str(), 1);
}

ScopedUserFolder::~ScopedUserFolder() {
    if (hadPrevious_)
        setenv("TESSARINE_HOME", previous_.c_str(), 1);
    else
        unsetenv("TESSARINE_HOME");
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

int runCommand(const std::string& command, std::string* output) {
    std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        if (output != nullptr) output->append(buffer, n);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace tess::test
