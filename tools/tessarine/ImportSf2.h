// `tessarine import-sf2 BANK.sf2 [--out DIR] [--debug N]`: converts every preset of a SoundFont
// 2 bank into an instrument folder, printing the processing log and a progress line per preset.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tess::tool {

// Exit status: 0 when the whole bank was converted, 1 when the import stopped, 2 on a usage error.
int runImportSf2(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tess::tool
