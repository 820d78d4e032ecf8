// A plug-in object for the editor tests, created as a host creates it (per-user folder with
// its Settings.ini), with a host callback that records automation and window requests, and a
// view that records what the editor shows instead of creating windows.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "editor/EditorView.h"
#include "editor/TessarineEditor.h"
#include "plugin/Tessarine.h"
#include "support/TestSupport.h"

namespace tess::test {

// What the plug-in asked of its host.
struct HostRequests {
    int automateCalls = 0;
    int lastIndex = -1;
    float lastValue = 0.0f;
    std::map<int, float> automated;  // the last value automated per parameter
    int sizeWindowCalls = 0;
    int requestedWidth = 0;
    int requestedHeight = 0;
    int updateDisplayCalls = 0;
};
extern HostRequests hostRequests;
vst::VstIntPtr recordingHost(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32 index, vst::VstIntPtr value,
                             void* ptr, float opt);

// What a view was told; shared so that a test can look after the editor took the view.
struct ViewRecord {
    bool open = false;
    int shows = 0;
    editor::Layout layout;
    std::map<int, std::string> texts;
    std::map<int, int> values;
    int setTextCalls = 0;
    int setValueCalls = 0;
    int rebuildRequests = 0;
    int parentWidth = -1;  // follows the layout, as a host frame resized by the view would
    int parentHeight = -1;
    std::deque<std::optional<std::string>> fileAnswers;  // what the file dialog answers, in turn
    std::string dialogFolder;
    std::vector<editor::FileType> dialogTypes;  // of the last dialog
    editor::EditorEvents* events = nullptr;
};

class RecordingView final : public editor::EditorView {
public:
    explicit RecordingView(std::shared_ptr<ViewRecord> record) : record_(std::move(record)) {}
    bool open(void*, int width, int height, editor::EditorEvents& events) override;
    void close() override;
    void show(const editor::Layout& layout) override;
    void setText(int control, const std::string& text) override;
    void setValue(int control, int value) override;
    bool parentSize(int& width, int& height) const override;
    editor::WindowSizes windowSizes() const override { return {}; }
    std::optional<std::string> chooseFile(const std::string& folder, const std::vector<editor::FileType>& types) override;
    void updateNow() override {}
    void requestRebuild() override { ++record_->rebuildRequests; }

private:
    std::shared_ptr<ViewRecord> record_;
};

class EditorHarness {
public:
    EditorHarness();
    ~EditorHarness();

    // Writes an instrument file into the harness's folder and returns its path.
    std::string write(const std::string& name, const std::string& text);
    // Loads a file as the user's choice.
    bool load(const std::string& path) { return plugin->selectInstrument(path); }
    // Opens the editor with a recording view; the record stays readable afterwards.
    bool openEditor();
    TessarineEditor& editor() { return *static_cast<TessarineEditor*>(plugin->getEditor()); }
    // A control event as the view reports it, then an idle.
    void event(editor::ControlEvent::Kind kind, int controlId, int value = 0, const std::string& text = {});
    // Delivers the rebuild the editor asked for, as the view's posted message would.
    void deliverRebuild() { view->events->rebuildDue(); }
    // One host block of MIDI events followed by one render call; answers the block's peak.
    float play(std::initializer_list<std::array<unsigned char, 3>> messages, int frames = 512);

    ScopedUserFolder home;
    TempDir dir;
    std::unique_ptr<Tessarine> plugin;
    std::shared_ptr<ViewRecord> view = std::make_shared<ViewRecord>();
};

}  // namespace tess::test
