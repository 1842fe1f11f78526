#include "fileio/metadata/Exif.h"
#include "fileio/metadata/MakerNote.h"
#include "foundation/FPropTree.h"
#include "support/ExifBytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

using testsupport::ExifBytes;
using testsupport::ExifRawEntry;

namespace {

std::string Prop(const FPropTree& tree, const char* key)
{
    const FString* value = tree.GetValue(FString(key), nullptr);
    return value ? value->GetAscii() : "<absent>";
}

uint16_t U16LE(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32LE(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// The maker note's position inside a block built at index 0.
constexpr size_t kNoteAt = 398;

std::vector<uint8_t> BuildBlock(const FPropTree& tree)
{
    std::vector<uint8_t> buffer(65535, 0xFF);
    BuildExif(buffer.data(), buffer.size(), 0, tree, 10, 10);
    return buffer;
}

TEST(MakerNoteTest, IdentifierFollowsTheMake)
{
    struct Case {
        const char* make;
        const char* id;
    };
    for (const Case& c : {Case{"TALVO", "TALVO\0\0\0"}, Case{"Talvo", "PARDEX\0\0"}, Case{"TALVO ", "PARDEX\0\0"},
                          Case{nullptr, "PARDEX\0\0"}}) {
        FPropTree tree(nullptr, "props");
        if (c.make)
            tree.AddPair("CAMMANUF", c.make);
        tree.AddPair("CAMSERIAL", "SN0001");
        const std::vector<uint8_t> block = BuildBlock(tree);
        EXPECT_EQ(std::memcmp(&block[kNoteAt], c.id, 8), 0) << (c.make ? c.make : "(none)");
        EXPECT_EQ(U16LE(&block[kNoteAt + 8]), 1);
        EXPECT_EQ(U16LE(&block[kNoteAt + 10]), 25);
        // Tag 2's text is the first value: 316 bytes after the note's start.
        EXPECT_EQ(U16LE(&block[kNoteAt + 12]), 2);
        EXPECT_EQ(U32LE(&block[kNoteAt + 12 + 8]), kNoteAt + 316);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&block[kNoteAt + 316])), "SN0001");
        EXPECT_EQ(U32LE(&block[kNoteAt + 312]), 0u);
    }
}

// Every entry of a written note: ASCII, in tag order, texts of up to 3
// characters inside the entry, longer ones one after the other from byte 316.
TEST(MakerNoteTest, WrittenLayoutOfEveryEntry)
{
    FPropTree tree(nullptr, "props");
    const std::pair<const char*, const char*> pairs[] = {
        {"CAMMANUF", "TALVO"},    {"CAMSERIAL", "SN0001"},  {"DRIVE", "S"},          {"RESOLUTION", "HI"},
        {"AFMODE", "AF-S"},       {"FOCUS", "CENTER"},      {"WB_DESC", "Daylight"}, {"PMODE", "P"},
        {"AEMODE", "A"},          {"LENSFRANGE", "17 to 70"}, {"rpColorSpace", "11"},
        {"rpExposureCompensation", "0.7"}, {"rpContrast", "-1.5"}, {"rpHighlight", "12.5"},
        {"rpFillFlash", "2"},     {"rpColorAdjust", "+5Y"}, {"rpQuality", "7"},      {"FIRMVERS", "1.2.0.3"},
        {"rpChromaNoise", "0.25"},
    };
    for (const auto& [key, value] : pairs)
        tree.AddPair(key, value);
    const std::vector<uint8_t> block = BuildBlock(tree);

    const std::pair<uint16_t, std::string> expected[] = {
        {2, "SN0001"},      {3, "S"},          {4, "HI"},          {5, "AF-S"},        {6, "CENTER"},
        {7, "Daylight"},    {8, "P"},          {9, "A"},           {10, "17 to 70"},   {11, "ROMM RGB"},
        {12, "Expo:+0.7"},  {13, "Cont:-1.5"}, {14, "Shad:+0.0"},  {15, "High:+12.5"}, {16, "Satu:+0.0"},
        {17, "Shar:+0.0"},  {18, "Fill:+2.0"}, {20, "CC:+5Y"},     {21, " "},          {22, "Qual: 7"},
        {23, "1.2.0.3"},    {24, " "},         {25, " "},          {26, "Chro:+0.250"}, {27, "Luma:+0.000"},
    };
    ASSERT_EQ(U16LE(&block[kNoteAt + 10]), std::size(expected));
    size_t cursor = kNoteAt + 316;
    for (size_t i = 0; i < std::size(expected); ++i) {
        const auto& [tag, text] = expected[i];
        const uint8_t* e = &block[kNoteAt + 12 + 12 * i];
        EXPECT_EQ(U16LE(e), tag) << i;
        EXPECT_EQ(U16LE(e + 2), 2) << tag;
        EXPECT_EQ(U32LE(e + 4), text.size() + 1) << tag;
        const uint8_t* value = e + 8;
        if (text.size() > 3) {
            EXPECT_EQ(U32LE(e + 8), cursor) << tag;
            value = &block[cursor];
            cursor += text.size() + 1;
        } else {
            for (size_t k = text.size(); k < 4; ++k)
                EXPECT_EQ(e[8 + k], 0) << tag;
        }
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(value), text.size() + 1), std::string(text.c_str(), text.size() + 1))
            << tag;
    }
    // The unused rest of the value area keeps the caller's fill.
    EXPECT_EQ(block[cursor], 0xFF);
    EXPECT_EQ(block[kNoteAt + 827], 0xFF);
}

TEST(MakerNoteTest, SettingsRoundTripThroughTheExifBlock)
{
    FPropTree tree(nullptr, "props");
    const std::pair<const char*, const char*> pairs[] = {
        {"CAMSERIAL", "SN0001"}, {"DRIVE", "SINGLE"},    {"RESOLUTION", "HI"},      {"AFMODE", "AF-S"},
        {"FOCUS", "CENTER"},     {"WB_DESC", "Daylight"}, {"PMODE", "P"},           {"AEMODE", "A"},
        {"LENSFRANGE", "17 to 70"}, {"rpColorSpace", "3"}, {"rpExposureCompensation", "0.7"},
        {"rpContrast", "-1.5"},  {"rpFillFlash", "2"},    {"rpColorAdjust", "+5Y-3M"}, {"rpSettingMode", "CUSTOM"},
        {"rpQuality", "95"},     {"FIRMVERS", "1.2.0.3"}, {"rpMNSoftware", "Lumitra"}, {"BRACKET", "1/3"},
        {"rpChromaNoise", "0.25"}, {"rpLumaNoise", "-0.125"},
    };
    for (const auto& [key, value] : pairs)
        tree.AddPair(key, value);
    const std::vector<uint8_t> block = BuildBlock(tree);

    FPropTree parsed(nullptr, "parsed");
    EXPECT_TRUE(ParseExif(block.data(), kExifBlockBytes, 0, 0, false, parsed));
    const std::pair<const char*, const char*> expected[] = {
        {"CAMSERIAL", "SN0001"}, {"DRIVE", "SINGLE"},      {"RESOLUTION", "HI"},      {"AFMODE", "AF-S"},
        {"FOCUS", "CENTER"},     {"WB_DESC", "Daylight"},  {"LENSFRANGE", "17 to 70"}, {"rpColorSpace", "3"},
        {"rpExposureCompensation", "0.7000"}, {"rpContrast", "-1.5000"}, {"rpShadow", "0.0000"},
        {"rpFillFlash", "2.0000"}, {"rpColorAdjust", "+5Y-3M"}, {"rpSettingMode", "CUSTOM"},
        {"rpQuality", "95"},     {"FIRMVERS", "1.2.0.3"},  {"rpMNSoftware", "Lumitra"}, {"BRACKET", "1/3"},
        {"rpChromaNoise", "0.2500"}, {"rpLumaNoise", "-0.1250"},
    };
    for (const auto& [key, value] : expected)
        EXPECT_EQ(Prop(parsed, key), value) << key;
    // The EXIF entries come first, the note's copies are appended behind them.
    EXPECT_EQ(Prop(parsed, "PMODE"), "P");
    EXPECT_EQ(Prop(parsed, "AEMODE"), "A");
}

TEST(MakerNoteTest, DefaultsAndNamesThatDoNotRoundTrip)
{
    FPropTree tree(nullptr, "props");
    tree.AddPair("rpColorSpace", "9");
    const std::vector<uint8_t> block = BuildBlock(tree);
    FPropTree parsed(nullptr, "parsed");
    EXPECT_TRUE(ParseExif(block.data(), kExifBlockBytes, 0, 0, false, parsed));
    EXPECT_EQ(Prop(parsed, "rpColorSpace"), "0"); // "WideGamut RGB" has no index on the way back
    EXPECT_EQ(Prop(parsed, "rpColorAdjust"), ""); // "CC: " holds no word
    EXPECT_EQ(Prop(parsed, "rpQuality"), "<absent>"); // written empty when unknown
    EXPECT_EQ(Prop(parsed, "CAMSERIAL"), " ");
}

// A little-endian EXIF IFD whose only entry is a maker note built by makeNote
// at the position it is handed (offsets count from the block start).
std::vector<uint8_t> BlockWithNote(const std::function<void(ExifBytes&)>& makeNote, bool bNoteBigEndian = false)
{
    ExifBytes block(false);
    block.AppendIfd({block.Undefined(37500, {0, 0, 0, 0})});
    const size_t noteAt = block.Size();
    ExifBytes note(bNoteBigEndian);
    note.PadTo(noteAt);
    note.Append({'T', 'A', 'L', 'V', 'O', 0, 0, 0});
    note.Append(note.U16s({1}));
    makeNote(note);
    block.Append(std::vector<uint8_t>(note.Bytes().begin() + static_cast<std::ptrdiff_t>(noteAt), note.Bytes().end()));
    block.PutU32(2 + 4, static_cast<uint32_t>(block.Size() - noteAt));
    block.PutU32(2 + 8, static_cast<uint32_t>(noteAt));
    return block.Bytes();
}

std::vector<ExifRawEntry> ThreeTexts(const ExifBytes& b)
{
    return {b.Ascii(2, "SERIAL-1"), b.Ascii(3, "CONTINUOUS"), b.Ascii(23, "1.0.0.7")};
}

// Adds delta to the stored value offset of entry i of the note IFD at position.
void ShiftOffset(ExifBytes& b, size_t ifd, size_t i, int32_t delta)
{
    const size_t at = ifd + 2 + 12 * i + 8;
    uint32_t v = 0;
    for (int k = 0; k < 4; ++k)
        v |= uint32_t(b.Bytes()[at + k]) << (b.BigEndian() ? 24 - 8 * k : 8 * k);
    b.PutU32(at, v + static_cast<uint32_t>(delta));
}

TEST(MakerNoteTest, ByteOrderProbeAndOffsetCorrection)
{
    struct Case {
        const char* name;
        bool bNoteBigEndian;
        std::function<void(ExifBytes&)> makeNote;
        const char* serial;
        const char* drive;
        const char* firmware;
    };
    const Case cases[] = {
        {"as written", false, [](ExifBytes& n) { n.AppendIfd(ThreeTexts(n)); }, "SERIAL-1", "CONTINUOUS", "1.0.0.7"},
        {"other byte order (count reads 0x0300)", true, [](ExifBytes& n) { n.AppendIfd(ThreeTexts(n)); },
         "SERIAL-1", "CONTINUOUS", "1.0.0.7"},
        {"count 0x1901 cannot be fixed", false,
         [](ExifBytes& n) {
             const size_t ifd = n.AppendIfd(ThreeTexts(n));
             n.Bytes()[ifd] = 0x01;
             n.Bytes()[ifd + 1] = 0x19;
         },
         "<absent>", "<absent>", "<absent>"},
        {"constant shift", false,
         [](ExifBytes& n) {
             const size_t ifd = n.AppendIfd(ThreeTexts(n));
             for (size_t i = 0; i < 3; ++i)
                 ShiftOffset(n, ifd, i, -40);
         },
         "SERIAL-1", "CONTINUOUS", "1.0.0.7"},
        {"stored offset beyond the data", false,
         [](ExifBytes& n) {
             const size_t ifd = n.AppendIfd(ThreeTexts(n));
             ShiftOffset(n, ifd, 0, 1000);
         },
         "<absent>", "<absent>", "<absent>"},
        {"written without the next-IFD field", false,
         [](ExifBytes& n) {
             const size_t ifd = n.AppendIfd(ThreeTexts(n));
             auto& bytes = n.Bytes();
             bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(ifd + 2 + 36), bytes.begin() + static_cast<std::ptrdiff_t>(ifd + 2 + 40));
             for (size_t i = 0; i < 3; ++i)
                 ShiftOffset(n, ifd, i, -4);
         },
         "SERIAL-1", "CONTINUOUS", "1.0.0.7"},
        {"good offsets turning bad", false,
         [](ExifBytes& n) {
             const size_t ifd = n.AppendIfd(ThreeTexts(n));
             ShiftOffset(n, ifd, 1, -40);
         },
         "SERIAL-1", "<absent>", "<absent>"},
        {"a correction that does not hold", false,
         [](ExifBytes& n) {
             const size_t ifd = n.AppendIfd(ThreeTexts(n));
             ShiftOffset(n, ifd, 0, -40);
             ShiftOffset(n, ifd, 1, -20);
         },
         "SERIAL-1", "<absent>", "<absent>"},
        {"bad offsets turning good", false,
         [](ExifBytes& n) {
             const size_t ifd = n.AppendIfd(ThreeTexts(n));
             ShiftOffset(n, ifd, 0, -40);
         },
         "SERIAL-1", "CONTINUOUS", "1.0.0.7"},
    };
    for (const Case& c : cases) {
        const std::vector<uint8_t> data = BlockWithNote(c.makeNote, c.bNoteBigEndian);
        FPropTree parsed(nullptr, "parsed");
        EXPECT_TRUE(ParseExif(data.data(), data.size(), 0, 0, false, parsed)) << c.name;
        EXPECT_EQ(Prop(parsed, "CAMSERIAL"), c.serial) << c.name;
        EXPECT_EQ(Prop(parsed, "DRIVE"), c.drive) << c.name;
        EXPECT_EQ(Prop(parsed, "FIRMVERS"), c.firmware) << c.name;
    }
}

TEST(MakerNoteTest, OverlongTextsAreCutToTheValueArea)
{
    FPropTree tree(nullptr, "props");
    const std::string serial(2000, 'S');
    const std::string firmware(600, 'F');
    tree.AddPair("CAMSERIAL", serial.c_str());
    tree.AddPair("FIRMVERS", firmware.c_str());
    tree.AddPair("rpColorAdjust", std::string(300, 'C').c_str());
    tree.AddPair("rpUniqueID", "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");
    const std::vector<uint8_t> block = BuildBlock(tree);

    FPropTree parsed(nullptr, "parsed");
    EXPECT_TRUE(ParseExif(block.data(), kExifBlockBytes, 0, 0, false, parsed));
    EXPECT_EQ(Prop(parsed, "CAMSERIAL"), serial.substr(0, 511));
    EXPECT_EQ(Prop(parsed, "FIRMVERS"), "FFF");
    EXPECT_EQ(Prop(parsed, "rpColorAdjust"), "");
    // What follows the note is intact.
    EXPECT_EQ(Prop(parsed, "rpUniqueID"), "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");
    EXPECT_EQ(Prop(parsed, "COLS"), "10");
}

} // namespace
