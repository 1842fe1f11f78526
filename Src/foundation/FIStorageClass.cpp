#include "foundation/FIStorageClass.h"

#include <vector>

#include "foundation/FSCDiskWin.h"
#include "foundation/FSCFolderWin.h"

namespace {

// Filled at start and emptied at exit by the main thread; in between it is
// only read, so look-ups from any thread need no lock.
std::vector<FStorageClassEntry>& Registry()
{
    static std::vector<FStorageClassEntry> registry;
    return registry;
}

bool IsHexDigit(char16_t unit)
{
    return (unit >= u'0' && unit <= u'9') || (unit >= u'A' && unit <= u'F') || (unit >= u'a' && unit <= u'f');
}

int HexValue(char16_t unit)
{
    if (unit >= u'0' && unit <= u'9')
        return unit - u'0';
    if (unit >= u'A' && unit <= u'F')
        return unit - u'A' + 10;
    return unit - u'a' + 10;
}

bool IsEscapedCharacter(char16_t unit)
{
    switch (unit) {
    case u'*':
    case u'|':
    case u'\\':
    case u'/':
    case u':':
    case u'"':
    case u'<':
    case u'>':
    case u'?':
        return true;
    default:
        return false;
    }
}

void AppendEscape(std::u16string& out, char16_t unit)
{
    static const char16_t kDigits[] = u"0123456789ABCDEF";
    out += u'%';
    out += kDigits[(unit >> 12) & 0xF];
    out += kDigits[(unit >> 8) & 0xF];
    out += kDigits[(unit >> 4) & 0xF];
    out += kDigits[unit & 0xF];
}

} // namespace

// ---- Registry

void InitStorageClasses()
{
    // There are no critical-error dialogs to switch off here: an empty drive
    // simply fails to open.
    RegisterStorageClass(FString(u"disk"), new FSCDiskWin(FString(u"disk")));
}

void RegisterStorageClass(const FString& scheme, FIStorageClass* storageClass)
{
    FStorageClassEntry entry;
    entry.m_sScheme = scheme;
    entry.m_pClass.reset(storageClass);
    Registry().push_back(std::move(entry));
}

void ReleaseStorageClasses()
{
    Registry().clear();
    RemovePrivateTempFolder();
}

FIStorageClass* FindStorageClass(const FString& url, FString& path)
{
    FString scheme;
    FString rest;
    if (!url.Split(u"://", scheme, rest)) {
        scheme = url;
        rest.Empty();
    }
    for (const FStorageClassEntry& entry : Registry()) {
        if (entry.m_pClass && entry.m_sScheme == scheme) {
            path = rest;
            return entry.m_pClass.get();
        }
    }
    return nullptr;
}

void ListStorageClassSchemes(FArray<FString>& schemes)
{
    for (const FStorageClassEntry& entry : Registry()) {
        if (entry.m_pClass)
            schemes.Append(entry.m_sScheme);
    }
}

// ---- Routing

FIFile* OpenFileByURL(const FString& url, int flags)
{
    if (url.GetLength() == 0)
        return nullptr;
    FString path;
    FIStorageClass* storageClass = FindStorageClass(url, path);
    return storageClass ? storageClass->OpenFile(path, flags) : nullptr;
}

FIFolder* OpenFolderByURL(const FString& url, FString& name, bool create)
{
    if (url.GetLength() == 0) {
        name.Empty();
        return new FSCEnumFolder();
    }
    FString path;
    FIStorageClass* storageClass = FindStorageClass(url, path);
    return storageClass ? storageClass->OpenFolder(path, name, create) : nullptr;
}

bool URLToNativePath(const FString& url, FString& native)
{
    native.Empty();
    if (url.GetLength() == 0)
        return false;
    FString path;
    FIStorageClass* storageClass = FindStorageClass(url, path);
    return storageClass ? storageClass->ToNativePath(path, native) : false;
}

bool NativePathToURL(const FString& native, FString& url)
{
    for (const FStorageClassEntry& entry : Registry()) {
        FString path;
        if (entry.m_pClass && entry.m_pClass->FromNativePath(native, path)) {
            url = entry.m_sScheme;
            url += u"://";
            url += path;
            return true;
        }
    }
    return false;
}

FString GetSpecialFolderURL(int kind)
{
    for (const FStorageClassEntry& entry : Registry()) {
        FString url;
        if (entry.m_pClass && entry.m_pClass->GetSpecialFolderURL(kind, url))
            return url;
    }
    return FString();
}

void GetFileInfoByURL(const FString& url, FFileInfo& info)
{
    FFilePtr file(OpenFileByURL(url, FIFile::OPEN_READ));
    if (file)
        file->GetInfo(info);
}

bool SetFileInfoByURL(const FString& url, const FFileInfo& info)
{
    FFilePtr file(OpenFileByURL(url, FIFile::OPEN_READ));
    return file ? file->SetInfo(info) : false;
}

// ---- URL and path text

bool SplitURL(const FString& url, FArray<FString>& parts)
{
    parts.RemoveAll();
    FString scheme;
    FString rest;
    if (!url.Split(u"://", scheme, rest)) {
        parts.Append(url);
    } else {
        parts.Append(scheme);
        FArray<FString> pathParts;
        SplitPathParts(rest, pathParts, u'/');
        parts.AppendAll(pathParts);
    }
    for (int i = parts.GetCount() - 1; i >= 0; --i) {
        if (parts[i].GetLength() == 0)
            parts.RemoveAt(i);
    }
    return true;
}

bool JoinURL(const FArray<FString>& parts, FString& url, bool trailingSlash)
{
    url.Empty();
    if (parts.GetCount() == 0)
        return false;
    std::u16string text(parts[0].View());
    text += u"://";
    for (int i = 1; i < parts.GetCount(); ++i) {
        if (i > 1)
            text += u'/';
        text += parts[i].View();
    }
    if (trailingSlash)
        text += u'/';
    url = FString(std::u16string_view(text));
    return true;
}

void SplitPathParts(const FString& text, FArray<FString>& parts, char16_t separator)
{
    parts.RemoveAll();
    const std::u16string_view view = text.View();
    size_t start = 0;
    for (;;) {
        const size_t end = view.find(separator, start);
        if (end == std::u16string_view::npos) {
            if (start < view.size())
                parts.Append(FString(view.substr(start)));
            return;
        }
        parts.Append(FString(view.substr(start, end - start)));
        start = end + 1;
    }
}

void JoinPathParts(const FArray<FString>& parts, FString& text, char16_t separator)
{
    std::u16string joined;
    for (int i = 0; i < parts.GetCount(); ++i) {
        if (i > 0)
            joined += separator;
        joined += parts[i].View();
    }
    text = FString(std::u16string_view(joined));
}

void EncodeURLEscapes(const FString& part, FString& out)
{
    const std::u16string_view text = part.View();
    std::u16string encoded;
    encoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        // A '%' in front of a hexadecimal digit would be read back as an
        // escape, so it is escaped itself; any other '%' stands for itself.
        const bool ambiguousPercent = unit == u'%' && i + 1 < text.size() && IsHexDigit(text[i + 1]);
        if (IsEscapedCharacter(unit) || ambiguousPercent)
            AppendEscape(encoded, unit);
        else
            encoded += unit;
    }
    out = FString(std::u16string_view(encoded));
}

void DecodeURLEscapes(const FString& part, FString& out)
{
    const std::u16string_view text = part.View();
    std::u16string decoded;
    decoded.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const char16_t unit = text[i];
        // An escape needs four characters after the '%' and starts with a
        // hexadecimal digit; like a "%x" scan, the leading digits give the
        // value. Anything else is a plain '%'.
        if (unit == u'%' && text.size() - i > 4 && IsHexDigit(text[i + 1])) {
            unsigned value = 0;
            for (size_t k = 1; k <= 4 && IsHexDigit(text[i + k]); ++k)
                value = value * 16 + static_cast<unsigned>(HexValue(text[i + k]));
            decoded += static_cast<char16_t>(value);
            i += 5;
        } else {
            decoded += unit;
            ++i;
        }
    }
    out = FString(std::u16string_view(decoded));
}
