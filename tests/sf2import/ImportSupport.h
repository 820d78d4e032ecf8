// Running an import in a test: the bank written to a file, the log collected.
#pragma once

#include <string>

#include "sf2import/BankBuilder.h"
#include "sf2import/SoundFontImport.h"
#include "support/TestSupport.h"

namespace tess::test {

struct ImportRun {
    sf2::ImportSummary summary;
    std::string log;
};

ImportRun importBank(const std::string& bankPath, const std::string& outputFolder,
                     int debugLevel = 0);
// Writes `bytes` as dir/bank.sf2 and imports it into dir/out.
ImportRun importBytes(const TempDir& dir, const std::string& bytes, int debugLevel = 0);

// Files and folders under `folder`, recursively, relative to it ("" when it does not exist).
std::string listTree(const std::string& folder);

}  // namespace tess::test
