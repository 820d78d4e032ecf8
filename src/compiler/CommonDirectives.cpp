#include "compiler/CommonDirectives.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/Diagnostics.h"
#include "compiler/DirectiveRules.h"
#include "compiler/Text.h"

namespace tess::compiler {

namespace {

// Numeric parameters only, between 1 and maxSeparators + 1 of them.
DirectiveShape numericList(int maxSeparators) {
    DirectiveShape shape;
    shape.maxSeparators = maxSeparators;
    return shape;
}

// Section and shape checks of a COMMON-only directive.
bool acceptCommonLine(const DirectiveLine& line, std::string_view keyword, const DirectiveShape& shape,
                      std::string_view shapeError) {
    return acceptDirective(line, keyword, SectionRule::CommonOnly, shape, shapeError);
}

std::string_view skipLeadingBlanks(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    return text;
}

// True when an integer scan of `text` would read a number.
bool startsWithInteger(std::string_view text) {
    text = skipLeadingBlanks(text);
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
    return !text.empty() && isDigit(text.front());
}

// True when a real scan of `text` would read a number.
bool startsWithReal(std::string_view text) { return readDecimal(skipLeadingBlanks(text), nullptr) > 0; }

// A value too large for a float becomes the largest finite float of its sign, so that a curve
// never holds an infinity (an infinite first x would make every lookup NaN).
float toFiniteFloat(double value) {
    constexpr double top = std::numeric_limits<float>::max();
    return static_cast<float>(std::clamp(value, -top, top));
}

void appendRaw(const DirectiveLine& line, std::string_view text) { line.log->append(Log::kMain, text); }

SourceLine sourceOf(const DirectiveLine& line) { return {line.lineNumber, line.fileName, line.raw}; }

}  // namespace

void handleDebug(const DirectiveLine& line) {
    DirectiveShape shape;  // one numeric parameter, nothing else
    if (!checkShape(line, "DEBUG", shape)) {
        reportDirectiveError(line, "ERROR: DEBUG requires a numeric constant...\r\n");
        return;
    }
    // The level is read from the line as written, after the keyword.
    std::string_view raw = line.raw;
    while (!raw.empty() && static_cast<unsigned char>(raw.front()) <= ' ') raw.remove_prefix(1);
    raw.remove_prefix(std::min<std::size_t>(raw.size(), 5));
    const int level = std::clamp(scanInt(raw, -1), 0, 999);
    line.log->debugLevel = level;
    line.log->append(Log::kMain, format("DEBUG level set to: %d\r\n", level));
}

void handleVstVars(const DirectiveLine& line, CommonSettings& settings) {
    const std::vector<std::string> parameters = splitParameters(line, "VSTVARS");
    int count = parameters.empty() ? settings.numVstVars : scanInt(parameters[0], settings.numVstVars);
    if (count < 1) count = 16;
    if (count > 128) count = 128;
    settings.numVstVars = count;
    logDirectiveSuccess(line, format("VSTVARS set to: %d\r\n", count));
}

void handleQuality(const DirectiveLine& line, CommonSettings& settings) {
    if (!acceptCommonLine(line, "QUALITY", numericList(3),
                          "ERROR: QUALITY. Invalid parameters number or syntax error...\r\n"))
        return;
    const std::vector<std::string> p = splitParameters(line, "QUALITY");
    QualitySettings quality;
    quality.tableSize = std::clamp(scanInt(parameterAt(p, 0), 4096), 256, 65536);
    quality.zeroCrossings = std::clamp(scanInt(parameterAt(p, 1), 7), 0, 100);
    quality.windowType = std::clamp(scanInt(parameterAt(p, 2), 0), 0, 6);
    quality.windowParameter = std::clamp(scanFloat(parameterAt(p, 3), 1.0f), 0.000001f, 100.0f);
    settings.quality = quality;
    logDirectiveSuccess(line, format("QUALITY set to: %d, %d, %d, %f\r\n", quality.tableSize, quality.zeroCrossings,
                                     quality.windowType, static_cast<double>(quality.windowParameter)));
}

void handleCurve(const DirectiveLine& line, CurveTable& curves) {
    // The index and 256 points.
    constexpr int kMaxParameters = 1 + 2 * Curve::kMaxPoints;
    DirectiveShape shape;
    shape.minSeparators = 4;
    shape.maxSeparators = INT_MAX;
    shape.evenSeparators = true;
    if (!acceptCommonLine(line, "CURVE", shape,
                          "ERROR: CURVE. Invalid parameters number or syntax error: minimum 5 numerical parameters "
                          "(index plus 2 points), odd number of parameters...\r\n"))
        return;
    const std::vector<std::string> p = splitParameters(line, "CURVE");
    const int index = scanInt(parameterAt(p, 0), 0);
    if (!CurveTable::valid(index)) {
        reportLineError(*line.log, sourceOf(line),
                        format("ERROR: CURVE. <index> MUST be between 0 AND %d...\r\n", CurveTable::kCurves - 1));
        return;
    }
    // Each value goes into the table as soon as it is read: a line that fails part-way leaves
    // the points before the failure written and the point count as it was.
    Curve& curve = curves[index];
    for (std::size_t i = 0; i < p.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        if (!isNumericConstant(p[i])) {
            reportLineError(*line.log, sourceOf(line),
                            format("ERROR: CURVE. Parameter %d MUST be valid numeric constant...\r\n", number));
            return;
        }
        double parsed = 0.0;
        readDecimal(p[i], &parsed);
        const float value = toFiniteFloat(parsed);
        logDirectiveSuccess(line, format("Parameter #%d: %f\r\n", number, static_cast<double>(value)));
        if (number > kMaxParameters) {
            reportLineError(*line.log, sourceOf(line),
                            format("ERROR: CURVE. Maximum number of %d parameters (%d points) exceeded...\r\n",
                                   kMaxParameters, Curve::kMaxPoints));
            return;
        }
        if (number < 2) continue;
        const int k = (number - 2) / 2;
        if (number % 2 != 0) {
            curve.y[k] = value;
            continue;
        }
        curve.x[k] = value;
        if (k > 0 && curve.x[k - 1] >= curve.x[k]) {
            reportLineError(*line.log, sourceOf(line),
                            format("ERROR: CURVE. xi must be strictly ascending: x%d was not greater than x%d...\r\n",
                                   k + 1, k));
            return;
        }
    }
    curve.count = p.empty() ? 0 : static_cast<std::int32_t>((p.size() - 1) / 2);
    if (line.log->debugLevel > 0)
        appendRaw(line, format("NEW CURVE at slot #%d, %d points\r\n", index, static_cast<int>(curve.count)));
}

void handlePoly(const DirectiveLine& line, CommonSettings& settings) {
    if (!acceptCommonLine(line, "POLY", numericList(3), "ERROR: POLY. Invalid parameters number or syntax error...\r\n"))
        return;
    const std::vector<std::string> p = splitParameters(line, "POLY");
    PolySettings poly;
    poly.voices = std::clamp(scanInt(parameterAt(p, 0), -1), 1, 256);
    poly.option = std::clamp(scanInt(parameterAt(p, 1), 0), 0, 4);

    // "$n" asks for controller n when a note starts: retrigger -1 - n, glide -n - 0.1.
    long long retrigger = -1;
    const std::string_view retriggerText = parameterAt(p, 2);
    if (!retriggerText.empty() && retriggerText.front() == '$') {
        if (startsWithInteger(retriggerText.substr(1))) retrigger = -1LL - scanInt(retriggerText.substr(1), 0);
    } else {
        retrigger = scanInt(retriggerText, -1);
    }
    if (retrigger > 3) retrigger = 3;
    if (retrigger < -1000) retrigger = 0;
    poly.retrigger = static_cast<int>(retrigger);

    float glide = 0.0f;
    const std::string_view glideText = parameterAt(p, 3);
    if (!glideText.empty() && glideText.front() == '$') {
        if (startsWithReal(glideText.substr(1))) {
            const float controller = scanFloat(glideText.substr(1), 0.0f);
            glide = (-controller > 0.1f || -controller < -999.9f) ? 0.0f : -controller - 0.1f;
        }
    } else {
        glide = std::clamp(scanFloat(glideText, 0.0f), 0.0f, 100.0f);
    }
    poly.glide = glide;
    settings.poly = poly;

    const int retriggerController = -1 - poly.retrigger;
    const int glideController = toIntSaturated(-static_cast<double>(poly.glide));
    const double glideTime = static_cast<double>(poly.glide);
    std::string text;
    if (poly.retrigger >= 0 && poly.glide >= 0.0f)
        text = format("POLYPHONY set to %d, option number %d, retrig mode %d, glide time %.4f sec\r\n", poly.voices,
                      poly.option, poly.retrigger, glideTime);
    else if (poly.glide >= 0.0f)
        text = format("POLYPHONY set to %d, option number %d, retrig mode from MIDI CC # %d, taken at trigger time, "
                      "glide time %.4f sec\r\n",
                      poly.voices, poly.option, retriggerController, glideTime);
    else if (poly.retrigger >= 0)
        text = format("POLYPHONY set to %d, option number %d, retrig mode %d, glide time from MIDI CC # %d, taken at "
                      "trigger time.\r\n",
                      poly.voices, poly.option, poly.retrigger, glideController);
    else
        text = format("POLYPHONY set to %d, option number %d, retrig mode from MIDI CC # %d, taken at trigger time, "
                      "glide time from MIDI CC # %d, taken at trigger time.\r\n",
                      poly.voices, poly.option, retriggerController, glideController);
    logDirectiveSuccess(line, text);
}

void handleSilenceThreshold(const DirectiveLine& line, CommonSettings& settings) {
    DirectiveShape shape;
    shape.first = FirstCharacter::NumericOrDot;
    if (!acceptCommonLine(line, "SILTH", shape, "ERROR: SILTH requires a numeric constant...\r\n")) return;
    const std::vector<std::string> p = splitParameters(line, "SILTH");
    const float threshold = std::clamp(scanFloat(parameterAt(p, 0), settings.silenceThreshold), 1e-12f, 0.1f);
    settings.silenceThreshold = threshold;
    logDirectiveSuccess(line, format("SILENCE THRESHOLD set to: %g\r\n", static_cast<double>(threshold)));
}

void handleMidiChannels(const DirectiveLine& line, CommonSettings& settings) {
    if (!acceptCommonLine(line, "MIDICH", numericList(1),
                          "ERROR: MIDICH. Invalid parameters number or syntax error...\r\n"))
        return;
    const std::vector<std::string> p = splitParameters(line, "MIDICH");
    // A single channel moves the lower end and keeps the upper one.
    const int low = scanInt(parameterAt(p, 0), settings.midiChannelMin);
    const int high = scanInt(parameterAt(p, 1), settings.midiChannelMax);
    // These two messages follow the line they refer to.
    const auto refuse = [&line](const char* message) {
        std::string text(line.raw);
        text += "\r\n";
        text += format("************ Line %d, file %.*s\r\n", line.lineNumber, static_cast<int>(line.fileName.size()),
                       line.fileName.data());
        text += message;
        appendRaw(line, text);
    };
    if (low > high) {
        refuse("ERROR: MIDICH. <min> should be less than or equal to <max>...\r\n");
        return;
    }
    if (low < 0 || low > 15 || high < 0 || high > 15) {
        refuse("ERROR: MIDICH. <min> and <max> should be between 0 and 15...\r\n");
        return;
    }
    settings.midiChannelMin = low;
    settings.midiChannelMax = high;
    logDirectiveSuccess(line, format("MIDICH interval set to: [%d, %d]\r\n", low, high));
}

void handleInterface(const DirectiveLine& line, CommonSettings& settings) {
    if (!acceptCommonLine(line, "INTERFACE", numericList(1),
                          "ERROR: INTERFACE. Invalid parameters number or syntax error...\r\n"))
        return;
    const std::vector<std::string> p = splitParameters(line, "INTERFACE");
    settings.editorWidth = std::clamp(scanInt(parameterAt(p, 0), 1600), 400, 4096);
    settings.editorHeight = std::clamp(scanInt(parameterAt(p, 1), 800), 300, 4096);
    logDirectiveSuccess(line, format("INTERFACE set to: %d, %d\r\n", settings.editorWidth, settings.editorHeight));
}

void handleSampleUi(const DirectiveLine& line, CommonSettings& settings) {
    // Sample slots are numbered 0 .. 8191; a button naming a slot beyond them would make the
    // editor load a sample outside the slot table.
    constexpr int kLastSampleSlot = 8191;
    if (!checkSection(line, "SAMPLEUI", SectionRule::CommonOnly)) return;
    if (settings.sampleUiCount >= CommonSettings::kMaxSampleUi) {
        reportDirectiveError(line, "ERROR: maximum number of 32 SampleUI exceeded...\r\n");
        return;
    }
    DirectiveShape shape;
    shape.minQuotes = shape.maxQuotes = 2;
    shape.minSeparators = shape.maxSeparators = 3;
    if (!checkShape(line, "SAMPLEUI", shape)) {
        reportDirectiveError(line, "ERROR: SAMPLEUI. Invalid parameters number or syntax error...\r\n");
        return;
    }
    const std::vector<std::string> p = splitParameters(line, "SAMPLEUI");
    const std::string_view quoted = parameterAt(p, 3);
    if (quoted.empty() || quoted.front() != '"') {
        reportDirectiveError(line, "ERROR: SampleUI. 4-th parameter must be a string...\r\n");
        return;
    }
    std::string_view caption = quoted.substr(1);
    caption = caption.substr(0, std::min(caption.find('"'), caption.size()));
    caption = caption.substr(0, std::min<std::size_t>(caption.size(), sizeof(SampleUiEntry::caption) - 1));

    SampleUiEntry& entry = settings.sampleUi[settings.sampleUiCount];
    entry.slot = static_cast<std::int16_t>(std::clamp<int>(scanShort(parameterAt(p, 0), 0), 0, kLastSampleSlot));
    entry.x = static_cast<std::int16_t>(std::clamp<int>(scanShort(parameterAt(p, 1), 0), 0, 4096));
    entry.y = static_cast<std::int16_t>(std::clamp<int>(scanShort(parameterAt(p, 2), 0), 0, 4096));
    std::memset(entry.caption, 0, sizeof entry.caption);
    std::memcpy(entry.caption, caption.data(), caption.size());
    ++settings.sampleUiCount;

    std::string text = format("SAMPLEUI #%hd, on slot #%hd, x pos set to %hd, y pos set to %hd, Text: ",
                              static_cast<short>(settings.sampleUiCount), entry.slot, entry.x, entry.y);
    text += '"';
    text += caption;
    text += "\"\r\n";
    logDirectiveSuccess(line, text);
}

void handleUiMod(const DirectiveLine& line, CommonSettings& settings) {
    if (!acceptCommonLine(line, "UIMOD", numericList(3), "ERROR: UIMOD. Invalid parameters number or syntax error...\r\n"))
        return;
    const std::vector<std::string> p = splitParameters(line, "UIMOD");
    const int item = std::clamp<int>(scanShort(parameterAt(p, 0), 0), 0, CommonSettings::kUiItems - 1);
    // A negative value leaves that coordinate or size as the editor lays it out.
    const auto value = [&p](std::size_t i) {
        const short v = scanShort(parameterAt(p, i), UiOverride::kUnchanged);
        return v < 0 ? UiOverride::kUnchanged : static_cast<std::int16_t>(std::min<int>(v, 4096));
    };
    UiOverride& entry = settings.uiOverrides[item];
    entry.x = value(1);
    entry.y = value(2);
    entry.size = value(3);
    logDirectiveSuccess(line, format("UI item #%hd, x pos set to %hd, y pos set to %hd, size set to %hd\r\n",
                                     static_cast<short>(item), entry.x, entry.y, entry.size));
}

void installCommonDirectives(DirectiveDispatch& dispatch, CompiledInstrument& instrument) {
    CommonSettings& settings = instrument.common;
    CurveTable& curves = instrument.curves;
    dispatch.setHandler("DEBUG", [](const DirectiveLine& line) { handleDebug(line); });
    dispatch.setHandler("VSTVARS", [&settings](const DirectiveLine& line) { handleVstVars(line, settings); });
    dispatch.setHandler("QUALITY", [&settings](const DirectiveLine& line) { handleQuality(line, settings); });
    dispatch.setHandler("CURVE", [&curves](const DirectiveLine& line) { handleCurve(line, curves); });
    dispatch.setHandler("POLY", [&settings](const DirectiveLine& line) { handlePoly(line, settings); });
    dispatch.setHandler("SILTH", [&settings](const DirectiveLine& line) { handleSilenceThreshold(line, settings); });
    dispatch.setHandler("MIDICH", [&settings](const DirectiveLine& line) { handleMidiChannels(line, settings); });
    dispatch.setHandler("INTERFACE", [&settings](const DirectiveLine& line) { handleInterface(line, settings); });
    dispatch.setHandler("SAMPLEUI", [&settings](const DirectiveLine& line) { handleSampleUi(line, settings); });
    dispatch.setHandler("UIMOD", [&settings](const DirectiveLine& line) { handleUiMod(line, settings); });
}

}  // namespace tess::compiler
