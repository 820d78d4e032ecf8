#include "plugin/EffectMode.h"

#include "compiler/Text.h"

namespace tess {

bool endsWithNoCase(std::string_view modulePath, std::string_view suffix) {
    return modulePath.size() >= suffix.size() &&
           compiler::equalsIgnoreCase(modulePath.substr(modulePath.size() - suffix.size()), suffix);
}

std::string_view effectModuleSuffix() {
#ifdef _WIN32
    return "effect.dll";
#else
    return "effect.so";
#endif
}

bool isEffectModuleName(std::string_view modulePath) {
    return endsWithNoCase(modulePath, effectModuleSuffix());
}

}  // namespace tess
