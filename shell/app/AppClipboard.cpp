#include "shell/app/AppClipboard.h"

#include "platform/afx/AfxWin.h"
#include "platform/win/WinClipboard.h"
#include "shell/app/AppMessages.h"

#include <cstring>
#include <map>
#include <mutex>

namespace {

// The process's own clipboard.
class ProcessClipboard : public IClipboardBackend {
public:
    bool Put(HWND, const Formats& formats) override
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_Data.clear();
        for (const auto& [format, data] : formats)
            m_Data[format] = data;
        return true;
    }
    bool Get(HWND, AppClipboardFormat format, std::vector<BYTE>& data) override
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        const auto found = m_Data.find(format);
        if (found == m_Data.end())
            return false;
        data = found->second;
        return true;
    }
    bool Has(AppClipboardFormat format) override
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        return m_Data.count(format) > 0;
    }

private:
    std::mutex m_Lock;
    std::map<AppClipboardFormat, std::vector<BYTE>> m_Data;
};

// The layer's clipboard, in the formats the desktop's file managers and text
// editors exchange.
class SystemClipboard : public IClipboardBackend {
public:
    bool Put(HWND owner, const Formats& formats) override
    {
        if (!OpenClipboard(owner))
            return false;
        EmptyClipboard();
        bool complete = true;
        for (const auto& [format, data] : formats) {
            HGLOBAL block = GlobalAlloc(GHND, data.size());
            void* bytes = block ? GlobalLock(block) : nullptr;
            if (!bytes) {
                complete = false;
                continue;
            }
            std::memcpy(bytes, data.data(), data.size());
            GlobalUnlock(block);
            if (!SetClipboardData(FormatNumber(format), block)) {
                GlobalFree(block);
                complete = false;
            }
        }
        CloseClipboard();
        return complete;
    }
    bool Get(HWND owner, AppClipboardFormat format, std::vector<BYTE>& data) override
    {
        if (!OpenClipboard(owner))
            return false;
        bool found = false;
        const HANDLE block = GetClipboardData(FormatNumber(format));
        if (const void* bytes = block ? GlobalLock(block) : nullptr) {
            const auto* first = static_cast<const BYTE*>(bytes);
            data.assign(first, first + GlobalSize(block));
            GlobalUnlock(block);
            found = true;
        }
        CloseClipboard();
        return found;
    }
    bool Has(AppClipboardFormat format) override { return IsClipboardFormatAvailable(FormatNumber(format)) != FALSE; }

private:
    static UINT FormatNumber(AppClipboardFormat format)
    {
        switch (format) {
        case AppClipboardFormat::kFileList:
            return CF_HDROP;
        case AppClipboardFormat::kPreferredDropEffect:
            return RegisterClipboardFormatW(u"Preferred DropEffect");
        case AppClipboardFormat::kUnicodeText:
            break;
        }
        return CF_UNICODETEXT;
    }
};

std::mutex g_BackendLock;
IClipboardBackend* g_pBackend = nullptr;

IClipboardBackend& Backend()
{
    static ProcessClipboard processClipboard;
    std::lock_guard<std::mutex> lock(g_BackendLock);
    return g_pBackend ? *g_pBackend : processClipboard;
}

} // namespace

void SetClipboardBackend(IClipboardBackend* backend)
{
    std::lock_guard<std::mutex> lock(g_BackendLock);
    g_pBackend = backend;
}

std::unique_ptr<IClipboardBackend> MakeSystemClipboardBackend()
{
    return std::make_unique<SystemClipboard>();
}

BOOL IsClipboardFileListAvailable()
{
    return Backend().Has(AppClipboardFormat::kFileList) ? TRUE : FALSE;
}

BOOL GetClipboardFileList(HWND owner, FArray<FString>* paths)
{
    std::vector<BYTE> block;
    if (!paths || !Backend().Get(owner, AppClipboardFormat::kFileList, block))
        return FALSE;
    return ReadClipboardFileList(block.data(), block.size(), *paths) ? TRUE : FALSE;
}

BOOL GetClipboardDropEffect(HWND owner, int* effect)
{
    std::vector<BYTE> block;
    DWORD value = 0;
    if (!effect || !Backend().Get(owner, AppClipboardFormat::kPreferredDropEffect, block) ||
        !ReadClipboardDropEffect(block.data(), block.size(), value))
        return FALSE;
    *effect = static_cast<int>(value);
    return TRUE;
}

void PutFilesOnClipboard(HWND owner, const FArray<FString>& paths, BOOL cut)
{
    Backend().Put(owner, {{AppClipboardFormat::kFileList, MakeClipboardFileList(paths)},
                          {AppClipboardFormat::kPreferredDropEffect,
                           MakeClipboardDropEffect(cut ? kDropEffectMove : kDropEffectCopy)}});
}

BOOL EmptyAppClipboard(HWND owner)
{
    return Backend().Put(owner, {}) ? TRUE : FALSE;
}

BOOL CopyTextToClipboard(const FString& text)
{
    if (text.GetLength() == 0)
        return FALSE;
    const CWnd* mainWindow = AfxGetMainWnd();
    const HWND owner = mainWindow ? mainWindow->GetSafeHwnd() : nullptr;
    return Backend().Put(owner, {{AppClipboardFormat::kUnicodeText, MakeClipboardText(text.View())}}) ? TRUE : FALSE;
}

BOOL SaveProgressCallback(int percent, void* dialog)
{
    const auto* progress = static_cast<const IThreadProgressDialog*>(dialog);
    const HWND window = progress ? progress->GetProgressWindow() : nullptr;
    if (!window)
        return TRUE;
    PostMessageW(window, WM_APP_THREAD_PROGRESS, static_cast<WPARAM>(percent), 0);
    return progress->IsCancelled() ? FALSE : TRUE;
}

int ThreadProgressCallback(int percent, void* dialog)
{
    return SaveProgressCallback(percent, dialog);
}
