// The rules every directive handler shares: keyword match, section check, shape check,
// parameter splitting, numeric test, the four-piece error report and the success log.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "compiler/DirectiveLine.h"

namespace tess::compiler {

// The keyword followed by a blank starts the normalised line (without regard to case), and the
// character after that blank is not '='.
bool matchKeyword(std::string_view normalized, std::string_view keyword);

enum class SectionRule {
    Any,         // DEBUG, VSTVARS
    CommonOnly,  // "<KEYWORD> only in COMMON section"
    NotInPost,   // layer directives: "<KEYWORD> can not be specified in POST section"
};
// True when the line's section is allowed; otherwise the one-line message is logged.
bool checkSection(const DirectiveLine& line, std::string_view keyword, SectionRule rule);

enum class FirstCharacter {
    Any,
    Numeric,             // '+', '-' or a digit
    NumericOrDot,        // also '.'
    NumericOrDollar,     // also '$' (a controller reference)
    NumericDotOrDollar,  // also '.' and '$'
};

struct DirectiveShape {
    int minQuotes = 0, maxQuotes = 0;
    int minSeparators = 0, maxSeparators = 0;
    bool evenSeparators = false;
    int maxParentheses = 0;
    int maxEquals = 0;
    FirstCharacter first = FirstCharacter::Numeric;
};
// True when the line's counts and its first parameter character fit the shape. Logs nothing:
// the caller reports its own message with reportDirectiveError.
bool checkShape(const DirectiveLine& line, std::string_view keyword, const DirectiveShape& shape);

// Section check, then shape check with `shapeError` reported as the four-piece error. False
// when the line was refused (the message is logged; the line is finished).
bool acceptDirective(const DirectiveLine& line, std::string_view keyword, SectionRule rule,
                     const DirectiveShape& shape, std::string_view shapeError);

// The normalised text after the keyword and its blank.
std::string_view parameterText(const DirectiveLine& line, std::string_view keyword);

// The parameters after the keyword: the raw line normalised again in list mode (with the sign
// rules), split at the separators; each field's words are joined by one blank.
std::vector<std::string> splitParameters(const DirectiveLine& line, std::string_view keyword);

// Parameter i, or an empty text when the line has fewer (a scan of it keeps the default).
inline std::string_view parameterAt(const std::vector<std::string>& parameters, std::size_t i) {
    return i < parameters.size() ? std::string_view(parameters[i]) : std::string_view();
}

// A full-precision decimal conversion reads at least one character and stops at the end or at
// a blank.
bool isNumericConstant(std::string_view token);

// "************ Line %d, file %s\r\n", the raw line, "\r\n", then the message.
void reportDirectiveError(const DirectiveLine& line, std::string_view message);

// Appends `text` when the debug level is above 1.
void logDirectiveSuccess(const DirectiveLine& line, std::string_view text);

}  // namespace tess::compiler
