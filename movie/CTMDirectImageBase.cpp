#include "movie/CTMDirectImageBase.h"

#include "movie/TMMovieFile.h"
#include "movie/TMOwnerWindow.h"

extern "C" {
#include <libavutil/error.h>
}

#include <sys/stat.h>

#include <chrono>
#include <string>
#include <system_error>
#include <thread>

namespace tkrmovie {

// The grab thread. Its handle stays with the grab object until it has been
// waited for; `done` tells the object that the thread has nothing left to do
// but post its one message and end.
struct TMGrabThread {
    std::thread thread;
    std::atomic<bool> done{false};
};

} // namespace tkrmovie

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

bool IsExistingFile(std::u16string_view path)
{
    std::string native;
    struct stat info {};
    return tkrmovie::NativePath(path, native) && stat(native.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The grab itself, shared by the three ways to ask for it. With the browser's
// way a movie that cannot be opened is answered without a message, a missing
// file gives -1, the movie's end is not checked (a frame beyond it fails to
// decode) and success posts nothing.
GrabEnd RunGrab(CTMThumbnailData& record, bool browser, const TMMovieFile::CancelCheck& cancelled)
{
    const auto start = std::chrono::steady_clock::now();
    // A cancel ends the grab at the next of these checkpoints with (0, 0).
    const auto failed = [&cancelled](int code) { return cancelled() ? Break(0) : Break(code); };
    if (browser && !IsExistingFile(tkrmovie::RecordPath(record)))
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

} // namespace

CTMDirectImageBase::CTMDirectImageBase() = default;

CTMDirectImageBase::~CTMDirectImageBase() { ThreadCancel(); }

LONG CTMDirectImageBase::GetTimeThumbnailImage(CTMThumbnailData* data, int bThread)
{
    // One grab at a time: a second would take over the first one's record.
    if (!data || GrabRunning())
        return 1;
    m_pThumbnailData = data;
    data->nSeekFormat = CTMThumbnailData::kDefaultSeekFormat;
    if (!bThread)
        return Grab(GrabMode::Synchronous);
    m_pThumbnailThread = new tkrmovie::TMGrabThread;
    try {
        m_pThumbnailThread->thread = std::thread(&CTMDirectImageBase::CreateThumbnailThread, this);
    } catch (const std::system_error&) {
        // No thread, so no message will come: the caller must hear it here.
        delete m_pThumbnailThread;
        m_pThumbnailThread = nullptr;
        return 1;
    }
    return 0;
}

LONG CTMDirectImageBase::GetTimeThumbnailImage2(CTMThumbnailData* data, int)
{
    if (!data || GrabRunning())
        return 1;
    m_pThumbnailData = data;
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
        m_pThumbnailThread->done.store(true);
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
    if (m_pThumbnailThread)
        JoinGrabThread();
    m_bThumbnailCancel.store(0);
}

bool CTMDirectImageBase::GrabRunning()
{
    if (!m_pThumbnailThread)
        return false;
    if (!m_pThumbnailThread->done.load())
        return true;
    JoinGrabThread();
    return false;
}

void CTMDirectImageBase::JoinGrabThread()
{
    if (m_pThumbnailThread->thread.joinable())
        m_pThumbnailThread->thread.join();
    delete m_pThumbnailThread;
    m_pThumbnailThread = nullptr;
}
