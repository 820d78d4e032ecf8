// Importing a whole SoundFont 2 bank: the bank is read and validated, then every preset becomes
// a folder "NNNN_name" under the output folder with an Instrument.txt and the WAV files of the
// samples it plays. This is the one entry the editor's import button and `tessarine
// import-sf2` share; both show the same processing log and one progress report per preset.
#pragma once

#include <functional>
#include <string>

#include "sf2import/ImportLog.h"

namespace tess::sf2 {

struct ImportRequest {
    std::string bankPath;
    // Where the preset folders go; empty means "Imported" in the per-user folder.
    std::string outputFolder;
    int debugLevel = 0;  // above 1 the log lists every record and every merge step
};

struct ImportProgress {
    int preset = 0;       // counted from 1
    int presetCount = 0;  // presets in the bank (its terminal record not counted)
    std::string name;
};
using ProgressCallback = std::function<void(const ImportProgress&)>;

struct ImportSummary {
    bool succeeded = false;
    int presets = 0;  // preset folders written
    int layers = 0;
    int samples = 0;  // WAV files written
};

ImportSummary importSoundFont(const ImportRequest& request, const ImportLog::Sink& sink,
                              const ProgressCallback& progress = {});

// The folder an import writes into by default.
std::string defaultImportFolder();

}  // namespace tess::sf2
