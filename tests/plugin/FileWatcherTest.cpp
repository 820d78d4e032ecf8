// The watcher thread that tells the plug-in of saved files: a change is reported once, when the
// file has settled, and a file that is gone is reported only when it is back.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/FileWatcher.h"
#include "support/TestSupport.h"

namespace tess {
namespace {

using namespace std::chrono_literals;

struct Step {
    enum Kind { Write, Remove } kind;
    const char* content;
    std::chrono::milliseconds after;  // pause after the step
};

struct WatchCase {
    const char* name;
    std::vector<Step> steps;
    std::vector<std::string> reports;  // the content the file had at each report
};

TEST(FileWatcher, ReportsEachSettledChangeOnce) {
    const std::vector<WatchCase> cases = {
        {"unchanged", {}, {}},
        {"one save", {{Step::Write, "b", 400ms}}, {"b"}},
        {"truncated, then written", {{Step::Write, "", 60ms}, {Step::Write, "longer text", 400ms}}, {"longer text"}},
        {"two saves apart", {{Step::Write, "b", 400ms}, {Step::Write, "cc", 400ms}}, {"b", "cc"}},
        {"removed and back", {{Step::Remove, "", 400ms}, {Step::Write, "back", 400ms}}, {"back"}},
    };
    for (const WatchCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const std::string file = dir.file("watched.txt");
        test::writeFile(file, "a");
        std::mutex mutex;
        std::vector<std::string> reports;
        platform::FileWatcher watcher(
            [&](const std::string& path) {
                std::lock_guard<std::mutex> lock(mutex);
                reports.push_back(test::readFile(path));
            },
            20ms, 150ms);
        watcher.watch({file});
        for (const Step& step : c.steps) {
            if (step.kind == Step::Write)
                test::writeFile(file, step.content);
            else
                std::remove(file.c_str());
            std::this_thread::sleep_for(step.after);
        }
        std::this_thread::sleep_for(200ms);
        watcher.stop();
        EXPECT_EQ(reports, c.reports);
    }
}

TEST(FileWatcher, AFileKnownFromBeforeAReaderBeganIsReportedWhenItChangedSince) {
    test::TempDir dir;
    const std::string file = dir.file("watched.txt");
    test::writeFile(file, "a");
    const platform::FileStamp before = platform::stampOf(file);
    test::writeFile(file, "saved while it was read");
    std::atomic<int> reports{0};
    platform::FileWatcher watcher([&](const std::string&) { ++reports; }, 20ms, 100ms);
    watcher.watch({file}, {{file, before}});
    std::this_thread::sleep_for(400ms);
    watcher.stop();
    EXPECT_EQ(reports.load(), 1);
}

}  // namespace
}  // namespace tess
