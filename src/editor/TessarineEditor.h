// The plug-in's editor window. It exists from construction so that a host can ask its size;
// it opens a window only in a build whose platform layer provides one.
#pragma once

#include "plugin/vst/AEffEditor.h"

namespace tess {

class TessarineEditor : public vst::AEffEditor {
public:
    TessarineEditor(vst::AudioEffect* effect, int width, int height);

    bool getRect(vst::ERect** rect) override;
    bool open(void* parentWindow) override;
    void close() override;

    void setSize(int width, int height);
    int width() const { return width_; }
    int height() const { return height_; }

    // Whether this build can show a window at all (decides the host's has-editor flag).
    static bool canOpenWindow();

private:
    int width_;
    int height_;
    vst::ERect rect_{};
};

}  // namespace tess
