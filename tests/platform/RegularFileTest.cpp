#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "support/TestSupport.h"

namespace tess::test {
namespace {

// Readers of outside input open only regular files: a device or a pipe could block the host or
// give endless text.
TEST(RegularFile, OnlyRegularFilesOpen) {
    TempDir dir;
    writeFile(dir.file("plain.txt"), "x = 1\n");
    ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
    struct Case {
        std::string path;
        bool opens;
        int error;
    };
    const Case cases[] = {
        {dir.file("plain.txt"), true, 0},
        {dir.file("pipe"), false, ENODEV},  // opening it for reading would wait for a writer
        {"/dev/zero", false, ENODEV},
        {dir.path(), false, EISDIR},
        {dir.file("absent.txt"), false, ENOENT},
    };
    for (const Case& c : cases) {
        errno = 0;
        std::FILE* file = platform::openRegularFile(c.path);
        EXPECT_EQ(file != nullptr, c.opens) << c.path;
        if (file != nullptr) {
            char text[8] = {};
            EXPECT_EQ(std::fread(text, 1, sizeof text, file), 6u);
            EXPECT_STREQ(text, "x = 1\n");
            std::fclose(file);
        } else {
            EXPECT_EQ(errno, c.error) << c.path;
        }
    }
}

}  // namespace
}  // namespace tess::test
