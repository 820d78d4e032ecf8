// The platform side of the editor: a window inside the host's parent that creates the native
// controls a layout describes, shows the texts and values it is given, and reports what the
// user did. It holds no behaviour of its own; the editor decides what every action means.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "editor/EditorLayout.h"

namespace tess::editor {

struct ControlEvent {
    enum class Kind {
        Clicked,           // a button, or the current-file text
        SliderMoved,       // value: the new position
        SelectionChanged,  // value: the chosen combo entry
        TextCommitted,     // text: an edit box's text when the user leaves it or presses Enter
    };
    Kind kind = Kind::Clicked;
    int id = 0;
    int value = 0;
    std::string text;
};

// Where a view reports to.
class EditorEvents {
public:
    virtual ~EditorEvents() = default;
    virtual void controlEvent(const ControlEvent& event) = 0;
    // The rebuild asked for with EditorView::requestRebuild is due.
    virtual void rebuildDue() = 0;
};

// Sizes of the editor's window, its parent and the parent's parent, for the log.
struct WindowSizes {
    int mainWidth = 0, mainHeight = 0;
    int parentWidth = 0, parentHeight = 0;
    int grandparentWidth = 0, grandparentHeight = 0;
};

// One entry of a file dialog's type list: "Instrument files" with "*.txt"; patterns are
// separated by ';'.
struct FileType {
    std::string name;
    std::string patterns;
};

class EditorView {
public:
    virtual ~EditorView() = default;

    // Creates the editor's window in the host's `parent`; false when it cannot.
    virtual bool open(void* parent, int width, int height, EditorEvents& events) = 0;
    // Destroys every control and the window.
    virtual void close() = 0;
    // Replaces every control by the layout's and sizes the window (and the area of its parent
    // that shows it) to the layout's size.
    virtual void show(const Layout& layout) = 0;
    virtual void setText(int control, const std::string& text) = 0;
    // A slider's position or a combo's selection (-1: none).
    virtual void setValue(int control, int value) = 0;
    // The size of the area the host gives the editor; false when it is not known.
    virtual bool parentSize(int& width, int& height) const = 0;
    virtual WindowSizes windowSizes() const = 0;
    // The dialog for opening an existing file, starting in `folder` and listing the files of
    // the first of `types`. Nothing when the user cancels.
    virtual std::optional<std::string> chooseFile(const std::string& folder, const std::vector<FileType>& types) = 0;
    // Draws pending changes now (before a long operation such as a load).
    virtual void updateNow() = 0;
    // Calls EditorEvents::rebuildDue soon, outside the current event.
    virtual void requestRebuild() = 0;
    // Handles the user's input that arrived since the last call. A view whose events reach it
    // through the host's own message loop has nothing to do here; the editor calls this first
    // in every idle.
    virtual void handleEvents() {}
    // Draws what changed since the last call, for a view that draws its controls itself; the
    // editor calls this at the end of every idle and after every control event.
    virtual void present() {}
};

// The view of this platform, or null where the editor has no window.
std::unique_ptr<EditorView> createPlatformView();
bool platformHasView();

}  // namespace tess::editor
