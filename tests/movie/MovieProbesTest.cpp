// The movie library's static services: container types, play time, the
// framework version, device and compressor lists and the texts of results.
#include "movie/CTMDirectShowBase.h"
#include "movie/TMResultTexts.h"
#include "MovieTestSupport.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/error.h>
}

#include <algorithm>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace movietest;

class MovieProbesTest : public MovieTest {
protected:
    std::filesystem::path WriteText(const std::string& name, const std::string& bytes)
    {
        const auto path = PathOf(name);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
};

TEST_F(MovieProbesTest, TellsTheContainerByItsFirstFourBytes)
{
    const struct {
        const char* name;
        std::string bytes;
        emTMMEDIAFILETYPE type;
    } cases[] = {
        {"a.avi", std::string("RIFF\x10\0\0\0AVI ", 12), TMMEDIAFILE_RIFF},
        {"a.mpg", std::string("\0\0\x01\xBA\x44", 5), TMMEDIAFILE_MPEG},
        {"a.wmv", std::string("\x30\x26\xB2\x75\x8E\x66", 6), TMMEDIAFILE_ASF},
        {"a.flv", std::string("FLV\x01\x05", 5), TMMEDIAFILE_FLV},
        {"a.swf", std::string("CWS\x06", 4), TMMEDIAFILE_SWF},
        {"b.swf", std::string("FWS\x06", 4), TMMEDIAFILE_UNKNOWN},
        {"c.swf", std::string("CWS\x07", 4), TMMEDIAFILE_UNKNOWN},
        {"a.mp4", std::string("\0\0\0\x18" "ftypmp42", 12), TMMEDIAFILE_UNKNOWN},
        {"short.avi", std::string("RIF"), TMMEDIAFILE_UNKNOWN},
        {"empty.avi", std::string(), TMMEDIAFILE_UNKNOWN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CTMDirectShowBase::GetMediaFileType(WidePath(WriteText(c.name, c.bytes)).c_str()), c.type) << c.name;
    EXPECT_EQ(CTMDirectShowBase::GetMediaFileType(WidePath(PathOf("missing.avi")).c_str()), TMMEDIAFILE_UNKNOWN);
    EXPECT_EQ(CTMDirectShowBase::GetMediaFileType(WidePath(Write("m.avi", MovieShape{})).c_str()), TMMEDIAFILE_RIFF);
}

TEST_F(MovieProbesTest, PlayTimeIsTheMoviesLengthInWholeSeconds)
{
    MovieShape shape;
    shape.width = 32;
    shape.height = 32;
    shape.frames = 99; // 9.9 s
    int64_t seconds = -5;
    EXPECT_EQ(CTMDirectShowBase::GetPlayTotalSec(WidePath(Write("m.avi", shape)).c_str(), &seconds), 0);
    EXPECT_EQ(seconds, 9);

    seconds = -5;
    EXPECT_EQ(CTMDirectShowBase::GetPlayTotalSec(WidePath(PathOf("missing.avi")).c_str(), &seconds), AVERROR(ENOENT));
    EXPECT_LT(CTMDirectShowBase::GetPlayTotalSec(WidePath(WriteText("x.avi", "not a movie")).c_str(), &seconds), 0);
    EXPECT_EQ(seconds, -5) << "a failure leaves the seconds alone";
    EXPECT_EQ(CTMDirectShowBase::GetPlayTotalSec(WidePath(PathOf("m.avi")).c_str(), nullptr), 1);
}

// The codes of the library's table, as ranges of the framework's numbering.
std::vector<LONG> TableCodes()
{
    std::vector<LONG> codes = {0x00009DD4, 0x0004022D, 0x00040237, 0x00040242, 0x00040245, 0x00040246,
                               0x00040250, 0x00040254, 0x00040257, 0x00040258, 0x0004025A, 0x00040260,
                               0x00040263, 0x00040267, 0x00040268, 0x00040270};
    const std::pair<uint32_t, uint32_t> failures[] = {
        {0x80040200, 0x80040236}, {0x80040238, 0x8004023B}, {0x80040240, 0x80040241}, {0x80040243, 0x80040244},
        {0x80040247, 0x80040249}, {0x80040251, 0x80040253}, {0x80040255, 0x80040256}, {0x80040259, 0x80040259},
        {0x8004025B, 0x8004025F}, {0x80040261, 0x80040262}, {0x80040264, 0x80040266}, {0x80040269, 0x80040269},
        {0x80040271, 0x8004027B}, {0x8004028B, 0x8004028B}, {0x8004028E, 0x8004028E}, {0x80040293, 0x80040295},
        {0x800403F2, 0x800403F2}, {0x80040400, 0x80040404}};
    for (const auto& [first, last] : failures)
        for (uint32_t code = first; code <= last; ++code)
            codes.push_back(static_cast<LONG>(code));
    return codes;
}

std::u16string Text(uint32_t code) { return CTMDirectShowBase::GetResultFormatMessage(static_cast<LONG>(code)); }

TEST(MovieResultTextsTest, EveryTableCodeHasItsOwnTextExceptThreePairs)
{
    const std::vector<LONG> codes = TableCodes();
    ASSERT_EQ(codes.size(), tkrmovie::kResultTextCount);
    std::set<std::u16string> texts;
    for (const LONG code : codes) {
        const std::u16string text = CTMDirectShowBase::GetResultFormatMessage(code);
        EXPECT_FALSE(text.empty()) << std::hex << code;
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), codes.size() - 3);
    EXPECT_EQ(Text(0x0004025A), Text(0x80040259));
    EXPECT_EQ(Text(0x80040238), Text(0x8004023A));
    EXPECT_EQ(Text(0x80040277), Text(0x80040278));
}

TEST(MovieResultTextsTest, QuotedTextsAndTheOrderOfLookup)
{
    EXPECT_EQ(Text(0x80040200), u"指定されたメディア タイプは無効である");
    EXPECT_EQ(Text(0x80040265), u"ファイルを再生できない。フォーマットがサポートされていない")
        << "FFmpeg does not describe the code, so the table does";
    EXPECT_EQ(Text(0x0004025A), u"ビデオ ストリームを再生できない。フォーマット 'RPZA' はサポートされていない");
    EXPECT_EQ(Text(0x80040238), u"フルスクリーン モードは利用できない");
    EXPECT_EQ(Text(0x80040277), u"要求されたボタンが利用できない");
    EXPECT_EQ(Text(0x00009DD4), u"グラフのレンダリング部分が削除された。アプリケーションはこれを再作成しなければならない");
    EXPECT_EQ(Text(0x0004022D), std::u16string(tkrmovie::ResultText(0x0004022D)));

    EXPECT_EQ(Text(0x00012345), u"");
    EXPECT_EQ(Text(0x80040237), u"") << "a code between the table's ranges";
    EXPECT_EQ(CTMDirectShowBase::GetResultFormatMessage(AVERROR(ENOENT)), u"No such file or directory")
        << "the decoder describes its own codes";
    EXPECT_EQ(CTMDirectShowBase::GetResultFormatMessage(AVERROR_INVALIDDATA), u"Invalid data found when processing input");
    EXPECT_EQ(CTMDirectShowBase::GetResultFormatMessage(-1), u"") << "-1 is the library's own, not the decoder's";
}

TEST(MovieProbesVersionTest, ThereIsNoFrameworkVersion)
{
    EXPECT_EQ(CTMDirectShowBase::GetDirectXVersion(nullptr, nullptr, nullptr), u"0.0 ");
    ULONG major = 9, minor = 9;
    WCHAR letter = u'c';
    EXPECT_EQ(CTMDirectShowBase::GetDirectXVersion(&major, &minor, &letter), u"0.0 ");
    EXPECT_EQ(major, 0u);
    EXPECT_EQ(minor, 0u);
    EXPECT_EQ(letter, u' ');
}

// Opens the lookup the encoder uses.
struct CompressorLookup : CTMDirectShowBase {
    using CTMDirectShowBase::FindCompressDevice;
};

TEST(MovieDevicesTest, CompressorsAreFFmpegsEncodersFoundWithoutRegardToCase)
{
    std::vector<std::u16string> video = {u"kept"};
    ASSERT_EQ(CTMDirectShowBase::GetDeviceCompressorList(TMDEVICE_VIDEOCOMPRESSOR, video), 0);
    EXPECT_EQ(video.front(), u"kept") << "names are appended";
    for (const char16_t* name : {u"mjpeg", u"mpeg4", u"rawvideo"})
        EXPECT_NE(std::find(video.begin(), video.end(), name), video.end());
    std::vector<std::u16string> audio;
    ASSERT_EQ(CTMDirectShowBase::GetDeviceCompressorList(TMDEVICE_AUDIOCOMPRESSOR, audio), 0);
    EXPECT_NE(std::find(audio.begin(), audio.end(), u"pcm_u8"), audio.end());
    EXPECT_EQ(audio.front(), u"PCM") << "plain PCM, the encode job's default";
    ASSERT_NE(CompressorLookup::FindCompressDevice(TMDEVICE_AUDIOCOMPRESSOR, u"pcm"), nullptr);
    EXPECT_EQ(CompressorLookup::FindCompressDevice(TMDEVICE_VIDEOCOMPRESSOR, u"PCM"), nullptr);
    EXPECT_EQ(std::find(audio.begin(), audio.end(), u"mjpeg"), audio.end());

    const AVCodec* mjpeg = CompressorLookup::FindCompressDevice(TMDEVICE_VIDEOCOMPRESSOR, u"MJpeg");
    ASSERT_NE(mjpeg, nullptr);
    EXPECT_EQ(mjpeg, CompressorLookup::FindCompressDevice(TMDEVICE_VIDEOCOMPRESSOR, u"mjpeg"));
    EXPECT_EQ(CompressorLookup::FindCompressDevice(TMDEVICE_AUDIOCOMPRESSOR, u"mjpeg"), nullptr);
    EXPECT_EQ(CompressorLookup::FindCompressDevice(TMDEVICE_VIDEOCOMPRESSOR, u"mjpe"), nullptr);
    EXPECT_EQ(CompressorLookup::FindCompressDevice(TMDEVICE_VIDEOCOMPRESSOR, nullptr), nullptr);
}

TEST(MovieDevicesTest, CaptureDevicesAnswerOneWhenThereAreNone)
{
    std::vector<std::u16string> names;
    const LONG result = CTMDirectShowBase::GetDeviceList(&names);
    EXPECT_EQ(result, names.empty() ? 1 : 0);
    EXPECT_EQ(CTMDirectShowBase::GetDeviceList(nullptr), 1);
}

} // namespace
