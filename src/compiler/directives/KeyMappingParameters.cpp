#include "compiler/directives/KeyMappingParameters.h"

#include "compiler/Diagnostics.h"
#include "compiler/DirectiveRules.h"
#include "compiler/Text.h"

namespace tess::compiler::directives {

bool hasSeveralTokens(std::string_view field) {
    // The splitter sets parentheses apart with blanks; those blanks do not separate tokens, so
    // that a parenthesis is reported as such.
    const auto isParenthesis = [](char c) { return c == '(' || c == ')'; };
    bool inQuotes = false;
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '"') inQuotes = !inQuotes;
        if (c != ' ' || inQuotes) continue;
        const bool besideParenthesis =
            (i > 0 && isParenthesis(field[i - 1])) || (i + 1 < field.size() && isParenthesis(field[i + 1]));
        if (!besideParenthesis) return true;
    }
    return false;
}

std::string_view quotedText(std::string_view field) {
    if (!isQuoted(field)) return field;
    field.remove_prefix(1);
    const std::size_t end = field.find('"');
    return end == std::string_view::npos ? field : field.substr(0, end);
}

void reportWithLine(const DirectiveLine& line, const std::string& message) {
    reportLineError(*line.log, {line.lineNumber, line.fileName, line.raw}, message);
}

bool checkSingleTokenFields(const DirectiveLine& line, const std::string& keyword,
                            const std::vector<std::string>& fields, bool checkQuotes) {
    for (const std::string& field : fields)
        if (hasSeveralTokens(field)) {
            reportWithLine(line, format("ERROR: invalid %s syntax...\r\n", keyword.c_str()));
            return false;
        }
    if (line.counts.parentheses > 0) {
        reportWithLine(line, format("ERROR: %s. Parenthesis not allowed...\r\n", keyword.c_str()));
        return false;
    }
    if (checkQuotes && line.counts.quotes % 2 != 0) {
        reportWithLine(line, format("ERROR: %s. Unmatched quotes...\r\n", keyword.c_str()));
        return false;
    }
    return true;
}

bool checkNumericShape(const DirectiveLine& line, const NumericDirective& directive,
                       std::vector<std::string>& fields) {
    const std::string keyword(directive.keyword);
    if (!checkSection(line, keyword, SectionRule::CommonOnly)) return false;
    fields = splitParameters(line, keyword);
    if (!checkSingleTokenFields(line, keyword, fields, directive.checkQuotesAndCount)) return false;
    if (directive.checkQuotesAndCount) {
        if (fields.size() < 2) {
            reportWithLine(line, format("ERROR: %s. At least 2 parameters needed...\r\n", keyword.c_str()));
            return false;
        }
    }
    return true;
}

bool readNumericField(const DirectiveLine& line, const char* keyword, const std::string& field, int number,
                      double& value) {
    if (isQuoted(field)) {
        reportWithLine(line, format("ERROR: %s. Parameter %d MUST be numeric constant...\r\n", keyword, number));
        return false;
    }
    if (!isNumericConstant(field)) {
        reportWithLine(line,
                       format("ERROR: %s. Parameter %d MUST be valid numeric constant...\r\n", keyword, number));
        return false;
    }
    readDecimal(field, &value);
    return true;
}

}  // namespace tess::compiler::directives
