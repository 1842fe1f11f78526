// Writes the standard RGB colour profiles the program converts into, made with
// lcms2 from their published white points, primaries and tone curves:
//
//   MakeColorProfiles <folder>
//
// The bytes depend only on this source and the lcms2 version: the creation
// date is fixed and the profile id is the MD5 of the finished profile. Each
// file is written under a temporary name and renamed, so a failed run never
// leaves a profile that looks complete.
#include <lcms2.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

enum class Curve { Gamma, SRGB };

struct ProfileRecipe {
    const char* fileName;
    const char* description;
    cmsCIExyY white;
    cmsCIExyYTRIPLE primaries;
    Curve curve;
    double gamma;
};

constexpr cmsCIExyY kD65 = {0.3127, 0.3290, 1.0};
constexpr cmsCIExyY kD50 = {0.3457, 0.3585, 1.0};

const ProfileRecipe kRecipes[] = {
    {"sRGB.icc", "sRGB IEC61966-2.1", kD65, {{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}}, Curve::SRGB, 2.4},
    // The published gamma of Adobe RGB (1998) is 2 51/256.
    {"AdobeRGB1998.icc", "Adobe RGB (1998)", kD65, {{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}}, Curve::Gamma,
     563.0 / 256.0},
    {"AppleRGB.icc", "Apple RGB", kD65, {{0.625, 0.340, 1}, {0.280, 0.595, 1}, {0.155, 0.070, 1}}, Curve::Gamma, 1.8},
    {"ColorMatchRGB.icc", "ColorMatch RGB", kD50, {{0.630, 0.340, 1}, {0.295, 0.605, 1}, {0.150, 0.075, 1}},
     Curve::Gamma, 1.8},
    {"ProPhotoRGB.icc", "ProPhoto RGB", kD50, {{0.7347, 0.2653, 1}, {0.1596, 0.8404, 1}, {0.0366, 0.0001, 1}},
     Curve::Gamma, 1.8},
};

// The header's creation date and time: 2000-01-01 00:00:00.
constexpr size_t kDateOffset = 24;
constexpr unsigned char kFixedDate[12] = {0x07, 0xD0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0};

cmsToneCurve* BuildCurve(const ProfileRecipe& recipe)
{
    if (recipe.curve == Curve::SRGB) {
        // IEC 61966-2.1: ((x + 0.055) / 1.055)^2.4 above 0.04045, x / 12.92 below.
        const cmsFloat64Number params[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
        return cmsBuildParametricToneCurve(nullptr, 4, params);
    }
    return cmsBuildGamma(nullptr, recipe.gamma);
}

bool SetText(cmsHPROFILE profile, cmsTagSignature tag, const char* text)
{
    cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
    const bool ok = mlu && cmsMLUsetASCII(mlu, "en", "US", text) && cmsWriteTag(profile, tag, mlu);
    cmsMLUfree(mlu);
    return ok;
}

std::vector<unsigned char> SaveToMemory(cmsHPROFILE profile)
{
    cmsUInt32Number size = 0;
    if (!cmsSaveProfileToMem(profile, nullptr, &size) || size == 0)
        return {};
    std::vector<unsigned char> bytes(size);
    if (!cmsSaveProfileToMem(profile, bytes.data(), &size))
        return {};
    bytes.resize(size);
    return bytes;
}

// The profile's bytes, or none when lcms2 refuses any step.
std::vector<unsigned char> MakeProfile(const ProfileRecipe& recipe)
{
    cmsToneCurve* curve = BuildCurve(recipe);
    if (!curve)
        return {};
    cmsToneCurve* const curves[3] = {curve, curve, curve}; // one curve, stored once
    cmsHPROFILE profile = cmsCreateRGBProfile(&recipe.white, &recipe.primaries, curves);
    cmsFreeToneCurve(curve);
    if (!profile)
        return {};
    std::vector<unsigned char> bytes;
    if (SetText(profile, cmsSigProfileDescriptionTag, recipe.description) &&
        SetText(profile, cmsSigCopyrightTag, "No copyright, use freely"))
        bytes = SaveToMemory(profile);
    cmsCloseProfile(profile);
    if (bytes.size() < kDateOffset + sizeof kFixedDate)
        return {};

    // Fix the date, then reopen the bytes to stamp the id over the final form.
    std::memcpy(bytes.data() + kDateOffset, kFixedDate, sizeof kFixedDate);
    profile = cmsOpenProfileFromMem(bytes.data(), cmsUInt32Number(bytes.size()));
    if (!profile)
        return {};
    std::vector<unsigned char> stamped;
    if (cmsMD5computeID(profile))
        stamped = SaveToMemory(profile);
    cmsCloseProfile(profile);
    return stamped;
}

bool WriteWhole(const std::filesystem::path& path, const std::vector<unsigned char>& bytes)
{
    const std::filesystem::path temporary = path.string() + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!out.flush()) {
            out.close();
            std::filesystem::remove(temporary);
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error)
        std::filesystem::remove(temporary, error);
    return !error;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "MakeColorProfiles: cannot create %s\n", folder.c_str());
        return 1;
    }
    for (const ProfileRecipe& recipe : kRecipes) {
        const std::vector<unsigned char> bytes = MakeProfile(recipe);
        if (bytes.empty() || !WriteWhole(folder / recipe.fileName, bytes)) {
            std::fprintf(stderr, "MakeColorProfiles: cannot make %s\n", recipe.fileName);
            return 1;
        }
    }
    return 0;
}
