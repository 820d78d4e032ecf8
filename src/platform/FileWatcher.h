// Watches a set of files for changes of size or modification time from a thread of its own,
// polling a few times a second. A change is reported once the file has stayed the same for a
// settling time, so that a save written in several steps (truncate, then write) is reported
// when it is complete, not in between.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tess::platform {

// Size and modification time of a file; `exists` false when it cannot be read.
struct FileStamp {
    bool exists = false;
    std::uintmax_t size = 0;
    std::int64_t modified = 0;  // in the file system's own ticks
    bool operator==(const FileStamp&) const = default;
};
FileStamp stampOf(const std::string& path);

class FileWatcher {
public:
    using Changed = std::function<void(const std::string& path)>;
    static constexpr std::chrono::milliseconds kDefaultPoll{100};
    static constexpr std::chrono::milliseconds kDefaultSettle{200};

    // `changed` runs on the watcher's thread, one call at a time.
    explicit FileWatcher(Changed changed, std::chrono::milliseconds poll = kDefaultPoll,
                         std::chrono::milliseconds settle = kDefaultSettle);
    ~FileWatcher();
    FileWatcher(const FileWatcher&) = delete;
    FileWatcher& operator=(const FileWatcher&) = delete;

    // A file and the state it was in when its reader began.
    using KnownStamp = std::pair<std::string, FileStamp>;

    // Replaces the watched files; the thread starts with the first call. Each file is taken as
    // it is given in `known` (its state before a reader began, so that a save made while it
    // read is still reported), else as it is now.
    void watch(const std::vector<std::string>& paths, const std::vector<KnownStamp>& known = {});
    // Ends the thread (waits for a report in progress). Safe to call more than once.
    void stop();
    bool running() const { return thread_.joinable(); }

private:
    struct Entry {
        std::string path;
        FileStamp seen;       // the state last accepted
        FileStamp candidate;  // a different state, waiting to settle
        std::chrono::steady_clock::time_point candidateSince{};
        bool pending = false;
    };
    void run();
    // One look at every file; returns the path of a settled change (empty for none).
    std::string poll(std::chrono::steady_clock::time_point now);

    Changed changed_;
    std::chrono::milliseconds pollInterval_;
    std::chrono::milliseconds settle_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Entry> entries_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace tess::platform
