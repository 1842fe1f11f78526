#pragma once
// The main frame's file operations: every change to an image file that the
// user interface makes outside a save. Review windows and palettes ask for
// them with application messages, the browser's commands call them directly;
// each one changes the file (through the development facade for raw files,
// the picture library for others), keeps the shooting-information cache and
// the thumbnail pane up to date and broadcasts the change to the review
// windows and palettes. The frame around it is an IFileOpsHost.
//
// Lock rules: a file's write protection is lifted only for the write that
// needs it and always restored; a write-protected file is never deleted (the
// user is asked about the others) and a failed change is never broadcast.

#include "foundation/FString.h"
#include "platform/win/WinTypes.h"

#include <vector>

class IFileOpsHost;
struct COPYDATASTRUCT;

class CFrameFileOperations {
public:
    explicit CFrameFileOperations(IFileOpsHost& host) : m_Host(host) {}

    // WM_APP_FILE_OPERATION: wParam points to the path (rotate: to the source
    // and the destination, two consecutive strings); lParam's high word is the
    // operation (1 rotate, 2 mark, 3 lock, 4 delete), its low word the value
    // (2 clockwise or set, 1 counter-clockwise or clear).
    LRESULT OnFileOperation(WPARAM wParam, LPARAM lParam);
    // The setting messages of a raw file: wParam points to its path.
    LRESULT OnWBChanged(WPARAM wParam, LPARAM lParam);          // lParam: white-balance index
    LRESULT OnSettingsWritten(WPARAM wParam, LPARAM lParam);    // lParam: CKVR_FilterData*
    LRESULT OnColorModeChanged(WPARAM wParam, LPARAM lParam);   // lParam: colour-mode index
    LRESULT OnNoiseChanged(WPARAM wParam, LPARAM lParam);       // lParam: chroma | luminance << 16

    // Deletes the files to the trash; with confirm the user is asked first.
    void DeleteImages(const std::vector<FString>& paths, bool confirm);
    void LockImages(const std::vector<FString>& paths, bool lock);
    void MarkImages(const std::vector<FString>& paths, bool mark);
    // One file, for a review window.
    void RotateFile(const FString& source, const FString& destination, bool clockwise);
    // The rotate commands: the selected still pictures on the rotation worker.
    void RotateSelection(bool clockwise);

    // After marks or locks of files changed: the pane lists its folder again
    // (listAgain: its state filter depends on the change) or reads the items
    // again, the review windows get the file list, the information palette
    // the selection.
    void AfterStateChange(const std::vector<FString>& paths, bool listAgain);
    // The information palette, when open, gets the single selected path with
    // force, or an empty path with 0 when nothing is selected; nothing when
    // several are selected.
    void NotifyInfoPaletteOfSelection(LPARAM force);

private:
    // The file's record read again from the file and cached anew.
    void RenewShootingInfo(const FString& path);
    // The steps every setting message shares after its write.
    void FinishSettingWrite(UINT message, const FString& path, WPARAM wParam, LPARAM lParam);
    // AfterStateChange, listing again when the pane's state filter is one of
    // the two that show or hide items by the changed property.
    void AfterStateChangeFiltered(const std::vector<FString>& paths, int firstFilter, int secondFilter);

    IFileOpsHost& m_Host;
};

// The path a second instance handed over with WM_COPYDATA: UTF-16 text up to
// its terminator, read no further than the data's byte count.
FString PathFromCopyData(const COPYDATASTRUCT* data);
