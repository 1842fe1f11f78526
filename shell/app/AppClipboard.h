#pragma once
// Files and text on the clipboard, and the develop-and-save jobs' progress
// callback. Every clipboard function opens and closes the clipboard itself;
// the owner window is the caller's.

#include "foundation/FArray.h"
#include "foundation/FString.h"
#include "platform/win/WinUser.h"
#include "shell/app/ClipboardData.h"

#include <memory>
#include <utility>
#include <vector>

// The clipboard the functions below use: the system's, once the window layer
// offers it (SetClipboardBackend); until then one of the process's own, which
// serves copy and paste inside the program.
class IClipboardBackend {
public:
    virtual ~IClipboardBackend() = default;
    using Formats = std::vector<std::pair<AppClipboardFormat, std::vector<BYTE>>>;
    // Empties the clipboard and puts every format on it. False when the
    // clipboard cannot be opened.
    virtual bool Put(HWND owner, const Formats& formats) = 0;
    // False when the format is not on the clipboard or cannot be read.
    virtual bool Get(HWND owner, AppClipboardFormat format, std::vector<BYTE>& data) = 0;
    virtual bool Has(AppClipboardFormat format) = 0;
};
// Null: the process's own clipboard again.
void SetClipboardBackend(IClipboardBackend* backend);
// The desktop's clipboard, through the window layer (GUI thread only, as the
// layer's clipboard is); the application installs it at start-up.
std::unique_ptr<IClipboardBackend> MakeSystemClipboardBackend();

BOOL IsClipboardFileListAvailable();
// Appends the clipboard's file list to paths (not emptied first); FALSE when
// there is none or it cannot be read.
BOOL GetClipboardFileList(HWND owner, FArray<FString>* paths);
// The first 32-bit value of "Preferred DropEffect": 1 copy, 2 move.
BOOL GetClipboardDropEffect(HWND owner, int* effect);
// The file list of the paths in order, and "Preferred DropEffect" 2 when cut,
// else 1.
void PutFilesOnClipboard(HWND owner, const FArray<FString>& paths, BOOL cut);
// Empties the clipboard (after its files were moved away); FALSE when it
// cannot be opened.
BOOL EmptyAppClipboard(HWND owner);
// The text as Unicode text, owned by the main window; FALSE for an empty text
// or when the clipboard cannot take it.
BOOL CopyTextToClipboard(const FString& text);

// What the progress callback needs of its progress dialog (the thread
// progress dialog implements it; IsCancelled is asked from the worker thread).
class IThreadProgressDialog {
public:
    virtual ~IThreadProgressDialog() = default;
    // Null when the dialog has no window (any more).
    virtual HWND GetProgressWindow() const = 0;
    virtual BOOL IsCancelled() const = 0;
};

// The progress callback the develop-and-save workers hand the develop-and-save
// job, with the progress dialog as the user pointer (converted to
// IThreadProgressDialog* before it becomes a void*): posts WM_APP_THREAD_PROGRESS (percent, 0) to the dialog and answers
// 0 (stop) when the dialog was cancelled, else 1; 1 when the dialog has no window.
BOOL SaveProgressCallback(int percent, void* dialog);
// The same callback under the name the saving and printing code uses.
int ThreadProgressCallback(int percent, void* dialog);
