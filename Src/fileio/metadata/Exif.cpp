#include "fileio/metadata/Exif.h"

#include "fileio/metadata/MakerNote.h"
#include "foundation/FAssert.h"
#include "foundation/FCLocale.h"
#include "foundation/FException.h"
#include "foundation/FPropTree.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

namespace {

// ---------------------------------------------------------------------------
// Small helpers

std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatText(const char* format, ...)
{
    char buffer[512];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return n < 0 ? std::string() : std::string(buffer);
}

// Rounds half away from zero; nothing for values outside int.
std::optional<int32_t> RoundToInt(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double r = std::round(value);
    if (r < double(INT32_MIN) || r > double(INT32_MAX))
        return std::nullopt;
    return static_cast<int32_t>(r);
}

// Rounded or truncated values that go into 32-bit numerators are clamped:
// property texts are free-form and must not overflow an integer conversion.
int32_t ClampToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value <= double(INT32_MIN))
        return INT32_MIN;
    if (value >= double(INT32_MAX))
        return INT32_MAX;
    return static_cast<int32_t>(value);
}

int32_t RoundClamped(double value) { return ClampToInt(std::round(value)); }

// strtol with "%i" semantics (base prefix detection), clamped to int.
bool ScanInt(const char*& p, int base, int32_t& out)
{
    char* end = nullptr;
    const long v = std::strtol(p, &end, base);
    if (end == p)
        return false;
    p = end;
    out = static_cast<int32_t>(std::clamp<long>(v, INT32_MIN, INT32_MAX));
    return true;
}

void SkipSpaces(const char*& p)
{
    while (std::isspace(static_cast<unsigned char>(*p)))
        ++p;
}

// ---------------------------------------------------------------------------
// Dates

constexpr uint32_t kFallbackTime = 946728000; // 2000-01-01 12:00:00 UTC

int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day)
{
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yoe = year - era * 400;
    const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// ---------------------------------------------------------------------------
// Building: the values of the EXIF IFD

uint16_t ExposureProgramCode(const std::string& mode)
{
    if (mode == "M") return 1;
    if (mode == "P") return 2;
    if (mode == "A") return 3;
    if (mode == "S") return 4;
    return 0;
}

uint16_t MeteringModeCode(const std::string& mode)
{
    if (mode == "A") return 2;
    if (mode == "C") return 3;
    if (mode == "8") return 5;
    return 0;
}

void ExposureTimeRational(const std::string& text, int32_t& numerator, int32_t& denominator)
{
    numerator = 0;
    denominator = 1;
    if (text.find('.') != std::string::npos) {
        numerator = RoundClamped(std::atof(text.c_str()) * 10);
        denominator = 10;
        return;
    }
    const char* p = text.c_str();
    SkipSpaces(p);
    if (text.find('/') == std::string::npos) {
        ScanInt(p, 0, numerator);
        return;
    }
    int32_t n = 0;
    if (!ScanInt(p, 0, n))
        return;
    numerator = n;
    if (*p == '/') {
        ++p;
        SkipSpaces(p);
        int32_t d = 1;
        if (ScanInt(p, 0, d))
            denominator = d;
    }
}

int32_t MaxApertureTenths(const FPropTree& tree)
{
    if (!ExifPropExists(tree, "LENSARANGE"))
        return 0;
    const std::string range = ExifPropText(tree, "LENSARANGE", " ");
    double first = 0, second = 0;
    if (std::sscanf(range.c_str(), "%lf to %lf", &first, &second) != 2 || !(second > 1))
        return 0;
    const float lnB = std::log(static_cast<float>(second));
    return RoundClamped(2.0 * lnB / std::log(2.0) * 10);
}

void FocalLengthRational(double f, int32_t& numerator, int32_t& denominator)
{
    if (std::isfinite(f) && f == std::floor(f)) {
        numerator = ClampToInt(f);
        denominator = 1;
    } else {
        numerator = ClampToInt(std::trunc(f * 10));
        denominator = 10;
    }
}

uint16_t FocalLengthIn35mm(const FPropTree& tree)
{
    if (ExifPropExists(tree, "FLEQ35MM"))
        return static_cast<uint16_t>(ExifPropInt(tree, "FLEQ35MM", 0));
    if (ExifPropText(tree, "CAMMODEL", " ") == "TALVO HV7")
        return static_cast<uint16_t>(ClampToInt(std::trunc(ExifPropInt(tree, "FLENGTH", 0) * 1.7)));
    return 0;
}

std::string UniqueId(const FPropTree& tree)
{
    std::string id = ExifPropText(tree, "rpUniqueID", " ");
    id.resize(32, '0');
    return id;
}

// ---------------------------------------------------------------------------
// Parsing

constexpr int kMaxIfdDepth = 8;

struct ParseState {
    FExifBlockReader& reader;
    FPropTree& tree;
    std::set<size_t> visited;
};

bool ParseIfd(ParseState& state, size_t ifdPosition, int depth);

std::optional<std::string> ShutterText(double seconds, bool bBulbAbove60)
{
    if (!std::isfinite(seconds) || seconds <= 0)
        return std::nullopt;
    if (bBulbAbove60 && seconds > 60)
        return std::string("BULB");
    if (seconds >= 0.28 && seconds < 4)
        return FormatText("%.1f", seconds);
    if (seconds < 0.28) {
        const auto reciprocal = RoundToInt(1 / seconds);
        if (!reciprocal)
            return std::nullopt;
        return FormatText("1/%d", *reciprocal);
    }
    const auto whole = RoundToInt(seconds);
    if (!whole)
        return std::nullopt;
    return FormatText("%d", *whole);
}

const char* ExposureProgramName(int64_t code)
{
    static const char* const kNames[] = {"U", "M", "P", "A", "S", "C", "X", "I", "L"};
    return code >= 0 && code <= 8 ? kNames[code] : "U";
}

const char* MeteringModeName(int64_t code)
{
    switch (code) {
    case 2: return "A";
    case 3: return "S";
    case 5: return "8";
    case 6: return "C";
    default: return "U";
    }
}

int64_t ToInt64(double value)
{
    if (!std::isfinite(value))
        return 0;
    return static_cast<int64_t>(std::clamp(value, -9.0e18, 9.0e18));
}

bool IsIgnoredTag(uint16_t tag)
{
    static const uint16_t kIgnored[] = {274,   282,   283,   296,   513,   514,   531,   36864, 37121,
                                        37122, 37381, 37382, 37384, 37510, 40960, 40961, 41486, 41488,
                                        41495, 41728, 41985, 41986, 41987, 41989, 41990};
    return std::find(std::begin(kIgnored), std::end(kIgnored), tag) != std::end(kIgnored);
}

// Our own maker notes begin with "TALVO" or "PARDEX" and a zero byte; the
// version follows at 8 and the IFD at 10.
void ParseMakerNoteValue(ParseState& state, size_t valuePosition)
{
    FExifBlockReader& r = state.reader;
    auto hasId = [&](const char* id) {
        const size_t size = std::strlen(id) + 1;
        return r.Fits(int64_t(valuePosition), size) && std::memcmp(r.Bytes(valuePosition, size), id, size) == 0;
    };
    if (!hasId("TALVO") && !hasId("PARDEX"))
        return;
    const size_t ifdPosition = valuePosition + kMakerNoteIfdOffset;
    if (!r.Fits(int64_t(ifdPosition), 2))
        return;
    const uint16_t version = r.U16(valuePosition + 8);
    if (version != 1)
        ExifDiagnostic(" ---->>>> Bad MakerNote Version %d\n", version);
    ParseMakerNote(r, ifdPosition, state.tree);
}

void ParseSubIfd(ParseState& state, const FExifEntry& entry, int depth)
{
    FExifBlockReader& r = state.reader;
    const auto position = r.PositionOf(entry.valueField, 2);
    if (!position) {
        ExifDiagnostic("Exif sub-IFD offset %u lies outside the data\n", entry.valueField);
        return;
    }
    ParseIfd(state, *position, depth + 1);
}

// Returns false when the parse must stop.
bool ParseEntry(ParseState& state, const FExifEntry& entry, size_t valuePosition, int depth,
                std::optional<uint32_t>& original, std::optional<uint32_t>& digitized)
{
    FExifBlockReader& r = state.reader;
    FPropTree& tree = state.tree;
    std::string text;
    if (entry.type == EXIF_ASCII) {
        auto value = r.Text(entry, valuePosition);
        if (!value)
            return false;
        text = std::move(*value);
    }
    const bool bText = entry.type == EXIF_ASCII;
    const double v = bText ? 0.0 : r.Number(entry, valuePosition);

    switch (entry.tag) {
    case 271:
        if (bText) ExifAddText(tree, "CAMMANUF", text);
        break;
    case 272:
        if (bText) ExifAddText(tree, "CAMMODEL", text);
        break;
    case 305:
        if (bText) ExifAddText(tree, "rpSoftware", text);
        break;
    case 306:
        if (const uint32_t seconds = bText ? ExifTextToSeconds(text.c_str()) : 0)
            ExifSetInt(tree, "EXIF_DATETIME", static_cast<int32_t>(seconds));
        break;
    case 33434:
        if (const auto shutter = ShutterText(v, true))
            ExifAddText(tree, "SH_DESC", *shutter);
        break;
    case 33437:
        if (std::isfinite(v))
            ExifAddText(tree, "AP_DESC", FormatText("%.1f", v));
        break;
    case 34665:
    case 40965:
        ParseSubIfd(state, entry, depth);
        break;
    case 34850:
        ExifAddText(tree, "PMODE", ExposureProgramName(ToInt64(v)));
        break;
    case 34855: {
        const double iso = v < 50 ? v * 200 : v;
        if (std::isfinite(iso) && std::fabs(iso) < 2147483647.0)
            ExifAddText(tree, "ISO", FormatText("%d", static_cast<int>(iso)));
        break;
    }
    case 36867:
    case 36868: {
        const uint32_t seconds = bText ? ExifTextToSeconds(text.c_str()) : 0;
        const bool bOriginal = entry.tag == 36867;
        if (seconds)
            ExifSetInt(tree, bOriginal ? "EXIF_DATETIME_ORIGINAL" : "EXIF_DATETIME_DIGITIZED",
                       static_cast<int32_t>(seconds));
        (bOriginal ? original : digitized) = seconds;
        break;
    }
    case 37377:
        if (const auto shutter = ShutterText(std::pow(0.5f, static_cast<float>(v)), false))
            ExifAddText(tree, "SH_DESC", *shutter);
        break;
    case 37378: {
        const double fNumber = std::pow(2.0, v / 2);
        if (std::isfinite(fNumber))
            ExifAddText(tree, "AP_DESC", FormatText("%.1f", fNumber));
        break;
    }
    case 37380: {
        if (!std::isfinite(v))
            break;
        std::string bias = FormatText("%.1f", v);
        if (bias.find(".0") != std::string::npos)
            bias = FormatText("%.0f", v);
        ExifAddText(tree, "EXPCOMP", bias);
        ExifAddText(tree, "EXPNET", bias);
        break;
    }
    case 37383:
        ExifAddText(tree, "AEMODE", MeteringModeName(ToInt64(v)));
        break;
    case 37385: {
        const int64_t flash = ToInt64(v);
        ExifAddText(tree, "FLASH", !(flash & 1) ? "OFF" : (flash & 0x40) ? "REDEYE" : "ON");
        break;
    }
    case 37386: {
        const float f = static_cast<float>(v);
        if (std::isfinite(f))
            ExifAddText(tree, "FLENGTH", FormatText(f == std::floor(f) ? "%.0f" : "%.1f", f));
        break;
    }
    case 37500:
        ParseMakerNoteValue(state, valuePosition);
        break;
    case 40962:
        ExifAddText(tree, "COLS", FormatText("%lld", static_cast<long long>(ToInt64(v))));
        break;
    case 40963:
        ExifAddText(tree, "ROWS", FormatText("%lld", static_cast<long long>(ToInt64(v))));
        break;
    case 42016:
        if (bText) ExifAddText(tree, "rpUniqueID", text);
        break;
    default:
        if (!IsIgnoredTag(entry.tag))
            ExifDiagnostic("Unknown Exif tag %d\n", entry.tag);
        break;
    }
    return true;
}

bool ParseIfd(ParseState& state, size_t ifdPosition, int depth)
{
    FExifBlockReader& r = state.reader;
    if (depth > kMaxIfdDepth || !state.visited.insert(ifdPosition).second) {
        ExifDiagnostic("Exif IFD at %zu already read or nested too deep\n", ifdPosition);
        return false;
    }
    if (!r.Fits(int64_t(ifdPosition), 2))
        return false;
    const uint16_t count = r.U16(ifdPosition);
    std::optional<uint32_t> original, digitized;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t entryPosition = ifdPosition + 2 + 12 * size_t(i);
        if (!r.Fits(int64_t(entryPosition), 12)) {
            ExifDiagnostic("Exif IFD entry %u of %u lies outside the data\n", i, count);
            return false;
        }
        const FExifEntry entry = r.Entry(entryPosition);
        if (entry.type > EXIF_DOUBLE)
            return false;
        size_t valuePosition = entry.fieldPosition;
        if (entry.byteCount > 4) {
            const auto position = r.PositionOf(entry.valueField, entry.byteCount);
            if (!position) {
                ExifDiagnostic("File seems to be truncated in Exif %u + %llu > %lld + %zu\n", entry.valueField,
                               static_cast<unsigned long long>(entry.byteCount),
                               static_cast<long long>(-r.BasePosition()), r.Length());
                return false;
            }
            valuePosition = *position;
        }
        if (!ParseEntry(state, entry, valuePosition, depth, original, digitized))
            return false;
    }
    if (original)
        ExifSetInt(state.tree, "TIME", static_cast<int32_t>(*original));
    else if (digitized)
        ExifSetInt(state.tree, "TIME", static_cast<int32_t>(*digitized));
    return true;
}

} // namespace

// ---------------------------------------------------------------------------
// IFD plumbing

uint32_t ExifTypeSize(uint32_t type)
{
    static const uint8_t kSizes[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    return type < 13 ? kSizes[type] : 0;
}

namespace {

[[noreturn]] void ThrowWriteOutside(const char*) { throw FException("FExifBlockWriter: write outside the buffer"); }

} // namespace

FExifBlockWriter::FExifBlockWriter(uint8_t* pBuffer, size_t size) : m_Bytes(pBuffer, size, ThrowWriteOutside) {}

void FExifBlockWriter::PutEntryHeader(size_t position, uint16_t tag, uint16_t type, uint32_t count)
{
    PutU16(position, tag);
    PutU16(position + 2, type);
    PutU32(position + 4, count);
}

FExifIfdBuilder::FExifIfdBuilder(FExifBlockWriter& writer, uint32_t ifdPosition, uint16_t entryCount,
                                 uint32_t valuePosition)
    : m_Writer(writer), m_IfdPosition(ifdPosition), m_EntryCount(entryCount), m_ValueCursor(valuePosition)
{
    m_Writer.PutU16(ifdPosition, entryCount);
}

uint32_t FExifIfdBuilder::NextEntry()
{
    if (m_EntriesWritten >= m_EntryCount)
        throw FException("FExifIfdBuilder: more entries than declared");
    return m_IfdPosition + 2 + 12 * m_EntriesWritten++;
}

void FExifIfdBuilder::Short(uint16_t tag, uint16_t value)
{
    const uint32_t at = NextEntry();
    m_Writer.PutEntryHeader(at, tag, EXIF_SHORT, 1);
    m_Writer.PutU16(at + 8, value);
    m_Writer.PutU16(at + 10, 0);
}

void FExifIfdBuilder::Long(uint16_t tag, uint32_t value)
{
    const uint32_t at = NextEntry();
    m_Writer.PutEntryHeader(at, tag, EXIF_LONG, 1);
    m_Writer.PutU32(at + 8, value);
}

void FExifIfdBuilder::Undefined4(uint16_t tag, const uint8_t (&bytes)[4])
{
    const uint32_t at = NextEntry();
    m_Writer.PutEntryHeader(at, tag, EXIF_UNDEFINED, 4);
    m_Writer.PutBytes(at + 8, bytes, 4);
}

void FExifIfdBuilder::Undefined1(uint16_t tag, uint8_t value)
{
    const uint8_t bytes[4] = {value, 0, 0, 0};
    const uint32_t at = NextEntry();
    m_Writer.PutEntryHeader(at, tag, EXIF_UNDEFINED, 1);
    m_Writer.PutBytes(at + 8, bytes, 4);
}

void FExifIfdBuilder::Rational(uint16_t tag, uint16_t type, uint32_t numerator, uint32_t denominator)
{
    const uint32_t at = Reserve(tag, type, 1, 8);
    m_Writer.PutU32(at, numerator);
    m_Writer.PutU32(at + 4, denominator);
}

void FExifIfdBuilder::Ascii(uint16_t tag, const std::string& text)
{
    const uint32_t count = static_cast<uint32_t>(text.size() + 1);
    if (text.size() <= 3) {
        uint8_t bytes[4] = {0, 0, 0, 0};
        std::memcpy(bytes, text.data(), text.size());
        const uint32_t at = NextEntry();
        m_Writer.PutEntryHeader(at, tag, EXIF_ASCII, count);
        m_Writer.PutBytes(at + 8, bytes, 4);
        return;
    }
    const uint32_t at = Reserve(tag, EXIF_ASCII, count, count);
    m_Writer.PutBytes(at, text.c_str(), count);
}

uint32_t FExifIfdBuilder::Reserve(uint16_t tag, uint16_t type, uint32_t count, uint32_t byteCount)
{
    const uint32_t at = NextEntry();
    const uint32_t value = m_ValueCursor;
    m_Writer.PutEntryHeader(at, tag, type, count);
    m_Writer.PutU32(at + 8, value);
    m_ValueCursor += byteCount;
    return value;
}

void FExifIfdBuilder::Finish(uint32_t nextIfd)
{
    if (m_EntriesWritten != m_EntryCount)
        throw FException("FExifIfdBuilder: fewer entries than declared");
    m_Writer.PutU32(m_IfdPosition + 2 + 12 * size_t(m_EntryCount), nextIfd);
}

namespace {

[[noreturn]] void ThrowExifOverrun(const char*) { throw FExifOverrun{}; }

} // namespace

FExifBlockReader::FExifBlockReader(const uint8_t* pData, size_t length, int64_t basePosition, bool bBigEndian)
    : m_Reader(pData, length, ThrowExifOverrun), m_BasePosition(basePosition), m_bBigEndian(bBigEndian)
{
}

bool FExifBlockReader::Fits(int64_t position, uint64_t count) const
{
    return position >= 0 && FByteReader::Fits(m_Reader.Size(), uint64_t(position), count);
}

std::optional<size_t> FExifBlockReader::PositionOf(int64_t blockOffset, uint64_t count) const
{
    const int64_t position = m_BasePosition + blockOffset;
    if (!Fits(position, count))
        return std::nullopt;
    return static_cast<size_t>(position);
}

uint16_t FExifBlockReader::U16(size_t position)
{
    m_Reader.Seek(position);
    return m_Reader.U16(m_bBigEndian);
}

uint32_t FExifBlockReader::U32(size_t position)
{
    m_Reader.Seek(position);
    return m_Reader.U32(m_bBigEndian);
}

const uint8_t* FExifBlockReader::Bytes(size_t position, size_t count)
{
    m_Reader.Seek(position);
    return m_Reader.Take(count);
}

FExifEntry FExifBlockReader::Entry(size_t position)
{
    FExifEntry entry;
    m_Reader.Seek(position);
    entry.tag = m_Reader.U16(m_bBigEndian);
    entry.type = m_Reader.U16(m_bBigEndian);
    entry.count = m_Reader.U32(m_bBigEndian);
    entry.fieldPosition = m_Reader.Position();
    entry.valueField = m_Reader.U32(m_bBigEndian);
    entry.byteCount = uint64_t(entry.count) * ExifTypeSize(entry.type);
    return entry;
}

double FExifBlockReader::Number(const FExifEntry& entry, size_t valuePosition)
{
    const uint32_t size = ExifTypeSize(entry.type);
    if (size == 0 || entry.count == 0 || !Fits(int64_t(valuePosition), size))
        return 0.0;
    m_Reader.Seek(valuePosition);
    switch (entry.type) {
    case EXIF_BYTE: return m_Reader.U8();
    case EXIF_SBYTE: return static_cast<int8_t>(m_Reader.U8());
    case EXIF_SHORT: return m_Reader.U16(m_bBigEndian);
    case EXIF_SSHORT: return static_cast<int16_t>(m_Reader.U16(m_bBigEndian));
    case EXIF_LONG: return m_Reader.U32(m_bBigEndian);
    case EXIF_SLONG: return static_cast<int32_t>(m_Reader.U32(m_bBigEndian));
    case EXIF_RATIONAL:
    case EXIF_SRATIONAL: {
        const int32_t numerator = static_cast<int32_t>(m_Reader.U32(m_bBigEndian));
        const int32_t denominator = static_cast<int32_t>(m_Reader.U32(m_bBigEndian));
        return denominator == 0 ? 0.0 : double(numerator) / double(denominator);
    }
    case EXIF_FLOAT: {
        const uint32_t bits = m_Reader.U32LE();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    case EXIF_DOUBLE: {
        const uint64_t bits = m_Reader.U64LE();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    default: return 0.0;
    }
}

std::optional<std::string> FExifBlockReader::Text(const FExifEntry& entry, size_t valuePosition)
{
    if (entry.byteCount == 0)
        return std::string();
    if (!Fits(int64_t(valuePosition), entry.byteCount))
        return std::nullopt;
    const size_t size = static_cast<size_t>(entry.byteCount);
    const char* chars = reinterpret_cast<const char*>(Bytes(valuePosition, size));
    if (chars[size - 1] != 0)
        ExifDiagnostic("String in Exif not properly terminated %d %d %llu\n", entry.tag, 2,
                       static_cast<unsigned long long>(entry.byteCount));
    const void* zero = std::memchr(chars, 0, size);
    if (!zero)
        return std::nullopt;
    return std::string(chars, static_cast<const char*>(zero));
}

// ---------------------------------------------------------------------------
// Dates

uint32_t ExifTextToSeconds(const char* text)
{
    if (!text)
        return 0;
    int32_t fields[6];
    const char* p = text;
    static const char kSeparators[6] = {':', ':', ' ', ':', ':', 0};
    for (int i = 0; i < 6; ++i) {
        SkipSpaces(p);
        if (!ScanInt(p, 10, fields[i]))
            return 0;
        if (kSeparators[i] == ':') {
            if (*p != ':')
                return 0;
            ++p;
        }
    }
    const int64_t year = fields[0];
    if (year > 2105)
        return 0;
    // Month overflow rolls into the year, as the C library's normalisation does;
    // days, hours, minutes and seconds simply add up.
    const int64_t monthIndex = int64_t(fields[1]) - 1;
    const int64_t yearCarry = monthIndex >= 0 ? monthIndex / 12 : -((11 - monthIndex) / 12);
    const int64_t month = monthIndex - yearCarry * 12 + 1;
    const int64_t days = DaysFromCivil(year + yearCarry, month, 1) + int64_t(fields[2]) - 1;
    const int64_t seconds =
        days * 86400 + int64_t(fields[3]) * 3600 + int64_t(fields[4]) * 60 + int64_t(fields[5]);
    if (seconds < 0 || seconds > int64_t(UINT32_MAX))
        return 0;
    return static_cast<uint32_t>(seconds);
}

void ExifSecondsToTime(uint32_t seconds, bool bLocal, std::tm& out)
{
    auto convert = [&](std::time_t t) {
        return bLocal ? localtime_r(&t, &out) != nullptr : gmtime_r(&t, &out) != nullptr;
    };
    if (convert(static_cast<std::time_t>(seconds)) || convert(static_cast<std::time_t>(kFallbackTime)))
        return;
    throw FException("bad time");
}

std::string ExifTimeToText(const std::tm& time)
{
    return FormatText("%04d:%02d:%02d %02d:%02d:%02d", time.tm_year + 1900, time.tm_mon + 1, time.tm_mday,
                      time.tm_hour, time.tm_min, time.tm_sec);
}

std::string ExifSecondsToText(uint32_t seconds, bool bLocal)
{
    std::tm time{};
    ExifSecondsToTime(seconds, bLocal, time);
    return ExifTimeToText(time);
}

std::string ExifCurrentTimeText()
{
    const std::time_t now = std::time(nullptr);
    std::tm time{};
    if (!localtime_r(&now, &time))
        ExifSecondsToTime(kFallbackTime, true, time);
    return ExifTimeToText(time);
}

// ---------------------------------------------------------------------------
// BuildExif

uint32_t BuildExif(uint8_t* pBuffer, size_t bufferSize, uint32_t index, const FPropTree& tree, int32_t columns,
                   int32_t rows)
{
    if (!pBuffer || !FByteReader::Fits(bufferSize, index, kExifBlockBytes))
        throw FException("BuildExif: the EXIF block does not fit the buffer");
    FScopedCLocale cLocale;
    FExifBlockWriter writer(pBuffer, bufferSize);
    FExifIfdBuilder ifd(writer, index, kExifEntryCount, index + kExifIfdBytes);

    int32_t numerator = 0, denominator = 1;
    ExposureTimeRational(ExifPropText(tree, "SH_DESC", "1/1"), numerator, denominator);
    ifd.Rational(33434, EXIF_RATIONAL, uint32_t(numerator), uint32_t(denominator));
    ifd.Rational(33437, EXIF_RATIONAL, uint32_t(RoundClamped(ExifPropDouble(tree, "AP_DESC", 0) * 10)), 10);
    const std::string programMode = ExifPropText(tree, "PMODE", " ");
    ifd.Short(34850, ExposureProgramCode(programMode));
    ifd.Short(34855, static_cast<uint16_t>(ExifPropInt(tree, "ISO", 0)));
    ifd.Undefined4(36864, {'0', '2', '2', '0'});
    const uint32_t takenAt = static_cast<uint32_t>(ExifPropInt(tree, "TIME", 0));
    ifd.Ascii(36867, ExifSecondsToText(takenAt, false));
    ifd.Ascii(36868, ExifCurrentTimeText());
    ifd.Undefined4(37121, {1, 2, 3, 0});
    const int32_t sixths = RoundClamped(ExifPropDouble(tree, "EXPNET", 0) * 6);
    ifd.Rational(37380, EXIF_SRATIONAL, uint32_t(RoundClamped(sixths / 6.0 * 10)), 10);
    ifd.Rational(37381, EXIF_RATIONAL, uint32_t(MaxApertureTenths(tree)), 10);
    ifd.Short(37383, MeteringModeCode(ExifPropText(tree, "AEMODE", " ")));
    ifd.Short(37385, ExifPropText(tree, "FLASH", "OFF") == "OFF" ? 0 : 1);
    FocalLengthRational(ExifPropDouble(tree, "FLENGTH", 0), numerator, denominator);
    ifd.Rational(37386, EXIF_RATIONAL, uint32_t(numerator), uint32_t(denominator));
    // The entry declares the note's customary 512 bytes; the note itself takes 828.
    const uint32_t makerNote = ifd.Reserve(37500, EXIF_UNDEFINED, kMakerNoteValueAreaBytes, kMakerNoteBytes);
    BuildMakerNote(writer, makerNote, tree);
    ifd.Undefined4(40960, {'0', '1', '0', '0'});
    ifd.Short(40961, ExifPropInt(tree, "rpColorSpace", 0) == 2 ? 1 : 0xFFFF);
    ifd.Long(40962, static_cast<uint32_t>(columns));
    ifd.Long(40963, static_cast<uint32_t>(rows));
    ifd.Short(41495, 2);
    ifd.Undefined1(41728, 3);
    ifd.Short(41985, 1);
    ifd.Short(41986, ExifPropExists(tree, "BRACKET") ? 2 : programMode == "M" ? 1 : 0);
    ifd.Short(41987, ExifPropText(tree, "WB_DESC", " ") == "Auto" ? 0 : 1);
    ifd.Short(41989, FocalLengthIn35mm(tree));
    ifd.Short(41990, 0);
    ifd.Ascii(42016, UniqueId(tree));
    ifd.Finish(0);
    FASSERT(ifd.Cursor() == index + kExifBlockBytes);
    return ifd.Cursor();
}

// ---------------------------------------------------------------------------
// ParseExif

bool ParseExif(const uint8_t* pData, size_t length, size_t ifdPosition, int64_t basePosition, bool bBigEndian,
               FPropTree& tree)
{
    FScopedCLocale cLocale;
    FExifBlockReader reader(pData, length, basePosition, bBigEndian);
    ParseState state{reader, tree, {}};
    try {
        return ParseIfd(state, ifdPosition, 0);
    } catch (const FExifOverrun&) {
        ExifDiagnostic("Exif read outside the data\n");
        return false;
    }
}

// ---------------------------------------------------------------------------
// The APP1 block of a JPEG file

namespace {

constexpr uint32_t kApp1TiffHeader = 6;       // identifier "Exif\0\0" or "Jfif\0\0" in front
constexpr uint16_t kIfd0Entries = 10;
constexpr uint16_t kIfd1Entries = 7;
constexpr uint32_t kIfd0Offset = 8;           // TIFF offsets from here on
constexpr uint32_t kIfd1Offset = kIfd0Offset + 2 + kIfd0Entries * 12 + 4;
constexpr uint32_t kValuesWithoutThumbnail = kIfd1Offset;
constexpr uint32_t kValuesWithThumbnail = kIfd1Offset + 2 + kIfd1Entries * 12 + 4;

struct App1Texts {
    std::string make, model, software;
};

size_t App1Length(const App1Texts& texts, size_t thumbnailBytes, bool bThumbnail)
{
    size_t length = kApp1TiffHeader + (bThumbnail ? kValuesWithThumbnail : kValuesWithoutThumbnail);
    length += FExifIfdBuilder::AsciiValueBytes(texts.make.size());
    length += FExifIfdBuilder::AsciiValueBytes(texts.model.size());
    length += FExifIfdBuilder::AsciiValueBytes(texts.software.size());
    length += 2 * 8 + 20; // resolutions, date
    if (bThumbnail)
        length += thumbnailBytes + 2 * 8;
    return length + kExifBlockBytes;
}

// Cuts the longest of the texts until the block fits one marker.
void CutTextsToFit(App1Texts& texts)
{
    for (;;) {
        const size_t length = App1Length(texts, 0, false);
        if (length <= kExifApp1MaxBytes)
            return;
        std::string* longest = &texts.make;
        for (std::string* t : {&texts.model, &texts.software})
            if (t->size() > longest->size())
                longest = t;
        const size_t excess = length - kExifApp1MaxBytes;
        longest->resize(longest->size() - std::min(excess, longest->size()));
    }
}

} // namespace

std::vector<uint8_t> BuildExifApp1Block(const FPropTree& tree, int32_t columns, int32_t rows,
                                        const std::vector<uint8_t>& thumbnailJpeg, bool bExifIdentifier)
{
    App1Texts texts{ExifPropText(tree, "CAMMANUF", " "), ExifPropText(tree, "CAMMODEL", " "),
                    ExifPropText(tree, "rpSoftware", " ")};
    bool bThumbnail = !thumbnailJpeg.empty();
    if (bThumbnail && App1Length(texts, thumbnailJpeg.size(), true) > kExifApp1MaxBytes) {
        ExifDiagnostic("EXIF thumbnail of %zu bytes left out: the block would exceed one marker\n",
                       thumbnailJpeg.size());
        bThumbnail = false;
    }
    if (!bThumbnail)
        CutTextsToFit(texts);
    const size_t length = App1Length(texts, thumbnailJpeg.size(), bThumbnail);

    std::vector<uint8_t> block(length, 0xFF);
    std::memcpy(block.data(), bExifIdentifier ? "Exif\0\0" : "Jfif\0\0", kApp1TiffHeader);
    uint8_t* tiff = block.data() + kApp1TiffHeader;
    FExifBlockWriter writer(tiff, block.size() - kApp1TiffHeader);
    writer.PutBytes(0, "II", 2);
    writer.PutU16(2, 42);
    writer.PutU32(4, kIfd0Offset);

    FExifIfdBuilder ifd0(writer, kIfd0Offset, kIfd0Entries,
                         bThumbnail ? kValuesWithThumbnail : kValuesWithoutThumbnail);
    ifd0.Ascii(271, texts.make);
    ifd0.Ascii(272, texts.model);
    ifd0.Short(274, 1);
    ifd0.Rational(282, EXIF_RATIONAL, 180, 1);
    ifd0.Rational(283, EXIF_RATIONAL, 180, 1);
    ifd0.Short(296, 2);
    ifd0.Ascii(305, texts.software);
    ifd0.Ascii(306, ExifCurrentTimeText());
    ifd0.Short(531, 2);
    uint32_t cursor = ifd0.Cursor();
    uint32_t exifIfd = cursor;
    if (bThumbnail) {
        const uint32_t thumbnailAt = cursor;
        const uint32_t thumbnailBytes = static_cast<uint32_t>(thumbnailJpeg.size());
        writer.PutBytes(thumbnailAt, thumbnailJpeg.data(), thumbnailBytes);
        FExifIfdBuilder ifd1(writer, kIfd1Offset, kIfd1Entries, thumbnailAt + thumbnailBytes);
        ifd1.Short(259, 6);
        ifd1.Rational(282, EXIF_RATIONAL, 180, 1);
        ifd1.Rational(283, EXIF_RATIONAL, 180, 1);
        ifd1.Short(296, 2);
        ifd1.Long(513, thumbnailAt);
        ifd1.Long(514, thumbnailBytes);
        ifd1.Short(531, 2);
        ifd1.Finish(0);
        exifIfd = ifd1.Cursor();
    }
    ifd0.Long(34665, exifIfd);
    ifd0.Finish(bThumbnail ? kIfd1Offset : 0);
    const uint32_t end = BuildExif(tiff, writer.Size(), exifIfd, tree, columns, rows);
    FASSERT(end + kApp1TiffHeader == block.size());
    return block;
}

// ---------------------------------------------------------------------------
// Properties and diagnostics

bool ExifPropExists(const FPropTree& tree, const char* key)
{
    return tree.FindPair(FString(key)) != nullptr;
}

std::string ExifPropText(const FPropTree& tree, const char* key, const char* defaultText)
{
    const FString fallback(defaultText);
    const FString* value = tree.GetValue(FString(key), &fallback, nullptr);
    return value ? std::string(value->GetAscii()) : std::string(defaultText);
}

int32_t ExifPropInt(const FPropTree& tree, const char* key, int32_t defaultValue)
{
    return tree.GetInt(FString(key), defaultValue, nullptr);
}

double ExifPropDouble(const FPropTree& tree, const char* key, double defaultValue)
{
    return tree.GetDouble(FString(key), defaultValue, nullptr);
}

void ExifAddText(FPropTree& tree, const char* key, const std::string& text) { tree.AddPair(key, text.c_str()); }

void ExifSetText(FPropTree& tree, const char* key, const std::string& text)
{
    tree.SetValue(FString(key), FString(text.c_str()));
}

void ExifSetInt(FPropTree& tree, const char* key, int32_t value) { tree.SetInt(FString(key), value); }

void ExifSetDouble(FPropTree& tree, const char* key, double value) { tree.SetDouble(FString(key), value); }

void ExifDiagnostic(const char* format, ...)
{
    char buffer[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    DebugPrintf("%s", buffer);
}
