#include "editor/EditorHarness.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "plugin/CreateInstance.h"

namespace tess::test {

HostRequests hostRequests;

vst::VstIntPtr recordingHost(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32 index, vst::VstIntPtr value, void*,
                             float opt) {
    switch (opcode) {
        case vst::audioMasterVersion: return 2400;
        case vst::audioMasterAutomate:
            ++hostRequests.automateCalls;
            hostRequests.lastIndex = index;
            hostRequests.lastValue = opt;
            hostRequests.automated[index] = opt;
            return 1;
        case vst::audioMasterSizeWindow:
            ++hostRequests.sizeWindowCalls;
            hostRequests.requestedWidth = index;
            hostRequests.requestedHeight = static_cast<int>(value);
            return 1;
        case vst::audioMasterUpdateDisplay: ++hostRequests.updateDisplayCalls; return 1;
        default: return 0;
    }
}

bool RecordingView::open(void*, int, int, editor::EditorEvents& events) {
    record_->open = true;
    record_->events = &events;
    return true;
}

void RecordingView::close() {
    record_->open = false;
    record_->events = nullptr;
}

void RecordingView::show(const editor::Layout& layout) {
    ++record_->shows;
    record_->layout = layout;
    record_->texts.clear();
    record_->values.clear();
    for (const editor::Control& control : layout.controls) record_->texts[control.id] = control.text;
    record_->parentWidth = layout.width;
    record_->parentHeight = layout.height;
}

void RecordingView::setText(int control, const std::string& text) {
    ++record_->setTextCalls;
    record_->texts[control] = text;
}

void RecordingView::setValue(int control, int value) {
    ++record_->setValueCalls;
    record_->values[control] = value;
}

bool RecordingView::parentSize(int& width, int& height) const {
    if (record_->parentWidth < 0) return false;
    width = record_->parentWidth;
    height = record_->parentHeight;
    return true;
}

std::optional<std::string> RecordingView::chooseFile(const std::string& folder, const std::vector<editor::FileType>& types) {
    record_->dialogTypes = types;
    record_->dialogFolder = folder;
    if (record_->fileAnswers.empty()) return std::nullopt;
    std::optional<std::string> answer = record_->fileAnswers.front();
    record_->fileAnswers.pop_front();
    return answer;
}

EditorHarness::EditorHarness() {
    hostRequests = HostRequests{};
    plugin.reset(createEffectInstance(&recordingHost));
    plugin->setSampleRate(44100.0f);
    plugin->resume();
}

EditorHarness::~EditorHarness() = default;

std::string EditorHarness::write(const std::string& name, const std::string& text) {
    const std::string path = dir.file(name);
    writeFile(path, text);
    return path;
}

bool EditorHarness::openEditor() {
    editor().useView(std::make_unique<RecordingView>(view));
    int parent = 0;
    return editor().open(&parent);
}

void EditorHarness::event(editor::ControlEvent::Kind kind, int controlId, int value, const std::string& text) {
    view->events->controlEvent({kind, controlId, value, text});
    editor().idle();
}

float EditorHarness::play(std::initializer_list<std::array<unsigned char, 3>> messages, int frames) {
    std::vector<vst::VstMidiEvent> midi;
    for (const auto& bytes : messages) {
        vst::VstMidiEvent event{};
        event.type = vst::kVstMidiType;
        event.byteSize = sizeof event;
        for (int b = 0; b < 3; ++b) event.midiData[b] = static_cast<char>(bytes[static_cast<std::size_t>(b)]);
        midi.push_back(event);
    }
    std::vector<unsigned char> list(sizeof(vst::VstEvents) + midi.size() * sizeof(vst::VstEvent*), 0);
    auto* events = reinterpret_cast<vst::VstEvents*>(list.data());
    events->numEvents = static_cast<vst::VstInt32>(midi.size());
    for (std::size_t i = 0; i < midi.size(); ++i) events->entry(static_cast<int>(i)) = reinterpret_cast<vst::VstEvent*>(&midi[i]);
    plugin->processEvents(events);
    std::vector<float> left(static_cast<std::size_t>(frames)), right(left.size()), in(left.size());
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {left.data(), right.data()};
    plugin->processReplacing(inputs, outputs, frames);
    float peak = 0.0f;
    for (const float sample : left) peak = std::max(peak, std::abs(sample));
    return peak;
}

}  // namespace tess::test
