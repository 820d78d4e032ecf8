// The editor window exists in the Windows build only; here the command says so.
#include "tessarine/Edit.h"
#include "tessarine/ExitStatus.h"

namespace tess::tool {

int runEdit(const EditOptions&, std::ostream&, std::ostream& err) {
    err << "tessarine edit: the editor window needs the Windows build (tessarine.exe with Tessarine.dll)\n";
    return kExitFailure;
}

}  // namespace tess::tool
