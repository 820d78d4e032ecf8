#include "tessarine/VstHost.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <filesystem>

#include "platform/Platform.h"

namespace tess::tool {
namespace {

using vst::VstInt32;
using vst::VstIntPtr;

// A plug-in may call back while its entry is still running, before the host can tell which
// host it belongs to; those calls go to the host that is creating a plug-in on this thread.
thread_local VstHost* creatingHost = nullptr;
// Last resort for calls from a plug-in's own threads that carry no record.
std::atomic<VstHost*> latestHost{nullptr};

constexpr VstIntPtr kProcessLevelUser = 1;
constexpr VstIntPtr kProcessLevelRealtime = 2;
constexpr VstIntPtr kLanguageEnglish = 1;
constexpr std::size_t kTextBufferBytes = 256;

void copyText(void* destination, const char* text, std::size_t capacity) {
    if (destination == nullptr || capacity == 0) return;
    char* out = static_cast<char*>(destination);
    std::size_t n = std::min(std::strlen(text), capacity - 1);
    std::memcpy(out, text, n);
    out[n] = '\0';
}

}  // namespace

VstHost::VstHost() {
    timeInfo_.sampleRate = sampleRate_;
    timeInfo_.tempo = 120.0;
    timeInfo_.timeSigNumerator = 4;
    timeInfo_.timeSigDenominator = 4;
    timeInfo_.flags = vst::kVstTempoValid | vst::kVstTimeSigValid | vst::kVstPpqPosValid | vst::kVstBarsValid;
}

VstHost::~VstHost() {
    close();
    VstHost* self = this;
    latestHost.compare_exchange_strong(self, nullptr);
}

bool VstHost::load(const std::string& path, std::string& error) {
    close();
    if (!platform::fileExists(path) && !platform::directoryExists(path)) {  // a folder cannot be loaded, below
        error = path + ": plug-in library not found";
        return false;
    }
    // A bare file name must mean the file here, not a search of the system's library folders.
    std::error_code ignored;
    const std::string absolute = std::filesystem::absolute(path, ignored).string();
    std::string reason;
    library_ = platform::loadLibrary(absolute.empty() ? path : absolute, &reason);
    if (library_ == nullptr) {
        error = path + ": cannot load the library (" + reason + ")";
        return false;
    }
    auto entry = reinterpret_cast<VstEntryProc>(platform::findSymbol(library_, "VSTPluginMain"));
    if (entry == nullptr) entry = reinterpret_cast<VstEntryProc>(platform::findSymbol(library_, "main"));
    if (entry == nullptr) {
        error = path + ": no VST 2.4 entry (neither VSTPluginMain nor main is exported)";
        close();
        return false;
    }
    if (!create(entry, path, error)) {
        close();
        return false;
    }
    return true;
}

bool VstHost::create(VstEntryProc entry, const std::string& name, std::string& error) {
    name_ = name;
    creatingHost = this;
    latestHost = this;
    vst::AEffect* created = entry(&VstHost::callback);
    creatingHost = nullptr;
    return adopt(created, error);
}

bool VstHost::adopt(vst::AEffect* created, std::string& error) {
    if (created == nullptr) {
        error = name_ + ": the plug-in's entry returned no plug-in";
        return false;
    }
    if (created->magic != vst::kEffectMagic) {
        error = name_ + ": the entry's record is not a VST plug-in (wrong magic number)";
        return false;
    }
    if (created->dispatcher == nullptr) {
        error = name_ + ": the plug-in's record has no dispatcher";
        return false;
    }
    effect_ = created;
    // The record's first reserved field belongs to the host: it leads callbacks back here.
    effect_->resvd1 = reinterpret_cast<VstIntPtr>(this);
    return true;
}

bool VstHost::isSynth() const { return effect_ != nullptr && (effect_->flags & vst::effFlagsIsSynth) != 0; }

VstIntPtr VstHost::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    if (effect_ == nullptr) return 0;
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string VstHost::text(VstInt32 opcode, VstInt32 index) {
    char buffer[kTextBufferBytes] = {};
    dispatch(opcode, index, 0, buffer, 0.0f);
    buffer[kTextBufferBytes - 1] = '\0';
    return buffer;
}

VstIntPtr VstHost::canDo(const char* what) {
    return dispatch(vst::effCanDo, 0, 0, const_cast<char*>(what), 0.0f);
}

void VstHost::open() {
    if (effect_ == nullptr || opened_) return;
    dispatch(vst::effOpen);
    opened_ = true;
}

void VstHost::prepare(int sampleRate, int blockSize) {
    if (effect_ == nullptr) return;
    sampleRate_ = sampleRate;
    blockSize_ = blockSize;
    timeInfo_.sampleRate = sampleRate;
    dispatch(vst::effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
    dispatch(vst::effSetBlockSize, 0, blockSize);

    // Some plug-ins look at more channels than they declare; every pointer is valid.
    const std::size_t inputs = std::size_t(std::max(effect_->numInputs, 2));
    const std::size_t outputs = std::size_t(std::max(effect_->numOutputs, 2));
    inputBuffers_.assign(inputs, std::vector<float>(std::size_t(blockSize), 0.0f));
    outputBuffers_.assign(outputs, std::vector<float>(std::size_t(blockSize), 0.0f));
    inputPointers_.clear();
    outputPointers_.clear();
    for (auto& buffer : inputBuffers_) inputPointers_.push_back(buffer.data());
    for (auto& buffer : outputBuffers_) outputPointers_.push_back(buffer.data());
}

void VstHost::resume() {
    if (effect_ == nullptr || resumed_) return;
    dispatch(vst::effMainsChanged, 0, 1);
    dispatch(vst::effStartProcess);
    resumed_ = true;
}

void VstHost::suspend() {
    if (effect_ == nullptr || !resumed_) return;
    dispatch(vst::effStopProcess);
    dispatch(vst::effMainsChanged, 0, 0);
    resumed_ = false;
}

void VstHost::close() {
    if (effect_ != nullptr) {
        suspend();
        dispatch(vst::effClose);  // the plug-in deletes itself here
        effect_ = nullptr;
    }
    opened_ = false;
    if (library_ != nullptr) {
        platform::closeLibrary(library_);
        library_ = nullptr;
    }
}

void VstHost::process(const HostMidiEvent* events, std::size_t eventCount, const float* inLeft,
                      const float* inRight, float* outLeft, float* outRight, int frames) {
    frames = std::clamp(frames, 0, blockSize_);
    if (effect_ == nullptr || outputBuffers_.empty()) {
        std::fill(outLeft, outLeft + frames, 0.0f);
        std::fill(outRight, outRight + frames, 0.0f);
        return;
    }

    if (eventCount > 0) {
        midiEvents_.assign(eventCount, vst::VstMidiEvent{});
        eventList_.assign(offsetof(vst::VstEvents, events) + eventCount * sizeof(vst::VstEvent*), 0);
        auto* list = reinterpret_cast<vst::VstEvents*>(eventList_.data());
        list->numEvents = static_cast<VstInt32>(eventCount);
        for (std::size_t i = 0; i < eventCount; ++i) {
            vst::VstMidiEvent& midi = midiEvents_[i];
            midi.type = vst::kVstMidiType;
            midi.byteSize = sizeof(vst::VstMidiEvent);
            midi.deltaFrames = events[i].deltaFrames;
            midi.flags = 1;  // played live, not from a sequencer track
            for (int b = 0; b < 3; ++b) midi.midiData[b] = static_cast<char>(events[i].bytes[b]);
            list->entry(static_cast<int>(i)) = reinterpret_cast<vst::VstEvent*>(&midi);
        }
        dispatch(vst::effProcessEvents, 0, 0, list);
    }

    const int declaredInputs = effect_->numInputs;
    for (std::size_t c = 0; c < inputBuffers_.size(); ++c) {
        float* buffer = inputBuffers_[c].data();
        const float* source = c == 0 ? inLeft : c == 1 ? inRight : nullptr;
        if (declaredInputs == 1 && c == 0 && inLeft != nullptr && inRight != nullptr) {
            for (int i = 0; i < frames; ++i) buffer[i] = 0.5f * (inLeft[i] + inRight[i]);
        } else if (source != nullptr && int(c) < declaredInputs) {
            std::copy(source, source + frames, buffer);
        } else {
            std::fill(buffer, buffer + frames, 0.0f);
        }
    }
    for (auto& buffer : outputBuffers_) std::fill(buffer.begin(), buffer.begin() + frames, 0.0f);

    inProcess_ = true;
    if ((effect_->flags & vst::effFlagsCanReplacing) != 0 && effect_->processReplacing != nullptr)
        effect_->processReplacing(effect_, inputPointers_.data(), outputPointers_.data(), frames);
    else if (effect_->process != nullptr)  // the old entry adds to the (cleared) outputs
        effect_->process(effect_, inputPointers_.data(), outputPointers_.data(), frames);
    inProcess_ = false;

    const int outputs = effect_->numOutputs;
    if (outputs <= 0) {
        std::fill(outLeft, outLeft + frames, 0.0f);
        std::fill(outRight, outRight + frames, 0.0f);
        return;
    }
    std::copy(outputPointers_[0], outputPointers_[0] + frames, outLeft);
    const float* right = outputs >= 2 ? outputPointers_[1] : outputPointers_[0];
    std::copy(right, right + frames, outRight);
}

VstIntPtr VstHost::hostCanDo(const char* what) {
    if (what == nullptr) return 0;
    static const char* const kSupported[] = {
        "sendVstEvents",    "sendVstMidiEvent",    "sendVstTimeInfo", "receiveVstEvents",
        "receiveVstMidiEvent", "startStopProcess", "sendVstMidiEventFlagIsRealtime",
    };
    for (const char* supported : kSupported)
        if (std::strcmp(what, supported) == 0) return 1;
    return 0;
}

VstIntPtr VstHost::callback(vst::AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                            float opt) {
    if (opcode == vst::audioMasterVersion) return kHostVersion;
    VstHost* host = nullptr;
    if (effect != nullptr && effect->resvd1 != 0) host = reinterpret_cast<VstHost*>(effect->resvd1);
    if (host == nullptr) host = creatingHost;
    if (host == nullptr) host = latestHost.load();
    if (host == nullptr) return 0;
    return host->answer(opcode, index, value, ptr, opt);
}

VstIntPtr VstHost::answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    switch (opcode) {
        case vst::audioMasterVersion: return kHostVersion;
        case vst::audioMasterAutomate:
            ++counts_.automateCalls;
            counts_.lastAutomatedIndex = index;
            counts_.lastAutomatedValue = opt;
            return 1;
        case vst::audioMasterGetTime:
            ++counts_.timeRequests;
            return reinterpret_cast<VstIntPtr>(&timeInfo_);
        case vst::audioMasterProcessEvents: {
            const auto* list = static_cast<const vst::VstEvents*>(ptr);
            if (list != nullptr && list->numEvents > 0) {
                ++counts_.eventBlocksReturned;
                counts_.eventsReturned += list->numEvents;
            }
            return 1;
        }
        case vst::audioMasterSizeWindow:
            ++counts_.sizeWindowRequests;
            counts_.requestedWidth = index;
            counts_.requestedHeight = static_cast<int>(value);
            return windowSizesFollowed_ ? 1 : 0;
        case vst::audioMasterGetSampleRate: return sampleRate_;
        case vst::audioMasterGetBlockSize: return blockSize_;
        case vst::audioMasterGetCurrentProcessLevel: return inProcess_ ? kProcessLevelRealtime : kProcessLevelUser;
        case vst::audioMasterGetVendorString:
        case vst::audioMasterGetProductString:
            copyText(ptr, kHostName, std::size_t(vst::kVstMaxVendorStrLen));
            return 1;
        case vst::audioMasterGetVendorVersion: return 1;
        case vst::audioMasterGetLanguage: return kLanguageEnglish;
        case vst::audioMasterCanDo: return hostCanDo(static_cast<const char*>(ptr));
        default: return 0;
    }
}

}  // namespace tess::tool
