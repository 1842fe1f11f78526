// The develop states of the per-image worker (finding and loading the frames,
// stages 1 to 4, the tables and the develop completion) are not built yet.
// Their own files replace this stub.
#include "managers/IPManager2.h"
#include "managers/IPManagerData.h"

void IPManager2::priRunDevelopState(int)
{
    priFailCurrent(kIPErrorUnsupportedRequest, "IPManager2: developing is not built yet.");
}
