#include "shell/app/CAppSettings.h"

#include "foundation/FCLocale.h"
#include "foundation/FColorAdjust.h"
#include "shell/app/AppFiles.h"
#include "shell/app/PrivateProfile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

namespace {

constexpr const char* kGainSuffixes[] = {"R", "G", "B"};


// Leading blanks, an optional sign, then the digits up to the first other
// character; no digits read as 0. Values beyond the int range are clamped.
size_t SkipBlanks(std::u16string_view text)
{
    size_t at = 0;
    while (at < text.size() && (text[at] == u' ' || text[at] == u'\t'))
        ++at;
    return at;
}

int32_t ParseDecimal(const FString& text)
{
    const std::u16string_view view = text.View();
    size_t at = SkipBlanks(view);
    bool negative = false;
    if (at < view.size() && (view[at] == u'-' || view[at] == u'+'))
        negative = view[at++] == u'-';
    int64_t value = 0;
    for (; at < view.size() && view[at] >= u'0' && view[at] <= u'9'; ++at)
        value = std::min<int64_t>(value * 10 + (view[at] - u'0'), int64_t{1} << 32);
    value = negative ? -value : value;
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// Base 16: leading blanks, an optional "0x", then the hexadecimal digits up to
// the first other character; clamped to 32 bits.
uint32_t ParseHex(const FString& text)
{
    const std::u16string_view view = text.View();
    size_t at = SkipBlanks(view);
    if (view.substr(at, 2) == u"0x" || view.substr(at, 2) == u"0X")
        at += 2;
    uint64_t value = 0;
    for (; at < view.size(); ++at) {
        const int digit = HexDigitValue(view[at]);
        if (digit < 0)
            break;
        value = std::min<uint64_t>(value * 16 + static_cast<uint64_t>(digit), 0xFFFFFFFFull);
    }
    return static_cast<uint32_t>(value);
}

// A colour gain: a positive finite real, or 1.0 for anything else (a gain of 0
// would make an infinite density).
double ParseGain(const FString& text)
{
    FScopedCLocale cLocale;
    const std::string narrow(text.GetAscii());
    char* end = nullptr;
    const double gain = std::strtod(narrow.c_str(), &end);
    return end != narrow.c_str() && std::isfinite(gain) && gain > 0 ? gain : 1.0;
}

FString FormatNumber(const char* format, auto value)
{
    FScopedCLocale cLocale;
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return FString(text);
}

class SettingsReader {
public:
    SettingsReader(const CPrivateProfile& profile, const FString& defaultName, const LOGFONTW& defaultFont)
        : m_Profile(profile), m_DefaultName(defaultName), m_DefaultFont(defaultFont)
    {
    }

    void operator()(const char* section, const char* key, const char* def, int32_t& value)
    {
        value = ParseDecimal(Text(section, key, def));
    }
    void operator()(const char* section, const char* key, const char* def, FString& value)
    {
        value = Text(section, key, def);
    }
    void Byte(const char* section, const char* key, const char* def, uint8_t& value)
    {
        value = static_cast<uint8_t>(ParseDecimal(Text(section, key, def)) & 0xFF);
    }
    void Hex(const char* section, const char* key, const char* def, uint32_t& value)
    {
        value = ParseHex(Text(section, key, def));
    }
    void FilterMode(const char* section, const char* key, const char* def, int32_t& value)
    {
        value = ParseDecimal(Text(section, key, def));
        if (value < 1 || value > 4)
            value = 1;
    }
    void Gains(const char* section, const char* prefix, const char* def, CET_FilterData& record)
    {
        double gains[3];
        for (int i = 0; i < 3; ++i)
            gains[i] = ParseGain(Text(section, (std::string(prefix) + kGainSuffixes[i]).c_str(), def));
        ColorGainToCMY(gains[0], gains[1], gains[2], record.m_nCyan, record.m_nMagenta, record.m_nYellow);
        ClampStoredDensities(record);
    }
    void PresetName(const char* section, const char* key, FString& value)
    {
        value = m_Profile.GetString(section, key, m_DefaultName);
    }
    void Colour(const char* section, const char* key, const char* def, COLORREF& value)
    {
        value = static_cast<COLORREF>(ParseDecimal(Text(section, key, def)));
    }
    void Font(const char* section, const char* key, LOGFONTW& value)
    {
        if (m_Profile.GetStruct(section, key, &value, sizeof value))
            return;
        value = m_DefaultFont;
        value.lfQuality = ANTIALIASED_QUALITY;
        value.lfHeight = 100;
    }

private:
    FString Text(const char* section, const char* key, const char* def) const
    {
        return m_Profile.GetString(section, key, FString(def));
    }

    const CPrivateProfile& m_Profile;
    const FString& m_DefaultName;
    const LOGFONTW& m_DefaultFont;
};

class SettingsWriter {
public:
    explicit SettingsWriter(CPrivateProfile& profile) : m_Profile(profile) {}

    void operator()(const char* section, const char* key, const char*, int32_t& value)
    {
        m_Profile.WriteString(section, key, FormatNumber("%d", value));
    }
    void operator()(const char* section, const char* key, const char*, FString& value)
    {
        m_Profile.WriteString(section, key, value);
    }
    void Byte(const char* section, const char* key, const char*, uint8_t& value)
    {
        m_Profile.WriteString(section, key, FormatNumber("%d", static_cast<int>(value)));
    }
    void Hex(const char* section, const char* key, const char*, uint32_t& value)
    {
        m_Profile.WriteString(section, key, FormatNumber("0x%X", static_cast<unsigned>(value)));
    }
    void FilterMode(const char* section, const char* key, const char* def, int32_t& value)
    {
        (*this)(section, key, def, value);
    }
    void Gains(const char* section, const char* prefix, const char*, CET_FilterData& record)
    {
        double gains[3];
        CMYToColorGain(record.m_nCyan, record.m_nMagenta, record.m_nYellow, gains[0], gains[1], gains[2]);
        for (int i = 0; i < 3; ++i)
            m_Profile.WriteString(section, std::string(prefix) + kGainSuffixes[i], FormatNumber("%.6f", gains[i]));
    }
    void PresetName(const char* section, const char* key, FString& value) { m_Profile.WriteString(section, key, value); }
    void Colour(const char* section, const char* key, const char*, COLORREF& value)
    {
        m_Profile.WriteString(section, key, FormatNumber("%d", static_cast<int32_t>(value)));
    }
    void Font(const char* section, const char* key, LOGFONTW& value)
    {
        m_Profile.WriteStruct(section, key, &value, sizeof value);
    }

private:
    CPrivateProfile& m_Profile;
};

} // namespace

void ClampStoredDensities(CET_FilterData& record)
{
    for (int32_t* density : {&record.m_nCyan, &record.m_nMagenta, &record.m_nYellow})
        *density = std::clamp(*density, 0, kMaxStoredColorDensity);
}

void CAppSettings::ReadFrom(const CPrivateProfile& profile, const FString& defaultPresetName,
                            const LOGFONTW& defaultGuiFont)
{
    m_nInitialReviewMode = 1;
    SettingsReader reader(profile, defaultPresetName, defaultGuiFont);
    VisitKeys(reader);
}

void CAppSettings::WriteTo(CPrivateProfile& profile) const
{
    SettingsWriter writer(profile);
    // The writer only reads the members; the visit hands them out as references.
    const_cast<CAppSettings*>(this)->VisitKeys(writer);
}

bool CAppSettings::ReadFile(const FString& path, const FString& defaultPresetName, const LOGFONTW& defaultGuiFont)
{
    CAppSettingsLock lock(*this);
    std::string bytes;
    const AppFileRead result = ReadAppFile(path, bytes, CPrivateProfile::kMaxFileSize);
    m_bFileUnreadable = result == AppFileRead::kUnreadable;
    CPrivateProfile profile;
    if (result == AppFileRead::kRead)
        profile.Parse(bytes);
    ReadFrom(profile, defaultPresetName, defaultGuiFont);
    return !m_bFileUnreadable;
}

bool CAppSettings::WriteFile(const FString& path)
{
    CAppSettingsLock lock(*this);
    if (m_bFileUnreadable)
        return false;
    // What the file holds besides the program's keys stays.
    std::string bytes;
    if (ReadAppFile(path, bytes, CPrivateProfile::kMaxFileSize) == AppFileRead::kUnreadable)
        return false;
    CPrivateProfile profile;
    profile.Parse(bytes);
    WriteTo(profile);
    return WriteAppFileAtomically(path, profile.Serialize());
}
