// The plug-in's editor window. It exists from construction so that a host can ask its size;
// it opens a window only in a build whose platform provides a view (EditorView).
//
// The editor decides everything: the layout of its controls, what each control does to the
// plug-in, and what its texts show at each idle. The view only creates native controls and
// reports the user's actions. Rebuilding the controls (after a load, a resize, a change of the
// host's window size) never happens inside a control's own event: it is requested and carried
// out from the view's next message or the next idle, whichever comes first.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "editor/EditorModel.h"
#include "editor/EditorView.h"
#include "editor/SoundFontImportJob.h"
#include "plugin/vst/AEffEditor.h"

namespace tess {

class Tessarine;

class TessarineEditor : public vst::AEffEditor, private editor::EditorEvents {
public:
    TessarineEditor(Tessarine* plugin, int width, int height);
    ~TessarineEditor() override;

    bool getRect(vst::ERect** rect) override;
    bool open(void* parentWindow) override;
    void close() override;
    void idle() override;

    // Sets every shown slider's caption and position from the plug-in's parameters.
    void refreshSliders();
    // Makes the next idle lay the controls out again.
    void requestRedraw();
    // A slider moved: its parameter is set and automated, and its caption follows.
    void faderMoved(int index, int position);

    // The size the instrument asks for (INTERFACE); the layout may grow it to fit.
    void setSize(int width, int height);
    int width() const { return width_; }
    int height() const { return height_; }

    // The load driver tells an open editor that a new instrument is in place: its controls are
    // rebuilt for it.
    void instrumentLoaded();

    // Whether this build can show a window at all (decides the host's has-editor flag).
    static bool canOpenWindow();

    // The view the next open uses instead of the platform's (tests, other hosts).
    void useView(std::unique_ptr<editor::EditorView> view) { view_ = std::move(view); }
    const editor::Layout& layout() const { return layout_; }
    const std::vector<editor::SamplePanel>& samplePanels() const { return panels_; }
    // Whether the import's controls are shown (from the bank's choice until "OK").
    bool importShown() const { return importShown_; }

private:
    void controlEvent(const editor::ControlEvent& event) override;
    void rebuildDue() override;

    void rebuild(int width, int height);
    void refresh();
    void refreshPanes();
    void showText(int control, const std::string& text);
    void applyChanges(const editor::ShownState& changes);
    void idleSteps();
    void resizeSteps();
    void reload(std::string path, const char* message);
    void browse();
    void panelEvent(const editor::ControlEvent& event, int panel, int part);
    void startImport();
    void showImport();
    void importSteps();
    void endImport();
    void appendImportText(const std::string& text);
    Tessarine& plugin() { return *plugin_; }

    Tessarine* plugin_;
    int width_;
    int height_;
    vst::ERect rect_{};
    std::unique_ptr<editor::EditorView> view_;
    editor::Layout layout_;
    editor::ShownState shown_;
    std::vector<editor::SamplePanel> panels_;
    // Set by a load that may run on the file watcher's thread; read by idle.
    std::atomic<bool> relayout_{false};
    bool resizeRequested_ = false;
    bool loadRequested_ = false;
    int lastParentWidth_ = -1;
    int lastParentHeight_ = -1;
    int hostWidth_ = -1;  // the size the host was last told
    int hostHeight_ = -1;
    // The SoundFont import: its worker, whether its controls are shown and what its pane shows.
    editor::SoundFontImportJob import_;
    bool importRequested_ = false;  // the button was clicked; the import starts outside the click
    bool importShown_ = false;
    bool importEnded_ = false;
    std::string importText_;
};

}  // namespace tess
