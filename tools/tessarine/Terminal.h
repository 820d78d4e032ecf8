// Console helpers: whether standard error is a terminal, and a progress bar drawn there.
#pragma once

#include <cstdint>
#include <ostream>

namespace tess::tool {

bool standardErrorIsTerminal();

// Draws "[#####-----]  50%" in place; draws nothing when disabled.
class ProgressBar {
public:
    ProgressBar(std::ostream& stream, bool enabled) : stream_(stream), enabled_(enabled) {}
    void update(std::int64_t done, std::int64_t total);
    void finish();

private:
    std::ostream& stream_;
    bool enabled_;
    int shownPercent_ = -1;
};

}  // namespace tess::tool
