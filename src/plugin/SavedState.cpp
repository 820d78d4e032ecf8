// The host's chunk calls: saving the state into the block and restoring from a host's block,
// and the sample-panel loads whose records the block keeps.
//
// A host's chunk may be of any size and hold anything (another plug-in's, another version's,
// a damaged project): it is copied into the block at most whole, each field is used only when
// the host's size covers it, and every value is checked before it reaches the instrument.
#include <algorithm>
#include <cmath>

#include "compiler/InstrumentCompiler.h"
#include "plugin/PlayerState.h"
#include "plugin/Tessarine.h"

namespace tess {

namespace {

// A saved host value as a parameter takes it: within 0 .. 1, and 0 for anything not a number.
float savedHostValue(float value) { return value >= 0.0f ? std::min(value, 1.0f) : 0.0f; }

// A record another program (or damage) may have written cannot reach the sample loader
// unless each of its choices is one the sample panel can make.
bool loadablePanelRecord(const SamplePanelRecord& record) {
    return SampleBank::valid(record.slot) && record.fileName[0] != '\0' && record.normalisation >= 0 &&
           record.normalisation <= 4 && record.direction >= 0 && record.direction <= 3 && record.looped >= 0 &&
           record.centreNote >= 0.0f && record.centreNote <= 128.0f;
}

}  // namespace

vst::VstInt32 Tessarine::getChunk(void** data, bool) {
    if (data == nullptr) return 0;
    std::lock_guard<std::recursive_mutex> serial(loadMutex);
    chunk.setPath(instrumentPath);
    for (int i = 0; i < StateChunk::kParameters; ++i) chunk.setParameter(i, parameters.hostValue(i));
    for (int key = 0; key < StateChunk::kKeys; ++key) chunk.setKeyswitchState(key, engine.controllers.keyswitch(key));
    chunk.setTemperament(notes.temperament());
    chunk.setKeyswitchCount(compiler->instrument().keyswitches.count);
    if (log.debugLevel > 0) {
        log.appendf(Log::kMain, "Saving the bank (1 program, %d bytes).\r\n", static_cast<int>(StateChunk::kSize));
        log.appendf(Log::kMain, "Saving file path: %s.\r\n", chunk.path().c_str());
        log.append(Log::kMain, "Saving VST VARs.\r\n");
        log.append(Log::kMain, "Saving Keyswitches.\r\n");
        log.appendf(Log::kMain, "Saving other data (temperament: %d and keyswitches: %d).\r\n", chunk.temperament(),
                    chunk.keyswitchCount());
        log.append(Log::kMain, "Saving SampleUI data...\r\n");
    }
    *data = chunk.data();
    return static_cast<vst::VstInt32>(StateChunk::kSize);
}

vst::VstInt32 Tessarine::setChunk(void* data, vst::VstInt32 byteSize, bool) {
    std::lock_guard<std::recursive_mutex> serial(loadMutex);
    const std::int64_t size = data != nullptr ? std::max<vst::VstInt32>(byteSize, 0) : 0;
    const bool verbose = log.debugLevel > 0;
    if (verbose) log.appendf(Log::kMain, "Restoring the bank (1 program, %d bytes).\r\n", byteSize);
    chunk.copyFrom(data, size);

    // A chunk too short to name a file leaves no instrument path: the load compiles
    // Settings.ini alone.
    std::string path;
    instrumentPath = "?";
    instrumentFolder.clear();
    instrumentFileName.clear();
    if (size >= static_cast<std::int64_t>(StateChunk::kPathSize)) {
        path = chunk.path();
        if (verbose) log.appendf(Log::kMain, "Restoring file path: %s.\r\n", path.c_str());
    }

    staged_ = StagedState{};
    staged_.fromChunk = true;
    if (size >= static_cast<std::int64_t>(StateChunk::kKeyswitchesOffset)) {
        for (int i = 0; i < StateChunk::kParameters; ++i) {
            const float value = savedHostValue(chunk.parameter(i));
            staged_.parameters[static_cast<std::size_t>(i)] = value;
            setParameter(i, value);
        }
        if (verbose) log.append(Log::kMain, "Restoring VST VARs.\r\n");
    }
    if (size >= static_cast<std::int64_t>(StateChunk::kTemperamentOffset)) {
        for (int key = 0; key < StateChunk::kKeys; ++key)
            staged_.keyswitches[static_cast<std::size_t>(key)] = chunk.keyswitchState(key);
        if (verbose) log.append(Log::kMain, "Restoring Keyswitches.\r\n");
    }
    if (size >= static_cast<std::int64_t>(StateChunk::kPanelsOffset)) {
        staged_.temperament = chunk.temperament();
        staged_.keyswitchCount = chunk.keyswitchCount();
        if (verbose)
            log.appendf(Log::kMain, "Restoring other data (temperament: %d and keyswitches: %d).\r\n",
                        staged_.temperament, staged_.keyswitchCount);
    }

    if (verbose) log.append(Log::kMain, "Recompiling the file and restoring SampleUI data...\r\n");
    restoringChunk_ = true;
    loadInstrument(path, -1);
    restoringChunk_ = false;
    restoreFlag.store(1);
    ++setChunkCount;
    return 0;
}

// After a restore's compile, with the audio thread held off.
void Tessarine::restoreSavedState() {
    if (staged_.fromChunk) {
        const compiler::TemperamentTable& temperaments = compiler->instrument().temperaments;
        notes.selectTemperament(std::clamp(staged_.temperament, 0, temperaments.count() - 1));
        restoreKeyswitches();
    }
}

// Saved keyswitch states go back to the keys of the new file's keyswitches they still fit;
// a keyswitch they do not fit keeps the file's initial choice.
void Tessarine::restoreKeyswitches() {
    const compiler::KeyswitchTable& table = compiler->instrument().keyswitches;
    for (int k = 0; k < table.count; ++k) {
        const compiler::Keyswitch& ks = table.entries[static_cast<std::size_t>(k)];
        if (!fitsKeyswitch(ks, staged_.keyswitches)) continue;
        for (int key = 0; key < StateChunk::kKeys; ++key)
            if (table.owner[static_cast<std::size_t>(key)] == k)
                engine.controllers.setKeyswitch(key, staged_.keyswitches[static_cast<std::size_t>(key)]);
    }
}

// The samples the sample panels had chosen go into the bank of the instrument being built.
void Tessarine::restorePanelSamples(SampleBank& bank, SampleContext& context,
                                   const compiler::CompiledInstrument& instrument, Log& buildLog) {
    context.halfWidth = instrument.common.quality.zeroCrossings;
    for (int entry = 0; entry < StateChunk::kPanelRecords; ++entry) {
        const SamplePanelRecord record = chunk.panelRecord(entry);
        if (record.valid == 0) continue;
        if (!loadablePanelRecord(record)) {
            buildLog.appendf(Log::kMain,
                             "************ ERROR: SAMPLEUI. Saved sample panel #%d cannot be restored...\r\n", entry);
            continue;
        }
        SamplePanelRecord loaded;
        if (loadPanelSample(bank, record.slot, panelRequest(record), context, buildLog, loaded))
            chunk.setPanelRecord(entry, loaded);
    }
}

bool Tessarine::loadSamplePanel(int entry, const SampleRequest& request) {
    std::lock_guard<std::recursive_mutex> serial(loadMutex);
    const compiler::CommonSettings& common = compiler->instrument().common;
    if (entry < 0 || entry >= std::min(common.sampleUiCount, StateChunk::kPanelRecords)) return false;
    const int slot = common.sampleUi[entry].slot;
    AudioThreadGuard::LoadScope load(audioGuard);  // the slot's samples are replaced
    sampleContext.halfWidth = common.quality.zeroCrossings;
    SamplePanelRecord record;
    if (!loadPanelSample(*samples, slot, request, sampleContext, log, record)) return false;
    chunk.setPanelRecord(entry, record);
    return true;
}

}  // namespace tess
