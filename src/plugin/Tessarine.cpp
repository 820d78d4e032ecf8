#include "plugin/Tessarine.h"

#include <cstring>
#include <optional>

#include "common/DenormalGuard.h"
#include "compiler/InstrumentCompiler.h"
#include "editor/TessarineEditor.h"
#include "platform/Platform.h"
#include "plugin/EffectMode.h"
#include "plugin/HostTransport.h"
#include "plugin/InstrumentBuild.h"
#include "samples/SampleDirective.h"

namespace tess {

Tessarine::Tessarine(vst::AudioMasterCallback master, vst::VstInt32 programs,
                     vst::VstInt32 params, int width, int height)
    : AudioEffectX(master, programs, params),
      numVstVars(params),
      editorWidth(width),
      editorHeight(height) {
    userFolder = ".";

    isEffect = isEffectModuleName(platform::ownModulePath());
    isSynth(!isEffect);
    setUniqueID(isEffect ? kEffectId : kInstrumentId);

    userFolder = platform::userFolder();
    instrumentPath = "?";
    compiler = std::make_unique<compiler::InstrumentCompiler>(*compilerLog_, userFolder);
    compiler->settings().numVstVars = params;
    samples = std::make_unique<SampleBank>();
    installSampleDirective(*compiler, *samples, sampleContext);
    installControllerDirectives();
    notes.controllerListener = this;
    engine.samples = samples.get();
    engine.kernel.buildDefault();

    canProcessReplacing();
    programsAreChunks();
    setNumInputs(2);
    setNumOutputs(2);
    curProgram = 0;

    tessarineEditor_ = new TessarineEditor(this, width, height);
    setEditor(tessarineEditor_);
    hasEditor(TessarineEditor::canOpenWindow());

    log.clear();
    log.changed = 1;

    suspend();
    blockSize = kMaxBlockSize;
}

// The base class deletes the editor. The watcher stops first: a reload it is running ends
// while the whole object is still there.
Tessarine::~Tessarine() { close(); }

void Tessarine::close() {
    if (watcher_) watcher_->stop();
}

void Tessarine::suspend() {
    if (log.debugLevel > 0) appendLog(Log::kMain, "Suspend() called.\r\n");
    swap_.audioStopped();
    engine.suspend();
}

void Tessarine::resume() {
    suspend();
    engine.sampleRate = sampleRate;
    engine.resume();
    if (log.debugLevel > 0) appendLog(Log::kMain, "Resume() called.\r\n");
}

void Tessarine::processReplacing(float** inputs, float** outputs, vst::VstInt32 sampleFrames) {
    if (sampleFrames <= 0) return;
    const DenormalGuard floatMode;
    swap_.callbackStarted();
    AudioThreadGuard::AudioScope scope(audioGuard);
    // While a load installs the new instrument, or the old one has faded out and the new one
    // is not yet in place, there is nothing to render.
    if (!scope || (!isEffect && swap_.silent())) {
        // A load is rebuilding the instrument: an instrument outputs silence, an effect leaves
        // the host's buffers as they are.
        if (!isEffect && outputs != nullptr && outputs[0] != nullptr && outputs[1] != nullptr) {
            std::memset(outputs[0], 0, sizeof(float) * static_cast<std::size_t>(sampleFrames));
            std::memset(outputs[1], 0, sizeof(float) * static_cast<std::size_t>(sampleFrames));
        }
        return;
    }
    engine.sampleRate = sampleRate;
    applyParameterChanges();
    const std::optional<TransportInput> transport = transportFromHost(getTimeInfo(
        vst::kVstTempoValid | vst::kVstTimeSigValid | vst::kVstPpqPosValid | vst::kVstBarsValid));
    engine.process(inputs, outputs, sampleFrames, transport ? &*transport : nullptr, isEffect);
    if (!isEffect) swap_.shapeOutput(outputs, sampleFrames, sampleRate);
}

vst::VstInt32 Tessarine::processEvents(vst::VstEvents* events) {
    if (events == nullptr) return 1;
    const DenormalGuard floatMode;
    {
        // Nothing of the instrument is touched while a load rebuilds it.
        AudioThreadGuard::AudioScope scope(audioGuard);
        if (scope) {
            engine.sampleRate = sampleRate;
            if (notes.instrument() == nullptr) notes.installInstrument(compiler->instrument());
            applyParameterChanges();
            // Trigger rounding follows the host's timeline while its transport plays.
            const std::optional<TransportInput> transport =
                transportFromHost(getTimeInfo(vst::kVstTempoValid | vst::kVstTimeSigValid));
            const bool playing = transport && transport->playing;
            notes.processEvents(*events, playing ? transport->samplePosition : -1);
        }
    }
    // MIDI thru: the received list goes back to the host unchanged.
    sendVstEventsToHost(events);
    return 1;
}

void Tessarine::getProgramName(char* name) {
    vst::copyToHost(name, instrumentFileName.c_str(), vst::kVstMaxProgNameLen);
}

bool Tessarine::getEffectName(char* name) {
    vst::copyToHost(name, displayName(), vst::kVstMaxEffectNameLen);
    return true;
}

bool Tessarine::getVendorString(char* text) {
    vst::copyToHost(text, displayName(), vst::kVstMaxVendorStrLen);
    return true;
}

bool Tessarine::getProductString(char* text) {
    vst::copyToHost(text, displayName(), vst::kVstMaxProductStrLen);
    return true;
}

vst::VstInt32 Tessarine::canDo(char* text) {
    for (const char* ability : {"receiveVstMidiEvent", "sendVstMidiEvent", "receiveVstTimeInfo"})
        if (std::strcmp(text, ability) == 0) return 1;
    return -1;
}

bool Tessarine::selectInstrument(const std::string& path) {
    std::lock_guard<std::recursive_mutex> serial(loadMutex);
    const std::string chosen = path;  // `path` may be instrumentPath itself (a reload)
    instrumentPath = "?";
    restoreFlag = 0;
    return loadInstrument(chosen, 1);
}

vst::VstIntPtr Tessarine::vendorSpecific(vst::VstInt32 index, vst::VstIntPtr, void* ptr, float) {
    if (index != vst::kTessarineLoadInstrument || ptr == nullptr) return 0;
    return selectInstrument(static_cast<const char*>(ptr)) ? 1 : 0;
}

}  // namespace tess
