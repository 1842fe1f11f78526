// The application object's start-up and shut-down, in the order every other
// part of the program relies on: the text and font tables before any window,
// the core before anything uses it, the settings and presets before the main
// frame; at the end the reverse.

#include "shell/app/CLumitraApp.h"

#include "foundation/FCache.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FSCDiskWin.h"
#include "managers/FIPManagerPool.h"
#include "platform/afx/AfxCommonDialogs.h"
#include "platform/afx/AfxFrame.h"
#include "platform/afx/AfxInstance.h"
#include "platform/afx/AfxMenu.h"
#include "shell/app/AppClipboard.h"
#include "shell/app/AppFolders.h"
#include "shell/app/AppStartupInfo.h"
#include "shell/app/CAboutDlg.h"
#include "shell/app/CSplashWnd.h"
#include "shell/facade/KVR_ApplicationState.h"
#include "foundation/FPath.h"
#include "toolkit/FileOperations.h"

#include <clocale>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

// The single-instance lock's name (the original mutex's, which also named the
// main frame's window property).
constexpr char16_t kInstanceName[] = u"TALVO Lumitra v3.X";
constexpr uint32_t kImageCacheLimitBytes = 0x20800000;
// The command ids of the about box and of the printer set-up.
constexpr UINT kAppAboutCommand = 57664;
constexpr UINT kFilePrintSetupCommand = 57606;

// What the development facade asks of the application.
class AppFacadeState : public KVRApplicationState {
public:
    explicit AppFacadeState(CLumitraApp& app) : m_App(app) {}
    FVersionNumber GetVersion() const override
    {
        const std::array<int, 4> version = m_App.GetVersion();
        return FVersionNumber{version[0], version[1], version[2], version[3]};
    }
    FString GetString(int textId) const override
    {
        FString text;
        m_App.GetString(textId, text);
        return text;
    }
    bool GetWBList(const FString& path, CKVR_Data_FileList<CKVR_WBData>& list) override
    {
        return m_App.GetWBList(path, &list) != FALSE;
    }
    bool GetColorModeList(const FString& path, CKVR_Data_FileList<CKVR_CMData>& list) override
    {
        return m_App.GetColorModeList(path, &list) != FALSE;
    }
    void RemoveExif(const FString& path) override { m_App.RemoveExif(path); }

private:
    CLumitraApp& m_App;
};

// The application's own folders are handled directly, not through the storage
// classes, which are not registered yet when start-up prepares them.
std::filesystem::path NativeFolder(const FString& path)
{
    std::string bytes;
    PathToNative(path, bytes);
    return bytes;
}

// The temporary folder exists, and a temporary profile folder left over by an
// earlier run is emptied. Nothing without a per-user folder (both are empty then).
void PrepareTemporaryFolders()
{
    const std::filesystem::path temp = NativeFolder(GetAppFolder(kAppFolderTemp));
    const std::filesystem::path profiles = NativeFolder(GetAppFolder(kAppFolderTempProfiles));
    if (temp.empty() || profiles.empty())
        return;
    std::error_code error;
    std::filesystem::create_directories(temp, error);
    std::filesystem::remove_all(profiles, error);
    std::filesystem::create_directories(profiles, error);
}

// Deletes the temporary folder with its contents, for good and without asking.
void DeleteTemporaryFolder()
{
    const std::filesystem::path temp = NativeFolder(GetAppFolder(kAppFolderTemp));
    std::error_code error;
    if (!temp.empty())
        std::filesystem::remove_all(temp, error);
}

} // namespace

void StartCoreLibrary()
{
    // A stop destroys the manager pool and sets its size to 0: every start
    // gives it its workers again, so the core can be started after a stop.
    SetIPManagerPoolSize(kDefaultIPManagerPoolSize);
    InitStorageClasses();
    GetGlobalCache()->SetSizeLimit(kImageCacheLimitBytes);
}

void StopCoreLibrary()
{
    GetGlobalCache()->SetSizeLimit(0);
    ReleaseStorageClasses();
    SetIPManagerPoolSize(0);
}

BEGIN_MESSAGE_MAP(CLumitraApp, CWinApp)
ON_COMMAND(kAppAboutCommand, OnAppAbout)
ON_COMMAND(kFilePrintSetupCommand, OnFilePrintSetup)
ON_UPDATE_COMMAND_UI(kFilePrintSetupCommand, OnUpdateFilePrintSetup)
END_MESSAGE_MAP()

BOOL CLumitraApp::InitInstance()
{
    m_bSecondInstance = FALSE;
    const StartCommandLine commandLine = ParseStartCommandLine(m_astrArguments);

    // One instance per user: a second start hands its file over and ends
    // before it reads or touches anything of the user's.
    m_pInstanceLock = std::make_unique<platform::InstanceLock>(kInstanceName);
    switch (m_pInstanceLock->Acquire()) {
    case platform::InstanceLock::State::First:
        break;
    case platform::InstanceLock::State::Second:
        m_bSecondInstance = TRUE;
        m_pInstanceLock->HandOver(commandLine.m_strFileName.View());
        m_pInstanceLock.reset();
        return FALSE;
    default:
        m_pInstanceLock.reset();
        return FALSE;
    }

    m_anVersion = ParseFileVersion(kProgramFileVersion);
    CSplashWnd::EnableSplashScreen(commandLine.m_bShowSplash ? TRUE : FALSE);
    CWinApp::InitInstance();
    m_pClipboard = MakeSystemClipboardBackend();
    SetClipboardBackend(m_pClipboard.get());

    // The user's locale for what is shown; numbers in files stay in the "C"
    // conventions whatever the locale.
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");

    // Earlier runs that ended without closing (killed, crashed) left their
    // private temporary folders behind.
    RemoveStaleTempFolders();
    PrepareTemporaryFolders();
    LoadStringTable(AppFilePath(kAppFolderTexts, u"String.txt"));
    LoadFontTable(AppFilePath(kAppFolderFonts, u"Font.txt"));

    StartCoreLibrary();
    m_bCoreStarted = true;
    m_pFacadeState = std::make_unique<AppFacadeState>(*this);
    KVR_SetApplicationState(m_pFacadeState.get());

    // Without a per-user folder there is nothing to read, and nothing will be
    // written at the end.
    if (GetAppFolder(kAppFolderUser).GetLength() != 0) {
        ReadIniFile(AppFilePath(kAppFolderUser, u"TLumitra.ini"));
        LoadPresetFile(AppFilePath(kAppFolderUser, u"KVR_Setting.xml"));
        m_bSettingsRead = true;
    }

    CFrameWnd* frame = CreateMainFrame();
    if (!frame)
        return FALSE;
    m_pMainWnd = frame;

    BOOL maximised = FALSE;
    if (m_Settings.Lock()) {
        maximised = m_Settings.m_nThumbMaxSize != 0 ? TRUE : FALSE;
        m_Settings.Unlock();
    }
    frame->ShowWindow(SW_SHOWNORMAL);
    frame->UpdateWindow();
    if (maximised)
        frame->ShowWindow(SW_SHOWMAXIMIZED);

    if (commandLine.m_strFileName.GetLength() != 0)
        ShowStartPath(GetLongPath(commandLine.m_strFileName));

    // From now on a second start reaches this frame.
    m_pInstanceLock->Publish(frame->GetSafeHwnd(), IsHandOverTarget);
    return TRUE;
}

int CLumitraApp::ExitInstance()
{
    if (m_pInstanceLock)
        m_pInstanceLock->Withdraw();
    FreeStringTable();
    FreeFontTable();
    DeleteTempProfiles();
    ClearExifCache();
    KVR_SetApplicationState(nullptr);
    m_pFacadeState.reset();
    if (m_bCoreStarted) {
        StopCoreLibrary();
        m_bCoreStarted = false;
    }

    // Only what start-up read is written back: a second instance, and a
    // start-up that ended before the files were read, leave them as they are.
    if (!m_bSecondInstance && m_bSettingsRead) {
        SavePresetFile(AppFilePath(kAppFolderUser, u"KVR_Setting.xml"));
        WriteIniFile(AppFilePath(kAppFolderUser, u"TLumitra.ini"));
        DeleteTemporaryFolder();
        m_bSettingsRead = false;
    }
    ClearPresets();
    SetClipboardBackend(nullptr);
    m_pClipboard.reset();
    if (m_pInstanceLock) {
        m_pInstanceLock->Release();
        m_pInstanceLock.reset();
    }
    return CWinApp::ExitInstance();
}

BOOL CLumitraApp::PreTranslateMessage(MSG* msg)
{
    if (CSplashWnd::PreTranslateAppMessage(msg))
        return TRUE;
    return CWinApp::PreTranslateMessage(msg);
}

// The program's application object (app/Lumitra4.cpp) makes the browser's
// frame; this one has none to make.
CFrameWnd* CLumitraApp::CreateMainFrame()
{
    return nullptr;
}

void CLumitraApp::ShowStartPath(const FString&) {}

void CLumitraApp::OnAppAbout()
{
    CAboutDlg about(m_pMainWnd);
    about.DoModal();
}

void CLumitraApp::OnFilePrintSetup()
{
    CPrintDialog dialog(TRUE, PD_ALLPAGES | PD_USEDEVMODECOPIES | PD_NOPAGENUMS | PD_HIDEPRINTTOFILE | PD_NOSELECTION,
                        m_pMainWnd);
    DoPrintDialog(&dialog);
}

void CLumitraApp::OnUpdateFilePrintSetup(CCmdUI* cmdUI)
{
    cmdUI->Enable(TRUE);
}
