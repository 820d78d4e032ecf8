// Parameter reading shared by the note directives (MAP ... SOSTENUTO, KEYSWITCH, TEMPERAMENT):
// their fields are single tokens, numbers or double-quoted names, and their messages name the
// directive and the 1-based parameter number.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "compiler/DirectiveLine.h"

namespace tess::compiler::directives {

// True when the field has a blank outside double quotes (it is more than one token).
bool hasSeveralTokens(std::string_view field);
inline bool isQuoted(std::string_view field) { return !field.empty() && field.front() == '"'; }
// The text between the quotes of a quoted field.
std::string_view quotedText(std::string_view field);

// "************ Line %d, file %s\r\n" + message + the raw line + "\r\n".
void reportWithLine(const DirectiveLine& line, const std::string& message);

// The token checks every note directive makes, in this order: each field a single token, no
// parentheses, and (when asked) an even number of quotes. Reports the first failure.
bool checkSingleTokenFields(const DirectiveLine& line, const std::string& keyword,
                            const std::vector<std::string>& fields, bool checkQuotes);

// A directive made of numeric parameters: the shape checks, then each parameter in order.
struct NumericDirective {
    const char* keyword;
    int maxParameters;
    const char* tooMany;          // the message when a parameter beyond maxParameters is given
    bool checkQuotesAndCount;     // even quotes and at least two parameters
};

// Reads the line's parameters. `take(p, value)` receives each parameter (1-based) and returns
// false after reporting a failure. Returns false when the line was refused.
template <typename Take>
bool readNumericParameters(const DirectiveLine& line, const NumericDirective& directive, Take&& take);

// Implementation detail of readNumericParameters, without the template.
bool checkNumericShape(const DirectiveLine& line, const NumericDirective& directive,
                       std::vector<std::string>& fields);
bool readNumericField(const DirectiveLine& line, const char* keyword, const std::string& field, int number,
                      double& value);

template <typename Take>
bool readNumericParameters(const DirectiveLine& line, const NumericDirective& directive, Take&& take) {
    std::vector<std::string> fields;
    if (!checkNumericShape(line, directive, fields)) return false;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        if (number > directive.maxParameters) {
            reportWithLine(line, directive.tooMany);
            return false;
        }
        double value = 0.0;
        if (!readNumericField(line, directive.keyword, fields[i], number, value)) return false;
        if (!take(number, value)) return false;
    }
    return true;
}

}  // namespace tess::compiler::directives
