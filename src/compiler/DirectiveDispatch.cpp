#include "compiler/DirectiveDispatch.h"

#include <string>

#include "compiler/Diagnostics.h"
#include "compiler/DirectiveRules.h"
#include "compiler/Text.h"

namespace tess::compiler {

const std::vector<std::string_view>& DirectiveDispatch::keywords() {
    static const std::vector<std::string_view> chain = {
        "QUALITY",   "CURVE",     "FREQLFO",    "GAINLFO",   "FCLFO",    "PHASELFO",    "FREQENV",
        "GAINENV",   "FCENV",     "FREQMOD",    "GAINMOD",   "FCMOD",    "COMPLEXMOD",  "SAMPLEUI",
        "UIMOD",     "INTERFACE", "VSTVARS",    "TEMPERAMENT", "TEMPERAMENTCC", "VSTVAR", "MIDICC",
        "KEYSWITCH", "DEBUG",     "SAMPLE",     "POLY",      "SILTH",    "MIDICH",      "MAP",
        "VELOCITY",  "PITCH",     "TIMING",     "ARPEGGIO",  "CHORD",    "PEDAL",       "SOSTENUTO",
        "GROUP",     "BASEG",     "VELTRACK",   "BASEF",     "KEYTRACK", "KEYCENTER",   "XFADE",
        "SAMPLEOFF", "ONNOTEON",  "ONFIRST",    "ONLEGATO",  "ONRROBIN", "ONCHANNEL",   "ONMCCT",
        "OFFGROUP",  "OFFMCCT",
    };
    return chain;
}

DirectiveDispatch::DirectiveDispatch() : handlers_(keywords().size()) {}

bool DirectiveDispatch::setHandler(std::string_view keyword, DirectiveHandler handler) {
    const auto& chain = keywords();
    for (std::size_t i = 0; i < chain.size(); ++i)
        if (equalsIgnoreCase(chain[i], keyword)) {
            handlers_[i] = std::move(handler);
            return true;
        }
    return false;
}

bool DirectiveDispatch::hasHandler(std::string_view keyword) const {
    const auto& chain = keywords();
    for (std::size_t i = 0; i < chain.size(); ++i)
        if (equalsIgnoreCase(chain[i], keyword)) return static_cast<bool>(handlers_[i]);
    return false;
}

bool DirectiveDispatch::dispatch(const DirectiveLine& line) const {
    const auto& chain = keywords();
    for (std::size_t i = 0; i < chain.size(); ++i) {
        if (!matchKeyword(line.normalized, chain[i])) continue;
        if (handlers_[i]) {
            handlers_[i](line);
        } else {
            const std::string name(chain[i]);
            line.log->append(Log::kMain,
                             format("WARNING: %s directive not supported in this version, line ignored...\r\n", name.c_str()));
        }
        return true;
    }
    return false;
}

}  // namespace tess::compiler
