// One compiled step of a LayerProgram. This is the description only: the engine keeps the
// running state of each Operation (phases, memories, buffers) per voice in its own arrays.
#pragma once

#include <array>
#include <cstdint>

#include "compiler/Text.h"

namespace tess::compiler {

enum class Comparison : std::uint8_t {
    None = 0,
    Equal = 1,
    Less = 2,
    Greater = 3,
    LessOrEqual = 4,
    GreaterOrEqual = 5,
    NotEqual = 6,
};

struct Operation {
    static constexpr int kMaxOperands = 11;  // ENV, the function with most arguments

    std::int32_t output = -1;  // slot written; -1 for a jump
    std::array<std::int32_t, kMaxOperands> operands{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    std::int16_t operandCount = 0;
    std::int8_t code = -1;     // -1 copy, 0..4 + - * / ^, function index + 3, 50 IF ... GOTO
    std::uint8_t hold = 0;
    std::uint8_t live = 0;
    float alpha = 0.0f;        // folded real constant
    std::int32_t num = 0;      // folded integer constant (an oscillator's SampleSlot)
    std::array<std::int16_t, 2> smallConstants{};
    NameField label{};         // given by a LABEL line, or empty
    NameField jumpLabel{};     // for IF: the label to jump to
    Comparison comparison = Comparison::None;
    std::int32_t jumpTarget = -1;  // for IF: index of the labelled operation minus one

    bool isJump() const { return code == 50; }
    bool hasLabel() const { return label[0] != '\0'; }
};

}  // namespace tess::compiler
