#pragma once
// The movie object: a playback graph that plays one movie into a child window
// of the caller's window, with transport, volume, rate, position, the video
// window's placement and the graph's events, which reach the caller's window
// as WM_TM_GRAPHNOTIFY; an AVI encode job on a thread of its own; and static
// services that need no loaded movie: the container type of a file from its
// first bytes, a movie's length, the framework version text, the capture
// devices, the compressors (FFmpeg's encoders) and the texts of result codes.
// The frame grabber CTMDirectImageBase derives from it.
//
// Results: long results are 0 done, a decoder's negative code passed through,
// 1 nothing to act on (no graph or no such part of it), -1 no file; int
// results are 1 done and 0 not done. Times are 100-nanosecond units. An object
// is used from one thread, the one that owns the caller's window when the
// movie is shown in a window.

#include "movie/CTMEncodeData.h"
#include "movie/TKRMovieDefs.h"
#include "platform/afx/AfxTypes.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct AVCodec;

namespace tkrmovie {
class TMPlayGraph;
class TMVideoWindow;
class TMWorkerThread;
} // namespace tkrmovie

// The container of a movie file by its first four bytes.
enum emTMMEDIAFILETYPE {
    TMMEDIAFILE_UNKNOWN = 0, // anything else, or the file cannot be read
    TMMEDIAFILE_RIFF = 1,    // "RIFF" (AVI, WAV)
    TMMEDIAFILE_MPEG = 2,    // 00 00 01 BA, an MPEG program stream
    TMMEDIAFILE_ASF = 3,     // 30 26 B2 75, ASF (WMV, WMA)
    TMMEDIAFILE_FLV = 4,     // "FLV" 01
    TMMEDIAFILE_SWF = 5,     // "CWS" 06, a compressed Flash movie of version 6
};

// The device categories the device lists are drawn from.
enum emTMDEVICECATEGORY {
    TMDEVICE_VIDEOINPUT = 0,
    TMDEVICE_VIDEOCOMPRESSOR = 1,
    TMDEVICE_AUDIOCOMPRESSOR = 2,
};

// How the object's movie was loaded.
enum emTMDX_VERSION {
    TMDX_VERSION_NONE = -1, // nothing loaded
    TMDX_VERSION_8 = 8,     // loaded or connected by this object
};

// The graph's state from GetState.
constexpr LONG TM_STATE_STOPPED = 0;
constexpr LONG TM_STATE_PAUSED = 1;
constexpr LONG TM_STATE_RUNNING = 2;

// Volumes are hundredths of a decibel: -10000 silent to 0 full.
constexpr LONG TM_VOLUME_SILENT = -10000;
constexpr LONG TM_VOLUME_FULL = 0;

class TKRMOVIE_API CTMDirectShowBase {
public:
    CTMDirectShowBase();
    // Cancels a running encode job and lets the graph go.
    virtual ~CTMDirectShowBase();
    // An object stands for work in progress; it is not copied.
    CTMDirectShowBase(const CTMDirectShowBase&) = delete;
    CTMDirectShowBase& operator=(const CTMDirectShowBase&) = delete;

    // Graph set-up. -----------------------------------------------------------

    // A new, empty graph (one held before is let go; the other interfaces
    // stay until they are asked for again): 0.
    LONG CreateBaseInterface();
    // Loads the movie into a new graph shown in a child window of the owner
    // over its client area (hidden until ShowVideoWindow), muted, positioned
    // (start and stop: -1 not given) and running. -1 and no graph for a
    // missing file, the decoder's code when it cannot be played; otherwise
    // the attach result: 1 attached, 0 when a part of the graph is missing
    // (a movie without video, no owner window); what exists then runs.
    virtual LONG LoadFile(const WCHAR* path, CWnd* owner, int playMode, int64_t start, int64_t stop);
    // Loads another movie into the graph held (see SuspendStream), muted, not
    // attached: -1 and no graph for a missing file, 1 without a graph, else
    // the decoder's result (0 done).
    virtual LONG ConnectFile(const WCHAR* path, int playMode);
    // Takes the graph's interfaces and shows its video in a hidden child
    // window of the owner at the rectangle, the owner receiving the graph's
    // events and the input over the video: 1, or 0 as soon as a part is
    // missing.
    int AttachPreviewWindow(CWnd* owner, CRect rect);
    // Lets the graph and its interfaces go (path and load version stay).
    virtual void DestroyStream();
    // DestroyStream, then an empty graph ready for ConnectFile.
    virtual void SuspendStream();
    // Brings the video window forward and shows it: 0, or its failure.
    virtual LONG InvalidateVideo();

    // Transport. --------------------------------------------------------------

    LONG Play();
    LONG Pause();
    // Stops, moves to the start and shows the first frame: 0.
    LONG Stop();
    // Stop, then Play; 1 when Stop failed.
    LONG Replay();
    // TM_STATE_*, once the frame asked for last is shown: 1, or 0.
    int GetState(LONG* state);

    // Volume (-10000 to 0) and rate. ------------------------------------------

    int SetVolume(LONG volume);
    // Without a graph writes -10000 and answers 0.
    int GetVolume(LONG* volume);
    // Writes 1.0 first.
    int GetPlayRate(double* rate);
    // Pauses, sets the rate (a rate of 0 is not taken), runs: 1; 0 for a
    // negative rate.
    int ModifyPlayRate(double rate);

    // Position. ---------------------------------------------------------------

    // -1 without a graph.
    int64_t GetCurrentPosition();
    // The position as a fraction of the total time, 0 to 1.
    int GetCurrentPercent(double* fraction);
    // Pauses and moves to the percent (0 to 100) of the total time.
    int MovePosition(double percent);
    // The stop position read when the movie was loaded.
    int64_t GetTotalTime() const { return m_llTotalTime; }

    // The video window. Each answers 0 (1 for the long results) without one.

    // Toggles between the window and the whole screen.
    int FullScreen();
    int GetVideoWindowRect(CRect* rect);
    int SetVideoWindowRect(CRect* rect);
    // visible: -1 show, 0 hide; then brings the window forward.
    LONG ShowVideoWindow(LONG visible);
    int IsVisible();
    LONG SetVideoWindowForeground(LONG focus);
    // show 0 hides the cursor over the video.
    int ModifyCursorVisible(int show);
    // Hands a message of the owner's (a display change and the like) to the
    // video window.
    LONG NotifyOwnerMessage(LONG message, LONG wParam, LONG lParam);

    // Events and notifications. -----------------------------------------------

    // The oldest waiting event (EC_COMPLETE): 1, or 0 when none waits. The
    // owner calls it on WM_TM_GRAPHNOTIFY until it answers 0.
    int GetEventCode(LONG* code, LONG* param1, LONG* param2);
    // Sends (send not 0) or posts TM_DIRECTXNOTIFY_MESSAGE to the owner.
    void SendNotifyDXMessage(UINT wParam, LONG lParam, int send);

    // A graph editor's running object table does not exist here: both
    // answer E_FAIL (0x80004005).
    LONG AddGraphToRot(void* graph, ULONG* registration);
    LONG RemoveGraphFromRot(ULONG registration);

    int GetDispMode() const { return m_nDispMode; }
    int GetPlayMode() const { return m_nPlayMode; }
    emTMDX_VERSION GetDirectLoadVersion() const { return m_emLoadVersion; }

    // AVI encoding. -----------------------------------------------------------

    // Starts the job on a thread of its own: 0; 1 for an empty path or
    // compressor name, no window, a quality outside 0.0 to 1.0, or while a job
    // of this object runs. The window then hears WM_TM_ENCODESTATUS for a
    // failure and WM_TM_ENCODEEND at the end.
    int EncodeFile(CTMEncodeData* job);
    // Stops a running job and waits for its thread: 0.
    int CancelEncode();

    static emTMMEDIAFILETYPE GetMediaFileType(const WCHAR* path);
    // The movie's length in whole seconds (truncated): 0, or the decoder's
    // failure code with seconds untouched; 1 without an out pointer.
    static LONG GetPlayTotalSec(const WCHAR* path, int64_t* seconds);
    // "major.minor" and the letter of the movie framework; there is none
    // here, so "0.0 " (the three values are written when all three pointers
    // are given).
    static std::u16string GetDirectXVersion(ULONG* major, ULONG* minor, WCHAR* letter);
    // Appends the names of the video capture devices: 0, or 1 when there is
    // none (or no array).
    static LONG GetDeviceList(std::vector<std::u16string>* names);
    // Appends the names of a category's devices (the encoders FFmpeg offers
    // for the compressor categories, the audio ones after "PCM", plain PCM):
    // 0, or 1 when the category is empty.
    static LONG GetDeviceCompressorList(emTMDEVICECATEGORY category, std::vector<std::u16string>& names);
    // The text of a result code: the decoder's description of a negative code
    // when it has one, else the library's table, else empty.
    static std::u16string GetResultFormatMessage(LONG code);

protected:
    // The encoder of a compressor category whose name equals the given one
    // without regard to case; null when none does.
    static const AVCodec* FindCompressDevice(emTMDEVICECATEGORY category, const WCHAR* name);
    // The encode thread's procedure; the object is its argument.
    static unsigned PressAVIFileThread(void* object);
    // Sets the initial values: no graph, no owner, window mode, play mode -1,
    // nothing loaded.
    void Initialize();

    WCHAR m_szFileName[TM_MAX_PATH] = {};
    // The graph and the interfaces taken from it, each holding a reference.
    tkrmovie::TMPlayGraph* m_pGraphBuilder = nullptr;
    tkrmovie::TMVideoWindow* m_pVideoWindow = nullptr;
    tkrmovie::TMPlayGraph* m_pMediaControl = nullptr;
    tkrmovie::TMPlayGraph* m_pMediaEventEx = nullptr;
    tkrmovie::TMPlayGraph* m_pMediaSeeking = nullptr;
    emTMDX_VERSION m_emLoadVersion = TMDX_VERSION_NONE;
    int64_t m_llTotalTime = 0;
    CWnd* m_pOwnerWnd = nullptr;
    // 0 in a window, -1 full screen.
    int m_nDispMode = 0;
    // The caller's value, kept and returned only.
    int m_nPlayMode = -1;
    tkrmovie::TMWorkerThread* m_pEncodeThread = nullptr;
    std::atomic<LONG> m_bEncodeCancel{0};
    CTMEncodeData m_EncodeData;

private:
    static LONG GetDirectXVersionViaDxDiag(ULONG* major, ULONG* minor, WCHAR* letter);
    int GetTotalTime(int64_t* total);
    void ReleaseInterfaces();
};
