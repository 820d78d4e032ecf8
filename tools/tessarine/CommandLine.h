// Command-line parsing for the tool's commands.
#pragma once

#include <string>
#include <vector>

#include "tessarine/Render.h"

namespace tess::tool {

// Fills `options` from the render command's arguments (after the word "render"). Options take
// their value as the next argument or after '=' ("--rate 48000", "--rate=48000").
bool parseRenderArguments(const std::vector<std::string>& args, RenderOptions& options, std::string& error);

// Whole-string number parsing; false for empty text, trailing characters or out-of-range values.
bool parseInteger(const std::string& text, long long minimum, long long maximum, long long& value);
bool parseReal(const std::string& text, double minimum, double maximum, double& value);

// True when any argument asks for help ("--help", "-h").
bool wantsHelp(const std::vector<std::string>& args);

}  // namespace tess::tool
