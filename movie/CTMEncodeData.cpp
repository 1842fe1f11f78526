#include "movie/CTMEncodeData.h"

#include "movie/CTMDirectShowBase.h"
#include "movie/TMAviEncoder.h"
#include "movie/TMMovieFile.h"
#include "movie/TMOwnerWindow.h"
#include "movie/TMWorkerThread.h"

#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <string>

namespace {

template <size_t N>
void SetText(WCHAR (&field)[N], const char16_t* text)
{
    std::fill(std::begin(field), std::end(field), u'\0');
    std::copy_n(text, std::min(std::char_traits<char16_t>::length(text), N - 1), field);
}

template <size_t N>
bool Empty(const WCHAR (&field)[N])
{
    return field[0] == u'\0';
}

// The thread's priority from the platform's value (-2 lowest to 2 highest),
// as nice steps of 2 from the creating thread's; a refused raise leaves it.
void ApplyThreadPriority(int priority)
{
    if (priority < -2 || priority > 2)
        return;
    errno = 0;
    const int inherited = getpriority(PRIO_PROCESS, 0);
    if (errno == 0)
        setpriority(PRIO_PROCESS, 0, std::clamp(inherited - 2 * priority, -20, 19));
}

} // namespace

void CTMEncodeData::Init()
{
    SetText(szSourceFile, u"");
    SetText(szDestFile, u"");
    nBitRate = 5000000;
    dQuality = 1.0;
    nKeyFrameRate = 10;
    vihVideo = VIDEOINFOHEADER{};
    SetText(szVideoCompressor, u"Compressor");
    wfxAudio = WAVEFORMATEX{};
    SetText(szAudioCompressor, u"PCM");
    hNotifyWnd = nullptr;
    nPriority = 2;
}

CTMEncodeData& CTMEncodeData::operator=(const CTMEncodeData& other) = default;

int CTMDirectShowBase::EncodeFile(CTMEncodeData* job)
{
    if (!job || Empty(job->szSourceFile) || Empty(job->szDestFile) || Empty(job->szVideoCompressor) ||
        Empty(job->szAudioCompressor) || !job->hNotifyWnd || !(job->dQuality >= 0.0 && job->dQuality <= 1.0))
        return 1;
    // One job at a time: a second would take the first one's record and
    // thread, which could then be neither cancelled nor waited for.
    if (tkrmovie::TMWorkerThread::Running(m_pEncodeThread))
        return 1;
    m_EncodeData = *job;
    m_bEncodeCancel.store(0);
    return tkrmovie::TMWorkerThread::Start(m_pEncodeThread, [this] { PressAVIFileThread(this); }) ? 0 : 1;
}

int CTMDirectShowBase::CancelEncode()
{
    if (m_pEncodeThread) {
        m_bEncodeCancel.store(1);
        tkrmovie::TMWorkerThread::Finish(m_pEncodeThread);
        m_bEncodeCancel.store(0);
    }
    return 0;
}

unsigned CTMDirectShowBase::PressAVIFileThread(void* object)
{
    auto* self = static_cast<CTMDirectShowBase*>(object);
    // The thread's own copy of the job.
    const CTMEncodeData job = self->m_EncodeData;
    const auto cancelled = [self] { return self->m_bEncodeCancel.load() != 0; };
    ApplyThreadPriority(job.nPriority);

    tkrmovie::TMEncodeOutcome outcome;
    const std::u16string videoName(tkrmovie::FieldText(job.szVideoCompressor));
    const std::u16string audioName(tkrmovie::FieldText(job.szAudioCompressor));
    const AVCodec* video = nullptr;
    const AVCodec* audio = nullptr;
    if (cancelled())
        outcome.exitCode = tkrmovie::kEncodeCancelledEarly;
    else if (!(video = FindCompressDevice(TMDEVICE_VIDEOCOMPRESSOR, videoName.c_str())))
        outcome = {tkrmovie::kEncodeNoCompressor, 2, 0, false};
    else if (!(audio = FindCompressDevice(TMDEVICE_AUDIOCOMPRESSOR, audioName.c_str())))
        outcome = {tkrmovie::kEncodeNoCompressor, 3, 0, false};
    else
        outcome = tkrmovie::EncodeAvi(job, *video, *audio, cancelled);

    // From here the thread only posts: a new job or the object's end may
    // wait for it.
    self->m_pEncodeThread->MarkDone();
    if (outcome.status != 0)
        tkrmovie::PostToWindow(job.hNotifyWnd, WM_TM_ENCODESTATUS, outcome.status, outcome.statusCode);
    if (outcome.ended)
        tkrmovie::PostToWindow(job.hNotifyWnd, WM_TM_ENCODEEND, 0, 0);
    return static_cast<unsigned>(outcome.exitCode);
}
