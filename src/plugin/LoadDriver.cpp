// loadInstrument: the one way an instrument file becomes the running sound. It decides
// whether a compile is needed, returns the instrument to its defaults, compiles Settings.ini
// and then the file, and hands the host its parameter values again; a restore also puts back
// what a saved state holds.
#include <optional>

#include "compiler/InstrumentCompiler.h"
#include "compiler/Text.h"
#include "editor/TessarineEditor.h"
#include "platform/Platform.h"
#include "plugin/Tessarine.h"
#include "state/SettingsFile.h"

namespace tess {

namespace {

// Splits at the last separator of either kind.
void splitPath(const std::string& path, std::string& folder, std::string& name) {
    const std::size_t cut = path.find_last_of("/\\");
    if (cut == std::string::npos) {
        folder.clear();
        name = path;
    } else {
        folder = path.substr(0, cut);
        name = path.substr(cut + 1);
    }
}

}  // namespace

// The name as written, else the per-user folder and the name. A path that names a folder no
// longer there (a project from another machine, or moved instruments) falls back to the file of
// the same name in the per-user folder, and the log says which file was loaded instead.
std::string Tessarine::resolveInstrumentPath(const std::string& path) {
    if (platform::fileExists(path)) return path;
    const std::string inUserFolder = userFolder + platform::pathSeparator() + path;
    if (platform::fileExists(inUserFolder)) return inUserFolder;
    std::string folder, name;
    splitPath(path, folder, name);
    if (!folder.empty() && !name.empty()) {
        const std::string sameName = userFolder + platform::pathSeparator() + name;
        if (platform::fileExists(sameName)) {
            log.appendf(Log::kMain, "Instrument file \"%s\" not found; loading \"%s\" from the per-user folder instead.\r\n",
                        path.c_str(), sameName.c_str());
            return sameName;
        }
    }
    return path;
}

void Tessarine::resetForLoad() {
    log.debugLevel = loadDebugLevel;
    compiler::resetCommonSettings(compiler->instrument().common, editorWidth, editorHeight, numVstVars);
    for (int v = 0; v < VoiceTable::kCount; ++v) engine.voices[v].frequency = 0.0f;
    engine.controllers.resetForLoad();
    samples->reset();
    engine.kernel.buildDefault();
    notes.resetForLoad();
    parameters.reset();
    compiler->reset();
}

// Steps of a compiling load; the caller holds the audio thread off.
void Tessarine::compileInstrument(const std::string& path, bool& fileRead) {
    resetForLoad();
    platform::deleteFile(compiler->lastFilePath());
    compiler->compileFile(compiler::InstrumentCompiler::kSettingsLevel, settingsPath(userFolder));
    if (!path.empty()) {
        const std::string resolved = resolveInstrumentPath(path);
        splitPath(resolved, instrumentFolder, instrumentFileName);
        sampleContext.instrumentFolder = instrumentFolder;
        instrumentPath = path;
        fileRead = compiler->compileFile(0, resolved);
    }  // an empty path keeps the stored path, folder and file name (and so the program name)
    platform::deleteFile(compiler->lastFilePath());
    const compiler::QualitySettings& quality = compiler->instrument().common.quality;
    engine.kernel.build(quality.tableSize, quality.zeroCrossings, quality.windowType, quality.windowParameter);
    engine.installInstrument(compiler->instrument());
    notes.installInstrument(compiler->instrument());
    // Every declared parameter is readable as MCC 600 + n, also one the host is not shown.
    for (int i = 0; i < HostParameterTable::kCount; ++i) {
        engine.controllers.setVstVarScaleType(i, static_cast<std::int16_t>(parameters.scaleType(i)));
        engine.controllers.setVstVar(i, parameters.internalValue(i));
    }
    if (tessarineEditor_ != nullptr)
        tessarineEditor_->setSize(compiler->instrument().common.editorWidth,
                                  compiler->instrument().common.editorHeight);
}

bool Tessarine::loadInstrument(const std::string& requestedPath, int mode) {
    const std::string path = compiler::equalsIgnoreCase(requestedPath, "?") ? std::string() : requestedPath;
    const bool restore = mode == -1;
    const bool compile = restore || (mode != 0 && !compiler::equalsIgnoreCase(path, instrumentPath));
    const bool editorOpen = tessarineEditor_ != nullptr && tessarineEditor_->isOpen();
    bool fileRead = false;

    // A restore gives back the values set last by the host or by a saved state.
    if (restore && !restoringChunk_)
        for (int i = 0; i < HostParameterTable::kCount; ++i) staged_.parameters[i] = parameters.hostValue(i);

    {
        std::optional<AudioThreadGuard::LoadScope> load;
        if (compile) {
            load.emplace(audioGuard);
            if (!restore) log.clear();
            compileInstrument(path, fileRead);
        }

        // The host learns the parameter values again: as automation for a new file, so that it
        // records a change even when a value is unchanged.
        for (int i = 0; i < numVstVars && i < numParams; ++i) {
            const float value = restore ? staged_.parameters[static_cast<std::size_t>(i)] : getParameter(i);
            if (restore) {
                setParameter(i, value);
            } else if (mode == 1) {
                setParameterAutomated(i, 0.0f);
                setParameterAutomated(i, 1.0f);
                setParameterAutomated(i, value);
            } else {
                setParameter(i, 0.0f);
                setParameter(i, 1.0f);
                setParameter(i, value);
            }
        }
        if (compile) applyParameterChanges();  // the audio thread is held off: act on them now
        if (restore) restoreSavedState();
    }

    if (editorOpen) {
        if (!compile) log.changed = 1;
        tessarineEditor_->instrumentLoaded();
        if (restore && log.debugLevel >= 2) appendLog(Log::kMain, "Slider positions restored.\r\n");
        // An instrument that does not ask for a log runs without one while its window shows.
        if (log.debugLevel == 0) log.debugLevel = -1;
    }
    return fileRead;
}

}  // namespace tess
