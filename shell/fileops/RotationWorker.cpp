#include "shell/fileops/RotationWorker.h"

#include "foundation/FPath.h"
#include "shell/facade/CTLM_Exif.h"
#include "shell/facade/KVR_FileSettings.h"
#include "shell/fileops/IFileOpsHost.h"
#include "toolkit/CET_GDIPlus.h"
#include "toolkit/ExifInPlaceWriters.h"
#include "toolkit/PictureFileTypes.h"
#include "toolkit/PictureFiles.h"

namespace {

constexpr int kRotateClockwise = 1;
constexpr int kRotateCounterClockwise = 3;
constexpr ULONG kRotatedJpegQuality = 98;

// Turns one file of the job, whose record was read; the file's lock is lifted
// for the turn only.
bool RotateJobFile(CRotationJob& job, size_t index, CTLM_Exif& record)
{
    const FString& source = job.sources[index];
    const FString& destination = job.destinations[index];
    const bool wasLocked = record.IsLocked();
    if (wasLocked)
        record.SetLocked(false);
    const bool turned = RotatePicture(source, destination, job.clockwise, record.HasOrientationTag());
    if (wasLocked)
        record.SetLocked(true);
    // The cache forgets the file's old state only now that its lock is back,
    // so the next reading sees the file as it stays.
    if (PathEquals(source, destination))
        job.cache->RemoveExif(source);
    return turned;
}

} // namespace

bool RotatePicture(const FString& source, const FString& destination, bool clockwise, bool hasOrientationTag)
{
    if (GetFileType(source) == ETFILETYPE_KVR)
        return KVR_RotateFile(source.GetText(), clockwise ? 1 : 0) != 0;
    if (hasOrientationTag)
        return RotateJpegByExif(source, clockwise) != 0;
    const CET_GDIPlus codecs;
    return RotateImageFile(source, destination, clockwise ? kRotateClockwise : kRotateCounterClockwise, &codecs,
                           nullptr, kRotatedJpegQuality) != 0;
}

UINT RotateThreadProc(CRotationJob* job)
{
    job->progress->SetProgress(0);
    const size_t count = job->sources.size();
    for (size_t i = 0; i < count; ++i) {
        CTLM_Exif record;
        if (!ReadShootingInfo(*job->cache, job->sources[i], &record))
            continue; // an unreadable file is skipped without a progress message
        if (RotateJobFile(*job, i, record)) {
            job->done.push_back(job->destinations[i]);
            if (job->pane)
                job->pane->RotateItems({job->destinations[i]}, job->clockwise);
        }
        job->progress->PostProgress(static_cast<int>(100.0 / static_cast<double>(count) * static_cast<double>(i + 1)),
                                    false);
        if (job->progress->IsCancelled())
            break;
    }
    job->progress->PostProgress(100, true);
    return 0;
}
