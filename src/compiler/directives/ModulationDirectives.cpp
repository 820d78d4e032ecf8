#include "compiler/directives/ModulationDirectives.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "compiler/Diagnostics.h"
#include "compiler/DirectiveRules.h"
#include "compiler/OperationLimits.h"
#include "compiler/Text.h"

namespace tess::compiler {

namespace {

using Target = LayerModulation::Target;

constexpr double kPlainLimit = 10000.0;         // plain values are clamped to +-10000
constexpr double kControllerOffset = 10000.1;   // "$n" of a part or COMPLEXMOD: n + 10000.1
constexpr double kCoupleControllerBase = 1000;  // "$n" of a couple value: 1000 + n
constexpr double kCoupleControllerTop = 2001;
constexpr double kCoupleLimit = 20.0;           // couple values in octaves or dB × 0.05

enum class Unit { None, Cents, Decibels };

// Cents to octaves, dB to dB × 0.05.
float convert(double value, Unit unit) {
    switch (unit) {
        case Unit::Cents: return static_cast<float>(value / 1200.0);
        case Unit::Decibels: return static_cast<float>(value * 0.05);
        default: return static_cast<float>(value);
    }
}

// The record a line writes: the defaults in COMMON, else the layer's (POST is refused before).
LayerModulation& modulationOf(const DirectiveLine& line, CompiledInstrument& instrument) {
    if (line.section < 0) return instrument.defaultModulation;
    return instrument.layerForWriting(line.section).modulation;
}

void logAlways(const DirectiveLine& line, const std::string& text) { line.log->append(Log::kMain, text); }
void logCreated(const DirectiveLine& line, const std::string& text) {
    if (line.log->debugLevel > 0) line.log->append(Log::kMain, text);
}
SourceLine sourceOf(const DirectiveLine& line) { return {line.lineNumber, line.fileName, line.raw}; }

struct Parameter {
    bool controller = false;  // written "$n"
    double value = 0.0;       // n for a controller
};

// One parameter; a leading '$' (when allowed) marks a controller number. False, with the
// message logged, when the rest is not a valid numeric constant.
bool readParameter(const DirectiveLine& line, const char* keyword, std::string_view field, int number,
                   bool dollarAllowed, Parameter& out) {
    out.controller = dollarAllowed && !field.empty() && field.front() == '$';
    std::string signedText;
    if (out.controller) {
        // The splitter sets a sign after '$' apart ("$-3" arrives as "$ - 3"): join it again.
        field = trimBlanks(field.substr(1));
        if (!field.empty() && (field.front() == '-' || field.front() == '+')) {
            signedText = std::string(1, field.front()) + std::string(trimBlanks(field.substr(1)));
            field = signedText;
        }
    }
    if (!isNumericConstant(field)) {
        reportLineError(*line.log, sourceOf(line),
                        format("ERROR: %s. Parameter %d MUST be valid numeric constant...\r\n", keyword, number));
        return false;
    }
    readDecimal(field, &out.value);
    return true;
}

// A parameter of the seven-parameter directives and COMPLEXMOD: a plain value clamped to
// +-10000, or controller n (0 .. 1000, else 1000) stored as n + 10000.1. Logged at any level.
double encodePartValue(const DirectiveLine& line, const Parameter& parameter, int number) {
    if (parameter.controller) {
        double n = parameter.value;
        if (!(n >= 0.0 && n <= 1000.0)) n = 1000.0;
        logAlways(line, format("Parameter #%d from MCC #%d\r\n", number, static_cast<int>(n)));
        return n + kControllerOffset;
    }
    const double value = std::clamp(parameter.value, -kPlainLimit, kPlainLimit);
    logAlways(line, format("Parameter #%d: %f\r\n", number, value));
    return value;
}

// A depth is converted unless it names a controller.
float convertDepth(double value, Unit unit) {
    return value > kPlainLimit ? static_cast<float>(value) : convert(value, unit);
}

struct PartDirective {
    const char* keyword;
    Target target;
    bool lfo;
    Unit depthUnit;
};

const PartDirective kParts[] = {
    {"FREQLFO", Target::Frequency, true, Unit::Cents}, {"GAINLFO", Target::Gain, true, Unit::Decibels},
    {"FCLFO", Target::Filter, true, Unit::Cents},      {"PHASELFO", Target::Phase, true, Unit::None},
    {"FREQENV", Target::Frequency, false, Unit::Cents}, {"GAINENV", Target::Gain, false, Unit::None},
    {"FCENV", Target::Filter, false, Unit::Cents},
};

struct CoupleDirective {
    const char* keyword;
    int list;           // 0 frequency, 1 gain, 2 cutoff
    bool setting;       // the first parameter is the cutoff setting
    Unit unit;
    const char* shapeError;
    const char* created;
};

const CoupleDirective kCouples[] = {
    {"FREQMOD", 0, false, Unit::Cents,
     "ERROR: FREQMOD. Invalid parameters number or syntax error: minimum 2 numerical parameters (1 couple), even "
     "number of parameters...\r\n",
     "FREQMODs created (layer %d): %d couples\r\n"},
    {"GAINMOD", 1, false, Unit::Decibels,
     "ERROR: GAINMOD. Invalid parameters number or syntax error: minimum 2 numerical parameters (1 couple), even "
     "number of parameters...\r\n",
     "GAINMOD created (layer %d): %d couples\r\n"},
    {"FCMOD", 2, true, Unit::Cents,
     "ERROR: FCMOD. Invalid parameters number or syntax error: minimum 1 numerical parameters (0 couple), odd "
     "number of parameters...\r\n",
     "FCMODs created (layer %d): %d couples\r\n"},
};

template <typename Entry, std::size_t N>
const Entry* findByKeyword(const Entry (&table)[N], std::string_view keyword) {
    for (const Entry& entry : table)
        if (equalsIgnoreCase(entry.keyword, keyword)) return &entry;
    return nullptr;
}

DirectiveShape numericShape(FirstCharacter first, int minSeparators, int maxSeparators) {
    DirectiveShape shape;
    shape.first = first;
    shape.minSeparators = minSeparators;
    shape.maxSeparators = maxSeparators;
    return shape;
}

}  // namespace

void handleModulatorPart(const DirectiveLine& line, std::string_view keyword, CompiledInstrument& instrument) {
    const PartDirective* directive = findByKeyword(kParts, keyword);
    if (directive == nullptr) return;
    const char* name = directive->keyword;
    if (!acceptDirective(line, name, SectionRule::NotInPost, numericShape(FirstCharacter::NumericOrDollar, 6, 6),
                         format("ERROR: %s. Invalid parameters number or syntax error: 7 parameters needed...\r\n",
                                name)))
        return;
    const std::vector<std::string> fields = splitParameters(line, name);
    double values[7] = {};
    for (int i = 0; i < 7; ++i) {
        Parameter parameter;
        if (!readParameter(line, name, parameterAt(fields, static_cast<std::size_t>(i)), i + 1, true, parameter))
            return;  // nothing is stored before all seven are read
        values[i] = encodePartValue(line, parameter, i + 1);
    }
    LayerModulation& modulation = modulationOf(line, instrument);
    const auto f = [&values](int i) { return static_cast<float>(values[i]); };
    if (directive->lfo) {
        LfoPart& lfo = modulation.lfo[directive->target];
        lfo.wave = static_cast<std::int32_t>(values[0]);
        lfo.shape = f(1);
        lfo.frequency = f(2);
        lfo.depth = convertDepth(values[3], directive->depthUnit);
        lfo.delay = f(4);
        lfo.fadeIn = f(5);
        lfo.fadeOut = f(6);
    } else {
        EnvelopePart& envelope = modulation.envelope[directive->target];
        envelope.depth = convertDepth(values[0], directive->depthUnit);
        envelope.delay = f(1);
        envelope.attack = f(2);
        envelope.hold = f(3);
        envelope.decay = f(4);
        envelope.sustain = f(5);
        envelope.release = f(6);
    }
    logCreated(line, format("%s created (layer %d)\r\n", name, line.section + 1));
}

void handleCouples(const DirectiveLine& line, std::string_view keyword, CompiledInstrument& instrument) {
    const CoupleDirective* directive = findByKeyword(kCouples, keyword);
    if (directive == nullptr) return;
    const char* name = directive->keyword;
    const int skip = directive->setting ? 1 : 0;
    // Couples, after the setting: an even number of parameters (odd number of separators for
    // FREQMOD and GAINMOD, even for FCMOD).
    if (!checkSection(line, name, SectionRule::NotInPost)) return;
    if (!checkShape(line, name, numericShape(FirstCharacter::Numeric, 1 - skip, INT_MAX)) ||
        line.counts.separators % 2 == skip) {
        reportDirectiveError(line, directive->shapeError);
        return;
    }
    const int maxParameters = 2 * LayerModulation::kMaxCouples + skip;
    const std::vector<std::string> fields = splitParameters(line, name);
    std::vector<ControllerCouple> couples;
    double setting = 0.0;
    ControllerCouple couple;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        if (number > maxParameters) {
            reportLineError(*line.log, sourceOf(line),
                            format("ERROR: %s. Maximum number of %d parameters (%d points) exceeded...\r\n", name,
                                   maxParameters, LayerModulation::kMaxCouples));
            return;
        }
        Parameter parameter;
        const bool isSetting = number <= skip;
        if (!readParameter(line, name, fields[i], number, !isSetting, parameter)) return;
        if (!parameter.controller) logAlways(line, format("Parameter #%d: %f\r\n", number, parameter.value));
        if (isSetting) {
            setting = parameter.value;
            continue;
        }
        const int inCouple = number - skip;  // odd: controller, even: value
        const int coupleNumber = (inCouple + 1) / 2;
        if (inCouple % 2 != 0) {
            if (parameter.controller || !(parameter.value >= 0.0 && parameter.value <= 1000.0)) {
                reportLineError(*line.log, sourceOf(line),
                                format("ERROR: %s. Invalid MIDICC number (couple %d). MUST be between 0 and 1000...\r\n",
                                       name, coupleNumber));
                return;
            }
            couple.mcc = static_cast<std::int32_t>(parameter.value);
            continue;
        }
        const char* unitName = directive->unit == Unit::Decibels ? "dB" : "cents";
        std::string text;
        if (parameter.controller) {
            double stored = kCoupleControllerBase + parameter.value;
            if (parameter.value < 0.0 || stored > kCoupleControllerTop) stored = kCoupleControllerTop;
            couple.value = static_cast<float>(stored);
            text = format("MCC #%d %s\r\n", static_cast<int>(stored - kCoupleControllerBase), unitName);
        } else {
            couple.value = std::clamp(convert(parameter.value, directive->unit), static_cast<float>(-kCoupleLimit),
                                      static_cast<float>(kCoupleLimit));
            const double shown = directive->unit == Unit::Decibels ? couple.value * 20.0 : couple.value * 1200.0;
            text = format("%.2f %s\r\n", shown, unitName);
        }
        couples.push_back(couple);
        logCreated(line, format("MODulator #%d : MCC #%d * ", coupleNumber, couple.mcc) + text);
    }
    // A refused line changes nothing; an accepted one replaces the list.
    LayerModulation& modulation = modulationOf(line, instrument);
    modulation.couples[directive->list] = std::move(couples);
    if (directive->setting) {
        // As written; only a value beyond the float range is held at its largest finite value.
        constexpr double top = std::numeric_limits<float>::max();
        modulation.cutoffSetting = static_cast<float>(std::clamp(setting, -top, top));
    }
    logCreated(line, format(directive->created, line.section + 1,
                            static_cast<int>(modulation.couples[directive->list].size())));
}

void handleComplexModulation(const DirectiveLine& line, CompiledInstrument& instrument) {
    if (!acceptDirective(line, "COMPLEXMOD", SectionRule::NotInPost, numericShape(FirstCharacter::Numeric, 3, 3),
                         "ERROR: COMPLEXMOD. Invalid parameters number or syntax error...\r\n"))
        return;
    const std::vector<std::string> fields = splitParameters(line, "COMPLEXMOD");
    double values[4] = {};
    for (int i = 0; i < 4; ++i) {
        Parameter parameter;
        // Only the value may name a controller.
        if (!readParameter(line, "COMPLEXMOD", parameterAt(fields, static_cast<std::size_t>(i)), i + 1, i == 3,
                           parameter))
            return;
        values[i] = encodePartValue(line, parameter, i + 1);
    }
    ComplexModulation entry;
    entry.type = static_cast<std::int32_t>(std::clamp(values[0], 0.0, 12.0));
    entry.mccA = static_cast<std::int32_t>(std::clamp(values[1], -1.0, 1000.0));
    entry.mccB = static_cast<std::int32_t>(std::clamp(values[2], -1.0, 1000.0));
    const Unit unit = entry.type == 0 || entry.type == 2 ? Unit::Cents : entry.type == 1 ? Unit::Decibels : Unit::None;
    entry.value = convertDepth(values[3], unit);
    LayerModulation& modulation = modulationOf(line, instrument);
    if (static_cast<int>(modulation.complex.size()) >= LayerModulation::kMaxComplex) {
        reportDirectiveError(line, format("ERROR: Maximum number of %d COMPLEXMOD entries reached...\r\n",
                                          LayerModulation::kMaxComplex));
        return;
    }
    modulation.complex.push_back(entry);
    logCreated(line, format("COMPLEXMOD created (layer %d)\r\n", line.section + 1));
}

void installModulationDirectives(DirectiveDispatch& dispatch, CompiledInstrument& instrument) {
    CompiledInstrument* target = &instrument;
    for (const PartDirective& part : kParts) {
        const std::string_view keyword = part.keyword;
        dispatch.setHandler(keyword, [target, keyword](const DirectiveLine& line) {
            handleModulatorPart(line, keyword, *target);
        });
    }
    for (const CoupleDirective& couples : kCouples) {
        const std::string_view keyword = couples.keyword;
        dispatch.setHandler(keyword,
                            [target, keyword](const DirectiveLine& line) { handleCouples(line, keyword, *target); });
    }
    dispatch.setHandler("COMPLEXMOD", [target](const DirectiveLine& line) { handleComplexModulation(line, *target); });
}

void finishLayerModulation(CompiledInstrument& instrument, int layer) {
    LayerModulation& m = instrument.layerForWriting(layer).modulation;
    const LayerModulation& defaults = instrument.defaultModulation;
    constexpr float kUnsetBelow = -1e9f;
    for (int t = 0; t < LayerModulation::TargetCount; ++t) {
        if (m.lfo[t].depth < kUnsetBelow) m.lfo[t] = defaults.lfo[t];
        if (m.envelope[t].depth < kUnsetBelow) m.envelope[t] = defaults.envelope[t];
    }
    if (m.cutoffSetting < -999.0f) m.cutoffSetting = defaults.cutoffSetting;
    for (int list = 0; list < 3; ++list) {
        std::vector<ControllerCouple>& own = m.couples[list];
        for (const ControllerCouple& couple : defaults.couples[list]) {
            const bool named = std::any_of(own.begin(), own.end(),
                                           [&](const ControllerCouple& c) { return c.mcc == couple.mcc; });
            if (!named && static_cast<int>(own.size()) < LayerModulation::kMaxCouples) own.push_back(couple);
        }
    }
    if (m.complex.empty()) m.complex = defaults.complex;
}

}  // namespace tess::compiler
