#include "compiler/FunctionTable.h"

#include <array>

#include "compiler/Text.h"

namespace tess::compiler {

namespace {

constexpr std::array<FunctionEntry, kFunctionCount> kFunctions{{
    {"O ", 2, "nn"},              {"MCC ", 1, "c"},              {"ABS ", 1, "n"},
    {"SAT ", 1, "n"},             {"SIGM ", 2, "nn"},            {"SIGMDW ", 3, "nnn"},
    {"LOG ", 1, "n"},             {"EXP ", 1, "n"},              {"LIN2DB ", 1, "n"},
    {"DB2LIN ", 1, "n"},          {"*FILT6F ", 2, "cn"},         {"SHOLD ", 2, "nn"},
    {"SEMI ", 2, "nn"},           {"CENTS ", 2, "nn"},           {"*OSC ", 1, "c"},
    {"*OSC0 ", 1, "c"},           {"*OSCF ", 2, "cn"},           {"*OSCFB ", 2, "cn"},
    {"*OSCF0 ", 2, "cn"},         {"*OSCFB0 ", 2, "cn"},         {"*OSCP ", 2, "cn"},
    {"*OSCFP ", 3, "cnn"},        {"*OSCFBP ", 3, "cnn"},        {"*OSCFPA ", 3, "cnn"},
    {"*ENV ", 5, "cnnnn"},        {"*ENVC ", 8, "cnnnnnnn"},     {"MONO ", 1, "n"},
    {"LEFT ", 1, "n"},            {"RIGHT ", 1, "n"},            {"JOIN ", 2, "nn"},
    {"WIDE ", 2, "nn"},           {"GAINS ", 3, "nnn"},          {"*FILT6 ", 2, "nn"},
    {"FILT ", 4, "nnnn"},         {"SIN ", 1, "n"},              {"COS ", 1, "n"},
    {"RND ", 1, "n"},             {"*WAVE ", 4, "ccnn"},         {"*PWM ", 4, "cnnn"},
    {"DELAY ", 2, "nn"},          {"DELAYF ", 3, "nnn"},         {"DELAYFF ", 4, "nnnn"},
    {"DELAY2C ", 4, "nnnn"},      {"DELAYFF2 ", 4, "nnnn"},      {"DELAYFF3 ", 5, "nnnnn"},
    {"DELAYFF4 ", 5, "nnnnn"},    {"PREV ", 1, "n"},             {"IF ", 2, "nn"},
    {"PPDELAY ", 5, "nnnnn"},     {"NIDELAY ", 2, "nn"},         {"NIDELAYF ", 3, "nnn"},
    {"NIDELAYFF ", 4, "nnnn"},    {"NIDELAY2C ", 4, "nnnn"},     {"NIDELAYFF2 ", 4, "nnnn"},
    {"NIDELAYFF3 ", 5, "nnnnn"},  {"NIDELAYFF4 ", 5, "nnnnn"},   {"NIPPDELAY ", 5, "nnnnn"},
    {"SIGN ", 1, "n"},            {"COPYSIGN ", 2, "nn"},        {"SINC ", 1, "n"},
    {"*TRISAW ", 4, "cnnn"},      {"POWABS ", 2, "nn"},          {"*OSCFBPA ", 3, "cnn"},
    {"WAVETABLE ", 2, "cn"},      {"GRAINSYNTH ", 4, "cnnn"},    {"WAVESCAN ", 5, "cnnnn"},
    {"ROUND ", 1, "n"},           {"FLOOR ", 1, "n"},            {"CEIL ", 1, "n"},
    {"ROUNDF ", 1, "n"},          {"ROUNDF2 ", 2, "nn"},         {"FRAC ", 1, "n"},
    {"TAN ", 1, "n"},             {"ASIN ", 1, "n"},             {"ACOS ", 1, "n"},
    {"ATAN ", 1, "n"},            {"ENV ", 11, "nnnnnnnnnnn"},   {"*ENV3 ", 10, "nnnnnnnnnn"},
    {"CURVE ", 2, "nn"},          {"ENVCURVE ", 8, "nnnnnnnn"},  {"*RESAMPLE ", 9, "cnnnnnnnn"},
    {"MOD2 ", 6, "nnnnnn"},       {"MCC2 ", 1, "n"},             {"OSC ", 5, "nnnnn"},
    {"OSCSAM ", 9, "nnnnnnnnn"},  {"LFO1 ", 7, "nnnnnnn"},       {"OSCSYN ", 6, "nnnnnn"},
    {"LFOSYN ", 8, "nnnnnnnn"},   {"ENV0 ", 4, "nnnn"},          {"LFO ", 5, "nnnnn"},
    {"LFO0 ", 2, "nn"},           {"OSCENVFM ", 6, "nnnnnn"},    {"OSCENV ", 5, "nnnnn"},
    {"OSCENVMOD ", 7, "nnnnnnn"}, {"ENV1 ", 6, "nnnnnn"},        {"OSC0 ", 1, "n"},
    {"OSC0FM ", 2, "nn"},         {"OSC0MOD ", 3, "nnn"},        {"OSC1 ", 2, "nn"},
    {"OSC1FM ", 3, "nnn"},        {"OSC1MOD ", 4, "nnnn"},       {"FILT0 ", 3, "nnn"},
    {"OSC0AUTO ", 1, "n"},        {"PAN ", 2, "nn"},             {"REVERB ", 5, "nnnnn"},
    {"REVERB1 ", 6, "nnnnnn"},    {"REVERB2 ", 7, "nnnnnnn"},
}};

constexpr std::array<KeywordEntry, kKeywordCount> kKeywords{{
    {"KEY ", -129},        {"KEYI ", -129},       {"KEYF ", -130},       {"ONVEL ", -131},
    {"OFFVEL ", -132},     {"POLYAFT ", -133},    {"AFTERTOUCH ", -134}, {"PROGRAM ", -135},
    {"WHEEL ", -136},      {"PBEND ", -136},      {"BPM ", -137},        {"NUM ", -138},
    {"DEN ", -139},        {"RANDOM ", -140},     {"GAIN ", -141},       {"FREQ ", -142},
    {"OUT ", -143},        {"IN ", -144},         {"TEMPERAMENT ", -145}, {"SAMPLERATE ", -146},
    {"SAMPLEFREQ ", -146}, {"TIME ", -147},       {"IF ", 0},            {"LABEL ", 0},
    {"GOTO ", 0},          {"HOLD ", 0},          {"SENDS1 ", -148},     {"SENDS2 ", -149},
    {"SENDS3 ", -150},     {"SENDS4 ", -151},     {"DEFAULTFC ", -152},  {"DURATION ", -153},
}};

// A stored name (with its blank) matches a bare word when the word followed by a blank equals
// the stored name over the stored name's length, i.e. the word equals the name without blank.
bool storedNameMatches(std::string_view stored, std::string_view word) {
    return stored.size() == word.size() + 1 && startsWithIgnoreCase(stored, word);
}

}  // namespace

int findFunction(std::string_view name) {
    if (name.empty()) return -1;
    for (int i = 1; i < kFunctionCount; ++i) {
        const std::string_view stored = kFunctions[static_cast<std::size_t>(i)].name;
        if (stored.front() == '*') continue;
        if (storedNameMatches(stored, name)) return i;
    }
    return -1;
}

int findKeyword(std::string_view name) {
    if (name.empty()) return -1;
    for (int i = 0; i < kKeywordCount; ++i)
        if (storedNameMatches(kKeywords[static_cast<std::size_t>(i)].name, name)) return i;
    return -1;
}

int argumentCount(int index) {
    return (index >= 0 && index < kFunctionCount) ? kFunctions[static_cast<std::size_t>(index)].argumentCount : 0;
}

std::string_view signature(int index) {
    return (index >= 0 && index < kFunctionCount) ? kFunctions[static_cast<std::size_t>(index)].signature
                                                  : std::string_view();
}

std::string_view functionName(int index) {
    return (index >= 0 && index < kFunctionCount) ? kFunctions[static_cast<std::size_t>(index)].name
                                                  : std::string_view();
}

const KeywordEntry* keyword(int index) {
    return (index >= 0 && index < kKeywordCount) ? &kKeywords[static_cast<std::size_t>(index)] : nullptr;
}

int keywordSlot(int index) {
    const KeywordEntry* entry = keyword(index);
    if (entry == nullptr || entry->number == 0) return -1;
    return 100000 + entry->number;
}

bool isOutputSlot(int slot) {
    return slot == kSlotOut || (slot >= kSlotSends4 && slot <= kSlotSends1);
}

std::string_view keywordNameForSlot(int slot) {
    for (const KeywordEntry& entry : kKeywords)
        if (entry.number != 0 && 100000 + entry.number == slot)
            return entry.name.substr(0, entry.name.size() - 1);
    return {};
}

Folding folding(int index) {
    if (index == 10) return Folding::Alpha;
    if ((index >= 14 && index <= 25) || (index >= 62 && index <= 65) || index == 80) return Folding::Num;
    if (index == 37) return Folding::TwoSmall;
    if (index == 38 || index == 60) return Folding::OneSmall;
    return Folding::None;
}

int foldedArgumentCount(int index) {
    switch (folding(index)) {
        case Folding::None: return 0;
        case Folding::TwoSmall: return 2;
        default: return 1;
    }
}

}  // namespace tess::compiler
