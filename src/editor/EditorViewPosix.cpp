// The X11 view: one child window inside the X11 window the host gives the editor, drawn with
// Xlib (and Xft for its text) on a connection of its own. It has no thread: the editor's idle
// calls handleEvents, which reads the user's input, and present, which draws what changed.
// Xlib is the host's own X client library, so nothing here can clash with the toolkit a host
// links (as a second Qt or GTK in the same process would).
#include <algorithm>
#include <cstdint>
#include <map>
#include <sstream>

// The project's headers come before X11's, whose macros (None, Status) would clash with them.
#include "editor/EditorView.h"
#include "editor/X11FileDialog.h"
#include "editor/X11Painter.h"
#include "editor/X11Palette.h"
#include "editor/X11Protocol.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace tess::editor {

namespace {

constexpr int kThumbWidth = 10;
constexpr int kScrollWidth = 8;
constexpr int kComboHeight = 21;

bool inside(const Rect& r, int x, int y) {
    return x >= r.x && x < r.right() && y >= r.y && y < r.bottom();
}

// X errors on the views' own connections (a host that destroyed its window before closing
// the editor, a window id that is not one) are recorded instead of reaching Xlib's default
// handler, which would end the host. Errors on the host's connections go to the handler that
// was installed before. Views open and close on the host's UI thread only.
std::vector<Display*> viewDisplays;
XErrorHandler hostHandler = nullptr;
bool xError = false;

int viewErrorHandler(Display* display, XErrorEvent* error) {
    if (std::find(viewDisplays.begin(), viewDisplays.end(), display) != viewDisplays.end()) {
        xError = true;
        return 0;
    }
    return hostHandler != nullptr ? hostHandler(display, error) : 0;
}

void watchErrors(Display* display) {
    if (viewDisplays.empty()) hostHandler = XSetErrorHandler(viewErrorHandler);
    viewDisplays.push_back(display);
}

void unwatchErrors(Display* display) {
    viewDisplays.erase(std::remove(viewDisplays.begin(), viewDisplays.end(), display),
                       viewDisplays.end());
    if (!viewDisplays.empty()) return;
    // Give the host its handler back, unless it has installed another one since.
    const XErrorHandler current = XSetErrorHandler(hostHandler);
    if (current != viewErrorHandler) XSetErrorHandler(current);
    hostHandler = nullptr;
}

const char* kindName(ControlKind kind) {
    switch (kind) {
        case ControlKind::Button:
            return "button";
        case ControlKind::Text:
            return "text";
        case ControlKind::ClickableText:
            return "link";
        case ControlKind::Slider:
            return "slider";
        case ControlKind::Combo:
            return "combo";
        case ControlKind::Edit:
            return "edit";
        case ControlKind::Pane:
            return "pane";
    }
    return "text";
}

std::string escaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\r') continue;
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

struct Shown {
    Control control;
    int value = -1;
    int scroll = 0;  // a pane's lines hidden below its bottom
};

class X11View final : public EditorView {
public:
    ~X11View() override { close(); }

    bool open(void* parent, int width, int height, EditorEvents& events) override {
        close();
        if (parent == nullptr) return false;
        display_ = XOpenDisplay(nullptr);
        if (display_ == nullptr) return false;
        parent_ = static_cast<Window>(reinterpret_cast<std::uintptr_t>(parent));
        screen_ = DefaultScreen(display_);
        watchErrors(display_);
        xError = false;
        XWindowAttributes attributes{};
        const bool parentExists = XGetWindowAttributes(display_, parent_, &attributes) != 0;
        XSync(display_, False);
        if (parentExists && !xError) {
            XSetWindowAttributes settings{};
            settings.background_pixel = kBackground;  // as drawn on a true-colour display
            settings.border_pixel = 0;
            settings.colormap = DefaultColormap(display_, screen_);
            settings.event_mask = kEvents;
            window_ = XCreateWindow(
                display_, parent_, 0, 0, static_cast<unsigned>(std::max(width, 1)),
                static_cast<unsigned>(std::max(height, 1)), 0, DefaultDepth(display_, screen_),
                InputOutput, DefaultVisual(display_, screen_),
                CWBackPixel | CWBorderPixel | CWColormap | CWEventMask, &settings);
            XSync(display_, False);
        }
        if (!parentExists || xError || window_ == 0) {
            window_ = 0;
            unwatchErrors(display_);
            XCloseDisplay(display_);
            display_ = nullptr;
            return false;
        }
        stateAtom_ = XInternAtom(display_, x11::kStateProperty, False);
        requestAtom_ = XInternAtom(display_, x11::kRequestMessage, False);
        painter_ = std::make_unique<X11Painter>(display_, screen_);
        width_ = std::max(width, 1);
        height_ = std::max(height, 1);
        XStoreName(display_, window_, "Tessarine");
        XMapWindow(display_, window_);
        XFlush(display_);
        events_ = &events;
        return true;
    }

    void close() override {
        if (display_ == nullptr) return;
        events_ = nullptr;
        painter_.reset();
        if (buffer_ != 0) XFreePixmap(display_, buffer_);
        buffer_ = 0;
        // The host may have destroyed its window, and ours with it, already.
        XDestroyWindow(display_, window_);
        XSync(display_, False);
        unwatchErrors(display_);
        XCloseDisplay(display_);
        display_ = nullptr;
        window_ = 0;
        shown_.clear();
        index_.clear();
        dropdown_ = focus_ = pressed_ = dragged_ = -1;
    }

    void show(const Layout& layout) override {
        shown_.clear();
        index_.clear();
        for (const Control& control : layout.controls) {
            index_[control.id] = shown_.size();
            shown_.push_back({control, -1, 0});
        }
        dropdown_ = focus_ = pressed_ = dragged_ = -1;
        if (layout.width != width_ || layout.height != height_) {
            width_ = layout.width;
            height_ = layout.height;
            if (buffer_ != 0) XFreePixmap(display_, buffer_);
            buffer_ = 0;
        }
        XResizeWindow(display_, window_, static_cast<unsigned>(width_),
                      static_cast<unsigned>(height_));
        // The host's window shows all of the editor, as the Win32 view sizes its parent.
        XResizeWindow(display_, parent_, static_cast<unsigned>(width_),
                      static_cast<unsigned>(height_));
        dirty_ = true;
    }

    void setText(int control, const std::string& text) override {
        Shown* shown = find(control);
        if (shown == nullptr || shown->control.text == text) return;
        shown->control.text = text;
        if (shown->control.kind == ControlKind::Pane) shown->scroll = 0;  // the newest lines
        if (control == focus_) editText_ = text;
        dirty_ = true;
    }

    void setValue(int control, int value) override {
        Shown* shown = find(control);
        if (shown == nullptr || shown->value == value) return;
        shown->value = value;
        dirty_ = true;
    }

    bool parentSize(int& width, int& height) const override {
        if (display_ == nullptr) return false;
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display_, parent_, &attributes) == 0) return false;
        width = attributes.width;
        height = attributes.height;
        return true;
    }

    WindowSizes windowSizes() const override {
        WindowSizes sizes;
        if (display_ == nullptr) return sizes;
        sizeOf(window_, sizes.mainWidth, sizes.mainHeight);
        sizeOf(parent_, sizes.parentWidth, sizes.parentHeight);
        Window root = 0;
        Window grandparent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(display_, parent_, &root, &grandparent, &children, &count) != 0) {
            if (children != nullptr) XFree(children);
            if (grandparent != 0)
                sizeOf(grandparent, sizes.grandparentWidth, sizes.grandparentHeight);
        }
        return sizes;
    }

    std::optional<std::string> chooseFile(const std::string& folder,
                                          const std::vector<FileType>& types) override {
        if (display_ == nullptr) return std::nullopt;
        commitFocus();
        dropdown_ = -1;
        X11FileDialog dialog(display_, window_, *painter_, width_, height_);
        std::optional<std::string> chosen = dialog.run(folder, types);
        XSelectInput(display_, window_, kEvents);
        dirty_ = true;
        present();
        return chosen;
    }

    void updateNow() override { present(); }

    void requestRebuild() override { rebuildRequested_ = true; }

    void handleEvents() override {
        if (display_ == nullptr) return;
        while (display_ != nullptr && XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            handle(event);
            // A rebuild asked for by the event comes before the next event, which may be
            // meant for what the rebuild shows (a dialog the click opens).
            if (display_ != nullptr && rebuildRequested_ && events_ != nullptr) {
                rebuildRequested_ = false;
                events_->rebuildDue();
            }
        }
        if (display_ != nullptr && rebuildRequested_ && events_ != nullptr) {
            rebuildRequested_ = false;
            events_->rebuildDue();
        }
    }

    void present() override {
        if (display_ == nullptr) return;
        const bool drawn = dirty_;
        if (dirty_) draw();
        if (stateDirty_) publishState();
        // A host (or a screenshot) that reads the window next sees what was drawn.
        if (drawn)
            XSync(display_, False);
        else
            XFlush(display_);
    }

private:
    static constexpr long kEvents = ExposureMask | ButtonPressMask | ButtonReleaseMask |
                                    Button1MotionMask | KeyPressMask | StructureNotifyMask |
                                    FocusChangeMask;

    void sizeOf(Window window, int& width, int& height) const {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display_, window, &attributes) != 0) {
            width = attributes.width;
            height = attributes.height;
        }
    }

    Shown* find(int control) {
        const auto it = index_.find(control);
        return it == index_.end() ? nullptr : &shown_[it->second];
    }

    void report(const ControlEvent& event) {
        if (events_ != nullptr) events_->controlEvent(event);
    }

    // A text typed into an edit box counts when the user leaves the box or presses Return.
    void commitFocus() {
        if (focus_ < 0) return;
        const int control = focus_;
        focus_ = -1;
        dirty_ = true;
        Shown* shown = find(control);
        if (shown == nullptr) return;
        shown->control.text = editText_;
        report({ControlEvent::Kind::TextCommitted, control, 0, editText_});
    }

    int sliderPosition(const Shown& slider, int x) const {
        const Rect& r = slider.control.rect;
        const int span = std::max(1, r.width - kThumbWidth);
        return std::clamp((x - r.x - kThumbWidth / 2) * 10000 / span, 0, 10000);
    }

    void moveSlider(int control, int position) {
        Shown* shown = find(control);
        if (shown == nullptr || shown->control.kind != ControlKind::Slider) return;
        shown->value = std::clamp(position, 0, 10000);
        dirty_ = true;
        report({ControlEvent::Kind::SliderMoved, control, shown->value, {}});
    }

    void chooseEntry(int control, int entry) {
        Shown* shown = find(control);
        if (shown == nullptr || shown->control.kind != ControlKind::Combo) return;
        if (entry < 0 || entry >= static_cast<int>(shown->control.items.size())) return;
        shown->value = entry;
        dirty_ = true;
        report({ControlEvent::Kind::SelectionChanged, control, entry, {}});
    }

    // The open combo's list: below the combo, or above it when the window ends first.
    Rect dropdownRect(const Shown& combo, int& rows) const {
        const Rect r = comboBox(combo.control.rect);
        const int row = rowHeight();
        const int count = static_cast<int>(combo.control.items.size());
        const int below = (height_ - r.bottom() - 2) / row;
        const int above = (r.y - 2) / row;
        rows = std::max(1, std::min(count, std::max(below, above)));
        const int listHeight = rows * row + 2;
        const int y =
            (below >= std::min(count, 8) || below >= above) ? r.bottom() : r.y - listHeight;
        return {r.x, y, r.width, listHeight};
    }

    int rowHeight() const { return painter_->lineHeight() + 4; }

    void press(const XButtonEvent& e) {
        const bool wheel = e.button == Button4 || e.button == Button5;
        const int step = e.button == Button4 ? -1 : 1;
        if (dropdown_ >= 0) {
            Shown& combo = shown_[static_cast<std::size_t>(dropdown_)];
            int rows = 0;
            const Rect list = dropdownRect(combo, rows);
            const int count = static_cast<int>(combo.control.items.size());
            if (wheel && inside(list, e.x, e.y)) {
                dropTop_ = std::clamp(dropTop_ + step * 3, 0, std::max(0, count - rows));
                dirty_ = true;
                return;
            }
            const int control = combo.control.id;
            dropdown_ = -1;
            dirty_ = true;
            if (e.button == Button1 && inside(list, e.x, e.y))
                chooseEntry(control, dropTop_ + (e.y - list.y - 1) / rowHeight());
            return;
        }
        int hit = -1;
        for (std::size_t i = 0; i < shown_.size(); ++i)
            if (inside(shown_[i].control.rect, e.x, e.y)) hit = static_cast<int>(i);
        if (e.button == Button1 && focus_ >= 0 &&
            (hit < 0 || shown_[static_cast<std::size_t>(hit)].control.id != focus_))
            commitFocus();  // may rebuild the controls: look again
        hit = -1;
        for (std::size_t i = 0; i < shown_.size(); ++i)
            if (inside(shown_[i].control.rect, e.x, e.y)) hit = static_cast<int>(i);
        if (hit < 0) return;
        Shown& target = shown_[static_cast<std::size_t>(hit)];
        const int control = target.control.id;
        if (wheel) {
            if (target.control.kind == ControlKind::Pane) {
                const int lines = static_cast<int>(linesOf(target.control.text).size());
                target.scroll = std::clamp(target.scroll - step * 3, 0, std::max(0, lines - 1));
                dirty_ = true;
            } else if (target.control.kind == ControlKind::Slider) {
                moveSlider(control, std::max(0, target.value) - step * 100);
            }
            return;
        }
        if (e.button != Button1) return;
        switch (target.control.kind) {
            case ControlKind::Button:
                pressed_ = control;
                dirty_ = true;
                break;
            case ControlKind::ClickableText:
                report({ControlEvent::Kind::Clicked, control, 0, {}});
                break;
            case ControlKind::Slider:
                dragged_ = control;
                moveSlider(control, sliderPosition(target, e.x));
                break;
            case ControlKind::Combo:
                if (target.control.items.empty()) break;
                dropdown_ = hit;
                {
                    int rows = 0;
                    dropdownRect(target, rows);
                    const int count = static_cast<int>(target.control.items.size());
                    dropTop_ = std::clamp(target.value - rows / 2, 0, std::max(0, count - rows));
                }
                dirty_ = true;
                break;
            case ControlKind::Edit:
                if (focus_ != control) {
                    focus_ = control;
                    editText_ = target.control.text;
                    XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
                    dirty_ = true;
                }
                break;
            default:
                break;
        }
    }

    void release(const XButtonEvent& e) {
        if (e.button != Button1) return;
        dragged_ = -1;
        if (pressed_ < 0) return;
        const int control = pressed_;
        pressed_ = -1;
        dirty_ = true;
        const Shown* shown = find(control);
        if (shown != nullptr && inside(shown->control.rect, e.x, e.y))
            report({ControlEvent::Kind::Clicked, control, 0, {}});
    }

    void key(XKeyEvent& e) {
        if (focus_ < 0) return;
        char typed[32] = {};
        KeySym symbol = NoSymbol;
        const int length = XLookupString(&e, typed, sizeof typed - 1, &symbol, nullptr);
        dirty_ = true;
        if (symbol == XK_Return || symbol == XK_KP_Enter || symbol == XK_Tab) {
            commitFocus();
        } else if (symbol == XK_Escape) {
            const Shown* shown = find(focus_);
            editText_ = shown != nullptr ? shown->control.text : std::string();
            focus_ = -1;
        } else if (symbol == XK_BackSpace) {
            if (!editText_.empty()) editText_.pop_back();
        } else {
            for (int i = 0; i < length; ++i)
                if (static_cast<unsigned char>(typed[i]) >= 32 && typed[i] != 127 &&
                    editText_.size() < 256)
                    editText_ += typed[i];
        }
    }

    void handle(XEvent& event) {
        switch (event.type) {
            case Expose:
                if (event.xexpose.count == 0) dirty_ = true;
                break;
            case ButtonPress:
                press(event.xbutton);
                break;
            case ButtonRelease:
                release(event.xbutton);
                break;
            case MotionNotify:
                if (dragged_ >= 0) {
                    while (XCheckTypedWindowEvent(display_, window_, MotionNotify, &event)) {
                    }
                    const Shown* shown = find(dragged_);
                    if (shown != nullptr)
                        moveSlider(dragged_, sliderPosition(*shown, event.xmotion.x));
                }
                break;
            case KeyPress:
                key(event.xkey);
                break;
            case FocusOut:
                if (event.xfocus.mode == NotifyNormal) commitFocus();
                break;
            case ClientMessage:
                if (event.xclient.message_type == requestAtom_ && event.xclient.format == 32) {
                    const long* data = event.xclient.data.l;
                    if (data[0] == x11::kMoveSlider)
                        moveSlider(static_cast<int>(data[1]), static_cast<int>(data[2]));
                    if (data[0] == x11::kChooseEntry)
                        chooseEntry(static_cast<int>(data[1]), static_cast<int>(data[2]));
                }
                break;
            default:
                break;
        }
        if (display_ != nullptr) present();
    }

    void drawButton(const Shown& s) {
        const Rect& r = s.control.rect;
        const bool down = s.control.id == pressed_;
        painter_->fill(r, down ? kPressed : kButtonFace);
        painter_->frame(r, down ? kPressedBorder : kButtonBorder);
        const int width = painter_->textWidth(s.control.text);
        painter_->textIn(r, std::max(3, (r.width - width) / 2), s.control.text, kInk);
    }

    void drawStatic(const Shown& s, std::uint32_t colour) {
        const Rect& r = s.control.rect;
        painter_->text(r.x, r.y + 2 + painter_->ascent(), s.control.text, colour, r);
    }

    void drawSlider(const Shown& s) {
        const Rect& r = s.control.rect;
        const int middle = r.y + r.height / 2;
        painter_->fill({r.x + kThumbWidth / 2, middle - 2, r.width - kThumbWidth, 4}, kTrack);
        const int span = std::max(1, r.width - kThumbWidth);
        const int x = r.x + std::clamp(s.value, 0, 10000) * span / 10000;
        painter_->fill({x, r.y + 2, kThumbWidth, r.height - 4},
                       s.control.id == dragged_ ? kPressedBorder : kThumb);
    }

    // A combo is as tall as the Win32 one (which takes its height from its font, not from the
    // layout), so the layout's captions beside it line up the same way.
    static Rect comboBox(const Rect& r) {
        return {r.x, r.y, r.width, std::max(r.height, kComboHeight)};
    }

    void drawCombo(const Shown& s) {
        const Rect r = comboBox(s.control.rect);
        painter_->fill(r, kButtonFace);
        painter_->frame(r, kButtonBorder);
        const std::vector<std::string>& items = s.control.items;
        if (s.value >= 0 && s.value < static_cast<int>(items.size()))
            painter_->textIn({r.x, r.y, r.width - 16, r.height}, 4,
                             items[static_cast<std::size_t>(s.value)], kInk);
        painter_->triangleDown(r.right() - 9, r.y + r.height / 2, 4, kInk);
    }

    void drawEdit(const Shown& s) {
        const Rect& r = s.control.rect;
        const bool focused = s.control.id == focus_;
        painter_->fill(r, kWhite);
        painter_->frame(r, focused ? kPressedBorder : kFieldBorder);
        const std::string& text = focused ? editText_ : s.control.text;
        painter_->textIn(r, 3, text, kInk);
        if (focused) {
            const int x = r.x + 3 + painter_->textWidth(text);
            painter_->line(x, r.y + 3, x, r.bottom() - 4, kInk);
        }
    }

    void drawPane(const Shown& s) {
        const Rect& r = s.control.rect;
        painter_->fill(r, kWhite);
        painter_->frame(r, kFieldBorder);
        const std::vector<std::string> lines = linesOf(s.control.text);
        const int row = painter_->lineHeight() + 1;
        const int visible = std::max(1, (r.height - 4) / row);
        const int count = static_cast<int>(lines.size());
        const int last = std::max(0, count - s.scroll);  // one past the last line shown
        const int first = std::max(0, last - visible);
        const Rect clip{r.x + 1, r.y + 1, r.width - 2 - kScrollWidth, r.height - 2};
        for (int i = first; i < last; ++i)
            painter_->text(r.x + 4, r.y + 2 + (i - first) * row + painter_->ascent(),
                           lines[static_cast<std::size_t>(i)], kInk, clip);
        if (count > visible) {
            // Where the lines shown are among all of them.
            const Rect bar{r.right() - kScrollWidth - 1, r.y + 1, kScrollWidth, r.height - 2};
            painter_->fill(bar, 0xEAEAEA);
            const int thumb = std::max(12, bar.height * visible / count);
            const int top = bar.y + (bar.height - thumb) * first / std::max(1, count - visible);
            painter_->fill({bar.x + 1, top, bar.width - 2, thumb}, 0xA0A0A0);
        }
    }

    void drawDropdown() {
        if (dropdown_ < 0) return;
        const Shown& combo = shown_[static_cast<std::size_t>(dropdown_)];
        int rows = 0;
        const Rect list = dropdownRect(combo, rows);
        painter_->fill(list, kWhite);
        painter_->frame(list, kFieldBorder);
        const int row = rowHeight();
        for (int i = 0; i < rows && dropTop_ + i < static_cast<int>(combo.control.items.size());
             ++i) {
            const int entry = dropTop_ + i;
            const Rect line{list.x + 1, list.y + 1 + i * row, list.width - 2, row};
            const bool selected = entry == combo.value;
            if (selected) painter_->fill(line, kSelection);
            painter_->textIn(line, 4, combo.control.items[static_cast<std::size_t>(entry)],
                             selected ? kWhite : kInk);
        }
    }

    void draw() {
        dirty_ = false;
        stateDirty_ = true;
        if (buffer_ == 0)
            buffer_ = XCreatePixmap(display_, window_, static_cast<unsigned>(width_),
                                    static_cast<unsigned>(height_),
                                    static_cast<unsigned>(DefaultDepth(display_, screen_)));
        painter_->begin(buffer_);
        painter_->fill({0, 0, width_, height_}, kBackground);
        for (const Shown& s : shown_) {
            switch (s.control.kind) {
                case ControlKind::Button:
                    drawButton(s);
                    break;
                // Static texts sit at the top of their rectangle, beside controls of the same top.
                case ControlKind::Text:
                    drawStatic(s, kInk);
                    break;
                case ControlKind::ClickableText:
                    drawStatic(s, kLink);
                    break;
                case ControlKind::Slider:
                    drawSlider(s);
                    break;
                case ControlKind::Combo:
                    drawCombo(s);
                    break;
                case ControlKind::Edit:
                    drawEdit(s);
                    break;
                case ControlKind::Pane:
                    drawPane(s);
                    break;
            }
        }
        drawDropdown();
        XCopyArea(display_, buffer_, window_, DefaultGC(display_, screen_), 0, 0,
                  static_cast<unsigned>(width_), static_cast<unsigned>(height_), 0, 0);
    }

    void publishState() {
        stateDirty_ = false;
        std::ostringstream state;
        for (const Shown& s : shown_) {
            const Control& c = s.control;
            const bool hasItems = c.kind == ControlKind::Combo;
            const std::string selected =
                hasItems && s.value >= 0 && s.value < static_cast<int>(c.items.size())
                    ? c.items[static_cast<std::size_t>(s.value)]
                    : std::string();
            const std::string& text = c.id == focus_ ? editText_ : c.text;
            state << c.id << '\t' << kindName(c.kind) << '\t' << c.rect.x << '\t' << c.rect.y
                  << '\t' << c.rect.width << '\t' << c.rect.height << '\t'
                  << (c.kind == ControlKind::Slider || hasItems ? s.value : -1) << '\t'
                  << c.items.size() << '\t' << escaped(selected) << '\t' << escaped(text) << '\n';
        }
        const std::string bytes = state.str();
        XChangeProperty(display_, window_, stateAtom_, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(bytes.data()),
                        static_cast<int>(bytes.size()));
    }

    Display* display_ = nullptr;
    int screen_ = 0;
    Window parent_ = 0;
    Window window_ = 0;
    Pixmap buffer_ = 0;
    Atom stateAtom_ = 0;
    Atom requestAtom_ = 0;
    std::unique_ptr<X11Painter> painter_;
    EditorEvents* events_ = nullptr;
    int width_ = 1;
    int height_ = 1;
    std::vector<Shown> shown_;
    std::map<int, std::size_t> index_;
    int dropdown_ = -1;  // index into shown_ of the combo whose list is open
    int dropTop_ = 0;
    int focus_ = -1;  // the edit box being typed into
    std::string editText_;
    int pressed_ = -1;  // the button held down
    int dragged_ = -1;  // the slider being dragged
    bool dirty_ = true;
    bool stateDirty_ = true;
    bool rebuildRequested_ = false;
};

}  // namespace

std::unique_ptr<EditorView> createPlatformView() {
    return std::make_unique<X11View>();
}
bool platformHasView() {
    return true;
}

}  // namespace tess::editor
