// POSIX builds have no editor window yet: the plug-in reports no editor to its host.
#include "editor/EditorView.h"

namespace tess::editor {

std::unique_ptr<EditorView> createPlatformView() { return nullptr; }
bool platformHasView() { return false; }

}  // namespace tess::editor
