// The same library runs as an instrument or, when its file is named "...effect.dll" (or
// "...effect.so" on POSIX), as an audio effect. The name is compared without case.
#pragma once

#include <string_view>

namespace tess {

// Whether `modulePath` ends in `suffix`, ignoring case. A shorter name never matches.
bool endsWithNoCase(std::string_view modulePath, std::string_view suffix);

// The suffix that selects effect mode on this platform.
std::string_view effectModuleSuffix();

bool isEffectModuleName(std::string_view modulePath);

}  // namespace tess
