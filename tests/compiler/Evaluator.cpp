#include <cmath>

#include "CompilerTestSupport.h"
#include "compiler/FunctionTable.h"

namespace tess::compiler::test {

float evaluate(const LayerProgram& program, int maxSteps) {
    std::vector<float> slots = program.left;
    float out = 0.0f;
    auto read = [&](int slot) -> float {
        if (slot == kSlotOut) return out;
        if (slot >= 0 && slot < static_cast<int>(slots.size())) return slots[static_cast<std::size_t>(slot)];
        return 0.0f;  // controllers and keywords read as 0 here
    };
    int steps = 0;
    for (int j = 0; j < program.operationCount() && steps < maxSteps; ++j, ++steps) {
        const Operation& op = program.operations[static_cast<std::size_t>(j)];
        const float a = read(op.operands[0]);
        const float b = op.operandCount > 1 ? read(op.operands[1]) : 0.0f;
        float result = 0.0f;
        switch (op.code) {
            case -1: result = a; break;
            case 0: result = a + b; break;
            case 1: result = a - b; break;
            case 2: result = a * b; break;
            case 3: result = a / b; break;
            case 4: result = std::pow(a, b); break;
            case 50: {
                bool taken = false;
                switch (op.comparison) {
                    case Comparison::Equal: taken = a == b; break;
                    case Comparison::Less: taken = a < b; break;
                    case Comparison::Greater: taken = a > b; break;
                    case Comparison::LessOrEqual: taken = a <= b; break;
                    case Comparison::GreaterOrEqual: taken = a >= b; break;
                    case Comparison::NotEqual: taken = a != b; break;
                    default: break;
                }
                if (taken) j = op.jumpTarget;
                continue;
            }
            default: ADD_FAILURE() << "code " << int(op.code) << " is not evaluated by the test"; return NAN;
        }
        if (op.output == kSlotOut) out = result;
        else if (op.output >= 0 && op.output < static_cast<int>(slots.size())) slots[static_cast<std::size_t>(op.output)] = result;
    }
    return out;
}

}  // namespace tess::compiler::test

namespace tess::compiler::test {

std::string CompilerTest::directiveLog(const std::string& text) {
    log.clear();
    compiler.reset();
    compileText("DEBUG 2\n" + text + "\n");
    const std::string all = mainLog();
    std::size_t at = all.find("DEBUG level set to: 2\r\n");
    at = at == std::string::npos ? 0 : at + 23;
    std::string kept;
    while (at < all.size()) {
        std::size_t end = all.find("\r\n", at);
        end = end == std::string::npos ? all.size() : end + 2;
        const std::string line = all.substr(at, end - at);
        const bool reader = line.rfind("Line ", 0) == 0 || line.rfind("**** ", 0) == 0 ||
                            line.rfind("Layer # ", 0) == 0 || line.rfind("Operation # ", 0) == 0 ||
                            line.rfind("LEGEND", 0) == 0 || line.rfind("Original instruction", 0) == 0 ||
                            line.rfind("Modified instruction", 0) == 0;
        if (!reader) kept += line;
        at = end;
    }
    return kept;
}

}  // namespace tess::compiler::test
