#include "shell/fileops/CFrameFileOperations.h"

#include "foundation/FArray.h"
#include "foundation/FPath.h"
#include "foundation/FSCDiskWin.h"
#include "platform/win/WinUser.h"
#include "shell/app/AppMessages.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/CTLM_Exif.h"
#include "shell/facade/KVR_FileSettings.h"
#include "shell/fileops/IFileOpsHost.h"
#include "shell/fileops/RotationWorker.h"
#include "toolkit/FileOperations.h"
#include "toolkit/PictureFileTypes.h"

namespace {

// lParam's high word of WM_APP_FILE_OPERATION.
enum FileOperation : WORD { kOperationRotate = 1, kOperationMark = 2, kOperationLock = 3, kOperationDelete = 4 };
constexpr WORD kValueSetOrClockwise = 2;

// Message-box styles and results, texts of the questions.
constexpr int kStyleConfirm = 1;
constexpr int kStyleOverwriteOne = 10;
constexpr int kResultCancel = 12;
constexpr int kResultYes = 13;
constexpr int kTextDeleteWithProtected = 1049;
constexpr int kTextDeleteConfirm = 1050;

// State filters of the pane that depend on marks and on locks.
constexpr int kFilterMarked = 1, kFilterUnmarked = 2, kFilterLocked = 3, kFilterUnlocked = 4;

constexpr int kLowestIsoWithNoiseSteps = 400;

// The read-only bit of ReadFileAttributeWord.
constexpr int kReadOnlyAttribute = 0x1;

LPARAM RotationResult(bool clockwise)
{
    return clockwise ? kFileOperationRotateClockwise : kFileOperationRotateCounterClockwise;
}

const FString& PathOf(WPARAM wParam) { return *reinterpret_cast<const FString*>(wParam); }
WPARAM AsWParam(const FString& path) { return reinterpret_cast<WPARAM>(&path); }

bool IsWriteProtectedFile(const FString& path)
{
    const int attributes = ReadFileAttributeWord(path);
    return attributes != -1 && (attributes & kReadOnlyAttribute) != 0;
}

// The leading decimal number of a text (blanks before it skipped), 0 without.
int LeadingNumber(const FString& text)
{
    long value = 0;
    size_t at = 0;
    const std::u16string_view view = text.View();
    while (at < view.size() && (view[at] == u' ' || view[at] == u'\t'))
        ++at;
    for (; at < view.size() && view[at] >= u'0' && view[at] <= u'9' && value < 1000000; ++at)
        value = value * 10 + (view[at] - u'0');
    return static_cast<int>(value);
}

// Lifts a file's write protection for the scope of a write and puts it back.
class WriteProtectionLift {
public:
    explicit WriteProtectionLift(CTLM_Exif& record) : m_Record(record), m_bWasLocked(record.IsLocked())
    {
        if (m_bWasLocked)
            m_Record.SetLocked(false);
    }
    ~WriteProtectionLift()
    {
        if (m_bWasLocked)
            m_Record.SetLocked(true);
    }
    WriteProtectionLift(const WriteProtectionLift&) = delete;
    WriteProtectionLift& operator=(const WriteProtectionLift&) = delete;

private:
    CTLM_Exif& m_Record;
    bool m_bWasLocked;
};

using SettingWrite = int (*)(const char16_t* nativePath, const CKVR_FilterData* settings);

// Writes the settings into the file through the facade, with the file's write
// protection lifted for the write. False, nothing written, when the file's
// shooting information cannot be read or does not pass the check.
bool WriteIntoReadableFile(IShootingInfoCache& cache, const FString& path, const CKVR_FilterData& settings,
                           SettingWrite write, bool (*check)(const CTLM_Exif&) = nullptr)
{
    CTLM_Exif record;
    if (!ReadShootingInfo(cache, path, &record) || (check && !check(record)))
        return false;
    const WriteProtectionLift lift(record);
    write(path.GetText(), &settings);
    return true;
}

bool TakesNoiseSteps(const CTLM_Exif& record)
{
    return LeadingNumber(record.GetIso()) >= kLowestIsoWithNoiseSteps;
}

} // namespace

LRESULT CFrameFileOperations::OnFileOperation(WPARAM wParam, LPARAM lParam)
{
    const WORD operation = HIWORD(static_cast<std::uintptr_t>(lParam));
    const bool setOrClockwise = LOWORD(static_cast<std::uintptr_t>(lParam)) == kValueSetOrClockwise;
    const FString* paths = reinterpret_cast<const FString*>(wParam);
    switch (operation) {
    case kOperationRotate:
        RotateFile(paths[0], paths[1], setOrClockwise);
        break;
    case kOperationMark:
        MarkImages({paths[0]}, setOrClockwise);
        break;
    case kOperationLock:
        LockImages({paths[0]}, setOrClockwise);
        break;
    case kOperationDelete:
        DeleteImages({paths[0]}, false);
        break;
    default:
        break;
    }
    return 0;
}

// ---- The setting messages of raw files

LRESULT CFrameFileOperations::OnWBChanged(WPARAM wParam, LPARAM lParam)
{
    const FString path = PathOf(wParam);
    CKVR_FilterData settings;
    settings.m_nWhiteBalance = static_cast<int32_t>(lParam);
    if (!WriteIntoReadableFile(m_Host, path, settings, KVR_ApplyWhiteBalanceToFile))
        return 0;
    RenewShootingInfo(path);
    m_Host.RemoveImageSettings(path);
    FinishSettingWrite(WM_APP_WB_CHANGED, path, wParam, lParam);
    return 0;
}

LRESULT CFrameFileOperations::OnSettingsWritten(WPARAM wParam, LPARAM lParam)
{
    const FString path = PathOf(wParam);
    if (GetFileType(path) != ETFILETYPE_KVR)
        return 0;
    CTLM_Exif record;
    ReadShootingInfo(m_Host, path, &record); // without a record nothing is unlocked
    bool written = false;
    {
        const WriteProtectionLift lift(record);
        written = KVR_WriteFileFilterData(path.GetText(), reinterpret_cast<const CKVR_FilterData*>(lParam)) != 0;
    }
    if (written)
        RenewShootingInfo(path);
    if (IThumbnailPane* pane = m_Host.GetThumbnailPane())
        pane->ReReadItems({path});
    m_Host.BroadcastToReviewFrames(WM_APP_SAVE_SETTINGS, wParam, lParam);
    m_Host.SendToAdjustPalette(WM_APP_SAVE_SETTINGS, wParam, lParam);
    m_Host.SendToInfoPalette(WM_APP_SAVE_SETTINGS, wParam, lParam);
    return 0;
}

LRESULT CFrameFileOperations::OnColorModeChanged(WPARAM wParam, LPARAM lParam)
{
    const FString path = PathOf(wParam);
    CKVR_FilterData settings;
    settings.m_nColorMode = static_cast<int32_t>(lParam);
    if (WriteIntoReadableFile(m_Host, path, settings, KVR_ApplyColorModeToFile))
        FinishSettingWrite(WM_APP_COLORMODE_CHANGED, path, wParam, lParam);
    return 0;
}

LRESULT CFrameFileOperations::OnNoiseChanged(WPARAM wParam, LPARAM lParam)
{
    const FString path = PathOf(wParam);
    CKVR_FilterData settings;
    settings.m_nChromaNoise = LOWORD(static_cast<std::uintptr_t>(lParam));
    settings.m_nLumaNoise = HIWORD(static_cast<std::uintptr_t>(lParam));
    if (WriteIntoReadableFile(m_Host, path, settings, KVR_WriteFileNoiseReduction, TakesNoiseSteps))
        FinishSettingWrite(WM_APP_NOISE_CHANGED, path, wParam, lParam);
    return 0;
}

void CFrameFileOperations::RenewShootingInfo(const FString& path)
{
    m_Host.RemoveExif(path);
    CTLM_Exif fresh;
    m_Host.GetExif(path, &fresh);
}

void CFrameFileOperations::FinishSettingWrite(UINT message, const FString& path, WPARAM wParam, LPARAM lParam)
{
    if (IThumbnailPane* pane = m_Host.GetThumbnailPane()) {
        pane->ReReadItems({path});
        pane->UpdateSelectionInfo();
    }
    m_Host.BroadcastToReviewFrames(message, wParam, lParam);
    m_Host.SendToInfoPalette(message, AsWParam(path), 0);
}

// ---- Delete, lock and mark

void CFrameFileOperations::DeleteImages(const std::vector<FString>& paths, bool confirm)
{
    FArray<FString> doomed;
    bool keptBack = false;
    for (const FString& path : paths) {
        if (!PathExists(path))
            continue;
        if (IsWriteProtectedFile(path))
            keptBack = true;
        else
            doomed.Append(path);
    }
    if (keptBack) {
        if (m_Host.AskWithText(kStyleConfirm, kTextDeleteWithProtected) == kResultCancel)
            return;
    } else if (confirm && m_Host.AskWithText(kStyleConfirm, kTextDeleteConfirm) == kResultCancel) {
        return;
    }
    if (doomed.GetCount() > 0)
        DeleteFiles(&doomed, true, true);
    // Only the files that are really gone are announced as deleted.
    for (const FString& path : paths) {
        m_Host.RemoveExif(path);
        if (!PathExists(path))
            m_Host.BroadcastToReviewFrames(WM_APP_FILE_OPERATION, AsWParam(path), kFileOperationDelete);
    }
    IThumbnailPane* pane = m_Host.GetThumbnailPane();
    if (!pane)
        return;
    pane->ListFolderAgain();
    pane->UpdateButtons();
    m_Host.SendFileListChanged();
    const std::vector<FString> selected = pane->GetSelectedPaths();
    if (selected.size() > 1)
        return;
    const FString current = selected.empty() ? FString() : selected.front();
    m_Host.SendToInfoPalette(WM_APP_SHOW_INFO, AsWParam(current), 0);
    pane->SendViewEvent(kThumbViewFocusChanged, current);
}

void CFrameFileOperations::LockImages(const std::vector<FString>& paths, bool lock)
{
    for (const FString& path : paths) {
        CTLM_Exif record;
        if (!ReadShootingInfo(m_Host, path, &record) || !record.SetLocked(lock))
            continue;
        m_Host.UpdateExif(path, &record);
        m_Host.BroadcastToReviewFrames(WM_APP_FILE_OPERATION, AsWParam(path),
                                       lock ? kFileOperationLockSet : kFileOperationLockClear);
    }
    AfterStateChangeFiltered(paths, kFilterLocked, kFilterUnlocked);
}

void CFrameFileOperations::MarkImages(const std::vector<FString>& paths, bool mark)
{
    for (const FString& path : paths) {
        CTLM_Exif record;
        if (!ReadShootingInfo(m_Host, path, &record) || !record.CanMark())
            continue;
        bool marked = false;
        {
            const WriteProtectionLift lift(record);
            marked = record.SetMarked(mark);
        }
        m_Host.UpdateExif(path, &record);
        if (marked)
            m_Host.BroadcastToReviewFrames(WM_APP_FILE_OPERATION, AsWParam(path),
                                           mark ? kFileOperationMarkSet : kFileOperationMarkClear);
    }
    AfterStateChangeFiltered(paths, kFilterMarked, kFilterUnmarked);
}

void CFrameFileOperations::AfterStateChangeFiltered(const std::vector<FString>& paths, int firstFilter,
                                                    int secondFilter)
{
    IThumbnailPane* pane = m_Host.GetThumbnailPane();
    const int filter = pane ? pane->GetStateFilter() : 0;
    AfterStateChange(paths, filter == firstFilter || filter == secondFilter);
}

void CFrameFileOperations::AfterStateChange(const std::vector<FString>& paths, bool listAgain)
{
    if (IThumbnailPane* pane = m_Host.GetThumbnailPane()) {
        if (listAgain)
            pane->ListFolderAgain();
        else
            pane->ReReadItems(paths);
        pane->UpdateButtons();
    }
    m_Host.SendFileListChanged();
    NotifyInfoPaletteOfSelection(0);
}

void CFrameFileOperations::NotifyInfoPaletteOfSelection(LPARAM force)
{
    if (!m_Host.IsInfoPaletteOpen())
        return;
    IThumbnailPane* pane = m_Host.GetThumbnailPane();
    const std::vector<FString> selected = pane ? pane->GetSelectedPaths() : std::vector<FString>();
    if (selected.size() > 1)
        return;
    const FString current = selected.empty() ? FString() : selected.front();
    m_Host.SendToInfoPalette(WM_APP_SHOW_INFO, AsWParam(current), selected.empty() ? 0 : force);
}

// ---- Rotation

void CFrameFileOperations::RotateFile(const FString& source, const FString& destination, bool clockwise)
{
    bool turned = false;
    if (GetFileType(source) == ETFILETYPE_KVR) {
        turned = RotatePicture(source, destination, clockwise, true);
        m_Host.RemoveExif(source); // read again on next demand
    } else {
        // A locked picture stays as it is: this request never lifts a lock.
        CTLM_Exif record;
        if (!ReadShootingInfo(m_Host, source, &record))
            return;
        turned = RotatePicture(source, destination, clockwise, record.HasOrientationTag());
        m_Host.RemoveExif(source);
    }
    if (!turned)
        return;
    if (IThumbnailPane* pane = m_Host.GetThumbnailPane())
        pane->RotateItems({destination}, clockwise);
    m_Host.BroadcastToReviewFrames(WM_APP_FILE_OPERATION, AsWParam(destination), RotationResult(clockwise));
}

void CFrameFileOperations::RotateSelection(bool clockwise)
{
    IThumbnailPane* pane = m_Host.GetThumbnailPane();
    if (!pane)
        return;
    CRotationJob job;
    for (const FString& source : pane->CollectSelectedStills()) {
        // A file another program deleted meanwhile has nothing to turn.
        bool isFolder = false;
        if (!PathExists(source, &isFolder) || isFolder)
            continue;
        CTLM_Exif record;
        FString destination = source;
        if (!(m_Host.GetExif(source, &record) && record.HasOrientationTag())) {
            if (!m_Host.AskRotationDestination(source, &destination))
                continue;
            if (PathExists(destination) && m_Host.AskWithPath(kStyleOverwriteOne, destination) != kResultYes)
                continue;
        }
        job.sources.push_back(source);
        job.destinations.push_back(destination);
    }
    if (job.sources.empty())
        return;
    pane->StopLoader();
    job.clockwise = clockwise;
    job.pane = pane;
    job.cache = &m_Host;
    m_Host.RunRotationJob(job);
    pane->Redraw();
    pane->RotateItems({}, clockwise);
    NotifyInfoPaletteOfSelection(1);
    for (const FString& destination : job.done)
        m_Host.BroadcastToReviewFrames(WM_APP_FILE_OPERATION, AsWParam(destination), RotationResult(clockwise));
}

// ---- The hand-over of a second instance

FString PathFromCopyData(const COPYDATASTRUCT* data)
{
    if (!data || !data->lpData)
        return FString();
    const auto* units = static_cast<const char16_t*>(data->lpData);
    const size_t limit = data->cbData / sizeof(char16_t);
    size_t length = 0;
    while (length < limit && units[length] != u'\0')
        ++length;
    return FString(std::u16string_view(units, length));
}
