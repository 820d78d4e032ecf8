#include "sf2import/ImportSupport.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace tess::test {

ImportRun importBank(const std::string& bankPath, const std::string& outputFolder, int debugLevel) {
    ImportRun run;
    sf2::ImportRequest request;
    request.bankPath = bankPath;
    request.outputFolder = outputFolder;
    request.debugLevel = debugLevel;
    run.summary = sf2::importSoundFont(request, [&run](std::string_view text) { run.log += text; });
    return run;
}

ImportRun importBytes(const TempDir& dir, const std::string& bytes, int debugLevel) {
    writeFile(dir.file("bank.sf2"), bytes);
    return importBank(dir.file("bank.sf2"), dir.file("out"), debugLevel);
}

std::string listTree(const std::string& folder) {
    namespace fs = std::filesystem;
    if (!fs::exists(folder)) return "";
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.push_back(fs::relative(entry.path(), folder).generic_string());
    std::sort(names.begin(), names.end());
    std::string list;
    for (const std::string& n : names) list += n + "\n";
    return list;
}

}  // namespace tess::test
