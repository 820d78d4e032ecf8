// Exit statuses shared by every command of the tool.
#pragma once

namespace tess::tool {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;  // a file could not be read, a library could not be hosted, ...
constexpr int kExitUsage = 2;    // the command line itself is wrong
constexpr int kExitUnreadable = 2;  // check: the instrument file cannot be read

}  // namespace tess::tool
