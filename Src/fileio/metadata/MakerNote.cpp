#include "fileio/metadata/MakerNote.h"

#include "foundation/FCLocale.h"
#include "foundation/FPropTree.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

constexpr uint16_t kEntryCount = 25;

const char* ColorSpaceName(int32_t index)
{
    static const char* const kNames[] = {"Identity",       "LCD",        "sRGB",          "AdobeRGB(1998)",
                                         "AppleRGB",       "EbuRGB",     "Corbis RGB",    "SMPTE-C RGB",
                                         "Colormatch RGB", "WideGamut RGB", "BruceRGB",   "ROMM RGB"};
    return index >= 0 && index < 12 ? kNames[index] : "Unknown ColorSpace";
}

int32_t ColorSpaceIndex(const std::string& name)
{
    if (name == "Colormatch RGB") return 8;
    if (name == "AdobeRGB(1998)") return 3;
    if (name == "sRGB") return 2;
    if (name == "AppleRGB") return 4;
    if (name == "ROMM RGB") return 11;
    return 0;
}

const char* ColorModeName(uint32_t code)
{
    switch (code) {
    case 1: return "SEPIA";
    case 2: return "B&W";
    case 3: return "STANDARD";
    case 4: return "VIVID";
    case 5: return "NEUTRAL";
    case 6: return "PORTRAIT";
    case 7: return "LANDSCAPE";
    default: return "NORMAL";
    }
}

// A slider value as the note stores it: at most 63 characters.
std::string SliderText(const char* format, double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

struct SliderTag {
    uint16_t tag;
    const char* property;
    const char* format; // also the prefix the reader expects, up to its ':'
};

const SliderTag kSliders[] = {
    {12, "rpExposureCompensation", "Expo:%+4.1f"}, {13, "rpContrast", "Cont:%+4.1f"},
    {14, "rpShadow", "Shad:%+4.1f"},               {15, "rpHighlight", "High:%+4.1f"},
    {16, "rpSaturation", "Satu:%+4.1f"},           {17, "rpSharpness", "Shar:%+4.1f"},
    {18, "rpFillFlash", "Fill:%+4.1f"},            {26, "rpChromaNoise", "Chro:%+1.3f"},
    {27, "rpLumaNoise", "Luma:%+1.3f"},
};

const SliderTag* FindSlider(uint16_t tag)
{
    for (const SliderTag& slider : kSliders)
        if (slider.tag == tag)
            return &slider;
    return nullptr;
}

// Texts appended under their own property name.
struct PlainTag {
    uint16_t tag;
    const char* property;
};

const PlainTag kAppendedTexts[] = {
    {2, "CAMSERIAL"}, {3, "DRIVE"}, {4, "RESOLUTION"}, {5, "AFMODE"},     {6, "FOCUS"},
    {7, "WB_DESC"},   {8, "PMODE"}, {9, "AEMODE"},     {10, "LENSFRANGE"},
};
const PlainTag kReplacedTexts[] = {
    {21, "rpSettingMode"}, {23, "FIRMVERS"}, {24, "rpMNSoftware"}, {25, "BRACKET"},
};

template <size_t N>
const char* FindPlain(const PlainTag (&table)[N], uint16_t tag)
{
    for (const PlainTag& entry : table)
        if (entry.tag == tag)
            return entry.property;
    return nullptr;
}

// The texts of the 25 entries in tag order.
std::vector<std::pair<uint16_t, std::string>> MakerNoteTexts(const FPropTree& tree)
{
    std::vector<std::pair<uint16_t, std::string>> texts;
    for (const PlainTag& entry : kAppendedTexts)
        texts.emplace_back(entry.tag, ExifPropText(tree, entry.property, " "));
    texts.emplace_back(11, ColorSpaceName(ExifPropInt(tree, "rpColorSpace", 0)));
    for (const SliderTag& slider : kSliders)
        if (slider.tag <= 18)
            texts.emplace_back(slider.tag, SliderText(slider.format, ExifPropDouble(tree, slider.property, 0)));
    texts.emplace_back(20, "CC:" + ExifPropText(tree, "rpColorAdjust", " "));
    texts.emplace_back(21, ExifPropText(tree, "rpSettingMode", " "));
    std::string quality;
    if (ExifPropExists(tree, "rpQuality")) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "Qual:%2d",
                      static_cast<int>(static_cast<uint16_t>(ExifPropInt(tree, "rpQuality", 0))));
        quality = buffer;
    }
    texts.emplace_back(22, quality);
    texts.emplace_back(23, ExifPropText(tree, "FIRMVERS", " "));
    texts.emplace_back(24, ExifPropText(tree, "rpMNSoftware", " "));
    texts.emplace_back(25, ExifPropText(tree, "BRACKET", " "));
    for (const SliderTag& slider : kSliders)
        if (slider.tag >= 26)
            texts.emplace_back(slider.tag, SliderText(slider.format, ExifPropDouble(tree, slider.property, 0)));
    return texts;
}

// ---------------------------------------------------------------------------
// Reading

// The number after a fixed prefix, read like "prefix%f".
std::optional<float> ScanPrefixedFloat(const std::string& text, const char* prefix)
{
    const size_t n = std::strlen(prefix);
    if (text.compare(0, n, prefix) != 0)
        return std::nullopt;
    const char* start = text.c_str() + n;
    char* end = nullptr;
    const float value = std::strtof(start, &end);
    if (end == start)
        return std::nullopt;
    return value;
}

// The first whitespace-delimited word after a prefix, like "prefix%s".
std::optional<std::string> ScanPrefixedWord(const std::string& text, const char* prefix)
{
    const size_t n = std::strlen(prefix);
    if (text.compare(0, n, prefix) != 0)
        return std::nullopt;
    size_t begin = n;
    while (begin < text.size() && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    size_t end = begin;
    while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])))
        ++end;
    if (begin == end)
        return std::nullopt;
    return text.substr(begin, end - begin);
}

std::optional<int32_t> ScanPrefixedInt(const std::string& text, const char* prefix)
{
    const size_t n = std::strlen(prefix);
    if (text.compare(0, n, prefix) != 0)
        return std::nullopt;
    const char* start = text.c_str() + n;
    char* end = nullptr;
    const long value = std::strtol(start, &end, 10);
    if (end == start)
        return std::nullopt;
    return static_cast<int32_t>(
        std::clamp<long>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

void ApplyText(FPropTree& tree, uint16_t tag, const std::string& text)
{
    if (const char* property = FindPlain(kAppendedTexts, tag)) {
        ExifAddText(tree, property, text);
    } else if (const char* replaced = FindPlain(kReplacedTexts, tag)) {
        ExifSetText(tree, replaced, text);
    } else if (const SliderTag* slider = FindSlider(tag)) {
        const std::string prefix(slider->format, std::strchr(slider->format, ':') + 1);
        if (const auto value = ScanPrefixedFloat(text, prefix.c_str()))
            ExifSetDouble(tree, slider->property, *value);
    } else if (tag == 11) {
        ExifSetInt(tree, "rpColorSpace", ColorSpaceIndex(text));
    } else if (tag == 20) {
        ExifSetText(tree, "rpColorAdjust", ScanPrefixedWord(text, "CC:").value_or(std::string()));
    } else if (tag == 22) {
        // Written empty when the quality is unknown: then it stays unknown.
        if (const auto quality = ScanPrefixedInt(text, "Qual:"))
            ExifSetInt(tree, "rpQuality", *quality);
        else if (const auto word = ScanPrefixedWord(text, "Qual:"))
            ExifSetText(tree, "rpQuality", *word);
    } else {
        ExifDiagnostic("Unknown MakerNote tag %d\n", tag);
    }
}

// Reads the entry count, flipping the byte order once when the count only
// makes sense that way. Nothing when the note cannot be read.
std::optional<uint16_t> ReadEntryCount(FExifBlockReader& reader, size_t ifdPosition)
{
    uint16_t count = reader.U16(ifdPosition);
    if (count <= 255)
        return count;
    ExifDiagnostic("Illegally high tag count %d in MakerNote -- maybe wrong byte order\n", count);
    if ((count & 0xFF) != 0) {
        ExifDiagnostic("Bad tag count can not be fixed by byte order fix\n");
        return std::nullopt;
    }
    reader.SetBigEndian(!reader.BigEndian());
    count = reader.U16(ifdPosition);
    ExifDiagnostic("Swapped tag count %d in MakerNote\n", count);
    if (count > 255)
        return std::nullopt;
    return count;
}

// Values are read one after another right behind the IFD, whatever the stored
// offsets say; the stored offsets only tell whether the note is consistent.
class OffsetCheck {
public:
    explicit OffsetCheck(int64_t expected) : m_Expected(expected) {}

    int64_t Expected() const { return m_Expected; }
    void Advance(uint64_t byteCount) { m_Expected += static_cast<int64_t>(byteCount); }

    // False when the stored offsets contradict each other.
    bool Check(int64_t stored)
    {
        if (stored + 4 == m_Expected)
            m_Expected -= 4; // a note written without its next-IFD field
        if (stored != m_Expected) {
            ExifDiagnostic("Bad offset %lld in MakerNote should be %lld\n", static_cast<long long>(stored),
                           static_cast<long long>(m_Expected));
            if (m_bGood) {
                ExifDiagnostic("Initially good MakerNote offsets now seem bad %lld != %lld\n",
                               static_cast<long long>(stored), static_cast<long long>(m_Expected));
                return false;
            }
            const int64_t correction = m_Expected - stored;
            if (!m_bCorrecting) {
                m_bCorrecting = true;
                m_Correction = correction;
                ExifDiagnostic("Fixing to use MakerNote offset correction %lld = %lld - %lld\n",
                               static_cast<long long>(correction), static_cast<long long>(m_Expected),
                               static_cast<long long>(stored));
            } else if (correction != m_Correction) {
                ExifDiagnostic("Initial MakerNote offset correction not working out %lld != %lld - %lld\n",
                               static_cast<long long>(m_Correction), static_cast<long long>(m_Expected),
                               static_cast<long long>(stored));
                return false;
            }
            return true;
        }
        if (m_bCorrecting) {
            ExifDiagnostic("Initially bad offsets in MakerNote now seem good %lld\n", static_cast<long long>(stored));
            m_bCorrecting = false;
        }
        m_bGood = true;
        return true;
    }

private:
    int64_t m_Expected;
    int64_t m_Correction = 0;
    bool m_bCorrecting = false;
    bool m_bGood = false;
};

bool ValueFits(const FExifBlockReader& reader, int64_t blockOffset, uint64_t byteCount)
{
    if (reader.PositionOf(blockOffset, byteCount))
        return true;
    ExifDiagnostic("File seems to be truncated in MakerNote %lld + %llu > %lld + %zu\n",
                   static_cast<long long>(blockOffset), static_cast<unsigned long long>(byteCount),
                   static_cast<long long>(-reader.BasePosition()), reader.Length());
    return false;
}

bool ReadEntries(FExifBlockReader& reader, size_t ifdPosition, FPropTree& tree)
{
    if (!reader.Fits(int64_t(ifdPosition), 2))
        return false;
    const auto count = ReadEntryCount(reader, ifdPosition);
    if (!count)
        return false;
    OffsetCheck offsets(int64_t(ifdPosition) - reader.BasePosition() + 2 + 12 * int64_t(*count) + 4);
    for (uint16_t i = 0; i < *count; ++i) {
        const size_t entryPosition = ifdPosition + 2 + 12 * size_t(i);
        if (!reader.Fits(int64_t(entryPosition), 12)) {
            ExifDiagnostic("MakerNote entry %u of %u lies outside the data\n", i, *count);
            return false;
        }
        const FExifEntry entry = reader.Entry(entryPosition);
        if (entry.type > EXIF_DOUBLE)
            return false;
        size_t valuePosition = entry.fieldPosition;
        if (entry.byteCount > 4) {
            // A note whose stored offsets point outside the data is not
            // trusted, even though its values are read at the expected places.
            if (!ValueFits(reader, entry.valueField, entry.byteCount))
                return false;
            if (!offsets.Check(entry.valueField))
                return false;
            if (!ValueFits(reader, offsets.Expected(), entry.byteCount))
                return false;
            valuePosition = *reader.PositionOf(offsets.Expected(), entry.byteCount);
            offsets.Advance(entry.byteCount);
        }
        if (entry.type == EXIF_ASCII) {
            const auto text = reader.Text(entry, valuePosition);
            if (!text)
                return false;
            const bool bKnown = (entry.tag >= 2 && entry.tag <= 18) || (entry.tag >= 20 && entry.tag <= 27);
            if (bKnown)
                ApplyText(tree, entry.tag, *text);
            else
                ExifDiagnostic("Unknown MakerNote tag %d\n", entry.tag);
        } else if (entry.type == EXIF_LONG) {
            if (entry.tag == 44 && entry.count > 0)
                ExifAddText(tree, "CM_DESC", ColorModeName(reader.U32(valuePosition)));
            else
                ExifDiagnostic("Unknown MakerNote tag %d\n", entry.tag);
        } else {
            ExifDiagnostic("Bad item Format in MakerNote %d %d %llu\n", entry.tag, entry.type,
                           static_cast<unsigned long long>(entry.byteCount));
        }
    }
    return true;
}

} // namespace

void BuildMakerNote(FExifBlockWriter& writer, uint32_t position, const FPropTree& tree)
{
    FScopedCLocale cLocale;
    const bool bTalvo = ExifPropText(tree, "CAMMANUF", "") == "TALVO";
    writer.PutBytes(position, bTalvo ? "TALVO\0\0\0" : "PARDEX\0\0", 8);
    writer.PutU16(position + 8, 1);
    const uint32_t areaEnd = position + kMakerNoteValueAreaOffset + kMakerNoteValueAreaBytes;
    FExifIfdBuilder ifd(writer, position + kMakerNoteIfdOffset, kEntryCount, position + kMakerNoteValueAreaOffset);
    for (auto& [tag, text] : MakerNoteTexts(tree)) {
        const uint32_t room = areaEnd - ifd.Cursor();
        if (FExifIfdBuilder::AsciiValueBytes(text.size()) > room) {
            ExifDiagnostic("MakerNote text of tag %d cut to fit the value area\n", tag);
            text.resize(room >= 5 ? room - 1 : std::min<size_t>(text.size(), 3));
        }
        ifd.Ascii(tag, text);
    }
    ifd.Finish(0);
}

bool ParseMakerNote(const FExifBlockReader& reader, size_t ifdPosition, FPropTree& tree)
{
    FScopedCLocale cLocale;
    FExifBlockReader note = reader; // a flipped byte order stays with this note
    try {
        return ReadEntries(note, ifdPosition, tree);
    } catch (const FExifOverrun&) {
        ExifDiagnostic("MakerNote read outside the data\n");
        return false;
    }
}
