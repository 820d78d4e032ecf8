#include "compiler/DirectiveRules.h"

#include "compiler/Diagnostics.h"
#include "compiler/Text.h"

namespace tess::compiler {

bool matchKeyword(std::string_view normalized, std::string_view keyword) {
    if (normalized.size() < keyword.size() + 1 || !startsWithIgnoreCase(normalized, keyword) ||
        normalized[keyword.size()] != ' ')
        return false;
    return normalized.size() == keyword.size() + 1 || normalized[keyword.size() + 1] != '=';
}

bool checkSection(const DirectiveLine& line, std::string_view keyword, SectionRule rule) {
    const std::string name(keyword);
    if (rule == SectionRule::CommonOnly && line.section != -2) {
        reportLineError(*line.log, {line.lineNumber, line.fileName, line.raw},
                        format("ERROR: %s only in COMMON section...\r\n", name.c_str()));
        return false;
    }
    if (rule == SectionRule::NotInPost && line.section == -1) {
        reportLineError(*line.log, {line.lineNumber, line.fileName, line.raw},
                        format("ERROR: %s can not be specified in POST section...\r\n", name.c_str()));
        return false;
    }
    return true;
}

std::string_view parameterText(const DirectiveLine& line, std::string_view keyword) {
    if (line.normalized.size() <= keyword.size() + 1) return {};
    return line.normalized.substr(keyword.size() + 1);
}

bool checkShape(const DirectiveLine& line, std::string_view keyword, const DirectiveShape& shape) {
    const LineCounts& c = line.counts;
    if (c.quotes < shape.minQuotes || c.quotes > shape.maxQuotes) return false;
    if (c.separators < shape.minSeparators || c.separators > shape.maxSeparators) return false;
    if (shape.evenSeparators && c.separators % 2 != 0) return false;
    if (c.parentheses > shape.maxParentheses || c.equals > shape.maxEquals) return false;
    if (shape.first == FirstCharacter::Any) return true;
    const std::string_view parameters = parameterText(line, keyword);
    if (parameters.empty()) return false;
    const char first = parameters.front();
    if (first == '+' || first == '-' || isDigit(first)) return true;
    const bool dot = shape.first == FirstCharacter::NumericOrDot || shape.first == FirstCharacter::NumericDotOrDollar;
    const bool dollar =
        shape.first == FirstCharacter::NumericOrDollar || shape.first == FirstCharacter::NumericDotOrDollar;
    return (dot && first == '.') || (dollar && first == '$');
}

bool acceptDirective(const DirectiveLine& line, std::string_view keyword, SectionRule rule,
                     const DirectiveShape& shape, std::string_view shapeError) {
    if (!checkSection(line, keyword, rule)) return false;
    if (!checkShape(line, keyword, shape)) {
        reportDirectiveError(line, shapeError);
        return false;
    }
    return true;
}

std::vector<std::string> splitParameters(const DirectiveLine& line, std::string_view keyword) {
    std::vector<std::string> fields;
    std::string_view raw = line.raw.substr(0, std::min<std::size_t>(line.raw.size(), kLineCapacity));
    while (!raw.empty() && static_cast<unsigned char>(raw.front()) <= ' ') raw.remove_prefix(1);
    if (!startsWithIgnoreCase(raw, keyword)) return fields;
    // The parameters are normalised behind a separator, so that a sign on the first parameter
    // is joined to its number like the signs of the parameters after a comma.
    std::string text = "P ;" + std::string(raw.substr(keyword.size()));
    LineCounts counts;
    normalizeLine(text, -static_cast<int>(text.size()), 1, counts);
    std::vector<std::string> words = splitTokens(text);
    std::string current;
    bool any = false;
    for (std::size_t i = 2; i < words.size(); ++i) {
        if (words[i] == ";") {
            fields.push_back(current);
            current.clear();
            any = false;
            continue;
        }
        if (any) current += ' ';
        current += words[i];
        any = true;
    }
    if (any || !fields.empty()) fields.push_back(current);
    return fields;
}

bool isNumericConstant(std::string_view token) {
    const std::size_t used = readDecimal(token, nullptr);
    return used > 0 && (used == token.size() || token[used] == ' ');
}

void reportDirectiveError(const DirectiveLine& line, std::string_view message) {
    std::string text = format("************ Line %d, file %.*s\r\n", line.lineNumber,
                              static_cast<int>(line.fileName.size()), line.fileName.data());
    text.append(line.raw);
    text.append("\r\n");
    text.append(message);
    line.log->append(Log::kMain, text);
}

void logDirectiveSuccess(const DirectiveLine& line, std::string_view text) {
    if (line.log->debugLevel > 1) line.log->append(Log::kMain, text);
}

}  // namespace tess::compiler
