#include "support/BuildTree.h"

#include "support/TestSupport.h"

namespace testsupport {

FString BuildTreeProgramPath() { return WideFromUtf8(LUMITRA_BUILD_TREE_PROGRAM); }

} // namespace testsupport
