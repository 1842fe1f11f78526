#include "movie/CTMDirectShowBase.h"

#include "foundation/FUnicode.h"
#include "movie/TMMovieFile.h"
#include "movie/TMResultTexts.h"

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

constexpr LONG E_FAIL_CODE = static_cast<LONG>(0x80004005);

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

bool SameNameIgnoringCase(const char* name, const WCHAR* wanted)
{
    const auto lower = [](char32_t c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    for (; *name && *wanted; ++name, ++wanted)
        if (lower(static_cast<unsigned char>(*name)) != lower(*wanted))
            return false;
    return *name == 0 && *wanted == 0;
}

} // namespace

CTMDirectShowBase::CTMDirectShowBase() = default;

CTMDirectShowBase::~CTMDirectShowBase() = default;

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
    ForEachEncoder(category, [&names](const AVCodec* codec) {
        names.emplace_back(codec->name, codec->name + std::char_traits<char>::length(codec->name));
        return false;
    });
    return names.size() > before ? 0 : 1;
}

const AVCodec* CTMDirectShowBase::FindCompressDevice(emTMDEVICECATEGORY category, const WCHAR* name)
{
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
