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

int countOccurrences(std::string_view text, std::string_view what) {
    int count = 0;
    for (std::size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + what.size()))
        ++count;
    return count;
}

std::string withoutCarriageReturns(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text)
        if (c != '\r') result += c;
    return result;
}

}  // namespace

int countRejections(std::string_view log) {
    return countOccurrences(log, "************ Line ") + countOccurrences(log, "FATAL ERROR") +
           countOccurrences(log, "**************** ERROR");
}

int runCheck(const std::string& file, int debugLevel, std::ostream& out, std::ostream& err) {
    std::unique_ptr<Tessarine> plugin(createEffectInstance(&checkHost));
    std::string readable = file;
    if (!platform::fileExists(readable)) readable = plugin->userFolder + platform::pathSeparator() + file;
    std::FILE* probe = platform::openFile(readable, "rb");
    if (probe == nullptr) {
        err << "tessarine check: cannot read \"" << file << "\"\n";
        return kExitUnreadable;
    }
    std::fclose(probe);

    plugin->loadDebugLevel = debugLevel;
    plugin->selectInstrument(file);
    const std::string_view log = plugin->log.main.view();
    out << withoutCarriageReturns(log);
    out << "---- accepted lines ----\n" << withoutCarriageReturns(plugin->log.program.view());
    const int rejected = countRejections(log);
    out << "---- " << rejected << (rejected == 1 ? " line" : " lines") << " rejected ----\n";
    return rejected > 0 ? kExitFailure : kExitSuccess;
}

}  // namespace tess::tool
