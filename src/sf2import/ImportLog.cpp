#include "sf2import/ImportLog.h"

#include <cstdarg>
#include <cstdio>

namespace tess::sf2 {

namespace {

void emit(const ImportLog& log, const char* format, va_list args) {
    char buffer[4096];
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    if (n < 0) return;
    const std::size_t length = static_cast<std::size_t>(n) < sizeof buffer
                                   ? static_cast<std::size_t>(n)
                                   : sizeof buffer - 1;
    log.write(std::string_view(buffer, length));
}

}  // namespace

void ImportLog::printf(const char* format, ...) const {
    va_list args;
    va_start(args, format);
    emit(*this, format, args);
    va_end(args);
}

void ImportLog::detail(const char* format, ...) const {
    if (!detailed()) return;
    va_list args;
    va_start(args, format);
    emit(*this, format, args);
    va_end(args);
}

}  // namespace tess::sf2
