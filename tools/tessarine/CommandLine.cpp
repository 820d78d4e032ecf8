#include "tessarine/CommandLine.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace tess::tool {
namespace {

constexpr long long kMinRate = 1000;
constexpr long long kMaxRate = 768000;
constexpr long long kMaxBlock = 1 << 20;
constexpr double kMaxSeconds = 24.0 * 3600.0;

}  // namespace

bool parseInteger(const std::string& text, long long minimum, long long maximum, long long& value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end != text.c_str() + text.size() || parsed < minimum || parsed > maximum) return false;
    value = parsed;
    return true;
}

bool parseReal(const std::string& text, double minimum, double maximum, double& value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const double parsed = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(parsed) || parsed < minimum ||
        parsed > maximum)
        return false;
    value = parsed;
    return true;
}

bool wantsHelp(const std::vector<std::string>& args) {
    for (const std::string& arg : args)
        if (arg == "--help" || arg == "-h") return true;
    return false;
}

bool parseRenderArguments(const std::vector<std::string>& args, RenderOptions& options, std::string& error) {
    options = RenderOptions{};
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool inlineValue = false;
        if (name.rfind("--", 0) == 0) {
            const std::size_t equals = name.find('=');
            if (equals != std::string::npos) {
                value = name.substr(equals + 1);
                name.erase(equals);
                inlineValue = true;
            }
        }
        if (name == "--pcm16" || name == "--watch") {
            if (inlineValue) {
                error = name + " takes no value";
                return false;
            }
            (name == "--pcm16" ? options.pcm16 : options.realTime) = true;
            continue;
        }
        const bool known = name == "--plugin" || name == "--instrument" || name == "--midi" || name == "--input" ||
                           name == "--seconds" || name == "--rate" || name == "--block" || name == "--tempo" ||
                           name == "--param" || name == "--load-state" || name == "--save-state" || name == "-o" ||
                           name == "--output";
        if (!known) {
            error = name.rfind("-", 0) == 0 ? "unknown option " + name : "unexpected argument " + name;
            return false;
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return false;
            }
            value = args[++i];
        }
        if (value.empty()) {
            error = name + " needs a value";
            return false;
        }

        long long integer = 0;
        double real = 0.0;
        if (name == "--plugin") {
            options.plugin = value;
        } else if (name == "--instrument") {
            options.instrument = value;
        } else if (name == "--midi") {
            options.midi = value;
        } else if (name == "--input") {
            options.input = value;
        } else if (name == "--load-state") {
            options.loadState = value;
        } else if (name == "--save-state") {
            options.saveState = value;
        } else if (name == "-o" || name == "--output") {
            options.output = value;
        } else if (name == "--seconds") {
            if (!parseReal(value, 0.0, kMaxSeconds, real) || real <= 0.0) {
                error = "--seconds needs a length above 0 and at most 86400, not '" + value + "'";
                return false;
            }
            options.seconds = real;
        } else if (name == "--rate") {
            if (!parseInteger(value, kMinRate, kMaxRate, integer)) {
                error = "--rate needs a whole number of Hz from 1000 to 768000, not '" + value + "'";
                return false;
            }
            options.sampleRate = static_cast<int>(integer);
        } else if (name == "--block") {
            if (!parseInteger(value, 1, kMaxBlock, integer)) {
                error = "--block needs a whole number of frames from 1 to 1048576, not '" + value + "'";
                return false;
            }
            options.blockSize = static_cast<int>(integer);
        } else if (name == "--tempo") {
            if (!parseReal(value, 1.0, 1000.0, real)) {
                error = "--tempo needs beats per minute from 1 to 1000, not '" + value + "'";
                return false;
            }
            options.tempo = real;
        } else if (name == "--param") {
            const std::size_t equals = value.find('=');
            if (equals == std::string::npos || !parseInteger(value.substr(0, equals), 0, 1 << 20, integer) ||
                !parseReal(value.substr(equals + 1), 0.0, 1.0, real)) {
                error = "--param needs INDEX=VALUE with VALUE from 0 to 1, not '" + value + "'";
                return false;
            }
            options.parameters.emplace_back(static_cast<int>(integer), static_cast<float>(real));
        }
    }
    if (options.output.empty()) {
        error = "no output file (-o OUT.wav)";
        return false;
    }
    return true;
}

}  // namespace tess::tool
