// A SoundFont import started from the editor. The conversion runs on a worker thread of its own
// so that neither the host's window nor the audio stops while a large bank is written; the
// worker touches nothing of the plug-in. The editor's idle collects what the import wrote so
// far (its processing log and one progress line per preset) and shows it.
#pragma once

#include <mutex>
#include <string>
#include <thread>

#include "sf2import/SoundFontImport.h"

namespace tess::editor {

class SoundFontImportJob {
public:
    SoundFontImportJob() = default;
    SoundFontImportJob(const SoundFontImportJob&) = delete;
    SoundFontImportJob& operator=(const SoundFontImportJob&) = delete;
    // Waits for an import still running: the worker's code and data must outlive it.
    ~SoundFontImportJob();

    // Starts importing; false while another import runs.
    bool start(const sf2::ImportRequest& request);
    bool running() const;
    // True once an import has ended and its result was not yet collected by `finish`.
    bool finished() const;
    // The log text written since the last call.
    std::string takeText();
    // Joins the finished worker and gives its summary.
    sf2::ImportSummary finish();

    // Texts longer than this keep their newest part.
    static constexpr std::size_t kMaxPending = 1 << 20;

private:
    void write(std::string_view text);

    mutable std::mutex mutex_;
    std::string pending_;
    bool active_ = false;
    bool done_ = false;
    sf2::ImportSummary summary_;
    std::thread worker_;
};

}  // namespace tess::editor
