#pragma once
// Where the build tree keeps what the program finds beside its executable.

#include "foundation/FString.h"

namespace testsupport {

// A program path in the build tree's top folder, so that looking up the
// program's data folder from it gives the build tree's "resources" folder.
FString BuildTreeProgramPath();

} // namespace testsupport
