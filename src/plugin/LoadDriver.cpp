// loadInstrument: the one way an instrument file becomes the running sound. It decides
// whether a compile is needed, returns the instrument to its defaults, compiles Settings.ini
// and then the file, and hands the host its parameter values again; a restore also puts back
// what a saved state holds.
#include <algorithm>
#include <chrono>
#include <optional>

#include "compiler/InstrumentCompiler.h"
#include "compiler/Text.h"
#include "editor/TessarineEditor.h"
#include "platform/Platform.h"
#include "plugin/InstrumentBuild.h"
#include "plugin/Tessarine.h"
#include "samples/SampleDirective.h"
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
std::string Tessarine::resolveInstrumentPath(const std::string& path, Log& buildLog) {
    if (platform::fileExists(path)) return path;
    const std::string inUserFolder = userFolder + platform::pathSeparator() + path;
    if (platform::fileExists(inUserFolder)) return inUserFolder;
    std::string folder, name;
    splitPath(path, folder, name);
    if (!folder.empty() && !name.empty()) {
        const std::string sameName = userFolder + platform::pathSeparator() + name;
        if (platform::fileExists(sameName)) {
            buildLog.appendf(Log::kMain,
                             "Instrument file \"%s\" not found; loading \"%s\" from the per-user folder instead.\r\n",
                             path.c_str(), sameName.c_str());
            return sameName;
        }
    }
    return path;
}

// Compiles Settings.ini and the file into a build of their own while the instrument in place
// keeps playing; nothing the audio thread reads is touched.
std::unique_ptr<InstrumentBuild> Tessarine::buildInstrument(const std::string& path) {
    std::unique_ptr<InstrumentBuild> build = std::move(spareBuild_);
    if (!build) build = std::make_unique<InstrumentBuild>(userFolder, numVstVars);
    build->log->debugLevel = loadDebugLevel;
    if (!reloadNotice_.empty()) build->log->append(Log::kMain, reloadNotice_);
    compiler::resetCommonSettings(build->compiler->instrument().common, editorWidth, editorHeight, numVstVars);
    build->compiler->reset();
    build->sampleContext.instrumentFolder = sampleContext.instrumentFolder;
    build->path = path;
    build->folder = instrumentFolder;
    build->fileName = instrumentFileName;

    platform::deleteFile(build->compiler->lastFilePath());
    build->compiler->compileFile(compiler::InstrumentCompiler::kSettingsLevel, settingsPath(userFolder));
    if (!path.empty()) {
        build->resolvedPath = resolveInstrumentPath(path, *build->log);
        splitPath(build->resolvedPath, build->folder, build->fileName);
        build->sampleContext.instrumentFolder = build->folder;
        build->fileRead = build->compiler->compileFile(0, build->resolvedPath);
    }  // an empty path keeps the stored path, folder and file name (and so the program name)
    platform::deleteFile(build->compiler->lastFilePath());
    const compiler::QualitySettings& quality = build->compiler->instrument().common.quality;
    InterpolationKernel& kernel = build->kernel;
    if (kernel.size() != quality.tableSize || kernel.halfWidth() != quality.zeroCrossings ||
        kernel.windowType() != quality.windowType || kernel.exponent() != quality.windowParameter)
        kernel.build(quality.tableSize, quality.zeroCrossings, quality.windowType, quality.windowParameter);
    return build;
}

// Puts a build in place of the running instrument; the caller holds the audio thread off.
// With `keep`, what the player set stays wherever the file sets what it set at the last load.
void Tessarine::installBuild(InstrumentBuild& build, bool restore, bool keep) {
    const PlayerState player = readPlayerState(engine.controllers, notes.temperament(), parameters);

    // The log of the compile: a new log, or appended to the old one by a restore.
    if (!restore) log.clear();
    log.main.append(build.log->main.view());
    log.program.append(build.log->program.view());
    log.debugLevel = build.log->debugLevel;
    log.changed = 1;

    for (int v = 0; v < VoiceTable::kCount; ++v) engine.voices[v].frequency = 0.0f;
    engine.controllers.resetForLoad();
    notes.resetForLoad();
    parameters.copyFrom(build.parameters);
    for (const InstrumentBuild::ControllerWrite& write : build.controllerWrites) {
        if (write.startValue)
            engine.controllers.setStartValue(write.controller, write.value);
        else
            engine.controllers.setCurrent(write.controller, write.value);
    }

    compiler.swap(build.compiler);
    compilerLog_.swap(build.log);
    samples.swap(build.samples);
    sampleContext = build.sampleContext;
    engine.samples = samples.get();
    // The handlers of the compiler now in place act on the plug-in's own tables from now on.
    installSampleDirective(*compiler, *samples, sampleContext);
    installControllerDirectives();
    if (!build.path.empty()) instrumentPath = build.path;
    instrumentFolder = build.folder;
    instrumentFileName = build.fileName;

    std::swap(engine.kernel, build.kernel);
    engine.installInstrument(compiler->instrument());
    notes.installInstrument(compiler->instrument());
    // Every declared parameter is readable as MCC 600 + n, also one the host is not shown.
    for (int i = 0; i < HostParameterTable::kCount; ++i) {
        engine.controllers.setVstVarScaleType(i, static_cast<std::int16_t>(parameters.scaleType(i)));
        engine.controllers.setVstVar(i, parameters.internalValue(i));
    }
    for (const InstrumentBuild::ParameterChange& change : build.parameterChanges) {
        restoreFlag.store(1, std::memory_order_relaxed);
        if (change.automated) callHost(vst::audioMasterAutomate, change.index, 0, nullptr, change.host);
    }
    if (tessarineEditor_ != nullptr)
        tessarineEditor_->setSize(compiler->instrument().common.editorWidth,
                                  compiler->instrument().common.editorHeight);

    const FileValues fileValues = readFileValues(engine.controllers, notes.temperament(), parameters);
    if (keep && fileValues_.valid) keepPlayerState(fileValues_, fileValues, player);
    fileValues_ = fileValues;
    loadedFile_ = build.resolvedPath;
}

// A reload of the same file: each value the file sets as it did at the last load goes back to
// where the player or host had moved it.
void Tessarine::keepPlayerState(const FileValues& before, const FileValues& now, const PlayerState& player) {
    ControllerSpace& controllers = engine.controllers;
    for (int n = 0; n < ControllerSpace::kControllers; ++n) {
        const std::size_t i = static_cast<std::size_t>(n);
        if (playerController(n) && before.controllers[i] == now.controllers[i])
            controllers.setStartValue(n, player.controllers[i]);
    }
    for (int key = 0; key < ControllerSpace::kKeys; ++key)
        controllers.writeMidi(mcc::kPolyAftertouchBase + key, player.polyAftertouch[static_cast<std::size_t>(key)], 0);
    const PedalState& held = player.pedals;
    controllers.pedals.pedalAll = held.pedalAll;
    controllers.pedals.pedalRange = held.pedalRange;
    controllers.pedals.sostenutoAll = held.sostenutoAll;
    controllers.pedals.sostenutoRange = held.sostenutoRange;

    const compiler::KeyswitchTable& keyswitches = compiler->instrument().keyswitches;
    for (int k = 0; k < keyswitches.count; ++k) {
        const compiler::Keyswitch& ks = keyswitches.entries[static_cast<std::size_t>(k)];
        bool unchanged = fitsKeyswitch(ks, player.keyswitches);
        for (int key = 0; key < ControllerSpace::kKeys && unchanged; ++key)
            if (keyswitches.owner[static_cast<std::size_t>(key)] == k)
                unchanged = before.keyswitches[static_cast<std::size_t>(key)] == now.keyswitches[static_cast<std::size_t>(key)];
        if (!unchanged) continue;
        for (int key = 0; key < ControllerSpace::kKeys; ++key)
            if (keyswitches.owner[static_cast<std::size_t>(key)] == k)
                controllers.setKeyswitch(key, player.keyswitches[static_cast<std::size_t>(key)]);
    }
    if (before.temperament == now.temperament) notes.selectTemperament(player.temperament);

    for (int p = 0; p < HostParameterTable::kCount; ++p) {
        const std::size_t i = static_cast<std::size_t>(p);
        if (before.parameters[i] == now.parameters[i] && player.parameters[i] != now.parameters[i])
            parameters.setHostValue(p, player.parameters[i]);
    }
}

bool Tessarine::loadInstrument(const std::string& requestedPath, int mode) {
    // One load at a time: the editor, the host (setChunk, the vendor request) and the file
    // watcher may each start one. The audio thread never takes this lock.
    std::lock_guard<std::recursive_mutex> serial(loadMutex);
    const std::string path = compiler::equalsIgnoreCase(requestedPath, "?") ? std::string() : requestedPath;
    const bool restore = mode == -1;
    const bool compile = restore || (mode != 0 && !compiler::equalsIgnoreCase(path, instrumentPath));
    const bool editorOpen = tessarineEditor_ != nullptr && tessarineEditor_->isOpen();
    bool fileRead = false;

    // A restore gives back the values set last by the host or by a saved state.
    if (restore && !restoringChunk_)
        for (int i = 0; i < HostParameterTable::kCount; ++i) staged_.parameters[i] = parameters.hostValue(i);

    // The new instrument is compiled and its samples loaded while the old one plays on.
    std::unique_ptr<InstrumentBuild> build;
    std::vector<platform::FileWatcher::KnownStamp> watchedBefore;
    if (compile) {
        // A file saved while the load reads it is still reported afterwards.
        for (const std::string& file : watchedFiles_) watchedBefore.emplace_back(file, platform::stampOf(file));
        build = buildInstrument(path);
        fileRead = build->fileRead;
        if (restore) restorePanelSamples(*build->samples, build->sampleContext, build->compiler->instrument(), *build->log);
    }
    const bool keep = compile && !restore && !path.empty() && fileValues_.valid &&
                      compiler::equalsIgnoreCase(build->resolvedPath, loadedFile_);

    {
        // The old sound fades out and ends at a block boundary; only the install below holds the
        // audio thread off. An effect leaves the host's signal as it is, so it does not fade.
        bool faded = false;
        if (compile && !isEffect && swap_.audioRunning()) {
            // The fade ends with the block after next at the latest; a host that stops calling
            // meanwhile gets the new instrument installed all the same.
            const double block = std::clamp<double>(blockSize, 1.0, 8192.0) / std::max(1.0f, sampleRate);
            const auto timeout = std::chrono::milliseconds(50 + static_cast<int>(3000.0 * block));
            faded = swap_.fadeOut(timeout);
        }
        std::optional<AudioThreadGuard::LoadScope> load;
        if (compile) {
            load.emplace(audioGuard);
            installBuild(*build, restore, keep);
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
        if (compile) swap_.installed(faded || swap_.audioRunning());
    }
    // The previous instrument and its samples go only now, after the swap; the build keeps its
    // empty tables for the next load.
    if (build) {
        build->recycle();
        spareBuild_ = std::move(build);
    }

    if (editorOpen) {
        if (!compile) log.changed = 1;
        tessarineEditor_->instrumentLoaded();
        if (restore && log.debugLevel >= 2) appendLog(Log::kMain, "Slider positions restored.\r\n");
        // An instrument that does not ask for a log runs without one while its window shows.
        if (log.debugLevel == 0) log.debugLevel = -1;
    }
    if (compile) watchInstrumentFiles(watchedBefore);
    return fileRead;
}

}  // namespace tess
