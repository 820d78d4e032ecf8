// The edit command on Windows: a top-level window hosts the plug-in's editor as a DAW does,
// and a script operates it with the same window messages its controls send when a user works
// them (trackbar scroll, combo selection change, button click, edit box focus loss).
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "editor/EditorControls.h"
#include "tessarine/Edit.h"
#include "tessarine/ExitStatus.h"
#include "tessarine/Levels.h"
#include "tessarine/VstHost.h"

namespace tess::tool {

namespace {

namespace id = editor::id;

constexpr char kFrameClass[] = "TessarineEditHost";
constexpr char kEditorClass[] = "TessarineWindowClass";
constexpr UINT_PTR kIdleTimer = 1;
constexpr UINT kIdleMilliseconds = 30;

std::string windowText(HWND window) {
    const int length = GetWindowTextLengthA(window);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

std::string className(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// One plug-in instance with its editor in a top-level window.
class EditorFrame {
public:
    ~EditorFrame() { close(); }

    bool open(const std::string& library, const std::string& instrument, const char* title, int x, int y,
              std::ostream& err) {
        int width = 0;
        int height = 0;
        host_ = openEditorHost(library, instrument, width, height, err);
        if (!host_) return false;
        RECT outer{0, 0, width, height};
        AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, FALSE, 0);
        frame_ = CreateWindowExA(0, kFrameClass, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y,
                                 outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        if (frame_ == nullptr) {
            err << "tessarine edit: cannot create a window\n";
            return false;
        }
        SetWindowLongPtrA(frame_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        if (host_->dispatch(vst::effEditOpen, 0, 0, frame_) == 0) {
            err << "tessarine edit: the plug-in did not open its editor\n";
            DestroyWindow(frame_);
            frame_ = nullptr;
            return false;
        }
        seenSizeRequests_ = host_->callbackCounts().sizeWindowRequests;
        SetTimer(frame_, kIdleTimer, kIdleMilliseconds, nullptr);
        return true;
    }

    // Closes the editor and its window; the plug-in stays loaded until the frame is destroyed.
    void close() {
        if (frame_ == nullptr) return;
        KillTimer(frame_, kIdleTimer);
        host_->dispatch(vst::effEditClose);
        SetWindowLongPtrA(frame_, GWLP_USERDATA, 0);
        DestroyWindow(frame_);
        frame_ = nullptr;
    }

    // A host that destroys its window first and closes the editor afterwards.
    void destroyThenClose() {
        if (frame_ == nullptr) return;
        KillTimer(frame_, kIdleTimer);
        SetWindowLongPtrA(frame_, GWLP_USERDATA, 0);
        DestroyWindow(frame_);
        host_->dispatch(vst::effEditIdle);
        host_->dispatch(vst::effEditClose);
        frame_ = nullptr;
    }

    bool isOpen() const { return frame_ != nullptr; }
    bool hasPlugin() const { return host_ != nullptr && host_->effect() != nullptr; }
    HWND frame() const { return frame_; }
    VstHost& host() { return *host_; }
    HWND editor() const { return frame_ != nullptr ? FindWindowExA(frame_, nullptr, kEditorClass, nullptr) : nullptr; }
    HWND control(int controlId) const {
        HWND main = editor();
        return main != nullptr ? GetDlgItem(main, controlId) : nullptr;
    }

    // The host's idle call; a size the editor asked for is given to its window, as a DAW does.
    void idle() {
        if (frame_ == nullptr) return;
        host_->dispatch(vst::effEditIdle);
        const HostCallbackCounts& counts = host_->callbackCounts();
        if (counts.sizeWindowRequests != seenSizeRequests_) {
            seenSizeRequests_ = counts.sizeWindowRequests;
            RECT client;
            GetClientRect(frame_, &client);
            if (client.right != counts.requestedWidth || client.bottom != counts.requestedHeight) {
                RECT outer{0, 0, counts.requestedWidth, counts.requestedHeight};
                AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, FALSE, 0);
                SetWindowPos(frame_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                             SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            }
        }
    }

private:
    std::unique_ptr<VstHost> host_;
    HWND frame_ = nullptr;
    int seenSizeRequests_ = 0;
};

LRESULT CALLBACK frameProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* frame = reinterpret_cast<EditorFrame*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (frame != nullptr) {
        if (message == WM_TIMER && wParam == kIdleTimer) {
            frame->idle();
            return 0;
        }
        if (message == WM_CLOSE) {
            frame->close();  // the user closed the window
            return 0;
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Processes window messages (and with them the idle timer) for `seconds`.
void pump(double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    do {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < end);
}

// How the script answers the next file dialog; cancelled unless told otherwise, so that a
// script never waits for a dialog nobody answers.
struct DialogAnswer {
    bool choose = false;
    std::string path;  // absolute, so the dialog does not look for it in its own folder
    std::ostream* out = nullptr;
    bool answered = false;
};
DialogAnswer nextDialog;

BOOL CALLBACK findDialog(HWND window, LPARAM result) {
    if (className(window) == "#32770" && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(result) = window;
        return FALSE;
    }
    return TRUE;
}

// Runs inside the dialog's own message loop. The first dialog gets the script's answer; any
// dialog still showing afterwards (a message box about the file) is cancelled.
VOID CALLBACK answerDialog(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findDialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog == nullptr) return;
    std::ostream& out = *nextDialog.out;
    if (nextDialog.answered) {
        out << "dialog: closed \"" << windowText(dialog) << "\"\n";
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    } else if (nextDialog.choose) {
        // The file name box of the explorer-style dialog, and of the older one.
        SetDlgItemTextA(dialog, cmb13, nextDialog.path.c_str());
        SetDlgItemTextA(dialog, edt1, nextDialog.path.c_str());
        out << "dialog: chose " << nextDialog.path << "\n";
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    } else {
        out << "dialog: cancelled\n";
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    nextDialog.answered = true;
}

BOOL CALLBACK collectChild(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> childrenOf(HWND parent) {
    std::vector<HWND> children;
    if (parent != nullptr) EnumChildWindows(parent, collectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

RECT rectIn(HWND window, HWND parent) {
    RECT rect;
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool writeBmp(const std::string& path, HWND window, std::ostream& err) {
    RECT client;
    GetClientRect(window, &client);
    const int width = client.right;
    const int height = client.bottom;
    HDC source = GetDC(window);
    HDC memory = CreateCompatibleDC(source);
    HBITMAP bitmap = CreateCompatibleBitmap(source, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    SelectObject(memory, previous);

    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;  // bottom-up rows, as the file stores them
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const int stride = (width * 3 + 3) & ~3;
    std::vector<unsigned char> pixels(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height));
    const int rows = GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                               reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, source);
    if (rows != height) {
        err << "tessarine edit: cannot capture the window\n";
        return false;
    }
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::ofstream stream(path, std::ios::binary);
    stream.write(reinterpret_cast<const char*>(&file), sizeof file);
    stream.write(reinterpret_cast<const char*>(&info), sizeof info);
    stream.write(reinterpret_cast<const char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
    if (!stream) {
        err << "tessarine edit: cannot write " << path << "\n";
        return false;
    }
    return true;
}

class ScriptRunner {
public:
    ScriptRunner(const EditOptions& options, EditorFrame& first, std::ostream& out, std::ostream& err)
        : options_(options), first_(first), out_(out), err_(err) {}

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

    // Lets posted messages arrive and the editor idle a few times.
    void settle() {
        for (int i = 0; i < 3; ++i) {
            pump(0.02);
            if (EditorFrame* frame = active()) frame->idle();
        }
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

    bool execute(const ScriptCommand& c) {
        const std::vector<std::string>& w = c.words;
        if (c.verb == "copy") return CopyFileA(w[0].c_str(), w[1].c_str(), FALSE) != 0;
        if (c.verb == "dialog") {
            std::string path;
            if (w.size() > 1) {
                char full[MAX_PATH] = {};
                if (GetFullPathNameA(w[1].c_str(), sizeof full, full, nullptr) == 0) return false;
                path = full;
            }
            nextDialog = DialogAnswer{w[0] == "choose", path, &out_, false};
            return w[0] == "cancel" || (w[0] == "choose" && w.size() == 2);
        }
        if (c.verb == "second") return secondEditor(w[0]);
        if (c.verb == "first") {
            if (w[0] != "close") return false;
            first_.close();
            return true;
        }
        if (c.verb == "print" && w[0] == "class") return printClass();
        EditorFrame* frame = active();
        if (frame == nullptr) {
            err_ << "tessarine edit: no editor is open\n";
            return false;
        }
        if (c.verb == "idle") {
            for (int i = 0; i < number(w[0]); ++i) {
                pump(0.0);
                frame->idle();
            }
            return true;
        }
        if (c.verb == "slider") return moveSlider(*frame, number(w[0]), number(w[1]));
        if (c.verb == "keyswitch") return chooseEntry(*frame, id::keyswitchCombo(number(w[0])), number(w[1]));
        if (c.verb == "temperament") return chooseEntry(*frame, id::kTemperamentCombo, number(w[0]));
        if (c.verb == "combo") return chooseEntry(*frame, number(w[0]), number(w[1]));
        if (c.verb == "click") return click(*frame, w[0]);
        if (c.verb == "press") {
            err_ << "tessarine edit: press is for the X11 view\n";
            return false;
        }
        if (c.verb == "text") return typeText(*frame, number(w[0]), w[1]);
        if (c.verb == "play") return play(*frame, number(w[0]), std::atof(w[1].c_str()));
        if (c.verb == "print") return print(*frame, w[0], w.size() > 1 ? w[1] : std::string());
        if (c.verb == "screenshot") return writeBmp(w[0], frame->frame(), err_);
        return false;
    }

    bool secondEditor(const std::string& what) {
        if (what == "open") {
            second_ = std::make_unique<EditorFrame>();
            const bool opened = second_->open(options_.plugin, options_.instrument, "Tessarine (second)", 60, 60, err_);
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

    bool moveSlider(EditorFrame& frame, int index, int position) {
        HWND slider = frame.control(id::slider(index));
        if (slider == nullptr) return false;
        // What a trackbar does when the user drags its thumb: it moves and tells its parent.
        SendMessageA(slider, TBM_SETPOS, TRUE, position);
        SendMessageA(GetParent(slider), WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position),
                     reinterpret_cast<LPARAM>(slider));
        SendMessageA(GetParent(slider), WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(slider));
        return true;
    }

    bool chooseEntry(EditorFrame& frame, int controlId, int entry) {
        HWND combo = frame.control(controlId);
        if (combo == nullptr) return false;
        SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(entry), 0);
        SendMessageA(GetParent(combo), WM_COMMAND, MAKEWPARAM(controlId, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
        return true;
    }

    bool click(EditorFrame& frame, const std::string& label) {
        // The first button with that text (the top row's come before the sample panels'), or
        // the button with that control id.
        HWND button = nullptr;
        for (HWND child : childrenOf(frame.editor()))
            if (button == nullptr && className(child) == "Button" &&
                (windowText(child) == label || std::to_string(GetDlgCtrlID(child)) == label))
                button = child;
        if (button == nullptr) return false;
        // A dialog that opens is answered by a timer that runs inside the dialog's own loop.
        if (nextDialog.out == nullptr) nextDialog.out = &out_;
        const UINT_PTR timer = SetTimer(nullptr, 0, 100, answerDialog);
        SendMessageA(button, BM_CLICK, 0, 0);
        // A dialog the editor opens after the click (from a message it posted) is answered too.
        pump(0.2);
        KillTimer(nullptr, timer);
        nextDialog = DialogAnswer{false, {}, &out_, false};
        return true;
    }

    bool typeText(EditorFrame& frame, int controlId, const std::string& text) {
        HWND box = frame.control(controlId);
        if (box == nullptr) return false;
        SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        SendMessageA(GetParent(box), WM_COMMAND, MAKEWPARAM(controlId, EN_KILLFOCUS), reinterpret_cast<LPARAM>(box));
        return true;
    }

    bool play(EditorFrame& frame, int key, double seconds) {
        out_ << playNote(frame.host(), key, seconds);
        return true;
    }

    bool print(EditorFrame& frame, const std::string& what, const std::string& argument) {
        HWND editor = frame.editor();
        vst::AEffect* effect = frame.host().effect();
        if (what == "sliders") {
            int count = 0;
            for (int i = 0; i < id::kMaxSliders; ++i) {
                HWND slider = frame.control(id::slider(i));
                if (slider == nullptr) continue;
                ++count;
                const std::string expected = frame.host().text(vst::effGetParamName, i) + " " +
                                             frame.host().text(vst::effGetParamDisplay, i) + " " +
                                             frame.host().text(vst::effGetParamLabel, i);
                char line[160];
                std::snprintf(line, sizeof line, "slider %d position %d value %.6f", i,
                              static_cast<int>(SendMessageA(slider, TBM_GETPOS, 0, 0)),
                              static_cast<double>(effect->getParameter(effect, i)));
                out_ << line << " caption \"" << windowText(frame.control(id::sliderCaption(i))) << "\" plugin \""
                     << expected << "\"\n";
            }
            out_ << "sliders: " << count << "\n";
            return true;
        }
        if (what == "combos") {
            for (HWND child : childrenOf(editor)) {
                if (className(child) != "ComboBox") continue;
                const int selection = static_cast<int>(SendMessageA(child, CB_GETCURSEL, 0, 0));
                char item[256] = {};
                if (selection >= 0) SendMessageA(child, CB_GETLBTEXT, static_cast<WPARAM>(selection),
                                                 reinterpret_cast<LPARAM>(item));
                out_ << "combo " << GetDlgCtrlID(child) << " selection " << selection << " \"" << item << "\" items "
                     << SendMessageA(child, CB_GETCOUNT, 0, 0) << "\n";
            }
            return true;
        }
        if (what == "controls" || what == "overlaps") return printControls(editor, what == "overlaps");
        if (what == "automation") {
            printAutomation(frame.host(), out_);
            return true;
        }
        if (what == "rect") {
            vst::ERect* rect = nullptr;
            frame.host().dispatch(vst::effEditGetRect, 0, 0, &rect);
            RECT client;
            GetClientRect(frame.frame(), &client);
            if (rect != nullptr)
                out_ << "rect " << rect->right - rect->left << " x " << rect->bottom - rect->top << ", window "
                     << client.right << " x " << client.bottom << "\n";
            return rect != nullptr;
        }
        if (what == "pane") {
            for (const auto& [pane, prefix] : {std::pair{id::kLogPane, "log| "}, {id::kProgramPane, "program| "},
                                               {id::kImportPane, "import| "}}) {
                if (frame.control(pane) != nullptr) printPaneLines(windowText(frame.control(pane)), prefix, out_);
            }
            return true;
        }
        if (what == "text") {
            HWND control = frame.control(std::atoi(argument.c_str()));
            if (control == nullptr) return false;
            out_ << "text " << argument << " \"" << windowText(control) << "\"\n";
            return true;
        }
        return false;
    }

    // Whether the editor's window class is registered in the plug-in's module, which stays
    // loaded after its editors close.
    bool printClass() {
        if (!first_.hasPlugin()) return false;
        WNDCLASSEXA info{};
        info.cbSize = sizeof info;
        const bool registered =
            GetClassInfoExA(static_cast<HINSTANCE>(first_.host().library()), kEditorClass, &info) != 0;
        out_ << "class " << kEditorClass << ": " << (registered ? "registered" : "not registered") << "\n";
        return true;
    }

    bool printControls(HWND editor, bool overlapsOnly) {
        struct Item {
            int id;
            std::string kind;
            RECT rect;
        };
        std::vector<Item> items;
        for (HWND child : childrenOf(editor)) {
            if (GetParent(child) != editor || !IsWindowVisible(child)) continue;
            items.push_back({GetDlgCtrlID(child), className(child), rectIn(child, editor)});
            if (overlapsOnly) continue;
            const RECT& r = items.back().rect;
            std::string text = windowText(child);
            if (text.size() > 60) text = text.substr(0, 60) + "...";
            for (char& ch : text)
                if (ch == '\r' || ch == '\n') ch = ' ';
            out_ << "control " << items.back().id << " " << items.back().kind << " " << r.left << " " << r.top << " "
                 << r.right - r.left << " " << r.bottom - r.top << " \"" << text << "\"\n";
        }
        if (!overlapsOnly) return true;
        int overlaps = 0;
        for (std::size_t a = 0; a < items.size(); ++a)
            for (std::size_t b = a + 1; b < items.size(); ++b) {
                RECT common;
                if (IntersectRect(&common, &items[a].rect, &items[b].rect)) {
                    out_ << "overlap " << items[a].id << " " << items[b].id << "\n";
                    ++overlaps;
                }
            }
        out_ << "overlaps: " << overlaps << " among " << items.size() << " controls\n";
        return true;
    }

    const EditOptions& options_;
    EditorFrame& first_;
    std::unique_ptr<EditorFrame> second_;
    std::ostream& out_;
    std::ostream& err_;
};

bool registerFrameClass() {
    WNDCLASSEXA frameClass{};
    frameClass.cbSize = sizeof frameClass;
    frameClass.lpfnWndProc = frameProcedure;
    frameClass.hInstance = GetModuleHandleA(nullptr);
    frameClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    frameClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    frameClass.lpszClassName = kFrameClass;
    return RegisterClassExA(&frameClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

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
    if (!registerFrameClass()) {
        err << "tessarine edit: cannot register the window class\n";
        return kExitFailure;
    }
    EditorFrame first;
    if (!first.open(options.plugin, options.instrument, "Tessarine", 0, 0, err)) return kExitFailure;
    ScriptRunner runner(options, first, out, err);
    runner.settle();
    bool failed = false;
    for (const ScriptCommand& command : commands) failed = !runner.run(command) || failed;

    // Without a time, a window opened for a person stays until it is closed.
    const bool unattended = !commands.empty() || !options.screenshot.empty();
    const double seconds = options.seconds.value_or(unattended ? 0.5 : 1e9);
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (runner.active() != nullptr && std::chrono::steady_clock::now() < end) pump(0.02);

    if (!options.screenshot.empty()) {
        EditorFrame* frame = runner.active();
        if (frame == nullptr || !writeBmp(options.screenshot, frame->frame(), err)) failed = true;
    }
    runner.closeAll();
    return failed ? kExitFailure : kExitSuccess;
}

}  // namespace tess::tool
