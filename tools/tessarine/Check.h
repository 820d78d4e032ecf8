// `tessarine check FILE [--debug N]`: compiles an instrument file after Settings.ini exactly
// as a load does and prints the log and the accepted lines. The linter for instrument authors.
#pragma once

#include <ostream>
#include <string>

namespace tess::tool {

// Exit status: 0 when no line was rejected, 1 when any was, 2 when FILE cannot be read.
int runCheck(const std::string& file, int debugLevel, std::ostream& out, std::ostream& err);

// Lines the compiler rejected, counted from a log text: each rejected line opens with the
// "************ Line" header, and hard limits and unreadable files have their own banners.
int countRejections(std::string_view log);

}  // namespace tess::tool
