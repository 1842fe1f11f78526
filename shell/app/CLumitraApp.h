#pragma once
// The program's one application object and what every window and worker
// shares through it: the engine lock, the user's presets, the settings, the
// text and font tables, the caches of per-file settings, white-balance and
// colour-mode lists and shooting information, and the temporary colour
// profiles. Windows and workers reach it through the framework's application
// pointer (GetLumitraApp).
//
// Locks: the engine lock and the shooting-information and list locks keep the
// program's lock order (KVR_EngineLock.h: shooting information, then engine,
// then the lists); the image-settings lock, the settings lock and the
// temporary-profile lock guard only their own member for one call. The text
// and font tables are read-only once start-up has loaded them; the presets
// belong to the user-interface thread.

#include "foundation/FString.h"
#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxWin.h"
#include "shell/app/CAppSettings.h"
#include "shell/app/CImageSettingsCache.h"
#include "shell/app/CPresetList.h"
#include "shell/app/CTempProfileList.h"
#include "shell/app/TextTables.h"
#include "shell/facade/CKVR_Data_FileList.h"
#include "shell/facade/CTLM_Exif_Manager.h"
#include "shell/facade/KVR_EngineLock.h"
#include "toolkit/CET_GDIPlus.h"
#include "toolkit/TextTable.h"

#include <array>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class CET_ExifData;
class CFrameWnd;
class IClipboardBackend;
class KVRApplicationState;
namespace platform {
class InstanceLock;
}

// One entry of the font table: the table owns the font.
struct CFontItem {
    int m_nFontId = 0;
    CFont m_Font;
};

class CLumitraApp : public CWinApp, public ITextTable {
public:
    CLumitraApp();
    ~CLumitraApp() override;

    // ---- Start-up and shut-down (AppStartup.cpp)
    // The program's arguments after its name, read by InitInstance.
    void SetArguments(std::vector<std::string> arguments) { m_astrArguments = std::move(arguments); }
    BOOL InitInstance() override;
    int ExitInstance() override;
    // The splash window sees every message first.
    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL IsSecondInstance() const { return m_bSecondInstance; }
    // Commands: the about box, and the printer set-up (always enabled).
    void OnAppAbout();
    void OnFilePrintSetup();
    void OnUpdateFilePrintSetup(CCmdUI* cmdUI);

    // ---- Engine lock (timeout in ms: 0xFFFFFFFF waits for ever, 0 tries once)
    BOOL LockEngine(DWORD milliseconds);
    void UnlockEngine();

    // ---- Settings and services
    CAppSettings* GetSettings() { return &m_Settings; }
    CET_GDIPlus* GetGdiPlus() { return &m_GdiPlus; }
    std::array<int, 4> GetVersion() const { return m_anVersion; }

    // ---- Text and font tables
    // Found: the entry's text; its font when the entry names one the font
    // table holds and font is given (the table keeps owning it); its colour
    // when colour is given. Not found: FALSE and nothing changed.
    BOOL GetString(int id, std::u16string& text, CFont** font = nullptr, COLORREF* colour = nullptr) const;
    BOOL GetString(int id, FString& text, CFont** font = nullptr, COLORREF* colour = nullptr) const;
    // The toolkit's door to the same table.
    std::optional<TextTableEntry> Find(int id) const override;
    // FALSE, the table as it was, when the file cannot be read or holds fewer
    // than 2 bytes. A font line whose font cannot be created is dropped.
    BOOL LoadStringTable(const FString& path);
    BOOL LoadFontTable(const FString& path);
    void FreeStringTable();
    void FreeFontTable();

    // ---- Settings file (read once at start-up, written once at shut-down)
    BOOL ReadIniFile(const FString& path);
    BOOL WriteIniFile(const FString& path);

    // ---- Presets (user-interface thread)
    void SetPresetListener(IPresetListener* listener) { m_Presets.SetListener(listener); }
    BOOL SavePreset(const CKVR_FilterData* record, CWnd* sender) { return m_Presets.SavePreset(record, sender); }
    BOOL RemovePreset(const CKVR_FilterData* record) { return m_Presets.RemovePreset(record); }
    void CopyPresets(std::vector<std::unique_ptr<CKVR_FilterData>>* copies) const { m_Presets.CopyPresets(copies); }
    void ClearPresets() { m_Presets.ClearPresets(); }
    BOOL LoadPresetFile(const FString& path) { return m_Presets.LoadPresetFile(path); }
    BOOL SavePresetFile(const FString& path) { return m_Presets.SavePresetFile(path); }
    BOOL ImportPresets(const FString& path) { return m_Presets.ImportPresets(path); }
    BOOL ExportPresets(const FString& path) const { return m_Presets.ExportPresets(path); }
    const CPresetList& GetPresets() const { return m_Presets; }

    // ---- Shooting information of files (any thread)
    // The cached record of the file, read and cached on first demand, copied
    // into record; FALSE for a null record.
    BOOL GetExif(const FString& path, CTLM_Exif* record);
    // The cached record of the path takes the record's values.
    BOOL UpdateExif(const FString& path, const CTLM_Exif* record);
    // Forgets the file's record. Safe under the engine lock: when the cache is
    // busy the removal waits in a list that every later look-up applies first.
    void RemoveExif(const FString& path);
    void ClearExifCache();

    // ---- Adjustment settings last applied to a file (any thread)
    void SetImageSettings(const FString& path, const CET_FilterData* record);
    // A new copy, or null.
    std::unique_ptr<CET_FilterData> GetImageSettings(const FString& path);
    void RemoveImageSettings(const FString& path);

    // ---- A raw file's white-balance and colour-mode choices (any thread)
    // FALSE at once for a null list; otherwise the file's list, built from
    // the file on first demand and cached, is copied into the caller's.
    BOOL GetWBList(const FString& path, CKVR_Data_FileList<CKVR_WBData>* list);
    BOOL GetColorModeList(const FString& path, CKVR_Data_FileList<CKVR_CMData>* list);

    // ---- Colour profiles (any thread)
    FString GetColorSpaceProfilePath(int code) const;
    FString GetImageProfilePath(const FString& path, const CET_ExifData* items, int* code);
    FString FindTempProfile(const FString& path) const { return m_TempProfiles.FindTempProfile(path); }
    void DeleteTempProfiles() { m_TempProfiles.DeleteTempProfiles(); }

protected:
    // The main frame, loaded (not yet shown); null when it cannot be made. The
    // program's application object gives the browser's frame (app/), tests
    // frames of their own.
    virtual CFrameWnd* CreateMainFrame();
    // The browser shows the start path: a folder, or a file's folder with
    // the file opened.
    virtual void ShowStartPath(const FString& path);

    DECLARE_MESSAGE_MAP()

    // Members in construction order; destruction runs the other way.
    std::array<int, 4> m_anVersion{};
    KVROrderedLock m_WBListLock{kLockRankAdjustmentLists};
    KVROrderedLock m_CMListLock{kLockRankAdjustmentLists};
    KVROrderedLock m_ExifLock{kLockRankShootingInfo};
    CTLM_Exif_Manager m_ExifCache;
    std::mutex m_PendingExifLock; // guards m_aPendingExifRemovals alone
    std::vector<FString> m_aPendingExifRemovals;
    // The engine lock is the process's one (GetEngineLock), which the
    // development facade's own functions take as well.
    std::mutex m_ImageSettingsLock;
    CImageSettingsCache m_ImageSettings;
    // The single-instance lock (in place of the named mutex); null in a
    // second instance and after shut-down.
    std::unique_ptr<platform::InstanceLock> m_pInstanceLock;
    BOOL m_bSecondInstance = FALSE;
    CET_GDIPlus m_GdiPlus;
    CStringTable m_StringTable;
    std::vector<std::unique_ptr<CFontItem>> m_FontTable;
    std::vector<CFont*> m_FirstFont; // the first font of each font id, indexed by the id
    CPresetList m_Presets;
    CAppSettings m_Settings;
    CKVR_Data_FileListArray<CKVR_WBData> m_WBLists;
    CKVR_Data_FileListArray<CKVR_CMData> m_CMLists;
    CTempProfileList m_TempProfiles;

    // Start-up's progress, so that shut-down undoes only what was done: the
    // settings and preset files are written only when they were read.
    std::vector<std::string> m_astrArguments;
    bool m_bCoreStarted = false;
    bool m_bSettingsRead = false;
    std::unique_ptr<KVRApplicationState> m_pFacadeState;
    std::unique_ptr<IClipboardBackend> m_pClipboard;

private:
    void ApplyPendingExifRemovals();
};

// The core's start and stop: the manager pool's size, the storage classes and
// the image cache's size limit (and at the stop the manager pool). The core
// may be started again after a stop.
void StartCoreLibrary();
void StopCoreLibrary();

// The application object (null before it is constructed).
CLumitraApp* GetLumitraApp();

// The list fillers the application's list caches use (they read a raw file's
// white-balance or colour-mode choices).
CKVR_Data_FileListArray<CKVR_WBData>::Filler WhiteBalanceListFiller();
CKVR_Data_FileListArray<CKVR_CMData>::Filler ColorModeListFiller();
