#include "editor/SoundFontImportJob.h"

#include <cstdio>

namespace tess::editor {

SoundFontImportJob::~SoundFontImportJob() {
    if (worker_.joinable()) worker_.join();
}

bool SoundFontImportJob::start(const sf2::ImportRequest& request) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (active_) return false;
        active_ = true;
        done_ = false;
        pending_.clear();
        summary_ = {};
    }
    if (worker_.joinable()) worker_.join();
    worker_ = std::thread([this, request] {
        const sf2::ImportSummary summary = sf2::importSoundFont(
            request, [this](std::string_view text) { write(text); },
            [this](const sf2::ImportProgress& progress) {
                char line[400];
                std::snprintf(line, sizeof line, "Preset %d of %d: %s\r\n", progress.preset,
                              progress.presetCount, progress.name.c_str());
                write(line);
            });
        std::lock_guard<std::mutex> lock(mutex_);
        summary_ = summary;
        done_ = true;
    });
    return true;
}

void SoundFontImportJob::write(std::string_view text) {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.append(text);
    if (pending_.size() > kMaxPending) pending_.erase(0, pending_.size() - kMaxPending);
}

bool SoundFontImportJob::running() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return active_;
}

bool SoundFontImportJob::finished() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return active_ && done_;
}

std::string SoundFontImportJob::takeText() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string text;
    text.swap(pending_);
    return text;
}

sf2::ImportSummary SoundFontImportJob::finish() {
    if (worker_.joinable()) worker_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    active_ = false;
    done_ = false;
    return summary_;
}

}  // namespace tess::editor
