// Reading and validating a SoundFont 2 bank. The reader is strict: the chunks must come in the
// format's order, every count must agree with the records that index it, and every index and
// sample range read from the bank must point inside its table or the sample data. Any problem
// ends the read with one message in the log; a bank that reads whole is safe to convert without
// further bounds checks.
#pragma once

#include <string>

#include "sf2import/ImportLog.h"
#include "sf2import/SoundFontBank.h"

namespace tess::sf2 {

// Reads `path` into `bank`. On failure the log holds the reason and `bank` must not be used.
bool readBank(const std::string& path, Bank& bank, const ImportLog& log);

// The checks that need the whole bank: indices, zone structure, sample ranges. readBank runs
// them; they are separate so that a bank built in memory can be checked the same way.
bool validateBank(const Bank& bank, const ImportLog& log);

}  // namespace tess::sf2
