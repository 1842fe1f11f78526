#pragma once
// Shared by the playback object's tests: a caller's window that takes the
// object's events as an owner does, a playback clock the test moves, and an
// audio output that keeps what it is given. Works on the layer's Qt back end
// and on its Qt-free core alike.

#include "MovieTestSupport.h"
#include "movie/CTMDirectShowBase.h"
#include "movie/TMAudioOutput.h"
#include "movie/TMPlayGraph.h"
#include "platform/afx/AfxWin.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace movietest {

struct GraphEvent {
    LONG code;
    LONG param1;
    LONG param2;
};

struct ReceivedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class MovieOwnerWindow : public CWnd {
public:
    // The object whose events this window takes.
    CTMDirectShowBase* player = nullptr;
    std::vector<GraphEvent> events;
    int notifications = 0;
    // Everything but the graph notifications and the creation chatter.
    std::vector<ReceivedMessage> received;

    BOOL CreateTop(const RECT& rect) { return CreateEx(0, u"MovieOwner", u"", WS_POPUP | WS_VISIBLE, rect, nullptr, 0); }

    size_t Count(UINT message) const
    {
        size_t count = 0;
        for (const ReceivedMessage& r : received)
            count += r.message == message;
        return count;
    }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_TM_GRAPHNOTIFY) {
            ++notifications;
            GraphEvent event{};
            while (player && player->GetEventCode(&event.code, &event.param1, &event.param2))
                events.push_back(event);
            return 0;
        }
        if (message == WM_PAINT || message == WM_ERASEBKGND || message == WM_SETCURSOR || message >= WM_APP ||
            (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST))
            received.push_back({message, wParam, lParam});
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

// The player's state, once the frame it asked for last is shown; -1 without a graph.
inline LONG StateOf(CTMDirectShowBase& player)
{
    LONG state = -1;
    player.GetState(&state);
    return state;
}

// Loads the movie for the owner and waits for its first frame, with which
// its clock starts.
inline LONG LoadAndWait(CTMDirectShowBase& player, const std::filesystem::path& movie, CWnd* owner, int playMode,
                        int64_t start, int64_t stop)
{
    const LONG result = player.LoadFile(WidePath(movie).c_str(), owner, playMode, start, stop);
    StateOf(player);
    return result;
}

// Runs pump until done() or the time is up; whether done() came true.
inline bool PumpUntil(const std::function<void()>& pump, const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(20))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        pump();
        if (done())
            return true;
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// The playback clock, in 100-nanosecond units, standing where the test puts
// it while this object lives.
class ManualPlaybackClock {
public:
    ManualPlaybackClock()
    {
        tkrmovie::SetPlaybackClock([this] { return m_Now.load(); });
    }
    ~ManualPlaybackClock() { tkrmovie::SetPlaybackClock({}); }
    ManualPlaybackClock(const ManualPlaybackClock&) = delete;
    ManualPlaybackClock& operator=(const ManualPlaybackClock&) = delete;
    void Set(int64_t now) { m_Now.store(now); }

private:
    std::atomic<int64_t> m_Now{0};
};

// Takes the place of the machine's audio output while it lives, keeping the
// samples every output it opened was given.
class RecordedSound {
public:
    RecordedSound()
    {
        tkrmovie::SetAudioOutputFactory([this](int rate, int channels) {
            std::lock_guard<std::mutex> lock(m_State->lock);
            m_State->rate = rate;
            m_State->channels = channels;
            return std::make_unique<Output>(m_State);
        });
    }
    ~RecordedSound() { tkrmovie::SetAudioOutputFactory({}); }
    RecordedSound(const RecordedSound&) = delete;
    RecordedSound& operator=(const RecordedSound&) = delete;

    size_t Frames() const
    {
        std::lock_guard<std::mutex> lock(m_State->lock);
        return m_State->channels > 0 ? m_State->samples.size() / size_t(m_State->channels) : 0;
    }
    // The loudest sample so far; cleared by Clear.
    int Peak() const
    {
        std::lock_guard<std::mutex> lock(m_State->lock);
        int peak = 0;
        for (int16_t sample : m_State->samples)
            peak = std::max(peak, std::abs(int(sample)));
        return peak;
    }
    int Rate() const
    {
        std::lock_guard<std::mutex> lock(m_State->lock);
        return m_State->rate;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> lock(m_State->lock);
        m_State->samples.clear();
    }

private:
    struct State {
        mutable std::mutex lock;
        int rate = 0;
        int channels = 0;
        std::vector<int16_t> samples;
    };
    class Output : public tkrmovie::TMAudioOutput {
    public:
        explicit Output(std::shared_ptr<State> state) : m_State(std::move(state)) {}
        bool Write(const int16_t* samples, int frames) override
        {
            std::lock_guard<std::mutex> lock(m_State->lock);
            m_State->samples.insert(m_State->samples.end(), samples, samples + size_t(frames) * m_State->channels);
            return true;
        }
        void Drop() override {}

    private:
        std::shared_ptr<State> m_State;
    };
    std::shared_ptr<State> m_State = std::make_shared<State>();
};

} // namespace movietest
