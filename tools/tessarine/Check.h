// `tessarine check FILE [--debug N]`: compiles an instrument file after Settings.ini exactly
// as a load does and prints the log and the accepted lines. The linter for instrument authors.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

namespace tess::tool {

// What compiling an instrument file as the plug-in's load does gave.
struct InstrumentCheck {
    bool readable = false;   // false: nothing was compiled
    std::string log;         // the main log pane
    std::string accepted;    // the accepted lines (the program pane)
    int rejected = 0;
    std::string firstRejection;  // the lines of the first rejection message, without "\r"
};

// `file` as written, or else in the per-user folder, as the load finds it.
InstrumentCheck checkInstrument(const std::string& file, int debugLevel);

// Exit status: 0 when no line was rejected, 1 when any was, 2 when FILE cannot be read.
int runCheck(const std::string& file, int debugLevel, std::ostream& out, std::ostream& err);

// Lines the compiler rejected, counted from a log text: each rejection opens a log line with
// the "************ Line" header, or with the banner of a hard limit or an unreadable file.
int countRejections(std::string_view log);

// The first rejection message of a log: its opening line and, for a line's header, the two
// lines after it (the message and the raw line, or the result slot and the parser's message).
std::string firstRejection(std::string_view log);

}  // namespace tess::tool
