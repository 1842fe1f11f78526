#include "movie/CTMDirectShowBase.h"

#include "foundation/FUnicode.h"
#include "movie/TMMovieFile.h"
#include "movie/TMOwnerWindow.h"
#include "movie/TMPlayGraph.h"
#include "movie/TMResultTexts.h"
#include "platform/afx/AfxWin.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
}

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace {

using tkrmovie::OAFALSE;
using tkrmovie::OATRUE;
using tkrmovie::TMPlayGraph;

constexpr LONG E_FAIL_CODE = static_cast<LONG>(0x80004005);

// Lets an interface go and clears it.
template <class Part>
void ReleaseAndClear(Part*& part)
{
    if (part)
        part->Release();
    part = nullptr;
}

// A graph interface: one more reference to the graph.
TMPlayGraph* Take(TMPlayGraph* graph)
{
    graph->AddRef();
    return graph;
}

// The capture device behind a video device node, by the name its driver gives.
bool CaptureDeviceName(const std::filesystem::path& node, std::u16string& name)
{
    const int fd = open(node.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return false;
    v4l2_capability caps{};
    const bool queried = ioctl(fd, VIDIOC_QUERYCAP, &caps) == 0;
    close(fd);
    const uint32_t device = (caps.capabilities & V4L2_CAP_DEVICE_CAPS) ? caps.device_caps : caps.capabilities;
    if (!queried || !(device & (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_CAPTURE_MPLANE)))
        return false;
    const std::string card(reinterpret_cast<const char*>(caps.card), strnlen(reinterpret_cast<const char*>(caps.card),
                                                                              sizeof(caps.card)));
    const auto wide = Utf8ToUtf16(card);
    name = wide && !wide->empty() ? *wide : std::u16string(node.filename().u16string());
    return true;
}

std::vector<std::u16string> CaptureDevices()
{
    std::vector<std::filesystem::path> nodes;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev", error))
        if (entry.path().filename().string().rfind("video", 0) == 0)
            nodes.push_back(entry.path());
    std::sort(nodes.begin(), nodes.end());
    std::vector<std::u16string> names;
    std::u16string name;
    for (const auto& node : nodes)
        if (CaptureDeviceName(node, name))
            names.push_back(name);
    return names;
}

// The encoders a compressor category lists: those FFmpeg runs in software
// for the category's media type.
template <class Visit>
void ForEachEncoder(emTMDEVICECATEGORY category, Visit&& visit)
{
    const AVMediaType type = category == TMDEVICE_VIDEOCOMPRESSOR   ? AVMEDIA_TYPE_VIDEO
                             : category == TMDEVICE_AUDIOCOMPRESSOR ? AVMEDIA_TYPE_AUDIO
                                                                    : AVMEDIA_TYPE_UNKNOWN;
    if (type == AVMEDIA_TYPE_UNKNOWN)
        return;
    void* state = nullptr;
    while (const AVCodec* codec = av_codec_iterate(&state)) {
        if (codec->type == type && av_codec_is_encoder(codec) &&
            !(codec->capabilities & (AV_CODEC_CAP_HARDWARE | AV_CODEC_CAP_EXPERIMENTAL)) && visit(codec))
            return;
    }
}

// The audio compressors begin with plain PCM under the name the encode
// job's default gives it.
constexpr char16_t kPlainPcmName[] = u"PCM";

bool SameNameIgnoringCase(const char* name, const WCHAR* wanted)
{
    const auto lower = [](char32_t c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    for (; *name && *wanted; ++name, ++wanted)
        if (lower(static_cast<unsigned char>(*name)) != lower(*wanted))
            return false;
    return *name == 0 && *wanted == 0;
}

} // namespace

CTMDirectShowBase::CTMDirectShowBase() { Initialize(); }

CTMDirectShowBase::~CTMDirectShowBase()
{
    CancelEncode();
    ReleaseInterfaces();
}

void CTMDirectShowBase::Initialize()
{
    m_pGraphBuilder = m_pMediaControl = m_pMediaEventEx = m_pMediaSeeking = nullptr;
    m_pVideoWindow = nullptr;
    m_pOwnerWnd = nullptr;
    m_nDispMode = 0;
    m_llTotalTime = 0;
    m_nPlayMode = -1;
    m_emLoadVersion = TMDX_VERSION_NONE;
}

void CTMDirectShowBase::ReleaseInterfaces()
{
    ReleaseAndClear(m_pMediaSeeking);
    ReleaseAndClear(m_pMediaControl);
    ReleaseAndClear(m_pMediaEventEx);
    ReleaseAndClear(m_pVideoWindow);
    ReleaseAndClear(m_pGraphBuilder);
}

// ---- Graph set-up -------------------------------------------------------------

LONG CTMDirectShowBase::CreateBaseInterface()
{
    ReleaseAndClear(m_pGraphBuilder);
    m_pGraphBuilder = new TMPlayGraph;
    return 0;
}

LONG CTMDirectShowBase::LoadFile(const WCHAR* path, CWnd* owner, int playMode, int64_t start, int64_t stop)
{
    const std::u16string_view file = tkrmovie::PathText(path);
    if (!tkrmovie::IsExistingFile(file)) {
        DestroyStream();
        return -1;
    }
    LONG rc = CreateBaseInterface();
    if (rc != 0)
        return rc;
    m_nPlayMode = playMode;
    if ((rc = m_pGraphBuilder->RenderFile(file)) < 0)
        return rc;
    tkrmovie::CopyPath(m_szFileName, file);
    CRect client;
    if (owner && owner->GetSafeHwnd())
        owner->GetClientRect(&client);
    const LONG attached = AttachPreviewWindow(owner, client);
    SetVolume(TM_VOLUME_SILENT);
    if (m_pMediaSeeking) {
        if (start != -1 || stop != -1)
            m_pMediaSeeking->SetPositions(start != -1 ? &start : nullptr, stop != -1 ? &stop : nullptr);
        GetTotalTime(&m_llTotalTime);
    }
    Play();
    m_emLoadVersion = TMDX_VERSION_8;
    return attached;
}

LONG CTMDirectShowBase::ConnectFile(const WCHAR* path, int playMode)
{
    const std::u16string_view file = tkrmovie::PathText(path);
    if (!tkrmovie::IsExistingFile(file)) {
        DestroyStream();
        return -1;
    }
    if (!m_pGraphBuilder)
        return 1;
    m_nPlayMode = playMode;
    const LONG rc = m_pGraphBuilder->RenderFile(file);
    if (rc < 0)
        return rc;
    tkrmovie::CopyPath(m_szFileName, file);
    SetVolume(TM_VOLUME_SILENT);
    m_emLoadVersion = TMDX_VERSION_8;
    return rc;
}

int CTMDirectShowBase::AttachPreviewWindow(CWnd* owner, CRect rect)
{
    m_pOwnerWnd = owner;
    if (!m_pGraphBuilder)
        return 0;
    ReleaseAndClear(m_pMediaControl);
    ReleaseAndClear(m_pMediaEventEx);
    ReleaseAndClear(m_pMediaSeeking);
    ReleaseAndClear(m_pVideoWindow);
    m_pMediaControl = Take(m_pGraphBuilder);
    m_pMediaEventEx = Take(m_pGraphBuilder);
    m_pMediaSeeking = Take(m_pGraphBuilder);
    GetTotalTime(&m_llTotalTime);
    const HWND window = owner ? owner->GetSafeHwnd() : nullptr;
    if (!window)
        return 0;
    m_pMediaEventEx->SetNotifyWindow(window, WM_TM_GRAPHNOTIFY, 0);
    // The one part a graph may lack: a movie without video has no video
    // window, while its sound, position and events work.
    if (!(m_pVideoWindow = m_pGraphBuilder->VideoWindow()))
        return 0;
    m_pVideoWindow->AddRef();
    if (m_pVideoWindow->SetOwner(window) != 0)
        return 0;
    m_pVideoWindow->SetWindowPosition(rect.left, rect.top, rect.Width(), rect.Height());
    m_pVideoWindow->SetWindowStyle(WS_CHILD | WS_CLIPSIBLINGS);
    m_pVideoWindow->SetMessageDrain(window);
    m_pVideoWindow->SetVisible(OAFALSE);
    return 1;
}

void CTMDirectShowBase::DestroyStream() { ReleaseInterfaces(); }

void CTMDirectShowBase::SuspendStream()
{
    DestroyStream();
    CreateBaseInterface();
}

// ---- Transport ------------------------------------------------------------------

LONG CTMDirectShowBase::Play() { return m_pMediaControl ? m_pMediaControl->Run() : 1; }

LONG CTMDirectShowBase::Pause() { return m_pMediaControl ? m_pMediaControl->Pause() : 1; }

LONG CTMDirectShowBase::Stop()
{
    if (!m_pMediaControl || m_pMediaControl->Stop() != 0 || !m_pMediaSeeking)
        return 1;
    const int64_t start = 0;
    m_pMediaSeeking->SetPositions(&start, nullptr);
    // Shows the first frame.
    m_pMediaControl->StopWhenReady();
    return 0;
}

LONG CTMDirectShowBase::Replay() { return Stop() != 0 ? 1 : Play(); }

int CTMDirectShowBase::GetState(LONG* state)
{
    if (!m_pMediaControl || !state)
        return 0;
    *state = static_cast<LONG>(m_pMediaControl->GetState());
    return 1;
}

// ---- Volume and rate ------------------------------------------------------------

int CTMDirectShowBase::SetVolume(LONG volume)
{
    if (volume < TM_VOLUME_SILENT || volume > TM_VOLUME_FULL || !m_pGraphBuilder || !m_pGraphBuilder->HasAudio())
        return 0;
    m_pGraphBuilder->SetVolume(volume);
    return 1;
}

int CTMDirectShowBase::GetVolume(LONG* volume)
{
    if (!m_pGraphBuilder) {
        if (volume)
            *volume = TM_VOLUME_SILENT;
        return 0;
    }
    if (!m_pGraphBuilder->HasAudio() || !volume)
        return 0;
    *volume = m_pGraphBuilder->Volume();
    return 1;
}

int CTMDirectShowBase::GetPlayRate(double* rate)
{
    if (!rate)
        return 0;
    *rate = 1.0;
    if (!m_pMediaSeeking)
        return 0;
    *rate = m_pMediaSeeking->Rate();
    return 1;
}

int CTMDirectShowBase::ModifyPlayRate(double rate)
{
    if (rate < 0.0 || !m_pMediaControl || !m_pMediaSeeking)
        return 0;
    m_pMediaControl->Pause();
    m_pMediaSeeking->SetRate(rate);
    m_pMediaControl->Run();
    return 1;
}

// ---- Position -------------------------------------------------------------------

int64_t CTMDirectShowBase::GetCurrentPosition() { return m_pMediaSeeking ? m_pMediaSeeking->CurrentPosition() : -1; }

int CTMDirectShowBase::GetCurrentPercent(double* fraction)
{
    if (!m_pMediaSeeking || !fraction)
        return 0;
    const int64_t position = m_pMediaSeeking->CurrentPosition();
    // A movie of no length has no fraction.
    if (m_llTotalTime <= 0 || position > m_llTotalTime)
        return 0;
    *fraction = double(position) / double(m_llTotalTime);
    return 1;
}

int CTMDirectShowBase::MovePosition(double percent)
{
    LONG state = 0;
    if (!m_pGraphBuilder || !(percent >= 0.0 && percent <= 100.0) || !GetState(&state))
        return 0;
    if (state != TM_STATE_PAUSED)
        Pause();
    if (!m_pMediaSeeking)
        return 0;
    const int64_t target = int64_t(double(m_llTotalTime) * percent / 100.0);
    m_pMediaSeeking->SetPositions(&target, nullptr);
    return 1;
}

int CTMDirectShowBase::GetTotalTime(int64_t* total)
{
    if (!m_pMediaSeeking)
        return 0;
    *total = m_pMediaSeeking->StopPosition();
    return 1;
}

// ---- The video window -----------------------------------------------------------

int CTMDirectShowBase::FullScreen()
{
    if (!m_pVideoWindow)
        return 0;
    if (m_nDispMode == 0) {
        if (m_pVideoWindow->SetFullScreenMode(OATRUE) == 0)
            m_nDispMode = -1;
    } else if (m_pVideoWindow->SetFullScreenMode(OAFALSE) == 0) {
        m_nDispMode = 0;
    }
    return 1;
}

int CTMDirectShowBase::GetVideoWindowRect(CRect* rect)
{
    if (!m_pVideoWindow || !rect)
        return 0;
    LONG left = 0, top = 0, width = 0, height = 0;
    m_pVideoWindow->GetWindowPosition(&left, &top, &width, &height);
    rect->SetRect(left, top, left + width, top + height);
    return 1;
}

int CTMDirectShowBase::SetVideoWindowRect(CRect* rect)
{
    if (!m_pVideoWindow || !rect)
        return 0;
    m_pVideoWindow->SetWindowPosition(rect->left, rect->top, rect->Width(), rect->Height());
    return 1;
}

LONG CTMDirectShowBase::ShowVideoWindow(LONG visible)
{
    if (!m_pVideoWindow)
        return 1;
    LONG current = OAFALSE;
    LONG rc = m_pVideoWindow->GetVisible(&current);
    if (rc == tkrmovie::kNeedOwner)
        return 1;
    const LONG wanted = visible ? OATRUE : OAFALSE;
    if (wanted != current)
        rc = m_pVideoWindow->SetVisible(wanted);
    m_pVideoWindow->SetWindowForeground(OATRUE);
    return rc;
}

int CTMDirectShowBase::IsVisible()
{
    LONG visible = OAFALSE;
    return m_pVideoWindow && m_pVideoWindow->GetVisible(&visible) == 0 && visible != OAFALSE ? 1 : 0;
}

LONG CTMDirectShowBase::InvalidateVideo()
{
    if (!m_pVideoWindow)
        return 1;
    SetVideoWindowForeground(OATRUE);
    return m_pVideoWindow->SetWindowState(SW_SHOWNORMAL);
}

LONG CTMDirectShowBase::SetVideoWindowForeground(LONG focus)
{
    return m_pVideoWindow ? m_pVideoWindow->SetWindowForeground(focus) : 1;
}

int CTMDirectShowBase::ModifyCursorVisible(int show)
{
    return m_pVideoWindow && m_pVideoWindow->HideCursor(show ? OAFALSE : OATRUE) == 0 ? 1 : 0;
}

LONG CTMDirectShowBase::NotifyOwnerMessage(LONG message, LONG wParam, LONG lParam)
{
    return m_pVideoWindow ? m_pVideoWindow->NotifyOwnerMessage(static_cast<UINT>(message), static_cast<WPARAM>(wParam),
                                                               lParam)
                          : 1;
}

// ---- Events and notifications ---------------------------------------------------

int CTMDirectShowBase::GetEventCode(LONG* code, LONG* param1, LONG* param2)
{
    LONG event = 0, first = 0, second = 0;
    if (!m_pMediaEventEx || !m_pMediaEventEx->GetEvent(event, first, second))
        return 0;
    if (code)
        *code = event;
    if (param1)
        *param1 = first;
    if (param2)
        *param2 = second;
    return 1;
}

void CTMDirectShowBase::SendNotifyDXMessage(UINT wParam, LONG lParam, int send)
{
    if (!m_pOwnerWnd)
        return;
    if (!send)
        tkrmovie::PostToOwner(m_pOwnerWnd, TM_DIRECTXNOTIFY_MESSAGE, wParam, lParam);
    else if (const HWND window = m_pOwnerWnd->GetSafeHwnd())
        ::SendMessageW(window, TM_DIRECTXNOTIFY_MESSAGE, wParam, lParam);
}

LONG CTMDirectShowBase::AddGraphToRot(void*, ULONG*) { return E_FAIL_CODE; }

LONG CTMDirectShowBase::RemoveGraphFromRot(ULONG) { return E_FAIL_CODE; }

// ---- Static services ------------------------------------------------------------

emTMMEDIAFILETYPE CTMDirectShowBase::GetMediaFileType(const WCHAR* path)
{
    std::vector<BYTE> head;
    if (!tkrmovie::ReadFileStart(tkrmovie::PathText(path), 4, head) || head.size() < 4)
        return TMMEDIAFILE_UNKNOWN;
    const auto is = [&head](BYTE a, BYTE b, BYTE c, BYTE d) {
        return head[0] == a && head[1] == b && head[2] == c && head[3] == d;
    };
    if (is('R', 'I', 'F', 'F'))
        return TMMEDIAFILE_RIFF;
    if (is(0x00, 0x00, 0x01, 0xBA))
        return TMMEDIAFILE_MPEG;
    if (is(0x30, 0x26, 0xB2, 0x75))
        return TMMEDIAFILE_ASF;
    if (is('F', 'L', 'V', 0x01))
        return TMMEDIAFILE_FLV;
    if (is('C', 'W', 'S', 0x06))
        return TMMEDIAFILE_SWF;
    return TMMEDIAFILE_UNKNOWN;
}

LONG CTMDirectShowBase::GetPlayTotalSec(const WCHAR* path, int64_t* seconds)
{
    if (!seconds)
        return 1;
    tkrmovie::TMMovieFile movie;
    const int rc = movie.Open(tkrmovie::PathText(path));
    if (rc < 0)
        return rc;
    const int64_t stop = movie.StopPosition();
    *seconds = stop >= 0 ? stop / tkrmovie::kTimeUnitsPerSecond : 0;
    return 0;
}

LONG CTMDirectShowBase::GetDirectXVersionViaDxDiag(ULONG*, ULONG*, WCHAR*) { return E_FAIL_CODE; }

std::u16string CTMDirectShowBase::GetDirectXVersion(ULONG* major, ULONG* minor, WCHAR* letter)
{
    ULONG foundMajor = 0;
    ULONG foundMinor = 0;
    WCHAR foundLetter = u' ';
    GetDirectXVersionViaDxDiag(&foundMajor, &foundMinor, &foundLetter);
    if (foundLetter >= u'A' && foundLetter <= u'Z')
        foundLetter = static_cast<WCHAR>(foundLetter + (u'a' - u'A'));
    if (major && minor && letter) {
        *major = foundMajor;
        *minor = foundMinor;
        *letter = foundLetter;
    }
    char text[32];
    std::snprintf(text, sizeof(text), "%lu.%lu", static_cast<unsigned long>(foundMajor),
                  static_cast<unsigned long>(foundMinor));
    std::u16string version(text, text + std::char_traits<char>::length(text));
    return version + foundLetter;
}

LONG CTMDirectShowBase::GetDeviceList(std::vector<std::u16string>* names)
{
    if (!names)
        return 1;
    const std::vector<std::u16string> devices = CaptureDevices();
    names->insert(names->end(), devices.begin(), devices.end());
    return devices.empty() ? 1 : 0;
}

LONG CTMDirectShowBase::GetDeviceCompressorList(emTMDEVICECATEGORY category, std::vector<std::u16string>& names)
{
    if (category == TMDEVICE_VIDEOINPUT)
        return GetDeviceList(&names);
    const std::size_t before = names.size();
    if (category == TMDEVICE_AUDIOCOMPRESSOR)
        names.emplace_back(kPlainPcmName);
    ForEachEncoder(category, [&names](const AVCodec* codec) {
        names.emplace_back(codec->name, codec->name + std::char_traits<char>::length(codec->name));
        return false;
    });
    return names.size() > before ? 0 : 1;
}

const AVCodec* CTMDirectShowBase::FindCompressDevice(emTMDEVICECATEGORY category, const WCHAR* name)
{
    if (category == TMDEVICE_AUDIOCOMPRESSOR && name && SameNameIgnoringCase("PCM", name))
        return avcodec_find_encoder(AV_CODEC_ID_PCM_S16LE);
    const AVCodec* found = nullptr;
    if (name)
        ForEachEncoder(category, [&](const AVCodec* codec) {
            if (SameNameIgnoringCase(codec->name, name))
                found = codec;
            return found != nullptr;
        });
    return found;
}

std::u16string CTMDirectShowBase::GetResultFormatMessage(LONG code)
{
    // -1 is the library's own "no file, no frame", not a decoder's code.
    if (code < 0 && code != -1) {
        char text[160];
        if (av_strerror(code, text, sizeof(text)) == 0)
            if (const auto wide = Utf8ToUtf16(text))
                return *wide;
    }
    const char16_t* text = tkrmovie::ResultText(code);
    return text ? std::u16string(text) : std::u16string();
}
