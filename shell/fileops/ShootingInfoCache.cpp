#include "shell/fileops/ShootingInfoCache.h"

#include "shell/facade/CTLM_Exif.h"

bool ReadShootingInfo(IShootingInfoCache& cache, const FString& path, CTLM_Exif* record)
{
    return cache.GetExif(path, record) && record->HasEntry();
}
