// Writes the seed corpus of every fuzz target: one folder per target under the
// folder given on the command line, filled with files our own builders make.
#include "fileio/metadata/Exif.h"
#include "fileio/codecs/FJPEGLineWriter.h"
#include "fileio/codecs/FTiffLineWriter.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "support/FuzzSeedData.h"
#include "support/ImageFileTest.h"
#include "support/MovieWriter.h"
#include "support/PdxbBuilder.h"
#include "support/TestPixmap.h"
#include "support/TestSupport.h"

#include <cstdio>
#include <filesystem>
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
    MovieSpec spec;
    spec.width = 48;
    spec.height = 32;
    spec.frames = 3;
    WriteMovie(folder / "mjpeg.avi", spec);
    spec.audio = true;
    WriteMovie(folder / "sound.avi", spec);
    std::filesystem::copy_file(folder / "mjpeg.avi", folder / "cut.avi");
    std::filesystem::resize_file(folder / "cut.avi", std::filesystem::file_size(folder / "mjpeg.avi") / 2);
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
    return 0;
}
