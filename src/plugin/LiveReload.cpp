// Reload on save: while an instrument is loaded, a watcher thread of the plug-in's own looks at
// the files it was built from (Settings.ini, the instrument file and its INCLUDEs, the sample
// files) and reloads it when one of them changes, as the Reload button does.
#include <utility>

#include "compiler/InstrumentCompiler.h"
#include "plugin/Tessarine.h"
#include "samples/SampleLoader.h"

namespace tess {

void Tessarine::watchInstrumentFiles(const std::vector<platform::FileWatcher::KnownStamp>& before) {
    std::vector<std::string> files;
    if (!loadedFile_.empty()) {
        files = compiler->filesRead();
        for (int slot = 0; slot < SampleBank::kSlots; ++slot) {
            // Read through the const view: the other one creates the slot's chunk.
            const SampleSlot& sample = std::as_const(*samples)[slot];
            if (sample.kind == SampleSlot::kEmpty || sample.fileName.empty()) continue;
            const std::string path = findSampleFile(sample.fileName, sampleContext);
            if (!path.empty()) files.push_back(path);
        }
    }
    watchedFiles_ = files;
    if (files.empty()) {
        if (watcher_) watcher_->watch({});
        return;
    }
    if (!watcher_)
        watcher_ = std::make_unique<platform::FileWatcher>([this](const std::string& file) { reloadChangedFile(file); });
    watcher_->watch(files, before);
}

std::vector<std::string> Tessarine::watchedFiles() {
    std::lock_guard<std::recursive_mutex> serial(loadMutex);
    return watchedFiles_;
}

void Tessarine::reloadChangedFile(const std::string& changedFile) {
    std::lock_guard<std::recursive_mutex> serial(loadMutex);
    if (loadedFile_.empty()) return;
    reloadNotice_ = "Reloading: " + changedFile + " changed.\r\n";
    selectInstrument(instrumentPath);
    reloadNotice_.clear();
}

}  // namespace tess
