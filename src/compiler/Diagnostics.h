// Message helpers of the compiler: bounded formatting and the line-error family
// "************ Line %d, file %s\r\n<message><raw line>\r\n".
#pragma once

#include <string>
#include <string_view>

#include "common/Log.h"

namespace tess::compiler {

// printf-style formatting into a string of any length.
std::string format(const char* pattern, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Where a line came from, for messages.
struct SourceLine {
    int number = 0;
    std::string_view file;
    std::string_view raw;
};

// "************ Line %d, file %s\r\n" + message + raw line + "\r\n". `message` carries its own
// line end.
void reportLineError(Log& log, const SourceLine& line, std::string_view message);

// The hard-limit block "\r\n*******************\r\nFATAL ERROR: limit of %d <what>\r\n...".
void reportStorageLimit(Log& log);
void reportOperationLimit(Log& log);

}  // namespace tess::compiler
