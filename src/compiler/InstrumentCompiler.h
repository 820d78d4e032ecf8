// The instrument compiler: reads instrument files (COMMON, POST and LAYER sections, INCLUDE and
// LAST), hands directive lines to the directive chain and statement lines to the operation
// compiler, and leaves the result in a CompiledInstrument.
//
// Use: construct once with the log and the per-user folder; for each load call reset(), then
// compileFile(-1, <user folder>/Settings.ini) and compileFile(0, <instrument file>); read
// instrument(). Later directive handlers are installed with directives().setHandler(...).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "common/Log.h"
#include "compiler/CompiledInstrument.h"
#include "compiler/DirectiveDispatch.h"
#include "compiler/OperationCompiler.h"

namespace tess::compiler {

class InstrumentCompiler {
public:
    // Level of Settings.ini and of LAST.txt.
    static constexpr int kSettingsLevel = -1;
    static constexpr int kLastLevel = -1001;
    // A load reads at most this many files through INCLUDE; beyond it an INCLUDE loop that
    // branches (a file including itself twice) would take exponential time.
    static constexpr int kMaxIncludedFiles = 4096;

    InstrumentCompiler(Log& log, std::string userFolder);
    // The installed directive handlers refer to this object's settings: it stays in place.
    InstrumentCompiler(const InstrumentCompiler&) = delete;
    InstrumentCompiler& operator=(const InstrumentCompiler&) = delete;

    // Empties the compiled instrument and the staging area; the current section becomes COMMON.
    // The COMMON directive settings return to their defaults, except the host parameter count
    // and the editor size, which are kept (a load sets them first with resetCommonSettings).
    void reset();

    // Compiles one file at the given include level; every outcome goes to the log. False when
    // the file could not be opened for reading.
    bool compileFile(int level, const std::string& path);

    // Compiles one statement line as the operation compiler would from a file.
    void compileStatement(std::string_view rawLine, int lineNumber = 1, std::string_view fileName = "");

    const CompiledInstrument& instrument() const { return instrument_; }
    CompiledInstrument& instrument() { return instrument_; }
    CommonSettings& settings() { return instrument_.common; }
    DirectiveDispatch& directives() { return directives_; }
    const OperationCompiler& staging() const { return staging_; }
    OperationCompiler& staging() { return staging_; }
    int currentSection() const { return section_; }
    const std::string& userFolder() const { return userFolder_; }
    std::string lastFilePath() const;
    // Every file opened since the last reset (Settings.ini, the instrument file and its
    // INCLUDEs; not LAST.txt), in the order they were opened.
    const std::vector<std::string>& filesRead() const { return filesRead_; }

private:
    struct FileState;
    enum class SectionKeyword { Post, Layer, EndOfFile };

    // false when the file must stop (section limit, or a section keyword in LAST.txt).
    bool processLine(FileState& file, const std::string& raw);
    bool changeSection(FileState& file, SectionKeyword keyword, std::string_view normalized, std::string_view raw);
    void handleLast(FileState& file, std::string_view normalized, std::string_view raw);
    void handleInclude(FileState& file, std::string_view normalized, std::string_view raw);

    Log& log_;
    std::string userFolder_;
    CompiledInstrument instrument_;
    OperationCompiler staging_;
    DirectiveDispatch directives_;
    int section_ = -2;
    int includedFiles_ = 0;
    std::vector<std::string> filesRead_;
    // A LAST line could not be written whole (a read-only or full per-user folder): LAST.txt is
    // left out of this load rather than compiled with a line cut short.
    bool lastUnwritten_ = false;
};

}  // namespace tess::compiler
