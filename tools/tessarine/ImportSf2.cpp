#include "tessarine/ImportSf2.h"

#include "sf2import/SoundFontImport.h"
#include "tessarine/CommandLine.h"
#include "tessarine/Commands.h"
#include "tessarine/ExitStatus.h"

namespace tess::tool {

namespace {

int usageError(const std::string& message, std::ostream& err) {
    err << "tessarine import-sf2: " << message << "\n\n" << usageText();
    return kExitUsage;
}

// The log is written with "\r\n" line ends, as the editor's pane wants them.
void printLog(std::ostream& out, std::string_view text) {
    for (char c : text)
        if (c != '\r') out << c;
}

}  // namespace

int runImportSf2(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    sf2::ImportRequest request;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--out" || a == "--debug") {
            if (i + 1 >= args.size()) return usageError(a + " needs a value", err);
            const std::string& value = args[++i];
            if (a == "--out") {
                request.outputFolder = value;
            } else {
                long long level = 0;
                if (!parseInteger(value, 0, 999, level))
                    return usageError("--debug needs a level of 0 to 999", err);
                request.debugLevel = static_cast<int>(level);
            }
        } else if (request.bankPath.empty() && !a.empty() && a[0] != '-') {
            request.bankPath = a;
        } else {
            return usageError("unexpected argument \"" + a + "\"", err);
        }
    }
    if (request.bankPath.empty()) return usageError("needs a SoundFont 2 bank", err);
    if (request.outputFolder.empty())
        out << "Output folder: " << sf2::defaultImportFolder() << "\n";
    const sf2::ImportSummary summary = sf2::importSoundFont(
        request, [&out](std::string_view text) { printLog(out, text); },
        [&err](const sf2::ImportProgress& p) {
            err << "Preset " << p.preset << " of " << p.presetCount << ": " << p.name << "\n";
        });
    if (!summary.succeeded) return kExitFailure;
    out << summary.presets << " presets, " << summary.layers << " layers, " << summary.samples
        << " sample files written\n";
    return kExitSuccess;
}

}  // namespace tess::tool
