// The X11 view's file dialog, drawn inside the editor's own window: the folder's entries
// (folders first, then the files of the chosen type), a file name box, a type switch and the
// Open and Cancel buttons. It runs its own event loop on the view's connection until the user
// chooses a file or cancels, as a modal dialog does.
//
// Keys: typing edits the file name; Return opens what the name (or the selected entry) names,
// relative to the folder shown or absolute; a folder is entered instead of chosen; Escape
// cancels; Up and Down move the selection. A double click opens an entry.
#pragma once

#include <optional>
#include <string>
#include <vector>

// The project's headers come before X11's, whose macros (None, Status) would clash with them.
#include "editor/EditorView.h"
#include "editor/X11Painter.h"

namespace tess::editor {

struct FileDialogEntry {
    std::string name;
    bool folder = false;
};

// The entries of `folder` that the dialog lists: ".." (unless at the root), sub-folders, then
// files matching one of `patterns` (separated by ';', compared without case), each group sorted.
std::vector<FileDialogEntry> listFolder(const std::string& folder, const std::string& patterns);

class X11FileDialog {
public:
    X11FileDialog(Display* display, Window window, X11Painter& painter, int width, int height);
    std::optional<std::string> run(const std::string& folder, const std::vector<FileType>& types);

private:
    void draw();
    void enter(const std::string& folder);
    // Opens the typed name or the selected entry; true when the dialog is done.
    bool accept();
    bool press(int x, int y, Time time);
    bool key(XKeyEvent& event);

    Display* display_;
    Window window_;
    X11Painter& painter_;
    int width_;
    int height_;
    std::vector<FileType> types_;
    std::size_t type_ = 0;
    std::string folder_;
    std::vector<FileDialogEntry> entries_;
    int selected_ = -1;
    int top_ = 0;  // the first entry shown
    std::string name_;
    std::string status_;
    std::optional<std::string> chosen_;
    Time lastClick_ = 0;
    int lastClickEntry_ = -1;
};

}  // namespace tess::editor
