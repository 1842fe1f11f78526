// Handlers whose stages are not built yet. Each stage's own file defines its
// handler and removes the stub here.
#include "engine/FIPEngine2.h"

#include "foundation/FException.h"

void FIPEngine2::priProcessStage2(FIPERequestStage2*)
{
    throw FExceptionPixelProc2("FIPEngine2::priProcessStage2 not built");
}
