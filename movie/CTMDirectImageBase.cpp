#include "movie/CTMDirectImageBase.h"

#include "movie/TMBitmapFile.h"
#include "movie/TMMovieFile.h"
#include "movie/TMOwnerWindow.h"
#include "movie/TMWorkerThread.h"

extern "C" {
#include <libavutil/error.h>
}

#include <chrono>
#include <string>

namespace {

using tkrmovie::TMMovieFile;

// How a grab ends: its result and the one message it owes its owner, if any.
struct GrabEnd {
    LONG result = 0;
    UINT message = 0; // 0: none
    LPARAM lParam = 0;
};

GrabEnd Break(LONG code) { return {code, WM_TM_THUMBNAILBREAK, code}; }
GrabEnd Silent(LONG code) { return {code, 0, 0}; }

// The grab itself, shared by the three ways to ask for it. With the browser's
// way a movie that cannot be opened is answered without a message, a missing
// file gives -1, the movie's end is not checked (a frame beyond it fails to
// decode) and success posts nothing.
GrabEnd RunGrab(CTMThumbnailData& record, bool browser, const TMMovieFile::CancelCheck& cancelled)
{
    const auto start = std::chrono::steady_clock::now();
    // A cancel ends the grab at the next of these checkpoints with (0, 0).
    const auto failed = [&cancelled](int code) { return cancelled() ? Break(0) : Break(code); };
    if (browser && !tkrmovie::IsExistingFile(tkrmovie::RecordPath(record)))
        return Silent(-1);
    if (cancelled())
        return Break(0);

    TMMovieFile movie;
    const int opened = movie.Open(tkrmovie::RecordPath(record), nullptr, cancelled);
    if (opened < 0)
        return browser && !cancelled() ? Silent(opened) : failed(opened);
    const int stream = movie.FindVideoStream();
    if (stream < 0)
        return failed(AVERROR_STREAM_NOT_FOUND);
    if (!browser) {
        const int64_t stop = movie.StopPosition();
        record.llStopPosition = stop >= 0 ? stop : 0;
        if (stop >= 0 && record.llTime > stop)
            return Break(0);
    }
    if (cancelled())
        return Break(0);

    tkrmovie::TMFrame frame;
    const int decoded = movie.DecodeAtTime(stream, record.llTime, frame);
    if (decoded < 0)
        return failed(decoded);
    if (cancelled())
        return Break(0);
    tkrmovie::StoreFrame(record, frame);
    if (browser)
        return Silent(0);
    return {0, WM_TM_GRAPHNOTIFY, tkrmovie::ElapsedMilliseconds(start)};
}

// Reads width x height pixels of the DC from its origin as a bottom-up 24-bit
// picture and writes them as a BMP file.
int CaptureToBitmapFile(HDC source, int width, int height, const WCHAR* path)
{
    std::string native;
    if (!source || width <= 0 || height <= 0 || !tkrmovie::NativePath(tkrmovie::PathText(path), native))
        return 1;
    BITMAPINFO info{};
    info.bmiHeader = tkrmovie::Dib24Header(width, height);
    void* bits = nullptr;
    const HDC memory = ::CreateCompatibleDC(source);
    const HBITMAP bitmap = ::CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool captured = false;
    if (memory && bitmap) {
        const HGDIOBJ previous = ::SelectObject(memory, bitmap);
        captured = ::BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY) != FALSE;
        ::SelectObject(memory, previous);
    }
    // The file's header leaves the image size to the reader.
    BITMAPINFOHEADER header = info.bmiHeader;
    header.biSizeImage = 0;
    captured = captured && tkrmovie::WriteBitmapFile(native.c_str(), header, static_cast<const BYTE*>(bits),
                                                     info.bmiHeader.biSizeImage);
    if (bitmap)
        ::DeleteObject(bitmap);
    if (memory)
        ::DeleteDC(memory);
    return captured ? 0 : 1;
}

} // namespace

int CTMDirectImageBase::CreateThumbCash(HDC dc, const WCHAR* path)
{
    RECT clip{};
    if (!::GetClipBox(dc, &clip))
        return 1;
    return CaptureToBitmapFile(dc, clip.right, clip.bottom, path);
}

int CTMDirectImageBase::CreateThumbCash(HWND window, const WCHAR* path)
{
    RECT client{};
    if (!::GetClientRect(window, &client))
        return 1;
    const HDC dc = ::GetDC(window);
    const int result = CaptureToBitmapFile(dc, client.right, client.bottom, path);
    if (dc)
        ::ReleaseDC(window, dc);
    return result;
}

CTMDirectImageBase::CTMDirectImageBase() = default;

CTMDirectImageBase::~CTMDirectImageBase() { ThreadCancel(); }

LONG CTMDirectImageBase::GetTimeThumbnailImage(CTMThumbnailData* data, int bThread)
{
    // One grab at a time: a second would take over the first one's record.
    if (!data || tkrmovie::TMWorkerThread::Running(m_pThumbnailThread))
        return 1;
    m_pThumbnailData = data;
    data->nSeekFormat = CTMThumbnailData::kDefaultSeekFormat;
    if (!bThread)
        return Grab(GrabMode::Synchronous);
    // Without a thread no message will come: the caller must hear it here.
    return tkrmovie::TMWorkerThread::Start(m_pThumbnailThread, [this] { CreateThumbnailThread(this); }) ? 0 : 1;
}

LONG CTMDirectImageBase::GetTimeThumbnailImage2(CTMThumbnailData* data, int)
{
    if (!data || tkrmovie::TMWorkerThread::Running(m_pThumbnailThread))
        return 1;
    m_pThumbnailData = data;
    // This grab works in place of the object's playback graph, which it lets go.
    DestroyStream();
    return Grab(GrabMode::Browser);
}

unsigned CTMDirectImageBase::CreateThumbnailThread(void* object)
{
    return static_cast<unsigned>(static_cast<CTMDirectImageBase*>(object)->Grab(GrabMode::Thread));
}

LONG CTMDirectImageBase::Grab(GrabMode mode)
{
    const GrabEnd end = RunGrab(*m_pThumbnailData, mode == GrabMode::Browser, [this] {
        return m_bThumbnailCancel.load() == 1;
    });
    CWnd* const owner = m_pThumbnailData->pOwnerWnd;
    // From here the thread only posts: a new grab or the object's end may
    // wait for it.
    if (mode == GrabMode::Thread)
        m_pThumbnailThread->MarkDone();
    if (end.message == WM_TM_THUMBNAILBREAK)
        ThumbnailThreadBreak(end.message, 0, end.lParam);
    else if (end.message != 0)
        tkrmovie::PostToOwner(owner, end.message, 0, end.lParam);
    return end.result;
}

void CTMDirectImageBase::ThumbnailThreadBreak(UINT message, WPARAM wParam, LPARAM lParam)
{
    m_bThumbnailCancel.store(0);
    tkrmovie::PostToOwner(m_pThumbnailData ? m_pThumbnailData->pOwnerWnd : nullptr, message, wParam, lParam);
}

void CTMDirectImageBase::ThumbnailCancel() { ThreadCancel(); }

void CTMDirectImageBase::ThreadCancel()
{
    m_bThumbnailCancel.store(1);
    tkrmovie::TMWorkerThread::Finish(m_pThumbnailThread);
    m_bThumbnailCancel.store(0);
}
