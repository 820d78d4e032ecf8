#include "compiler/InstrumentCompiler.h"

#include "compiler/CommonDirectives.h"
#include "compiler/OperationLimits.h"
#include "compiler/directives/KeyMappingDirectives.h"
#include "compiler/directives/LayerDirectives.h"
#include "compiler/directives/ModulationDirectives.h"
#include "platform/Platform.h"

namespace tess::compiler {

InstrumentCompiler::InstrumentCompiler(Log& log, std::string userFolder)
    : log_(log), userFolder_(std::move(userFolder)), staging_(log) {
    installCommonDirectives(directives_, instrument_);
    installNoteDirectives(directives_, instrument_);
    installLayerDirectives(directives_, instrument_);
    installModulationDirectives(directives_, instrument_);
}

void InstrumentCompiler::reset() {
    instrument_.clear();
    CommonSettings& common = instrument_.common;
    resetCommonSettings(common, common.editorWidth, common.editorHeight, common.numVstVars);
    staging_.reset();
    section_ = kSectionCommon;
    includedFiles_ = 0;
    filesRead_.clear();
    lastUnwritten_ = false;
}

std::string InstrumentCompiler::lastFilePath() const {
    return userFolder_ + platform::pathSeparator() + "LAST.txt";
}

void InstrumentCompiler::compileStatement(std::string_view rawLine, int lineNumber, std::string_view fileName) {
    staging_.compileStatement(rawLine, lineNumber, fileName);
}

}  // namespace tess::compiler
