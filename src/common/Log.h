// The plug-in's two log texts: the main log (pane 0) and the echo of compiled program lines
// (pane 1). Each has a fixed capacity; an append that would overflow drops the oldest text
// first, so the newest messages are always kept and nothing is written past the capacity.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

namespace tess {

class LogText {
public:
    static constexpr std::size_t kCapacity = 524288;  // bytes, including the terminator

    LogText();
    void append(std::string_view text);
    void clear();
    std::string_view view() const { return {buffer_.get(), length_}; }
    const char* c_str() const { return buffer_.get(); }
    std::size_t size() const { return length_; }

private:
    std::unique_ptr<char[]> buffer_;
    std::size_t length_ = 0;
};

class Log {
public:
    enum Pane { kMain = 0, kProgram = 1 };

    // Appends when the debug level is 0 or more; below 0 every call is ignored.
    void append(int pane, std::string_view text);
    // printf-style convenience: formats into a bounded local buffer, then appends.
    void appendf(int pane, const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 3, 4)))
#endif
        ;
    void clear();

    int debugLevel = 0;
    int changed = 1;  // set by every append; the editor clears it when it copies the texts
    LogText main;
    LogText program;
};

}  // namespace tess
