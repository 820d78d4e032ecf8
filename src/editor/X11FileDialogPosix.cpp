#include "editor/X11FileDialog.h"
#include "editor/X11Palette.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <fnmatch.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace tess::editor {

namespace fs = std::filesystem;

namespace {

constexpr int kRow = 18;

bool matches(const std::string& name, const std::string& patterns) {
    std::size_t start = 0;
    while (start <= patterns.size()) {
        const std::size_t end = std::min(patterns.find(';', start), patterns.size());
        std::string pattern = patterns.substr(start, end - start);
        if (pattern == "*.*") pattern = "*";
        if (!pattern.empty() && fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

struct DialogAreas {
    Rect title, folder, list, nameLabel, name, type, open, cancel, status;
};

DialogAreas layoutFor(int width, int height) {
    DialogAreas l;
    const int w = std::max(width, 300);
    const int h = std::max(height, 200);
    l.title = {8, 4, w - 16, 20};
    l.folder = {8, 24, w - 16, 20};
    l.list = {8, 46, w - 16, h - 46 - 64};
    l.nameLabel = {8, h - 58, 70, 24};
    l.name = {80, h - 58, w - 88, 24};
    l.cancel = {w - 88, h - 28, 80, 24};
    l.open = {l.cancel.x - 88, h - 28, 80, 24};
    l.type = {l.open.x - 178, h - 28, 170, 24};
    l.status = {8, h - 28, l.type.x - 16, 24};
    return l;
}

bool inside(const Rect& r, int x, int y) {
    return x >= r.x && x < r.right() && y >= r.y && y < r.bottom();
}

}  // namespace

std::vector<FileDialogEntry> listFolder(const std::string& folder, const std::string& patterns) {
    std::vector<FileDialogEntry> folders;
    std::vector<FileDialogEntry> files;
    std::error_code error;
    for (fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error),
         end;
         !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') continue;
        std::error_code statusError;
        if (it->is_directory(statusError))
            folders.push_back({name, true});
        else if (matches(name, patterns))
            files.push_back({name, false});
    }
    const auto byName = [](const FileDialogEntry& a, const FileDialogEntry& b) {
        return a.name < b.name;
    };
    std::sort(folders.begin(), folders.end(), byName);
    std::sort(files.begin(), files.end(), byName);
    std::vector<FileDialogEntry> entries;
    if (fs::path(folder).has_relative_path()) entries.push_back({"..", true});
    entries.insert(entries.end(), folders.begin(), folders.end());
    entries.insert(entries.end(), files.begin(), files.end());
    return entries;
}

X11FileDialog::X11FileDialog(Display* display, Window window, X11Painter& painter, int width,
                             int height)
    : display_(display), window_(window), painter_(painter), width_(width), height_(height) {}

void X11FileDialog::enter(const std::string& folder) {
    std::error_code error;
    fs::path path = fs::weakly_canonical(fs::absolute(folder.empty() ? "." : folder, error), error);
    if (error || !fs::is_directory(path, error)) path = fs::current_path(error);
    folder_ = path.string();
    entries_ = listFolder(folder_, types_.empty() ? "*" : types_[type_].patterns);
    selected_ = -1;
    top_ = 0;
}

std::optional<std::string> X11FileDialog::run(const std::string& folder,
                                              const std::vector<FileType>& types) {
    types_ = types.empty() ? std::vector<FileType>{{"All", "*"}} : types;
    type_ = 0;
    enter(folder);
    XSelectInput(display_, window_,
                 ExposureMask | ButtonPressMask | KeyPressMask | StructureNotifyMask);
    XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
    draw();
    bool done = false;
    while (!done) {
        XEvent event;
        XNextEvent(display_, &event);
        switch (event.type) {
            case Expose:
                break;
            case ButtonPress:
                if (event.xbutton.button == Button4) top_ = std::max(0, top_ - 3);
                if (event.xbutton.button == Button5)
                    top_ = std::min(std::max(0, static_cast<int>(entries_.size()) - 1), top_ + 3);
                if (event.xbutton.button == Button1)
                    done = press(event.xbutton.x, event.xbutton.y, event.xbutton.time);
                break;
            case KeyPress:
                done = key(event.xkey);
                break;
            case DestroyNotify:
                return std::nullopt;
            default:
                continue;
        }
        if (!done) draw();
    }
    return chosen_;
}

bool X11FileDialog::accept() {
    std::string name = name_;
    if (name.empty() && selected_ >= 0) name = entries_[static_cast<std::size_t>(selected_)].name;
    if (name.empty()) return false;
    const fs::path path = name[0] == '/' ? fs::path(name) : fs::path(folder_) / name;
    std::error_code error;
    if (fs::is_directory(path, error)) {
        enter(path.string());
        name_.clear();
        status_.clear();
        return false;
    }
    if (fs::is_regular_file(path, error)) {
        chosen_ = fs::weakly_canonical(path, error).string();
        return true;
    }
    status_ = "No such file: " + name;
    return false;
}

bool X11FileDialog::press(int x, int y, Time time) {
    const DialogAreas l = layoutFor(width_, height_);
    if (inside(l.cancel, x, y)) return true;
    if (inside(l.open, x, y)) return accept();
    if (inside(l.type, x, y) && types_.size() > 1) {
        type_ = (type_ + 1) % types_.size();
        enter(folder_);
        return false;
    }
    if (inside(l.list, x, y)) {
        const int entry = top_ + (y - l.list.y - 2) / kRow;
        if (entry < 0 || entry >= static_cast<int>(entries_.size())) return false;
        const bool twice = entry == lastClickEntry_ && time - lastClick_ < 400;
        lastClick_ = time;
        lastClickEntry_ = entry;
        selected_ = entry;
        name_ = entries_[static_cast<std::size_t>(entry)].name;
        if (!twice) return false;
        lastClickEntry_ = -1;
        return accept();
    }
    return false;
}

bool X11FileDialog::key(XKeyEvent& event) {
    char typed[32] = {};
    KeySym symbol = NoSymbol;
    const int length = XLookupString(&event, typed, sizeof typed - 1, &symbol, nullptr);
    const int count = static_cast<int>(entries_.size());
    const int visible = std::max(1, layoutFor(width_, height_).list.height / kRow);
    switch (symbol) {
        case XK_Escape:
            return true;
        case XK_Return:
        case XK_KP_Enter:
            return accept();
        case XK_BackSpace:
            if (!name_.empty()) name_.pop_back();
            return false;
        case XK_Up:
        case XK_Down:
            if (count == 0) return false;
            selected_ = std::clamp(selected_ + (symbol == XK_Up ? -1 : 1), 0, count - 1);
            name_ = entries_[static_cast<std::size_t>(selected_)].name;
            if (selected_ < top_) top_ = selected_;
            if (selected_ >= top_ + visible) top_ = selected_ - visible + 1;
            return false;
        default:
            break;
    }
    for (int i = 0; i < length; ++i)
        if (static_cast<unsigned char>(typed[i]) >= 32 && typed[i] != 127) name_ += typed[i];
    return false;
}

void X11FileDialog::draw() {
    const DialogAreas l = layoutFor(width_, height_);
    const Pixmap buffer =
        XCreatePixmap(display_, window_, static_cast<unsigned>(std::max(width_, 1)),
                      static_cast<unsigned>(std::max(height_, 1)),
                      static_cast<unsigned>(DefaultDepth(display_, DefaultScreen(display_))));
    painter_.begin(buffer);
    painter_.fill({0, 0, width_, height_}, kBackground);
    const FileType& type = types_[type_];
    painter_.textIn(l.title, 0, "Open a file: " + type.name + " (" + type.patterns + ")", kInk);
    painter_.textIn(l.folder, 0, "Folder: " + folder_, kGrey);
    painter_.fill(l.list, kWhite);
    painter_.frame(l.list, kFieldBorder);
    const int visible = std::max(1, l.list.height / kRow);
    for (int row = 0; row < visible && top_ + row < static_cast<int>(entries_.size()); ++row) {
        const int entry = top_ + row;
        const FileDialogEntry& e = entries_[static_cast<std::size_t>(entry)];
        const Rect line{l.list.x + 1, l.list.y + 2 + row * kRow, l.list.width - 2, kRow};
        const bool selected = entry == selected_;
        if (selected) painter_.fill(line, kSelection);
        painter_.textIn(line, 6, e.folder ? "[" + e.name + "]" : e.name, selected ? kWhite : kInk);
    }
    if (entries_.empty())
        painter_.textIn({l.list.x, l.list.y + 2, l.list.width, kRow}, 6, "(no files)", kGrey);
    painter_.textIn(l.nameLabel, 0, "File name:", kInk);
    painter_.fill(l.name, kWhite);
    painter_.frame(l.name, kFieldBorder);
    painter_.textIn(l.name, 4, name_ + "|", kInk);
    painter_.textIn(l.status, 0, status_, 0xB00000);
    for (const auto& [rect, label] : {std::pair{l.type, "Show: " + type.name},
                                      {l.open, std::string("Open")},
                                      {l.cancel, std::string("Cancel")}}) {
        painter_.fill(rect, kButtonFace);
        painter_.frame(rect, 0xADADAD);
        painter_.textIn(rect, std::max(4, (rect.width - painter_.textWidth(label)) / 2), label,
                        kInk);
    }
    XCopyArea(display_, buffer, window_, DefaultGC(display_, DefaultScreen(display_)), 0, 0,
              static_cast<unsigned>(width_), static_cast<unsigned>(height_), 0, 0);
    painter_.begin(window_);
    XFreePixmap(display_, buffer);
    XFlush(display_);
}

}  // namespace tess::editor
