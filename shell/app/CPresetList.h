#pragma once
// The user's presets: named raw-development settings in the user's order,
// each record's name its key (names compare exactly, case included). The
// list belongs to the user-interface thread. Every change is announced to the
// open review windows, through the listener the main frame installs.

#include "foundation/FString.h"
#include "platform/win/WinTypes.h"
#include "shell/facade/CKVR_FilterData.h"

#include <memory>
#include <vector>

class CWnd;

// Where preset changes are announced.
class IPresetListener {
public:
    virtual ~IPresetListener() = default;
    // Sends the message, synchronously, to every open review window in list order.
    virtual void BroadcastToReviewFrames(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // Sends it to the adjustment palette when the palette is open.
    virtual void SendToAdjustPalette(UINT message, WPARAM wParam, LPARAM lParam) = 0;
};

class CPresetList {
public:
    CPresetList() = default;
    CPresetList(const CPresetList&) = delete;
    CPresetList& operator=(const CPresetList&) = delete;

    // Null: changes are not announced (until the main frame exists).
    void SetListener(IPresetListener* listener) { m_pListener = listener; }

    int GetCount() const { return static_cast<int>(m_Presets.size()); }
    // Null outside 0 .. count - 1.
    const CKVR_FilterData* GetAt(int index) const;

    // The preset of the record's name takes all its values (it keeps its
    // place) and WM_APP_PRESET_REPLACED is announced; without one, a copy is
    // appended and WM_APP_PRESET_ADDED is announced. Both with wParam = the
    // caller's record and lParam = the sender. FALSE only for a null record.
    BOOL SavePreset(const CKVR_FilterData* record, CWnd* sender);
    // Removes the first preset of the record's name, announces
    // WM_APP_PRESET_REMOVED with it, then deletes it. FALSE, nothing
    // announced, when no preset has that name.
    BOOL RemovePreset(const CKVR_FilterData* record);
    // Replaces what copies holds by new copies of all presets in order.
    void CopyPresets(std::vector<std::unique_ptr<CKVR_FilterData>>* copies) const;
    // Deletes every preset; nothing is announced.
    void ClearPresets();

    // Empties the list and reads the file's presets into it; nothing is
    // announced. FALSE, with an empty list, when the file is missing,
    // unreadable or malformed. A file that exists but failed to load is
    // remembered: SavePresetFile will not overwrite it while the list has not
    // changed, and keeps it under another name when it has.
    BOOL LoadPresetFile(const FString& path);
    // Writes all presets (atomically). FALSE when the file could not be
    // written, or when it is a file that failed to load (see above).
    BOOL SavePresetFile(const FString& path);
    // Appends every preset of the file, renamed with the suffix 0, 1, ... when
    // its name is taken, announcing each (WM_APP_PRESET_ADDED with lParam 0, to
    // the review windows and the adjustment palette). FALSE for a missing,
    // unreadable or malformed file; the presets read before the fault stay.
    BOOL ImportPresets(const FString& path);
    // Writes all presets to a file of the user's choice (atomically).
    BOOL ExportPresets(const FString& path) const;

private:
    CKVR_FilterData* FindByName(const FString& name) const;
    FString FreeName(const FString& name) const;
    void Announce(UINT message, const CKVR_FilterData* preset, LPARAM lParam, bool toAdjustPalette) const;
    bool WriteFile(const FString& path) const;
    bool KeepUnreadableFile(const FString& path) const;

    std::vector<std::unique_ptr<CKVR_FilterData>> m_Presets;
    IPresetListener* m_pListener = nullptr;
    // Changes since start (loads excluded), and the file that failed to load
    // with the count at that time.
    unsigned m_nChanges = 0;
    FString m_strUnreadableFile;
    unsigned m_nChangesAtFailedLoad = 0;
};
