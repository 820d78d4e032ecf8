#include "plugin/EffectMode.h"

#include <cctype>

namespace tess {

bool endsWithNoCase(std::string_view modulePath, std::string_view suffix) {
    if (modulePath.size() < suffix.size()) return false;
    const std::string_view tail = modulePath.substr(modulePath.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(tail[i])) !=
            std::tolower(static_cast<unsigned char>(suffix[i])))
            return false;
    return true;
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
