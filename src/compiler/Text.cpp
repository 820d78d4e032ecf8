#include "compiler/Text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace tess::compiler {

std::size_t readDecimal(std::string_view text, double* value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t mantissaStart = i;
    std::size_t digits = 0;
    while (i < text.size() && isDigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return 0;
    const std::size_t mantissaEnd = i;
    bool negativeExponent = false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            negativeExponent = text[j] == '-';
            ++j;
        }
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j])) ++j;
            i = j;
        }
    }
    if (value != nullptr) {
        // from_chars does not take a leading '+' and we need the sign handled once.
        std::string body(text.substr(mantissaStart, i - mantissaStart));
        double parsed = 0.0;
        auto result = std::from_chars(body.data(), body.data() + body.size(), parsed,
                                      std::chars_format::general);
        if (result.ec == std::errc::result_out_of_range) {
            bool zeroMantissa = true;
            for (std::size_t k = mantissaStart; k < mantissaEnd; ++k)
                if (text[k] >= '1' && text[k] <= '9') zeroMantissa = false;
            parsed = (negativeExponent || zeroMantissa) ? 0.0 : std::numeric_limits<double>::infinity();
        }
        *value = negative ? -parsed : parsed;
    }
    return i;
}

bool isWholeNumber(std::string_view text) {
    return !text.empty() && readDecimal(text, nullptr) == text.size();
}

namespace {

std::string_view skipBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' ||
                             text.front() == '\n'))
        text.remove_prefix(1);
    return text;
}

bool scanInteger(std::string_view text, long long* out) {
    text = skipBlanks(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size() || !isDigit(text[i])) return false;
    long long value = 0;
    constexpr long long cap = 1LL << 40;  // far beyond any int, small enough not to overflow
    for (; i < text.size() && isDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > cap) value = cap;
    }
    *out = negative ? -value : value;
    return true;
}

}  // namespace

int scanInt(std::string_view text, int fallback) {
    long long value = 0;
    if (!scanInteger(text, &value)) return fallback;
    if (value > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (value < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

short scanShort(std::string_view text, short fallback) {
    long long value = 0;
    if (!scanInteger(text, &value)) return fallback;
    if (value > std::numeric_limits<short>::max()) return std::numeric_limits<short>::max();
    if (value < std::numeric_limits<short>::min()) return std::numeric_limits<short>::min();
    return static_cast<short>(value);
}

float scanFloat(std::string_view text, float fallback) {
    double value = 0.0;
    text = skipBlanks(text);
    if (readDecimal(text, &value) == 0) return fallback;
    return toFloat(value);
}

float toFloat(double value) {
    constexpr double top = std::numeric_limits<float>::max();
    if (value > top) return std::numeric_limits<float>::infinity();
    if (value < -top) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

int toIntSaturated(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

short toShortSaturated(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 32767.0) return std::numeric_limits<short>::max();
    if (value <= -32768.0) return std::numeric_limits<short>::min();
    return static_cast<short>(value);
}

}  // namespace tess::compiler
