#include "shell/facade/KVR_SettingXml.h"

#include "foundation/FCLocale.h"
#include "foundation/FColorAdjust.h"
#include "foundation/FValueTypes.h"
#include "shell/facade/CKVR_FilterData.h"

#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr size_t kLineCount = 5;

struct ToneAttribute {
    const char16_t* name;
    int32_t CKVR_FilterData::*field;
};

// In the order of the stored line ("Blackness" is the shadow adjustment).
constexpr ToneAttribute kToneAttributes[] = {
    {u"Blackness", &CKVR_FilterData::m_nShadow},     {u"Contrast", &CKVR_FilterData::m_nContrast},
    {u"Exposure", &CKVR_FilterData::m_nExposure},    {u"Highlight", &CKVR_FilterData::m_nHighlight},
    {u"Saturation", &CKVR_FilterData::m_nSaturation}, {u"Sharpness", &CKVR_FilterData::m_nSharpness},
    {u"FillLight", &CKVR_FilterData::m_nFillLight},
};

constexpr const char16_t* kGainAttributes[] = {u"ColorAdjustR", u"ColorAdjustG", u"ColorAdjustB"};

// The text after the element's name, where its attributes are searched.
std::optional<std::u16string_view> ElementBody(std::u16string_view line, std::u16string_view element)
{
    const size_t at = line.find(element);
    if (at == std::u16string_view::npos)
        return std::nullopt;
    return line.substr(at + element.size());
}

// The text between `name="` and the next double quote.
std::optional<std::u16string_view> AttributeValue(std::u16string_view body, std::u16string_view name)
{
    std::u16string opening(name);
    opening += u"=\"";
    const size_t at = body.find(opening);
    if (at == std::u16string_view::npos)
        return std::nullopt;
    const size_t start = at + opening.size();
    const size_t end = body.find(u'"', start);
    if (end == std::u16string_view::npos)
        return std::nullopt;
    return body.substr(start, end - start);
}

// The value of the element's attribute in the line.
std::optional<std::u16string_view> ElementAttribute(std::u16string_view line, std::u16string_view element,
                                                    std::u16string_view name)
{
    const auto body = ElementBody(line, element);
    return body ? AttributeValue(*body, name) : std::nullopt;
}

// Numbers are read as the C library reads them: leading blanks, a sign, the
// digits up to the first other character; no number gives 0.
std::string AsciiOf(std::u16string_view text)
{
    std::string ascii;
    for (const char16_t unit : text)
        ascii += unit < 0x80 ? static_cast<char>(unit) : '?';
    return ascii;
}

double NumberOf(std::u16string_view text)
{
    const FScopedCLocale cLocale;
    return std::strtod(AsciiOf(text).c_str(), nullptr);
}

int IntegerOf(std::u16string_view text)
{
    const long value = std::strtol(AsciiOf(text).c_str(), nullptr, 10);
    return value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : static_cast<int>(value);
}

FString NameWithoutLineBreaks(const FString& name)
{
    FString kept;
    for (const char16_t unit : name.View())
        if (unit != u'\n' && unit != u'\r')
            kept += unit;
    return kept;
}

bool ReadName(CKVR_FilterData& settings, std::u16string_view line)
{
    const auto name = ElementAttribute(line, u"<Setting", u"Name");
    if (!name)
        return false;
    settings.m_strName = FString(*name);
    return true;
}

bool ReadTone(CKVR_FilterData& settings, std::u16string_view line)
{
    const auto body = ElementBody(line, u"<Tone");
    if (!body)
        return false;
    for (const ToneAttribute& attribute : kToneAttributes) {
        const auto value = AttributeValue(*body, attribute.name);
        if (!value)
            return false;
        settings.*attribute.field = KVR_HundredthsOf(NumberOf(*value));
    }
    return true;
}

bool ReadColor(CKVR_FilterData& settings, std::u16string_view line)
{
    const auto body = ElementBody(line, u"<Color");
    if (!body)
        return false;
    double gains[3] = {};
    for (int i = 0; i < 3; ++i) {
        const auto value = AttributeValue(*body, kGainAttributes[i]);
        if (!value)
            return false;
        gains[i] = NumberOf(*value);
    }
    int cyan = 0, magenta = 0, yellow = 0;
    ColorGainToCMY(gains[0], gains[1], gains[2], cyan, magenta, yellow);
    settings.m_nCyan = cyan;
    settings.m_nMagenta = magenta;
    settings.m_nYellow = yellow;
    return true;
}

bool ReadWhiteBalance(CKVR_FilterData& settings, std::u16string_view line)
{
    const auto value = ElementAttribute(line, u"<WhiteBalance", u"WhiteBalance");
    if (!value)
        return false;
    settings.m_nWhiteBalance = IntegerOf(*value);
    return true;
}

} // namespace

int KVR_WriteSettingXml(std::vector<FString>* lines, const CKVR_FilterData* settings)
{
    if (!lines || !settings)
        return 0;
    lines->clear();
    FString first("<Setting Name=\"");
    first += NameWithoutLineBreaks(settings->m_strName);
    first += "\">";
    lines->push_back(first);

    FString tone;
    tone.Format("\t<Tone Blackness=\"%.2f\" Contrast=\"%.2f\" Exposure=\"%.2f\" Highlight=\"%.2f\" "
                "Saturation=\"%.2f\" Sharpness=\"%.2f\" FillLight=\"%.2f\"/>",
                settings->m_nShadow / 100.0, settings->m_nContrast / 100.0, settings->m_nExposure / 100.0,
                settings->m_nHighlight / 100.0, settings->m_nSaturation / 100.0, settings->m_nSharpness / 100.0,
                settings->m_nFillLight / 100.0);
    lines->push_back(tone);

    double red = 1.0, green = 1.0, blue = 1.0;
    CMYToColorGain(settings->m_nCyan, settings->m_nMagenta, settings->m_nYellow, red, green, blue);
    FString color;
    color.Format("\t<Color ColorAdjustR=\"%.6f\" ColorAdjustG=\"%.6f\" ColorAdjustB=\"%.6f\"/>", red, green, blue);
    lines->push_back(color);

    FString whiteBalance;
    whiteBalance.Format("\t<WhiteBalance WhiteBalance=\"%d\"/>", settings->m_nWhiteBalance);
    lines->push_back(whiteBalance);
    lines->push_back(FString("</Setting>"));
    return 1;
}

int KVR_ReadSettingXml(CKVR_FilterData* settings, const std::vector<FString>* lines)
{
    if (!settings || !lines || lines->size() != kLineCount)
        return 0;
    const std::vector<FString>& l = *lines;
    const bool parsed = ReadName(*settings, l[0].View()) && ReadTone(*settings, l[1].View()) &&
                        ReadColor(*settings, l[2].View()) && ReadWhiteBalance(*settings, l[3].View()) &&
                        l[4].View().find(u"</Setting>") != std::u16string_view::npos;
    return parsed ? 1 : 0;
}
