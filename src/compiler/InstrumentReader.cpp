// The reader: compileFile and everything that happens per line of an instrument file.
#include <cstring>
#include <vector>

#include "compiler/Diagnostics.h"
#include "compiler/DirectiveRules.h"
#include "compiler/InstrumentCompiler.h"
#include "compiler/LineNormalizer.h"
#include "compiler/OperationLimits.h"
#include "compiler/directives/LayerDirectives.h"
#include "compiler/directives/ModulationDirectives.h"
#include "platform/Platform.h"

namespace tess::compiler {

struct InstrumentCompiler::FileState {
    int level = 0;
    std::string path;
    int lineNumber = 0;
    LineCounts counts;
};

namespace {

constexpr std::size_t kBufferSize = 8192;  // one read takes at most 8191 bytes

const char* sectionWord(int section) {
    return section == kSectionCommon ? "COMMON" : section == kSectionPost ? "POST" : "LAYER";
}

}  // namespace

bool InstrumentCompiler::compileFile(int level, const std::string& path) {
    if (level > kMaxIncludeLevel) {
        log_.append(Log::kMain, "**************** ERROR: too many INCLUDE level. Check if there is a loop. Ignoring this file.\r\n");
        return false;
    }
    if (level >= 0) {
        log_.append(Log::kMain, "**** Opening file ");
        log_.append(Log::kMain, "\"" + path + "\"");
        log_.append(Log::kMain, "...\r\n");
    }
    std::FILE* handle = platform::openRegularFile(path);
    if (handle == nullptr) {
        if (level >= -1000)
            log_.append(Log::kMain, "**************** ERROR: file \"" + path +
                                        "\" does not exist or can not open for reading. Skipping file...\r\n");
        return false;
    }
    if (level > kLastLevel) filesRead_.push_back(path);

    FileState file;
    file.level = level;
    file.path = path;
    std::vector<char> buffer(kBufferSize);
    bool completed = true;
    for (;;) {
        std::memset(buffer.data(), 0, buffer.size());
        if (std::fgets(buffer.data(), static_cast<int>(buffer.size()), handle) == nullptr) break;
        // Carriage returns and line feeds end the text, as does a NUL byte inside the line.
        const std::size_t length = std::strcspn(buffer.data(), "\r\n");
        if (!processLine(file, std::string(buffer.data(), length))) {
            completed = false;
            break;
        }
    }
    if (completed) changeSection(file, SectionKeyword::EndOfFile, {}, {});
    std::fclose(handle);
    if (completed && level >= 0)
        log_.append(Log::kMain, format("**** Line %d, End of File \"%s\"...\r\n", file.lineNumber, path.c_str()));
    return true;
}

bool InstrumentCompiler::processLine(FileState& file, const std::string& raw) {
    ++file.lineNumber;
    std::string normalized(raw);
    normalizeLine(normalized, static_cast<int>(raw.size()), 0, file.counts);
    const LineCounts& counts = file.counts;

    if (file.lineNumber == 1 && log_.debugLevel > 1)
        log_.append(Log::kMain, format("Line 1, Start of %s section...\r\n", sectionWord(section_)));
    if (section_ + 1 >= kLayerCapacity) {
        log_.append(Log::kMain, format("\r\n*******************\r\nFATAL ERROR: limit of %d LAYERs reached (including POST "
                                       "step)\r\n*******************\r\n",
                                       kLayerCapacity));
        return false;
    }

    const SourceLine line{file.lineNumber, file.path, raw};
    if (counts.quotes % 2 != 0) {
        reportLineError(log_, line, format("ERROR: unmatched quotes (%d)...\r\n", counts.quotes));
        return true;
    }
    if (counts.parentheses % 2 != 0 || counts.parentheses > 4095) {
        reportLineError(log_, line, "ERROR: unmatched parenthesis...\r\n");
        return true;
    }
    if (counts.equals > 1) {
        reportLineError(log_, line, format("ERROR: too many equal signs (%d)...\r\n", counts.equals));
        return true;
    }
    const std::string_view visible = trimBlanks(normalized);
    if (!visible.empty() && (visible.front() == '=' || visible.back() == '=')) {
        reportLineError(log_, line, "ERROR: equal sign can not be first or last character...\r\n");
        return true;
    }
    if (normalized.empty() || normalized[0] == '$') return true;

    if (matchKeyword(normalized, "LAST")) {
        handleLast(file, normalized, raw);
        return true;
    }
    if (matchKeyword(normalized, "INCLUDE")) {
        handleInclude(file, normalized, raw);
        return true;
    }
    DirectiveLine directive;
    directive.normalized = normalized;
    directive.raw = raw;
    directive.lineNumber = file.lineNumber;
    directive.fileName = file.path;
    directive.section = section_;
    directive.counts = counts;
    directive.log = &log_;
    if (directives_.dispatch(directive)) return true;
    if (matchKeyword(normalized, "LAYER")) return changeSection(file, SectionKeyword::Layer, normalized, raw);
    if (matchKeyword(normalized, "POST")) return changeSection(file, SectionKeyword::Post, normalized, raw);
    staging_.compileStatement(raw, file.lineNumber, file.path);
    return true;
}

bool InstrumentCompiler::changeSection(FileState& file, SectionKeyword keyword, std::string_view normalized,
                                       std::string_view raw) {
    // LAST.txt only adds lines to the layer it is compiled into.
    if (file.level < -1000) return false;
    if (keyword == SectionKeyword::EndOfFile && section_ == kSectionCommon) return true;

    const SourceLine line{file.lineNumber, file.path, raw};
    if (keyword != SectionKeyword::EndOfFile) {
        const std::string_view name = keyword == SectionKeyword::Post ? "POST" : "LAYER";
        if (!trimBlanks(normalized.substr(std::min(normalized.size(), name.size() + 1))).empty()) {
            const std::string shown(name);
            reportLineError(log_, line, format("ERROR: %s. No symbols allowed after keyword...\r\n", shown.c_str()));
            return true;
        }
    }
    if (keyword == SectionKeyword::Post) {
        if (section_ != kSectionCommon) {
            reportLineError(log_, line, "ERROR: POST only after COMMON section...\r\n");
            return true;
        }
        if (log_.debugLevel > 1) log_.append(Log::kMain, format("Line %d, End of COMMON section...\r\n", file.lineNumber));
        staging_.markCommonEnd();
        section_ = kSectionPost;
        if (file.level >= 0 || log_.debugLevel > 1)
            log_.append(Log::kMain, format("Line %d, Start of POST section...\r\n", file.lineNumber));
        instrument_.post.settings = LayerSettings{};
        return true;
    }

    // LAYER, or the end of a file in POST or in a LAYER.
    if (section_ >= 0 && section_ + 1 < kLayerCapacity && !lastUnwritten_) compileFile(kLastLevel, lastFilePath());
    if (log_.debugLevel > 1) {
        if (section_ == kSectionCommon)
            log_.append(Log::kMain, format("Line %d, End of COMMON section...\r\n", file.lineNumber));
        else if (section_ == kSectionPost)
            log_.append(Log::kMain, format("Line %d, End of POST section...\r\n", file.lineNumber));
        else
            log_.append(Log::kMain, format("Line %d, End of LAYER %d...\r\n", file.lineNumber, section_));
    }
    if (section_ == kSectionCommon) {
        staging_.markCommonEnd();
    } else if (section_ == kSectionPost) {
        staging_.finishSection(kSectionPost, instrument_.post, &instrument_.postFrequency);
    } else if (section_ < kLayerCapacity) {
        finishLayerSettings(instrument_, section_);
        finishLayerModulation(instrument_, section_);
        staging_.finishSection(section_, instrument_.layerForWriting(section_));
        instrument_.layerCount = std::max(instrument_.layerCount, section_ + 1);
    }
    section_ = section_ < 0 ? 0 : section_ + 1;
    if (log_.debugLevel > 1 && keyword != SectionKeyword::EndOfFile)
        log_.append(Log::kMain, format("Line %d, Start of LAYER %d...\r\n", file.lineNumber, section_));
    staging_.cutBackToCommon();
    if (section_ < kLayerCapacity) startLayerSettings(instrument_, section_);
    return true;
}

void InstrumentCompiler::handleLast(FileState& file, std::string_view normalized, std::string_view raw) {
    if (section_ != kSectionCommon) {
        reportLineError(log_, {file.lineNumber, file.path, raw}, "ERROR: LAST construct only in COMMON section...\r\n");
        return;
    }
    std::FILE* last = platform::openFile(lastFilePath(), "ab");
    bool written = last != nullptr;
    if (last != nullptr) {
        const std::string_view rest = normalized.substr(std::min<std::size_t>(normalized.size(), 5));
        written = std::fwrite(rest.data(), 1, rest.size(), last) == rest.size() && std::fwrite("\r\n", 1, 2, last) == 2;
        written = std::fclose(last) == 0 && written;
    }
    if (!written && !lastUnwritten_) {
        lastUnwritten_ = true;
        reportLineError(log_, {file.lineNumber, file.path, raw},
                        format("ERROR: LAST. Can't write %s: the LAST lines are left out...\r\n", lastFilePath().c_str()));
    }
}

void InstrumentCompiler::handleInclude(FileState& file, std::string_view normalized, std::string_view raw) {
    const SourceLine line{file.lineNumber, file.path, raw};
    if (section_ != kSectionCommon) {
        reportLineError(log_, line, "ERROR: INCLUDE only in COMMON section...\r\n");
        return;
    }
    const std::string_view rest = normalized.substr(std::min<std::size_t>(normalized.size(), 8));
    if (rest.empty() || rest.front() != '"' || file.counts.quotes != 2) {
        reportLineError(log_, line, "ERROR: invalid INCLUDE syntax...\r\n");
        return;
    }
    const std::size_t close = rest.find('"', 1);
    std::string name(rest.substr(1, close - 1));
    if (!platform::fileExists(name)) {
        std::string inUserFolder = userFolder_ + platform::pathSeparator() + name;
        if (platform::fileExists(inUserFolder)) name = std::move(inUserFolder);
    }
    if (log_.debugLevel > 1)
        log_.append(Log::kMain, format("%.*s\": including file \"%s\".\r\nNesting level: %d.\r\n",
                                       static_cast<int>(raw.size()), raw.data(), name.c_str(), file.level + 1));
    if (++includedFiles_ > kMaxIncludedFiles) {
        log_.append(Log::kMain, "**************** ERROR: too many INCLUDE files. Check if there is a loop. Ignoring this file.\r\n");
        return;
    }
    const int level = file.level;
    compileFile(level + 1, name);
}

}  // namespace tess::compiler
