// What a directive handler receives for one line of an instrument file.
#pragma once

#include <functional>
#include <string_view>

#include "common/Log.h"
#include "compiler/LineNormalizer.h"

namespace tess::compiler {

struct DirectiveLine {
    std::string_view normalized;  // the line after the reader's normalisation (call mode)
    std::string_view raw;         // the line as read, for messages
    int lineNumber = 0;
    std::string_view fileName;
    int section = -2;             // -2 COMMON, -1 POST, 0 and above the LAYER index
    LineCounts counts;            // quotes, separators, parentheses, equal signs of the whole line
    Log* log = nullptr;
};

// A handler consumes its line completely, whether it succeeds or fails.
using DirectiveHandler = std::function<void(const DirectiveLine&)>;

}  // namespace tess::compiler
