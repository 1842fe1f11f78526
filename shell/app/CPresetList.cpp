#include "shell/app/CPresetList.h"

#include "foundation/FAssert.h"
#include "foundation/FPath.h"
#include "shell/app/AppFiles.h"
#include "shell/app/AppMessages.h"
#include "shell/app/PresetFile.h"

#include <fcntl.h>
#include <stdio.h>

#include <cerrno>
#include <string>

namespace {

// Reads and parses a preset file, handing each preset over; kMissing and
// kUnreadable as ReadAppFile gives them, kRead also for a malformed file
// (then parsed is false). A file too short to hold a byte-order mark has
// nothing to lose and counts as missing.
AppFileRead ReadPresets(const FString& path, bool& parsed,
                        const std::function<void(std::unique_ptr<CKVR_FilterData>)>& onPreset)
{
    std::string bytes;
    const AppFileRead result = ReadAppFile(path, bytes, kMaxPresetFileSize);
    if (result == AppFileRead::kRead && bytes.size() < 2) {
        parsed = false;
        return AppFileRead::kMissing;
    }
    parsed = result == AppFileRead::kRead && ParsePresetFileBytes(bytes, onPreset);
    return result;
}

} // namespace

const CKVR_FilterData* CPresetList::GetAt(int index) const
{
    return index >= 0 && index < GetCount() ? m_Presets[static_cast<size_t>(index)].get() : nullptr;
}

CKVR_FilterData* CPresetList::FindByName(const FString& name) const
{
    for (const auto& preset : m_Presets)
        if (preset->m_strName == name)
            return preset.get();
    return nullptr;
}

void CPresetList::Announce(UINT message, const CKVR_FilterData* preset, LPARAM lParam, bool toAdjustPalette) const
{
    if (!m_pListener)
        return;
    const WPARAM wParam = reinterpret_cast<WPARAM>(preset);
    m_pListener->BroadcastToReviewFrames(message, wParam, lParam);
    if (toAdjustPalette)
        m_pListener->SendToAdjustPalette(message, wParam, lParam);
}

BOOL CPresetList::SavePreset(const CKVR_FilterData* record, CWnd* sender)
{
    if (!record)
        return FALSE;
    ++m_nChanges;
    UINT message = WM_APP_PRESET_REPLACED;
    if (CKVR_FilterData* existing = FindByName(record->m_strName)) {
        existing->CopyFrom(record);
    } else {
        m_Presets.push_back(std::make_unique<CKVR_FilterData>(*record));
        message = WM_APP_PRESET_ADDED;
    }
    Announce(message, record, reinterpret_cast<LPARAM>(sender), false);
    return TRUE;
}

BOOL CPresetList::RemovePreset(const CKVR_FilterData* record)
{
    if (!record)
        return FALSE;
    for (auto it = m_Presets.begin(); it != m_Presets.end(); ++it) {
        if ((*it)->m_strName != record->m_strName)
            continue;
        std::unique_ptr<CKVR_FilterData> removed = std::move(*it);
        m_Presets.erase(it);
        ++m_nChanges;
        Announce(WM_APP_PRESET_REMOVED, removed.get(), 0, false);
        return TRUE;
    }
    return FALSE;
}

void CPresetList::CopyPresets(std::vector<std::unique_ptr<CKVR_FilterData>>* copies) const
{
    if (!copies)
        return;
    copies->clear();
    for (const auto& preset : m_Presets)
        copies->push_back(std::make_unique<CKVR_FilterData>(*preset));
}

void CPresetList::ClearPresets()
{
    m_Presets.clear();
}

BOOL CPresetList::LoadPresetFile(const FString& path)
{
    ClearPresets();
    m_strUnreadableFile.Empty();
    bool parsed = false;
    const AppFileRead result = ReadPresets(path, parsed, [this](std::unique_ptr<CKVR_FilterData> preset) {
        m_Presets.push_back(std::move(preset));
    });
    if (parsed)
        return TRUE;
    ClearPresets();
    if (result != AppFileRead::kMissing) {
        m_strUnreadableFile = path;
        m_nChangesAtFailedLoad = m_nChanges;
    }
    return FALSE;
}

FString CPresetList::FreeName(const FString& name) const
{
    FString candidate = name;
    for (int counter = 0; FindByName(candidate); ++counter) {
        candidate = name;
        FString number;
        number.Format("%d", counter);
        candidate += number;
    }
    return candidate;
}

BOOL CPresetList::ImportPresets(const FString& path)
{
    bool parsed = false;
    ReadPresets(path, parsed, [this](std::unique_ptr<CKVR_FilterData> preset) {
        preset->m_strName = FreeName(preset->m_strName);
        m_Presets.push_back(std::move(preset));
        ++m_nChanges;
        Announce(WM_APP_PRESET_ADDED, m_Presets.back().get(), 0, true);
    });
    return parsed ? TRUE : FALSE;
}

bool CPresetList::WriteFile(const FString& path) const
{
    std::vector<const CKVR_FilterData*> presets;
    for (const auto& preset : m_Presets)
        presets.push_back(preset.get());
    return WriteAppFileAtomically(path, WritePresetFileBytes(presets));
}

// Renames the file that failed to load to "<name>.unreadable" (or
// "<name>.unreadable.2", ... when taken), never over another file.
bool CPresetList::KeepUnreadableFile(const FString& path) const
{
    std::string from;
    if (!PathToNative(path, from))
        return false;
    for (int n = 1; n < 100; ++n) {
        std::string to = from + ".unreadable";
        if (n > 1)
            to += "." + std::to_string(n);
        if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
            return true;
        if (errno != EEXIST)
            return false;
    }
    return false;
}

BOOL CPresetList::SavePresetFile(const FString& path)
{
    if (m_strUnreadableFile.GetLength() > 0 && PathEquals(path, m_strUnreadableFile)) {
        if (m_nChanges == m_nChangesAtFailedLoad) {
            DebugPrintf("The preset file that could not be read is left as it is.\n");
            return FALSE;
        }
        if (!KeepUnreadableFile(path))
            return FALSE;
        m_strUnreadableFile.Empty();
    }
    return WriteFile(path) ? TRUE : FALSE;
}

BOOL CPresetList::ExportPresets(const FString& path) const
{
    return WriteFile(path) ? TRUE : FALSE;
}
