// The Win32 view: one child window of the host's parent ("TessarineWindowClass") holding
// standard and common controls. It creates what the layout describes and turns window
// messages into control events; the editor does the rest.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <map>

#include "editor/EditorView.h"

namespace tess::editor {

namespace {

constexpr char kClassName[] = "TessarineWindowClass";
constexpr UINT kRebuildMessage = WM_APP + 1;
constexpr int kComboDropHeight = 240;

// Editor windows open in this process. The window class is registered when the first opens
// and unregistered when the last closes. Windows are only touched on the host's UI thread.
int openWindows = 0;

HINSTANCE moduleInstance() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&moduleInstance), &module);
    return module;
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK editBoxProcedure(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR);

bool acquireWindowClass() {
    if (openWindows++ > 0) return true;
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = moduleInstance();
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    if (RegisterClassExA(&windowClass) != 0) return true;
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExA(moduleInstance(), kClassName, &existing)) return true;
    --openWindows;
    return false;
}

void releaseWindowClass() {
    if (openWindows > 0 && --openWindows == 0) UnregisterClassA(kClassName, moduleInstance());
}

class WindowsView final : public EditorView {
public:
    ~WindowsView() override { close(); }

    bool open(void* parent, int width, int height, EditorEvents& events) override {
        if (parent == nullptr || !acquireWindowClass()) return false;
        parent_ = static_cast<HWND>(parent);
        main_ = CreateWindowExA(0, kClassName, "Tessarine", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, width,
                                height, parent_, nullptr, moduleInstance(), nullptr);
        if (main_ == nullptr) {
            releaseWindowClass();
            return false;
        }
        SetWindowLongPtrA(main_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        events_ = &events;
        font_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        return true;
    }

    void close() override {
        if (main_ == nullptr) return;
        events_ = nullptr;  // destroying controls sends notifications nobody should act on
        SetWindowLongPtrA(main_, GWLP_USERDATA, 0);
        DestroyWindow(main_);
        main_ = nullptr;
        tooltip_ = nullptr;
        controls_.clear();
        kinds_.clear();
        releaseWindowClass();
    }

    void show(const Layout& layout) override {
        building_ = true;
        for (const auto& [id, control] : controls_) DestroyWindow(control);
        controls_.clear();
        kinds_.clear();
        if (tooltip_ != nullptr) DestroyWindow(tooltip_);
        tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, main_, nullptr, moduleInstance(),
                                   nullptr);
        if (tooltip_ != nullptr) SendMessageA(tooltip_, TTM_SETMAXTIPWIDTH, 0, 400);

        SetWindowPos(main_, nullptr, 0, 0, layout.width, layout.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        resizeClientArea(parent_, layout.width, layout.height);
        ShowScrollBar(main_, SB_BOTH, FALSE);
        ShowScrollBar(parent_, SB_BOTH, FALSE);
        for (const Control& control : layout.controls) create(control);
        building_ = false;
        InvalidateRect(main_, nullptr, TRUE);
    }

    void setText(int control, const std::string& text) override {
        HWND window = find(control);
        if (window == nullptr) return;
        SetWindowTextA(window, text.c_str());
        if (kinds_[control] == ControlKind::Pane) {
            // Show the newest lines.
            const LPARAM end = GetWindowTextLengthA(window);
            SendMessageA(window, EM_SETSEL, static_cast<WPARAM>(end), end);
            SendMessageA(window, EM_SCROLLCARET, 0, 0);
        }
    }

    void setValue(int control, int value) override {
        HWND window = find(control);
        if (window == nullptr) return;
        if (kinds_[control] == ControlKind::Slider)
            SendMessageA(window, TBM_SETPOS, TRUE, value);
        else if (kinds_[control] == ControlKind::Combo)
            SendMessageA(window, CB_SETCURSEL, static_cast<WPARAM>(value), 0);
    }

    bool parentSize(int& width, int& height) const override {
        RECT client;
        if (parent_ == nullptr || !GetClientRect(parent_, &client)) return false;
        width = client.right - client.left;
        height = client.bottom - client.top;
        return true;
    }

    WindowSizes windowSizes() const override {
        WindowSizes sizes;
        sizeOf(main_, sizes.mainWidth, sizes.mainHeight);
        sizeOf(parent_, sizes.parentWidth, sizes.parentHeight);
        sizeOf(parent_ != nullptr ? GetParent(parent_) : nullptr, sizes.grandparentWidth, sizes.grandparentHeight);
        return sizes;
    }

    std::optional<std::string> chooseFile(const std::string& folder, const std::vector<FileType>& types) override {
        // "Name\0patterns\0" per type, then an empty entry; the dialog wants ';' between patterns.
        std::string filter;
        for (const FileType& type : types) filter += type.name + '\0' + type.patterns + '\0';
        if (filter.empty()) filter = std::string("All") + '\0' + "*.*" + '\0';
        filter += '\0';
        char file[MAX_PATH] = {};
        OPENFILENAMEA dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = main_;
        dialog.lpstrFilter = filter.c_str();
        dialog.nFilterIndex = 1;
        dialog.lpstrFile = file;
        dialog.nMaxFile = sizeof file;
        dialog.lpstrInitialDir = folder.c_str();
        dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
        if (!GetOpenFileNameA(&dialog)) return std::nullopt;
        return std::string(file);
    }

    void updateNow() override {
        if (main_ != nullptr) RedrawWindow(main_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    }

    void requestRebuild() override {
        if (main_ == nullptr || rebuildPosted_) return;
        rebuildPosted_ = PostMessageA(main_, kRebuildMessage, 0, 0) != 0;
    }

    // Messages of the editor's window.
    LRESULT handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
            case kRebuildMessage:
                rebuildPosted_ = false;
                if (events_ != nullptr) events_->rebuildDue();
                return 0;
            case WM_HSCROLL:
                if (lParam != 0 && LOWORD(wParam) != TB_ENDTRACK) {
                    HWND slider = reinterpret_cast<HWND>(lParam);
                    report({ControlEvent::Kind::SliderMoved, GetDlgCtrlID(slider),
                            static_cast<int>(SendMessageA(slider, TBM_GETPOS, 0, 0)), {}});
                }
                break;
            case WM_COMMAND: command(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)); break;
            default: break;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    void commitText(HWND box) {
        report({ControlEvent::Kind::TextCommitted, GetDlgCtrlID(box), 0, windowText(box)});
    }

private:
    static void sizeOf(HWND window, int& width, int& height) {
        RECT rect{};
        if (window != nullptr && GetWindowRect(window, &rect)) {
            width = rect.right - rect.left;
            height = rect.bottom - rect.top;
        }
    }

    // Sizes `window` so that its client area is width x height, whatever its frame.
    static void resizeClientArea(HWND window, int width, int height) {
        RECT outer;
        RECT client;
        if (window == nullptr || !GetWindowRect(window, &outer) || !GetClientRect(window, &client)) return;
        const int frameWidth = (outer.right - outer.left) - (client.right - client.left);
        const int frameHeight = (outer.bottom - outer.top) - (client.bottom - client.top);
        SetWindowPos(window, nullptr, 0, 0, width + frameWidth, height + frameHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    static std::string windowText(HWND window) {
        const int length = GetWindowTextLengthA(window);
        std::string text(static_cast<std::size_t>(length) + 1, '\0');
        const int copied = GetWindowTextA(window, text.data(), length + 1);
        text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
        return text;
    }

    HWND find(int control) const {
        const auto it = controls_.find(control);
        return it == controls_.end() ? nullptr : it->second;
    }

    void report(const ControlEvent& event) {
        if (events_ != nullptr && !building_) events_->controlEvent(event);
    }

    void command(int control, int code, HWND source) {
        if (source == nullptr) return;
        const auto kind = kinds_.find(control);
        if (kind == kinds_.end()) return;
        switch (kind->second) {
            case ControlKind::Button:
                if (code == BN_CLICKED) report({ControlEvent::Kind::Clicked, control, 0, {}});
                break;
            case ControlKind::ClickableText:
                if (code == STN_CLICKED) report({ControlEvent::Kind::Clicked, control, 0, {}});
                break;
            case ControlKind::Combo:
                if (code == CBN_SELCHANGE)
                    report({ControlEvent::Kind::SelectionChanged, control,
                            static_cast<int>(SendMessageA(source, CB_GETCURSEL, 0, 0)), {}});
                break;
            case ControlKind::Edit:
                if (code == EN_KILLFOCUS) commitText(source);
                break;
            default: break;
        }
    }

    void create(const Control& control) {
        const char* windowClass = "STATIC";
        DWORD style = WS_CHILD | WS_VISIBLE;
        DWORD extended = 0;
        int height = control.rect.height;
        switch (control.kind) {
            case ControlKind::Button: windowClass = "BUTTON"; style |= BS_PUSHBUTTON | WS_TABSTOP; break;
            case ControlKind::Text: style |= SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS; break;
            case ControlKind::ClickableText: style |= SS_LEFT | SS_NOPREFIX | SS_NOTIFY | SS_PATHELLIPSIS; break;
            case ControlKind::Slider: windowClass = TRACKBAR_CLASSA; style |= TBS_HORZ | TBS_NOTICKS | WS_TABSTOP; break;
            case ControlKind::Combo:
                windowClass = "COMBOBOX";
                style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
                height += kComboDropHeight;  // the list shown when it drops down
                break;
            case ControlKind::Edit:
                windowClass = "EDIT";
                style |= ES_AUTOHSCROLL | WS_TABSTOP;
                extended = WS_EX_CLIENTEDGE;
                break;
            case ControlKind::Pane:
                windowClass = "EDIT";
                style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_VSCROLL | ES_NOHIDESEL;
                extended = WS_EX_CLIENTEDGE;
                break;
        }
        const Rect& r = control.rect;
        HWND window = CreateWindowExA(extended, windowClass, control.text.c_str(), style, r.x, r.y, r.width, height,
                                      main_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                                      moduleInstance(), nullptr);
        if (window == nullptr) return;
        SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        controls_[control.id] = window;
        kinds_[control.id] = control.kind;
        switch (control.kind) {
            case ControlKind::Slider:
                SendMessageA(window, TBM_SETRANGEMIN, FALSE, 0);
                SendMessageA(window, TBM_SETRANGEMAX, FALSE, 10000);
                SendMessageA(window, TBM_SETLINESIZE, 0, 100);
                SendMessageA(window, TBM_SETPAGESIZE, 0, 1000);
                break;
            case ControlKind::Combo:
                for (const std::string& item : control.items)
                    SendMessageA(window, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
                break;
            case ControlKind::Edit: SetWindowSubclass(window, editBoxProcedure, 1, 0); break;
            case ControlKind::Pane: SendMessageA(window, EM_SETLIMITTEXT, 0, 0); break;
            default: break;
        }
        if (!control.tooltip.empty() && tooltip_ != nullptr) {
            TOOLINFOA tool{};
            tool.cbSize = TTTOOLINFOA_V2_SIZE;
            tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            tool.hwnd = main_;
            tool.uId = reinterpret_cast<UINT_PTR>(window);
            tool.lpszText = const_cast<char*>(control.tooltip.c_str());
            SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }

    HWND parent_ = nullptr;
    HWND main_ = nullptr;
    HWND tooltip_ = nullptr;
    HFONT font_ = nullptr;
    EditorEvents* events_ = nullptr;
    bool building_ = false;
    bool rebuildPosted_ = false;
    std::map<int, HWND> controls_;
    std::map<int, ControlKind> kinds_;
};

WindowsView* viewOf(HWND window) {
    return reinterpret_cast<WindowsView*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowsView* view = viewOf(window);
    if (view == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    return view->handle(window, message, wParam, lParam);
}

// Enter in a sample panel's edit box commits its text as leaving the box does.
LRESULT CALLBACK editBoxProcedure(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_CHAR && wParam == VK_RETURN) {
        WindowsView* view = viewOf(GetParent(box));
        if (view != nullptr) view->commitText(box);
        return 0;
    }
    if (message == WM_NCDESTROY) RemoveWindowSubclass(box, editBoxProcedure, 1);
    return DefSubclassProc(box, message, wParam, lParam);
}

}  // namespace

std::unique_ptr<EditorView> createPlatformView() { return std::make_unique<WindowsView>(); }
bool platformHasView() { return true; }

}  // namespace tess::editor
