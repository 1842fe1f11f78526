// The preview and save managers are not built yet. Their own files replace
// these stubs.
#include "managers/IPManager2.h"
#include "managers/IPManagerData.h"

FIPManager* CreatePreviewManager(FIPManager*, FIDataRetriever*, FIIPEngine2*)
{
    return nullptr;
}

FIPManager* CreateSaveManager(FIPManager*)
{
    return nullptr;
}
