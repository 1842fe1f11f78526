// Writes a folder of synthetic raw files with their ground truth:
//   make_samples <folder> [small|medium|large|all]...
// One file per shot and size, "<shot>-<columns>x<rows>.kvr", and beside it
// "<same name>.truth.txt" with the chart's patches and true colours.

#include "support/SyntheticCamera.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace testsupport;

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
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_samples: %s\n", e.what());
        return 1;
    }
    return 0;
}
