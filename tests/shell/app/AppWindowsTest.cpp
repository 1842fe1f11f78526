// The splash window, the about box, the licence text and the monitor check,
// drawn from the program's own text table and pictures (each saved as a PNG
// in the test output).
#include "shell/app/CAboutDlg.h"
#include "shell/app/CCheckMonitorDlg.h"
#include "shell/app/CLicenseDlg.h"
#include "shell/app/CLumitraApp.h"
#include "shell/app/CSplashWnd.h"

#include "foundation/FPath.h"
#include "platform/afx/AfxFrame.h"
#include "platform/testing/Headless.h"
#include "platform/win/WinClipboard.h"
#include "shell/app/AppFolders.h"
#include "support/BuildTree.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
namespace pt = platform::testing;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

class ClickCounter : public CFrameWnd {
public:
    int clicks = 0;

protected:
    afx_msg void OnLButtonDown(UINT, CPoint) { ++clicks; }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(ClickCounter, CFrameWnd)
ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

class AppWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        pt::Init();
        SetAppProgramPath(testsupport::BuildTreeProgramPath());
        ASSERT_TRUE(m_App.LoadStringTable(AppFilePath(kAppFolderTexts, u"String.txt")));
        ASSERT_TRUE(m_App.LoadFontTable(AppFilePath(kAppFolderFonts, u"Font.txt")));
        m_Frame = new ClickCounter;
        ASSERT_TRUE(m_Frame->LoadFrame(128, WS_OVERLAPPEDWINDOW));
        m_Frame->MoveWindow(100, 80, 1000, 700);
        m_Frame->ShowWindow(SW_SHOWNORMAL);
        m_App.m_pMainWnd = m_Frame;
        pt::Pump();
    }
    void TearDown() override
    {
        m_App.m_pMainWnd = nullptr;
        m_Frame->DestroyWindow();
        pt::Pump();
        SetAppProgramPath(FString());
        EXPECT_EQ(pt::PendingModalScripts(), 0u);
    }
    // Runs the dialog, grabs it once it is drawn and closes it.
    pt::PixelImage RunAndGrab(CDialog& dialog, const std::string& png)
    {
        pt::PixelImage image;
        pt::OnNextModal([&](HWND hwnd) {
            pt::Pump();
            image = pt::GrabClient(hwnd);
            pt::SavePng(image, png);
            EndDialog(hwnd, IDOK);
        });
        EXPECT_EQ(dialog.DoModal(), IDOK);
        return image;
    }

    CLumitraApp m_App;
    ClickCounter* m_Frame = nullptr;
};

TEST_F(AppWindows, TheSplashWindowShowsCentredAndClosesAfterTwoSeconds)
{
    CSplashWnd::EnableSplashScreen(TRUE);
    CSplashWnd::ShowSplashScreen(m_Frame);
    CSplashWnd* splash = CSplashWnd::GetSplashWnd();
    ASSERT_NE(splash, nullptr);
    CSplashWnd::ShowSplashScreen(m_Frame);
    EXPECT_EQ(CSplashWnd::GetSplashWnd(), splash) << "at most one";
    pt::Pump();
    CRect frame, window;
    m_Frame->GetWindowRect(&frame);
    splash->GetWindowRect(&window);
    EXPECT_EQ(window.Width(), 480);
    EXPECT_EQ(window.Height(), 450);
    EXPECT_NEAR(window.CenterPoint().x, frame.CenterPoint().x, 1);
    EXPECT_NEAR(window.CenterPoint().y, frame.CenterPoint().y, 1);
    const pt::PixelImage image = pt::GrabClient(splash->GetSafeHwnd());
    pt::SavePng(image, "splash.png");
    EXPECT_EQ(pt::PixelAt(image, 2, 2), RGB(255, 255, 255));
    EXPECT_NE(pt::PixelAt(image, 100, 100), RGB(255, 255, 255)) << "the scene at (5, 50)";

    pt::AdvanceTime(1900);
    EXPECT_NE(CSplashWnd::GetSplashWnd(), nullptr);
    pt::AdvanceTime(100);
    EXPECT_EQ(CSplashWnd::GetSplashWnd(), nullptr);
}

TEST_F(AppWindows, AClickClosesTheSplashAtOnceAndIsNotPassedOn)
{
    CSplashWnd::EnableSplashScreen(TRUE);
    CSplashWnd::ShowSplashScreen(m_Frame);
    pt::Pump();
    pt::Click(m_Frame->GetSafeHwnd(), {10, 10});
    EXPECT_EQ(CSplashWnd::GetSplashWnd(), nullptr);
    EXPECT_EQ(m_Frame->clicks, 0);
    pt::Click(m_Frame->GetSafeHwnd(), {10, 10});
    EXPECT_EQ(m_Frame->clicks, 1) << "without a splash window clicks arrive";
}

TEST_F(AppWindows, AStartWithoutSplashShowsNone)
{
    CSplashWnd::EnableSplashScreen(FALSE);
    CSplashWnd::ShowSplashScreen(m_Frame);
    EXPECT_EQ(CSplashWnd::GetSplashWnd(), nullptr);
}

TEST_F(AppWindows, TheAboutBoxShowsThePicturesAndItsButtonsAtTheirPlaces)
{
    CAboutDlg about(m_Frame);
    CRect ok, licence, client;
    bool groupVisible = true;
    pt::OnNextModal([&](HWND hwnd) {
        CWnd* dialog = CWnd::FromHandle(hwnd);
        dialog->GetClientRect(&client);
        dialog->GetDlgItem(IDOK)->GetWindowRect(&ok);
        dialog->ScreenToClient(&ok);
        dialog->GetDlgItem(CAboutDlg::kLicenceButtonId)->GetWindowRect(&licence);
        dialog->ScreenToClient(&licence);
        groupVisible = dialog->GetDlgItem(CAboutDlg::kGroupBoxId)->IsWindowVisible() != FALSE;
        pt::Pump();
        const pt::PixelImage image = pt::GrabClient(hwnd);
        pt::SavePng(image, "about.png");
        EXPECT_EQ(pt::PixelAt(image, 480, 400), RGB(255, 255, 255));
        EXPECT_NE(pt::PixelAt(image, 100, 120), RGB(255, 255, 255)) << "the scene at (10, 55)";
        EndDialog(hwnd, IDOK);
    });
    EXPECT_EQ(about.DoModal(), IDOK);
    EXPECT_EQ(client, CRect(0, 0, 500, 450));
    EXPECT_EQ(ok, CRect(300, 420, 408, 443));
    EXPECT_EQ(licence, CRect(82, 420, 250, 443));
    EXPECT_FALSE(groupVisible);
}

TEST_F(AppWindows, TheLicenceTextIsReadAsWrittenWithOrWithoutAByteOrderMark)
{
    TempDir dir;
    struct Case {
        std::string bytes;
        std::u16string text;
    };
    const Case cases[] = {
        {std::string("\xFF\xFE" "A\0\n\0B\0", 8), u"A\r\nB\r\n"},
        {std::string("\xFE\xFF" "A\0", 4), u"A\r\n"},
        {std::string("X\0\r\0\n\0\n\0Y\0", 10), u"X\r\n\r\nY\r\n"}, // no mark: from the first character
        {std::string("Z", 1), u""},
        {std::string(), u""},
    };
    for (const Case& c : cases) {
        WriteFileBytes(dir.Path() / "License.txt", c.bytes);
        EXPECT_EQ(ReadLicenceText(PathFromNative((dir.Path() / "License.txt").string())), c.text);
    }
    EXPECT_EQ(ReadLicenceText(PathFromNative((dir.Path() / "missing.txt").string())), u"");
}

TEST_F(AppWindows, TheLicenceDialogCopiesTheWholeTextWithItsLineBreaks)
{
    CLicenseDlg licence(m_Frame);
    std::u16string copied;
    pt::OnNextModal([&](HWND hwnd) {
        pt::Pump();
        pt::SavePng(pt::GrabClient(hwnd), "licence.png");
        CWnd* copy = CWnd::FromHandle(hwnd)->GetDlgItem(CLicenseDlg::kCopyButtonId);
        pt::Click(copy->GetSafeHwnd(), {10, 10});
        if (OpenClipboard(hwnd)) {
            const HANDLE block = GetClipboardData(CF_UNICODETEXT);
            if (const auto* text = block ? static_cast<const char16_t*>(GlobalLock(block)) : nullptr) {
                copied = text;
                GlobalUnlock(block);
            }
            CloseClipboard();
        }
        EndDialog(hwnd, IDOK);
    });
    EXPECT_EQ(licence.DoModal(), IDOK);
    const std::u16string expected = ReadLicenceText(AppFilePath(kAppFolderLicence, u"License.txt"));
    ASSERT_FALSE(expected.empty()) << "the program's own licence text";
    EXPECT_EQ(copied, expected);
}

TEST_F(AppWindows, TheMonitorCheckShowsTheExactGreySteps)
{
    CCheckMonitorDlg check(m_Frame);
    const pt::PixelImage image = RunAndGrab(check, "monitor-check.png");
    ASSERT_EQ(image.width, 410);
    ASSERT_EQ(image.height, 640);
    const int levels[] = {15, 41, 63, 83, 103, 121, 140, 157, 174, 191, 207, 223, 239, 255};
    for (int i = 0; i < 14; ++i) {
        const int grey = levels[i];
        EXPECT_EQ(pt::PixelAt(image, 20 + 20 * i + 10, 390), RGB(grey, grey, grey)) << "step " << i;
    }
    // The gamma pattern: black beside the column, the marks on rows 100 and 140.
    EXPECT_EQ(pt::PixelAt(image, 20 + 5, 69 + 50), RGB(0, 0, 0));
    EXPECT_EQ(pt::PixelAt(image, 178 + 100, 69 + 140), RGB(224, 224, 224));
}

} // namespace
