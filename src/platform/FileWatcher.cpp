#include "platform/FileWatcher.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/Platform.h"

namespace tess::platform {

FileStamp stampOf(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path file(nativePath(path));
    FileStamp stamp;
    const std::uintmax_t size = fs::file_size(file, error);
    if (error) return stamp;
    const fs::file_time_type modified = fs::last_write_time(file, error);
    if (error) return stamp;
    stamp.exists = true;
    stamp.size = size;
    stamp.modified = static_cast<std::int64_t>(modified.time_since_epoch().count());
    return stamp;
}

FileWatcher::FileWatcher(Changed changed, std::chrono::milliseconds poll, std::chrono::milliseconds settle)
    : changed_(std::move(changed)), pollInterval_(poll), settle_(settle) {}

FileWatcher::~FileWatcher() { stop(); }

void FileWatcher::watch(const std::vector<std::string>& paths, const std::vector<KnownStamp>& known) {
    std::vector<Entry> next;
    for (const std::string& path : paths) {
        if (std::any_of(next.begin(), next.end(), [&](const Entry& e) { return e.path == path; })) continue;
        Entry entry;
        entry.path = path;
        const auto before = std::find_if(known.begin(), known.end(), [&](const KnownStamp& k) { return k.first == path; });
        entry.seen = before != known.end() ? before->second : stampOf(path);
        next.push_back(std::move(entry));
    }
    std::lock_guard<std::mutex> lock(mutex_);
    entries_ = std::move(next);
    if (!thread_.joinable() && !stopping_) thread_ = std::thread([this] { run(); });
}

void FileWatcher::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

std::string FileWatcher::poll(std::chrono::steady_clock::time_point now) {
    for (Entry& entry : entries_) {
        const FileStamp stamp = stampOf(entry.path);
        if (stamp == entry.seen) {
            entry.pending = false;  // changed and changed back
            continue;
        }
        if (!entry.pending || !(stamp == entry.candidate)) {
            entry.pending = true;
            entry.candidate = stamp;
            entry.candidateSince = now;
            continue;
        }
        // A file that is gone is reported when it comes back (an editor may save by renaming).
        if (!stamp.exists || now - entry.candidateSince < settle_) continue;
        entry.seen = stamp;
        entry.pending = false;
        return entry.path;
    }
    return {};
}

void FileWatcher::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        wake_.wait_for(lock, pollInterval_, [this] { return stopping_; });
        if (stopping_) break;
        const std::string path = poll(std::chrono::steady_clock::now());
        if (path.empty()) continue;
        lock.unlock();
        changed_(path);
        lock.lock();
    }
}

}  // namespace tess::platform
