// Corrupt raw containers: each must fail with a reader exception and a clear
// text, never crash, hang or allocate for sizes the file does not hold.
#include "fileio/container/PdxbImageIO.h"
#include "foundation/FPropTree.h"
#include "support/PdxbFileTest.h"

#include <functional>

using namespace testsupport;

namespace {

// Asks the reader for everything it can tell about the file.
void WalkEverything(const FString& url)
{
    FPdxbImageReader reader(url);
    FPropTree node(nullptr, "props");
    reader.GetProperties(&node);
    for (int i = 0; i < reader.GetImageCount(); ++i) {
        uint32_t columns, rows, kind;
        int32_t type;
        reader.GetImageInfo(i, columns, rows, type, kind);
    }
    for (int i = 0; i < reader.GetCamfileCount(); ++i) {
        uint32_t size;
        int32_t kind;
        reader.GetCamfileInfo(i, size, kind);
        if (kind != 1) {
            std::vector<uint8_t> buffer(size);
            reader.ReadCamfile(i, buffer.data(), size, nullptr, nullptr);
        }
    }
}

PdxbPropertySpec Props(uint32_t version = PdxbVersion(2, 0))
{
    PdxbPropertySpec desc;
    desc.version = version;
    desc.pairs = {{u"CAMMODEL", u"KT6M"}, {u"ISO", u"100"}};
    return desc;
}

PdxbImageSpec SmallImage(uint32_t version = PdxbVersion(2, 0))
{
    PdxbImageSpec desc;
    desc.version = version;
    desc.pixelFormat = 8;
    desc.columns = 4;
    desc.rows = 2;
    desc.rowSize = 8;
    desc.data.assign(16, 0x11);
    return desc;
}

PdxbCamfileSpec SmallCamfile(uint32_t type = 0, PdxbBytes data = PdxbBytes(16, 0x22),
                             uint32_t version = PdxbVersion(2, 0))
{
    PdxbCamfileSpec desc;
    desc.version = version;
    desc.type = type;
    desc.dataLength = uint32_t(data.size());
    desc.data = std::move(data);
    return desc;
}

// Sections 0 PROP, 1 IMAG, 2 PROP (nested), 3 CAMF (nested).
// Entries: top {0 PROP, 1 IMAG, 2 DIRP}; directory 1 {0 PROP, 1 CAMF}.
PdxbFile BaseOf(uint32_t version)
{
    PdxbHeaderSpec header;
    header.version = version;
    const PdxbDirectorySpec dir{version >> 16 == 3 ? PdxbVersion(3, 0) : PdxbVersion(2, 0)};
    PdxbBuilder builder(header, dir);
    const uint32_t sectionVersion = dir.version;
    builder.AddProperties(Props());
    builder.AddImage(SmallImage(sectionVersion));
    const int nested = builder.AddDirectory(dir);
    builder.AddProperties(Props(), nested);
    builder.AddCamfile(SmallCamfile(0, PdxbBytes(16, 0x22), sectionVersion), nested);
    return builder.Build();
}

PdxbFile Base() { return BaseOf(PdxbVersion(2, 3)); }
PdxbFile Base3() { return BaseOf(PdxbVersion(3, 0)); }

PdxbFile WithSection(std::function<void(PdxbBuilder&)> add)
{
    PdxbBuilder builder;
    add(builder);
    return builder.Build();
}

struct CorruptCase {
    const char* name;
    std::function<PdxbFile()> make;
    std::function<void(PdxbFile&)> corrupt;
    const char* message; // what the message contains
};

const CorruptCase kCases[] = {
    // File header and directory pointer
    {"TruncatedHeader", Base, [](PdxbFile& f) { f.bytes.resize(100); }, "the file header is incomplete"},
    {"ThreeBytes", Base, [](PdxbFile& f) { f.bytes.resize(3); }, "image.kvr"},
    {"WrongMagic", Base, [](PdxbFile& f) { f.bytes[3] = 'B'; }, "image.kvr"},
    {"NoRoomForPointer", Base, [](PdxbFile& f) { f.bytes.resize(266); }, "no room for the directory pointer"},
    {"PointerBeyondEnd", Base, [](PdxbFile& f) { PatchU32(f.bytes, f.pointerPosition, uint32_t(f.bytes.size()) + 9); },
     "Directory pointer outside the file."},
    {"PointerAtItself", Base, [](PdxbFile& f) { PatchU32(f.bytes, f.pointerPosition, uint32_t(f.pointerPosition)); },
     "Directory pointer outside the file."},
    {"V3PointerHighWord", Base3, [](PdxbFile& f) { PatchU32(f.bytes, f.pointerPosition, 1); },
     "Directory pointer outside the file."},
    {"PointerAtASection", Base, [](PdxbFile& f) { PatchU32(f.bytes, f.pointerPosition, uint32_t(f.sectionOffsets[1])); },
     "Expected a directory section but got something else."},
    {"DirectoryVersion", Base, [](PdxbFile& f) { PatchU32(f.bytes, f.directoryOffsets[0] + 4, PdxbVersion(4, 0)); },
     "Directory section version"},
    // Directory entries
    {"V2CountHuge", Base, [](PdxbFile& f) { PatchU32(f.bytes, f.directoryOffsets[0] + 8, 0xFFFFFFFF); },
     "Directory entry count larger than its section."},
    {"V2CountOneTooMany", Base, [](PdxbFile& f) { PatchU32(f.bytes, f.directoryOffsets[0] + 8, 4); },
     "Directory entry count larger than its section."},
    {"NestedCountOneTooMany", Base, [](PdxbFile& f) { PatchU32(f.bytes, f.directoryOffsets[1] + 8, 3); },
     "Directory entry count larger than its section."},
    {"V3CountHuge", Base3, [](PdxbFile& f) { PatchU32(f.bytes, f.directoryOffsets[0] + 12, 0x80000000); },
     "Directory entry count larger than its section."},
    {"V3HeaderSizeZero", Base3, [](PdxbFile& f) { PatchU32(f.bytes, f.directoryOffsets[0] + 8, 0); },
     "Directory header size out of range."},
    {"V3HeaderSizeHuge", Base3, [](PdxbFile& f) { PatchU32(f.bytes, f.directoryOffsets[0] + 8, 0xFFFFFFF0); },
     "Directory header size out of range."},
    {"V3EntrySizeSmall", Base3, [](PdxbFile& f) { PatchU32(f.bytes, f.entryPositions[0][1], 4); },
     "Directory entry size out of range."},
    {"V3EntrySizeHuge", Base3, [](PdxbFile& f) { PatchU32(f.bytes, f.entryPositions[0][0], 0xFFFFFFFF); },
     "Directory entry size out of range."},
    // Nested directories
    {"DirpCycleToTop", Base, [](PdxbFile& f) { f.RetargetEntry(0, 2, f.directoryOffsets[0]); },
     "Nested directories form a cycle."},
    {"DirpToItself",
     [] {
         return WithSection([](PdxbBuilder& b) {
             const int nested = b.AddDirectory();
             b.AddRawEntry(kPdxbDirp, 0, 24, nested);
         });
     },
     [](PdxbFile& f) { f.RetargetEntry(1, 0, f.directoryOffsets[1]); }, "Nested directories form a cycle."},
    {"DirpDepthBomb",
     [] {
         return WithSection([](PdxbBuilder& b) {
             int parent = PdxbBuilder::kTop;
             for (int i = 0; i < 40; ++i)
                 parent = b.AddDirectory({}, parent);
         });
     },
     [](PdxbFile&) {}, "Directories are nested too deeply."},
    {"DirpOutsideFile", Base, [](PdxbFile& f) { f.RetargetEntry(0, 2, f.bytes.size() + 10); },
     "Nested directory lies outside the file."},
    {"DirpLengthHuge", Base, [](PdxbFile& f) { f.SetEntryLength(0, 2, 0xFFFFFFFF); },
     "Nested directory lies outside the file."},
    {"DirpLengthTiny", Base, [](PdxbFile& f) { f.SetEntryLength(0, 2, 4); },
     "Directory section is too short for its header."},
    // Sections
    {"SectionOutsideFile", Base, [](PdxbFile& f) { f.RetargetEntry(0, 1, 0xFFFFFF00); },
     "Image section lies outside the file."},
    {"SectionLengthPastEnd", Base, [](PdxbFile& f) { f.SetEntryLength(0, 1, 0xFFFFFFFF); },
     "Image section lies outside the file."},
    {"V3SectionOffsetHuge", Base3, [](PdxbFile& f) { PatchU32(f.bytes, f.entryPositions[0][1] + 4, 0x7FFFFFFF); },
     "Image section lies outside the file."},
    {"ImageShorterThanHeader", Base, [](PdxbFile& f) { f.SetEntryLength(0, 1, 20); },
     "Image section is shorter than its header."},
    {"ImageTooShortForItsRows", Base, [](PdxbFile& f) { PatchU32(f.bytes, f.sectionOffsets[1] + 20, 3); },
     "Image section too small for its rows."},
    {"ImageRowsHuge", Base, [](PdxbFile& f) { PatchU32(f.bytes, f.sectionOffsets[1] + 20, 0x40000000); },
     "Image section too small for its rows."},
    {"ImageDoubledColumnsOverflow",
     [] { return WithSection([](PdxbBuilder& b) { auto s = SmallImage(); s.pixelFormat = 14; s.columns = 0x80000000; b.AddImage(s); }); },
     [](PdxbFile&) {}, "Image size out of range."},
    {"V3ImageHeaderSizeHuge", Base3, [](PdxbFile& f) { PatchU32(f.bytes, f.sectionOffsets[1] + 8, 0x10000); },
     "Image section header size out of range."},
    {"V3ImageHeaderSizeSmall", Base3, [](PdxbFile& f) { PatchU32(f.bytes, f.sectionOffsets[1] + 8, 8); },
     "Image section header size out of range."},
    {"ImageSectionVersion", Base, [](PdxbFile& f) { PatchU32(f.bytes, f.sectionOffsets[1] + 4, 0x00050000); },
     "Image section version"},
    {"EntryAtWrongKindOfSection", Base, [](PdxbFile& f) { f.RetargetEntry(1, 1, f.sectionOffsets[0]); },
     "Expected a cam file section but got something else."},
    {"ImageEntryAtCamfile", Base, [](PdxbFile& f) { f.RetargetEntry(0, 1, f.sectionOffsets[3]); },
     "Expected an image section but got something else."},
    {"V3CamfileHeaderSizeSmall", Base3, [](PdxbFile& f) { PatchU32(f.bytes, f.sectionOffsets[3] + 8, 4); },
     "Cam file section header size out of range."},
    {"CamfileSectionVersion", Base, [](PdxbFile& f) { PatchU32(f.bytes, f.sectionOffsets[3] + 4, 0x00010000); },
     "Cam file section version"},
    {"HuffmanM4CamfileSizeLie",
     [] { return WithSection([](PdxbBuilder& b) { b.AddCamfile(SmallCamfile(4, PdxbHuffmanM4CamfileData(0, 60000, 60000, PdxbBytes(40)))); }); },
     [](PdxbFile&) {}, "HuffmanM4 cam file size does not match its data."},
    {"HuffmanM4CamfileSizeLieVersion3",
     [] { return WithSection([](PdxbBuilder& b) { b.AddCamfile(SmallCamfile(4, PdxbHuffmanM4CamfileData(0, 60000, 60000, PdxbBytes(40)), PdxbVersion(3, 0))); }); },
     [](PdxbFile&) {}, "HuffmanM4 cam file size does not match its data."},
    {"HuffmanM4CamfileColumnsTooLarge",
     [] { return WithSection([](PdxbBuilder& b) { b.AddCamfile(SmallCamfile(4, PdxbHuffmanM4CamfileData(0, 70000, 1, PdxbBytes(9000)))); }); },
     [](PdxbFile&) {}, "HuffmanM4 cam file size does not match its data."},
    {"HuffmanM4CamfileHeaderCut",
     [] { return WithSection([](PdxbBuilder& b) { b.AddCamfile(SmallCamfile(4, PdxbBytes(30))); }); },
     [](PdxbFile&) {}, "shorter than its HuffmanM4 header"},
    {"EncryptedCamfileTooShort",
     [] { return WithSection([](PdxbBuilder& b) { b.AddCamfile(SmallCamfile(2, PdxbBytes(8))); }); },
     [](PdxbFile&) {}, "shorter than its encrypted header"},
    // Property lists
    {"PropertyCountHuge", Base, [](PdxbFile& f) { PatchU32(f.bytes, f.sectionOffsets[0] + kPdxbPropEntryCountAt, 0x20000000); },
     "Property list larger than its section."},
    {"PropertyCharactersHuge", Base, [](PdxbFile& f) { PatchU32(f.bytes, f.sectionOffsets[0] + kPdxbPropCharCountAt, 0xFFFFFFFF); },
     "Property list larger than its section."},
    {"PropertyNameOffsetOutside", Base, [](PdxbFile& f) { PatchU32(f.bytes, f.sectionOffsets[0] + kPdxbPropEntriesAt, 1000); },
     "Property text lies outside its character area."},
    {"PropertyValueOffsetAtEnd", Base,
     [](PdxbFile& f) {
         const uint32_t characters = PeekU32(f.bytes, f.sectionOffsets[0] + kPdxbPropCharCountAt);
         PatchU32(f.bytes, f.sectionOffsets[0] + kPdxbPropEntriesAt + 4, characters);
     },
     "Property text lies outside its character area."},
    {"PropertyTextUnterminated", Base,
     [](PdxbFile& f) {
         const uint64_t end = f.sectionOffsets[1]; // the image follows the first property list
         f.bytes[end - 2] = 'x';
     },
     "Property text lies outside its character area."},
    {"OldPropertyLengthsOutside",
     [] { return WithSection([](PdxbBuilder& b) { b.AddProperties(Props(kPdxbVersion1_0)); }); },
     [](PdxbFile& f) { PatchU32(f.bytes, f.sectionOffsets[0] + kPdxbPropEntriesAt + 8, 0xFFFFFFF0); },
     "Property text lies outside its character area."},
    {"PropertyVersion3",
     [] { return WithSection([](PdxbBuilder& b) { b.AddProperties(Props(PdxbVersion(3, 0))); }); },
     [](PdxbFile&) {}, "Property list section version"},
    {"PropertyCharacterType", Base, [](PdxbFile& f) { PatchU32(f.bytes, f.sectionOffsets[0] + 12, 1); },
     "Property list character type not unicode."},
    {"PropertyEncrypted", Base, [](PdxbFile& f) { PatchU32(f.bytes, f.sectionOffsets[0] + 16, 1); },
     "Encrypted properties are not currently handled."},
    {"PropertyEntryAtImage", Base, [](PdxbFile& f) { f.RetargetEntry(0, 0, f.sectionOffsets[1]); },
     "Expected a property section but got something else."},
};

class PdxbCorruptFiles : public PdxbFileTest, public ::testing::WithParamInterface<CorruptCase> {};

TEST_P(PdxbCorruptFiles, FailWithAReaderException)
{
    const CorruptCase& c = GetParam();
    PdxbFile file = c.make();
    c.corrupt(file);
    const FString url = Write(file);
    const std::string message = MessageOf<FExceptionPdxbReader>([&] { WalkEverything(url); });
    EXPECT_NE(message.find(c.message), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(Table, PdxbCorruptFiles, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PdxbFileTest, TheUncorruptedBasesReadCleanly)
{
    for (const PdxbFile& file : {Base(), Base3()})
        EXPECT_NO_THROW(WalkEverything(Write(file)));
}

// Every truncation and every single-byte change of a small file is either read
// or refused with an FException: nothing else escapes and nothing crashes.
TEST_F(PdxbFileTest, EveryTruncationAndByteChangeFailsCleanly)
{
    for (const PdxbFile& base : {Base(), Base3()}) {
        const std::string bytes = base.Str();
        auto attempt = [&](const std::string& variant) {
            const FString url = WriteBytes(variant, "variant.kvr");
            try {
                WalkEverything(url);
            } catch (const FException&) {
            }
        };
        for (size_t length = 0; length < bytes.size(); ++length)
            attempt(bytes.substr(0, length));
        for (size_t at = 0; at < bytes.size(); ++at) {
            for (const char value : {char(0xFF), char(0x80), char(bytes[at] ^ 0x01)}) {
                std::string variant = bytes;
                variant[at] = value;
                attempt(variant);
            }
        }
    }
}

} // namespace
