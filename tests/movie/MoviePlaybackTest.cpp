// The playback object in a window of the window layer (headless): what it
// answers without a movie, loading into a hidden child of the owner, volume,
// position and transport, the frames it shows, its end event in real time,
// the video window's calls, and the picture files of a window or DC.
#include "movie/CTMDirectImageBase.h"
#include "movie/CTMDirectShowBase.h"
#include "MoviePlaybackSupport.h"
#include "MovieTestSupport.h"
#include "platform/afx/AfxDC.h"
#include "platform/testing/Headless.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

using namespace movietest;
namespace pt = platform::testing;

class MoviePlaybackTest : public MovieTest {
protected:
    void SetUp() override
    {
        pt::Init();
        ASSERT_TRUE(m_Owner.CreateTop(RECT{100, 100, 420, 340}));
        m_Owner.player = &m_Player;
        pt::Pump();
    }
    void TearDown() override { m_Player.DestroyStream(); }

    LONG Load(const std::filesystem::path& movie, int64_t start = -1, int64_t stop = -1)
    {
        return LoadAndWait(m_Player, movie, &m_Owner, 3, start, stop);
    }
    LONG State() { return StateOf(m_Player); }
    // The video window: the owner's child with id 0.
    HWND Video() const { return ::GetDlgItem(m_Owner.GetSafeHwnd(), 0); }
    // The frame number whose colour the video window's centre shows, -1 for none.
    int FrameShownOnScreen()
    {
        const pt::PixelImage shot = pt::GrabClient(Video());
        const COLORREF seen = pt::PixelAt(shot, shot.width / 2, shot.height / 2);
        int best = -1;
        int bestDistance = 12;
        for (int frame = 0; frame < 20; ++frame) {
            const MovieColour c = testsupport::MovieFrameColour(frame);
            const int distance = std::abs(c.red - GetRValue(seen)) + std::abs(c.green - GetGValue(seen)) +
                                 std::abs(c.blue - GetBValue(seen));
            if (distance < bestDistance) {
                best = frame;
                bestDistance = distance;
            }
        }
        return best;
    }
    bool WaitForFrame(int frame)
    {
        return PumpUntil([] { pt::Pump(); }, [&] { return FrameShownOnScreen() == frame; });
    }

    MovieOwnerWindow m_Owner;
    CTMDirectShowBase m_Player;
};

TEST_F(MoviePlaybackTest, AFreshObjectAnswersForEveryPartItLacksAndChangesNothing)
{
    CTMDirectShowBase player;
    LONG state = 7, volume = 7, code = 7;
    double rate = 7, fraction = 7;
    CRect rect(1, 2, 3, 4);
    ULONG registration = 7;
    EXPECT_EQ(player.Play(), 1);
    EXPECT_EQ(player.Pause(), 1);
    EXPECT_EQ(player.Stop(), 1);
    EXPECT_EQ(player.Replay(), 1);
    EXPECT_EQ(player.GetState(&state), 0);
    EXPECT_EQ(state, 7);
    EXPECT_EQ(player.SetVolume(0), 0);
    EXPECT_EQ(player.GetVolume(&volume), 0);
    EXPECT_EQ(volume, TM_VOLUME_SILENT);
    EXPECT_EQ(player.GetPlayRate(&rate), 0);
    EXPECT_EQ(rate, 1.0);
    EXPECT_EQ(player.ModifyPlayRate(2.0), 0);
    EXPECT_EQ(player.GetCurrentPosition(), -1);
    EXPECT_EQ(player.GetCurrentPercent(&fraction), 0);
    EXPECT_EQ(fraction, 7);
    EXPECT_EQ(player.MovePosition(50), 0);
    EXPECT_EQ(player.FullScreen(), 0);
    EXPECT_EQ(player.GetVideoWindowRect(&rect), 0);
    EXPECT_EQ(rect, CRect(1, 2, 3, 4));
    EXPECT_EQ(player.SetVideoWindowRect(&rect), 0);
    EXPECT_EQ(player.ShowVideoWindow(-1), 1);
    EXPECT_EQ(player.IsVisible(), 0);
    EXPECT_EQ(player.SetVideoWindowForeground(-1), 1);
    EXPECT_EQ(player.InvalidateVideo(), 1);
    EXPECT_EQ(player.ModifyCursorVisible(0), 0);
    EXPECT_EQ(player.NotifyOwnerMessage(WM_APP, 0, 0), 1);
    EXPECT_EQ(player.GetEventCode(&code, &code, &code), 0);
    EXPECT_EQ(code, 7);
    player.SendNotifyDXMessage(1, 2, 0); // no owner: nothing
    EXPECT_EQ(player.AddGraphToRot(&player, &registration), LONG(0x80004005));
    EXPECT_EQ(player.RemoveGraphFromRot(registration), LONG(0x80004005));
    EXPECT_EQ(player.ConnectFile(u"/nowhere/m.avi", 4), -1);

    EXPECT_EQ(player.GetTotalTime(), 0);
    EXPECT_EQ(player.GetDispMode(), 0);
    EXPECT_EQ(player.GetPlayMode(), -1);
    EXPECT_EQ(player.GetDirectLoadVersion(), TMDX_VERSION_NONE);
}

TEST_F(MoviePlaybackTest, LoadsIntoAHiddenChildOfTheOwnerMutedAndRunning)
{
    MovieShape shape;
    shape.audio = true;
    ASSERT_EQ(Load(Write("sound.avi", shape)), 1);
    EXPECT_EQ(State(), TM_STATE_RUNNING);
    EXPECT_EQ(m_Player.GetDirectLoadVersion(), TMDX_VERSION_8);
    EXPECT_EQ(m_Player.GetPlayMode(), 3);
    EXPECT_EQ(m_Player.GetTotalTime(), Seconds(1));
    CRect video;
    ASSERT_EQ(m_Player.GetVideoWindowRect(&video), 1);
    EXPECT_EQ(video, CRect(0, 0, 320, 240)) << "over the owner's client area";
    ASSERT_NE(Video(), nullptr);
    EXPECT_EQ(m_Player.IsVisible(), 0);

    // Muted at load; the volume takes -10000 to 0 and nothing beyond.
    LONG volume = 7;
    ASSERT_EQ(m_Player.GetVolume(&volume), 1);
    EXPECT_EQ(volume, TM_VOLUME_SILENT);
    for (const LONG refused : {1, -10001})
        EXPECT_EQ(m_Player.SetVolume(refused), 0) << refused;
    for (const LONG taken : {-10000, -2500, 0}) {
        EXPECT_EQ(m_Player.SetVolume(taken), 1) << taken;
        ASSERT_EQ(m_Player.GetVolume(&volume), 1);
        EXPECT_EQ(volume, taken);
    }

    // A silent movie has no sound to set; a missing one takes the graph with it.
    ASSERT_EQ(Load(Write("silent.avi", MovieShape{})), 1);
    EXPECT_EQ(m_Player.SetVolume(0), 0);
    EXPECT_EQ(m_Player.GetVolume(&volume), 0);
    EXPECT_EQ(Load(PathOf("missing.avi")), -1);
    EXPECT_EQ(m_Player.GetCurrentPosition(), -1);
    EXPECT_EQ(m_Player.Play(), 1);
}

TEST_F(MoviePlaybackTest, MovePositionPausesAtItsShareOfTheTotalTime)
{
    MovieShape shape;
    shape.width = 64;
    shape.height = 48;
    shape.frames = 100;
    ASSERT_EQ(Load(Write("ten.avi", shape)), 1);
    ASSERT_EQ(m_Player.GetTotalTime(), Seconds(10));

    ASSERT_EQ(m_Player.MovePosition(50), 1);
    EXPECT_EQ(State(), TM_STATE_PAUSED);
    EXPECT_EQ(m_Player.GetCurrentPosition(), 50000000);
    double fraction = 0;
    ASSERT_EQ(m_Player.GetCurrentPercent(&fraction), 1);
    EXPECT_EQ(fraction, 0.5);

    for (const double refused : {-0.5, 100.5, std::numeric_limits<double>::quiet_NaN()})
        EXPECT_EQ(m_Player.MovePosition(refused), 0) << refused;
    EXPECT_EQ(m_Player.GetCurrentPosition(), 50000000);
    ASSERT_EQ(m_Player.MovePosition(100), 1);
    ASSERT_EQ(m_Player.GetCurrentPercent(&fraction), 1);
    EXPECT_EQ(fraction, 1.0);
}

TEST_F(MoviePlaybackTest, TheFrameShownAtOneSecondIsTheGrabAtOneSecond)
{
    ManualPlaybackClock clock;
    MovieShape shape;
    shape.frames = 20;
    const auto movie = Write("m.avi", shape);
    ASSERT_EQ(Load(movie), 1);
    EXPECT_EQ(m_Player.ShowVideoWindow(-1), 0);
    EXPECT_EQ(m_Player.IsVisible(), 1);
    ASSERT_TRUE(WaitForFrame(0));

    clock.Set(Seconds(1));
    ASSERT_TRUE(WaitForFrame(10));
    const pt::PixelImage shown = pt::GrabClient(Video());
    pt::SavePng(shown, "movie-playback-1s.png");
    CTMThumbnailData record;
    SetFileName(record, movie);
    record.llTime = Seconds(1);
    CTMDirectImageBase grab;
    ASSERT_EQ(grab.GetTimeThumbnailImage(&record, 0), 0);
    ASSERT_EQ(shown.width, 320);
    ASSERT_EQ(shown.height, 240);
    int differing = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const MovieColour grabbed = PixelAt(record, x, y);
            differing += pt::PixelAt(shown, x, y) != RGB(BYTE(grabbed.red), BYTE(grabbed.green), BYTE(grabbed.blue));
        }
    EXPECT_EQ(differing, 0);

    clock.Set(Seconds(2.5));
    ASSERT_TRUE(PumpUntil([] { pt::Pump(); }, [this] { return !m_Owner.events.empty(); }));
    EXPECT_EQ(m_Owner.events[0].code, EC_COMPLETE);
    EXPECT_EQ(FrameShownOnScreen(), 19) << "the last frame stays";
}

TEST_F(MoviePlaybackTest, PlaysInRealTimeToItsEndEvent)
{
    MovieShape shape;
    shape.frames = 10;
    ASSERT_EQ(Load(Write("m.avi", shape)), 1);
    m_Player.ShowVideoWindow(-1);
    ASSERT_TRUE(PumpUntil([] { pt::Pump(); }, [this] { return !m_Owner.events.empty(); }));
    ASSERT_EQ(m_Owner.events.size(), 1u);
    EXPECT_EQ(m_Owner.events[0].code, EC_COMPLETE);
    EXPECT_EQ(m_Owner.events[0].param1, 0);
    EXPECT_EQ(m_Owner.notifications, 1);
    double fraction = 0;
    ASSERT_EQ(m_Player.GetCurrentPercent(&fraction), 1);
    EXPECT_EQ(fraction, 1.0);
    pt::Pump();
    EXPECT_EQ(FrameShownOnScreen(), 9);
}

TEST_F(MoviePlaybackTest, StopShowsTheFirstFrameAndReplayRunsAgain)
{
    ManualPlaybackClock clock;
    MovieShape shape;
    shape.frames = 20;
    ASSERT_EQ(Load(Write("m.avi", shape)), 1);
    m_Player.ShowVideoWindow(-1);
    clock.Set(Seconds(1.25));
    ASSERT_TRUE(WaitForFrame(12));

    ASSERT_EQ(m_Player.Stop(), 0);
    EXPECT_EQ(State(), TM_STATE_STOPPED);
    EXPECT_EQ(m_Player.GetCurrentPosition(), 0);
    EXPECT_TRUE(WaitForFrame(0));
    clock.Set(Seconds(1.5));
    EXPECT_EQ(m_Player.GetCurrentPosition(), 0) << "stopped";

    ASSERT_EQ(m_Player.Replay(), 0);
    EXPECT_EQ(State(), TM_STATE_RUNNING);
    clock.Set(Seconds(2.05));
    EXPECT_TRUE(WaitForFrame(5));

    // Rates: taken above 0, refused below; 0 runs on at the old rate.
    double rate = 0;
    EXPECT_EQ(m_Player.ModifyPlayRate(2.0), 1);
    ASSERT_EQ(m_Player.GetPlayRate(&rate), 1);
    EXPECT_EQ(rate, 2.0);
    EXPECT_EQ(m_Player.ModifyPlayRate(0.0), 1);
    EXPECT_EQ(m_Player.ModifyPlayRate(-1.0), 0);
    ASSERT_EQ(m_Player.GetPlayRate(&rate), 1);
    EXPECT_EQ(rate, 2.0);
    EXPECT_EQ(State(), TM_STATE_RUNNING);
    clock.Set(Seconds(2.3)); // from 0.55 s, 0.25 s at twice the rate
    EXPECT_EQ(m_Player.GetCurrentPosition(), Seconds(1.05));
}

TEST_F(MoviePlaybackTest, ConnectFileRendersIntoTheSuspendedGraphForAnAttach)
{
    const auto movie = Write("m.avi", MovieShape{});
    EXPECT_EQ(m_Player.ConnectFile(WidePath(movie).c_str(), 2), 1) << "no graph yet";
    m_Player.SuspendStream();
    ASSERT_EQ(m_Player.ConnectFile(WidePath(movie).c_str(), 2), 0);
    EXPECT_EQ(m_Player.GetDirectLoadVersion(), TMDX_VERSION_8);
    EXPECT_EQ(m_Player.GetPlayMode(), 2);
    EXPECT_EQ(m_Player.Play(), 1) << "not attached yet";
    ASSERT_EQ(m_Player.AttachPreviewWindow(&m_Owner, CRect(10, 20, 170, 140)), 1);
    EXPECT_EQ(m_Player.GetTotalTime(), Seconds(1));
    EXPECT_EQ(m_Player.Play(), 0);
    EXPECT_EQ(State(), TM_STATE_RUNNING);
    CRect video;
    ASSERT_EQ(m_Player.GetVideoWindowRect(&video), 1);
    EXPECT_EQ(video, CRect(10, 20, 170, 140));

    EXPECT_EQ(m_Player.ConnectFile(WidePath(PathOf("missing.avi")).c_str(), 2), -1);
    EXPECT_EQ(m_Player.Play(), 1) << "the graph went with the missing file";
}

TEST_F(MoviePlaybackTest, TheVideoWindowFollowsItsCalls)
{
    ManualPlaybackClock clock;
    ASSERT_EQ(Load(Write("m.avi", MovieShape{})), 1);
    const HWND video = Video();
    ASSERT_EQ(m_Player.ShowVideoWindow(-1), 0);
    EXPECT_EQ(m_Player.IsVisible(), 1);
    EXPECT_TRUE(::IsWindowVisible(video));
    ASSERT_EQ(m_Player.ShowVideoWindow(0), 0);
    EXPECT_EQ(m_Player.IsVisible(), 0);
    EXPECT_EQ(m_Player.InvalidateVideo(), 0);
    EXPECT_EQ(m_Player.IsVisible(), 1) << "shown in its normal state";

    // Placement within the owner: the frame shows inside the rectangle only.
    CRect placed(40, 30, 200, 150);
    ASSERT_EQ(m_Player.SetVideoWindowRect(&placed), 1);
    CRect read;
    ASSERT_EQ(m_Player.GetVideoWindowRect(&read), 1);
    EXPECT_EQ(read, placed);
    ASSERT_TRUE(WaitForFrame(0));
    const pt::PixelImage owner = pt::GrabClient(m_Owner.GetSafeHwnd());
    const MovieColour first = testsupport::MovieFrameColour(0);
    const COLORREF firstColour = RGB(BYTE(first.red), BYTE(first.green), BYTE(first.blue));
    EXPECT_NEAR(GetRValue(pt::PixelAt(owner, 120, 100)), GetRValue(firstColour), 6);
    EXPECT_NE(pt::PixelAt(owner, 20, 20), pt::PixelAt(owner, 120, 100));

    // Input over the video goes to the owner; the cursor can be hidden there.
    m_Owner.received.clear();
    pt::SystemMouse(pt::MouseAction::Move, POINT{100 + 120, 100 + 100});
    EXPECT_EQ(m_Owner.Count(WM_MOUSEMOVE), 1u);
    ASSERT_EQ(m_Player.ModifyCursorVisible(0), 1);
    pt::Input().SetCurrent({POINT{100 + 120, 100 + 100}});
    ::SetCursorPos(100 + 120, 100 + 100); // in place: the window is asked for its cursor again
    EXPECT_FALSE(pt::CursorVisible(video));

    // Full screen and back.
    ASSERT_EQ(m_Player.FullScreen(), 1);
    EXPECT_EQ(m_Player.GetDispMode(), -1);
    pt::Pump();
    const HWND top = ::WindowFromPoint(POINT{5, 5});
    ASSERT_NE(top, nullptr);
    EXPECT_NE(top, m_Owner.GetSafeHwnd());
    const pt::PixelImage screen = pt::GrabClient(top);
    EXPECT_EQ(screen.width, 1920);
    EXPECT_NEAR(GetRValue(pt::PixelAt(screen, 960, 540)), GetRValue(firstColour), 6);
    ASSERT_EQ(m_Player.FullScreen(), 1);
    EXPECT_EQ(m_Player.GetDispMode(), 0);
    pt::Pump();
    EXPECT_FALSE(::IsWindow(top));

    EXPECT_EQ(m_Player.NotifyOwnerMessage(WM_APP + 9, 0, 0), 0);
    EXPECT_EQ(m_Player.SetVideoWindowForeground(0), 0);
}

TEST_F(MoviePlaybackTest, SendNotifyDXMessageReachesTheOwner)
{
    ASSERT_EQ(m_Player.AttachPreviewWindow(&m_Owner, CRect()), 0) << "no graph: only the owner is kept";
    m_Player.SendNotifyDXMessage(5, 6, 0);
    EXPECT_EQ(m_Owner.Count(TM_DIRECTXNOTIFY_MESSAGE), 0u) << "posted, not yet taken";
    pt::Pump();
    m_Player.SendNotifyDXMessage(7, 8, 1);
    ASSERT_EQ(m_Owner.Count(TM_DIRECTXNOTIFY_MESSAGE), 2u);
    EXPECT_EQ(m_Owner.received.back().wParam, 7u);
    EXPECT_EQ(m_Owner.received.back().lParam, 8);
}

// A window painted in two colours: blue on the left half, red on the right.
class TwoColourWindow : public CWnd {
public:
    BOOL CreateTop(const RECT& rect) { return CreateEx(0, u"TwoColour", u"", WS_POPUP | WS_VISIBLE, rect, nullptr, 0); }

protected:
    afx_msg void OnPaint()
    {
        CPaintDC dc(this);
        CRect client;
        GetClientRect(&client);
        dc.FillSolidRect(0, 0, client.Width() / 2, client.Height(), RGB(0, 0, 255));
        dc.FillSolidRect(client.Width() / 2, 0, client.Width() - client.Width() / 2, client.Height(), RGB(255, 0, 0));
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(TwoColourWindow, CWnd)
    ON_WM_PAINT()
END_MESSAGE_MAP()

TEST_F(MoviePlaybackTest, CreateThumbCashWritesWhatAWindowOrADcShows)
{
    TwoColourWindow window;
    ASSERT_TRUE(window.CreateTop(RECT{500, 500, 510, 502}));
    pt::Pump();
    const auto path = PathOf("window.bmp");
    ASSERT_EQ(CTMDirectImageBase::CreateThumbCash(window.GetSafeHwnd(), WidePath(path).c_str()), 0);
    const std::string file = testsupport::ReadFileBytes(path);
    ASSERT_EQ(file.size(), 118u) << "54 + 2 rows of 32 bytes";
    BITMAPFILEHEADER fileHeader;
    BITMAPINFOHEADER header;
    std::memcpy(&fileHeader, file.data(), sizeof(fileHeader));
    std::memcpy(&header, file.data() + 14, sizeof(header));
    const WORD type = fileHeader.bfType;
    const DWORD size = fileHeader.bfSize;
    const DWORD offset = fileHeader.bfOffBits;
    EXPECT_EQ(type, 0x4D42);
    EXPECT_EQ(size, 118u);
    EXPECT_EQ(offset, 54u);
    EXPECT_EQ(header.biWidth, 10);
    EXPECT_EQ(header.biHeight, 2);
    EXPECT_EQ(header.biBitCount, 24);
    EXPECT_EQ(header.biSizeImage, 0u);
    const auto pixel = [&](int x, int row) { return std::string(file, 54 + row * 32 + x * 3, 3); };
    EXPECT_EQ(pixel(0, 0), std::string("\xFF\x00\x00", 3)) << "blue, as blue, green, red";
    EXPECT_EQ(pixel(9, 1), std::string("\x00\x00\xFF", 3));

    // The DC form reads a memory DC's picture up to its clip box.
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 3, -3, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    CDC memory;
    ASSERT_TRUE(memory.CreateCompatibleDC(nullptr));
    const HBITMAP bitmap = ::CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    const HGDIOBJ previous = memory.SelectObject(bitmap);
    memory.FillSolidRect(0, 0, 3, 3, RGB(0, 200, 0));
    const auto fromDc = PathOf("dc.bmp");
    EXPECT_EQ(CTMDirectImageBase::CreateThumbCash(memory.GetSafeHdc(), WidePath(fromDc).c_str()), 0);
    memory.SelectObject(previous);
    ::DeleteObject(bitmap);
    const std::string dcFile = testsupport::ReadFileBytes(fromDc);
    ASSERT_EQ(dcFile.size(), 54u + 3 * 12);
    EXPECT_EQ(std::string(dcFile, 54, 3), std::string("\x00\xC8\x00", 3));

    // Nothing to read, or nowhere to write: 1, and no file.
    EXPECT_EQ(CTMDirectImageBase::CreateThumbCash(HWND(nullptr), WidePath(PathOf("none.bmp")).c_str()), 1);
    const auto unwritable = PathOf("missing-folder") / "w.bmp";
    EXPECT_EQ(CTMDirectImageBase::CreateThumbCash(window.GetSafeHwnd(), WidePath(unwritable).c_str()), 1);
    EXPECT_FALSE(std::filesystem::exists(unwritable));
    EXPECT_FALSE(std::filesystem::exists(PathOf("none.bmp")));
}

} // namespace
