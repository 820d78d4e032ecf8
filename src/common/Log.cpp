#include "common/Log.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace tess {

LogText::LogText() : buffer_(new char[kCapacity]) { buffer_[0] = '\0'; }

void LogText::clear() {
    length_ = 0;
    buffer_[0] = '\0';
}

void LogText::append(std::string_view text) {
    constexpr std::size_t usable = kCapacity - 1;
    if (text.size() >= usable) {
        // The text alone fills the log: keep its newest part.
        text = text.substr(text.size() - usable);
        std::memcpy(buffer_.get(), text.data(), text.size());
        length_ = text.size();
        buffer_[length_] = '\0';
        return;
    }
    if (length_ + text.size() > usable) {
        // Drop the oldest text, at least a quarter of the log at a time so that a full log
        // does not move half a megabyte for every message, and up to the end of a line.
        std::size_t drop = std::max(length_ + text.size() - usable, std::min(length_, kCapacity / 4));
        const char* newline = static_cast<const char*>(
            std::memchr(buffer_.get() + drop, '\n', length_ - drop));
        if (newline != nullptr && static_cast<std::size_t>(newline - buffer_.get()) < drop + 4096)
            drop = static_cast<std::size_t>(newline - buffer_.get()) + 1;
        std::memmove(buffer_.get(), buffer_.get() + drop, length_ - drop);
        length_ -= drop;
    }
    std::memcpy(buffer_.get() + length_, text.data(), text.size());
    length_ += text.size();
    buffer_[length_] = '\0';
}

void Log::append(int pane, std::string_view text) {
    if (debugLevel < 0) return;
    (pane == kProgram ? program : main).append(text);
    changed = 1;
}

void Log::appendf(int pane, const char* format, ...) {
    if (debugLevel < 0) return;
    char buffer[16384];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0) return;
    std::size_t length = static_cast<std::size_t>(n) < sizeof buffer ? static_cast<std::size_t>(n)
                                                                     : sizeof buffer - 1;
    append(pane, std::string_view(buffer, length));
}

void Log::clear() {
    main.clear();
    program.clear();
    changed = 1;
}

}  // namespace tess
