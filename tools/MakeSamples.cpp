// Writes a sample folder: synthetic raw files with their ground truth, JPEG
// pictures with EXIF thumbnails and a Motion-JPEG movie.
//   make_samples <folder> [small|medium|large|all]...
// One raw file per shot and size, "<shot>-<columns>x<rows>.kvr", and beside it
// "<same name>.truth.txt" with the chart's patches and true colours; JPEGs
// "IMG_0001.JPG" to "IMG_0004.JPG" (1600 x 1200, each turned another way by
// its EXIF orientation, with a 160 x 120 thumbnail); the movie "MOV_0001.AVI".

#include "support/MovieWriter.h"
#include "support/PictureFileBuilder.h"
#include "support/SyntheticCamera.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

// Written under a temporary name and renamed, so no half-written sample looks complete.
void WriteComplete(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
{
    const std::filesystem::path partial = path.string() + ".partial";
    {
        std::ofstream file(partial, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!file)
            throw std::runtime_error("cannot write " + partial.string());
    }
    std::filesystem::rename(partial, path);
}

void WritePictures(const std::filesystem::path& folder)
{
    const uint16_t orientations[] = {1, 6, 3, 8};
    for (int i = 0; i < 4; ++i) {
        ExifFields exif;
        exif.orientation = orientations[i];
        exif.thumbnail = QuarterJpeg(160, 120, nullptr, 80);
        exif.markFlag = i == 1 ? 1u : 0u;
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%04d.JPG", i + 1);
        const std::filesystem::path path = folder / name;
        WriteComplete(path, QuarterJpeg(1600, 1200, &exif));
        std::printf("%s\n", path.c_str());
    }
}

void WriteMovieSample(const std::filesystem::path& folder)
{
    const std::filesystem::path path = folder / "MOV_0001.AVI";
    const std::filesystem::path partial = folder / "MOV_0001.AVI.partial";
    MovieShape shape;
    shape.frames = 30;
    WriteMovie(partial, shape);
    std::filesystem::rename(partial, path);
    std::printf("%s\n", path.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <folder> [small|medium|large|all]...\n", argv[0]);
        return 2;
    }
    std::vector<SyntheticSize> sizes;
    for (int i = 2; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "small" || word == "all")
            sizes.push_back(SyntheticSize::Small);
        if (word == "medium" || word == "all")
            sizes.push_back(SyntheticSize::Medium);
        if (word == "large" || word == "all")
            sizes.push_back(SyntheticSize::Large);
        if (word != "small" && word != "medium" && word != "large" && word != "all") {
            std::fprintf(stderr, "unknown size '%s'\n", argv[i]);
            return 2;
        }
    }
    if (sizes.empty())
        sizes = {SyntheticSize::Small, SyntheticSize::Medium};
    try {
        const std::filesystem::path folder = argv[1];
        std::filesystem::create_directories(folder);
        for (const SyntheticSize size : sizes)
            for (const SyntheticShot shot :
                 {SyntheticShot::DaylightIso100, SyntheticShot::DaylightIso800Auto, SyntheticShot::TungstenIso100}) {
                SyntheticOptions options;
                options.shot = shot;
                options.size = size;
                const std::string name = ShotName(shot) + "-" + SizeName(size);
                // Written under a temporary name and renamed, so no half-written sample looks complete.
                const std::filesystem::path path = folder / (name + ".kvr");
                const std::filesystem::path partial = folder / (name + ".kvr.partial");
                const SyntheticTruth truth = WriteSyntheticRaw(partial, options);
                std::filesystem::rename(partial, path);
                std::ofstream text(folder / (name + ".truth.txt"), std::ios::trunc);
                text << DescribeTruth(truth);
                if (!text)
                    throw std::runtime_error("cannot write the truth of " + name);
                std::printf("%s\n", path.c_str());
            }
        WritePictures(folder);
        WriteMovieSample(folder);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_samples: %s\n", e.what());
        return 1;
    }
    return 0;
}
