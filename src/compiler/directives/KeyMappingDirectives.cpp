#include "compiler/directives/KeyMappingDirectives.h"

#include <algorithm>

#include "compiler/Diagnostics.h"
#include "compiler/DirectiveRules.h"
#include "compiler/Text.h"
#include "compiler/directives/KeyMappingParameters.h"
#include "compiler/directives/KeyswitchDirective.h"
#include "compiler/directives/TemperamentDirectives.h"

namespace tess::compiler {

namespace {

using directives::NumericDirective;
using directives::readNumericParameters;
using directives::reportWithLine;

int toInt(double value) { return toIntSaturated(value); }
float clampFloat(double value, float low, float high) {
    return static_cast<float>(std::clamp(value, static_cast<double>(low), static_cast<double>(high)));
}

// Key range checks of a mapping directive (-1 .. 127) or of PEDAL / SOSTENUTO (0 .. 127).
bool checkKeys(const DirectiveLine& line, const char* keyword, int minKey, int maxKey, int lowest) {
    if (minKey < lowest || minKey > 127 || maxKey < lowest || maxKey > 127) {
        reportWithLine(line, format("ERROR: %s. min key and max key must be between %d and 127...\r\n", keyword, lowest));
        return false;
    }
    if (minKey > maxKey) {
        reportWithLine(line, format("ERROR: %s. max key should be greater than min key...\r\n", keyword));
        return false;
    }
    return true;
}

// Stores the first three parameters (switch, min key, max key) of a mapping directive; the key
// checks run once the max key is read (or at the end when the line stops before it).
struct RangeReader {
    const DirectiveLine& line;
    const char* keyword;
    KeyRangeSwitch& range;
    bool checked = false;

    // True when parameter `p` was one of the three.
    bool take(int p, double value, bool& ok) {
        ok = true;
        if (p > 3) return false;
        if (p == 1) range.switchMcc = toInt(value);
        if (p == 2) range.minKey = toInt(value);
        if (p == 3) {
            range.maxKey = toInt(value);
            ok = check();
        }
        return true;
    }
    bool check() {
        if (checked) return true;
        checked = true;
        return checkKeys(line, keyword, range.minKey, range.maxKey, -1);
    }
};

}  // namespace

void handleMap(const DirectiveLine& line, KeyMappingSettings& settings) {
    PitchClassMap map;
    RangeReader keys{line, "MAP", map.range};
    const NumericDirective directive{"MAP", 15, "ERROR: MAP. Maximum number of 15 parameters exceeded...\r\n", true};
    const bool read = readNumericParameters(line, directive, [&](int p, double value) {
        bool ok = true;
        if (keys.take(p, value, ok)) return ok;
        map.map[static_cast<std::size_t>(p - 4)] = std::clamp(toInt(value), 0, 11);
        return true;
    });
    if (!read || !keys.check()) return;
    settings.map = map;
    logDirectiveSuccess(line, format("MAP %d, %d, %d succesfully created...\r\n", map.range.switchMcc,
                                     map.range.minKey, map.range.maxKey));
}

void handleVelocity(const DirectiveLine& line, KeyMappingSettings& settings) {
    VelocityMapping velocity;
    RangeReader keys{line, "VELOCITY", velocity.range};
    bool inChecked = false;
    bool outChecked = false;
    const auto checkIn = [&] {
        inChecked = true;
        if (velocity.minIn < 0 || velocity.minIn > 127 || velocity.maxIn < 0 || velocity.maxIn > 127) {
            reportWithLine(line, "ERROR: VELOCITY. min in vel and max in vel must be between 0 and 127...\r\n");
            return false;
        }
        if (velocity.minIn > velocity.maxIn) {
            reportWithLine(line, "ERROR: VELOCITY. max in vel should be greater than min in vel...\r\n");
            return false;
        }
        return true;
    };
    const auto checkOut = [&] {
        outChecked = true;
        if (velocity.minOut < 0.0f || velocity.minOut > 127.0f || velocity.maxOut < 0.0f || velocity.maxOut > 127.0f) {
            reportWithLine(line, "ERROR: VELOCITY. min out vel and max out vel must be between 0 and 127...\r\n");
            return false;
        }
        if (velocity.minOut > velocity.maxOut) {
            reportWithLine(line, "ERROR: VELOCITY. max out vel should be greater than min out vel...\r\n");
            return false;
        }
        return true;
    };
    const NumericDirective directive{"VELOCITY", 10,
                                     "ERROR: VELOCITY. Maximum number of 10 parameters exceeded...\r\n", true};
    const bool read = readNumericParameters(line, directive, [&](int p, double value) {
        bool ok = true;
        if (keys.take(p, value, ok)) return ok;
        switch (p) {
            case 4: velocity.minIn = toInt(value); break;
            case 5: velocity.maxIn = toInt(value); return checkIn();
            // Out of range values are refused below, so the plain conversion is kept here.
            case 6: velocity.minOut = toFloat(value); break;
            case 7: velocity.maxOut = toFloat(value); return checkOut();
            case 8: velocity.exponent = clampFloat(value, 0.001f, 10.0f); break;
            case 9: velocity.random = clampFloat(value, 0.0f, 127.0f); break;
            default: velocity.mode = std::clamp(toInt(value), 0, 2); break;
        }
        return true;
    });
    if (!read || !keys.check()) return;
    if (!inChecked && !checkIn()) return;
    if (!outChecked && !checkOut()) return;
    settings.velocity = velocity;
    logDirectiveSuccess(line, format("VELOCITY %d, %d, %d, %d, %d, %.1f, %.1f, %.2f, %.2f, %d succesfully created...\r\n",
                                     velocity.range.switchMcc, velocity.range.minKey, velocity.range.maxKey,
                                     velocity.minIn, velocity.maxIn, static_cast<double>(velocity.minOut),
                                     static_cast<double>(velocity.maxOut), static_cast<double>(velocity.random),
                                     static_cast<double>(velocity.exponent), velocity.mode));
}

void handlePitch(const DirectiveLine& line, KeyMappingSettings& settings) {
    PitchMapping pitch;
    RangeReader keys{line, "PITCH", pitch.range};
    const NumericDirective directive{"PITCH", 7, "ERROR: PITCH. Maximum number of 7 parameters exceeded...\r\n", true};
    const bool read = readNumericParameters(line, directive, [&](int p, double value) {
        bool ok = true;
        if (keys.take(p, value, ok)) return ok;
        switch (p) {
            case 4: pitch.offset = clampFloat(value, -127.0f, 127.0f); break;
            case 5: pitch.spread = clampFloat(value, 0.0f, 127.0f); break;
            case 6: pitch.probability = clampFloat(value, 0.0f, 1.0f); break;
            default: pitch.step = std::clamp(toInt(value), 0, 127); break;
        }
        return true;
    });
    if (!read || !keys.check()) return;
    settings.pitch = pitch;
    logDirectiveSuccess(line, format("PITCH %d, %d, %d, %.1f, %.1f, %.2f, %d succesfully created...\r\n",
                                     pitch.range.switchMcc, pitch.range.minKey, pitch.range.maxKey,
                                     static_cast<double>(pitch.offset), static_cast<double>(pitch.spread),
                                     static_cast<double>(pitch.probability), pitch.step));
}

void handleTiming(const DirectiveLine& line, KeyMappingSettings& settings) {
    TimingMapping timing;
    RangeReader keys{line, "TIMING", timing.range};
    const NumericDirective directive{"TIMING", 7, "ERROR: TIMING. Maximum number of 7 parameters exceeded...\r\n", true};
    const bool read = readNumericParameters(line, directive, [&](int p, double value) {
        bool ok = true;
        if (keys.take(p, value, ok)) return ok;
        switch (p) {
            case 4: timing.start = clampFloat(value, -127.0f, 127.0f); break;
            case 5: timing.startSpread = clampFloat(value, 0.0f, 127.0f); break;
            case 6: timing.durationSpread = clampFloat(value, 0.0f, 4.0f); break;
            // A rounding beyond 4 bars means one bar.
            default: timing.rounding = value < 0.0 ? 0.0f : value > 4.0 ? 1.0f : static_cast<float>(value); break;
        }
        return true;
    });
    if (!read || !keys.check()) return;
    settings.timing = timing;
    logDirectiveSuccess(line, format("TIMING %d, %d, %d, %.1f, %.1f, %.1f, succesfully created...\r\n",
                                     timing.range.switchMcc, timing.range.minKey, timing.range.maxKey,
                                     static_cast<double>(timing.start), static_cast<double>(timing.startSpread),
                                     static_cast<double>(timing.durationSpread)));
}

namespace {

// A pattern whose key range is in use needs two notes. An arpeggio may give none at all (its
// key range and step alone); a chord may not. Note-on plays at least one note either way.
bool finishPattern(const DirectiveLine& line, const char* keyword, NotePattern& pattern, int notes,
                   bool noNotesAllowed) {
    const bool inUse = pattern.range.minKey >= 0 || pattern.range.maxKey >= 0;
    const bool tooFew = notes == 1 || (notes == 0 && !noNotesAllowed);
    if (tooFew && inUse) {
        reportWithLine(line, format("ERROR: %s. Minimum 2 notes, if enabled...\r\n", keyword));
        return false;
    }
    pattern.count = notes;
    pattern.velocity[0] = 1.0f;
    return true;
}

}  // namespace

void handleArpeggio(const DirectiveLine& line, KeyMappingSettings& settings) {
    NotePattern pattern;
    RangeReader keys{line, "ARPEGGIO", pattern.range};
    int notes = 0;
    const NumericDirective directive{"ARPEGGIO", 4 + 4 * NotePattern::kMaxNotes,
                                     "ERROR: ARPEGGIO. Maximum number of 32 notes exceeded...\r\n", true};
    const bool read = readNumericParameters(line, directive, [&](int p, double value) {
        bool ok = true;
        if (keys.take(p, value, ok)) return ok;
        if (p == 4) {
            // A step is at least an eighth of a bar either way; 0 stays 0.
            double step = std::clamp(value, -128.0, 128.0);
            if (step < 0.0) step = std::min(step, -0.125);
            if (step > 0.0) step = std::max(step, 0.125);
            pattern.step = static_cast<float>(step);
            return true;
        }
        const std::size_t k = static_cast<std::size_t>((p - 5) / 4);
        notes = static_cast<int>(k) + 1;
        switch ((p - 5) % 4) {
            case 0: pattern.offset[k] = clampFloat(value, 0.0f, 127.0f); break;
            case 1: pattern.start[k] = clampFloat(value, 0.0f, 128.0f); break;
            case 2: pattern.duration[k] = clampFloat(value, 0.0f, 128.0f); break;
            default: pattern.velocity[k] = clampFloat(value, 0.0f, 128.0f); break;
        }
        return true;
    });
    if (!read || !keys.check() || !finishPattern(line, "ARPEGGIO", pattern, notes, true)) return;
    settings.pattern = pattern;
    logDirectiveSuccess(line, format("ARPEGGIO %d, %d, %d, %.1f, succesfully created...\r\n", pattern.range.switchMcc,
                                     pattern.range.minKey, pattern.range.maxKey, static_cast<double>(pattern.step)));
}

void handleChord(const DirectiveLine& line, KeyMappingSettings& settings) {
    NotePattern pattern;
    pattern.start.fill(0.0f);
    pattern.duration.fill(0.0f);
    RangeReader keys{line, "CHORD", pattern.range};
    int notes = 0;
    const NumericDirective directive{"CHORD", 3 + 2 * NotePattern::kMaxNotes,
                                     "ERROR: CHORD. Maximum number of 32 notes exceeded...\r\n", true};
    const bool read = readNumericParameters(line, directive, [&](int p, double value) {
        bool ok = true;
        if (keys.take(p, value, ok)) return ok;
        const std::size_t k = static_cast<std::size_t>((p - 4) / 2);
        notes = static_cast<int>(k) + 1;
        if (p % 2 == 0)
            pattern.offset[k] = clampFloat(value, 0.0f, 127.0f);
        else
            pattern.velocity[k] = clampFloat(value, 0.0f, 128.0f);
        return true;
    });
    if (!read || !keys.check() || !finishPattern(line, "CHORD", pattern, notes, false)) return;
    settings.pattern = pattern;
    logDirectiveSuccess(line, format("CHORD %d, %d, %d, succesfully created...\r\n", pattern.range.switchMcc,
                                     pattern.range.minKey, pattern.range.maxKey));
}

namespace {

void handlePedalControllers(const DirectiveLine& line, const char* keyword, PedalControllers& target) {
    PedalControllers pedal;
    const std::string tooMany = format("ERROR: %s. Maximum number of 4 parameters exceeded...\r\n", keyword);
    const NumericDirective directive{keyword, 4, tooMany.c_str(), false};
    const bool read = readNumericParameters(line, directive, [&](int p, double value) {
        const int v = toIntSaturated(value);
        switch (p) {
            case 1: pedal.allMcc = v; break;
            case 2: pedal.rangeMcc = v; break;
            case 3: pedal.minKey = v; break;
            default: pedal.maxKey = v; break;
        }
        return true;
    });
    if (!read || !checkKeys(line, keyword, pedal.minKey, pedal.maxKey, 0)) return;
    target = pedal;
    logDirectiveSuccess(line, format("%s %d, %d, %d, %d succesfully created...\r\n", keyword, pedal.allMcc,
                                     pedal.rangeMcc, pedal.minKey, pedal.maxKey));
}

}  // namespace

void handlePedal(const DirectiveLine& line, KeyMappingSettings& settings) {
    handlePedalControllers(line, "PEDAL", settings.pedal);
}

void handleSostenuto(const DirectiveLine& line, KeyMappingSettings& settings) {
    handlePedalControllers(line, "SOSTENUTO", settings.sostenuto);
}

void installKeyMappingDirectives(DirectiveDispatch& dispatch, CompiledInstrument& instrument) {
    KeyMappingSettings& s = instrument.keyMapping;
    dispatch.setHandler("MAP", [&s](const DirectiveLine& line) { handleMap(line, s); });
    dispatch.setHandler("VELOCITY", [&s](const DirectiveLine& line) { handleVelocity(line, s); });
    dispatch.setHandler("PITCH", [&s](const DirectiveLine& line) { handlePitch(line, s); });
    dispatch.setHandler("TIMING", [&s](const DirectiveLine& line) { handleTiming(line, s); });
    dispatch.setHandler("ARPEGGIO", [&s](const DirectiveLine& line) { handleArpeggio(line, s); });
    dispatch.setHandler("CHORD", [&s](const DirectiveLine& line) { handleChord(line, s); });
    dispatch.setHandler("PEDAL", [&s](const DirectiveLine& line) { handlePedal(line, s); });
    dispatch.setHandler("SOSTENUTO", [&s](const DirectiveLine& line) { handleSostenuto(line, s); });
}

void installNoteDirectives(DirectiveDispatch& dispatch, CompiledInstrument& instrument) {
    installKeyMappingDirectives(dispatch, instrument);
    installKeyswitchDirective(dispatch, instrument);
    installTemperamentDirectives(dispatch, instrument);
}

}  // namespace tess::compiler
