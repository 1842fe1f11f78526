#include "shell/app/CLumitraApp.h"

#include "platform/afx/AfxInstance.h"
#include "platform/win/WinGdi.h"
#include "shell/app/AppClipboard.h"
#include "shell/app/AppFiles.h"
#include "shell/facade/KVR_ApplicationState.h"
#include "shell/facade/KVR_FileSettings.h"

#include <algorithm>

namespace {

// The name of settings the user made: the default name of the custom raw settings.
constexpr int kCustomSettingsTextId = 105;

} // namespace

CKVR_Data_FileListArray<CKVR_WBData>::Filler WhiteBalanceListFiller()
{
    return [](const FString& path, CKVR_Data_FileList<CKVR_WBData>& list) {
        KVR_FillWhiteBalanceList(path.GetText(), &list);
    };
}

CKVR_Data_FileListArray<CKVR_CMData>::Filler ColorModeListFiller()
{
    return [](const FString& path, CKVR_Data_FileList<CKVR_CMData>& list) {
        KVR_FillColorModeList(path.GetText(), &list);
    };
}

CLumitraApp* GetLumitraApp()
{
    return dynamic_cast<CLumitraApp*>(AfxGetApp());
}

CLumitraApp::CLumitraApp()
    : CWinApp(u"Lumitra4"), m_WBLists(WhiteBalanceListFiller()), m_CMLists(ColorModeListFiller())
{
    SetTextTable(this);
}

CLumitraApp::~CLumitraApp()
{
    SetTextTable(nullptr);
    FreeFontTable();
}

// ---- Engine lock

BOOL CLumitraApp::LockEngine(DWORD milliseconds)
{
    return ::LockEngine(milliseconds) ? TRUE : FALSE;
}

void CLumitraApp::UnlockEngine()
{
    ::UnlockEngine();
}

// ---- Text and font tables

BOOL CLumitraApp::GetString(int id, std::u16string& text, CFont** font, COLORREF* colour) const
{
    const CStringItem* item = m_StringTable.Find(id);
    if (!item)
        return FALSE;
    text = item->m_strText;
    const size_t fontId = static_cast<size_t>(item->m_nFontId);
    if (font && fontId != 0 && fontId < m_FirstFont.size() && m_FirstFont[fontId])
        *font = m_FirstFont[fontId];
    if (colour)
        *colour = item->m_Color;
    return TRUE;
}

BOOL CLumitraApp::GetString(int id, FString& text, CFont** font, COLORREF* colour) const
{
    std::u16string found;
    if (!GetString(id, found, font, colour))
        return FALSE;
    text = FString(std::u16string_view(found));
    return TRUE;
}

std::optional<TextTableEntry> CLumitraApp::Find(int id) const
{
    TextTableEntry entry;
    COLORREF colour = 0;
    if (!GetString(id, entry.text, &entry.font, &colour))
        return std::nullopt;
    entry.colour = colour;
    return entry;
}

BOOL CLumitraApp::LoadStringTable(const FString& path)
{
    return m_StringTable.LoadFile(path) ? TRUE : FALSE;
}

BOOL CLumitraApp::LoadFontTable(const FString& path)
{
    std::string bytes;
    if (!ReadTextTableFile(path, bytes))
        return FALSE;
    FreeFontTable();
    ForEachFontTableLine(bytes, [this](const CFontDescription& font) {
        auto item = std::make_unique<CFontItem>();
        item->m_nFontId = font.m_nFontId;
        if (!item->m_Font.CreateFontIndirect(&font.m_LogFont))
            return;
        const size_t id = static_cast<size_t>(item->m_nFontId);
        if (id >= m_FirstFont.size())
            m_FirstFont.resize(id + 1, nullptr);
        if (!m_FirstFont[id])
            m_FirstFont[id] = &item->m_Font;
        m_FontTable.push_back(std::move(item));
    });
    return TRUE;
}

void CLumitraApp::FreeStringTable()
{
    m_StringTable.Free();
}

void CLumitraApp::FreeFontTable()
{
    m_FirstFont.clear();
    m_FontTable.clear();
}

// ---- Settings file

BOOL CLumitraApp::ReadIniFile(const FString& path)
{
    FString defaultName;
    GetString(kCustomSettingsTextId, defaultName);
    LOGFONTW guiFont{};
    GetObject(GetStockObject(DEFAULT_GUI_FONT), sizeof guiFont, &guiFont);
    m_Settings.ReadFile(path, defaultName, guiFont);
    return TRUE;
}

BOOL CLumitraApp::WriteIniFile(const FString& path)
{
    return m_Settings.WriteFile(path) ? TRUE : FALSE;
}

// ---- Shooting information

void CLumitraApp::ApplyPendingExifRemovals()
{
    std::vector<FString> removals;
    {
        std::lock_guard<std::mutex> lock(m_PendingExifLock);
        removals.swap(m_aPendingExifRemovals);
    }
    for (const FString& path : removals)
        m_ExifCache.Remove(path);
}

BOOL CLumitraApp::GetExif(const FString& path, CTLM_Exif* record)
{
    if (!record || !m_ExifLock.Lock(kKVRWaitForever))
        return FALSE;
    ApplyPendingExifRemovals();
    const CTLM_Exif* cached = m_ExifCache.FindOrCreate(path);
    if (cached)
        record->CopyFrom(cached);
    m_ExifLock.Unlock();
    return cached ? TRUE : FALSE;
}

BOOL CLumitraApp::UpdateExif(const FString& path, const CTLM_Exif* record)
{
    if (!m_ExifLock.Lock(kKVRWaitForever))
        return FALSE;
    ApplyPendingExifRemovals();
    m_ExifCache.Update(path, record);
    m_ExifLock.Unlock();
    return TRUE;
}

void CLumitraApp::RemoveExif(const FString& path)
{
    {
        std::lock_guard<std::mutex> lock(m_PendingExifLock);
        m_aPendingExifRemovals.push_back(path);
    }
    // The development facade removes records while its thread may hold the
    // engine lock, which a reader of the cache may be waiting for: only try.
    // A holder of the cache lock itself is inside a look-up, which must
    // not lose its record under it; the next look-up removes it.
    if (!m_ExifLock.IsHeldByCallingThread() && m_ExifLock.Lock(0)) {
        ApplyPendingExifRemovals();
        m_ExifLock.Unlock();
    }
}

void CLumitraApp::ClearExifCache()
{
    if (!m_ExifLock.Lock(kKVRWaitForever))
        return;
    ApplyPendingExifRemovals();
    m_ExifCache.RemoveAll();
    m_ExifLock.Unlock();
}

// ---- Image settings

void CLumitraApp::SetImageSettings(const FString& path, const CET_FilterData* record)
{
    std::lock_guard<std::mutex> lock(m_ImageSettingsLock);
    m_ImageSettings.Set(path, record);
}

std::unique_ptr<CET_FilterData> CLumitraApp::GetImageSettings(const FString& path)
{
    std::lock_guard<std::mutex> lock(m_ImageSettingsLock);
    return m_ImageSettings.Get(path);
}

void CLumitraApp::RemoveImageSettings(const FString& path)
{
    std::lock_guard<std::mutex> lock(m_ImageSettingsLock);
    m_ImageSettings.Remove(path);
}

// ---- White-balance and colour-mode lists

namespace {

template <class T>
BOOL CopyCachedList(KVROrderedLock& lock, CKVR_Data_FileListArray<T>& cache, const FString& path,
                    CKVR_Data_FileList<T>* list)
{
    if (!list || !lock.Lock(kKVRWaitForever))
        return FALSE;
    const CKVR_Data_FileList<T>* cached = cache.FindOrAdd(path);
    if (cached)
        list->CopyFrom(cached);
    lock.Unlock();
    return cached ? TRUE : FALSE;
}

} // namespace

BOOL CLumitraApp::GetWBList(const FString& path, CKVR_Data_FileList<CKVR_WBData>* list)
{
    return CopyCachedList(m_WBListLock, m_WBLists, path, list);
}

BOOL CLumitraApp::GetColorModeList(const FString& path, CKVR_Data_FileList<CKVR_CMData>* list)
{
    return CopyCachedList(m_CMListLock, m_CMLists, path, list);
}

// ---- Colour profiles

FString CLumitraApp::GetColorSpaceProfilePath(int code) const
{
    return ::GetColorSpaceProfilePath(code);
}

FString CLumitraApp::GetImageProfilePath(const FString& path, const CET_ExifData* items, int* code)
{
    return m_TempProfiles.GetImageProfilePath(path, items, code, m_Settings);
}
