// The tool's commands. Each command is one row of a table: its name, a usage line, a one-line
// summary and the function that runs it; adding a command means adding a row in Commands.cpp.
#pragma once

#include <ostream>
#include <span>
#include <string>
#include <vector>

namespace tess::tool {

// `args` are the arguments after the command's name. Returns the process exit status.
using CommandFunction = int (*)(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

struct Command {
    const char* name;
    const char* usage;    // arguments, shown after "tessarine NAME"
    const char* summary;  // what it does, and its options
    CommandFunction run;
};

std::span<const Command> commands();
std::string usageText();

// Runs the tool on the arguments after the program name.
int runTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tess::tool
