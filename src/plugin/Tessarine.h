// The host-facing plug-in object. It owns one instance's whole state and composes the
// subsystems: the log, the engine with its voices and controllers, the settings, and the
// editor.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/Log.h"
#include "common/Version.h"
#include "engine/Engine.h"
#include "midi/ControllerChangeListener.h"
#include "midi/NotePlayer.h"
#include "platform/FileWatcher.h"
#include "plugin/AudioThreadGuard.h"
#include "plugin/InstrumentSwap.h"
#include "plugin/PlayerState.h"
#include "samples/SampleBank.h"
#include "samples/SampleDirective.h"
#include "samples/SampleLoader.h"
#include "plugin/vst/AudioEffectX.h"
#include "state/ControllerDirectives.h"
#include "state/HostParameterTable.h"
#include "state/StateChunk.h"

namespace tess {

class TessarineEditor;
struct InstrumentBuild;
namespace compiler {
class InstrumentCompiler;
}

class Tessarine : public vst::AudioEffectX, private ControllerChangeListener {
public:
    static constexpr std::int32_t kInstrumentId = vst::fourCharCode('T', 's', 'r', 'n');
    static constexpr std::int32_t kEffectId = vst::fourCharCode('T', 's', 'r', 'e');
    static constexpr int kMaxBlockSize = 524288;

    Tessarine(vst::AudioMasterCallback audioMaster, vst::VstInt32 numPrograms,
              vst::VstInt32 numParams, int width, int height);
    ~Tessarine() override;

    // Lifecycle.
    void close() override;
    void suspend() override;
    void resume() override;

    // Audio.
    void processReplacing(float** inputs, float** outputs, vst::VstInt32 sampleFrames) override;
    void processDoubleReplacing(double**, double**, vst::VstInt32) override {}
    vst::VstInt32 processEvents(vst::VstEvents* events) override;

    // Names and abilities.
    void getProgramName(char* name) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    vst::VstInt32 getVendorVersion() override { return kVendorVersion; }
    vst::VstInt32 canDo(char* text) override;
    vst::VstInt32 getNumMidiInputChannels() override { return 16; }
    vst::VstInt32 getNumMidiOutputChannels() override { return 16; }
    vst::VstIntPtr vendorSpecific(vst::VstInt32 index, vst::VstIntPtr value, void* ptr,
                                  float opt) override;

    // Host parameters. setParameter may come from any thread while the audio thread renders:
    // it stores the values at once, and what they set off among voices, pedals, controllers
    // and the temperament happens on the audio side at its next block.
    void setParameter(vst::VstInt32 index, float value) override;
    float getParameter(vst::VstInt32 index) override;
    void getParameterName(vst::VstInt32 index, char* text) override;
    void getParameterLabel(vst::VstInt32 index, char* label) override;
    void getParameterDisplay(vst::VstInt32 index, char* text) override;

    // Saved state: one block of StateChunk::kSize bytes, the same for a bank and a program.
    vst::VstInt32 getChunk(void** data, bool isPreset) override;
    vst::VstInt32 setChunk(void* data, vst::VstInt32 byteSize, bool isPreset) override;

    // A sample panel's file choice: loads `request` into the slot of SAMPLEUI entry `entry` and
    // remembers it in the saved state. False (with the reason in the log) when it failed.
    bool loadSamplePanel(int entry, const SampleRequest& request);

    // Loads an instrument file. mode -1 compiles and restores the saved parameter values,
    // 1 compiles and announces the parameter values to the host as automation (nothing is
    // compiled when the path is the loaded one), 0 only refreshes. "?" compiles Settings.ini
    // alone. Returns true when the instrument file was found and read.
    bool loadInstrument(const std::string& path, int mode);
    // The host's or the editor's choice of a file: it counts as new even when it is the
    // loaded one.
    bool selectInstrument(const std::string& path);

    // Loads are serialised by this lock: the editor, the host (setChunk, the vendor request)
    // and the file watcher may each start one, from their own threads. The audio thread never
    // takes it. Code outside the load that reads the compiled instrument from a thread other
    // than the audio thread (the editor) holds it while it reads.
    std::recursive_mutex loadMutex;

    // A file the loaded instrument was built from changed on disk: the instrument is compiled
    // again as the Reload button does, keeping what the player set. Runs on the watcher's
    // thread; tests call it directly.
    void reloadChangedFile(const std::string& changedFile);
    // The files a change of which reloads the instrument (empty while none is watched).
    std::vector<std::string> watchedFiles();

    // The single way to write a log: ignored while the debug level is below 0.
    void appendLog(int pane, const char* text) { log.append(pane, text); }

    const char* displayName() const { return isEffect ? "Tessarine-Effect" : "Tessarine"; }
    float currentSampleRate() const { return sampleRate; }
    vst::VstInt32 currentBlockSize() const { return blockSize; }

    bool isEffect = false;
    std::string userFolder = ".";
    std::string instrumentPath = "?";
    std::string instrumentFolder;    // folder of the loaded instrument file
    std::string instrumentFileName;  // bare file name of the loaded instrument
    std::atomic<int> restoreFlag{0};  // set by parameter changes and restores; a reload clears it
    int loadDebugLevel = 0;          // the debug level a load starts from
    Log log;
    int numVstVars;
    int editorWidth;
    int editorHeight;
    Engine engine{log};
    std::unique_ptr<compiler::InstrumentCompiler> compiler;
    std::unique_ptr<Log> compilerLog_ = std::make_unique<Log>();  // what `compiler` writes to; a load copies it into `log`
    std::unique_ptr<SampleBank> samples;  // the SAMPLE directive's slots, played by the engine
    SampleContext sampleContext;          // where the SAMPLE directive looks for files
    // What the editor's sample panels loaded into their slots, one record per SAMPLEUI entry.
    std::array<SamplePanelRecord, compiler::CommonSettings::kMaxSampleUi> samplePanelRecords{};
    AudioThreadGuard audioGuard;
    HostParameterTable parameters;        // the VSTVARs the host sees
    StateChunk chunk;                     // the saved state, with the sample-panel records
    int setChunkCount = 0;

    // ---- The note path: MIDI events, note-on, voice start, note-off ----
    // processEvents hands the host's events to `notes`; these three are the same steps for
    // callers inside the plug-in (layer numbers are 0-based).
    void noteOn(int key, int velocity, std::int64_t t, int detune, int layer, int channel) {
        notes.noteOn(key, velocity, t, detune, layer, channel);
    }
    int startVoice(const midi::NoteStart& note) { return notes.startVoice(note); }
    void noteOff(int key, int velocity, std::int64_t t, int status, float forcedRelease, int mcc, float mccValue,
                 int channel) {
        notes.noteOff(key, velocity, t, status, forcedRelease, mcc, mccValue, channel);
    }
    midi::NotePlayer notes{engine, log};
    // ---- end of the note path ----

private:
    // What a restore gives back after the compile: the parameter values, and from the last
    // saved state the keyswitch states, the temperament and the keyswitch count.
    struct StagedState {
        std::array<float, HostParameterTable::kCount> parameters{};
        std::array<std::int32_t, StateChunk::kKeys> keyswitches{};
        std::int32_t temperament = 0;
        std::int32_t keyswitchCount = 0;
        bool fromChunk = false;  // the keyswitch states and temperament came from a saved state
    };

    std::string resolveInstrumentPath(const std::string& path, Log& buildLog);
    std::unique_ptr<InstrumentBuild> buildInstrument(const std::string& path);
    void installBuild(InstrumentBuild& build, bool restore, bool keep);
    void keepPlayerState(const FileValues& before, const FileValues& now, const PlayerState& player);
    void restoreSavedState();
    void restoreKeyswitches();
    void restorePanelSamples(SampleBank& bank, SampleContext& context, const compiler::CompiledInstrument& instrument,
                             Log& buildLog);
    // Watches the files the instrument in place was built from; `before` holds the state of the
    // files watched so far as it was when the load began.
    void watchInstrumentFiles(const std::vector<platform::FileWatcher::KnownStamp>& before);
    // Audio side (or a load holding it off): acts on the host's parameter changes.
    void applyParameterChanges();
    void applyParameterChange(int index);
    void controllerChanged(int controller, int value) override;
    void installControllerDirectives();

    StagedState staged_;
    bool restoringChunk_ = false;
    InstrumentSwap swap_;
    std::unique_ptr<InstrumentBuild> spareBuild_;  // the tables of the next load's build
    FileValues fileValues_;     // what the file set at its last load, before anyone played
    std::string loadedFile_;    // the file that load compiled ("" for Settings.ini alone)
    std::string reloadNotice_;  // the first line of the log of a reload the watcher started
    std::vector<std::string> watchedFiles_;
    std::unique_ptr<platform::FileWatcher> watcher_;
    ControllerDirectiveActions directiveActions_;

    TessarineEditor* tessarineEditor_ = nullptr;
};

}  // namespace tess
