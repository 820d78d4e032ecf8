// Saved plug-in state as a file: what a DAW stores in its project for a plug-in whose
// programs are chunks (effGetChunk), and hands back when it opens the project (effSetChunk).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "tessarine/VstHost.h"

namespace tess::tool {

// Gives the plug-in a saved state (the bytes of the file `name`) as a bank chunk.
void loadState(VstHost& host, std::vector<unsigned char>& bytes, const std::string& name, std::ostream& out);

// Asks the plug-in for its bank chunk and writes it to the file.
bool saveStateFile(VstHost& host, const std::string& path, std::ostream& out, std::string& error);

}  // namespace tess::tool
