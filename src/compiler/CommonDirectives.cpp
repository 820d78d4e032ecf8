#include "compiler/CommonDirectives.h"

#include <algorithm>

#include "compiler/Diagnostics.h"
#include "compiler/DirectiveRules.h"

namespace tess::compiler {

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

void installCommonDirectives(DirectiveDispatch& dispatch, CommonSettings& settings) {
    dispatch.setHandler("DEBUG", [](const DirectiveLine& line) { handleDebug(line); });
    dispatch.setHandler("VSTVARS", [&settings](const DirectiveLine& line) { handleVstVars(line, settings); });
}

}  // namespace tess::compiler
