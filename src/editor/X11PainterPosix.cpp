#include "editor/X11Painter.h"

#include <algorithm>

namespace tess::editor {

X11Painter::X11Painter(Display* display, int screen) : display_(display), screen_(screen) {
    gc_ = XCreateGC(display_, RootWindow(display_, screen_), 0, nullptr);
    font_ =
        XftFontOpenName(display_, screen_, "DejaVu Sans,Liberation Sans,sans-serif:pixelsize=12");
    if (font_ != nullptr) {
        ascent_ = font_->ascent;
        descent_ = font_->descent;
        return;
    }
    // Every X server has "fixed" built in.
    core_ = XLoadQueryFont(display_, "-*-helvetica-medium-r-normal--12-*-*-*-*-*-iso8859-1");
    if (core_ == nullptr) core_ = XLoadQueryFont(display_, "fixed");
    if (core_ != nullptr) {
        XSetFont(display_, gc_, core_->fid);
        ascent_ = core_->ascent;
        descent_ = core_->descent;
    }
}

X11Painter::~X11Painter() {
    if (draw_ != nullptr) XftDrawDestroy(draw_);
    Visual* visual = DefaultVisual(display_, screen_);
    const Colormap colormap = DefaultColormap(display_, screen_);
    for (auto& [rgb, colour] : colours_) XftColorFree(display_, visual, colormap, &colour);
    if (font_ != nullptr) XftFontClose(display_, font_);
    if (core_ != nullptr) XFreeFont(display_, core_);
    XFreeGC(display_, gc_);
}

void X11Painter::begin(Drawable target) {
    if (target == target_) return;
    target_ = target;
    if (font_ == nullptr) return;
    if (draw_ == nullptr)
        draw_ = XftDrawCreate(display_, target, DefaultVisual(display_, screen_),
                              DefaultColormap(display_, screen_));
    else
        XftDrawChange(draw_, target);
}

unsigned long X11Painter::pixel(std::uint32_t rgb) {
    const auto found = pixels_.find(rgb);
    if (found != pixels_.end()) return found->second;
    XColor colour{};
    colour.red = static_cast<unsigned short>(((rgb >> 16) & 0xFF) * 257);
    colour.green = static_cast<unsigned short>(((rgb >> 8) & 0xFF) * 257);
    colour.blue = static_cast<unsigned short>((rgb & 0xFF) * 257);
    colour.flags = DoRed | DoGreen | DoBlue;
    const unsigned long value =
        XAllocColor(display_, DefaultColormap(display_, screen_), &colour) != 0
            ? colour.pixel
            : ((rgb & 0x808080) != 0 ? WhitePixel(display_, screen_)
                                     : BlackPixel(display_, screen_));
    pixels_[rgb] = value;
    return value;
}

XftColor* X11Painter::xftColor(std::uint32_t rgb) {
    const auto found = colours_.find(rgb);
    if (found != colours_.end()) return &found->second;
    XRenderColor render{};
    render.red = static_cast<unsigned short>(((rgb >> 16) & 0xFF) * 257);
    render.green = static_cast<unsigned short>(((rgb >> 8) & 0xFF) * 257);
    render.blue = static_cast<unsigned short>((rgb & 0xFF) * 257);
    render.alpha = 0xFFFF;
    XftColor colour{};
    XftColorAllocValue(display_, DefaultVisual(display_, screen_),
                       DefaultColormap(display_, screen_), &render, &colour);
    return &(colours_[rgb] = colour);
}

void X11Painter::fill(const Rect& r, std::uint32_t rgb) {
    if (r.width <= 0 || r.height <= 0) return;
    XSetForeground(display_, gc_, pixel(rgb));
    XFillRectangle(display_, target_, gc_, r.x, r.y, static_cast<unsigned>(r.width),
                   static_cast<unsigned>(r.height));
}

void X11Painter::frame(const Rect& r, std::uint32_t rgb) {
    if (r.width <= 1 || r.height <= 1) return;
    XSetForeground(display_, gc_, pixel(rgb));
    XDrawRectangle(display_, target_, gc_, r.x, r.y, static_cast<unsigned>(r.width - 1),
                   static_cast<unsigned>(r.height - 1));
}

void X11Painter::line(int x0, int y0, int x1, int y1, std::uint32_t rgb) {
    XSetForeground(display_, gc_, pixel(rgb));
    XDrawLine(display_, target_, gc_, x0, y0, x1, y1);
}

void X11Painter::triangleDown(int cx, int cy, int half, std::uint32_t rgb) {
    XPoint points[3] = {{static_cast<short>(cx - half), static_cast<short>(cy - half / 2)},
                        {static_cast<short>(cx + half), static_cast<short>(cy - half / 2)},
                        {static_cast<short>(cx), static_cast<short>(cy + half / 2 + 1)}};
    XSetForeground(display_, gc_, pixel(rgb));
    XFillPolygon(display_, target_, gc_, points, 3, Convex, CoordModeOrigin);
}

int X11Painter::textWidth(const std::string& text) {
    if (text.empty()) return 0;
    if (font_ != nullptr) {
        XGlyphInfo extents{};
        XftTextExtents8(display_, font_, reinterpret_cast<const FcChar8*>(text.data()),
                        static_cast<int>(text.size()), &extents);
        return extents.xOff;
    }
    return core_ != nullptr ? XTextWidth(core_, text.data(), static_cast<int>(text.size()))
                            : static_cast<int>(text.size()) * 6;
}

void X11Painter::text(int x, int y, const std::string& text, std::uint32_t rgb, const Rect& clip) {
    if (text.empty() || clip.width <= 0 || clip.height <= 0) return;
    XRectangle area{static_cast<short>(clip.x), static_cast<short>(clip.y),
                    static_cast<unsigned short>(clip.width),
                    static_cast<unsigned short>(clip.height)};
    // Latin-1 text as the instrument files hold it.
    const int length = static_cast<int>(std::min<std::size_t>(text.size(), 4096));
    if (font_ != nullptr && draw_ != nullptr) {
        XftDrawSetClipRectangles(draw_, 0, 0, &area, 1);
        XftDrawString8(draw_, xftColor(rgb), font_, x, y,
                       reinterpret_cast<const FcChar8*>(text.data()), length);
        XftDrawSetClip(draw_, nullptr);
        return;
    }
    XSetClipRectangles(display_, gc_, 0, 0, &area, 1, Unsorted);
    XSetForeground(display_, gc_, pixel(rgb));
    XDrawString(display_, target_, gc_, x, y, text.data(), length);
    XSetClipMask(display_, gc_, None);
}

void X11Painter::textIn(const Rect& rect, int inset, const std::string& value, std::uint32_t rgb) {
    const int baseline = rect.y + (rect.height + ascent_ - descent_) / 2;
    text(rect.x + inset, baseline, value, rgb, rect);
}

}  // namespace tess::editor
