// Drawing for the X11 view: filled and framed rectangles, lines and text on a drawable, with
// colours given as 0xRRGGBB. Text is drawn anti-aliased with Xft when a font can be opened and
// with the server's core "fixed" font otherwise, so the view works on any X display.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "editor/EditorControls.h"

#include <X11/Xlib.h>
#include <X11/Xft/Xft.h>

namespace tess::editor {

class X11Painter {
public:
    X11Painter(Display* display, int screen);
    ~X11Painter();
    X11Painter(const X11Painter&) = delete;
    X11Painter& operator=(const X11Painter&) = delete;

    // Everything drawn afterwards goes to `target` (a window or a pixmap of the default depth).
    void begin(Drawable target);

    void fill(const Rect& rect, std::uint32_t rgb);
    void frame(const Rect& rect, std::uint32_t rgb);
    void line(int x0, int y0, int x1, int y1, std::uint32_t rgb);
    void triangleDown(int centreX, int centreY, int halfWidth, std::uint32_t rgb);
    // Text whose baseline sits at y, clipped to `clip`.
    void text(int x, int y, const std::string& text, std::uint32_t rgb, const Rect& clip);
    // Text centred vertically in `rect` starting at rect.x + inset, clipped to the rectangle.
    void textIn(const Rect& rect, int inset, const std::string& text, std::uint32_t rgb);
    int textWidth(const std::string& text);
    int ascent() const { return ascent_; }
    int lineHeight() const { return ascent_ + descent_; }
    bool antiAliased() const { return font_ != nullptr; }

private:
    unsigned long pixel(std::uint32_t rgb);
    XftColor* xftColor(std::uint32_t rgb);

    Display* display_;
    int screen_;
    GC gc_;
    Drawable target_ = 0;
    XftDraw* draw_ = nullptr;
    XftFont* font_ = nullptr;
    XFontStruct* core_ = nullptr;
    int ascent_ = 10;
    int descent_ = 3;
    std::map<std::uint32_t, unsigned long> pixels_;
    std::map<std::uint32_t, XftColor> colours_;
};

}  // namespace tess::editor
