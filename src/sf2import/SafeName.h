// File and folder names made from bank names. A name must be valid on Windows and POSIX file
// systems and survive being written inside a quoted SAMPLE parameter of an instrument file, so
// only letters, digits, '-', '_' and '.' are kept; anything else becomes '_'.
#pragma once

#include <string>
#include <string_view>

namespace tess::sf2 {

// Never empty, never a Windows device name (CON, NUL, COM1 ...), never ends in '.', never
// starts with '.'.
std::string safeFileName(std::string_view name);

// The same name compared as Windows compares names: without regard to case.
std::string foldedName(std::string_view name);

}  // namespace tess::sf2
