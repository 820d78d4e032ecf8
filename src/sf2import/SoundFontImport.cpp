#include "sf2import/SoundFontImport.h"

#include "platform/Platform.h"
#include "sf2import/PresetConverter.h"
#include "sf2import/SampleWavWriter.h"
#include "sf2import/SoundFontReader.h"

namespace tess::sf2 {

std::string defaultImportFolder() {
    return platform::userFolder() + platform::pathSeparator() + "Imported";
}

namespace {

bool ensureFolder(const std::string& folder, const ImportLog& log) {
    if (platform::directoryExists(folder) || platform::makeDirectory(folder)) return true;
    log.printf("Can't create folder %s...\r\n", folder.c_str());
    return false;
}

ImportSummary convert(const ImportRequest& request, const ImportLog& log,
                      const ProgressCallback& progress) {
    ImportSummary summary;
    log.printf("User selected file %s...\r\n\r\n\r\nLoading file...\r\n", request.bankPath.c_str());
    Bank bank;
    if (!readBank(request.bankPath, bank, log)) return summary;
    log.printf(
        "****************************************************************\r\n"
        "*** THE FILE IS OK. PROCEEDING WITH THE PRESETS PROCESSING... ***\r\n"
        "****************************************************************\r\n");

    std::string folder = request.outputFolder;
    if (folder.empty()) {
        if (!ensureFolder(platform::userFolder(), log)) return summary;
        folder = defaultImportFolder();
    }
    if (!ensureFolder(folder, log)) return summary;

    const std::vector<std::uint32_t> guards = guardEnds(bank);
    const int count =
        static_cast<int>(bank.presets.size()) - 1;  // the terminal record is not a preset
    for (int p = 0; p < count; ++p) {
        if (progress) progress({p + 1, count, bank.presets[static_cast<std::size_t>(p)].name});
        const PresetResult result =
            convertPreset(bank, guards, static_cast<std::size_t>(p), folder, log);
        if (!result.written) return summary;
        ++summary.presets;
        summary.layers += result.layers;
        summary.samples += result.samples;
    }
    summary.succeeded = true;
    return summary;
}

}  // namespace

ImportSummary importSoundFont(const ImportRequest& request, const ImportLog::Sink& sink,
                              const ProgressCallback& progress) {
    const ImportLog log(sink, request.debugLevel);
    const ImportSummary summary = convert(request, log, progress);
    log.printf("Process terminated.\r\n");
    return summary;
}

}  // namespace tess::sf2
