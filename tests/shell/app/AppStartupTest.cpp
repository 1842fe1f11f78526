// The program's start-up and shut-down: one instance per user, the hand-over
// of a second start's file to the first (two processes), the settings and
// preset files read at the start and written at the end only when they were
// read, the temporary folders, and the start path shown.
#include "shell/app/CLumitraApp.h"

#include "foundation/FPath.h"
#include "platform/afx/AfxFrame.h"
#include "platform/afx/AfxInstance.h"
#include "platform/testing/Headless.h"
#include "shell/app/AppFolders.h"
#include "shell/facade/KVR_ApplicationState.h"
#include "support/BuildTree.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace pt = platform::testing;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

std::string Native(const FString& path)
{
    std::string bytes;
    PathToNative(path, bytes);
    return bytes;
}

// The main frame's part in these tests: it takes hand-overs.
class HandOverFrame : public CFrameWnd {
public:
    std::vector<std::u16string> received;

protected:
    afx_msg BOOL OnCopyData(CWnd*, COPYDATASTRUCT* data)
    {
        const auto* text = static_cast<const char16_t*>(data->lpData);
        received.emplace_back(text, data->cbData / 2 - 1);
        return TRUE;
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(HandOverFrame, CFrameWnd)
ON_WM_COPYDATA()
END_MESSAGE_MAP()

class StartedApp : public CLumitraApp {
public:
    HandOverFrame* frame = nullptr;
    bool makeFrame = true;
    std::vector<std::string> shown;

    // The frame goes before the application ends, as when the user closes it.
    void CloseFrame()
    {
        if (!frame)
            return;
        m_pMainWnd = nullptr;
        frame->DestroyWindow();
        frame = nullptr;
        pt::Pump();
    }

protected:
    CFrameWnd* CreateMainFrame() override
    {
        if (!makeFrame)
            return nullptr;
        frame = new HandOverFrame;
        if (!frame->LoadFrame(128, 0xCF8000)) {
            frame = nullptr;
            return nullptr;
        }
        return frame;
    }
    void ShowStartPath(const FString& path) override { shown.push_back(Native(path)); }
};

class AppStartup : public ::testing::Test {
protected:
    void SetUp() override
    {
        pt::Init();
        fs::create_directories(m_Home.Path() / "config");
        fs::create_directories(m_Home.Path() / "runtime");
        ::chmod((m_Home.Path() / "runtime").c_str(), 0700);
        Set("XDG_CONFIG_HOME", m_Home.Path() / "config");
        Set("XDG_RUNTIME_DIR", m_Home.Path() / "runtime");
        SetAppProgramPath(testsupport::BuildTreeProgramPath());
        m_UserFolder = Native(GetAppFolder(kAppFolderUser));
        ASSERT_FALSE(m_UserFolder.empty());
        WriteFileBytes(Ini(), "; mine\n[Thumb]\nMaxSize=1\n");
        WriteFileBytes(Presets(), "not a preset file");
    }
    void TearDown() override
    {
        for (const auto& [name, value] : m_Saved) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
        SetAppProgramPath(FString());
    }
    void Set(const std::string& name, const fs::path& value)
    {
        const char* old = std::getenv(name.c_str());
        m_Saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    fs::path Ini() const { return fs::path(m_UserFolder) / "TLumitra.ini"; }
    fs::path Presets() const { return fs::path(m_UserFolder) / "KVR_Setting.xml"; }
    // The lock file the instance lock takes in the runtime folder.
    fs::path LockFile() const
    {
        platform::InstanceLock probe(u"TALVO Lumitra v3.X");
        EXPECT_EQ(probe.Acquire(), platform::InstanceLock::State::First);
        fs::path found;
        for (const auto& entry : fs::directory_iterator(m_Home.Path() / "runtime"))
            if (entry.path().extension() == ".lock")
                found = entry.path();
        return found;
    }

    TempDir m_Home;
    std::string m_UserFolder;
    std::vector<std::pair<std::string, std::optional<std::string>>> m_Saved;
};

TEST_F(AppStartup, AFirstStartReadsTheFilesShowsThePathAndWritesTheFilesAtTheEnd)
{
    StartedApp app;
    const fs::path folder = m_Home.Path() / "pictures";
    fs::create_directories(folder);
    app.SetArguments({"-Automation", folder.string()});
    ASSERT_TRUE(app.InitInstance());
    const std::string temp = Native(GetAppFolder(kAppFolderTemp));
    const std::string profiles = Native(GetAppFolder(kAppFolderTempProfiles));
    EXPECT_TRUE(fs::is_directory(profiles));
    EXPECT_TRUE(app.frame->IsZoomed()) << "the settings file asks for a maximised browser";
    EXPECT_EQ(app.shown, std::vector<std::string>{folder.string()});
    EXPECT_EQ(AfxGetMainWnd(), app.frame);
    EXPECT_TRUE(KVR_GetApplicationState().GetString(7000).View() == u"About Lumitra4") << "the facade sees the text table";
    EXPECT_EQ(KVR_GetApplicationState().GetVersion().major, app.GetVersion()[0]);

    app.CloseFrame();
    app.ExitInstance();
    const std::string ini = ReadFileBytes(Ini());
    EXPECT_NE(ini.find("; mine"), std::string::npos) << "what the program does not know stays";
    EXPECT_NE(ini.find("MaxSize=1"), std::string::npos);
    EXPECT_NE(ini.find("[Review]"), std::string::npos) << "every setting is written";
    EXPECT_EQ(ReadFileBytes(Presets()), "not a preset file") << "an unreadable preset file is kept";
    EXPECT_FALSE(fs::exists(temp));
    EXPECT_EQ(KVR_GetApplicationState().GetVersion().major, 4) << "the facade's own state again";
}

TEST_F(AppStartup, ALeftoverTemporaryProfileFolderIsEmptiedAtTheStart)
{
    StartedApp app;
    const std::string profiles = Native(GetAppFolder(kAppFolderTempProfiles));
    fs::create_directories(profiles);
    WriteFileBytes(fs::path(profiles) / "$$$old.tmp", "old profile");
    ASSERT_TRUE(app.InitInstance());
    EXPECT_TRUE(fs::is_directory(profiles));
    EXPECT_TRUE(fs::is_empty(profiles));
    app.CloseFrame();
    app.ExitInstance();
}

TEST_F(AppStartup, ASecondStartHandsItsFileOverAndLeavesTheFilesUntouched)
{
    StartedApp first;
    ASSERT_TRUE(first.InitInstance());
    const std::string iniBefore = ReadFileBytes(Ini());
    const auto iniTime = fs::last_write_time(Ini());
    const auto presetTime = fs::last_write_time(Presets());
    const fs::path picture = m_Home.Path() / "pictures" / "IMG_0001.JPG";
    fs::create_directories(picture.parent_path());
    WriteFileBytes(picture, "a picture the browser lists");

    {
        pt::ProgramRun second({LUMITRA_PROGRAM, "-Embedding", picture.string()});
        EXPECT_EQ(second.Finish(60000), 0) << second.Output();
    }
    EXPECT_EQ(first.frame->received, std::vector<std::u16string>{std::u16string(PathFromNative(picture.string()).View())});
    {
        pt::ProgramRun second({LUMITRA_PROGRAM, "-Embedding"});
        EXPECT_EQ(second.Finish(60000), 0) << second.Output();
    }
    EXPECT_EQ(first.frame->received.size(), 1u) << "a start without a file only brings the browser forward";
    EXPECT_EQ(ReadFileBytes(Ini()), iniBefore);
    EXPECT_EQ(fs::last_write_time(Ini()), iniTime);
    EXPECT_EQ(fs::last_write_time(Presets()), presetTime);
    first.CloseFrame();
    first.ExitInstance();
}

// The session ends while the program runs: it closes as its close command
// does, writes the settings it read and leaves no temporary folder; the
// folders of earlier runs that were killed are removed when it starts.
TEST_F(AppStartup, TheProgramClosesWhenTheSessionEnds)
{
    const TempDir tmp;
    Set("TMPDIR", tmp.Path());
    const fs::path killed = tmp.Path() / "lumitra-Killed";
    fs::create_directories(killed / "Temp");
    WriteFileBytes(killed / ".lumitra-owner.lock", "");
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        WriteFileBytes(Ini(), "; mine\n");
        pt::ProgramRun program({LUMITRA_PROGRAM, "-Embedding", m_Home.Path().string()});
        // Up once it listens for a second start.
        const auto listening = [&] {
            for (const auto& entry : fs::directory_iterator(m_Home.Path() / "runtime"))
                if (entry.path().extension() == ".socket")
                    return true;
            return false;
        };
        for (int i = 0; i < 600 && !listening(); ++i)
            program.WaitFor("\x01", 100);
        ASSERT_TRUE(listening()) << program.Output();
        EXPECT_FALSE(fs::exists(killed)) << "the folder of a run that was killed";
        ASSERT_EQ(::kill(static_cast<pid_t>(program.Pid()), signal), 0);
        EXPECT_EQ(program.Finish(60000), 0) << program.Output();
        const std::string ini = ReadFileBytes(Ini());
        EXPECT_NE(ini.find("; mine"), std::string::npos);
        EXPECT_NE(ini.find("[Thumb]"), std::string::npos) << "the settings are written";
        EXPECT_TRUE(fs::is_empty(tmp.Path())) << "no temporary folder is left";
    }
}

TEST_F(AppStartup, AStartThatFindsTheLockTakenReadsAndWritesNothing)
{
    platform::InstanceLock holder(u"TALVO Lumitra v3.X");
    ASSERT_EQ(holder.Acquire(), platform::InstanceLock::State::First);
    StartedApp second;
    EXPECT_FALSE(second.InitInstance());
    EXPECT_TRUE(second.IsSecondInstance());
    EXPECT_EQ(second.frame, nullptr);
    second.ExitInstance();
    EXPECT_EQ(ReadFileBytes(Ini()), "; mine\n[Thumb]\nMaxSize=1\n");
    EXPECT_EQ(ReadFileBytes(Presets()), "not a preset file");
}

TEST_F(AppStartup, AStartThatFailsBeforeReadingTheFilesOverwritesNoFile)
{
    // The instance lock cannot be taken: a folder stands where its file goes.
    const fs::path lockFile = LockFile();
    ASSERT_FALSE(lockFile.empty());
    fs::remove(lockFile);
    fs::create_directory(lockFile);
    WriteFileBytes(Presets(), "");
    const auto iniTime = fs::last_write_time(Ini());

    StartedApp app;
    EXPECT_FALSE(app.InitInstance());
    EXPECT_FALSE(app.IsSecondInstance());
    app.ExitInstance();
    EXPECT_EQ(ReadFileBytes(Ini()), "; mine\n[Thumb]\nMaxSize=1\n");
    EXPECT_EQ(fs::last_write_time(Ini()), iniTime);
    EXPECT_EQ(ReadFileBytes(Presets()), "") << "not replaced by an empty preset list";
    fs::remove(lockFile);
}

TEST_F(AppStartup, AStartWhoseFrameCannotBeMadeEndsAndKeepsWhatItRead)
{
    StartedApp app;
    app.makeFrame = false;
    EXPECT_FALSE(app.InitInstance());
    app.ExitInstance();
    const std::string ini = ReadFileBytes(Ini());
    EXPECT_NE(ini.find("MaxSize=1"), std::string::npos) << "the values read are written back";
    // The lock is free again for the next start.
    platform::InstanceLock next(u"TALVO Lumitra v3.X");
    EXPECT_EQ(next.Acquire(), platform::InstanceLock::State::First);
}

} // namespace
