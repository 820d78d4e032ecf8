#include "compiler/LineNormalizer.h"

#include <cstdlib>

#include "compiler/Text.h"

namespace tess::compiler {

namespace {

bool isSpacedOperator(char c) {
    switch (c) {
        case '!': case '*': case '+': case '-': case '/': case '<': case '=': case '>': case '^':
            return true;
        default:
            return false;
    }
}

// The characters after which a '+' or '-' stands where an operand is expected.
bool isOperandPositionToken(std::string_view token) {
    if (token.size() != 1) return false;
    switch (token[0]) {
        case '(': case '*': case '+': case '-': case '/': case ';': case '=': case '^':
            return true;
        default:
            return false;
    }
}

bool startsNumberOrName(std::string_view token) {
    if (token.empty()) return false;
    const char c = token[0];
    return isDigit(c) || c == '.' || static_cast<unsigned char>(c) >= 64;
}

// Pass 2: comments, control characters, separators, parentheses and operator spacing.
std::string spaceOut(std::string_view text, bool callMode, LineCounts& counts) {
    std::string out;
    out.reserve(text.size() * 2 + 8);
    bool inQuotes = false;
    bool sawParenthesis = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            ++counts.quotes;
            inQuotes = !inQuotes;
            out += c;
            continue;
        }
        if (inQuotes) {
            out += c;
            continue;
        }
        if (c == '#' || c == '%' || (c == '/' && i + 1 < text.size() && text[i + 1] == '/')) break;
        const unsigned char code = static_cast<unsigned char>(c);
        if (code >= 1 && code <= 31) {
            out += ' ';
            continue;
        }
        if (c == ',' || c == ';') {
            ++counts.separators;
            out += callMode ? " ) ; ( " : " ; ";
            continue;
        }
        if (c == '(' || c == ')') {
            if (!sawParenthesis) {
                sawParenthesis = true;
                counts.parentheses = (c == ')') ? 4097 : 1;
            } else {
                ++counts.parentheses;
            }
            if (callMode) {
                out += (c == '(') ? " ( ( " : " ) ) ";
            } else {
                out += ' ';
                out += c;
                out += ' ';
                ++counts.equals;
            }
            continue;
        }
        if (isSpacedOperator(c)) {
            out += ' ';
            out += c;
            out += ' ';
            if (!callMode || c == '=') ++counts.equals;
            continue;
        }
        out += c;
    }
    return out;
}

// Pass 3: one blank between words (outside quotes), none at the start.
std::string collapseBlanks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool inQuotes = false;
    for (char c : text) {
        if (c == '"') inQuotes = !inQuotes;
        if (!inQuotes && c == ' ') {
            if (out.empty() || out.back() == ' ') continue;
        }
        out += c;
    }
    return out;
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// Wraps the operand that starts at tokens[first] in parentheses: a name with its call
// parentheses, or a single token. Used where "-1 *" alone would bind to the wrong operator.
void wrapSignedOperand(std::vector<std::string>& tokens, std::size_t minusOne) {
    // tokens[minusOne] == "-1", tokens[minusOne + 1] == "*", tokens[minusOne + 2] == name
    std::size_t end = minusOne + 3;  // one past the operand
    if (end < tokens.size() && tokens[end] == "(") {
        int depth = 0;
        std::size_t k = end;
        for (; k < tokens.size(); ++k) {
            if (tokens[k] == "(") ++depth;
            else if (tokens[k] == ")" && --depth == 0) break;
        }
        end = (k < tokens.size()) ? k + 1 : tokens.size();
    }
    tokens.insert(tokens.begin() + static_cast<std::ptrdiff_t>(end), ")");
    tokens.insert(tokens.begin() + static_cast<std::ptrdiff_t>(minusOne), "(");
}

// Pass 5: number and sign rules, on the words of the text.
void applySignRules(std::vector<std::string>& tokens, bool listMode, int mode) {
    if (mode == 1) {
        // 1.5e - 3 back to 1.5e-3 (lower-case e, and only for words that are numbers).
        for (std::size_t i = 0; i + 2 < tokens.size(); ++i) {
            const std::string& t = tokens[i];
            if (t.size() >= 2 && t.back() == 'e' && t[0] != '"' &&
                (isDigit(t[t.size() - 2]) || t[t.size() - 2] == '.') &&
                (isDigit(t[0]) || t[0] == '.' || ((t[0] == '-' || t[0] == '+') && t.size() >= 3)) &&
                (tokens[i + 1] == "+" || tokens[i + 1] == "-") && !tokens[i + 2].empty() &&
                isDigit(tokens[i + 2][0])) {
                tokens[i] += tokens[i + 1];
                tokens[i] += tokens[i + 2];
                tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                             tokens.begin() + static_cast<std::ptrdiff_t>(i) + 3);
            }
        }
    }
    if (mode == 1 && listMode) {
        for (std::size_t i = 1; i + 1 < tokens.size(); ++i) {
            if ((tokens[i] != "+" && tokens[i] != "-") || !isOperandPositionToken(tokens[i - 1]))
                continue;
            if (!startsNumberOrName(tokens[i + 1])) continue;
            const std::string previous = tokens[i - 1];
            tokens[i] += tokens[i + 1];
            tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            const std::string& joined = tokens[i];
            if (joined[0] == '-' && joined.size() > 1 && static_cast<unsigned char>(joined[1]) >= 64) {
                // -x is read as -1 * x.
                std::string name = joined.substr(1);
                tokens[i] = "-1";
                tokens.insert(tokens.begin() + static_cast<std::ptrdiff_t>(i) + 1, "*");
                tokens.insert(tokens.begin() + static_cast<std::ptrdiff_t>(i) + 2, name);
                // After '/' or '^' the product must stay one operand: a / -x is a / (-1 * x),
                // not (a / -1) * x.
                if (previous == "/" || previous == "^") wrapSignedOperand(tokens, i);
            }
        }
    }
    // In every mode a '+' in operand position is dropped.
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        if (tokens[i].empty() || tokens[i][0] != '+' || !isOperandPositionToken(tokens[i - 1])) continue;
        if (tokens[i].size() == 1) {
            tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(i));
            --i;
        } else {
            tokens[i].erase(0, 1);
        }
    }
}

}  // namespace

std::vector<std::string> splitTokens(std::string_view text) {
    std::vector<std::string> tokens;
    std::string current;
    bool inQuotes = false;
    for (char c : text) {
        if (c == '"') inQuotes = !inQuotes;
        if (c == ' ' && !inQuotes) {
            if (!current.empty()) tokens.push_back(std::move(current));
            current.clear();
            continue;
        }
        current += c;
    }
    if (!current.empty()) tokens.push_back(std::move(current));
    return tokens;
}

void normalizeLine(std::string& text, int length, int mode, LineCounts& counts) {
    counts = LineCounts{};
    const bool listMode = length < 0;
    const std::size_t limit = static_cast<std::size_t>(std::abs(static_cast<long long>(length)));
    // 1. Cut at the length (and at a string end, as a C text would be), then one blank.
    std::string_view source(text);
    source = source.substr(0, std::min(source.size(), limit));
    const std::size_t nul = source.find('\0');
    if (nul != std::string_view::npos) source = source.substr(0, nul);
    std::string work(source);
    work += ' ';

    // 2 and 3.
    std::string spaced = collapseBlanks(spaceOut(work, !listMode, counts));
    if (!spaced.empty() && spaced.back() != ' ') spaced += ' ';

    // 4. A trailing separator left by a trailing comma.
    if (endsWith(spaced, " ) ; ( ")) spaced.resize(spaced.size() - 6);
    else if (endsWith(spaced, " ; ")) spaced.resize(spaced.size() - 2);
    else if (spaced == ") ; ( " || spaced == "; ") spaced.clear();

    // 5. Number and sign rules, on the words.
    std::vector<std::string> tokens = splitTokens(spaced);
    applySignRules(tokens, listMode, mode);

    // 6. One blank at the end; the operator count of list mode also counts word gaps.
    std::string result;
    for (const std::string& token : tokens) {
        result += token;
        result += ' ';
    }
    if (listMode) {
        for (std::size_t i = 0; i + 1 < tokens.size(); ++i)
            if (tokens[i] != ";" && tokens[i + 1] != ";") ++counts.equals;
    }
    if (!result.empty()) {
        const unsigned char first = static_cast<unsigned char>(result[0]);
        if (first < 65 && result[0] != '$') result.clear();
    }
    text = std::move(result);
}

std::string normalizedCopy(std::string_view text, int length, int mode, LineCounts* counts) {
    std::string copy(text);
    LineCounts local;
    normalizeLine(copy, length, mode, counts != nullptr ? *counts : local);
    return copy;
}

}  // namespace tess::compiler
