// The processing log of a SoundFont import. Every line goes to one sink (the editor's pane, or
// the tool's standard output); record listings and chunk announcements are written only when
// the debug level is above 1.
#pragma once

#include <functional>
#include <string_view>

namespace tess::sf2 {

class ImportLog {
public:
    using Sink = std::function<void(std::string_view)>;

    explicit ImportLog(Sink sink, int debugLevel = 0)
        : sink_(std::move(sink)), debugLevel_(debugLevel) {}

    int debugLevel() const { return debugLevel_; }
    bool detailed() const { return debugLevel_ > 1; }

    void write(std::string_view text) const {
        if (sink_) sink_(text);
    }
    // printf-style; the text is cut at 4095 bytes.
    void printf(const char* format, ...) const
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    // As printf, only when the debug level is above 1.
    void detail(const char* format, ...) const
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;

private:
    Sink sink_;
    int debugLevel_;
};

}  // namespace tess::sf2
