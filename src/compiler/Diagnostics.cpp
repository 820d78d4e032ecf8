#include "compiler/Diagnostics.h"

#include <cstdarg>
#include <cstdio>

#include "compiler/OperationLimits.h"

namespace tess::compiler {

std::string format(const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, pattern, copy);
    va_end(copy);
    std::string out;
    if (needed > 0) {
        out.resize(static_cast<std::size_t>(needed) + 1);
        std::vsnprintf(out.data(), out.size(), pattern, args);
        out.resize(static_cast<std::size_t>(needed));
    }
    va_end(args);
    return out;
}

void reportLineError(Log& log, const SourceLine& line, std::string_view message) {
    std::string text = format("************ Line %d, file %.*s\r\n", line.number,
                              static_cast<int>(line.file.size()), line.file.data());
    text.append(message);
    text.append(line.raw);
    text.append("\r\n");
    log.append(Log::kMain, text);
}

void reportStorageLimit(Log& log) {
    log.append(Log::kMain, format("\r\n*******************\r\nFATAL ERROR: limit of %d TEMPORARY STORAGE "
                                  "reached.\r\n*******************\r\n",
                                  kMaxSlots));
    log.append(Log::kMain, "**************************************************\r\n\r\n");
}

void reportOperationLimit(Log& log) {
    log.append(Log::kMain, format("\r\n*******************\r\nFATAL ERROR: limit of %d operations "
                                  "reached.\r\n*******************\r\n",
                                  kMaxOperations));
    log.append(Log::kMain, "**************************************************\r\n\r\n");
}

}  // namespace tess::compiler
