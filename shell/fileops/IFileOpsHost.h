#pragma once
// What the main frame's file operations need of the frame around them: the
// application's shooting-information cache, the thumbnail pane, the review
// windows and palettes the changes are broadcast to, and the questions and
// dialogs of the user interface. The main frame answers them with its real
// windows; tests answer them with recording fakes.
//
// Strings handed on in messages are FString objects of the caller, valid only
// during the send (the receivers copy them).

#include "foundation/FString.h"
#include "platform/win/WinTypes.h"
#include "shell/fileops/ShootingInfoCache.h"

#include <vector>

struct CRotationJob;

class IThumbnailPane {
public:
    virtual ~IThumbnailPane() = default;

    // The paths of the selected and of all listed items, in list order.
    virtual std::vector<FString> GetSelectedPaths() = 0;
    virtual std::vector<FString> GetListedPaths() = 0;
    // The selected items whose file type is a still picture.
    virtual std::vector<FString> CollectSelectedStills() = 0;
    // 0 all, 1 marked, 2 unmarked, 3 locked, 4 unlocked.
    virtual int GetStateFilter() = 0;
    // Lists the pane's folder again.
    virtual void ListFolderAgain() = 0;
    // Reads these items again (their files changed).
    virtual void ReReadItems(const std::vector<FString>& paths) = 0;
    // Brings the items up to date after a rotation (an empty list only
    // finishes the update). Also called from the rotation worker.
    virtual void RotateItems(const std::vector<FString>& paths, bool clockwise) = 0;
    virtual void UpdateButtons() = 0;
    virtual void UpdateSelectionInfo() = 0;
    virtual void StopLoader() = 0;
    // Invalidated, erased and updated at once.
    virtual void Redraw() = 0;
    // The pane's own events (WM_APP_THUMB_VIEW_EVENT).
    virtual void SendViewEvent(WPARAM event, const FString& path) = 0;
};

class IFileOpsHost : public IShootingInfoCache {
public:
    // Null when the frame has no thumbnail pane.
    virtual IThumbnailPane* GetThumbnailPane() = 0;

    // Sends the message to every review window, in list order.
    virtual void BroadcastToReviewFrames(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // WM_APP_FILE_LIST_CHANGED with all thumbnail items to every review window.
    virtual void SendFileListChanged() = 0;
    virtual bool IsInfoPaletteOpen() = 0;
    // Nothing when the palette is not open.
    virtual void SendToInfoPalette(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual void SendToAdjustPalette(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // The message box (CMessageDlg) with a text of the text table or with a
    // path; its result code.
    virtual int AskWithText(int style, int textId) = 0;
    virtual int AskWithPath(int style, const FString& path) = 0;
    // The save dialog in its review-image mode for one picture: true and the
    // path to write the turned picture to after OK.
    virtual bool AskRotationDestination(const FString& source, FString* destination) = 0;
    // Runs the rotation worker on the job under the modal progress dialog and
    // returns when it has ended.
    virtual void RunRotationJob(CRotationJob& job) = 0;
};
