#include "tessarine/Check.h"

#include <cstdio>
#include <memory>

#include "platform/Platform.h"
#include "plugin/CreateInstance.h"
#include "plugin/Tessarine.h"
#include "tessarine/ExitStatus.h"

namespace tess::tool {

namespace {

vst::VstIntPtr checkHost(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32, vst::VstIntPtr, void*, float) {
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

std::string withoutCarriageReturns(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text)
        if (c != '\r') result += c;
    return result;
}

constexpr std::string_view kLineHeader = "************ Line ";

// Does this log line open a rejection? The parser's own message line ("******************** ERROR")
// continues the header before it and opens nothing.
bool opensRejection(std::string_view line) {
    return line.starts_with(kLineHeader) || line.starts_with("**************** ERROR") ||
           line.starts_with("FATAL ERROR");
}

// Calls `visit(line)` for each line of `log` (line ends removed) until it returns false.
template <class Visit>
void forEachLine(std::string_view log, Visit visit) {
    while (!log.empty()) {
        const std::size_t end = log.find('\n');
        std::string_view line = log.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!visit(line)) return;
        if (end == std::string_view::npos) return;
        log.remove_prefix(end + 1);
    }
}

}  // namespace

int countRejections(std::string_view log) {
    int count = 0;
    forEachLine(log, [&count](std::string_view line) {
        if (opensRejection(line)) ++count;
        return true;
    });
    return count;
}

std::string firstRejection(std::string_view log) {
    std::string message;
    int linesLeft = 0;
    forEachLine(log, [&](std::string_view line) {
        if (linesLeft > 0) {
            message.append(line).append("\n");
            return --linesLeft > 0;
        }
        if (!opensRejection(line)) return true;
        message.append(line).append("\n");
        linesLeft = line.starts_with(kLineHeader) ? 2 : 0;
        return linesLeft > 0;
    });
    return message;
}

InstrumentCheck checkInstrument(const std::string& file, int debugLevel) {
    InstrumentCheck result;
    std::unique_ptr<Tessarine> plugin(createEffectInstance(&checkHost));
    std::string readable = file;
    if (!platform::fileExists(readable)) readable = plugin->userFolder + platform::pathSeparator() + file;
    std::FILE* probe = platform::openFile(readable, "rb");
    if (probe == nullptr) return result;
    std::fclose(probe);

    result.readable = true;
    plugin->loadDebugLevel = debugLevel;
    plugin->selectInstrument(file);
    const std::string_view log = plugin->log.main.view();
    result.log = withoutCarriageReturns(log);
    result.accepted = withoutCarriageReturns(plugin->log.program.view());
    result.rejected = countRejections(log);
    result.firstRejection = firstRejection(log);
    return result;
}

int runCheck(const std::string& file, int debugLevel, std::ostream& out, std::ostream& err) {
    const InstrumentCheck check = checkInstrument(file, debugLevel);
    if (!check.readable) {
        err << "tessarine check: cannot read \"" << file << "\"\n";
        return kExitUnreadable;
    }
    out << check.log;
    out << "---- accepted lines ----\n" << check.accepted;
    out << "---- " << check.rejected << (check.rejected == 1 ? " line" : " lines") << " rejected ----\n";
    return check.rejected > 0 ? kExitFailure : kExitSuccess;
}

}  // namespace tess::tool
