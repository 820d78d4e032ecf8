#include "editor/TessarineEditor.h"

namespace tess {

TessarineEditor::TessarineEditor(vst::AudioEffect* effect, int width, int height)
    : AEffEditor(effect), width_(width), height_(height) {}

bool TessarineEditor::getRect(vst::ERect** rect) {
    rect_.top = 0;
    rect_.left = 0;
    rect_.bottom = static_cast<std::int16_t>(height_);
    rect_.right = static_cast<std::int16_t>(width_);
    *rect = &rect_;
    return true;
}

bool TessarineEditor::open(void* parentWindow) {
    if (!canOpenWindow()) return false;
    return AEffEditor::open(parentWindow);
}

void TessarineEditor::close() { AEffEditor::close(); }

void TessarineEditor::setSize(int width, int height) {
    width_ = width;
    height_ = height;
}

bool TessarineEditor::canOpenWindow() { return false; }

}  // namespace tess
