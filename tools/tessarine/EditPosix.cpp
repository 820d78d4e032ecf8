// The edit command with X11: a top-level window hosts the plug-in's editor as a Linux DAW does
// (effEditOpen with the window's id, effEditIdle from the host's loop), and a script operates
// it as a user would: button clicks and typing are sent to the editor's window as X events,
// slider moves and combo choices as the view's requests (exact positions and entries), and
// what the editor shows is read back from the list of controls it publishes.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <thread>

// The project's headers come before X11's, whose macros (None, Status) would clash with them.
#include "editor/EditorControls.h"
#include "editor/X11Protocol.h"
#include "tessarine/Edit.h"
#include "tessarine/ExitStatus.h"
#include "tessarine/PngFile.h"
#include "tessarine/VstHost.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace tess::tool {

namespace {

namespace id = editor::id;

constexpr double kIdleSeconds = 0.03;

// One control as the editor's view publishes it.
struct ShownControl {
    int id = 0;
    std::string kind;
    int x = 0, y = 0, width = 0, height = 0;
    int value = -1;
    int items = 0;
    std::string selected;
    std::string text;
};

std::string unescaped(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
    }
    return out;
}

std::vector<ShownControl> parseControls(const std::string& state) {
    std::vector<ShownControl> controls;
    std::istringstream lines(state);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::size_t start = 0;
        while (fields.size() < 9) {
            const std::size_t tab = line.find('\t', start);
            if (tab == std::string::npos) break;
            fields.push_back(line.substr(start, tab - start));
            start = tab + 1;
        }
        if (fields.size() != 9) continue;
        ShownControl c;
        c.id = std::atoi(fields[0].c_str());
        c.kind = fields[1];
        c.x = std::atoi(fields[2].c_str());
        c.y = std::atoi(fields[3].c_str());
        c.width = std::atoi(fields[4].c_str());
        c.height = std::atoi(fields[5].c_str());
        c.value = std::atoi(fields[6].c_str());
        c.items = std::atoi(fields[7].c_str());
        c.selected = unescaped(fields[8]);
        c.text = unescaped(line.substr(start));
        controls.push_back(c);
    }
    return controls;
}

// One plug-in instance with its editor in a top-level window.
class EditorFrame {
public:
    explicit EditorFrame(Display* display) : display_(display) {}
    ~EditorFrame() { close(); }

    bool open(const std::string& library, const std::string& instrument, const char* title, int x,
              int y, std::ostream& err) {
        int width = 0;
        int height = 0;
        host_ = openEditorHost(library, instrument, width, height, err);
        if (!host_) return false;
        const int screen = DefaultScreen(display_);
        frame_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), x, y,
                                     static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                                     BlackPixel(display_, screen), WhitePixel(display_, screen));
        XStoreName(display_, frame_, title);
        Atom deleteWindow = XInternAtom(display_, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(display_, frame_, &deleteWindow, 1);
        XSelectInput(display_, frame_, StructureNotifyMask);
        XMapWindow(display_, frame_);
        // The editor opens in a window that is on the screen.
        for (XEvent event{}; event.type != MapNotify;)
            XWindowEvent(display_, frame_, StructureNotifyMask, &event);
        if (host_->dispatch(vst::effEditOpen, 0, 0,
                            reinterpret_cast<void*>(static_cast<std::uintptr_t>(frame_))) == 0) {
            err << "tessarine edit: the plug-in did not open its editor\n";
            XDestroyWindow(display_, frame_);
            frame_ = 0;
            return false;
        }
        seenSizeRequests_ = host_->callbackCounts().sizeWindowRequests;
        return true;
    }

    // Closes the editor and its window; the plug-in stays loaded until the frame is destroyed.
    void close() {
        if (frame_ == 0) return;
        host_->dispatch(vst::effEditClose);
        XDestroyWindow(display_, frame_);
        XSync(display_, False);
        frame_ = 0;
    }

    // A host that destroys its window first and closes the editor afterwards.
    void destroyThenClose() {
        if (frame_ == 0) return;
        XDestroyWindow(display_, frame_);
        XSync(display_, False);
        host_->dispatch(vst::effEditIdle);
        host_->dispatch(vst::effEditClose);
        frame_ = 0;
    }

    bool isOpen() const { return frame_ != 0; }
    Window frame() const { return frame_; }
    VstHost& host() { return *host_; }

    // The editor's own window: the first child of the frame.
    Window editor() const {
        if (frame_ == 0) return 0;
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        Window found = 0;
        if (XQueryTree(display_, frame_, &root, &parent, &children, &count) != 0 && count > 0)
            found = children[0];
        if (children != nullptr) XFree(children);
        return found;
    }

    // The host's idle call; a size the editor asked for is given to its window, as a DAW does.
    void idle() {
        if (frame_ == 0) return;
        host_->dispatch(vst::effEditIdle);
        const HostCallbackCounts& counts = host_->callbackCounts();
        if (counts.sizeWindowRequests != seenSizeRequests_) {
            seenSizeRequests_ = counts.sizeWindowRequests;
            XResizeWindow(display_, frame_, static_cast<unsigned>(counts.requestedWidth),
                          static_cast<unsigned>(counts.requestedHeight));
        }
    }

    void size(int& width, int& height) const {
        XWindowAttributes attributes{};
        XGetWindowAttributes(display_, frame_, &attributes);
        width = attributes.width;
        height = attributes.height;
    }

private:
    Display* display_;
    std::unique_ptr<VstHost> host_;
    Window frame_ = 0;
    int seenSizeRequests_ = 0;
};

bool writeScreenshot(Display* display, Window window, const std::string& path, std::ostream& err) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (image == nullptr) {
        err << "tessarine edit: cannot capture the window\n";
        return false;
    }
    // Each channel's mask gives its place in a pixel.
    const auto channel = [](unsigned long pixel, unsigned long mask) {
        if (mask == 0) return 0;
        int shift = 0;
        while (((mask >> shift) & 1) == 0) ++shift;
        const unsigned long top = mask >> shift;
        return static_cast<int>(((pixel & mask) >> shift) * 255 / top);
    };
    std::vector<unsigned char> rgb;
    rgb.reserve(static_cast<std::size_t>(attributes.width) * attributes.height * 3);
    for (int y = 0; y < attributes.height; ++y)
        for (int x = 0; x < attributes.width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            rgb.push_back(static_cast<unsigned char>(channel(pixel, image->red_mask)));
            rgb.push_back(static_cast<unsigned char>(channel(pixel, image->green_mask)));
            rgb.push_back(static_cast<unsigned char>(channel(pixel, image->blue_mask)));
        }
    XDestroyImage(image);
    if (!writePng(path, attributes.width, attributes.height, rgb)) {
        err << "tessarine edit: cannot write " << path << "\n";
        return false;
    }
    return true;
}

class ScriptRunner {
public:
    ScriptRunner(Display* display, const EditOptions& options, EditorFrame& first,
                 std::ostream& out, std::ostream& err)
        : display_(display), options_(options), first_(first), out_(out), err_(err) {
        stateAtom_ = XInternAtom(display_, editor::x11::kStateProperty, False);
        requestAtom_ = XInternAtom(display_, editor::x11::kRequestMessage, False);
        deleteAtom_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
    }

    bool run(const ScriptCommand& command) {
        out_ << "> " << command.verb;
        for (const std::string& word : command.words) out_ << " " << word;
        out_ << "\n";
        const bool done = execute(command);
        if (!done) err_ << "tessarine edit: script line " << command.line << " failed\n";
        settle();
        out_.flush();
        return done;
    }

    // Lets sent events arrive and the editor idle a few times.
    void settle() {
        for (int i = 0; i < 3; ++i) pump(0.02);
    }

    // Handles the frame windows' events and idles the editors for `seconds`.
    void pump(double seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        do {
            while (XPending(display_) > 0) {
                XEvent event;
                XNextEvent(display_, &event);
                if (event.type == ClientMessage &&
                    static_cast<Atom>(event.xclient.data.l[0]) == deleteAtom_) {
                    // The user closed a window.
                    if (second_ && event.xclient.window == second_->frame()) second_->close();
                    if (event.xclient.window == first_.frame()) first_.close();
                }
            }
            if (std::chrono::steady_clock::now() >= nextIdle_) {
                nextIdle_ = std::chrono::steady_clock::now() +
                            std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                std::chrono::duration<double>(kIdleSeconds));
                if (EditorFrame* frame = active()) frame->idle();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        } while (std::chrono::steady_clock::now() < end);
    }

    EditorFrame* active() {
        if (second_ && second_->isOpen()) return second_.get();
        return first_.isOpen() ? &first_ : nullptr;
    }

    void closeAll() {
        if (second_) second_->close();
        first_.close();
    }

private:
    static int number(const std::string& word) { return std::atoi(word.c_str()); }

    std::vector<ShownControl> controls(EditorFrame& frame) {
        std::vector<ShownControl> result;
        const Window editor = frame.editor();
        if (editor == 0) return result;
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display_, editor, stateAtom_, 0, 1 << 24, False, XA_STRING, &type,
                               &format, &count, &after, &data) == Success &&
            data != nullptr) {
            result = parseControls(std::string(reinterpret_cast<char*>(data), count));
        }
        if (data != nullptr) XFree(data);
        return result;
    }

    std::optional<ShownControl> control(EditorFrame& frame, int controlId) {
        for (const ShownControl& c : controls(frame))
            if (c.id == controlId) return c;
        return std::nullopt;
    }

    void send(EditorFrame& frame, XEvent& event, long mask) {
        XSendEvent(display_, frame.editor(), False, mask, &event);
        XSync(display_, False);
    }

    void request(EditorFrame& frame, long what, int controlId, int value) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = frame.editor();
        event.xclient.message_type = requestAtom_;
        event.xclient.format = 32;
        event.xclient.data.l[0] = what;
        event.xclient.data.l[1] = controlId;
        event.xclient.data.l[2] = value;
        send(frame, event, NoEventMask);
    }

    // A press and release of the first mouse button at x, y of the editor's window.
    void clickAt(EditorFrame& frame, int x, int y) {
        for (const int type : {ButtonPress, ButtonRelease}) {
            XEvent event{};
            event.xbutton.type = type;
            event.xbutton.window = frame.editor();
            event.xbutton.root = DefaultRootWindow(display_);
            event.xbutton.x = x;
            event.xbutton.y = y;
            event.xbutton.button = Button1;
            event.xbutton.same_screen = True;
            event.xbutton.time = CurrentTime;
            send(frame, event, NoEventMask);
        }
    }

    void pressKey(EditorFrame& frame, KeySym symbol) {
        KeyCode code = XKeysymToKeycode(display_, symbol);
        if (code == 0) return;
        unsigned state = 0;
        if (XkbKeycodeToKeysym(display_, code, 0, 0) != symbol) state = ShiftMask;
        XEvent event{};
        event.xkey.type = KeyPress;
        event.xkey.window = frame.editor();
        event.xkey.root = DefaultRootWindow(display_);
        event.xkey.keycode = code;
        event.xkey.state = state;
        event.xkey.same_screen = True;
        send(frame, event, NoEventMask);
    }

    void type(EditorFrame& frame, const std::string& text) {
        for (unsigned char c : text)
            pressKey(frame, static_cast<KeySym>(c));  // Latin-1 keysyms are the characters
    }

    bool execute(const ScriptCommand& c) {
        const std::vector<std::string>& w = c.words;
        if (c.verb == "copy") {
            std::error_code error;
            std::filesystem::copy_file(w[0], w[1],
                                       std::filesystem::copy_options::overwrite_existing, error);
            return !error;
        }
        if (c.verb == "dialog") {
            dialogArmed_ = true;
            dialogChoose_ = w[0] == "choose";
            dialogPath_.clear();
            if (w.size() > 1) {
                std::error_code error;
                dialogPath_ = std::filesystem::absolute(w[1], error).string();
            }
            return w[0] == "cancel" || (w[0] == "choose" && w.size() == 2);
        }
        if (c.verb == "second") return secondEditor(w[0]);
        if (c.verb == "first") {
            if (w[0] != "close") return false;
            first_.close();
            return true;
        }
        if (c.verb == "print" && w[0] == "class") {
            out_ << "class: the X11 view registers no window class\n";
            return true;
        }
        EditorFrame* frame = active();
        if (frame == nullptr) {
            err_ << "tessarine edit: no editor is open\n";
            return false;
        }
        if (c.verb == "idle") {
            for (int i = 0; i < number(w[0]); ++i) pump(kIdleSeconds);
            return true;
        }
        if (c.verb == "slider")
            return requestFor(*frame, id::slider(number(w[0])), editor::x11::kMoveSlider,
                              number(w[1]));
        if (c.verb == "keyswitch")
            return requestFor(*frame, id::keyswitchCombo(number(w[0])), editor::x11::kChooseEntry,
                              number(w[1]));
        if (c.verb == "temperament")
            return requestFor(*frame, id::kTemperamentCombo, editor::x11::kChooseEntry,
                              number(w[0]));
        if (c.verb == "combo")
            return requestFor(*frame, number(w[0]), editor::x11::kChooseEntry, number(w[1]));
        if (c.verb == "click") return click(*frame, w[0]);
        if (c.verb == "press") {
            const std::optional<ShownControl> target = control(*frame, number(w[0]));
            if (!target) return false;
            clickAt(*frame, target->x + target->width / 2, target->y + target->height / 2);
            return true;
        }
        if (c.verb == "text") return typeText(*frame, number(w[0]), w[1]);
        if (c.verb == "play") {
            out_ << playNote(frame->host(), number(w[0]), std::atof(w[1].c_str()));
            return true;
        }
        if (c.verb == "print") return print(*frame, w[0], w.size() > 1 ? w[1] : std::string());
        if (c.verb == "screenshot") return writeScreenshot(display_, frame->frame(), w[0], err_);
        return false;
    }

    bool requestFor(EditorFrame& frame, int controlId, long what, int value) {
        if (!control(frame, controlId)) return false;
        request(frame, what, controlId, value);
        return true;
    }

    bool secondEditor(const std::string& what) {
        if (what == "open") {
            second_ = std::make_unique<EditorFrame>(display_);
            const bool opened = second_->open(options_.plugin, options_.instrument,
                                              "Tessarine (second)", 60, 60, err_);
            out_ << "second editor: " << (opened ? "opened" : "not opened") << "\n";
            return opened;
        }
        if (what == "close" && second_) {
            second_->close();
            return true;
        }
        if (what == "destroy" && second_) {
            second_->destroyThenClose();
            return true;
        }
        return false;
    }

    bool click(EditorFrame& frame, const std::string& label) {
        // The first button with that text (the top row's come before the sample panels'), or
        // the button with that control id.
        std::optional<ShownControl> button;
        for (const ShownControl& c : controls(frame))
            if (!button && c.kind == "button" && (c.text == label || std::to_string(c.id) == label))
                button = c;
        if (!button) return false;
        clickAt(frame, button->x + button->width / 2, button->y + button->height / 2);
        // A file dialog the click opens reads the keys that follow; with no dialog they are
        // ignored. Unless the script said otherwise it is cancelled, so nothing waits for it.
        if (dialogArmed_ && dialogChoose_) {
            type(frame, dialogPath_);
            pressKey(frame, XK_Return);
            out_ << "dialog: chose " << dialogPath_ << "\n";
        } else {
            pressKey(frame, XK_Escape);
            if (dialogArmed_) out_ << "dialog: cancelled\n";
        }
        dialogArmed_ = false;
        return true;
    }

    bool typeText(EditorFrame& frame, int controlId, const std::string& text) {
        const std::optional<ShownControl> box = control(frame, controlId);
        if (!box || box->kind != "edit") return false;
        clickAt(frame, box->x + box->width / 2, box->y + box->height / 2);
        for (std::size_t i = 0; i < box->text.size(); ++i) pressKey(frame, XK_BackSpace);
        type(frame, text);
        pressKey(frame, XK_Return);
        return true;
    }

    bool print(EditorFrame& frame, const std::string& what, const std::string& argument) {
        vst::AEffect* effect = frame.host().effect();
        const std::vector<ShownControl> shown = controls(frame);
        std::map<int, const ShownControl*> byId;
        for (const ShownControl& c : shown) byId[c.id] = &c;
        if (what == "sliders") {
            int count = 0;
            for (const ShownControl& c : shown) {
                const int i = id::sliderOf(c.id);
                if (i < 0) continue;
                ++count;
                const std::string expected = frame.host().text(vst::effGetParamName, i) + " " +
                                             frame.host().text(vst::effGetParamDisplay, i) + " " +
                                             frame.host().text(vst::effGetParamLabel, i);
                const auto caption = byId.find(id::sliderCaption(i));
                char line[160];
                std::snprintf(line, sizeof line, "slider %d position %d value %.6f", i, c.value,
                              static_cast<double>(effect->getParameter(effect, i)));
                out_ << line << " caption \""
                     << (caption != byId.end() ? caption->second->text : std::string())
                     << "\" plugin \"" << expected << "\"\n";
            }
            out_ << "sliders: " << count << "\n";
            return true;
        }
        if (what == "combos") {
            for (const ShownControl& c : shown)
                if (c.kind == "combo")
                    out_ << "combo " << c.id << " selection " << c.value << " \"" << c.selected
                         << "\" items " << c.items << "\n";
            return true;
        }
        if (what == "controls" || what == "overlaps")
            return printControls(shown, what == "overlaps");
        if (what == "automation") {
            printAutomation(frame.host(), out_);
            return true;
        }
        if (what == "rect") {
            vst::ERect* rect = nullptr;
            frame.host().dispatch(vst::effEditGetRect, 0, 0, &rect);
            int width = 0, height = 0;
            frame.size(width, height);
            if (rect != nullptr)
                out_ << "rect " << rect->right - rect->left << " x " << rect->bottom - rect->top
                     << ", window " << width << " x " << height << "\n";
            return rect != nullptr;
        }
        if (what == "pane") {
            for (const auto& [pane, prefix] : {std::pair{id::kLogPane, "log| "},
                                               {id::kProgramPane, "program| "},
                                               {id::kImportPane, "import| "}}) {
                const auto found = byId.find(pane);
                if (found != byId.end()) printPaneLines(found->second->text, prefix, out_);
            }
            return true;
        }
        if (what == "text") {
            const auto found = byId.find(std::atoi(argument.c_str()));
            if (found == byId.end()) return false;
            out_ << "text " << argument << " \"" << found->second->text << "\"\n";
            return true;
        }
        return false;
    }

    bool printControls(const std::vector<ShownControl>& shown, bool overlapsOnly) {
        if (!overlapsOnly)
            for (const ShownControl& c : shown) {
                std::string text = c.text;
                if (text.size() > 60) text = text.substr(0, 60) + "...";
                for (char& ch : text)
                    if (ch == '\r' || ch == '\n') ch = ' ';
                out_ << "control " << c.id << " " << c.kind << " " << c.x << " " << c.y << " "
                     << c.width << " " << c.height << " \"" << text << "\"\n";
            }
        if (!overlapsOnly) return true;
        int overlaps = 0;
        for (std::size_t a = 0; a < shown.size(); ++a)
            for (std::size_t b = a + 1; b < shown.size(); ++b) {
                const ShownControl& p = shown[a];
                const ShownControl& q = shown[b];
                if (p.x < q.x + q.width && q.x < p.x + p.width && p.y < q.y + q.height &&
                    q.y < p.y + p.height) {
                    out_ << "overlap " << p.id << " " << q.id << "\n";
                    ++overlaps;
                }
            }
        out_ << "overlaps: " << overlaps << " among " << shown.size() << " controls\n";
        return true;
    }

    Display* display_;
    const EditOptions& options_;
    EditorFrame& first_;
    std::unique_ptr<EditorFrame> second_;
    std::ostream& out_;
    std::ostream& err_;
    Atom stateAtom_ = 0;
    Atom requestAtom_ = 0;
    Atom deleteAtom_ = 0;
    bool dialogArmed_ = false;
    bool dialogChoose_ = false;
    std::string dialogPath_;
    std::chrono::steady_clock::time_point nextIdle_{};
};

}  // namespace

int runEdit(const EditOptions& options, std::ostream& out, std::ostream& err) {
    std::vector<ScriptCommand> commands;
    if (!options.script.empty()) {
        std::ifstream file(options.script, std::ios::binary);
        if (!file) {
            err << "tessarine edit: cannot read the script \"" << options.script << "\"\n";
            return kExitFailure;
        }
        std::ostringstream text;
        text << file.rdbuf();
        std::string error;
        if (!parseEditScript(text.str(), commands, error)) {
            err << "tessarine edit: " << options.script << ": " << error << "\n";
            return kExitUsage;
        }
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        err << "tessarine edit: cannot open the X display (is DISPLAY set?)\n";
        return kExitFailure;
    }
    bool failed = false;
    {
        EditorFrame first(display);
        if (!first.open(options.plugin, options.instrument, "Tessarine", 0, 0, err)) {
            XCloseDisplay(display);
            return kExitFailure;
        }
        ScriptRunner runner(display, options, first, out, err);
        runner.settle();
        for (const ScriptCommand& command : commands) failed = !runner.run(command) || failed;

        // Without a time, a window opened for a person stays until it is closed.
        const bool unattended = !commands.empty() || !options.screenshot.empty();
        const double seconds = options.seconds.value_or(unattended ? 0.5 : 1e9);
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (runner.active() != nullptr && std::chrono::steady_clock::now() < end)
            runner.pump(0.02);

        if (!options.screenshot.empty()) {
            EditorFrame* frame = runner.active();
            if (frame == nullptr ||
                !writeScreenshot(display, frame->frame(), options.screenshot, err))
                failed = true;
        }
        runner.closeAll();
    }
    XCloseDisplay(display);
    return failed ? kExitFailure : kExitSuccess;
}

}  // namespace tess::tool
