#include "compiler/directives/KeyswitchDirective.h"

#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <cstring>
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

void copyName(char (&field)[Keyswitch::kNameSize], std::string_view text) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 1));
}

}  // namespace

void handleKeyswitch(const DirectiveLine& line, KeyswitchTable& table) {
    if (!checkSection(line, "KEYSWITCH", SectionRule::CommonOnly)) return;
    if (table.count >= KeyswitchTable::kMax) {
        reportDirectiveError(line, "ERROR: maximum number of 8 KEYSWITCHES exceeded...\r\n");
        return;
    }
    // The next slot's option names are preset before anything is read, even for a line that
    // then fails.
    Keyswitch& slot = table.entries[static_cast<std::size_t>(table.count)];
    for (int i = 0; i < Keyswitch::kMaxOptions; ++i) {
        char text[Keyswitch::kNameSize];
        std::snprintf(text, sizeof text, "Option #%d", i + 1);
        copyName(slot.options[i], text);
    }

    const std::vector<std::string> fields = splitParameters(line, "KEYSWITCH");
    if (!checkSingleTokenFields(line, "KEYSWITCH", fields, true)) return;
    if (line.counts.separators < 6) {
        reportWithLine(line, "ERROR: KEYSWITCH. At least 7 parameters needed...\r\n");
        return;
    }

    std::string name;
    std::int32_t numbers[6] = {0, 0, 0, 0, 0, 0};  // type, initial, key1, key2, min, max
    std::vector<std::string> optionNames;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const int p = static_cast<int>(i) + 1;
        const std::string& field = fields[i];
        if (p == 1 || p >= 8) {
            if (!isQuoted(field)) {
                reportWithLine(line, format("ERROR: KEYSWITCH. Parameter %d MUST be string...\r\n", p));
                return;
            }
            const std::string_view text = quotedText(field);
            if (text.empty() || text.size() > 31) {
                reportWithLine(line, format("ERROR: KEYSWITCH. Parameter %d MUST be a string of length between 1 and "
                                            "31 characters...\r\n",
                                            p));
                return;
            }
            (p == 1 ? name : optionNames.emplace_back()) = std::string(text);
            continue;
        }
        double value = 0.0;
        if (!readNumericField(line, "KEYSWITCH", field, p, value)) return;
        numbers[p - 2] = toIntSaturated(value);
    }
    const int type = numbers[0], initial = numbers[1], key1 = numbers[2], key2 = numbers[3], min = numbers[4],
              max = numbers[5];
    const auto validKey = [](int key) { return key >= 0 && key <= 127; };
    if (type < 0 || type > 2) {
        reportWithLine(line, "ERROR: KEYSWITCH. Type must be 0, 1 or 2...\r\n");
        return;
    }
    std::int64_t options = 0;
    if (type == 0) {
        if (!validKey(key1) || !validKey(key2)) {
            reportWithLine(line, "ERROR: KEYSWITCH. Key1 and Key2 must be between 0 and 127...\r\n");
            return;
        }
        if (key1 > key2) {
            reportWithLine(line, "ERROR: KEYSWITCH. Key2 should be greater than Key1...\r\n");
            return;
        }
        options = static_cast<std::int64_t>(key2) - key1 + 1;
        if (options < 2 || options > Keyswitch::kMaxOptions) {
            reportWithLine(line, "ERROR: KEYSWITCH. Option number MUST be between 2 and 32...\r\n");
            return;
        }
        if (initial < key1 || initial > key2) {
            reportWithLine(line, "ERROR: KEYSWITCH. Initial valye must be between Key1 and Key2...\r\n");
            return;
        }
    } else {
        // The operating keys index the per-key tables, so they must be MIDI keys here too.
        if (!validKey(key1) || (type == 2 && !validKey(key2))) {
            reportWithLine(line, "ERROR: KEYSWITCH. Key1 and Key2 must be between 0 and 127...\r\n");
            return;
        }
        if (min > max) {
            reportWithLine(line, "ERROR: KEYSWITCH. Max should be greater than Min...\r\n");
            return;
        }
        options = static_cast<std::int64_t>(max) - min + 1;
        if (options < 2 || options > Keyswitch::kMaxOptions) {
            reportWithLine(line, "ERROR: KEYSWITCH. Option number MUST be between 2 and 32...\r\n");
            return;
        }
        if (initial < min || initial > max) {
            reportWithLine(line, "ERROR: KEYSWITCH. Initial valye must be between Min and Max...\r\n");
            return;
        }
    }
    if (static_cast<std::int64_t>(optionNames.size()) > options) {
        reportWithLine(line, "ERROR: KEYSWITCH. Option name strings exceed options number...\r\n");
        return;
    }

    const int k = table.count;
    copyName(slot.name, name);
    for (std::size_t i = 0; i < optionNames.size(); ++i) copyName(slot.options[i], optionNames[i]);
    slot.type = type;
    slot.key1 = key1;
    slot.key2 = key2;
    slot.min = min;
    slot.max = max;
    int selected = 0;
    std::string text = format("KEYSWITCH %s (%d) succesfully created...\r\n", slot.name, k + 1);
    if (type == 0) {
        for (int key = key1; key <= key2; ++key) table.owner[static_cast<std::size_t>(key)] = k;
        table.state[static_cast<std::size_t>(initial)] = 1;
        selected = initial - key1;
        text += format("Use Keys from #%d to #%d to change the current KEYSWITCH value...\r\n", key1, key2);
    } else {
        table.owner[static_cast<std::size_t>(key1)] = k;
        table.state[static_cast<std::size_t>(key1)] = initial;
        if (type == 2) {
            table.owner[static_cast<std::size_t>(key2)] = k;
            table.state[static_cast<std::size_t>(key2)] = initial;
            text += format("Use Key #%d to select next KEYSWITCH option and key #%d to select the previous KEYSWITCH "
                           "option...\r\n",
                           key2, key1);
        } else {
            text += format("Use Key #%d to cycle between the KEYSWITCH values...\r\n", key1);
        }
        selected = initial - min;
    }
    ++table.count;
    text += format("OPTION %s (%d) selected...\r\n", slot.options[selected], selected);
    logDirectiveSuccess(line, text);
}

void installKeyswitchDirective(DirectiveDispatch& dispatch, CompiledInstrument& instrument) {
    KeyswitchTable& table = instrument.keyswitches;
    dispatch.setHandler("KEYSWITCH", [&table](const DirectiveLine& line) { handleKeyswitch(line, table); });
}

}  // namespace tess::compiler
