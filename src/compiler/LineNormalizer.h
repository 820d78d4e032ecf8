// The line normaliser: every line of an instrument file passes through it (call mode), the
// directive handlers use it to split their parameters (list mode), and the expression path uses
// list mode with the expression rules.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tess::compiler {

// A line is processed within its first 8191 characters.
inline constexpr int kLineCapacity = 8191;

struct LineCounts {
    int quotes = 0;       // double quotes
    int separators = 0;   // ',' and ';'
    int parentheses = 0;  // starts at 4097 when the first parenthesis is ')'
    int equals = 0;       // '=' in call mode; every operator (and word gap) in list mode
};

// Rewrites `text` in place. length > 0 selects call mode, length < 0 list mode; |length| cuts
// the text. mode 1 adds the expression rules (exponents re-joined, signs joined to their
// operand, -name read as -1 * name).
void normalizeLine(std::string& text, int length, int mode, LineCounts& counts);

// Convenience: normalise a copy.
std::string normalizedCopy(std::string_view text, int length, int mode, LineCounts* counts = nullptr);

// Splits a normalised text at blanks; a double-quoted part belongs to the token around it.
std::vector<std::string> splitTokens(std::string_view text);

}  // namespace tess::compiler
