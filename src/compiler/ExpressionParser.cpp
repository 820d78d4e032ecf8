#include "compiler/ExpressionParser.h"

#include <cstdio>
#include <vector>

#include "compiler/Diagnostics.h"
#include "compiler/FunctionTable.h"
#include "compiler/LineNormalizer.h"
#include "compiler/Text.h"

namespace tess::compiler {

namespace {

// The working strings of the debug dump stop growing beyond this size, so a long line at debug
// level 3 cannot make the message text explode.
constexpr std::size_t kDumpLimit = 65536;

bool isArithmetic(std::string_view token) {
    return token.size() == 1 &&
           (token[0] == '+' || token[0] == '-' || token[0] == '*' || token[0] == '/' || token[0] == '^');
}

// Precedence: '=' 0, '+' '-' 1, '*' '/' 2, a minus sign 2.5 (kept as 5 over 2), '^' 6.
int precedence(char op) {
    switch (op) {
        case '=': return 0;
        case '+': case '-': return 2;
        case '*': case '/': return 4;
        case 'u': return 5;  // minus sign in operand position, written as "0 -"
        case '^': return 6;
        default: return -1;
    }
}

struct PostItem {
    enum class Kind { Operand, Operator, Function, Equals };
    PostItem(Kind k, std::string t = {}) : kind(k), text(std::move(t)) {}
    Kind kind;
    std::string text;   // operand text, or the operator character
    int function = -1;  // table index of a function
    int given = 0;      // arguments written in the call
    char closing = ')'; // separator where the argument list ended: ';' when too many, ')' otherwise
};

struct StackItem {
    enum class Kind { Operator, Function, Parenthesis };
    explicit StackItem(Kind k, char o = 0) : kind(k), op(o) {}
    Kind kind;
    char op = 0;
    int function = -1;
    bool functionParenthesis = false;
    bool sawContent = false;
    int separators = 0;
};

std::string postfixText(const std::vector<PostItem>& items) {
    std::string out;
    for (const PostItem& item : items) {
        if (!out.empty()) out += ' ';
        if (item.kind == PostItem::Kind::Function) {
            const std::string_view name = functionName(item.function);
            out.append(name.substr(0, name.size() - 1));
        } else if (item.kind == PostItem::Kind::Equals) {
            out += '=';
        } else {
            out += item.text;
        }
    }
    return out;
}

std::string stackText(const std::vector<StackItem>& stack) {
    std::string out;
    for (const StackItem& item : stack) {
        if (!out.empty()) out += ' ';
        if (item.kind == StackItem::Kind::Parenthesis) out += '(';
        else if (item.kind == StackItem::Kind::Function) {
            const std::string_view name = functionName(item.function);
            out.append(name.substr(0, name.size() - 1));
        } else out += (item.op == 'u') ? '-' : item.op;
    }
    return out;
}

bool isQuoted(std::string_view text) { return text.find('"') != std::string_view::npos; }

}  // namespace

int referenceSlot(std::string_view text) {
    if (text.size() != 6 || (text[0] != '$' && text[0] != '.')) return -1;
    int value = 0;
    for (std::size_t i = 1; i < 6; ++i) {
        if (!isDigit(text[i])) return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

bool needsZeroConstant(std::string_view modified) {
    std::string text = normalizedCopy(modified, static_cast<int>(std::min<std::size_t>(modified.size(), 1u << 30)), 0);
    const std::vector<std::string> tokens = splitTokens(text);
    bool expectOperand = true;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const std::string& t = tokens[i];
        if (t == "(" || t == ";" || t == "=" || (isArithmetic(t) && !expectOperand)) {
            expectOperand = true;
        } else if (t == "-" && expectOperand) {
            return true;
        } else if (t == "+" && expectOperand) {
            // dropped
        } else if (t == ")") {
            expectOperand = false;
        } else if (i + 1 < tokens.size() && tokens[i + 1] == "(" && findFunction(t) >= 1) {
            expectOperand = true;
        } else {
            expectOperand = false;
        }
    }
    return false;
}

int parseExpression(std::string_view modified, int firstTemporary, std::string& message, std::string& callForm,
                    std::string_view zeroReference, int debugLevel) {
    callForm.clear();
    LineCounts counts;
    std::string input(modified);
    normalizeLine(input, static_cast<int>(std::min<std::size_t>(input.size(), 1u << 30)), 0, counts);
    if (counts.quotes % 2 != 0) {
        message += "ERROR: unmatched quotes.\r\n";
        return -1;
    }
    if (counts.equals > 1) {
        message += "ERROR: more than one equal sign.\r\n";
        return -1;
    }
    if (counts.equals < 1) {
        message += "ERROR: no equal sign.\r\n";
        return -1;
    }

    const std::vector<std::string> tokens = splitTokens(input);
    std::vector<PostItem> out;
    std::vector<StackItem> stack;
    std::string processed;
    bool expectOperand = true;
    std::string_view previous;  // the token before the current one

    auto fail = [&](const char* text) {
        message += text;
        return -1;
    };
    auto markContent = [&]() {
        for (auto it = stack.rbegin(); it != stack.rend(); ++it)
            if (it->kind == StackItem::Kind::Parenthesis) {
                it->sawContent = true;
                break;
            }
    };
    auto popOperator = [&]() {
        const StackItem item = stack.back();
        stack.pop_back();
        out.emplace_back(PostItem::Kind::Operator, std::string(1, item.op == 'u' ? '-' : item.op));
    };

    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const std::string& token = tokens[i];
        const std::string_view next = (i + 1 < tokens.size()) ? std::string_view(tokens[i + 1]) : std::string_view();
        if (token == "(") {
            if (!expectOperand) return fail("ERROR: parsing error. Two consecutive tokens without an allowed separator.\r\n");
            StackItem item(StackItem::Kind::Parenthesis);
            item.functionParenthesis = !stack.empty() && stack.back().kind == StackItem::Kind::Function;
            stack.push_back(item);
        } else if (token == ")") {
            if (expectOperand) {
                if (previous == "(") return fail("ERROR: parsing error. After a parenthesis there must be a valid token.\r\n");
                if (!previous.empty() && previous != "=")
                    return fail("ERROR. Undefined function or other parsing error.\r\n");
            }
            while (!stack.empty() && stack.back().kind == StackItem::Kind::Operator) popOperator();
            if (stack.empty()) return fail("ERROR: unbalanced Parenthesis or parameters without a function.\r\n");
            const StackItem group = stack.back();
            stack.pop_back();
            if (group.functionParenthesis) {
                const StackItem function = stack.back();
                stack.pop_back();
                PostItem call(PostItem::Kind::Function);
                call.function = function.function;
                call.given = group.sawContent ? group.separators + 1 : 0;
                call.closing = call.given > argumentCount(function.function) ? ';' : ')';
                out.push_back(call);
            }
            if (group.sawContent) markContent();
            expectOperand = false;
        } else if (token == ";") {
            if (previous == "(") return fail("ERROR: parsing error. After a parenthesis there must be a valid token.\r\n");
            if (expectOperand) return fail("ERROR. Undefined function or other parsing error.\r\n");
            while (!stack.empty() && stack.back().kind == StackItem::Kind::Operator) popOperator();
            if (stack.empty() || !stack.back().functionParenthesis)
                return fail("ERROR: unbalanced Parenthesis or parameters without a function.\r\n");
            ++stack.back().separators;
            expectOperand = true;
        } else if ((token == "-" || token == "+") && expectOperand) {
            // A sign in operand position: '+' is dropped, '-' becomes "0 -" around the operand
            // that follows, binding tighter than '*' and '/' so that 2 * -(a) stays 2 * (0 - a).
            if (token == "-") {
                if (zeroReference.empty()) return fail("ERROR. Undefined function or other parsing error.\r\n");
                out.emplace_back(PostItem::Kind::Operand, std::string(zeroReference));
                markContent();
                stack.emplace_back(StackItem::Kind::Operator, 'u');
            }
        } else if (isArithmetic(token) && expectOperand) {
            // '*', '/' or '^' with no operand before it stays an operator; the reduction below
            // then checks the calls after it first and finds the operator without its operands.
            stack.emplace_back(StackItem::Kind::Operator, token[0]);
        } else if (isArithmetic(token) || token == "=") {
            if (expectOperand) return fail("ERROR. Undefined function or other parsing error.\r\n");
            const char op = token[0];
            while (!stack.empty() && stack.back().kind == StackItem::Kind::Operator &&
                   precedence(stack.back().op) >= precedence(op) && !(op == '^' && stack.back().op == '^'))
                popOperator();
            stack.emplace_back(StackItem::Kind::Operator, op);
            expectOperand = true;
        } else if (next == "(" && !token.empty() && isNameStart(token[0])) {
            if (!expectOperand) return fail("ERROR: parsing error. Two consecutive tokens without an allowed separator.\r\n");
            const int function = findFunction(token);
            if (function < 1) return fail("ERROR. Undefined function or other parsing error.\r\n");
            StackItem item(StackItem::Kind::Function);
            item.function = function;
            stack.push_back(item);
        } else {
            if (!expectOperand) return fail("ERROR: parsing error. Two consecutive tokens without an allowed separator.\r\n");
            out.emplace_back(PostItem::Kind::Operand, token);
            markContent();
            expectOperand = false;
        }
        previous = token;
        if (debugLevel >= 3 && message.size() < kDumpLimit) {
            if (!processed.empty()) processed += ' ';
            processed += token;
            message = format("%sInput string: '%s'\r\nProcessed: '%s'\r\nOperator stack: '%s'\r\nOut: '%s'\r\n\r\n",
                             message.c_str(), input.c_str(), processed.c_str(), stackText(stack).c_str(),
                             postfixText(out).c_str());
        }
    }
    while (!stack.empty()) {
        if (stack.back().kind != StackItem::Kind::Operator)
            return fail("ERROR: unbalanced Parenthesis or parameters without a function.\r\n");
        popOperator();
    }
    // The '=' travels as an operator; mark it as the end of the assignment.
    for (PostItem& item : out)
        if (item.kind == PostItem::Kind::Operator && item.text == "=") item.kind = PostItem::Kind::Equals;

    // Reduce: the leftmost function whose arguments are all plain operands, else the leftmost
    // such operator, becomes one call on the next temporary.
    int temporary = firstTemporary;
    std::string calls;
    auto operandsBefore = [&](std::size_t index, int count) {
        if (count < 0 || static_cast<std::size_t>(count) + 1 > index) return false;  // never the target
        for (std::size_t k = index - static_cast<std::size_t>(count); k < index; ++k)
            if (out[k].kind != PostItem::Kind::Operand) return false;
        return true;
    };
    for (;;) {
        std::size_t chosen = out.size();
        for (std::size_t i = 0; i < out.size() && chosen == out.size(); ++i)
            if (out[i].kind == PostItem::Kind::Function && operandsBefore(i, out[i].given)) chosen = i;
        for (std::size_t i = 0; i < out.size() && chosen == out.size(); ++i)
            if (out[i].kind == PostItem::Kind::Operator && operandsBefore(i, 2)) chosen = i;
        if (chosen == out.size()) break;

        const PostItem call = out[chosen];
        const bool isFunction = call.kind == PostItem::Kind::Function;
        const int entry = isFunction ? call.function : 0;
        const int given = isFunction ? call.given : 2;
        const std::string name = isFunction ? std::string(functionName(entry)) : call.text + " ";
        if (given != argumentCount(entry)) {
            message = format("%sERROR in %s: WRONG PARAM NUMBER: MUST BE %d %c\r\n", message.c_str(), name.c_str(),
                             argumentCount(entry), call.closing);
            return -1;
        }
        const std::string_view kinds = signature(entry);
        const std::size_t firstArgument = chosen - static_cast<std::size_t>(given);
        for (int a = given - 1; a >= 0; --a) {
            const std::string& argument = out[firstArgument + static_cast<std::size_t>(a)].text;
            const char kind = a < static_cast<int>(kinds.size()) ? kinds[static_cast<std::size_t>(a)] : 'a';
            const char* problem = nullptr;
            if (kind == 's' && !isQuoted(argument)) problem = "%sERROR in %s: PARAMETER %d MUST BE A STRING!\r\n";
            if (kind == 'n' && isQuoted(argument)) problem = "%sERROR in %s: PARAMETER %d MUST ***NOT*** BE A STRING!\r\n";
            if (kind == 'c' && !isWholeNumber(argument)) problem = "%sERROR in %s: PARAMETER %d MUST BE A NUMERIC CONSTANT!\r\n";
            if (problem != nullptr) {
                message = format(problem, message.c_str(), name.c_str(), a + 1);
                return -1;
            }
        }
        std::string statement = format("$%05d=%s(", temporary, name.c_str());
        for (int a = 0; a < given; ++a) {
            statement += out[firstArgument + static_cast<std::size_t>(a)].text;
            statement += ' ';
        }
        statement += ')';
        if (!calls.empty()) calls += ';';
        calls += statement;

        char reference[16];
        std::snprintf(reference, sizeof reference, "$%05d", temporary);
        ++temporary;
        out.erase(out.begin() + static_cast<std::ptrdiff_t>(firstArgument), out.begin() + static_cast<std::ptrdiff_t>(chosen) + 1);
        out.insert(out.begin() + static_cast<std::ptrdiff_t>(firstArgument), PostItem(PostItem::Kind::Operand, reference));
    }

    if (out.size() != 3 || out[0].kind != PostItem::Kind::Operand || out[1].kind != PostItem::Kind::Operand ||
        out[2].kind != PostItem::Kind::Equals || referenceSlot(out[0].text) < 0 || referenceSlot(out[1].text) < 0) {
        message += "ERROR. Undefined function or other parsing error.\r\n";
        return -1;
    }
    const std::string assignment = out[0].text + "=" + out[1].text;
    callForm = calls.empty() ? ";" + assignment : calls + ";" + assignment;
    return 0;
}

}  // namespace tess::compiler
