#pragma once
// The rotation worker: turns the selected pictures a quarter on a worker
// thread while the progress dialog runs modally. Raw files and pictures with
// an orientation tag turn in place; other pictures are turned into the
// destination path the user chose. A locked file is unlocked only for the
// turn and locked again.

#include "foundation/FString.h"
#include "platform/win/WinTypes.h"

#include <vector>

class IShootingInfoCache;
class IThumbnailPane;

// The progress dialog as the worker sees it (CThreadProgressDlg): the start
// value, the posted progress messages and the dialog's cancel flag.
class IRotationProgress {
public:
    virtual ~IRotationProgress() = default;
    virtual void SetProgress(int percent) = 0;
    // Posts WM_APP_THREAD_PROGRESS (wParam percent, lParam 1 when finished).
    virtual void PostProgress(int percent, bool finished) = 0;
    virtual bool IsCancelled() = 0;
};

// The block the rotate command hands its worker, in the order the command
// fills it. The worker fills done; the command reads it after the dialog
// ended.
struct CRotationJob {
    std::vector<FString> sources;
    std::vector<FString> destinations; // same length and order as sources
    IRotationProgress* progress = nullptr;
    bool clockwise = true;
    std::vector<FString> done; // the destinations turned
    IThumbnailPane* pane = nullptr;
    IShootingInfoCache* cache = nullptr;
};

// Turns one file as a review window's request or the worker does: raw files
// by their stored rotation, pictures with an orientation tag by the tag (both
// in place), others into the destination (quarter clockwise or counter-
// clockwise, JPEG quality 98). True when the file was turned.
bool RotatePicture(const FString& source, const FString& destination, bool clockwise, bool hasOrientationTag);

// The worker's body; returns 0. Safe to run on any thread: it reaches the
// dialog only through job.progress and the pane only through RotateItems.
UINT RotateThreadProc(CRotationJob* job);
