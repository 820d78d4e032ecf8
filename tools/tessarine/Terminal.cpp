#include "tessarine/Terminal.h"

#include <cstdio>
#include <string>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tess::tool {

bool standardErrorIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return ::isatty(STDERR_FILENO) != 0;
#endif
}

void ProgressBar::update(std::int64_t done, std::int64_t total) {
    if (!enabled_ || total <= 0) return;
    const int percent = static_cast<int>(done * 100 / total);
    if (percent == shownPercent_) return;
    shownPercent_ = percent;
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    stream_ << "\r[" << std::string(std::size_t(filled), '#') << std::string(std::size_t(kWidth - filled), '-') << "] ";
    stream_.width(3);
    stream_ << percent << "%" << std::flush;
}

void ProgressBar::finish() {
    if (!enabled_ || shownPercent_ < 0) return;
    stream_ << "\r" << std::string(48, ' ') << "\r" << std::flush;
    shownPercent_ = -1;
}

}  // namespace tess::tool
