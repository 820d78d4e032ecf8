// The token checker of assignment lines: validates every word of a normalised assignment and
// rewrites each operand as a ResultSlot reference ("$%05d" for variables, keywords and
// controllers, ".%05d" for constants), creating constant and variable slots on the way.
#pragma once

#include <string>
#include <string_view>

#include "common/Log.h"
#include "compiler/Diagnostics.h"
#include "compiler/SlotTable.h"

namespace tess::compiler {

struct TokenCheckInput {
    std::string_view normalized;  // the line in list mode with the expression rules
    SourceLine line;
    int operationCount = 0;       // operations already staged, for the limit test
};

struct CheckedStatement {
    enum class Outcome { Ok, Rejected, LimitReached };
    Outcome outcome = Outcome::Rejected;
    bool hold = false;
    std::string modified;  // the rewritten instruction
    int targetSlot = -1;
};

// Every rejection is already in the log when this returns.
CheckedStatement checkTokens(const TokenCheckInput& input, SlotTable& slots, Log& log);

// Finds a variable's slot, or creates it when `create` is set; logs at debug level 3.
int lookupVariable(std::string_view name, bool create, SlotTable& slots, Log& log);
// Finds or creates the constant slot of a number text; -1 when the table is full.
int constantSlot(std::string_view text, SlotTable& slots, Log& log);

}  // namespace tess::compiler
