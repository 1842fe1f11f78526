// Writes the seed corpus of every fuzz target: one folder per target under the
// folder given on the command line, filled with files our own builders make.
#include "fileio/Exif.h"
#include "foundation/FPropTree.h"
#include "support/PdxbBuilder.h"

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

PdxbPropertySpec Properties(uint32_t version)
{
    PdxbPropertySpec spec;
    spec.version = version;
    spec.pairs = {{u"CAMMODEL", u"KT6M"}, {u"ISO", u"100"}, {u"ISO", u"200"}};
    return spec;
}

PdxbImageSpec Image(uint32_t version)
{
    PdxbImageSpec spec;
    spec.version = version;
    spec.pixelFormat = 3;
    spec.columns = 4;
    spec.rows = 2;
    spec.rowSize = 4 * 6;
    spec.data.assign(spec.rowSize * spec.rows, 0x5A);
    return spec;
}

PdxbCamfileSpec Camfile(uint32_t version)
{
    PdxbCamfileSpec spec;
    spec.version = version;
    spec.data = {'C', 'M', 'b', 'P', 0, 0, 0, 0};
    spec.dataLength = static_cast<uint32_t>(spec.data.size());
    return spec;
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
}

// The EXIF target takes a mode byte (0: little-endian JPEG APP1 layout) before the block.
void WriteExifSeeds(const std::filesystem::path& folder)
{
    FPropTree tree(nullptr, "props");
    for (const auto& [key, value] : {std::pair{"CAMMANUF", "TALVO"}, {"CAMMODEL", "TALVO KT6M"},
                                     {"rpSoftware", "Lumitra 4"}, {"SH_DESC", "1/30"}, {"AP_DESC", "5.6"},
                                     {"ISO", "200"}, {"TIME", "1300000000"}})
        tree.AddPair(key, value);
    const std::vector<uint8_t> thumbnail = {0xFF, 0xD8, 1, 2, 3, 4, 5, 0xFF, 0xD9};
    for (const bool withThumbnail : {false, true}) {
        PdxbBytes seed = {0};
        const std::vector<uint8_t> block =
            BuildExifApp1Block(tree, 1200, 800, withThumbnail ? thumbnail : std::vector<uint8_t>{}, true);
        seed.insert(seed.end(), block.begin(), block.end());
        WriteSeed(folder, withThumbnail ? "app1-thumbnail" : "app1", seed);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: FuzzSeeds <corpus folder>\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    WritePdxbSeeds(root / "PdxbReaderFuzz");
    WriteExifSeeds(root / "ExifFuzz");
    return 0;
}
