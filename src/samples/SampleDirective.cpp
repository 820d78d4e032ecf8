#include "samples/SampleDirective.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "compiler/Diagnostics.h"
#include "compiler/DirectiveRules.h"
#include "compiler/Text.h"

namespace tess {

using compiler::DirectiveLine;
using compiler::format;

namespace {

constexpr const char* kInvalidFile =
    "invalid audio file. Only mono or stereo PCM WAV (8/16/24/32/F32/F64) and AIF (8/16/24/32) supported...";

void fail(const DirectiveLine& line, const std::string& message) {
    compiler::reportLineError(*line.log, {line.lineNumber, line.fileName, line.raw},
                              "ERROR: SAMPLE. " + message + "\r\n");
}

bool quoted(const std::string& p) { return !p.empty() && p.front() == '"'; }

// The numeric test of a parameter (numbered from 1); reports and returns false on failure.
bool numeric(const DirectiveLine& line, const std::vector<std::string>& params, std::size_t index,
             double& value) {
    const std::string& p = params[index];
    const int number = static_cast<int>(index) + 1;
    if (quoted(p)) {
        fail(line, format("Parameter %d MUST be numeric constant...", number));
        return false;
    }
    if (!compiler::isNumericConstant(p) || compiler::readDecimal(p, &value) == 0) {
        fail(line, format("Parameter %d MUST be valid numeric constant...", number));
        return false;
    }
    return true;
}

std::int64_t toInt64(double v) {
    if (!(v == v)) return 0;
    if (v >= 9.2e18) return INT64_MAX;
    if (v <= -9.2e18) return INT64_MIN;
    return static_cast<std::int64_t>(v);
}

void deleteSlot(const DirectiveLine& line, SampleBank& bank, int number) {
    compiler::logDirectiveSuccess(line, format("SAMPLE #%d is to be deleted.\r\n", number));
    bank[number].clear();
    compiler::logDirectiveSuccess(line, format("SAMPLE #%d correctly deleted.\r\n", number));
}

void additive(const DirectiveLine& line, SampleBank& bank, int number, const std::vector<std::string>& params) {
    double value = 0.0;
    if (!numeric(line, params, 1, value)) return;
    const int firstCode = compiler::toIntSaturated(value);
    if (firstCode < 0 || firstCode > 12) {
        fail(line, "<numeric_code> must be 0 to 12...");
        return;
    }
    const std::size_t rest = params.size() - 2;
    if (rest > 4 * static_cast<std::size_t>(SampleSlot::kMaxHarmonics - 1)) {
        fail(line, "Maximum number of 31+1 harmonics exceeded...");
        return;
    }
    Harmonic harmonics[SampleSlot::kMaxHarmonics - 1];
    const int groups = static_cast<int>((rest + 3) / 4);
    for (int g = 0; g < groups; ++g) {
        const int harmonic = g + 2;
        const std::size_t first = 2 + 4 * static_cast<std::size_t>(g);
        if (first + 3 >= params.size()) {
            fail(line, format("Harmonic #%d, incomplete specification...", harmonic));
            return;
        }
        double v[4];
        for (std::size_t k = 0; k < 4; ++k)
            if (!numeric(line, params, first + k, v[k])) return;
        Harmonic& h = harmonics[g];
        h.code = compiler::toIntSaturated(v[0]);
        h.amplitude = compiler::toFloat(v[1]);
        h.ratio = compiler::toFloat(v[2]);
        h.phase = compiler::toFloat(v[3]);
        if (h.code < 0 || h.code > 12) {
            fail(line, format("Harmonic #%d, <harmonic_numeric_code> must be 0 to 12...", harmonic));
            return;
        }
        if (!(h.amplitude >= 1e-10f && h.amplitude <= 1000.0f)) {
            fail(line, format("Harmonic #%d, <harmonic_amplitude> must be ]0, 1000]...", harmonic));
            return;
        }
        if (!(h.ratio >= 1e-10f && h.ratio <= 1000.0f)) {
            fail(line, format("Harmonic #%d, <harmonic_frequency> must be ]0, 1000]...", harmonic));
            return;
        }
        if (!(h.phase >= 0.0f && h.phase < 1.0f)) {
            fail(line, format("Harmonic #%d, <harmonic_phase> must be [0, 1[, that means [0, 2*PI[...", harmonic));
            return;
        }
    }
    createAdditiveSlot(bank, number, firstCode, harmonics, groups, *line.log);
    compiler::logDirectiveSuccess(line, format("SAMPLE #%d correctly created.\r\n", number));
}

void sampled(const DirectiveLine& line, SampleBank& bank, int number, const std::vector<std::string>& params,
             const SampleContext& context) {
    if (params.size() > 14) {
        fail(line, "Maximum number of 14 parameters for sampled data exceeded...");
        return;
    }
    const std::string& quotedName = params[1];
    const bool closed = quotedName.size() >= 2 && quotedName.back() == '"';
    const std::size_t length = closed ? quotedName.size() - 2 : 0;
    if (!closed || length < 1 || length > 256 || quotedName.find('"', 1) != quotedName.size() - 1) {
        fail(line, "Filename MUST be a string of length between 1 and 256 characters...");
        return;
    }
    SampleRequest request;
    request.fileName = quotedName.substr(1, length);
    for (std::size_t i = 2; i < params.size(); ++i) {
        double v = 0.0;
        if (!numeric(line, params, i, v)) return;
        switch (i + 1) {
            case 3:
                request.normalisation = compiler::toIntSaturated(v);
                if (request.normalisation < 0 || request.normalisation > 4) {
                    fail(line, "<normalization_mode> must be 0, 1, 2, 3 or 4...");
                    return;
                }
                break;
            case 4:
                request.centreNote = compiler::toFloat(v);
                if (!(request.centreNote >= 0.0f && request.centreNote <= 128.0f)) {
                    fail(line, "<center_note> should be between 0.0 and 128.0...");
                    return;
                }
                break;
            case 5:
                request.looped = compiler::toIntSaturated(v);
                if (request.looped != 0 && request.looped != 1) {
                    fail(line, "<looped> must be 0 or 1...");
                    return;
                }
                break;
            case 6:
                request.direction = compiler::toIntSaturated(v);
                if (request.direction < 0 || request.direction > 3) {
                    fail(line, "<direction> must be 0, 1, 2 or 3...");
                    return;
                }
                break;
            case 7: request.start = toInt64(v); break;
            case 8: request.end = toInt64(v); break;
            case 9: request.release = toInt64(v); break;
            case 10: request.loopStart = toInt64(v); break;
            case 11: request.loopEnd = toInt64(v); break;
            default: request.crossfades[i - 11] = compiler::toIntSaturated(v); break;
        }
    }
    switch (loadSampledSlot(bank, number, request, context, *line.log)) {
        case SampleLoadStatus::Created:
            compiler::logDirectiveSuccess(line, format("SAMPLE #%d correctly created.\r\n", number));
            break;
        case SampleLoadStatus::NotFound:
            fail(line, format("File \"%s\" not found...", request.fileName.c_str()));
            break;
        case SampleLoadStatus::InvalidFile:
            fail(line, format("File \"%s\": %s", request.fileName.c_str(), kInvalidFile));
            break;
        case SampleLoadStatus::ProcessingError:
            fail(line, format("Unknown error processing file \"%s\"...", request.fileName.c_str()));
            break;
    }
}

std::string folderOf(std::string_view path) {
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string_view::npos ? std::string() : std::string(path.substr(0, cut));
}

}  // namespace

void handleSampleDirective(const DirectiveLine& line, SampleBank& bank, const SampleContext& context) {
    if (!compiler::checkSection(line, "SAMPLE", compiler::SectionRule::CommonOnly)) return;
    if (line.counts.quotes % 2 != 0) {
        fail(line, "Unmatched quotes...");
        return;
    }
    if (line.counts.parentheses > 0) {
        fail(line, "Parenthesis not allowed...");
        return;
    }
    const std::vector<std::string> params = compiler::splitParameters(line, "SAMPLE");
    if (params.empty()) {
        fail(line, "Parameter 1 MUST be valid numeric constant...");
        return;
    }
    double value = 0.0;
    if (!numeric(line, params, 0, value)) return;
    const int number = compiler::toIntSaturated(value);
    if (!SampleBank::valid(number)) {
        fail(line, format("<slot_number> must be between 0 and %d...", SampleBank::kSlots - 1));
        return;
    }
    if (params.size() == 1) {
        deleteSlot(line, bank, number);
    } else if (quoted(params[1])) {
        if (context.instrumentFolder.empty()) {
            SampleContext withFolder = context;
            withFolder.instrumentFolder = folderOf(line.fileName);
            sampled(line, bank, number, params, withFolder);
        } else {
            sampled(line, bank, number, params, context);
        }
    } else {
        additive(line, bank, number, params);
    }
}

void installSampleDirective(compiler::InstrumentCompiler& compiler, SampleBank& bank, SampleContext& context) {
    if (context.userFolder.empty()) context.userFolder = compiler.userFolder();
    const compiler::CommonSettings* settings = &compiler.settings();
    compiler.directives().setHandler("SAMPLE", [&bank, &context, settings](const DirectiveLine& line) {
        context.halfWidth = settings->quality.zeroCrossings;
        handleSampleDirective(line, bank, context);
    });
}

bool loadPanelSample(SampleBank& bank, int slot, const SampleRequest& request, const SampleContext& context,
                     Log& log, SamplePanelRecord& record) {
    SamplePositions p;
    const SampleLoadStatus status = loadSampledSlot(bank, slot, request, context, log, &p);
    const char* name = request.fileName.c_str();
    switch (status) {
        case SampleLoadStatus::Created: break;
        case SampleLoadStatus::NotFound:
            log.append(Log::kMain, format("************ ERROR: SAMPLEUI. File \"%s\" not found...\r\n", name));
            return false;
        case SampleLoadStatus::InvalidFile:
            log.append(Log::kMain, format("************ ERROR: SAMPLEUI. File \"%s\": %s\r\n", name, kInvalidFile));
            return false;
        case SampleLoadStatus::ProcessingError:
            log.append(Log::kMain,
                       format("************ ERROR: SAMPLEUI. Unknown error processing file \"%s\"...\r\n", name));
            return false;
    }
    SamplePanelRecord r;
    r.valid = 1;
    std::snprintf(r.fileName, sizeof r.fileName, "%s", name);
    // The real start and end frames, so that a sample read from the middle of a file comes
    // back the same (for a start of 0 the end is the length read).
    r.start = p.start;
    r.end = p.end;
    r.loopStart = p.loopStart - p.start;
    r.loopEnd = p.loopEnd - p.start;
    r.release = p.release >= p.start && p.release <= p.end ? p.release - p.start : SampleSlot::kNoRelease;
    r.centreNote = request.centreNote;
    r.direction = request.direction;
    r.looped = request.looped;
    for (int i = 0; i < 3; ++i) r.crossfades[i] = request.crossfades[static_cast<std::size_t>(i)];
    r.normalisation = request.normalisation;
    r.slot = slot;
    record = r;
    if (log.debugLevel > 1) log.append(Log::kMain, format("SAMPLE #%d correctly created.\r\n", slot));
    return true;
}

SampleRequest panelRequest(const SamplePanelRecord& record) {
    SampleRequest request;
    const char* end = std::find(record.fileName, record.fileName + sizeof record.fileName - 1, '\0');
    request.fileName.assign(record.fileName, end);
    request.normalisation = record.normalisation;
    request.centreNote = record.centreNote;
    request.looped = record.looped;
    request.direction = record.direction;
    request.start = record.start;
    request.end = record.end;
    // Loop and release are kept relative to the start; a release outside the range is none.
    const auto fromStart = [&record](std::int64_t offset) {
        const bool fits = offset >= 0 && offset <= SampleSlot::kNoRelease && record.start >= 0 &&
                          record.start <= SampleSlot::kNoRelease;
        return fits ? record.start + offset : SampleSlot::kNoRelease;
    };
    request.loopStart = fromStart(record.loopStart);
    request.loopEnd = fromStart(record.loopEnd);
    request.release = record.release == SampleSlot::kNoRelease ? SampleSlot::kNoRelease : fromStart(record.release);
    for (int i = 0; i < 3; ++i) request.crossfades[static_cast<std::size_t>(i)] = record.crossfades[i];
    return request;
}

}  // namespace tess
