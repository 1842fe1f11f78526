#pragma once
// Shared by the tests of the main frame's file operations: a frame that
// records what the operations tell the pane, the review windows and the
// palettes, answers their questions from a script and runs the rotation
// worker on a thread of its own; and files of every kind in a temporary
// folder.

#include "foundation/FPath.h"
#include "foundation/FSCDiskWin.h"
#include "shell/facade/CTLM_Exif.h"
#include "shell/facade/CTLM_Exif_Manager.h"
#include "shell/fileops/IFileOpsHost.h"
#include "shell/fileops/RotationWorker.h"
#include "shell/fileops/RecordCache.h"
#include "support/PictureFileBuilder.h"
#include "support/SyntheticCamera.h"
#include "support/TempFileTest.h"
#include "support/TestSupport.h"

#include <sys/stat.h>

#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testsupport {

// A message sent with a path in wParam.
struct SentMessage {
    UINT message = 0;
    FString path;
    LPARAM lParam = 0;
    bool operator==(const SentMessage& other) const
    {
        return message == other.message && path == other.path && lParam == other.lParam;
    }
};

inline std::ostream& operator<<(std::ostream& out, const SentMessage& m)
{
    return out << "{0x" << std::hex << m.message << std::dec << ", " << m.path.GetAscii() << ", 0x" << std::hex
               << m.lParam << std::dec << "}";
}

// The thumbnail pane: a selection and a list the test sets, and a log of
// what it was asked to do.
class RecordingPane : public IThumbnailPane {
public:
    std::vector<FString> GetSelectedPaths() override { return selected; }
    std::vector<FString> GetListedPaths() override { return listed; }
    std::vector<FString> CollectSelectedStills() override { return selected; }
    int GetStateFilter() override { return stateFilter; }
    void ListFolderAgain() override { Log("list"); }
    void ReReadItems(const std::vector<FString>& paths) override { Log("reread", paths); }
    void RotateItems(const std::vector<FString>& paths, bool clockwise) override
    {
        Log(clockwise ? "rotate-cw" : "rotate-ccw", paths);
    }
    void UpdateButtons() override { Log("buttons"); }
    void UpdateSelectionInfo() override { Log("selection-info"); }
    void StopLoader() override { Log("stop-loader"); }
    void Redraw() override { Log("redraw"); }
    void SendViewEvent(WPARAM event, const FString& path) override
    {
        Log("view-event-" + std::to_string(event), {path});
    }

    std::vector<std::string> Calls()
    {
        std::lock_guard<std::mutex> hold(m_Lock);
        return m_Calls;
    }

    std::vector<FString> selected, listed;
    int stateFilter = 0;

private:
    void Log(const std::string& what, const std::vector<FString>& paths = {})
    {
        std::string entry = what;
        for (const FString& path : paths)
            if (path.GetLength() > 0)
                entry += " " + std::string(PathFileName(path).GetAscii());
        std::lock_guard<std::mutex> hold(m_Lock);
        m_Calls.push_back(entry);
    }
    std::mutex m_Lock;
    std::vector<std::string> m_Calls;
};

// The progress dialog: records the worker's values; cancels after a number
// of progress messages when asked to.
class RecordingProgress : public IRotationProgress {
public:
    void SetProgress(int percent) override { posted.push_back({percent, -1}); }
    void PostProgress(int percent, bool finished) override { posted.push_back({percent, finished ? 1 : 0}); }
    bool IsCancelled() override { return cancelAfter >= 0 && int(posted.size()) - 1 >= cancelAfter; }

    std::vector<std::pair<int, int>> posted; // (percent, finished); -1: the start value
    int cancelAfter = -1;
};

class FakeFrame : public IFileOpsHost {
public:
    bool GetExif(const FString& path, CTLM_Exif* record) override { return cache.GetExif(path, record); }
    void UpdateExif(const FString& path, const CTLM_Exif* record) override { cache.UpdateExif(path, record); }
    void RemoveExif(const FString& path) override { cache.RemoveExif(path); }
    void RemoveImageSettings(const FString& path) override { cache.RemoveImageSettings(path); }

    IThumbnailPane* GetThumbnailPane() override { return hasPane ? &pane : nullptr; }
    void BroadcastToReviewFrames(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        reviewFrames.push_back({message, *reinterpret_cast<const FString*>(wParam), lParam});
    }
    void SendFileListChanged() override { ++fileListChanged; }
    bool IsInfoPaletteOpen() override { return infoPaletteOpen; }
    void SendToInfoPalette(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (infoPaletteOpen)
            infoPalette.push_back({message, *reinterpret_cast<const FString*>(wParam), lParam});
    }
    void SendToAdjustPalette(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        adjustPalette.push_back({message, *reinterpret_cast<const FString*>(wParam), lParam});
    }
    int AskWithText(int style, int textId) override
    {
        questions.push_back("style " + std::to_string(style) + " text " + std::to_string(textId));
        return NextAnswer();
    }
    int AskWithPath(int style, const FString& path) override
    {
        questions.push_back("style " + std::to_string(style) + " " + PathFileName(path).GetAscii());
        return NextAnswer();
    }
    bool AskRotationDestination(const FString& source, FString* destination) override
    {
        askedDestinations.push_back(std::string(PathFileName(source).GetAscii()));
        const auto found = destinations.find(std::string(PathFileName(source).GetAscii()));
        if (found == destinations.end())
            return false;
        *destination = found->second;
        return true;
    }
    void RunRotationJob(CRotationJob& job) override
    {
        job.progress = &progress;
        std::thread worker([&job] { RotateThreadProc(&job); });
        worker.join();
        ++rotationRuns;
    }

    std::vector<std::string> askedDestinations; // the sources the save dialog was shown for
    RecordCache cache;
    RecordingPane pane;
    RecordingProgress progress;
    bool hasPane = true;
    bool infoPaletteOpen = false;
    std::deque<int> answers; // 11 (OK) once they run out
    std::map<std::string, FString> destinations; // by source file name; missing: the save dialog is cancelled
    std::vector<SentMessage> reviewFrames, infoPalette, adjustPalette;
    std::vector<std::string> questions;
    int fileListChanged = 0;
    int rotationRuns = 0;

private:
    int NextAnswer()
    {
        if (answers.empty())
            return 11;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// Files of each kind the operations meet, in a temporary folder.
class FileOpsFolderTest : public TempFileTest {
protected:
    static void SetUpTestSuite()
    {
        TempFileTest::SetUpTestSuite();
        s_Raw = new SyntheticRaw(MakeSyntheticRaw({}));
        SyntheticOptions iso800;
        iso800.shot = SyntheticShot::DaylightIso800Auto;
        s_RawIso800 = new SyntheticRaw(MakeSyntheticRaw(iso800));
    }
    static void TearDownTestSuite()
    {
        delete s_Raw;
        delete s_RawIso800;
        s_Raw = s_RawIso800 = nullptr;
    }

    FString Write(const std::string& name, const std::vector<uint8_t>& bytes) const
    {
        WriteFileBytes(PathOf(name), std::string(bytes.begin(), bytes.end()));
        return Path(name);
    }
    FString Raw(const std::string& name, bool iso800 = false) const
    {
        return Write(name, (iso800 ? s_RawIso800 : s_Raw)->file.bytes);
    }
    // A JPEG with EXIF: with an orientation tag and the maker note's mark entry when asked.
    FString Jpeg(const std::string& name, bool orientation, bool markEntry = false) const
    {
        ExifFields fields;
        if (orientation)
            fields.orientation = 1;
        if (markEntry)
            fields.markFlag = 0;
        return Write(name, QuarterJpeg(32, 24, &fields));
    }
    FString Path(const std::string& name) const { return PathFromNative(PathOf(name).string()); }
    bool Exists(const std::string& name) const { return std::filesystem::exists(PathOf(name)); }
    void Protect(const FString& path, bool on) const
    {
        std::string native;
        PathToNative(path, native);
        std::filesystem::permissions(native, std::filesystem::perms::owner_write,
                                     on ? std::filesystem::perm_options::remove : std::filesystem::perm_options::add);
    }
    bool IsProtected(const FString& path) const
    {
        std::string native;
        PathToNative(path, native);
        struct stat st {};
        return ::stat(native.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0;
    }

    static inline SyntheticRaw* s_Raw = nullptr;
    static inline SyntheticRaw* s_RawIso800 = nullptr;
};

} // namespace testsupport
