#include "state/ControllerDirectives.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "compiler/Diagnostics.h"
#include "compiler/DirectiveRules.h"
#include "compiler/Text.h"
#include "compiler/directives/KeyMappingParameters.h"
#include "compiler/directives/TemperamentDirectives.h"
#include "state/ParameterScale.h"

namespace tess {

namespace {

using compiler::DirectiveLine;
using compiler::format;
using compiler::directives::isQuoted;
using compiler::directives::quotedText;
using compiler::directives::reportWithLine;

constexpr int kVstVarBase = 600;
constexpr int kLastController = 199;
constexpr int kLinkableControllers = 128;
constexpr std::size_t kMaxVstVarText = 31;

// The range checks of these directives write the line first, then the located message.
void reportAfterLine(const DirectiveLine& line, const std::string& message) {
    std::string text(line.raw);
    text += "\r\n";
    text += format("************ Line %d, file %.*s\r\n", line.lineNumber, static_cast<int>(line.fileName.size()),
                   line.fileName.data());
    text += message;
    line.log->append(Log::kMain, text);
}

// A temperament index from a controller or parameter value: truncated, within the table.
int temperamentIndex(double value, const compiler::TemperamentTable& table) {
    return std::clamp(compiler::toIntSaturated(value), 0, table.count() - 1);
}

// A selection made while a link exists hands its index to the linked controller or parameter.
void passSelectionToLink(compiler::TemperamentTable& table, HostParameterTable& parameters,
                         const ControllerDirectiveActions& actions) {
    if (table.linkValue < 0) return;
    const int link = table.link;
    const float index = static_cast<float>(table.linkValue);
    if (link >= 0 && link <= kLastController) {
        actions.setControllerValue(link, index);
    } else if (HostParameterTable::valid(link - kVstVarBase)) {
        const int number = link - kVstVarBase;
        actions.setParameter(number, parameters.setVstVarValue(number, index));
    }
    table.linkValue = -1;
}

}  // namespace

void handleVstVar(const DirectiveLine& line, HostParameterTable& parameters) {
    using namespace compiler;
    if (!checkSection(line, "VSTVAR", SectionRule::CommonOnly)) return;
    const std::vector<std::string> fields = splitParameters(line, "VSTVAR");
    if (!directives::checkSingleTokenFields(line, "VSTVAR", fields, true)) return;
    if (line.counts.separators != 6) {
        reportWithLine(line, "ERROR: VSTVAR. 7 parameters needed...\r\n");
        return;
    }

    int number = 0;
    int scale = 0;
    float initial = 0.0f, min = 0.0f, max = 0.0f;
    std::string name, unit;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const int p = static_cast<int>(i) + 1;
        const std::string& field = fields[i];
        if (p > 7) {
            reportWithLine(line, "ERROR: VSTVAR. Maximum number of 7 parameters exceeded...\r\n");
            return;
        }
        if (p == 3 || p == 4) {
            if (!isQuoted(field)) {
                reportWithLine(line, format("ERROR: VSTVAR. Parameter %d MUST be a string...\r\n", p));
                return;
            }
            const std::string_view text = quotedText(field);
            if (text.size() > kMaxVstVarText) {
                reportWithLine(line,
                               "ERROR: VSTVAR. Name MUST be a string of length between 0 and 31 characters...\r\n");
                return;
            }
            (p == 3 ? name : unit) = std::string(text);
            continue;
        }
        double value = 0.0;
        if (!directives::readNumericField(line, "VSTVAR", field, p, value)) return;
        const float single = toFloat(value);
        if (!std::isfinite(single)) {  // beyond the float range
            reportWithLine(line, format("ERROR: VSTVAR. Parameter %d MUST be valid numeric constant...\r\n", p));
            return;
        }
        switch (p) {
            case 1: number = toIntSaturated(value); break;
            case 2: initial = single; break;
            case 5: min = single; break;
            case 6: max = single; break;
            default: scale = toIntSaturated(value); break;
        }
    }

    if (number < 0 || number >= HostParameterTable::kCount) {
        reportAfterLine(line, "ERROR: VSTVAR. <number> should be between 0 and 127...\r\n");
        return;
    }
    if (!validScaleType(scale)) {
        reportAfterLine(line, "ERROR: VSTVAR. Invalid <scale type>, must be between 0 and 3...\r\n");
        return;
    }
    if (std::fabs(min - max) < 0.0001f) {
        reportAfterLine(line, format("ERROR: VSTVAR. <min> (%.4f) should be different than <max> (%.4f)...\r\n",
                                     double(min), double(max)));
        return;
    }
    if ((scale == kScaleLogarithmic || scale == kScaleBeats) && (min < 0.00001f || max < 0.00001f)) {
        reportAfterLine(line, "ERROR: VSTVAR. <min> and <max> should be greater or equal than 0.00001 with "
                              "logaritmic and beats scale (<scale type>=0 or 3)...\r\n");
        return;
    }
    if (initial < std::min(min, max) || initial > std::max(min, max)) {
        reportAfterLine(line, format("ERROR: VSTVAR. <initial value> should be between <min> (%.2f) and <max> "
                                     "(%.2f)...\r\n",
                                     double(min), double(max)));
        return;
    }

    parameters.describe(number, name, unit, min, max, scale);
    const float host = parameters.setVstVarValue(number, initial);
    logDirectiveSuccess(line, format("VSTVAR %d, Initial value: %.2f, Label: %s, Unit: %s, Range: %.2f : %.2f, Scale "
                                     "type: %d, Internal value: %.6f\r\n",
                                     number, double(parameters.internalValue(number)), parameters.name(number),
                                     parameters.unit(number), double(min), double(max), scale, double(host)));
}

void handleMidiController(const DirectiveLine& line, HostParameterTable& parameters,
                          compiler::TemperamentTable& temperaments, const ControllerDirectiveActions& actions) {
    using namespace compiler;
    if (!checkSection(line, "MIDICC", SectionRule::CommonOnly)) return;
    DirectiveShape shape;  // one to three numbers
    shape.maxSeparators = 2;
    if (!checkShape(line, "MIDICC", shape)) {
        reportDirectiveError(line, "ERROR: MIDICC. Invalid parameters number or syntax error...\r\n");
        return;
    }
    const std::vector<std::string> p = splitParameters(line, "MIDICC");
    const int number = scanInt(parameterAt(p, 0), 0);
    const float value = scanFloat(parameterAt(p, 1), 0.0f);
    const int vstVar = scanInt(parameterAt(p, 2), -1);
    if (number < 0 || number > kLastController) {
        reportAfterLine(line, "ERROR: MIDICC. <number> should be between 0 and 199...\r\n");
        return;
    }

    actions.setStartValue(number, value);
    if (HostParameterTable::valid(vstVar) && number < kLinkableControllers) {
        // The parameter must not echo the value back to the controller while it is linked.
        parameters.setLinkedController(vstVar, -1);
        actions.setParameterAutomated(vstVar, value / 127.0f);
        logDirectiveSuccess(line, format("VST VAR %d set to %.2f BY MIDI CC # %d LINK...\r\n", vstVar,
                                         double(parameters.internalValue(vstVar)), number));
        parameters.setControllerLink(number, vstVar);
        parameters.setLinkedController(vstVar, number);
    }
    logDirectiveSuccess(line, format("MIDI CC # %d set to: %.3f\r\n", number, double(value)));

    if (temperaments.link == number) {
        const int t = temperamentIndex(static_cast<double>(value) + 0.5, temperaments);
        if (t != temperaments.current) {
            temperaments.current = t;
            const std::string name(temperaments.name(t));
            logDirectiveSuccess(line, format("TEMPERAMENT set to: %s (%d) WITH MIDI CC CHANGE.\r\n", name.c_str(), t));
        }
    }
}

void installControllerDirectives(compiler::InstrumentCompiler& compiler, HostParameterTable& parameters,
                                 const ControllerDirectiveActions& actions) {
    compiler::DirectiveDispatch& dispatch = compiler.directives();
    compiler::TemperamentTable& temperaments = compiler.instrument().temperaments;
    dispatch.setHandler("VSTVAR", [&parameters](const DirectiveLine& line) { handleVstVar(line, parameters); });
    dispatch.setHandler("MIDICC", [&parameters, &temperaments, &actions](const DirectiveLine& line) {
        handleMidiController(line, parameters, temperaments, actions);
    });
    dispatch.setHandler("TEMPERAMENT", [&parameters, &temperaments, &actions](const DirectiveLine& line) {
        compiler::handleTemperament(line, temperaments);
        passSelectionToLink(temperaments, parameters, actions);
    });
    const compiler::LinkedValueReader read = [&parameters, &actions](int mcc) -> float {
        if (mcc >= 0 && mcc <= kLastController) return actions.controllerValue(mcc);
        return parameters.internalValue(mcc - kVstVarBase);
    };
    dispatch.setHandler("TEMPERAMENTCC", [&temperaments, read](const DirectiveLine& line) {
        compiler::handleTemperamentController(line, temperaments, read);
    });
}

}  // namespace tess
