#include "compiler/OperationCompiler.h"

#include "compiler/ExpressionParser.h"
#include "compiler/FunctionTable.h"
#include "compiler/LineNormalizer.h"
#include "compiler/OperationLimits.h"
#include "compiler/TokenChecker.h"

namespace tess::compiler {

namespace {

int operatorCode(char op) {
    switch (op) {
        case '+': return 0;
        case '-': return 1;
        case '*': return 2;
        case '/': return 3;
        case '^': return 4;
        default: return -2;
    }
}

// The text after the first word and its blank.
std::string_view afterFirstWord(std::string_view text) {
    const std::size_t blank = text.find(' ');
    return blank == std::string_view::npos ? std::string_view() : text.substr(blank + 1);
}

}  // namespace

void OperationCompiler::reset() {
    operations_.clear();
    slots_.clear();
    commonOperations_ = 0;
    commonSlots_ = 0;
    commonClosed_ = false;
    pendingLabel_ = NameField{};
}

void OperationCompiler::markCommonEnd() {
    commonOperations_ = static_cast<int>(operations_.size());
    commonSlots_ = slots_.size();
    commonClosed_ = true;
    pendingLabel_ = NameField{};
}

void OperationCompiler::cutBackToCommon() {
    if (static_cast<int>(operations_.size()) > commonOperations_)
        operations_.resize(static_cast<std::size_t>(commonOperations_));
    slots_.truncate(commonSlots_);
    pendingLabel_ = NameField{};
}

Operation& OperationCompiler::addOperation(bool hold) {
    Operation op;
    op.hold = hold ? 1 : 0;
    op.label = pendingLabel_;
    pendingLabel_ = NameField{};
    operations_.push_back(op);
    return operations_.back();
}

void OperationCompiler::echoStatement(const std::string& normalized) {
    log_.append(Log::kProgram, normalized);
    log_.append(Log::kProgram, "\r\n");
}

void OperationCompiler::compileStatement(std::string_view rawLine, int lineNumber, std::string_view fileName) {
    const std::string_view raw = rawLine.substr(0, std::min<std::size_t>(rawLine.size(), kLineCapacity));
    if (raw.empty()) return;
    std::string normalized(raw);
    LineCounts counts;
    normalizeLine(normalized, -static_cast<int>(raw.size()), 1, counts);
    if (normalized.empty()) return;
    const SourceLine line{lineNumber, fileName, raw};

    const std::vector<std::string> words = splitTokens(std::string_view(normalized).substr(0, 80));
    const bool assigned = words.size() > 1 && words[1] == "=";
    if (!assigned && equalsIgnoreCase(words[0], "LABEL")) compileLabel(normalized, line);
    else if (!assigned && equalsIgnoreCase(words[0], "IF")) compileIf(normalized, line);
    else compileAssignment(normalized, line);
}

void OperationCompiler::compileAssignment(const std::string& normalized, const SourceLine& line) {
    const int slotMark = slots_.size();
    const std::size_t operationMark = operations_.size();
    auto rollBack = [&]() {
        slots_.truncate(slotMark);
        operations_.resize(operationMark);
    };

    TokenCheckInput input{normalized, line, static_cast<int>(operations_.size())};
    const CheckedStatement checked = checkTokens(input, slots_, log_);
    if (checked.outcome != CheckedStatement::Outcome::Ok) {
        rollBack();
        return;
    }

    std::string zeroReference;
    if (needsZeroConstant(checked.modified)) {
        const int zero = slots_.full() ? -1 : constantSlot("0", slots_, log_);
        if (zero < 0) {
            reportStorageLimit(log_);
            rollBack();
            return;
        }
        zeroReference = format(".%05d", zero);
    }

    std::string message;
    std::string callForm;
    if (parseExpression(checked.modified, slots_.size(), message, callForm, zeroReference, log_.debugLevel) != 0) {
        std::string text = format("************ Line %d, file %.*s\r\nResult slot: %d\r\n", line.number,
                                  static_cast<int>(line.file.size()), line.file.data(), checked.targetSlot);
        text += "******************** ";
        text += message;
        log_.append(Log::kMain, text);
        rollBack();
        return;
    }
    if (log_.debugLevel >= 3 && !message.empty()) log_.append(Log::kMain, message);

    if (!emitCallForm(callForm, checked.hold, checked.targetSlot)) {
        rollBack();
        return;
    }
    echoStatement(normalized);
}

bool OperationCompiler::emitCallForm(const std::string& callForm, bool hold, int targetSlot) {
    std::vector<std::string_view> statements;
    {
        std::string_view rest(callForm);
        if (!rest.empty() && rest.front() == ';') rest.remove_prefix(1);
        while (!rest.empty()) {
            const std::size_t cut = rest.find(';');
            statements.push_back(rest.substr(0, cut));
            if (cut == std::string_view::npos) break;
            rest.remove_prefix(cut + 1);
        }
    }
    if (statements.empty()) return false;
    const std::string_view final = statements.back();
    const std::size_t callCount = statements.size() - 1;
    const int target = referenceSlot(final.substr(0, 6));
    const int source = final.size() == 13 && final[6] == '=' ? referenceSlot(final.substr(7)) : -1;
    if (target < 0 || source < 0 || target != targetSlot) {
        log_.append(Log::kMain, "ERROR. Undefined function or other parsing error.\r\n");
        return false;
    }

    if (slots_.size() + static_cast<int>(callCount) > kMaxSlots) {
        reportStorageLimit(log_);
        return false;
    }
    if (static_cast<int>(operations_.size() + std::max<std::size_t>(callCount, 1)) > kMaxOperations) {
        reportOperationLimit(log_);
        return false;
    }

    if (callCount == 0) {
        Operation& op = addOperation(hold);
        op.code = -1;
        op.operands[0] = source;
        op.operandCount = 1;
        op.output = target;
        if (target < slots_.size()) slots_[target].isConst = false;
        if (log_.debugLevel >= 2)
            log_.append(Log::kMain, format("Operation # %d (HOLD %d): SIMPLE ASSIGNMENT: SLOT %d ==> SLOT %d.\r\n",
                                           static_cast<int>(operations_.size()) - 1, op.hold, source, target));
        return true;
    }

    auto traceStatement = [this](std::string_view statement) {
        if (log_.debugLevel >= 3)
            log_.append(Log::kMain, format("Current instruction: %.*s\r\n", static_cast<int>(statement.size()),
                                           statement.data()));
    };
    for (std::size_t s = 0; s < callCount; ++s) {
        const std::string_view statement = statements[s];
        traceStatement(statement);
        const std::size_t open = statement.find('(');
        const std::size_t close = statement.rfind(')');
        const int result = referenceSlot(statement.substr(0, 6));
        if (statement.size() < 9 || statement[6] != '=' || open == std::string_view::npos ||
            close == std::string_view::npos || close < open || result != slots_.size()) {
            log_.append(Log::kMain, "ERROR. Undefined function or other parsing error.\r\n");
            return false;
        }
        const std::string_view name = statement.substr(7, open - 7);
        std::vector<int> arguments;
        for (const std::string& word : splitTokens(statement.substr(open + 1, close - open - 1))) {
            const int slot = referenceSlot(word);
            if (slot < 0) {
                log_.append(Log::kMain, "ERROR. Undefined function or other parsing error.\r\n");
                return false;
            }
            arguments.push_back(slot);
        }

        int function = -1;
        int code = (name.size() == 2 && name[1] == ' ') ? operatorCode(name[0]) : -2;
        if (code < 0) {
            function = findFunction(trimBlanks(name));
            if (function < 2 || static_cast<int>(arguments.size()) != argumentCount(function)) {
                log_.append(Log::kMain, "ERROR. Undefined function or other parsing error.\r\n");
                return false;
            }
            code = function + 3;
        } else if (arguments.size() != 2) {
            log_.append(Log::kMain, "ERROR. Undefined function or other parsing error.\r\n");
            return false;
        }

        Operation& op = addOperation(hold);
        op.code = static_cast<std::int8_t>(code);
        std::size_t first = 0;
        if (function >= 0) {
            auto constantValue = [&](std::size_t k) -> double {
                const int slot = arguments[k];
                return slot < slots_.size() ? static_cast<double>(slots_[slot].value) : 0.0;
            };
            switch (folding(function)) {
                case Folding::Alpha: op.alpha = static_cast<float>(constantValue(0)); break;
                case Folding::Num: op.num = toIntSaturated(constantValue(0)); break;
                case Folding::TwoSmall:
                    op.smallConstants[0] = toShortSaturated(constantValue(0));
                    op.smallConstants[1] = toShortSaturated(constantValue(1));
                    break;
                case Folding::OneSmall: op.smallConstants[0] = toShortSaturated(constantValue(0)); break;
                case Folding::None: break;
            }
            first = static_cast<std::size_t>(foldedArgumentCount(function));
            if (log_.debugLevel >= 3)
                log_.append(Log::kMain, format("Function # %d: %.*s, %d parameters\r\n", function,
                                               static_cast<int>(name.size()), name.data(),
                                               static_cast<int>(arguments.size())));
        }
        for (std::size_t k = first; k < arguments.size() && k - first < op.operands.size(); ++k) {
            op.operands[k - first] = arguments[k];
            ++op.operandCount;
            if (function >= 0 && log_.debugLevel >= 3)
                log_.append(Log::kMain, format("Parameter # %d: %d\r\n", static_cast<int>(k) + 1, arguments[k]));
        }
        op.output = slots_.addTemporary();
        const int index = static_cast<int>(operations_.size()) - 1;
        if (log_.debugLevel >= 2) {
            if (function < 0)
                log_.append(Log::kMain, format("Operation # %d (HOLD: %d) : SLOT %d %c SLOT %d ==> SLOT %d.\r\n", index,
                                               op.hold, arguments[0], name[0], arguments[1], op.output));
            else
                log_.append(Log::kMain, format("Operation # %d (HOLD: %d): Function # %d: %.*s (%d args) ==> SLOT %d.\r\n",
                                               index, op.hold, function, static_cast<int>(name.size()), name.data(),
                                               static_cast<int>(arguments.size()), op.output));
        }
    }

    // The final assignment makes no Operation: the last call writes the target directly and
    // its temporary is given back.
    traceStatement(final);
    const int temporary = operations_.back().output;
    if (source != temporary) {
        log_.append(Log::kMain, "ERROR. Undefined function or other parsing error.\r\n");
        return false;
    }
    operations_.back().output = target;
    slots_.truncate(slots_.size() - 1);
    if (target < slots_.size()) slots_[target].isConst = false;
    if (log_.debugLevel >= 2)
        log_.append(Log::kMain, format("Substitute slot # %d with %d in previous operation. Free slot %d for next "
                                       "instructions.\r\n",
                                       temporary, target, temporary));
    return true;
}

void OperationCompiler::compileLabel(const std::string& normalized, const SourceLine& line) {
    const std::string_view name = trimBlanks(afterFirstWord(normalized));
    const std::string shown(name);
    if (name.size() > static_cast<std::size_t>(kMaxLabelLength)) {
        reportLineError(log_, line, format("ERROR: LABEL TOO LONG, max 31 characters: \"%s\"\r\n", shown.c_str()));
        return;
    }
    bool plain = !name.empty();
    for (char c : name)
        if (!isNameChar(c)) plain = false;
    if (!plain) {
        reportLineError(log_, line,
                        format("ERROR: LABEL MUST CONTAIN ONLY LETTERS AND NUMBERS: \"%s\"\r\n", shown.c_str()));
        return;
    }
    const NameField field = makeField(name);
    const int sectionStart = commonClosed_ ? commonOperations_ : 0;
    for (std::size_t i = static_cast<std::size_t>(sectionStart); i < operations_.size(); ++i)
        if (fieldsEqualIgnoreCase(operations_[i].label, field)) {
            reportLineError(log_, line,
                            format(commonClosed_ ? "ERROR: LABEL \"%s\" ALREADY DEFINED IN THIS SECTION.\r\n"
                                                 : "ERROR: LABEL \"%s\" ALREADY DEFINED IN THE COMMON SECTION.\r\n",
                                   shown.c_str()));
            return;
        }
    for (std::size_t i = 0; commonClosed_ && i < static_cast<std::size_t>(commonOperations_); ++i)
        if (fieldsEqualIgnoreCase(operations_[i].label, field)) {
            reportLineError(log_, line,
                            format("ERROR: LABEL \"%s\" ALREADY DEFINED IN THE COMMON SECTION.\r\n", shown.c_str()));
            return;
        }
    pendingLabel_ = field;
    echoStatement(normalized);
}

void OperationCompiler::compileIf(const std::string& normalized, const SourceLine& line) {
    const std::string_view body = afterFirstWord(normalized);
    const std::size_t comparisonAt = body.find_first_of("<=>!");
    if (comparisonAt == std::string_view::npos) {
        reportLineError(log_, line, "ERROR: missing comparison operator in IF clause.\r\n");
        return;
    }
    const std::string_view operand1 = trimBlanks(body.substr(0, comparisonAt));
    if (operand1.empty()) {
        reportLineError(log_, line, "ERROR: operator 1 too short.\r\n");
        return;
    }
    if (operand1.size() > static_cast<std::size_t>(kMaxIfOperand1)) {
        reportLineError(log_, line, "ERROR: operator 1 too long.\r\n");
        return;
    }
    const std::string_view rest = body.substr(comparisonAt);
    // The comparison is the whole run of comparison characters (the normaliser puts a blank
    // between them), so that "= >" is refused rather than read as "=" before "> b".
    std::size_t runLength = 1;
    while (runLength + 1 < rest.size() && rest[runLength] == ' ' &&
           std::string_view("<=>!").find(rest[runLength + 1]) != std::string_view::npos)
        runLength += 2;
    const std::string_view comparison = rest.substr(0, runLength);
    struct Kind {
        std::string_view text;
        Comparison comparison;
    };
    static constexpr Kind kKinds[] = {
        {"< =", Comparison::LessOrEqual}, {"> =", Comparison::GreaterOrEqual}, {"< >", Comparison::NotEqual},
        {"! =", Comparison::NotEqual},    {"=", Comparison::Equal},            {"<", Comparison::Less},
        {">", Comparison::Greater},
    };
    const Kind* kind = nullptr;
    for (const Kind& k : kKinds)
        if (comparison == k.text) {
            kind = &k;
            break;
        }
    if (kind == nullptr) {
        reportLineError(log_, line, "ERROR: invalid comparison operator.\r\n");
        return;
    }
    std::size_t gotoAt = std::string_view::npos;
    for (std::size_t i = kind->text.size(); i + 6 <= rest.size(); ++i)
        if (rest[i] == ' ' && equalsIgnoreCase(rest.substr(i, 6), " GOTO ")) {
            gotoAt = i;
            break;
        }
    if (gotoAt == std::string_view::npos) {
        reportLineError(log_, line, "ERROR: missing GOTO statement in IF clause.\r\n");
        return;
    }
    const std::string_view operand2 = trimBlanks(rest.substr(kind->text.size(), gotoAt - kind->text.size()));
    if (operand2.empty()) {
        reportLineError(log_, line, "ERROR: operator 2 too short.\r\n");
        return;
    }
    if (trimBlanks(rest.substr(0, gotoAt)).size() > static_cast<std::size_t>(kMaxIfComparisonAndOperand2)) {
        reportLineError(log_, line, "ERROR: operator 2 too long.\r\n");
        return;
    }
    const std::string_view label = trimBlanks(rest.substr(gotoAt + 6));
    if (label.empty()) {
        reportLineError(log_, line, "ERROR: label too short in IF clause.\r\n");
        return;
    }
    if (operations_.size() >= static_cast<std::size_t>(kMaxOperations)) {
        reportOperationLimit(log_);
        return;
    }
    if (slots_.full()) {
        reportStorageLimit(log_);
        return;
    }

    const int slotMark = slots_.size();
    int resolved[2] = {-1, -1};
    const std::string_view operands[2] = {operand1, operand2};
    for (int k = 0; k < 2; ++k) {
        resolved[k] = resolveOperand(operands[k]);
        if (resolved[k] >= 0) continue;
        const std::string shown(operands[k]);
        if (resolved[k] == -1)
            reportLineError(log_, line, format("ERROR: \"%s\" invalid number...\r\n", shown.c_str()));
        else if (resolved[k] == -10)
            reportLineError(log_, line, format("ERROR: \"%s\" undefined symbol...\r\n", shown.c_str()));
        else
            reportLineError(log_, line, format("PARSE ERROR for operand %d: \"%s\"...\r\n", k + 1, shown.c_str()));
        slots_.truncate(slotMark);
        return;
    }

    Operation& op = addOperation(false);
    op.code = kCodeIf;
    op.output = -1;
    op.operands[0] = resolved[0];
    op.operands[1] = resolved[1];
    op.operandCount = 2;
    op.comparison = kind->comparison;
    op.jumpLabel = makeField(label);
    echoStatement(normalized);
}

int OperationCompiler::resolveOperand(std::string_view text) {
    text = trimBlanks(text);
    if (text.empty()) return -5;
    const char first = text[0];
    if (first == '+' || first == '-' || first == '.' || isDigit(first)) {
        if (!isWholeNumber(text)) return -1;
        const int slot = constantSlot(text, slots_, log_);
        return slot >= 0 ? slot : -1;
    }
    if (startsWithIgnoreCase(text, "MCC")) {
        std::string_view rest = trimBlanks(text.substr(3));
        if (!rest.empty() && rest.front() == '(') {
            rest = trimBlanks(rest.substr(1));
            if (rest.empty()) return -6;
            if (!isDigit(rest.front())) return -7;
            std::size_t digits = 0;
            while (digits < rest.size() && isDigit(rest[digits])) ++digits;
            const int n = scanInt(rest.substr(0, digits), 0);
            if (trimBlanks(rest.substr(digits)) != ")") return -8;
            if (n >= 1000) return -9;
            return 99999 - n;
        }
    }
    const int word = findKeyword(text);
    if (word >= 0) {
        const int slot = keywordSlot(word);
        return slot >= 0 ? slot : -5;
    }
    if (!isNameStart(first)) return -5;
    for (char c : text)
        if (!isNameChar(c)) return -5;
    const int slot = lookupVariable(text, false, slots_, log_);
    return slot >= 0 ? slot : -10;
}

}  // namespace tess::compiler
