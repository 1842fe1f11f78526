#pragma once
// Grabs one frame of a movie as a 24-bit picture into a CTMThumbnailData
// record: synchronously, or on a thread of its own that reports to the
// record's owner window with exactly one message. Used by the program's
// browser (the first frame of MJPEG AVI files) and its printing (the frame at
// one second of any movie).
//
// Messages to the record's owner: WM_TM_GRAPHNOTIFY (0, milliseconds) when a
// grab filled the record; WM_TM_THUMBNAILBREAK (0, 0) when it was cancelled
// or the time lies beyond the movie's end, (0, code) when it failed.

#include "movie/CTMDirectShowBase.h"
#include "movie/CTMThumbnailData.h"
#include "movie/TKRMovieDefs.h"
#include "platform/win/WinGdi.h"

#include <atomic>

namespace tkrmovie {
class TMWorkerThread;
}

class TKRMOVIE_API CTMDirectImageBase : public CTMDirectShowBase {
public:
    CTMDirectImageBase();
    // Cancels a running grab thread and waits for it.
    ~CTMDirectImageBase() override;

    // Grabs the frame showing at the record's time. bThread 0: returns 0 when
    // the record holds the picture or the grab ended early (no picture), or
    // the failure code; the owner gets the message as well. bThread not 0:
    // starts the grab thread and returns 0 at once; the owner then gets
    // exactly one message, after which the record and this object may go.
    // The record and this object must live until then. 1 while another grab
    // of this object runs, or without a record.
    virtual LONG GetTimeThumbnailImage(CTMThumbnailData* data, int bThread);

    // Grabs the frame at the record's time (-1: the first) synchronously:
    // 0 with the picture in the record, or when cancelled; -1 when the file
    // does not exist; the failure code when the movie cannot be opened (no
    // message) or decoded (WM_TM_THUMBNAILBREAK to the owner). No message on
    // success.
    LONG GetTimeThumbnailImage2(CTMThumbnailData* data, int ignored);

    // Stops a running grab at its next checkpoint and returns once its
    // thread has ended; at once when none runs.
    void ThumbnailCancel();

    // Writes what a DC shows (from its origin to its clip box's right and
    // bottom) or a window's client area as a 24-bit BMP file: 0; 1 when
    // there is nothing to read (a window DC is read on the GUI thread only)
    // or the file cannot be written (it is written whole or not at all).
    static int CreateThumbCash(HDC dc, const WCHAR* path);
    static int CreateThumbCash(HWND window, const WCHAR* path);

protected:
    void ThreadCancel();
    // Ends a grab early: clears the cancel request and posts the message to
    // the current record's owner.
    void ThumbnailThreadBreak(UINT message, WPARAM wParam, LPARAM lParam);
    // The grab thread's procedure; the object is its argument.
    static unsigned CreateThumbnailThread(void* object);

    // The record of the current grab (not owned).
    CTMThumbnailData* m_pThumbnailData = nullptr;
    // The grab thread, kept until it has been waited for.
    tkrmovie::TMWorkerThread* m_pThumbnailThread = nullptr;
    // 1 asks a running grab to stop at its next checkpoint.
    std::atomic<LONG> m_bThumbnailCancel{0};

private:
    enum class GrabMode { Synchronous, Thread, Browser };
    LONG Grab(GrabMode mode);
};
