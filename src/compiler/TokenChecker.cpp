#include "compiler/TokenChecker.h"

#include <cstdio>

#include "compiler/FunctionTable.h"
#include "compiler/LineNormalizer.h"
#include "compiler/OperationLimits.h"

namespace tess::compiler {

namespace {

bool isCopiedToken(std::string_view token) {
    if (token.empty()) return false;
    if (token[0] == '"') return true;
    if (token.size() != 1) return false;
    switch (token[0]) {
        case '(': case ')': case '*': case '+': case '-': case '/': case ';': case '=': case '^':
            return true;
        default:
            return false;
    }
}

bool isPlainName(std::string_view token) {
    if (token.empty() || !isNameStart(token[0]) || token.size() > static_cast<std::size_t>(kMaxNameLength))
        return false;
    for (char c : token)
        if (!isNameChar(c)) return false;
    return true;
}

bool allDigits(std::string_view token) {
    if (token.empty()) return false;
    for (char c : token)
        if (!isDigit(c)) return false;
    return true;
}

std::string reference(char prefix, int slot) {
    char text[16];
    std::snprintf(text, sizeof text, "%c%05d", prefix, slot);
    return text;
}

}  // namespace

int lookupVariable(std::string_view name, bool create, SlotTable& slots, Log& log) {
    const int found = slots.findName(name);
    if (found >= 0) {
        if (log.debugLevel >= 3)
            log.append(Log::kMain, format("Variable %.*s is in slot #%d\r\n", static_cast<int>(name.size()),
                                          name.data(), found));
        return found;
    }
    if (!create) return -1;
    const int slot = slots.addVariable(name);
    if (slot >= 0 && log.debugLevel >= 3)
        log.append(Log::kMain, format("Variable %.*s put in slot #%d\r\n", static_cast<int>(name.size()),
                                      name.data(), slot));
    return slot;
}

int constantSlot(std::string_view text, SlotTable& slots, Log& log) {
    double parsed = 0.0;
    readDecimal(text, &parsed);
    const float value = toFloat(parsed);
    const int shared = slots.findConstant(value);
    if (shared >= 0) return shared;
    const int slot = slots.addConstant(text, value);
    if (slot >= 0 && log.debugLevel >= 3)
        log.append(Log::kMain, format("Constant %.*s put in slot #%d : %f\r\n", static_cast<int>(text.size()),
                                      text.data(), slot, static_cast<double>(value)));
    return slot;
}

CheckedStatement checkTokens(const TokenCheckInput& input, SlotTable& slots, Log& log) {
    CheckedStatement result;
    std::vector<std::string> tokens = splitTokens(input.normalized);
    if (log.debugLevel >= 3)
        for (std::size_t i = 0; i < tokens.size(); ++i)
            log.append(Log::kMain, format("Token %d: \"%s\"\r\n", static_cast<int>(i), tokens[i].c_str()));

    auto reject = [&](const std::string& message) {
        reportLineError(log, input.line, message);
        result.outcome = CheckedStatement::Outcome::Rejected;
        return result;
    };
    auto rejectToken = [&](const std::string& token, const char* what) {
        return reject(format("ERROR: \"%s\"%s\r\n", token.c_str(), what));
    };

    if (!tokens.empty() && equalsIgnoreCase(tokens[0], "HOLD") && (tokens.size() < 2 || tokens[1] != "=")) {
        result.hold = true;
        tokens.erase(tokens.begin());
    }
    if (tokens.size() < 2 || tokens[1] != "=")
        return reject("ERROR: invalid expression. Must be <VAR> = <EXPRESSION>...\r\n");

    std::vector<std::string> out;
    out.reserve(tokens.size());
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        if (slots.size() >= kMaxSlots) {
            reportStorageLimit(log);
            result.outcome = CheckedStatement::Outcome::LimitReached;
            return result;
        }
        if (input.operationCount >= kMaxOperations) {
            reportOperationLimit(log);
            result.outcome = CheckedStatement::Outcome::LimitReached;
            return result;
        }
        const std::string& token = tokens[k];
        const std::string_view next = (k + 1 < tokens.size()) ? std::string_view(tokens[k + 1]) : std::string_view();

        if (isCopiedToken(token)) {
            out.push_back(token);
            continue;
        }
        const char first = token[0];
        if (first == '-' || first == '.' || isDigit(first)) {
            if (!isWholeNumber(token)) return rejectToken(token, " invalid number...");
            const int slot = constantSlot(token, slots, log);
            if (slot < 0) {
                reportStorageLimit(log);
                result.outcome = CheckedStatement::Outcome::LimitReached;
                return result;
            }
            out.push_back(reference('.', slot));
            if (k == 0) result.targetSlot = slot;
            continue;
        }
        if (!isPlainName(token)) return rejectToken(token, " invalid identifier...");

        const int function = findFunction(token);
        if (function >= 1) {
            if (next != "(") return rejectToken(token, " function MUST be followed by open parenthesis...");
            if (function == kFunctionIndexMcc) {
                const std::string argument = (k + 2 < tokens.size()) ? tokens[k + 2] : std::string();
                if (!allDigits(argument)) return rejectToken(token, ". Argument must be positive constant...");
                const int n = scanInt(argument, 0);
                if (n > 999)
                    return reject(format("ERROR: \"%s\". Argument must be positive constant between 0 and 999 "
                                         "(it is %d)...\r\n",
                                         token.c_str(), n));
                if (k + 3 >= tokens.size() || tokens[k + 3] != ")")
                    return rejectToken(token, ". Missing closed parenthesis...");
                out.push_back(reference('$', 99999 - n));
                k += 3;
                continue;
            }
            if (function == kFunctionIndexPrev) {
                const std::string argument = (k + 2 < tokens.size()) ? tokens[k + 2] : std::string();
                if (!isPlainName(argument)) return rejectToken(token, ". Argument must be a simple variable name...");
                if (findKeyword(argument) >= 0 || findFunction(argument) >= 1)
                    return rejectToken(token, ". Argument must NOT be a keyword or function name...");
                if (k + 3 >= tokens.size() || tokens[k + 3] != ")")
                    return rejectToken(token, ". Missing closed parenthesis...");
                const int slot = lookupVariable(argument, true, slots, log);
                if (slot < 0) {
                    reportStorageLimit(log);
                    result.outcome = CheckedStatement::Outcome::LimitReached;
                    return result;
                }
                out.push_back(token);
                out.push_back("(");
                out.push_back(reference('$', slot));
                out.push_back(")");
                k += 3;
                continue;
            }
            out.push_back(token);
            continue;
        }

        const int word = findKeyword(token);
        if (word >= 0) {
            const int slot = keywordSlot(word);
            if (slot < 0) return rejectToken(token, " invalid use of a reserved keyword...");
            if (next == "(") return rejectToken(token, " MUST NOT be followed by open parenthesis...");
            if (next == "=" && !isOutputSlot(slot))
                return rejectToken(token, " MUST NOT be followed by equal sign...");
            out.push_back(reference('$', slot));
            if (k == 0) result.targetSlot = slot;
            continue;
        }
        if (next == "(") return rejectToken(token, " unknown function name. Please check the spelling...");

        const int slot = lookupVariable(token, k == 0, slots, log);
        if (slot < 0) {
            if (k == 0) {
                reportStorageLimit(log);
                result.outcome = CheckedStatement::Outcome::LimitReached;
                return result;
            }
            return rejectToken(token, " variable is UNDEFINED...");
        }
        out.push_back(reference('$', slot));
        if (k == 0) result.targetSlot = slot;
    }

    for (const std::string& token : out) {
        if (!result.modified.empty()) result.modified += ' ';
        result.modified += token;
    }
    if (log.debugLevel >= 2) {
        std::string text =
            "LEGEND: $XXXXX is the result slot of a variable/keyword, .XXXXX is the result slot of a "
            "constant.\r\nOriginal instruction: ";
        text.append(input.line.raw);
        text.append("\r\nModified instruction: ");
        text.append(result.modified);
        text.append("\r\n");
        log.append(Log::kMain, text);
    }
    result.outcome = CheckedStatement::Outcome::Ok;
    return result;
}

}  // namespace tess::compiler
