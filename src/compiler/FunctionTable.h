// The vocabulary of the instrument language: the 107 built-in functions with their argument
// counts and argument kinds, and the 32 built-in names (keywords). Both tables are constant
// data; nothing changes them after the program starts.
#pragma once

#include <cstdint>
#include <string_view>

namespace tess::compiler {

inline constexpr int kFunctionCount = 107;
inline constexpr int kKeywordCount = 32;

// Operation codes that are not function calls.
inline constexpr int kCodeAssign = -1;   // plain copy of one slot
inline constexpr int kCodeIf = 50;       // IF ... GOTO (function index 47 + 3)
inline constexpr int kFunctionIndexIf = 47;
inline constexpr int kFunctionIndexMcc = 1;
inline constexpr int kFunctionIndexPrev = 46;

// Slot numbers of the program outputs.
inline constexpr int kSlotOut = 99857;
inline constexpr int kSlotSends1 = 99852;
inline constexpr int kSlotSends4 = 99849;
// Slots at and above this number name controller values, not table entries.
inline constexpr int kFirstControllerSlot = 99000;

struct FunctionEntry {
    std::string_view name;       // with its trailing blank, e.g. "OSC "
    int argumentCount;
    std::string_view signature;  // one letter per argument: n, c, s or a
};

struct KeywordEntry {
    std::string_view name;  // with its trailing blank
    int number;             // 0 for the statement words IF, LABEL, GOTO, HOLD
};

// Index 1..106 of the function named `name` (a bare word, compared without regard to case);
// -1 when there is none. Index 0 and the names that begin with '*' are never found.
int findFunction(std::string_view name);
// Index 0..31 of the keyword named `name`; -1 when there is none.
int findKeyword(std::string_view name);

// Entry readers; an index outside the table gives 0 / "" / an empty entry.
int argumentCount(int index);
std::string_view signature(int index);
std::string_view functionName(int index);       // with its trailing blank
const KeywordEntry* keyword(int index);

// The slot a keyword stands for (100000 + number), or -1 for a statement word.
int keywordSlot(int index);
// True for OUT and SENDS1..SENDS4, the only keywords that may be assigned.
bool isOutputSlot(int slot);
// The first keyword naming this slot, or "" (used by listings).
std::string_view keywordNameForSlot(int slot);

// How the leading constant arguments of a function are folded into the Operation.
enum class Folding : std::uint8_t {
    None,
    Alpha,         // first argument into the float field alpha
    Num,           // first argument, as an integer, into num
    TwoSmall,      // first two arguments into the two 16-bit constants
    OneSmall,      // first argument into the first 16-bit constant
};
Folding folding(int index);
// Number of arguments that `folding(index)` takes out of the operand list.
int foldedArgumentCount(int index);

}  // namespace tess::compiler
