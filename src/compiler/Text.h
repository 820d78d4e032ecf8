// Small text helpers shared by the compiler: case-insensitive comparison that does not depend
// on the locale, character classes of the language, and the strict decimal number reader.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace tess::compiler {

inline char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

inline bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upperAscii(a[i]) != upperAscii(b[i])) return false;
    return true;
}

inline bool startsWithIgnoreCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }
// Names are made of digits and of characters whose code is 65 or above (bytes above 127
// included, so the test does not depend on the signedness of char).
inline bool isNameStart(char c) { return static_cast<unsigned char>(c) >= 65; }
inline bool isNameChar(char c) { return isDigit(c) || isNameStart(c); }

inline std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

// Fixed 32-character name fields (labels, slot names). A name fills the field from the start and
// the rest is zero; a name of 32 characters has no terminator, so every reader goes through
// fieldView.
using NameField = std::array<char, 32>;

inline NameField makeField(std::string_view text) {
    NameField field{};
    for (std::size_t i = 0; i < field.size() && i < text.size(); ++i) field[i] = text[i];
    return field;
}

inline std::string_view fieldView(const NameField& field) {
    std::size_t n = 0;
    while (n < field.size() && field[n] != '\0') ++n;
    return {field.data(), n};
}

inline bool fieldsEqualIgnoreCase(const NameField& a, const NameField& b) {
    return equalsIgnoreCase(fieldView(a), fieldView(b));
}

// Reads a decimal number at the start of `text`: optional sign, digits with an optional point,
// optional exponent. Returns the number of characters used (0 when no number starts there) and
// the value. Only plain decimal notation is accepted (no "inf", "nan" or hexadecimal) and the
// result does not depend on the locale.
std::size_t readDecimal(std::string_view text, double* value);

// True when the whole text is one decimal number.
bool isWholeNumber(std::string_view text);

// scanf-like readers: skip leading blanks, read a number prefix, and return `fallback` when no
// number starts there. Integers saturate instead of overflowing.
int scanInt(std::string_view text, int fallback);
short scanShort(std::string_view text, short fallback);
float scanFloat(std::string_view text, float fallback);

// Float to integer without undefined behaviour: truncates toward zero and saturates.
int toIntSaturated(double value);
// Double to float where values beyond the float range become infinities.
float toFloat(double value);
short toShortSaturated(double value);

}  // namespace tess::compiler
