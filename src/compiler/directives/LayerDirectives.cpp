#include "compiler/directives/LayerDirectives.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "compiler/Diagnostics.h"
#include "compiler/DirectiveRules.h"
#include "compiler/OperationLimits.h"
#include "compiler/Text.h"

namespace tess::compiler {

namespace {

// Trigger pseudo-controllers: first note, legato, round robin, MIDI channel; an OFF trigger on
// the first of them releases by group.
constexpr int kTriggerFirst = 1000;
constexpr int kTriggerLegato = 1001;
constexpr int kTriggerRoundRobin = 1002;
constexpr int kTriggerChannel = 1003;

bool inCommon(const DirectiveLine& line) { return line.section == kSectionCommon; }

LayerProgram& layerOf(CompiledInstrument& instrument, int section) {
    return instrument.layerForWriting(section);
}

// The record a line writes: the defaults in COMMON, the POST step's in POST, else the layer's.
LayerSettings& settingsOf(const DirectiveLine& line, CompiledInstrument& instrument) {
    if (line.section == kSectionCommon) return instrument.defaultLayerSettings;
    if (line.section == kSectionPost) return instrument.post.settings;
    return layerOf(instrument, line.section).settings;
}

DirectiveShape singleParameter(FirstCharacter first) {
    DirectiveShape shape;
    shape.first = first;
    return shape;
}

DirectiveShape numericList(int maxSeparators) {
    DirectiveShape shape;
    shape.maxSeparators = maxSeparators;
    return shape;
}

void logAlways(const DirectiveLine& line, const std::string& text) { line.log->append(Log::kMain, text); }

// The place of the entry a list line names (-1 none).
template <typename Entry, std::size_t N, typename Same>
int findEntry(const std::array<Entry, N>& list, std::int32_t count, Same same) {
    for (int i = 0; i < count && i < static_cast<int>(N); ++i)
        if (same(list[static_cast<std::size_t>(i)])) return i;
    return -1;
}

// Removes entry `at`; the later entries move up one place.
template <typename Entry, std::size_t N>
void removeEntry(std::array<Entry, N>& list, std::int32_t& count, int at) {
    for (int i = at; i + 1 < count; ++i) list[static_cast<std::size_t>(i)] = list[static_cast<std::size_t>(i + 1)];
    --count;
}

// What a list line does with its entry: delete, update, or append when there is room.
enum class ListEdit { Deleted, NotFound, Updated, Inserted, Full };

template <typename Entry, std::size_t N, typename Same>
ListEdit editList(std::array<Entry, N>& list, std::int32_t& count, bool remove, const Entry& entry, Same same) {
    const int at = findEntry(list, count, same);
    if (remove) {
        if (at < 0) return ListEdit::NotFound;
        removeEntry(list, count, at);
        return ListEdit::Deleted;
    }
    if (at >= 0) {
        list[static_cast<std::size_t>(at)] = entry;
        return ListEdit::Updated;
    }
    if (count >= static_cast<std::int32_t>(N)) return ListEdit::Full;
    list[static_cast<std::size_t>(count++)] = entry;
    return ListEdit::Inserted;
}

// The log line of a list edit. `subject` names the entry as a line starts ("ON trigger for
// MCC 7"), `object` as the warning names it; `entries` names the list in the capacity message.
void reportListEdit(const DirectiveLine& line, ListEdit edit, const std::string& subject, const std::string& object,
                    const std::string& entries, int capacity) {
    switch (edit) {
        case ListEdit::Deleted: logDirectiveSuccess(line, subject + " deleted...\r\n"); break;
        case ListEdit::Updated: logDirectiveSuccess(line, subject + " updated...\r\n"); break;
        case ListEdit::Inserted: logDirectiveSuccess(line, subject + " inserted...\r\n"); break;
        case ListEdit::NotFound:
            logAlways(line, "Warning: can not delete " + object + ". Not found...\r\n");
            break;
        case ListEdit::Full:
            reportDirectiveError(line, format("ERROR: Maximum number of %d %s reached...\r\n", capacity, entries.c_str()));
            break;
    }
}

// "... for for all future layers" in COMMON, "... for LAYER # n" (counted from 0) in a layer.
std::string resetMessage(const DirectiveLine& line, const char* what) {
    if (inCommon(line)) return format("All %s deleted for for all future layers...\r\n", what);
    return format("All %s deleted for LAYER # %d...\r\n", what, line.section);
}

// A rewritten line as the reader would hand it over: normalised again, with its own counts.
void handOn(const DirectiveLine& original, const std::string& text,
            void (*handler)(const DirectiveLine&, CompiledInstrument&), CompiledInstrument& instrument) {
    std::string normalized = text;
    LineCounts counts;
    normalizeLine(normalized, static_cast<int>(normalized.size()), 0, counts);
    DirectiveLine line = original;
    line.normalized = normalized;
    line.raw = text;
    line.counts = counts;
    handler(line, instrument);
}

struct ToneSetting {
    const char* keyword;
    float lower;        // a plain value below it is unset in a layer ...
    float commonBelow;  // ... and this value in COMMON
    float upper;
    float controllerOffset;
    const char* formats[4];  // COMMON value, LAYER value, COMMON controller, LAYER controller
    float LayerSettings::*layerValue;
    float LayerToneDefaults::*defaultValue;
};

const ToneSetting kToneSettings[] = {
    {"BASEG", 0.0001f, 0.0001f, 1000.0f, 1000.1f,
     {"BASEG set to: %f\r\n", "BASEG set to: %f for LAYER %d\r\n", "BASEG set to MCC #%d\r\n",
      "BASEG set to MCC #%d for LAYER %d\r\n"},
     &LayerSettings::baseGain, &LayerToneDefaults::baseGain},
    {"VELTRACK", 0.0f, 2.0f, 10.0f, 1000.1f,
     {"VELTRACK set to: %f\r\n", "VELTRACK set to: %f for LAYER %d\r\n", "VELTRACK set to MCC # %d\r\n",
      "VELTRACK set to MCC #%d for LAYER %d\r\n"},
     &LayerSettings::velocityTracking, &LayerToneDefaults::velocityTracking},
    {"BASEF", 0.1f, 0.1f, 10000.0f, 11000.1f,
     {"BASEF set to: %f\r\n", "BASEF set to: %f for LAYER %d\r\n", "BASEF set to MCC #%d\r\n",
      "BASEF set to MCC #%d for LAYER %d\r\n"},
     &LayerSettings::baseFrequency, &LayerToneDefaults::baseFrequency},
    {"KEYTRACK", 0.0f, 1.0f, 10.0f, 1000.1f,
     {"KEYTRACK set to: %f\r\n", "KEYTRACK set to: %f for LAYER %d\r\n", "KEYTRACK set to MCC #%d\r\n",
      "KEYTRACK set to MCC #%d for LAYER %d\r\n"},
     &LayerSettings::keyTracking, &LayerToneDefaults::keyTracking},
    {"KEYCENTER", 0.0f, 0.0f, 127.0f, 1000.1f,
     {"KEYCENTER set to: %f\r\n", "KEYCENTER set to: %f for LAYER %d\r\n", "KEYCENTER set to MCC #%d\r\n",
      "KEYCENTER set to MCC #%d for LAYER %d\r\n"},
     &LayerSettings::keyCenter, &LayerToneDefaults::keyCenter},
};

const ToneSetting* toneSetting(std::string_view keyword) {
    for (const ToneSetting& setting : kToneSettings)
        if (equalsIgnoreCase(setting.keyword, keyword)) return &setting;
    return nullptr;
}

}  // namespace

void handleGroup(const DirectiveLine& line, CompiledInstrument& instrument) {
    if (!acceptDirective(line, "GROUP", SectionRule::NotInPost, singleParameter(FirstCharacter::NumericOrDot),
                         "ERROR: GROUP requires a numeric constant...\r\n"))
        return;
    const std::vector<std::string> p = splitParameters(line, "GROUP");
    const int group = std::clamp(scanInt(parameterAt(p, 0), -1), -1, 100000);
    settingsOf(line, instrument).group = group;
    if (inCommon(line))
        logDirectiveSuccess(line, format("Default GROUP set to: %d\r\n", group));
    else
        logDirectiveSuccess(line, format("GROUP of layer # %d set to: %d\r\n", line.section + 1, group));
}

void handleToneSetting(const DirectiveLine& line, std::string_view keyword, CompiledInstrument& instrument) {
    const ToneSetting* setting = toneSetting(keyword);
    if (setting == nullptr) return;
    const std::string shapeError = format("ERROR: %s requires a numeric constant...\r\n", setting->keyword);
    if (!acceptDirective(line, setting->keyword, SectionRule::NotInPost,
                         singleParameter(FirstCharacter::NumericDotOrDollar), shapeError))
        return;
    const std::vector<std::string> p = splitParameters(line, setting->keyword);
    const std::string_view text = parameterAt(p, 0);
    const bool common = inCommon(line);
    float value = LayerSettings::kUnset;
    std::string message;
    if (!text.empty() && text.front() == '$') {
        // "$n": controller n, read when a voice starts.
        float n = scanFloat(trimBlanks(text.substr(1)), LayerSettings::kUnset);
        if (!(n >= 0.0f && n <= 1000.0f)) n = 1001.0f;
        const int controller = static_cast<int>(std::lround(n));
        value = static_cast<float>(controller + static_cast<double>(setting->controllerOffset));
        message = common ? format(setting->formats[2], controller)
                         : format(setting->formats[3], controller, line.section + 1);
    } else {
        value = scanFloat(text, LayerSettings::kUnset);
        if (!(value >= setting->lower)) value = common ? setting->commonBelow : LayerSettings::kUnset;
        if (value > setting->upper) value = setting->upper;
        message = common ? format(setting->formats[0], static_cast<double>(value))
                         : format(setting->formats[1], static_cast<double>(value), line.section + 1);
    }
    if (common)
        instrument.toneDefaults.*(setting->defaultValue) = value;
    else
        layerOf(instrument, line.section).settings.*(setting->layerValue) = value;
    logDirectiveSuccess(line, message);
}

void handleCrossfade(const DirectiveLine& line, CompiledInstrument& instrument) {
    if (!acceptDirective(line, "XFADE", SectionRule::NotInPost, numericList(4),
                         "ERROR: XFADE. Invalid parameters number or syntax error...\r\n"))
        return;
    const std::vector<std::string> p = splitParameters(line, "XFADE");
    const int type = scanInt(parameterAt(p, 0), -1);
    int mcc = scanInt(parameterAt(p, 1), 1000);
    const float start = scanFloat(parameterAt(p, 2), -1.0f);
    const float end = scanFloat(parameterAt(p, 3), -1.0f);
    const int curve = scanInt(parameterAt(p, 4), 0);
    LayerSettings& settings = settingsOf(line, instrument);
    if (type < 0) {
        settings.crossfadeCount = 0;
        logDirectiveSuccess(line, resetMessage(line, "crossfades"));
        return;
    }
    if (type > 1) {
        reportDirectiveError(line, "ERROR: XFADE. Type can be only 0 (IN), 1 (OUT) or negative (meaning RESET)...\r\n");
        return;
    }
    if (curve < 0 || curve > 2) {
        reportDirectiveError(line, "ERROR: XFADE. Power can be only 0 (LINEAR), 1 (POWER) or 2 (EXPONENTIAL)...\r\n");
        return;
    }
    mcc = std::clamp(mcc, 0, 1000);
    const LayerCrossfade fade{start, end, static_cast<std::int16_t>(mcc), static_cast<std::int8_t>(type),
                              static_cast<std::int8_t>(curve)};
    const bool remove = !(start < end);
    const ListEdit edit = editList(settings.crossfades, settings.crossfadeCount, remove, fade,
                                   [&](const LayerCrossfade& f) { return f.type == type && f.mcc == mcc; });
    const std::string object = format("crossfade of type %d for MCC %d", type, mcc);
    reportListEdit(line, edit, "C" + object.substr(1), object, "crossfades", LayerSettings::kMaxCrossfades);
}

void handleSampleOffset(const DirectiveLine& line, CompiledInstrument& instrument) {
    if (!acceptDirective(line, "SAMPLEOFF", SectionRule::Any, singleParameter(FirstCharacter::NumericOrDot),
                         "ERROR: SAMPLEOFF requires a numeric constant...\r\n"))
        return;
    const std::vector<std::string> p = splitParameters(line, "SAMPLEOFF");
    const int offset = scanInt(parameterAt(p, 0), 0);
    settingsOf(line, instrument).sampleOffset = offset;
    if (inCommon(line))
        logDirectiveSuccess(line, format("SAMPLEOFF set to %d by default.\r\n", offset));
    else if (line.section == kSectionPost)
        logDirectiveSuccess(line, format("SAMPLEOFF set to %d for POST step.\r\n", offset));
    else
        logDirectiveSuccess(line, format("SAMPLEOFF set to %d for LAYER %d.\r\n", offset, line.section));
}

void handleNoteOnRanges(const DirectiveLine& line, CompiledInstrument& instrument) {
    if (line.section < 0) {
        reportLineError(*line.log, {line.lineNumber, line.fileName, line.raw},
                        "ERROR: ONNOTEON can not be specified in COMMON or POST section...\r\n");
        return;
    }
    if (!acceptDirective(line, "ONNOTEON", SectionRule::Any, numericList(3),
                         "ERROR: ONNOTEON. Invalid parameters number or syntax error...\r\n"))
        return;
    const std::vector<std::string> p = splitParameters(line, "ONNOTEON");
    LayerSettings& settings = layerOf(instrument, line.section).settings;
    settings.keyMin = scanFloat(parameterAt(p, 0), 0.0f);
    settings.keyMax = scanFloat(parameterAt(p, 1), 127.0f);
    settings.velocityMin = scanFloat(parameterAt(p, 2), 0.0f);
    settings.velocityMax = scanFloat(parameterAt(p, 3), 127.0f);
}

void handleOnTrigger(const DirectiveLine& line, CompiledInstrument& instrument) {
    if (!acceptDirective(line, "ONMCCT", SectionRule::NotInPost, numericList(2),
                         "ERROR: ONMCCT. Invalid parameters number or syntax error...\r\n"))
        return;
    const std::vector<std::string> p = splitParameters(line, "ONMCCT");
    int mcc = scanInt(parameterAt(p, 0), -1);
    const float lo = scanFloat(parameterAt(p, 1), -1.0f);
    const float hi = scanFloat(parameterAt(p, 2), -1.0f);
    LayerSettings& settings = settingsOf(line, instrument);
    if (mcc < 0) {
        settings.onTriggerCount = 0;
        logDirectiveSuccess(line, resetMessage(line, "ON triggers"));
        return;
    }
    mcc = std::min(mcc, kTriggerChannel);
    const LayerOnTrigger trigger{lo, hi, static_cast<std::int16_t>(mcc)};
    const ListEdit edit = editList(settings.onTriggers, settings.onTriggerCount, lo > hi, trigger,
                                   [&](const LayerOnTrigger& t) { return t.mcc == mcc; });
    const std::string subject = format("ON trigger for MCC %d", mcc);
    reportListEdit(line, edit, subject, subject, "ON triggers", LayerSettings::kMaxTriggers);
}

void handleOffTrigger(const DirectiveLine& line, CompiledInstrument& instrument) {
    if (!acceptDirective(line, "OFFMCCT", SectionRule::NotInPost, numericList(3),
                         "ERROR: OFFMCCT. Invalid parameters number or syntax error...\r\n"))
        return;
    const std::vector<std::string> p = splitParameters(line, "OFFMCCT");
    int mcc = scanInt(parameterAt(p, 0), -1);
    const float lo = scanFloat(parameterAt(p, 1), -1.0f);
    const float hi = scanFloat(parameterAt(p, 2), -1.0f);
    const float release = scanFloat(parameterAt(p, 3), 0.0f);
    LayerSettings& settings = settingsOf(line, instrument);
    if (mcc < 0) {
        settings.offTriggerCount = 0;
        logDirectiveSuccess(line, resetMessage(line, "OFF triggers"));
        return;
    }
    mcc = std::min(mcc, kTriggerFirst);
    const LayerOffTrigger trigger{lo, hi, release, static_cast<std::int16_t>(mcc)};
    const ListEdit edit = editList(settings.offTriggers, settings.offTriggerCount, lo > hi, trigger,
                                   [&](const LayerOffTrigger& t) { return t.mcc == mcc; });
    const std::string subject = format("OFF trigger for MCC %d", mcc);
    reportListEdit(line, edit, subject, subject, "OFF triggers", LayerSettings::kMaxTriggers);
}

void handleTriggerShorthand(const DirectiveLine& line, std::string_view keyword, CompiledInstrument& instrument) {
    static constexpr struct {
        const char* keyword;
        int mcc;
    } kShorthands[] = {{"ONFIRST", kTriggerFirst},
                       {"ONLEGATO", kTriggerLegato},
                       {"ONRROBIN", kTriggerRoundRobin},
                       {"ONCHANNEL", kTriggerChannel},
                       {"OFFGROUP", kTriggerFirst}};
    const char* name = nullptr;
    int number = 0;
    for (const auto& shorthand : kShorthands)
        if (equalsIgnoreCase(shorthand.keyword, keyword)) {
            name = shorthand.keyword;
            number = shorthand.mcc;
        }
    if (name == nullptr) return;
    if (!acceptDirective(line, name, SectionRule::NotInPost, numericList(1),
                         format("ERROR: %s. Invalid parameters number or syntax error...\r\n", name)))
        return;
    const std::vector<std::string> p = splitParameters(line, name);
    const double first = scanFloat(parameterAt(p, 0), -1.0f);
    const double second = scanFloat(parameterAt(p, 1), -1.0f);
    if (equalsIgnoreCase(keyword, "OFFGROUP"))
        // The group is both ends of the range; the second value is the forced release time.
        handOn(line, format("OFFMCCT %d,%f,%f,%f", number, first, first, second), handleOffTrigger, instrument);
    else
        handOn(line, format("ONMCCT %d,%f,%f", number, first, second), handleOnTrigger, instrument);
}

void installLayerDirectives(DirectiveDispatch& dispatch, CompiledInstrument& instrument) {
    CompiledInstrument* target = &instrument;
    dispatch.setHandler("GROUP", [target](const DirectiveLine& line) { handleGroup(line, *target); });
    for (const ToneSetting& setting : kToneSettings) {
        const std::string_view keyword = setting.keyword;
        dispatch.setHandler(keyword,
                            [target, keyword](const DirectiveLine& line) { handleToneSetting(line, keyword, *target); });
    }
    dispatch.setHandler("XFADE", [target](const DirectiveLine& line) { handleCrossfade(line, *target); });
    dispatch.setHandler("SAMPLEOFF", [target](const DirectiveLine& line) { handleSampleOffset(line, *target); });
    dispatch.setHandler("ONNOTEON", [target](const DirectiveLine& line) { handleNoteOnRanges(line, *target); });
    dispatch.setHandler("ONMCCT", [target](const DirectiveLine& line) { handleOnTrigger(line, *target); });
    dispatch.setHandler("OFFMCCT", [target](const DirectiveLine& line) { handleOffTrigger(line, *target); });
    for (const std::string_view keyword : {"ONFIRST", "ONLEGATO", "ONRROBIN", "ONCHANNEL", "OFFGROUP"})
        dispatch.setHandler(keyword, [target, keyword](const DirectiveLine& line) {
            handleTriggerShorthand(line, keyword, *target);
        });
}

void startLayerSettings(CompiledInstrument& instrument, int layer) {
    LayerProgram& program = layerOf(instrument, layer);
    program.settings = instrument.defaultLayerSettings;
    program.settings.keyMin = 0.0f;
    program.settings.keyMax = 127.0f;
    program.settings.velocityMin = 0.0f;
    program.settings.velocityMax = 127.0f;
    program.settings.baseGain = LayerSettings::kUnset;
    program.settings.velocityTracking = LayerSettings::kUnset;
    program.settings.baseFrequency = LayerSettings::kUnset;
    program.settings.keyTracking = LayerSettings::kUnset;
    program.settings.keyCenter = LayerSettings::kUnset;
    program.modulation = LayerModulation::unset();
}

void finishLayerSettings(CompiledInstrument& instrument, int layer) {
    LayerSettings& settings = layerOf(instrument, layer).settings;
    for (const ToneSetting& setting : kToneSettings)
        if (settings.*(setting.layerValue) < 0.0f)
            settings.*(setting.layerValue) = instrument.toneDefaults.*(setting.defaultValue);
}

}  // namespace tess::compiler
