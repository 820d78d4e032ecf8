#include "compiler/directives/TemperamentDirectives.h"

#include <algorithm>
#include <string>
#include <vector>

#include "compiler/Diagnostics.h"
#include "compiler/DirectiveRules.h"
#include "compiler/Text.h"
#include "compiler/directives/KeyMappingParameters.h"

namespace tess::compiler {

namespace {

using directives::checkSingleTokenFields;
using directives::readNumericField;
using directives::isQuoted;
using directives::quotedText;
using directives::reportWithLine;

constexpr int kVstVarBase = 600;
constexpr int kVstVarEnd = 727;
constexpr int kLastController = 199;

std::string nameOf(const TemperamentTable& table, int index) { return std::string(table.name(index)); }

// After a selection: a linked controller or host parameter follows the new index.
void propagateToLink(const DirectiveLine& line, TemperamentTable& table) {
    const int t = table.current;
    if (table.link >= 0 && table.link <= kLastController) {
        logDirectiveSuccess(line, format("TEMPERAMENT is linked with MIDI CC #%d. Setting initial value to %d...\r\n",
                                         table.link, t));
        table.linkValue = t;
    } else if (table.link >= kVstVarBase && table.link <= kVstVarEnd) {
        logDirectiveSuccess(line, format("TEMPERAMENT is linked with VST VAR #%d. Setting initial value to %d...\r\n",
                                         table.link - kVstVarBase, t));
        table.linkValue = t;
    }
}

void echoToProgramLog(const DirectiveLine& line) {
    std::string text(line.raw);
    text += "\r\n";
    line.log->append(Log::kProgram, text);
}

// "TEMPERAMENT 3": the whole parameter text is one unsigned number.
bool isSelectionByNumber(const DirectiveLine& line) {
    const LineCounts& c = line.counts;
    if (c.quotes != 0 || c.separators != 0 || c.parentheses != 0 || c.equals != 0) return false;
    const std::string_view parameters = parameterText(line, "TEMPERAMENT");
    return !parameters.empty() && isDigit(parameters.front());
}

}  // namespace

void handleTemperament(const DirectiveLine& line, TemperamentTable& table) {
    if (!checkSection(line, "TEMPERAMENT", SectionRule::CommonOnly)) return;
    if (isSelectionByNumber(line)) {
        const int wanted = scanInt(parameterText(line, "TEMPERAMENT"), 0);
        table.current = std::clamp(wanted, 0, table.count() - 1);
        logDirectiveSuccess(line, format("TEMPERAMENT set to: %s (%d) WITH TEMPERAMENT <number> INSTRUCTION.\r\n",
                                         nameOf(table, table.current).c_str(), table.current));
        echoToProgramLog(line);
        propagateToLink(line, table);
        return;
    }
    if (table.count() >= TemperamentTable::kMax) {
        reportDirectiveError(line, format("ERROR: maximum number of %d TEMPERAMENT exceeded...\r\n",
                                          TemperamentTable::kMax));
        return;
    }
    const std::vector<std::string> fields = splitParameters(line, "TEMPERAMENT");
    if (!checkSingleTokenFields(line, "TEMPERAMENT", fields, true)) return;
    if (line.counts.separators != 0 && line.counts.separators != 12) {
        reportWithLine(line, "ERROR: TEMPERAMENT. 1 or 13 parameters needed...\r\n");
        return;
    }

    std::string name = "?";
    Temperament entry;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const int p = static_cast<int>(i) + 1;
        const std::string& field = fields[i];
        if (p > 13) {
            reportWithLine(line, "ERROR: TEMPERAMENT. Maximum number of 13 parameters exceeded...\r\n");
            return;
        }
        if (p == 1) {
            if (!isQuoted(field)) continue;  // an unquoted name is "?"
            const std::string_view text = quotedText(field);
            if (text.empty() || text.size() > 31) {
                reportWithLine(line, "ERROR: TEMPERAMENT. Temperament name MUST be a string of length between 1 and "
                                     "31 characters...\r\n");
                return;
            }
            name = std::string(text);
            continue;
        }
        double value = 0.0;
        if (!readNumericField(line, "TEMPERAMENT", field, p, value)) return;
        entry.cents[static_cast<std::size_t>(p - 2)] = toFloat(value);
    }

    if (fields.size() > 1) {
        TemperamentTable::copyName(entry, name);
        table.entries.push_back(entry);
        const int index = table.count() - 1;
        const auto& c = entry.cents;
        logDirectiveSuccess(
            line, format("NEW TEMPERAMENT: %s (%d): %.3f %.3f %.3f %.3f %.3f %.3f %.3f %.3f %.3f %.3f %.3f %.3f\r\n",
                         name.c_str(), index, double(c[0]), double(c[1]), double(c[2]), double(c[3]), double(c[4]),
                         double(c[5]), double(c[6]), double(c[7]), double(c[8]), double(c[9]), double(c[10]),
                         double(c[11])));
        return;
    }

    int found = -1;
    for (int i = 0; i < table.count() && found < 0; ++i)
        if (equalsIgnoreCase(table.name(i), name)) found = i;
    if (found < 0) {
        if (line.log->debugLevel > 0) line.log->append(Log::kMain, format("TEMPERAMENT %s NOT FOUND.\r\n", name.c_str()));
        echoToProgramLog(line);
        return;
    }
    table.current = found;
    logDirectiveSuccess(line, format("TEMPERAMENT set to: %s (%d) WITH TEMPERAMENT \"<name>\" INSTRUCTION.\r\n",
                                     nameOf(table, found).c_str(), found));
    echoToProgramLog(line);
    propagateToLink(line, table);
}

void handleTemperamentController(const DirectiveLine& line, TemperamentTable& table, const LinkedValueReader& read) {
    if (!checkSection(line, "TEMPERAMENTCC", SectionRule::CommonOnly)) return;
    DirectiveShape shape;  // one number with an optional sign
    if (!checkShape(line, "TEMPERAMENTCC", shape)) {
        reportDirectiveError(line, "ERROR: TEMPERAMENTCC requires a numeric constant...\r\n");
        return;
    }
    const int link = std::clamp(scanInt(parameterText(line, "TEMPERAMENTCC"), -1), -1, 999);
    if (link != table.link) table.linkValue = -1;
    table.link = link;
    // The linked value as the compile knows it: what an earlier selection gave the link, else
    // what the controller or parameter holds (the load's reset value 0 without a reader).
    const auto linkedIndex = [&table, &read, link] {
        const int value = table.linkValue >= 0 ? table.linkValue : read ? toIntSaturated(read(link)) : 0;
        return std::clamp(value, 0, table.count() - 1);
    };
    std::string text;
    if (link >= 0 && link <= kLastController) {
        const int t = linkedIndex();
        table.current = t;
        text = format("TEMPERAMENTCC set to: %d (MIDI CC #%d) \r\n", link, link);
        text += format("TEMPERAMENT is linked with MIDI CC #%d. Reading initial value: %d...\r\n", link, t);
        text += format("TEMPERAMENT set to: %s (%d) BY MIDI CC SYNCRONIZATION.\r\n", nameOf(table, t).c_str(), t);
    } else if (link >= kVstVarBase && link <= kVstVarEnd) {
        const int t = linkedIndex();
        table.current = t;
        text = format("TEMPERAMENTCC set to: %d (VST VAR #%d)\r\n", link, link - kVstVarBase);
        text += format("TEMPERAMENT is linked with VST VAR #%d. Reading initial value: %d...\r\n", link - kVstVarBase, t);
        text += format("TEMPERAMENT set to: %s (%d) BY VST VAR SYNCRONIZATION.\r\n", nameOf(table, t).c_str(), t);
    } else if (link >= 400 && link <= 527) {
        text = format("TEMPERAMENTCC set to: %d (KEYSWITCH ON KEY #%d)\r\n", link, link - 400);
    } else {
        text = format("TEMPERAMENTCC set to: %d (NOT CONNECTED)\r\n", link);
    }
    logDirectiveSuccess(line, text);
}

void installTemperamentDirectives(DirectiveDispatch& dispatch, CompiledInstrument& instrument) {
    TemperamentTable& table = instrument.temperaments;
    dispatch.setHandler("TEMPERAMENT", [&table](const DirectiveLine& line) { handleTemperament(line, table); });
    dispatch.setHandler("TEMPERAMENTCC",
                        [&table](const DirectiveLine& line) { handleTemperamentController(line, table); });
}

}  // namespace tess::compiler
