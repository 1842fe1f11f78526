// The main frame's file operations, rotation worker and application messages:
// the frame answers the window-free operations (CFrameFileOperations) with its
// panes, review windows, palettes and dialogs; opening files and the hand-over
// of a second instance are the frame's own.

#include "shell/frame/CMainFrame.h"

#include "foundation/FPath.h"
#include "platform/shell/WinShell.h"
#include "platform/win/WinUser.h"
#include "shell/app/AppMessages.h"
#include "shell/app/CLumitraApp.h"
#include "shell/facade/CSaveJob.h"
#include "shell/facade/CTLM_ThumbnailData.h"
#include "shell/fileops/CFrameFileOperations.h"
#include "shell/fileops/IFileOpsHost.h"
#include "shell/fileops/RotationWorker.h"
#include "toolkit/CET_ThumbnailData.h"
#include "toolkit/FileOperations.h"
#include "toolkit/PictureFileTypes.h"

#include <memory>

namespace {

// The application's shooting-information cache.
class AppShootingInfoCache : public IShootingInfoCache {
public:
    bool GetExif(const FString& path, CTLM_Exif* record) override
    {
        CLumitraApp* app = GetLumitraApp();
        return app && app->GetExif(path, record);
    }
    void UpdateExif(const FString& path, const CTLM_Exif* record) override
    {
        if (CLumitraApp* app = GetLumitraApp())
            app->UpdateExif(path, record);
    }
    void RemoveExif(const FString& path) override
    {
        if (CLumitraApp* app = GetLumitraApp())
            app->RemoveExif(path);
    }
    void RemoveImageSettings(const FString& path) override
    {
        if (CLumitraApp* app = GetLumitraApp())
            app->RemoveImageSettings(path);
    }
};

std::vector<FString> PathsOf(const CET_ThumbnailDataManager& items)
{
    std::vector<FString> paths;
    for (int i = 0; i < items.GetCount(); ++i)
        paths.push_back(items.GetAt(i)->m_Path);
    return paths;
}

// The thumbnail pane. The rotation worker's updates do not redraw: the pane
// is redrawn on the user-interface thread when the worker has ended.
class ThumbPaneOps : public IThumbnailPane {
public:
    // `frame`: the frame whose folder summary follows a new listing (none on a worker).
    ThumbPaneOps(IThumbPane& pane, bool fromWorker, CMainFrame* frame = nullptr)
        : m_Pane(pane), m_bFromWorker(fromWorker), m_pFrame(frame)
    {
    }

    std::vector<FString> GetSelectedPaths() override
    {
        std::vector<FString> paths;
        m_Pane.GetSelectedPaths(&paths);
        return paths;
    }
    std::vector<FString> GetListedPaths() override
    {
        std::vector<FString> paths;
        m_Pane.GetAllPaths(&paths);
        return paths;
    }
    std::vector<FString> CollectSelectedStills() override
    {
        CET_ThumbnailDataManager items;
        m_Pane.CollectSelectedStills(&items);
        return PathsOf(items);
    }
    int GetStateFilter() override { return m_Pane.GetStateFilter(); }
    void ListFolderAgain() override
    {
        m_Pane.RefreshItems(nullptr);
        if (m_pFrame)
            m_pFrame->UpdateFolderSummary();
    }
    void ReReadItems(const std::vector<FString>& paths) override { m_Pane.RefreshItems(&paths); }
    void RotateItems(const std::vector<FString>& paths, bool clockwise) override
    {
        m_Pane.RotateItems(paths, clockwise ? TRUE : FALSE, m_bFromWorker ? FALSE : TRUE);
    }
    void UpdateButtons() override { m_Pane.UpdateButtons(); }
    void UpdateSelectionInfo() override { m_Pane.UpdateSelectionInfo(); }
    void StopLoader() override { m_Pane.StopLoader(); }
    void Redraw() override
    {
        // The pane's grid is a child: it must repaint too, or pictures the
        // rotation worker turned in memory stay as they were on screen.
        if (CWnd* wnd = m_Pane.GetPaneWnd())
            wnd->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
    void SendViewEvent(WPARAM event, const FString& path) override
    {
        if (CWnd* wnd = m_Pane.GetPaneWnd())
            wnd->SendMessage(WM_APP_THUMB_VIEW_EVENT, event, reinterpret_cast<LPARAM>(path.GetText()));
    }

private:
    IThumbPane& m_Pane;
    bool m_bFromWorker;
    CMainFrame* m_pFrame;
};

// The progress dialog as the rotation worker sees it.
class RotationProgress : public IRotationProgress {
public:
    explicit RotationProgress(IThreadProgress* dialog) : m_pDialog(dialog) {}
    void SetProgress(int percent) override
    {
        if (m_pDialog)
            m_pDialog->SetProgress(percent);
    }
    void PostProgress(int percent, bool finished) override
    {
        if (m_pDialog)
            m_pDialog->PostProgress(percent, finished ? TRUE : FALSE);
    }
    bool IsCancelled() override { return m_pDialog && m_pDialog->IsCancelled(); }

private:
    IThreadProgress* m_pDialog;
};

} // namespace

// The frame as the file operations' host.
class CMainFrameOpsHost : public IFileOpsHost {
public:
    explicit CMainFrameOpsHost(CMainFrame& frame) : m_Frame(frame)
    {
        if (IThumbPane* pane = frame.GetThumbPane())
            m_pPane = std::make_unique<ThumbPaneOps>(*pane, false, &frame);
    }

    bool GetExif(const FString& path, CTLM_Exif* record) override
    {
        return CMainFrame::ShootingInfo().GetExif(path, record);
    }
    void UpdateExif(const FString& path, const CTLM_Exif* record) override
    {
        CMainFrame::ShootingInfo().UpdateExif(path, record);
    }
    void RemoveExif(const FString& path) override { CMainFrame::ShootingInfo().RemoveExif(path); }
    void RemoveImageSettings(const FString& path) override { CMainFrame::ShootingInfo().RemoveImageSettings(path); }

    IThumbnailPane* GetThumbnailPane() override { return m_pPane.get(); }
    void BroadcastToReviewFrames(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        m_Frame.BroadcastToReviewFrames(message, wParam, lParam);
    }
    void SendFileListChanged() override { m_Frame.SendFileListToReviewFrames(); }
    bool IsInfoPaletteOpen() override { return m_Frame.ReviewWindows().GetInfoPalette() != nullptr; }
    void SendToInfoPalette(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (CWnd* palette = m_Frame.ReviewWindows().GetInfoPalette())
            palette->SendMessage(message, wParam, lParam);
    }
    void SendToAdjustPalette(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (CWnd* palette = m_Frame.ReviewWindows().GetAdjustPalette())
            palette->SendMessage(message, wParam, lParam);
    }
    int AskWithText(int style, int textId) override
    {
        return static_cast<int>(m_Frame.RunMessageDlgText(style, textId));
    }
    int AskWithPath(int style, const FString& path) override
    {
        return static_cast<int>(m_Frame.RunMessageDlg(style, path));
    }
    bool AskRotationDestination(const FString& source, FString* destination) override
    {
        std::unique_ptr<CTLM_ThumbnailData> item(m_Frame.FindThumbnail(source));
        CSaveJob job;
        if (!item || m_Frame.OutputDialogs().RunSaveDialogForImage(&m_Frame, item.get(), &job) != IDOK ||
            job.m_aOutputs.empty())
            return false;
        *destination = job.m_aOutputs.front();
        return true;
    }
    void RunRotationJob(CRotationJob& job) override
    {
        IThumbPane* pane = m_Frame.GetThumbPane();
        std::unique_ptr<ThumbPaneOps> workerPane = pane ? std::make_unique<ThumbPaneOps>(*pane, true) : nullptr;
        job.pane = workerPane.get();
        auto run = [&job](IThreadProgress* dialog) {
            RotationProgress progress(dialog);
            job.progress = &progress;
            const UINT result = RotateThreadProc(&job);
            job.progress = nullptr;
            return result;
        };
        if (m_Frame.OutputDialogs().Has(OutputDialog::ThreadProgress))
            m_Frame.OutputDialogs().RunThreadProgress(&m_Frame, [&run](IThreadProgress& dialog) { return run(&dialog); });
        else
            run(nullptr); // no progress dialog in the program yet: the few files are turned at once
        job.pane = m_pPane.get();
    }

private:
    CMainFrame& m_Frame;
    std::unique_ptr<ThumbPaneOps> m_pPane;
};

// ---- File operations

namespace {

// Runs one of the window-free operations with this frame as its host.
template <class Operation>
auto WithFileOps(CMainFrame& frame, Operation operation)
{
    CMainFrameOpsHost host(frame);
    CFrameFileOperations operations(host);
    return operation(operations);
}

} // namespace

void CMainFrame::DeleteImages(const std::vector<FString>& paths, BOOL confirm)
{
    WithFileOps(*this, [&](CFrameFileOperations& ops) { ops.DeleteImages(paths, confirm != FALSE); });
}

void CMainFrame::LockImages(const std::vector<FString>& paths, BOOL lock)
{
    WithFileOps(*this, [&](CFrameFileOperations& ops) { ops.LockImages(paths, lock != FALSE); });
}

void CMainFrame::MarkImages(const std::vector<FString>& paths, BOOL mark)
{
    WithFileOps(*this, [&](CFrameFileOperations& ops) { ops.MarkImages(paths, mark != FALSE); });
}

void CMainFrame::RotateFile(const FString& source, const FString& destination, BOOL clockwise)
{
    WithFileOps(*this, [&](CFrameFileOperations& ops) { ops.RotateFile(source, destination, clockwise != FALSE); });
}

void CMainFrame::RotateSelection(BOOL clockwise)
{
    WithFileOps(*this, [&](CFrameFileOperations& ops) { ops.RotateSelection(clockwise != FALSE); });
}

UINT CMainFrame::RotateThreadProc(RotationJob* job)
{
    RotationProgress progress(job->progress);
    std::unique_ptr<ThumbPaneOps> pane = job->thumbPane ? std::make_unique<ThumbPaneOps>(*job->thumbPane, true) : nullptr;
    CRotationJob work;
    work.sources = job->sources;
    work.destinations = job->destinations;
    work.progress = &progress;
    work.clockwise = job->clockwise != FALSE;
    work.pane = pane.get();
    work.cache = &ShootingInfo();
    const UINT result = ::RotateThreadProc(&work);
    job->rotated = work.done;
    return result;
}

void CMainFrame::AfterStateChange(const std::vector<FString>& paths, BOOL dependsOnFilter)
{
    WithFileOps(*this, [&](CFrameFileOperations& ops) { ops.AfterStateChange(paths, dependsOnFilter != FALSE); });
}

void CMainFrame::NotifyInfoPaletteOfSelection(LPARAM force)
{
    WithFileOps(*this, [&](CFrameFileOperations& ops) { ops.NotifyInfoPaletteOfSelection(force); });
}

// ---- Application messages

LRESULT CMainFrame::OnFileOperation(WPARAM wParam, LPARAM lParam)
{
    return WithFileOps(*this, [&](CFrameFileOperations& ops) { return ops.OnFileOperation(wParam, lParam); });
}

LRESULT CMainFrame::OnWBChanged(WPARAM wParam, LPARAM lParam)
{
    return WithFileOps(*this, [&](CFrameFileOperations& ops) { return ops.OnWBChanged(wParam, lParam); });
}

LRESULT CMainFrame::OnSettingsWritten(WPARAM wParam, LPARAM lParam)
{
    return WithFileOps(*this, [&](CFrameFileOperations& ops) { return ops.OnSettingsWritten(wParam, lParam); });
}

LRESULT CMainFrame::OnColorModeChanged(WPARAM wParam, LPARAM lParam)
{
    return WithFileOps(*this, [&](CFrameFileOperations& ops) { return ops.OnColorModeChanged(wParam, lParam); });
}

LRESULT CMainFrame::OnNoiseChanged(WPARAM wParam, LPARAM lParam)
{
    return WithFileOps(*this, [&](CFrameFileOperations& ops) { return ops.OnNoiseChanged(wParam, lParam); });
}

// ---- Opening files and the hand-over

namespace {

constexpr int kPlayerOfTheSystem = 0;
constexpr int kPlayerOfTheSettings = 1;

struct OpenSettings {
    int animationApp = 0;
    FString playerPath;
    bool reviewMaximised = false;
    bool openAdjustPalette = false;
};

OpenSettings ReadOpenSettings()
{
    OpenSettings read;
    CLumitraApp* app = GetLumitraApp();
    if (!app)
        return read;
    CAppSettings& settings = *app->GetSettings();
    const CAppSettingsLock lock(settings);
    read.animationApp = settings.m_nAnimationApp;
    read.playerPath = settings.m_strSelAppName;
    read.reviewMaximised = settings.m_nReviewMaxSize != 0;
    read.openAdjustPalette = settings.m_nOpenAdjustPalette != 0;
    return read;
}

// The player of the settings with the movie: the player, two blanks and the
// quoted path. It runs on its own; a player that cannot start fails silently.
void StartPlayer(const FString& player, const FString& movie)
{
    FString commandLine = player;
    commandLine += u"  \"";
    commandLine += movie;
    commandLine += u"\"";
    std::u16string line(commandLine.View());
    STARTUPINFOW startup;
    PROCESS_INFORMATION process;
    CreateProcessW(player.GetText(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
}

} // namespace

void CMainFrame::OpenImage(const FString& path, BOOL newWindow)
{
    const OpenSettings settings = ReadOpenSettings();
    IThumbPane* pane = GetThumbPane();
    if (!pane)
        return;
    FString file = path;
    if (file.GetLength() == 0) {
        file = pane->GetFirstPath(TRUE);
        if (file.GetLength() == 0)
            file = pane->GetFirstPath(FALSE);
    }
    if (GetFileType(file) == ETFILETYPE_AVI) {
        if (settings.animationApp == kPlayerOfTheSystem) {
            ShellExecuteW(GetSafeHwnd(), u"open", file.GetText(), nullptr, nullptr, SW_SHOW);
            return;
        }
        if (settings.animationApp == kPlayerOfTheSettings) {
            StartPlayer(settings.playerPath, file);
            return;
        }
    }
    std::unique_ptr<CTLM_ThumbnailData> item(FindThumbnail(file));
    if (!item)
        return;
    IReviewFrame* frame = nullptr;
    if (!newWindow) {
        for (IReviewFrame* candidate : m_aReviewFrames)
            if (!candidate->IsClosing()) {
                frame = candidate;
                break;
            }
    }
    const bool created = frame == nullptr;
    if (created) {
        frame = ReviewWindows().CreateReviewFrame();
        if (!frame)
            return;
        m_aReviewFrames.push_back(frame);
        frame->ApplyViewSettings();
    }
    CWnd* window = frame->GetFrameWnd();
    SetActiveWindow(window->GetSafeHwnd());
    window->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    frame->OpenImage(item.get());
    CET_ThumbnailDataManager items;
    GetAllThumbnails(&items);
    frame->SetImageList(&items);
    if (settings.reviewMaximised)
        window->ShowWindow(SW_SHOWMAXIMIZED);
    if (created && settings.openAdjustPalette && m_aReviewFrames.size() == 1)
        frame->ToggleAdjustPalette();
}

BOOL CMainFrame::OnCopyData(CWnd*, COPYDATASTRUCT* data)
{
    const FString path = PathFromCopyData(data);
    if (path.GetLength() > 0) {
        const FString file = GetLongPath(path);
        // A folder is shown, as at start; a file is shown in its folder and opened.
        constexpr int kFolderAttribute = 0x10;
        const int attributes = ReadFileAttributeWord(file);
        if (attributes != -1 && (attributes & kFolderAttribute) != 0) {
            SelectFolder(file, TRUE);
            return TRUE;
        }
        SelectFolder(GetParentPath(file), TRUE);
        OpenImage(file, m_aReviewFrames.empty() ? TRUE : FALSE);
    }
    return TRUE;
}

IShootingInfoCache& CMainFrame::ShootingInfo()
{
    static AppShootingInfoCache cache;
    return cache;
}
