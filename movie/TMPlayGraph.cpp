#include "movie/TMPlayGraph.h"

#include "movie/TMAudioOutput.h"
#include "movie/TMFFmpeg.h"
#include "movie/TMMovieFile.h"
#include "movie/TMOwnerWindow.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

namespace tkrmovie {
namespace {

std::mutex g_ClockLock;
TMPlaybackClock g_Clock;

// Turns decoded sound into the output's interleaved 16-bit samples at the
// movie's rate, made again only when the decoded format changes.
class Resampler {
public:
    Resampler(int rate, int channels) : m_Rate(rate), m_Channels(channels)
    {
        av_channel_layout_default(&m_Layout, channels);
    }
    ~Resampler()
    {
        swr_free(&m_pContext);
        av_channel_layout_uninit(&m_Layout);
        av_channel_layout_uninit(&m_InLayout);
    }
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    int Prepare(const AVFrame& frame)
    {
        if (m_pContext && frame.format == m_InFormat && frame.sample_rate == m_InRate &&
            av_channel_layout_compare(&frame.ch_layout, &m_InLayout) == 0)
            return 0;
        swr_free(&m_pContext);
        av_channel_layout_uninit(&m_InLayout);
        int rc = av_channel_layout_copy(&m_InLayout, &frame.ch_layout);
        if (rc >= 0)
            rc = swr_alloc_set_opts2(&m_pContext, &m_Layout, AV_SAMPLE_FMT_S16, m_Rate,
                                     const_cast<AVChannelLayout*>(&frame.ch_layout),
                                     static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0, nullptr);
        if (rc >= 0)
            rc = swr_init(m_pContext);
        if (rc < 0) {
            swr_free(&m_pContext);
            return rc;
        }
        m_InFormat = frame.format;
        m_InRate = frame.sample_rate;
        return 0;
    }
    // The frame's samples into Samples(); their count per channel, or a failure.
    int Convert(const AVFrame& frame)
    {
        const int capacity = swr_get_out_samples(m_pContext, frame.nb_samples);
        if (capacity <= 0)
            return capacity;
        m_Samples.resize(size_t(capacity) * size_t(m_Channels));
        uint8_t* rows[1] = {reinterpret_cast<uint8_t*>(m_Samples.data())};
        return swr_convert(m_pContext, rows, capacity, const_cast<const uint8_t**>(frame.extended_data),
                           frame.nb_samples);
    }
    int16_t* Samples() { return m_Samples.data(); }
    int Rate() const { return m_Rate; }
    int Channels() const { return m_Channels; }

private:
    int m_Rate;
    int m_Channels;
    AVChannelLayout m_Layout{};
    AVChannelLayout m_InLayout{};
    int m_InFormat = -1;
    int m_InRate = 0;
    SwrContext* m_pContext = nullptr;
    std::vector<int16_t> m_Samples;
};

// The clock installed by a test, if any.
TMPlaybackClock TestClock()
{
    std::lock_guard<std::mutex> lock(g_ClockLock);
    return g_Clock;
}

int64_t Tick()
{
    if (const TMPlaybackClock clock = TestClock())
        return clock();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
               .count() /
           100;
}

// The length of one frame of the stream, from its frame rate (25 a second
// when it gives none).
int64_t FrameDuration(const AVStream& stream)
{
    const AVRational rate = stream.avg_frame_rate.num > 0 && stream.avg_frame_rate.den > 0 ? stream.avg_frame_rate
                                                                                          : stream.r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0)
        return kTimeUnitsPerSecond / 25;
    return std::max<int64_t>(1, av_rescale(kTimeUnitsPerSecond, rate.den, rate.num));
}

// Channels sent to the audio output: the movie's, folded to two at most.
int OutputChannels(const AVCodecParameters& audio) { return std::clamp(audio.ch_layout.nb_channels, 1, 2); }

// Decodes the next piece of sound and plays what of it lies from the
// position on; false at the end of the sound or when the output failed.
bool PlayNextSound(TMMovieFile& audio, int stream, AVFrame& frame, Resampler& resampler, int64_t from, double gain,
                   TMAudioOutput& output)
{
    int budget = TMMovieFile::kMaxPackets;
    if (audio.ReadFrame(stream, &frame, budget) < 0 || resampler.Prepare(frame) < 0)
        return false;
    const int count = resampler.Convert(frame);
    if (count < 0)
        return false;
    // A seek lands on the piece that holds the position.
    const int64_t time = audio.FrameTime(stream, frame);
    const int skip = time >= 0 && time < from
                         ? int(std::min<int64_t>(count, (from - time) * resampler.Rate() / kTimeUnitsPerSecond))
                         : 0;
    int16_t* const first = resampler.Samples() + size_t(skip) * size_t(resampler.Channels());
    int16_t* const last = resampler.Samples() + size_t(count) * size_t(resampler.Channels());
    for (int16_t* sample = first; sample < last; ++sample)
        *sample = int16_t(std::lround(*sample * gain));
    return count == skip || output.Write(first, count - skip);
}

// The factor of a volume in hundredths of a decibel; -10000 is silence.
double Gain(LONG volume) { return volume <= -10000 ? 0.0 : std::pow(10.0, volume / 2000.0); }

} // namespace

void SetPlaybackClock(TMPlaybackClock clock)
{
    std::lock_guard<std::mutex> lock(g_ClockLock);
    g_Clock = std::move(clock);
}

TMPlayGraph::TMPlayGraph() = default;

TMPlayGraph::~TMPlayGraph() { StopThreads(); }

void TMPlayGraph::AddRef() { m_References.fetch_add(1); }

void TMPlayGraph::Release()
{
    if (m_References.fetch_sub(1) == 1)
        delete this;
}

LONG TMPlayGraph::RenderFile(std::u16string_view path)
{
    StopThreads();
    m_bHasVideo = m_bHasAudio = false;
    m_pAudioOutput.reset();
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_State = TMGraphState::Stopped;
        m_BasePosition = m_Stop = m_Duration = 0;
        m_Rate = 1.0;
        m_bCompleted = false;
    }
    auto movie = std::make_unique<TMMovieFile>();
    int rc = movie->Open(path);
    if (rc < 0)
        return rc;
    m_VideoStream = movie->FindVideoStream();
    m_AudioStream = movie->FindAudioStream();
    if (m_VideoStream < 0 && m_AudioStream < 0)
        return AVERROR_STREAM_NOT_FOUND;
    m_Duration = std::max<int64_t>(0, movie->StopPosition());
    m_bHasVideo = m_VideoStream >= 0;
    m_bHasAudio = m_AudioStream >= 0;
    if (m_bHasVideo)
        m_FrameDuration = FrameDuration(*movie->Stream(m_VideoStream));

    // The sound gets an opening of its own; without an output it is not decoded.
    std::unique_ptr<TMMovieFile> sound;
    if (m_bHasAudio) {
        const AVCodecParameters& audio = *movie->Stream(m_AudioStream)->codecpar;
        m_pAudioOutput = OpenAudioOutput(audio.sample_rate, OutputChannels(audio));
        if (m_pAudioOutput && m_bHasVideo) {
            sound = std::make_unique<TMMovieFile>();
            if (sound->Open(path) < 0)
                sound.reset();
        } else if (m_pAudioOutput) {
            sound = std::move(movie);
        }
    }
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_Stop = m_Duration;
    }
    StartThreads(m_bHasVideo ? std::move(movie) : nullptr, std::move(sound));
    return 0;
}

void TMPlayGraph::StartThreads(std::unique_ptr<TMMovieFile> video, std::unique_ptr<TMMovieFile> audio)
{
    m_PlaybackThread = std::thread([this, file = std::move(video)] { PlaybackLoop(file.get()); });
    if (audio)
        m_AudioThread = std::thread([this, file = std::move(audio)] { AudioLoop(file.get()); });
}

void TMPlayGraph::StopThreads()
{
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_bQuit = true;
    }
    m_Changed.notify_all();
    for (std::thread* thread : {&m_PlaybackThread, &m_AudioThread})
        if (thread->joinable())
            thread->join();
    std::lock_guard<std::mutex> lock(m_Lock);
    m_bQuit = false;
    m_CueDone = m_CueRequest;
}

int64_t TMPlayGraph::PositionAt(int64_t tick) const
{
    // The clock waits while the frame asked for last is being prepared.
    if (!Playing() || m_CueDone != m_CueRequest)
        return m_BasePosition;
    const double moved = double(tick - m_BaseTick) * m_Rate;
    return std::min(m_Stop, m_BasePosition + int64_t(std::max(0.0, moved)));
}

void TMPlayGraph::Rebase(int64_t tick)
{
    m_BasePosition = PositionAt(tick);
    m_BaseTick = tick;
}

void TMPlayGraph::RequestCue(bool show)
{
    if (!m_PlaybackThread.joinable())
        return;
    ++m_CueRequest;
    m_CuePosition = m_BasePosition;
    m_bCueShows = show;
}

LONG TMPlayGraph::Run()
{
    std::lock_guard<std::mutex> lock(m_Lock);
    if (m_State == TMGraphState::Running)
        return 0;
    if (m_State == TMGraphState::Stopped)
        RequestCue(true);
    m_BaseTick = Tick();
    m_State = TMGraphState::Running;
    m_bCompleted = false;
    ++m_Epoch;
    m_Changed.notify_all();
    return 0;
}

LONG TMPlayGraph::Pause()
{
    std::lock_guard<std::mutex> lock(m_Lock);
    Rebase(Tick());
    if (m_State == TMGraphState::Stopped)
        RequestCue(true);
    m_State = TMGraphState::Paused;
    m_Changed.notify_all();
    return 0;
}

LONG TMPlayGraph::Stop()
{
    std::lock_guard<std::mutex> lock(m_Lock);
    Rebase(Tick());
    m_State = TMGraphState::Stopped;
    m_Changed.notify_all();
    return 0;
}

LONG TMPlayGraph::StopWhenReady()
{
    std::lock_guard<std::mutex> lock(m_Lock);
    Rebase(Tick());
    m_State = TMGraphState::Stopped;
    RequestCue(true);
    m_Changed.notify_all();
    return 0;
}

TMGraphState TMPlayGraph::GetState()
{
    std::unique_lock<std::mutex> lock(m_Lock);
    m_Changed.wait(lock, [this] { return m_CueDone == m_CueRequest; });
    return m_State;
}

int64_t TMPlayGraph::CurrentPosition()
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return PositionAt(Tick());
}

int64_t TMPlayGraph::StopPosition()
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Stop;
}

LONG TMPlayGraph::SetPositions(const int64_t* current, const int64_t* stop)
{
    std::lock_guard<std::mutex> lock(m_Lock);
    const int64_t tick = Tick();
    Rebase(tick);
    if (stop)
        m_Stop = std::clamp<int64_t>(*stop, 0, m_Duration);
    if (current) {
        m_BasePosition = std::clamp<int64_t>(*current, 0, m_Duration);
        RequestCue(m_State != TMGraphState::Stopped);
        ++m_Epoch;
    }
    // A new stop or a new start may leave something to play.
    m_bCompleted = false;
    m_Changed.notify_all();
    return 0;
}

double TMPlayGraph::Rate()
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Rate;
}

LONG TMPlayGraph::SetRate(double rate)
{
    if (!(rate > 0.0) || !std::isfinite(rate))
        return kInvalidArgument;
    std::lock_guard<std::mutex> lock(m_Lock);
    Rebase(Tick());
    m_Rate = rate;
    ++m_Epoch;
    m_Changed.notify_all();
    return 0;
}

void TMPlayGraph::SetNotifyWindow(HWND window, UINT message, LPARAM instance)
{
    std::lock_guard<std::mutex> lock(m_Lock);
    m_NotifyWindow = window;
    m_NotifyMessage = message;
    m_NotifyInstance = instance;
}

bool TMPlayGraph::GetEvent(LONG& code, LONG& param1, LONG& param2)
{
    std::lock_guard<std::mutex> lock(m_Lock);
    if (m_Events.empty())
        return false;
    code = m_Events.front().code;
    param1 = m_Events.front().param1;
    param2 = m_Events.front().param2;
    m_Events.pop_front();
    return true;
}

TMPlayGraph::Statistics TMPlayGraph::GetStatistics() const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Statistics;
}

void TMPlayGraph::WaitFor(std::unique_lock<std::mutex>& lock, int64_t span)
{
    // A test's clock moves by hand: look at it again soon.
    if (TestClock()) {
        m_Changed.wait_for(lock, std::chrono::milliseconds(1));
        return;
    }
    const double nanoseconds = double(span) * 100.0 / m_Rate;
    m_Changed.wait_for(lock, std::chrono::nanoseconds(int64_t(std::min(nanoseconds, 1e9))));
}

void TMPlayGraph::Complete(std::unique_lock<std::mutex>& lock, LONG status)
{
    m_bCompleted = true;
    m_BasePosition = m_Stop;
    m_Events.push_back({EC_COMPLETE, status, 0});
    const HWND window = m_NotifyWindow;
    const UINT message = m_NotifyMessage;
    const LPARAM instance = m_NotifyInstance;
    m_Changed.notify_all();
    lock.unlock();
    if (message != 0)
        PostToWindow(window, message, 0, instance);
    lock.lock();
}

void TMPlayGraph::Show(std::shared_ptr<const TMFrame> frame)
{
    ++m_Statistics.frames;
    if (!m_VideoWindow.Deliver(std::move(frame)))
        ++m_Statistics.dropped;
}

// The video side. Between frames the thread holds the graph's lock only to
// read the clock and the requests; decoding and converting run unlocked, and
// a request that came meanwhile makes it drop what it decoded.
void TMPlayGraph::PlaybackLoop(TMMovieFile* video)
{
    const FramePtr covering(av_frame_alloc());
    const FramePtr next(av_frame_alloc());
    if (!covering || !next)
        return;
    // The frame after the one shown: decoded (in next), then converted and
    // waiting for its time (nextPicture, due at nextDue).
    bool decodedNext = false;
    bool haveNext = false;
    std::shared_ptr<const TMFrame> nextPicture;
    int64_t nextDue = 0;
    // The video has nothing more to show: ended at lastEnd with status.
    bool ended = true;
    LONG status = 0;
    int64_t lastEnd = 0;
    const auto convert = [&](const AVFrame& source) {
        auto picture = std::make_shared<TMFrame>();
        if (video->ConvertFrame(source, *picture) < 0)
            picture.reset();
        return std::shared_ptr<const TMFrame>(std::move(picture));
    };
    const auto endVideo = [&](int rc) {
        ended = true;
        status = rc == AVERROR_EOF ? 0 : rc;
    };

    std::unique_lock<std::mutex> lock(m_Lock);
    // Requests made before the thread first looked are still to be handled.
    uint64_t handled = m_CueDone;
    while (!m_bQuit) {
        if (handled != m_CueRequest) {
            handled = m_CueRequest;
            const int64_t target = m_CuePosition;
            const bool show = m_bCueShows;
            lock.unlock();
            int rc = video ? video->DecodeCoveringFrames(m_VideoStream, target, covering.get(), next.get()) : 0;
            std::shared_ptr<const TMFrame> picture;
            if (video && rc >= 0 && show && !(picture = convert(*covering)))
                rc = AVERROR_INVALIDDATA;
            lock.lock();
            if (handled != m_CueRequest)
                continue;
            ended = !video || rc < 0;
            status = rc < 0 ? rc : 0;
            haveNext = false;
            decodedNext = video && rc >= 0 && next->data[0];
            lastEnd = target;
            if (video && rc >= 0) {
                const int64_t time = video->FrameTime(m_VideoStream, *covering);
                lastEnd = std::max(target, (time >= 0 ? time : target) + m_FrameDuration);
            }
            if (picture)
                Show(std::move(picture));
            // Playing starts from the frame now shown.
            m_BaseTick = Tick();
            m_CueDone = handled;
            m_Changed.notify_all();
            continue;
        }
        if (!Playing()) {
            m_Changed.wait(lock);
            continue;
        }
        if (!haveNext && !ended) {
            // The next frame, decoded and converted ahead of its time.
            if (!decodedNext) {
                lock.unlock();
                int budget = TMMovieFile::kMaxPackets;
                const int rc = video->ReadFrame(m_VideoStream, next.get(), budget);
                lock.lock();
                if (handled != m_CueRequest)
                    continue;
                if (rc < 0) {
                    endVideo(rc);
                    continue;
                }
            }
            decodedNext = false;
            const int64_t time = video->FrameTime(m_VideoStream, *next);
            nextDue = time >= 0 ? time : lastEnd;
            lastEnd = nextDue + m_FrameDuration;
            // A frame whose time is over before it could be shown is dropped,
            // so a slow moment does not make the picture fall behind; the one
            // that reaches the stop position is shown.
            if (PositionAt(Tick()) >= lastEnd && lastEnd < m_Stop) {
                ++m_Statistics.frames;
                ++m_Statistics.dropped;
                continue;
            }
            lock.unlock();
            nextPicture = convert(*next);
            lock.lock();
            if (handled != m_CueRequest)
                continue;
            if (!nextPicture)
                endVideo(AVERROR_INVALIDDATA);
            haveNext = nextPicture != nullptr;
            continue;
        }
        const int64_t position = PositionAt(Tick());
        if (haveNext && nextDue < m_Stop) {
            if (position < nextDue) {
                WaitFor(lock, nextDue - position);
                continue;
            }
            haveNext = false;
            Show(std::move(nextPicture));
            continue;
        }
        // Nothing more to show before the stop position, or the video ended
        // early: the end comes when the last frame's time is over.
        const int64_t end = video && !haveNext ? std::min(m_Stop, lastEnd) : m_Stop;
        if (position < end) {
            WaitFor(lock, end - position);
            continue;
        }
        Complete(lock, status);
    }
}

// The sound side: plays from the position whenever playing starts or the
// position moves, silent while the rate is not 1.
void TMPlayGraph::AudioLoop(TMMovieFile* audio)
{
    const FramePtr frame(av_frame_alloc());
    if (!frame)
        return;
    const AVCodecParameters& parameters = *audio->Stream(m_AudioStream)->codecpar;
    Resampler resampler(parameters.sample_rate, OutputChannels(parameters));
    // Samples before this position are not played (a seek lands on the
    // key frame before it).
    int64_t from = 0;
    // The start of playing the sound is positioned for; 0: none.
    uint64_t epoch = 0;
    bool ended = false;

    std::unique_lock<std::mutex> lock(m_Lock);
    while (!m_bQuit) {
        if (!Playing() || m_Rate != 1.0) {
            if (epoch != 0) {
                lock.unlock();
                m_pAudioOutput->Drop();
                lock.lock();
                epoch = 0;
            }
            m_Changed.wait(lock);
            continue;
        }
        if (epoch != m_Epoch) {
            epoch = m_Epoch;
            from = PositionAt(Tick());
            lock.unlock();
            m_pAudioOutput->Drop();
            ended = audio->SeekStream(m_AudioStream, from) < 0;
            lock.lock();
            continue;
        }
        if (ended) {
            m_Changed.wait(lock);
            continue;
        }
        lock.unlock();
        ended =
            !PlayNextSound(*audio, m_AudioStream, *frame, resampler, from, Gain(m_Volume.load()), *m_pAudioOutput);
        lock.lock();
    }
}

} // namespace tkrmovie
