// Writes the seed corpus of every fuzz target: one folder per target under the
// folder given on the command line, filled with files our own builders make.
#include "fileio/metadata/Exif.h"
#include "fileio/codecs/FJPEGLineWriter.h"
#include "fileio/codecs/FTiffLineWriter.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "foundation/FUnicode.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/KVR_SettingXml.h"
#include "shell/app/AppFiles.h"
#include "shell/app/CAppSettings.h"
#include "shell/app/ClipboardData.h"
#include "shell/app/PresetFile.h"
#include "shell/app/PrivateProfile.h"
#include "support/FuzzSeedData.h"
#include "support/ImageFileTest.h"
#include "support/MovieWriter.h"
#include "support/PdxbBuilder.h"
#include "support/TestPixmap.h"
#include "support/PictureFileBuilder.h"
#include "support/TestSupport.h"
#include "toolkit/CET_ExifData.h"
#include "toolkit/CET_GDIPlus.h"
#include "toolkit/PictureFiles.h"
#include "foundation/FPath.h"
#include "platform/core/HandOver.h"
#include "platform/shell/ShellItems.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace testsupport;

void WriteSeed(const std::filesystem::path& folder, const std::string& name, const PdxbBytes& bytes)
{
    std::filesystem::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteSeeds(const std::filesystem::path& folder, const FuzzSeeds& seeds)
{
    for (const auto& [name, bytes] : seeds)
        WriteSeed(folder, name, bytes);
}

// What a camera leaves in a file: enough for every EXIF writer to have work.
void AddCameraProperties(FPropTree& tree)
{
    for (const auto& [key, value] : {std::pair{"CAMMANUF", "TALVO"}, {"CAMMODEL", "TALVO KT6M"},
                                     {"rpSoftware", "Lumitra 4"}, {"SH_DESC", "1/30"}, {"AP_DESC", "5.6"},
                                     {"ISO", "200"}, {"TIME", "1300000000"}})
        tree.AddPair(key, value);
}

PdxbPropertySpec Properties(uint32_t version)
{
    PdxbPropertySpec desc;
    desc.version = version;
    desc.pairs = {{u"CAMMODEL", u"KT6M"}, {u"ISO", u"100"}, {u"ISO", u"200"}};
    return desc;
}

PdxbImageSpec Image(uint32_t version)
{
    PdxbImageSpec desc;
    desc.version = version;
    desc.pixelFormat = 3;
    desc.columns = 4;
    desc.rows = 2;
    desc.rowSize = 4 * 6;
    desc.data.assign(desc.rowSize * desc.rows, 0x5A);
    return desc;
}

PdxbCamfileSpec Camfile(uint32_t version)
{
    PdxbCamfileSpec desc;
    desc.version = version;
    desc.data = {'C', 'M', 'b', 'P', 0, 0, 0, 0};
    desc.dataLength = static_cast<uint32_t>(desc.data.size());
    return desc;
}

void WritePdxbSeeds(const std::filesystem::path& folder)
{
    for (const uint32_t version : {PdxbVersion(2, 2), PdxbVersion(2, 3), PdxbVersion(3, 0), kPdxbVersion1_0}) {
        PdxbHeaderSpec header;
        header.version = version;
        header.columns = 4;
        header.rows = 2;
        const uint32_t sectionVersion = version == kPdxbVersion1_0 ? version : PdxbVersion(version >> 16, 0);
        PdxbBuilder builder(header, {sectionVersion});
        builder.AddProperties(Properties(sectionVersion));
        builder.AddImage(Image(sectionVersion));
        builder.AddImage(Image(sectionVersion), kPdxbIma2);
        builder.AddCamfile(Camfile(sectionVersion));
        const int nested = builder.AddDirectory({sectionVersion});
        builder.AddProperties(Properties(sectionVersion), nested);
        WriteSeed(folder, "version-" + std::to_string(version), builder.Build().bytes);
    }
    // Images without rows but with a huge column count: decoders once sized
    // their scratch rows by the columns before anything bounded them.
    for (const uint32_t format : {3u, 4u, 6u}) {
        PdxbBuilder builder;
        PdxbImageSpec image = Image(PdxbVersion(2, 0));
        image.pixelFormat = format;
        image.columns = 0x02000004;
        image.rows = 0;
        builder.AddImage(image);
        WriteSeed(folder, "no-rows-format-" + std::to_string(format), builder.Build().bytes);
    }
}

// The EXIF target takes a mode byte (0: little-endian JPEG APP1 layout) before the block.
void WriteExifSeeds(const std::filesystem::path& folder)
{
    FPropTree tree(nullptr, "props");
    AddCameraProperties(tree);
    const std::vector<uint8_t> thumbnail = {0xFF, 0xD8, 1, 2, 3, 4, 5, 0xFF, 0xD9};
    for (const bool withThumbnail : {false, true}) {
        PdxbBytes seed = {0};
        const std::vector<uint8_t> block =
            BuildExifApp1Block(tree, 1200, 800, withThumbnail ? thumbnail : std::vector<uint8_t>{}, true);
        seed.insert(seed.end(), block.begin(), block.end());
        WriteSeed(folder, withThumbnail ? "app1-thumbnail" : "app1", seed);
    }
}

// Small pictures, the first of each kind carrying tags and a thumbnail: TIFF
// files of every layout our writer makes, JPEG files of our writer (grey,
// subsampled and full colour) and of libjpeg itself (progressive, CMYK).
void WriteImageReaderSeeds(const std::filesystem::path& folder)
{
    constexpr int32_t kColumns = 16;
    constexpr int32_t kRows = 12;
    std::filesystem::create_directories(folder);
    FPropTree tree(nullptr, "props");
    AddCameraProperties(tree);
    const TestPixmap<> thumbnail = MakePixmap(FPixmap::PIXEL_24_RGB, 8, 6, 2);

    const std::pair<const char*, int32_t> tiffs[] = {{"rgb24-tagged.tif", FPixmap::PIXEL_24_RGB},
                                                     {"grey8.tif", FPixmap::PIXEL_8_MONO},
                                                     {"grey16.tif", FPixmap::PIXEL_16_MONO},
                                                     {"rgb30.tif", FPixmap::PIXEL_30_RGBL},
                                                     {"rgb48.tif", FPixmap::PIXEL_48_RGB}};
    for (const auto& [name, type] : tiffs) {
        const TestPixmap<> picture = MakePixmap(type, kColumns, kRows, 3);
        FTiffLineWriter writer(UrlOfPath(folder / name), false);
        writer.SetDimensions(kColumns, kRows, type);
        if (type == tiffs[0].second) {
            writer.WriteThumbnail(thumbnail.get());
            writer.WriteTags(tree);
        }
        for (int32_t y = 0; y < kRows; ++y)
            writer.WriteLine(picture->GetRow(y), type);
    }

    const struct {
        const char* name;
        int32_t type;
        int32_t quality;
    } jpegs[] = {{"rgb-tagged.jpg", FPixmap::PIXEL_24_RGB, 9},
                 {"grey.jpg", FPixmap::PIXEL_8_MONO, 5},
                 {"rgb-subsampled.jpg", FPixmap::PIXEL_24_RGB, 3}};
    for (const auto& jpeg : jpegs) {
        const TestPixmap<> picture = MakePixmap(jpeg.type, kColumns, kRows, 4);
        std::vector<uint8_t> file;
        {
            FJPEGLineWriter writer(file, jpeg.quality, true);
            writer.SetDimensions(kColumns, kRows, jpeg.type);
            if (&jpeg == &jpegs[0]) {
                writer.WriteThumbnail(thumbnail.get());
                writer.WriteTags(tree);
            }
            for (int32_t y = 0; y < kRows; ++y)
                writer.WriteLine(picture->GetRow(y), jpeg.type);
        }
        WriteSeed(folder, jpeg.name, file);
    }

    const std::vector<uint8_t> samples = MakePixmap(FPixmap::PIXEL_32_RGBA, kColumns, kRows, 5).bytes;
    JpegEncodeOptions progressive;
    progressive.progressive = true;
    const std::vector<uint8_t> rgb(samples.begin(), samples.begin() + kColumns * kRows * 3);
    WriteSeed(folder, "progressive.jpg", EncodeJpeg(rgb, kColumns, kRows, 3, progressive));
    JpegEncodeOptions cmyk;
    cmyk.colorSpace = 4;
    WriteSeed(folder, "cmyk.jpg", EncodeJpeg(samples, kColumns, kRows, 4, cmyk));
}

// Small AVI files of the movie writer: with and without sound, whole and cut
// inside its frames.
void WriteAviSeeds(const std::filesystem::path& folder)
{
    std::filesystem::create_directories(folder);
    MovieShape shape;
    shape.width = 48;
    shape.height = 32;
    shape.frames = 3;
    WriteMovie(folder / "mjpeg.avi", shape);
    shape.audio = true;
    WriteMovie(folder / "sound.avi", shape);
    std::filesystem::copy_file(folder / "mjpeg.avi", folder / "cut.avi");
    std::filesystem::resize_file(folder / "cut.avi", std::filesystem::file_size(folder / "mjpeg.avi") / 2);
}

// EXIF structures of both byte orders with a maker note, a thumbnail and an
// orientation, bare and inside JPEG files.
void WriteExifItemsSeeds(const std::filesystem::path& folder)
{
    for (const bool bigEndian : {false, true}) {
        ExifFields fields;
        fields.bigEndian = bigEndian;
        fields.orientation = 6;
        fields.markFlag = 1;
        fields.makerNoteSwapped = bigEndian;
        fields.thumbnail = QuarterJpeg(8, 8);
        const std::string order = bigEndian ? "big" : "little";
        WriteSeed(folder, "structure-" + order, BuildExifStructure(fields));
        WriteSeed(folder, "jpeg-" + order, QuarterJpeg(16, 8, &fields));
    }
}

void WriteBmpReaderSeeds(const std::filesystem::path& folder)
{
    BmpLayout eight;
    BmpLayout few;
    few.colours = 3;
    few.headerSize = 124;
    BmpLayout rgb;
    rgb.bitCount = 24;
    rgb.height = -2;
    BmpLayout masked;
    masked.bitCount = 32;
    masked.compression = 3;
    masked.masks = {0xFF0000, 0xFF00, 0xFF};
    BmpLayout sixteen;
    sixteen.bitCount = 16;
    const std::pair<const char*, BmpLayout> files[] = {
        {"8bit", eight}, {"8bit-v5", few}, {"24bit-top-down", rgb}, {"32bit-masks", masked}, {"16bit", sixteen}};
    for (const auto& [name, layout] : files)
        WriteSeed(folder, name, MakeBmp(layout));
}

// The loader's input: a byte choosing extension and mode, then the file. The
// files of every format come from the toolkit's own encoders and builders.
void WritePictureLoaderSeeds(const std::filesystem::path& folder)
{
    constexpr int kJpg = 0, kTif = 1, kPng = 2, kGif = 3, kBmp = 4, kDat = 5;
    constexpr int kThumbnail = 1 << 3, kScaled = 2 << 3;
    auto seed = [&](const std::string& name, int selector, const PdxbBytes& file) {
        PdxbBytes bytes = {static_cast<uint8_t>(selector)};
        bytes.insert(bytes.end(), file.begin(), file.end());
        WriteSeed(folder, name, bytes);
    };
    ExifFields fields;
    fields.orientation = 6;
    fields.markFlag = 0;
    fields.thumbnail = QuarterJpeg(16, 12);
    const PdxbBytes jpeg = QuarterJpeg(40, 30, &fields);
    seed("jpg-full", kJpg, jpeg);
    seed("jpg-thumbnail", kJpg | kThumbnail, jpeg);
    seed("jpg-scaled", kJpg | kScaled, jpeg);
    seed("bmp-8bit", kBmp, MakeBmp({}));
    seed("dat-bmp", kDat, MakeBmp({}));

    // A picture saved in every format through the encoders, carrying the JPEG's items.
    TempDir scratch;
    const std::filesystem::path source = scratch.Path() / "source.jpg";
    std::ofstream(source, std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()), std::streamsize(jpeg.size()));
    CET_ExifData items;
    BITMAPINFO header{};
    CET_PictLoadRequest request;
    request.path = PathFromNative(source.string());
    request.header = &header;
    request.exif = &items;
    std::unique_ptr<BYTE, void (*)(BYTE*)> bits(LoadPictBits(request), DeleteDibBits);
    if (!bits)
        return;
    const CET_GDIPlus codecs;
    const std::pair<int, int> formats[] = {{1, kTif}, {3, kPng}, {5, kGif}, {4, kBmp}};
    for (const auto& [fileType, selector] : formats) {
        const std::filesystem::path out = scratch.Path() / ("out" + std::to_string(fileType));
        if (!SaveDibAsImageFile(PathFromNative(out.string()), &header, bits.get(), fileType, &codecs, 80, FString(),
                                &items, FString()))
            continue;
        const std::string file = ReadFileBytes(out);
        seed("format-" + std::to_string(fileType), selector, PdxbBytes(file.begin(), file.end()));
        seed("format-" + std::to_string(fileType) + "-thumbnail", selector | kThumbnail, PdxbBytes(file.begin(), file.end()));
    }
}

// Preset lines of a few records, one line a text line, UTF-8.
void WriteSettingXmlSeeds(const std::filesystem::path& folder)
{
    CKVR_FilterData records[3];
    records[1].m_strName = u"Warm \u00E9vening";
    records[1].m_nExposure = 29;
    records[1].m_nCyan = 30;
    records[1].m_nWhiteBalance = 2;
    records[2].m_nShadow = -116;
    records[2].m_nFillLight = 57;
    records[2].m_nYellow = 150;
    for (int i = 0; i < 3; ++i) {
        std::vector<FString> lines;
        KVR_WriteSettingXml(&lines, &records[i]);
        std::string text;
        for (const FString& line : lines)
            text += *Utf16ToUtf8(line.View()) + "\n";
        WriteSeed(folder, "preset" + std::to_string(i) + ".txt", PdxbBytes(text.begin(), text.end()));
    }
}

void WriteSeed(const std::filesystem::path& folder, const std::string& name, const std::string& bytes)
{
    WriteSeed(folder, name, PdxbBytes(bytes.begin(), bytes.end()));
}

// Settings files: the defaults, and values of every kind away from them.
void WritePrivateProfileSeeds(const std::filesystem::path& folder)
{
    CAppSettings settings;
    const LOGFONTW guiFont{};
    CPrivateProfile profile;
    settings.ReadFrom(profile, FString(u"Custom"), guiFont);
    settings.WriteTo(profile);
    WriteSeed(folder, "defaults.ini", profile.Serialize());
    settings.m_strThumbDir = FString(u" /photos/\u00FC \"quoted\" ");
    settings.m_dwPaletteState = 0x1F;
    settings.m_byHighLight = 200;
    settings.m_nKVRFilterMode = 4;
    settings.m_KVRFilterData.m_nMagenta = 30;
    settings.m_InfoPrint.m_Font.lfHeight = 80;
    settings.WriteTo(profile);
    WriteSeed(folder, "changed.ini", "; notes\r\n[Extra]\r\nKey = value\r\n" + profile.Serialize());
}

// Preset files of none, one and three presets.
void WritePresetFileSeeds(const std::filesystem::path& folder)
{
    CKVR_FilterData records[3];
    records[0].m_strName = u"Warm";
    records[0].m_nExposure = 150;
    records[1].m_strName = u"Cold \u00E9";
    records[1].m_nCyan = 30;
    records[2].m_nFillLight = -57;
    std::vector<const CKVR_FilterData*> presets;
    for (int count = 0; count <= 3; count += count == 0 ? 1 : 2) {
        presets.clear();
        for (int i = 0; i < count; ++i)
            presets.push_back(&records[i]);
        WriteSeed(folder, "presets" + std::to_string(count) + ".xml", WritePresetFileBytes(presets));
    }
}

// Text and font table lines, and a clipboard file list.
void WriteTextTableSeeds(const std::filesystem::path& folder)
{
    std::string strings = "\xFF\xFE";
    AppendUtf16(strings, u"; comment\n00100\t0001\t0000FF\tBold red\\nsecond line\r\n"
                         u"01021\t0002\tFFFFFF\t%d file\n01023\t0000\t000000\t, %.1f MB in %d\n00131\t0000\t000000\t%s\n");
    WriteSeed(folder, "String.txt", strings);
    std::string fonts;
    AppendUtf16(fonts, u"0001\t-12b\tDejaVu Sans\n0002\t14\tDejaVu Serif\n0003\t10B\n");
    WriteSeed(folder, "Font.txt", fonts);
    FArray<FString> paths;
    paths.Append(FString(u"/home/a/1.kvr"));
    paths.Append(FString(u"/home/a/\u00FC.jpg"));
    const std::vector<BYTE> block = MakeClipboardFileList(paths);
    WriteSeed(folder, "filelist.bin", std::string(block.begin(), block.end()));
}

// A hand-over of a path and one that only brings the window forward.
void WriteHandOverSeeds(const std::filesystem::path& folder)
{
    for (const auto& [name, path] : {std::pair{"path", u"/pictures/2024/IMG_0001.kvr"}, {"forward", u""}}) {
        const std::vector<uint8_t> message = platform::core::EncodeHandOver(path);
        WriteSeed(folder, name, PdxbBytes(message.begin(), message.end()));
    }
}

// One seed per reader of the shell's texts; the first byte picks it.
void WriteShellTextSeeds(const std::filesystem::path& folder)
{
    auto text = [&](const std::string& name, char reader, const std::string& body) {
        const std::string bytes = reader + body;
        WriteSeed(folder, name, PdxbBytes(bytes.begin(), bytes.end()));
    };
    text("globs", 0, "# comment\n50:image/jpeg:*.jpg\n60:video/mp4:*.MP4:cs\n50:text/x-c:*.[ch]\n");
    text("desktop", 1, "[Desktop Entry]\nType=Application\nExec=player --open \"a b\" %U\nTryExec=player\n");
    text("exec", 2, "app \"a \\\"q\\\" \\$\" %f 100%% --name=%c");
    using namespace platform::shell;
    ITEMIDLIST* list = ListOfRoute({ItemId{Kind::Home, {}}, ItemId{Kind::Folder, u"Pictures"}});
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(list);
    PdxbBytes seed = {3};
    seed.insert(seed.end(), bytes, bytes + 3 + 3 + 2 * 8 + 2);
    WriteSeed(folder, "list", seed);
    ILFree(list);
}

// Raw containers with embedded pictures: every class of picture in a version-2
// file, a version-3 file with a nested directory and longer headers, and a
// turned file whose preview lies on its side.
void WriteEmbeddedImageSeeds(const std::filesystem::path& folder)
{
    const auto picture = [](uint32_t version, uint32_t format, int columns, int rows, PdxbBytes data,
                            uint32_t rowBytes) {
        PdxbImageSpec image = PdxbEmbeddedPicture(format, uint32_t(columns), uint32_t(rows), std::move(data), rowBytes);
        image.version = version;
        image.headerSize = 40;
        return image;
    };
    const auto jpeg = [&](uint32_t version, int columns, int rows) {
        return picture(version, 18, columns, rows, QuarterJpeg(columns, rows), 0);
    };
    const PictureBytes rgb = QuarterPicture(8, 6);
    for (const uint32_t major : {2u, 3u}) {
        PdxbHeaderSpec header;
        header.version = PdxbVersion(major, major == 2 ? 3 : 0);
        header.columns = 64;
        header.rows = 48;
        header.rotation = major == 2 ? 0 : 90;
        PdxbDirectorySpec top;
        top.version = PdxbVersion(major, 0);
        PdxbBuilder builder(header, top);
        const int nested = builder.AddDirectory(top);
        const uint32_t version = PdxbVersion(major, 0);
        builder.AddImage(jpeg(version, major == 2 ? 64 : 24, major == 2 ? 48 : 32), kPdxbIma2, nested);
        builder.AddImage(jpeg(version, 221, 147), kPdxbIma2);
        builder.AddImage(picture(version, 3, 8, 6, rgb, 24), kPdxbIma2);
        WriteSeed(folder, "container-v" + std::to_string(major), builder.Build().bytes);
    }
}

// Clipboard and drag data as other programs offer it: the first byte picks
// the type (0 file-list block, 1 URI list, 2 a file manager's mark, 4 text).
void WriteClipboardSeeds(const std::filesystem::path& folder)
{
    auto seed = [&](const std::string& name, uint8_t type, const std::string& body) {
        PdxbBytes bytes{type};
        bytes.insert(bytes.end(), body.begin(), body.end());
        WriteSeed(folder, name, bytes);
    };
    std::string block(20, '\0');
    block[0] = 20;
    block[16] = 1; // wide names
    for (const char* name : {"/photos/a.kvr", "/photos/b c.jpg"}) {
        for (const char* c = name; *c; ++c) block += std::string{*c, '\0'};
        block += std::string(2, '\0');
    }
    block += std::string(2, '\0');
    seed("dropfiles", 0, block);
    seed("uri-list", 1, "# files\r\nfile:///photos/a.kvr\r\nfile://localhost/photos/b%20c.jpg\r\nhttp://x/y\r\n");
    seed("gnome-cut", 2, "cut\nfile:///photos/a.kvr\nfile:///photos/%C3%BC.tif");
    seed("text", 4, "line one\r\nline two");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: FuzzSeeds <corpus folder>\n");
        return 2;
    }
    InitStorageClasses();
    const std::filesystem::path root = argv[1];
    WritePdxbSeeds(root / "PdxbReaderFuzz");
    WriteExifSeeds(root / "ExifFuzz");
    WriteImageReaderSeeds(root / "ImageReaderFuzz");
    WriteSeeds(root / "HuffmanFuzz", HuffmanFuzzSeeds());
    WriteSeeds(root / "HuffmanM4Fuzz", HuffmanM4FuzzSeeds());
    WriteSeeds(root / "CamdataFuzz", CamdataFuzzSeeds());
    WriteAviSeeds(root / "AviHeaderFuzz");
    WriteExifItemsSeeds(root / "ExifItemsFuzz");
    WriteBmpReaderSeeds(root / "BmpReaderFuzz");
    WritePictureLoaderSeeds(root / "PictureLoaderFuzz");
    WriteSeeds(root / "CamdataDevelopFuzz", CamdataDevelopFuzzSeeds());
    WriteSettingXmlSeeds(root / "SettingXmlFuzz");
    WritePrivateProfileSeeds(root / "PrivateProfileFuzz");
    WritePresetFileSeeds(root / "PresetFileFuzz");
    WriteTextTableSeeds(root / "TextTableFuzz");
    WriteHandOverSeeds(root / "HandOverFuzz");
    WriteShellTextSeeds(root / "ShellTextFuzz");
    WriteEmbeddedImageSeeds(root / "EmbeddedImageFuzz");
    WriteClipboardSeeds(root / "ClipboardFormatsFuzz");
    return 0;
}
