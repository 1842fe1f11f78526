#include "shell/app/CLumitraApp.h"

#include "platform/win/WinGdi.h"
#include "shell/app/AppFiles.h"

namespace {

// The name of settings the user made: the default name of the custom raw settings.
constexpr int kCustomSettingsTextId = 105;

} // namespace

CKVR_Data_FileListArray<CKVR_WBData>::Filler WhiteBalanceListFiller()
{
    // To come with the facade's file settings: KVR_FillWhiteBalanceList. Until
    // then a file's list is cached empty.
    return {};
}

CKVR_Data_FileListArray<CKVR_CMData>::Filler ColorModeListFiller()
{
    // To come with the facade's file settings: KVR_FillColorModeList.
    return {};
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
