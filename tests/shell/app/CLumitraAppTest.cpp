// The application object: its text and font tables as the toolkit sees them,
// the settings file with the platform's GUI font, the list caches, the
// clipboard and the develop-and-save jobs' progress callback.
#include "shell/app/CLumitraApp.h"

#include "managers/FIPManagerPool.h"
#include "movie/TKRMovieDefs.h"
#include "platform/testing/Headless.h"
#include "shell/app/AppClipboard.h"
#include "shell/app/AppFiles.h"
#include "shell/app/AppMessages.h"
#include "Utf16Text.h"
#include "support/PictureFileBuilder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The movie library's messages, which the message table describes but leaves
// to the library's header.
static_assert(WM_TM_THUMBNAILBREAK == WM_APP + 0x64 && WM_TM_GRAPHNOTIFY == WM_APP + 0x65);
static_assert(WM_TM_ENCODEEND == WM_USER + 103 && WM_TM_ENCODESTATUS == WM_USER + 200);

namespace {

using testsupport::TempDir;
using testsupport::Utf16File;
using testsupport::Utf8FromWide;
using testsupport::WideFromUtf8;
using testsupport::WriteFileBytes;

class CLumitraAppTest : public ::testing::Test {
protected:
    CLumitraAppTest()
    {
        platform::testing::Init();
        WriteFileBytes(m_Dir.Path() / "String.txt",
                       Utf16File(u"00100\t0001\t0000FF\tBold red\n"
                                 u"00101\t0000\t00FF00\tNo font\n"
                                 u"00102\t0007\tFF0000\tUnknown font\n"
                                 u"00105\t0000\t000000\tMy custom\n"));
        WriteFileBytes(m_Dir.Path() / "Font.txt", Utf16File(u"0001\t-12b\tDejaVu Sans\n0002\t14\tDejaVu Serif\n"));
    }
    FString PathOf(const char* name) const { return WideFromUtf8((m_Dir.Path() / name).string()); }
    void LoadTables()
    {
        ASSERT_TRUE(m_App.LoadStringTable(PathOf("String.txt")));
        ASSERT_TRUE(m_App.LoadFontTable(PathOf("Font.txt")));
    }

    TempDir m_Dir;
    CLumitraApp m_App;
};

TEST_F(CLumitraAppTest, TextsFontsAndColoursById)
{
    LoadTables();
    EXPECT_EQ(GetLumitraApp(), &m_App);

    std::u16string text;
    CFont* font = nullptr;
    COLORREF colour = 1;
    ASSERT_TRUE(m_App.GetString(100, text, &font, &colour));
    EXPECT_EQ(text, u"Bold red");
    EXPECT_EQ(colour, RGB(255, 0, 0)); // "0000FF" reads blue, green, red
    ASSERT_NE(font, nullptr);
    LOGFONTW logFont{};
    ASSERT_TRUE(font->GetLogFont(&logFont));
    EXPECT_EQ(logFont.lfHeight, -12);
    EXPECT_EQ(logFont.lfWeight, FW_BOLD);
    EXPECT_EQ(std::u16string(logFont.lfFaceName), u"DejaVu Sans");

    // An entry without a font of its own, or naming one the table lacks,
    // leaves the caller's font alone.
    CFont* const previous = font;
    for (const int id : {101, 102}) {
        ASSERT_TRUE(m_App.GetString(id, text, &font, &colour));
        EXPECT_EQ(font, previous) << id;
    }
    EXPECT_EQ(colour, RGB(0, 0, 255));

    // Not found: FALSE, nothing changed.
    text = u"kept";
    EXPECT_FALSE(m_App.GetString(4242, text, &font, &colour));
    EXPECT_EQ(text, u"kept");
    EXPECT_EQ(colour, RGB(0, 0, 255));

    // The toolkit's controls ask through their own door.
    std::u16string toolkitText;
    CFont* toolkitFont = nullptr;
    COLORREF toolkitColour = 0;
    ASSERT_TRUE(GetTextTableString(100, toolkitText, toolkitFont, toolkitColour));
    EXPECT_EQ(toolkitFont, previous);

    m_App.FreeStringTable();
    m_App.FreeFontTable();
    EXPECT_FALSE(m_App.GetString(100, text));
    ASSERT_TRUE(m_App.GetString(9001, text)); // the program's own caption
    EXPECT_EQ(text, u"OK");
}

TEST_F(CLumitraAppTest, SettingsDefaultsFromTheTextTableAndTheGuiFont)
{
    LoadTables();
    ASSERT_TRUE(m_App.ReadIniFile(PathOf("missing.ini")));
    CAppSettings& settings = *m_App.GetSettings();
    CAppSettingsLock lock(settings);
    EXPECT_EQ(settings.m_KVRFilterData.m_strName, FString(u"My custom"));
    LOGFONTW gui{};
    GetObject(GetStockObject(DEFAULT_GUI_FONT), sizeof gui, &gui);
    for (const LOGFONTW* font : {&settings.m_InfoPrint.m_Font, &settings.m_HeadFootPrint.m_Font}) {
        EXPECT_EQ(std::u16string(font->lfFaceName), std::u16string(gui.lfFaceName));
        EXPECT_EQ(font->lfHeight, 100);
        EXPECT_EQ(font->lfQuality, ANTIALIASED_QUALITY);
    }
}

TEST_F(CLumitraAppTest, ListCachesAndImageSettings)
{
    EXPECT_FALSE(m_App.GetWBList(FString(u"/r/a.kvr"), nullptr));
    CKVR_Data_FileList<CKVR_CMData> modes;
    EXPECT_TRUE(m_App.GetColorModeList(FString(u"/r/a.kvr"), &modes));
    EXPECT_EQ(modes.m_strPath, FString(u"/r/a.kvr"));

    CKVR_FilterData record;
    record.m_nSaturation = 12;
    m_App.SetImageSettings(FString(u"/r/a.kvr"), &record);
    const std::unique_ptr<CET_FilterData> copy = m_App.GetImageSettings(FString(u"/r/a.kvr"));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->m_nSaturation, 12);
    m_App.RemoveImageSettings(FString(u"/r/a.kvr"));
    EXPECT_EQ(m_App.GetImageSettings(FString(u"/r/a.kvr")), nullptr);
}

TEST_F(CLumitraAppTest, FilesAndTextOnTheClipboard)
{
    FArray<FString> paths;
    for (const char16_t* path : {u"/p/1.kvr", u"/p/2.jpg", u"/p/3 three.tif"})
        paths.Append(FString(path));
    PutFilesOnClipboard(nullptr, paths, TRUE);
    EXPECT_TRUE(IsClipboardFileListAvailable());
    FArray<FString> read;
    ASSERT_TRUE(GetClipboardFileList(nullptr, &read));
    ASSERT_EQ(read.GetCount(), 3);
    EXPECT_EQ(read[2], paths[2]);
    int effect = 0;
    ASSERT_TRUE(GetClipboardDropEffect(nullptr, &effect));
    EXPECT_EQ(effect, 2);
    PutFilesOnClipboard(nullptr, paths, FALSE);
    ASSERT_TRUE(GetClipboardDropEffect(nullptr, &effect));
    EXPECT_EQ(effect, 1);

    EXPECT_FALSE(CopyTextToClipboard(FString()));
    EXPECT_TRUE(IsClipboardFileListAvailable());
    EXPECT_TRUE(CopyTextToClipboard(FString(u"Shutter\t1/125\nISO\t200")));
    EXPECT_FALSE(IsClipboardFileListAvailable()); // the clipboard was emptied first
    EXPECT_FALSE(GetClipboardFileList(nullptr, &read));
    EXPECT_EQ(read.GetCount(), 3);
}

// A window that keeps the progress messages posted to it.
class ProgressWindow : public CWnd, public IThreadProgressDialog {
public:
    std::vector<std::pair<WPARAM, LPARAM>> received;
    bool cancelled = false;
    bool hasWindow = true;
    HWND GetProgressWindow() const override { return hasWindow ? GetSafeHwnd() : nullptr; }
    BOOL IsCancelled() const override { return cancelled ? TRUE : FALSE; }

protected:
    afx_msg LRESULT OnProgress(WPARAM wParam, LPARAM lParam)
    {
        received.emplace_back(wParam, lParam);
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ProgressWindow, CWnd)
ON_MESSAGE(WM_APP_THREAD_PROGRESS, OnProgress)
END_MESSAGE_MAP()

TEST_F(CLumitraAppTest, SaveProgressCallbackPostsAndStopsWhenCancelled)
{
    ProgressWindow dialog;
    ASSERT_TRUE(dialog.CreateEx(0, u"Progress", u"", WS_POPUP, RECT{0, 0, 10, 10}, nullptr, 0));
    // The user pointer is the dialog as an IThreadProgressDialog.
    IThreadProgressDialog* user = &dialog;
    EXPECT_EQ(SaveProgressCallback(40, user), TRUE);
    dialog.cancelled = true;
    EXPECT_EQ(ThreadProgressCallback(55, user), FALSE);
    dialog.hasWindow = false;
    EXPECT_EQ(SaveProgressCallback(70, user), TRUE); // no window: nothing to tell, go on
    EXPECT_EQ(SaveProgressCallback(70, nullptr), TRUE);
    platform::testing::Pump();
    EXPECT_EQ(dialog.received, (std::vector<std::pair<WPARAM, LPARAM>>{{40, 0}, {55, 0}}));
    dialog.DestroyWindow();
}

TEST_F(CLumitraAppTest, ShootingInformationIsCachedAndForgottenAlsoUnderTheEngineLock)
{
    using testsupport::ExifFields;
    using testsupport::QuarterJpeg;
    StartCoreLibrary();
    const auto write = [&](uint32_t mark) {
        ExifFields exif;
        exif.markFlag = mark;
        const std::vector<uint8_t> jpeg = QuarterJpeg(64, 48, &exif);
        WriteFileBytes(m_Dir.Path() / "a.jpg", std::string(jpeg.begin(), jpeg.end()));
    };
    const FString path = PathOf("a.jpg");
    write(1);
    CTLM_Exif record;
    ASSERT_TRUE(m_App.GetExif(path, &record));
    EXPECT_TRUE(record.IsMarked());
    write(0);
    ASSERT_TRUE(m_App.GetExif(path, &record));
    EXPECT_TRUE(record.IsMarked()) << "read once, then cached";
    {
        // The development facade forgets a file it changed while it holds the engine lock.
        KVREngineLockScope engine;
        m_App.RemoveExif(path);
    }
    ASSERT_TRUE(m_App.GetExif(path, &record));
    EXPECT_FALSE(record.IsMarked()) << "read again";
    m_App.ClearExifCache();
    StopCoreLibrary();
}

TEST_F(CLumitraAppTest, TheCoreStartsAgainAfterAStopWithItsManagerPool)
{
    // A stop leaves the pool without workers; a start that did not give them
    // back would queue every develop request for ever.
    for (int start = 0; start < 2; ++start) {
        StartCoreLibrary();
        EXPECT_EQ(GetIPManagerPoolSize(), kDefaultIPManagerPoolSize) << "start " << start;
        StopCoreLibrary();
        EXPECT_EQ(GetIPManagerPoolSize(), 0u);
    }
    SetIPManagerPoolSize(kDefaultIPManagerPoolSize);
}

} // namespace
