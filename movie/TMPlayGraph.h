#pragma once
// A playback graph: one movie rendered for playing, with the interfaces a
// playback object asks of it (control, seeking, events, audio volume, the
// video window). Its clock runs the movie: while running, the position moves
// with the clock at the graph's rate up to the stop position.
//
// Playing starts once the frame at the position is ready: after a start from
// stopped or a seek, the clock waits for the playback thread to show it.
//
// Threads: the caller's thread controls the graph; a playback thread of the
// graph decodes the video ahead (from its own opening of the file), waits for
// each frame's time and hands it to the video window, which draws it on the
// GUI thread; an audio thread (only where the machine has an audio output)
// decodes the sound from another opening of the file and plays it. When the
// movie has played to its stop position, or its video stops decoding, the
// graph queues EC_COMPLETE (TKRMovieDefs.h) and posts its notify message.
//
// The graph is counted: each interface a playback object holds is one
// reference, and the last Release ends the threads and the windows (on the
// GUI thread where the graph has windows).

#include "movie/TKRMovieDefs.h"
#include "movie/TMVideoWindow.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

namespace tkrmovie {

class TMAudioOutput;
class TMMovieFile;

enum class TMGraphState : LONG { Stopped = 0, Paused = 1, Running = 2 };

// Results of the platform's playback interfaces.
constexpr LONG kNotImplemented = static_cast<LONG>(0x80004001);
constexpr LONG kInvalidArgument = static_cast<LONG>(0x80070057);
constexpr LONG kFailed = static_cast<LONG>(0x80004005);

// The clock playback runs by, in 100-nanosecond units; by default the steady
// clock. Tests install one they move by hand (waits then poll every
// millisecond); an empty function restores the default.
using TMPlaybackClock = std::function<int64_t()>;
void SetPlaybackClock(TMPlaybackClock clock);

class TMPlayGraph {
public:
    // A new, empty graph holding one reference.
    TMPlayGraph();
    TMPlayGraph(const TMPlayGraph&) = delete;
    TMPlayGraph& operator=(const TMPlayGraph&) = delete;
    void AddRef();
    void Release();

    // Opens the movie for playing, stopped at its start, its stop position
    // the movie's end; a movie rendered before is let go. 0, or the decoder's
    // code (the graph is then empty).
    LONG RenderFile(std::u16string_view path);
    bool HasVideo() const { return m_bHasVideo; }
    bool HasAudio() const { return m_bHasAudio; }
    // The video window, null when the movie has no video.
    TMVideoWindow* VideoWindow() { return m_bHasVideo ? &m_VideoWindow : nullptr; }

    // Control. Run and Pause from stopped show the frame at the position
    // first; StopWhenReady shows it and stays stopped.
    LONG Run();
    LONG Pause();
    LONG Stop();
    LONG StopWhenReady();
    // The state, once the frame asked for last is shown.
    TMGraphState GetState();

    // Seeking, in 100-nanosecond units.
    int64_t CurrentPosition();
    int64_t StopPosition();
    // Moves the current and stop positions given (null: unchanged); both are
    // kept within the movie.
    LONG SetPositions(const int64_t* current, const int64_t* stop);
    double Rate();
    // kInvalidArgument for a rate that is not above 0.
    LONG SetRate(double rate);

    // Audio: hundredths of a decibel, -10000 silent to 0 full.
    LONG Volume() const { return m_Volume.load(); }
    void SetVolume(LONG volume) { m_Volume.store(volume); }

    // Events: each one queued posts the message (wParam 0, lParam instance)
    // to the window.
    void SetNotifyWindow(HWND window, UINT message, LPARAM instance);
    // Takes the oldest event; false when none waits.
    bool GetEvent(LONG& code, LONG& param1, LONG& param2);

    // What the playback thread did, for the benchmark.
    struct Statistics {
        int64_t frames = 0;  // handed to the video window
        int64_t dropped = 0; // never drawn: late, or replaced before the GUI thread came to it
    };
    Statistics GetStatistics() const;

private:
    ~TMPlayGraph();
    struct Event {
        LONG code;
        LONG param1;
        LONG param2;
    };

    void StartThreads(std::unique_ptr<TMMovieFile> video, std::unique_ptr<TMMovieFile> audio);
    void StopThreads();
    void PlaybackLoop(TMMovieFile* video);
    void AudioLoop(TMMovieFile* audio);

    // Under m_Lock.
    int64_t PositionAt(int64_t tick) const;
    void Rebase(int64_t tick);
    void RequestCue(bool show);
    bool Playing() const { return m_State == TMGraphState::Running && !m_bCompleted; }
    // Waits for the clock to move by span (in movie time), or for a change.
    void WaitFor(std::unique_lock<std::mutex>& lock, int64_t span);
    void Complete(std::unique_lock<std::mutex>& lock, LONG status);
    void Show(std::shared_ptr<const TMFrame> frame);

    std::atomic<int> m_References{1};
    bool m_bHasVideo = false;
    bool m_bHasAudio = false;
    int m_VideoStream = -1;
    int m_AudioStream = -1;
    int64_t m_Duration = 0;
    int64_t m_FrameDuration = 0;
    TMVideoWindow m_VideoWindow{*this};
    std::unique_ptr<TMAudioOutput> m_pAudioOutput;
    std::atomic<LONG> m_Volume{0};

    mutable std::mutex m_Lock;
    std::condition_variable m_Changed;
    TMGraphState m_State = TMGraphState::Stopped;
    // The position is m_BasePosition at m_BaseTick, moving at m_Rate while
    // playing.
    int64_t m_BasePosition = 0;
    int64_t m_BaseTick = 0;
    double m_Rate = 1.0;
    int64_t m_Stop = 0;
    bool m_bCompleted = false;
    // Frames asked for (a seek, a start from stopped) and the last one shown.
    uint64_t m_CueRequest = 0;
    uint64_t m_CueDone = 0;
    int64_t m_CuePosition = 0;
    bool m_bCueShows = false;
    // Counts every start of playing and every seek: the sound starts again
    // from the position.
    uint64_t m_Epoch = 0;
    bool m_bQuit = false;
    std::deque<Event> m_Events;
    HWND m_NotifyWindow = nullptr;
    UINT m_NotifyMessage = 0;
    LPARAM m_NotifyInstance = 0;
    Statistics m_Statistics;
    std::thread m_PlaybackThread;
    std::thread m_AudioThread;
};

} // namespace tkrmovie
