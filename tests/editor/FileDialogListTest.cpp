// What the X11 view's file dialog lists: folders first, then the files of the chosen type.
#include <gtest/gtest.h>

#include <filesystem>

#include "editor/X11FileDialog.h"
#include "support/TestSupport.h"

namespace tess {
namespace {

std::string names(const std::vector<editor::FileDialogEntry>& entries) {
    std::string text;
    for (const editor::FileDialogEntry& e : entries)
        text += (e.folder ? "[" + e.name + "]" : e.name) + " ";
    return text;
}

TEST(FileDialogList, FoldersFirstThenTheFilesOfTheType) {
    test::TempDir dir;
    for (const char* file : {"b.txt", "A.TXT", "tone.wav", "loop.AIFF", "notes.md", ".hidden.txt"})
        test::writeFile(dir.file(file), "x");
    std::filesystem::create_directory(dir.file("Imported"));
    std::filesystem::create_directory(dir.file("samples.txt"));
    struct Case {
        const char* patterns;
        const char* expected;
    };
    const Case cases[] = {
        {"*.txt", "[..] [Imported] [samples.txt] A.TXT b.txt "},
        {"*.wav;*.aif;*.aiff", "[..] [Imported] [samples.txt] loop.AIFF tone.wav "},
        {"*.*", "[..] [Imported] [samples.txt] A.TXT b.txt loop.AIFF notes.md tone.wav "},
        {"*.sf2", "[..] [Imported] [samples.txt] "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(names(editor::listFolder(dir.path(), c.patterns)), c.expected) << c.patterns;
    // The root has no parent to go up to.
    EXPECT_EQ(names(editor::listFolder("/", "*.none")).find("[..]"), std::string::npos);
}

}  // namespace
}  // namespace tess
