// The info command: loads a plug-in library and prints what a host sees of it, one
// "Label: value" line per fact.
#pragma once

#include <ostream>
#include <string>

#include "tessarine/VstHost.h"

namespace tess::tool {

// Loads, opens and describes the library (empty: the Tessarine library beside the tool),
// after asking it to load `instrument` when one is given. Returns an exit status.
int runInfo(const std::string& library, const std::string& instrument, std::ostream& out, std::ostream& err);

// Describes a plug-in that `host` has created and opened.
void printInfo(VstHost& host, std::ostream& out);

// "Tsrn" for the code 'Tsrn'; bytes outside printable ASCII show as '.'.
std::string fourCharText(vst::VstInt32 code);

}  // namespace tess::tool
