// The per-user folder may be missing and impossible to create, read-only or on a full disk:
// the plug-in still starts with the default settings, says why in its log, leaves no partial
// Settings.ini behind, and a load leaves out LAST lines it could not write rather than compile
// one cut short.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "plugin/CreateInstance.h"
#include "plugin/Tessarine.h"
#include "state/SettingsFile.h"
#include "support/TestSupport.h"

namespace tess {
namespace {

namespace fs = std::filesystem;

vst::VstIntPtr quietHost(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32, vst::VstIntPtr, void*, float) {
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

enum class Folder { Uncreatable, ReadOnly, Full, FullWithSettings };

struct FolderCase {
    const char* name;
    Folder kind;
    // What the log says at creation ("" when the settings were written or already there).
    const char* creationProblem;
};

// A folder the test arranges. Read-only and full folders are small memory file systems when
// the tests run as root (who may write into any folder whatever its mode); otherwise a
// read-only folder is one without write permission.
class ArrangedFolder {
public:
    explicit ArrangedFolder(Folder kind) : path_(dir_.file("Tessarine")) {
        switch (kind) {
            case Folder::Uncreatable:
                test::writeFile(dir_.file("plain-file"), "x");
                path_ = dir_.file("plain-file/Tessarine");
                break;
            case Folder::ReadOnly:
                fs::create_directory(path_);
                if (::geteuid() == 0) {
                    mount("ro,size=64k");
                } else {
                    ::chmod(path_.c_str(), 0555);
                }
                break;
            case Folder::Full:
            case Folder::FullWithSettings:
                fs::create_directory(path_);
                mount("size=64k");
                if (kind == Folder::FullWithSettings) {
                    EXPECT_TRUE(ensureSettingsFile(path_));
                }
                // Fills every block; dd stops with an error when the disk is full.
                test::runCommand("dd if=/dev/zero of=" + path_ + "/filler bs=4096", nullptr);
                break;
        }
    }
    ~ArrangedFolder() {
        if (mounted_) test::runCommand("umount " + path_, nullptr);
        ::chmod(path_.c_str(), 0755);
    }
    const std::string& path() const { return path_; }

private:
    void mount(const std::string& options) {
        std::string output;
        ASSERT_EQ(test::runCommand("mount -t tmpfs -o " + options + " tmpfs " + path_, &output), 0) << output;
        mounted_ = true;
    }

    test::TempDir dir_;
    std::string path_;
    bool mounted_ = false;
};

std::vector<FolderCase> folderCases() {
    std::vector<FolderCase> cases = {
        {"Uncreatable", Folder::Uncreatable, "Can't create the per-user folder "},
        {"ReadOnly", Folder::ReadOnly, "Can't write "},
    };
    if (::geteuid() == 0) {  // a full disk needs a file system of its own
        cases.push_back({"Full", Folder::Full, "Can't write "});
        cases.push_back({"FullWithSettings", Folder::FullWithSettings, ""});
    }
    return cases;
}

class UserFolder : public ::testing::TestWithParam<FolderCase> {};

TEST_P(UserFolder, ThePlugInStartsAndSaysWhatItCouldNotWrite) {
    test::ScopedUserFolder restoreAfterwards;
    ArrangedFolder folder(GetParam().kind);
    if (HasFatalFailure()) return;
    setenv("TESSARINE_HOME", folder.path().c_str(), 1);
    const std::string settings = settingsPath(folder.path());
    const std::string settingsBefore = fs::exists(settings) ? test::readFile(settings) : "";

    std::unique_ptr<Tessarine> plugin(createEffectInstance(&quietHost));
    ASSERT_NE(plugin, nullptr);
    const std::string creationLog(plugin->log.main.view());
    if (*GetParam().creationProblem == '\0') {
        EXPECT_EQ(creationLog, "");
        EXPECT_EQ(test::readFile(settings), settingsBefore);
    } else {
        const std::string expected = std::string("************ ERROR: ") + GetParam().creationProblem;
        EXPECT_EQ(creationLog.rfind(expected, 0), 0u) << creationLog;
        EXPECT_NE(creationLog.find(". The default settings are used.\r\n"), std::string::npos) << creationLog;
        EXPECT_FALSE(fs::exists(settings));  // nothing half written
        EXPECT_FALSE(fs::exists(settings + ".new"));
    }
    EXPECT_EQ(plugin->numVstVars, CreationSettings{}.numParams);

    // A file with a LAST line: it cannot be written, so it is left out with a message, and the
    // rest of the instrument plays.
    test::TempDir instruments;
    test::writeFile(instruments.file("last.txt"), "LAST OUT = OUT * 0.5\nPOST\nOUT = 0.25\n");
    ASSERT_TRUE(plugin->selectInstrument(instruments.file("last.txt")));
    const std::string loadLog(plugin->log.main.view());
    EXPECT_NE(loadLog.find("ERROR: LAST. Can't write " + folder.path() + "/LAST.txt: the LAST lines are left out...\r\n"),
              std::string::npos)
        << loadLog;
    plugin->setSampleRate(44100.0f);
    plugin->setBlockSize(64);
    plugin->resume();
    std::vector<float> left(64), right(64);
    float* outputs[] = {left.data(), right.data()};
    plugin->processReplacing(outputs, outputs, 64);
    EXPECT_FLOAT_EQ(left[32], 0.25f);
    EXPECT_FALSE(fs::exists(folder.path() + "/LAST.txt"));
}

INSTANTIATE_TEST_SUITE_P(Kinds, UserFolder, ::testing::ValuesIn(folderCases()),
                         [](const ::testing::TestParamInfo<FolderCase>& info) { return std::string(info.param.name); });

// A writable per-user folder whose parents are missing (a new account without a documents
// folder) is made whole.
TEST(UserFolderCreation, MissingParentsAreCreated) {
    test::TempDir dir;
    const std::string folder = dir.file("Documents/Tessarine");
    std::string problem;
    ASSERT_TRUE(ensureSettingsFile(folder, &problem)) << problem;
    EXPECT_EQ(test::readFile(settingsPath(folder)), std::string(kDefaultSettingsText));
}

}  // namespace
}  // namespace tess
