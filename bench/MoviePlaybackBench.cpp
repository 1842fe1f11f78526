// The movie library's playback (CTMDirectShowBase::LoadFile into a 1920 x 1080
// window of the window layer, headless, shown until the end event) of 4 s of
// 1920 x 1080 video at 25 frames a second, MJPEG in AVI and H.264 in MP4, on
// the real clock. Reported: the frames shown and dropped (goal: none dropped),
// the frames shown a second beside the movie's 25, the playing time over the
// movie's length ("x_duration", 1.0 at real time), and, beside them, FFmpeg
// decoding and converting the same frames directly as the playback thread
// does, in milliseconds a frame against the 40 ms a frame lasts
// ("x_frame_budget"). The first playback is checked to end on the last frame.

#include <benchmark/benchmark.h>

#include "movie/CTMDirectShowBase.h"
#include "movie/TMMovieFile.h"
#include "movie/TMPlayGraph.h"
#include "platform/afx/AfxWin.h"
#include "platform/testing/Headless.h"
#include "support/MovieWriter.h"
#include "support/TestSupport.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
namespace pt = platform::testing;

constexpr int kFrames = 100;
constexpr int kFramesPerSecond = 25;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

struct Movies {
    testsupport::TempDir dir;
    std::string mjpeg = (dir.Path() / "hd.avi").string();
    std::string h264 = (dir.Path() / "hd.mp4").string();
    Movies()
    {
        testsupport::WriteMovie(mjpeg, {"avi", "mjpeg", 1920, 1080, kFramesPerSecond, kFrames, 25, false});
        testsupport::WriteMovie(h264, {"mp4", "libx264", 1920, 1080, kFramesPerSecond, kFrames, 25, false});
    }
};

const Movies& BenchMovies()
{
    static const Movies movies;
    return movies;
}

// The caller's window: takes the end event as an owner does.
class Owner : public CWnd {
public:
    CTMDirectShowBase* player = nullptr;
    bool ended = false;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_TM_GRAPHNOTIFY) {
            LONG code = 0, first = 0, second = 0;
            while (player->GetEventCode(&code, &first, &second))
                ended = ended || code == EC_COMPLETE;
            return 0;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

// Opens what the playback thread did to the benchmark.
struct Player : CTMDirectShowBase {
    tkrmovie::TMPlayGraph::Statistics Statistics() const { return m_pGraphBuilder->GetStatistics(); }
};

struct Playback {
    double seconds = 0;
    tkrmovie::TMPlayGraph::Statistics statistics;
    bool endsOnLastFrame = false;
};

Playback Play(const std::string& path)
{
    Owner owner;
    owner.CreateEx(0, u"PlaybackBench", u"", WS_POPUP | WS_VISIBLE, RECT{0, 0, 1920, 1080}, nullptr, 0);
    Player player;
    owner.player = &player;
    pt::Pump();
    const std::u16string wide(testsupport::WideFromUtf8(path).View());
    Playback result;
    const Clock::time_point start = Clock::now();
    if (player.LoadFile(wide.c_str(), &owner, 0, -1, -1) != 1)
        return result;
    player.ShowVideoWindow(-1);
    while (!owner.ended && Seconds(start) < 60) {
        pt::Pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    result.seconds = Seconds(start);
    pt::Pump();
    result.statistics = player.Statistics();
    // The last frame's colour (see MovieFrameColour) at the picture's centre.
    const pt::PixelImage shot = pt::GrabClient(::GetDlgItem(owner.GetSafeHwnd(), 0));
    const testsupport::MovieColour last = testsupport::MovieFrameColour(kFrames - 1);
    const COLORREF seen = pt::PixelAt(shot, 960, 540);
    result.endsOnLastFrame = owner.ended && std::abs(GetRValue(seen) - last.red) < 6 &&
                             std::abs(GetBValue(seen) - last.blue) < 6;
    player.DestroyStream();
    return result;
}

// FFmpeg decoding every frame and turning it into the picture the playback
// thread hands over: milliseconds a frame.
double DecodeDirectly(const std::string& path)
{
    tkrmovie::TMMovieFile movie;
    const std::u16string wide(testsupport::WideFromUtf8(path).View());
    if (movie.Open(wide) < 0)
        return 0;
    const int stream = movie.FindVideoStream();
    AVFrame* frame = av_frame_alloc();
    const Clock::time_point start = Clock::now();
    int frames = 0;
    for (int budget = tkrmovie::TMMovieFile::kMaxPackets; movie.ReadFrame(stream, frame, budget) >= 0; ++frames) {
        tkrmovie::TMFrame picture;
        movie.ConvertFrame(*frame, picture);
    }
    const double seconds = Seconds(start);
    av_frame_free(&frame);
    return frames > 0 ? 1000 * seconds / frames : 0;
}

void BM_Playback(benchmark::State& state, bool h264)
{
    pt::Init();
    const std::string& path = h264 ? BenchMovies().h264 : BenchMovies().mjpeg;
    if (!Play(path).endsOnLastFrame) {
        state.SkipWithError("the playback does not end on the movie's last frame");
        return;
    }
    double playing = 0, frames = 0, dropped = 0;
    for (auto _ : state) {
        const Playback playback = Play(path);
        playing += playback.seconds;
        frames += double(playback.statistics.frames);
        dropped += double(playback.statistics.dropped);
    }
    const double runs = double(state.iterations());
    const double duration = double(kFrames) / kFramesPerSecond;
    const double decodeMs = DecodeDirectly(path);
    state.counters["shown"] = (frames - dropped) / runs;
    state.counters["dropped"] = dropped / runs;
    state.counters["shown_fps"] = (frames - dropped) / runs / duration;
    state.counters["x_duration"] = playing / runs / duration;
    state.counters["direct_ms"] = decodeMs;
    state.counters["x_frame_budget"] = decodeMs / (1000.0 / kFramesPerSecond);
}

void BM_PlaybackMjpeg(benchmark::State& state) { BM_Playback(state, false); }
void BM_PlaybackH264(benchmark::State& state) { BM_Playback(state, true); }

} // namespace

BENCHMARK(BM_PlaybackMjpeg)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_PlaybackH264)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
