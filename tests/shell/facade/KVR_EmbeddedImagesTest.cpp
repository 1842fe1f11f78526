// The pictures a raw file carries: found through the container's directory in
// every layout, chosen by kind, decoded, turned and scaled, extracted byte for
// byte; and malformed containers, which must give "none" without reading
// outside the file.

#include "shell/facade/KVR_EmbeddedImages.h"

#include "foundation/FPath.h"
#include "support/PdxbBuilder.h"
#include "support/PictureFileBuilder.h"
#include "support/TempFileTest.h"
#include "support/TestSupport.h"
#include "toolkit/CET_Dib.h"
#include "toolkit/CET_ExifData.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;

PdxbImageSpec Jpeg(int columns, int rows, const ExifFields* exif = nullptr)
{
    return PdxbEmbeddedPicture(18, uint32_t(columns), uint32_t(rows), QuarterJpeg(columns, rows, exif));
}

// The quarter picture as stored RGB rows of rowBytes bytes (the rest 0x77).
PdxbImageSpec Rgb(int columns, int rows, uint32_t rowBytes)
{
    const PictureBytes rgb = QuarterPicture(columns, rows);
    PdxbBytes data(size_t(rowBytes) * rows, 0x77);
    for (int y = 0; y < rows; ++y)
        std::copy_n(rgb.begin() + ptrdiff_t(y) * columns * 3, columns * 3, data.begin() + ptrdiff_t(y) * rowBytes);
    return PdxbEmbeddedPicture(3, uint32_t(columns), uint32_t(rows), std::move(data), rowBytes);
}

// The colour of the four quarters nearest to a shown pixel (0x00BBGGRR).
uint32_t Quarter(int colorref)
{
    const int r = colorref & 0xFF, g = (colorref >> 8) & 0xFF, b = (colorref >> 16) & 0xFF;
    uint32_t best = 0;
    int bestDistance = 1 << 30;
    for (uint32_t c : {kRed, kGreen, kBlue, kWhite}) {
        const int dr = r - int(c >> 16), dg = g - int((c >> 8) & 0xFF), db = b - int(c & 0xFF);
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance)
            best = c, bestDistance = distance;
    }
    return best;
}

// The quarters at the shown picture's corners: top left, top right, bottom left, bottom right.
std::array<uint32_t, 4> Corners(const CET_Dib& dib)
{
    const int w = dib.GetWidth(), h = dib.GetHeight();
    const int x0 = w / 8, x1 = w - 1 - w / 8, y0 = h / 8, y1 = h - 1 - h / 8;
    return {Quarter(dib.GetPixel(x0, y0)), Quarter(dib.GetPixel(x1, y0)), Quarter(dib.GetPixel(x0, y1)),
            Quarter(dib.GetPixel(x1, y1))};
}

// The corners of the quarter picture turned clockwise by the degrees.
std::array<uint32_t, 4> TurnedCorners(int degrees)
{
    switch (degrees) {
    case 90:
        return {kBlue, kRed, kWhite, kGreen};
    case 180:
        return {kWhite, kBlue, kGreen, kRed};
    case 270:
        return {kGreen, kWhite, kRed, kBlue};
    default:
        return {kRed, kGreen, kBlue, kWhite};
    }
}

struct Found {
    int type;
    int offset;
    int length;
};

class EmbeddedImagesTest : public TempFileTest {
protected:
    // Writes the file and gives its native path.
    FString Write(const std::string& name, const PdxbBytes& bytes) const
    {
        WriteFileBytes(PathOf(name), std::string(bytes.begin(), bytes.end()));
        return Native(name);
    }
    FString Native(const std::string& name) const { return PathFromNative(PathOf(name).string()); }

    static Found Find(const FString& path, int kind)
    {
        std::string native;
        PathToNative(path, native);
        std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(native.c_str(), "rb"), std::fclose);
        Found found{-1, -1, -1};
        found.type = KVR_FindEmbeddedImage(file.get(), kind, &found.offset, &found.length);
        return found;
    }

    static std::unique_ptr<CET_Dib> Load(const FString& path, int kind, int rotation = 0, int* size = nullptr,
                                         CET_ExifData* info = nullptr)
    {
        return std::unique_ptr<CET_Dib>(KVR_LoadEmbeddedImageToBitmap(path.GetText(), kind, info, size, rotation));
    }
};

} // namespace

TEST_F(EmbeddedImagesTest, EachKindFindsItsPictureAndTheWholeSection)
{
    enum Section { Large, Small, RgbThumb };
    struct Case {
        const char* name;
        std::vector<Section> sections;
        std::array<int, 3> expected; // result of kinds 0, 1, 2
        std::array<int, 3> section;  // index in sections of the picture found, or -1
    };
    const Case cases[] = {
        {"all three", {Large, Small, RgbThumb}, {2, 1, 1}, {1, 0, 0}},
        {"only the large JPEG", {Large}, {0, 1, 1}, {-1, 0, 0}},
        {"only the RGB thumbnail", {RgbThumb}, {3, 0, 0}, {0, -1, -1}},
        {"RGB before the small JPEG", {RgbThumb, Small}, {2, 0, 0}, {1, -1, -1}},
        {"a later small JPEG replaces the first", {Small, Large, Small}, {2, 1, 1}, {2, 1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PdxbBuilder builder;
        std::vector<int> ids;
        for (Section s : c.sections)
            ids.push_back(builder.AddImage(s == Large ? Jpeg(64, 48) : s == Small ? Jpeg(221, 147) : Rgb(16, 12, 48),
                                           kPdxbIma2));
        // Sensor data of kind 1 under the same entry type is no embedded picture.
        PdxbImageSpec sensor = Jpeg(32, 32);
        sensor.kind = 1;
        builder.AddImage(sensor, kPdxbIma2);
        const PdxbFile file = builder.Build();
        const FString path = Write("shot.kvr", file.bytes);
        for (int kind = 0; kind < 3; ++kind) {
            const Found found = Find(path, kind);
            EXPECT_EQ(found.type, c.expected[size_t(kind)]) << "kind " << kind;
            if (c.section[size_t(kind)] < 0)
                continue;
            const size_t id = size_t(ids[size_t(c.section[size_t(kind)])]);
            EXPECT_EQ(uint64_t(found.offset), file.sectionOffsets[id]) << "kind " << kind;
            const uint64_t end = id + 1 < file.sectionOffsets.size() ? file.sectionOffsets[id + 1]
                                                                     : file.directoryOffsets[0];
            EXPECT_EQ(uint64_t(found.length), end - file.sectionOffsets[id]) << "kind " << kind;
        }
    }
    EXPECT_EQ(KVR_FindEmbeddedImage(nullptr, 0, nullptr, nullptr), kEmbeddedNone);
}

TEST_F(EmbeddedImagesTest, AJpegFileIsNoContainer)
{
    const PictureBytes jpeg = QuarterJpeg(64, 48);
    const FString path = Write("photo.kvr", PdxbBytes(jpeg.begin(), jpeg.end()));
    for (int kind = 0; kind < 3; ++kind) {
        EXPECT_EQ(Find(path, kind).type, kEmbeddedNone);
        EXPECT_EQ(Load(path, kind), nullptr);
    }
    int error = -1;
    EXPECT_EQ(KVR_ExtractEmbeddedJpeg(path.GetText(), Native("out.jpg").GetText(), &error), 0);
    EXPECT_EQ(error, kExtractNoJpeg);
    EXPECT_FALSE(std::filesystem::exists(PathOf("out.jpg")));
}

TEST_F(EmbeddedImagesTest, AVersion3ContainerWithNestedDirectoriesIsRead)
{
    PdxbHeaderSpec header;
    header.version = PdxbVersion(3, 0);
    header.columns = 64;
    header.rows = 48;
    PdxbDirectorySpec top;
    top.version = PdxbVersion(3, 0);
    top.headerSize = 24; // longer than needed: the reader skips the surplus
    top.entrySize = 28;
    PdxbBuilder builder(header, top);
    const int nested = builder.AddDirectory(PdxbDirectorySpec{PdxbVersion(2, 0), 16, 20});
    PdxbImageSpec large = Jpeg(64, 48);
    large.version = PdxbVersion(3, 0);
    large.headerSize = 44; // the data starts after the whole header
    builder.AddImage(large, kPdxbIma2, nested);
    PdxbImageSpec small = Jpeg(221, 147);
    small.version = PdxbVersion(3, 0);
    builder.AddImage(small, kPdxbIma2);
    const FString path = Write("v3.kvr", builder.Build().bytes);

    EXPECT_EQ(Find(path, kEmbeddedThumbnail).type, kEmbeddedSmallJpeg);
    EXPECT_EQ(Find(path, kEmbeddedPreview).type, kEmbeddedLargeJpeg);
    const auto preview = Load(path, kEmbeddedPreviewFullSize);
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(preview->GetWidth(), 64);
    EXPECT_EQ(Corners(*preview), TurnedCorners(0));

    int error = -1;
    ASSERT_EQ(KVR_ExtractEmbeddedJpeg(path.GetText(), Native("preview.jpg").GetText(), &error), 1);
    EXPECT_EQ(error, kExtractDone);
    EXPECT_EQ(ReadFileBytes(PathOf("preview.jpg")), std::string(large.data.begin(), large.data.end()));
}

TEST_F(EmbeddedImagesTest, MalformedContainersHaveNoPictures)
{
    // A good file: the large JPEG, the RGB thumbnail and the small JPEG, in
    // that order, the small one behind a nested directory.
    const auto build = [] {
        PdxbBuilder builder;
        builder.AddImage(Jpeg(64, 48), kPdxbIma2);
        builder.AddImage(Rgb(16, 12, 48), kPdxbIma2);
        const int nested = builder.AddDirectory();
        builder.AddImage(Jpeg(221, 147), kPdxbIma2, nested);
        return builder.Build();
    };
    const PdxbFile good = build();
    const size_t rgbAt = good.sectionOffsets[1];
    struct Case {
        const char* name;
        std::function<void(PdxbFile&)> corrupt;
        std::array<bool, 3> still; // large JPEG, RGB, small JPEG still found
    };
    const Case cases[] = {
        {"a section shorter than its header", [](PdxbFile& f) { f.SetEntryLength(0, 0, 20); }, {false, true, true}},
        {"an RGB section claiming more rows than it holds",
         [&](PdxbFile& f) { PatchU32(f.bytes, rgbAt + 20, 13); }, {true, false, true}},
        {"RGB rows shorter than their pixels", [&](PdxbFile& f) { PatchU32(f.bytes, rgbAt + 24, 47); },
         {true, false, true}},
        {"RGB rows of a huge count", [&](PdxbFile& f) { PatchU32(f.bytes, rgbAt + 20, 0xFFFFFFFF); },
         {true, false, true}},
        {"a section beyond the end", [](PdxbFile& f) { f.RetargetEntry(0, 0, f.bytes.size() - 8); },
         {false, true, true}},
        {"a section length beyond the end", [](PdxbFile& f) { f.SetEntryLength(0, 1, 0x7FFFFFFF); },
         {true, false, true}},
        {"a nested directory beyond the end", [](PdxbFile& f) { f.RetargetEntry(0, 2, 0xFFFFFF00); },
         {false, false, false}},
        {"a nested directory that is its parent",
         [](PdxbFile& f) { f.RetargetEntry(0, 2, f.directoryOffsets[0]); }, {false, false, false}},
        {"a directory pointer beyond the end",
         [](PdxbFile& f) { PatchU32(f.bytes, f.pointerPosition, uint32_t(f.bytes.size())); }, {false, false, false}},
        {"more entries than the directory holds",
         [](PdxbFile& f) { PatchU32(f.bytes, f.directoryOffsets[0] + 8, 1000); }, {false, false, false}},
        {"a directory that is no directory",
         [](PdxbFile& f) { PatchU32(f.bytes, f.directoryOffsets[0], FourCC("SECi")); }, {false, false, false}},
        {"a truncated file", [](PdxbFile& f) { f.bytes.resize(f.bytes.size() / 2); }, {false, false, false}},
        {"a file shorter than its header", [](PdxbFile& f) { f.bytes.resize(20); }, {false, false, false}},
        {"another magic", [](PdxbFile& f) { PatchU32(f.bytes, 0, FourCC("PDXc")); }, {false, false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PdxbFile file = good;
        c.corrupt(file);
        const FString path = Write("bad.kvr", file.bytes);
        EXPECT_EQ(Find(path, kEmbeddedPreview).type, c.still[0] ? kEmbeddedLargeJpeg : kEmbeddedNone);
        EXPECT_EQ(Find(path, kEmbeddedThumbnail).type,
                  c.still[2] ? kEmbeddedSmallJpeg : c.still[1] ? kEmbeddedRgb : kEmbeddedNone);
        EXPECT_EQ(Load(path, kEmbeddedPreview) != nullptr, c.still[0]);
        EXPECT_EQ(Load(path, kEmbeddedThumbnail) != nullptr, c.still[1] || c.still[2]);
        int error = -1;
        EXPECT_EQ(KVR_ExtractEmbeddedJpeg(path.GetText(), Native("out.jpg").GetText(), &error), c.still[0] ? 1 : 0);
        EXPECT_EQ(error, c.still[0] ? kExtractDone : kExtractNoJpeg);
        std::filesystem::remove(PathOf("out.jpg"));
    }
}

TEST_F(EmbeddedImagesTest, APictureThatIsNoJpegGivesNoBitmap)
{
    PdxbBuilder builder;
    builder.AddImage(PdxbEmbeddedPicture(18, 64, 48, PdxbBytes(500, 0xAB)), kPdxbIma2);
    const FString path = Write("noise.kvr", builder.Build().bytes);
    EXPECT_EQ(Find(path, kEmbeddedPreview).type, kEmbeddedLargeJpeg);
    EXPECT_EQ(Load(path, kEmbeddedPreview), nullptr);
    EXPECT_EQ(Load(path, kEmbeddedPreviewFullSize), nullptr);
}

TEST_F(EmbeddedImagesTest, TheLargePreviewIsScaledTo360UnlessAskedAtFullSize)
{
    struct Case {
        int columns, rows, kind;
        int width, height; // of the bitmap
    };
    const Case cases[] = {
        {1600, 1200, kEmbeddedPreview, 360, 270},
        {1600, 1200, kEmbeddedPreviewFullSize, 1600, 1200},
        {1200, 1600, kEmbeddedPreview, 268, 360}, // 270 wide, cut to a multiple of 4
        {1602, 120, kEmbeddedPreviewFullSize, 1600, 120},
        {200, 100, kEmbeddedPreview, 360, 180}, // a small preview is enlarged
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.columns) + " x " + std::to_string(c.rows) + " kind " + std::to_string(c.kind));
        PdxbHeaderSpec header;
        header.columns = uint32_t(c.columns) * 2;
        header.rows = uint32_t(c.rows) * 2;
        PdxbBuilder builder(header);
        builder.AddImage(Jpeg(c.columns, c.rows), kPdxbIma2);
        const FString path = Write("preview.kvr", builder.Build().bytes);
        int size[2] = {};
        BITMAPINFOHEADER bitmap{};
        std::unique_ptr<BYTE[], void (*)(BYTE*)> bits(
            KVR_LoadEmbeddedImageToDIB(path.GetText(), &bitmap, c.kind, nullptr, size, 0), DeleteDibBits);
        ASSERT_NE(bits, nullptr);
        EXPECT_EQ(bitmap.biSize, 40u);
        EXPECT_EQ(bitmap.biBitCount, 24);
        EXPECT_EQ(bitmap.biWidth, c.width);
        EXPECT_EQ(bitmap.biHeight, c.height);
        EXPECT_EQ(bitmap.biSizeImage, uint32_t(c.width * 3 * c.height));
        EXPECT_EQ(size[0], c.columns);
        EXPECT_EQ(size[1], c.rows);
        BITMAPINFO block{};
        block.bmiHeader = bitmap;
        CET_Dib dib;
        dib.Set(&block, bits.get(), bitmap.biSizeImage);
        EXPECT_EQ(Corners(dib), TurnedCorners(0));
    }
}

TEST_F(EmbeddedImagesTest, ThumbnailsTurnByTheRotationGiven)
{
    for (const bool rgb : {false, true}) {
        PdxbBuilder builder;
        builder.AddImage(rgb ? Rgb(160, 120, 484) : Jpeg(221, 147), kPdxbIma2);
        const FString path = Write("thumb.kvr", builder.Build().bytes);
        for (const int rotation : {0, 90, 180, 270, 45}) {
            SCOPED_TRACE((rgb ? "RGB, " : "JPEG, ") + std::to_string(rotation));
            CET_ExifData info;
            info.SetImageSize(5, 5);
            int size[2] = {5, 5};
            const auto dib = Load(path, kEmbeddedThumbnail, rotation, size, &info);
            ASSERT_NE(dib, nullptr);
            const bool across = rotation == 90 || rotation == 270;
            const int width = rgb ? (across ? 120 : 160) : (across ? 144 : 220);
            const int height = rgb ? (across ? 160 : 120) : (across ? 221 : 147);
            EXPECT_EQ(dib->GetWidth(), width);
            EXPECT_EQ(dib->GetHeight(), height);
            EXPECT_EQ(dib->GetBitCount(), 24);
            EXPECT_EQ(Corners(*dib), TurnedCorners(rotation == 45 ? 0 : rotation));
            EXPECT_EQ(size[0], 0);
            EXPECT_EQ(info.GetImageWidth(), 0);
            if (rgb && (rotation == 0 || rotation == 45)) {
                // As stored: top-down, full width, rows padded to 4 bytes.
                EXPECT_EQ(dib->header->bmiHeader.biHeight, -120);
                EXPECT_EQ(dib->size, 480u * 120u);
            }
        }
    }
}

TEST_F(EmbeddedImagesTest, TheLargePreviewTurnsWithTheFile)
{
    ExifFields exif;
    exif.orientation = 1;
    struct Case {
        const char* name;
        uint32_t rotation;
        int columns, rows;     // of the stored preview
        bool withExif;
        int width, height;     // shown
        int turn;              // how the shown picture lies against the stored one
    };
    const Case cases[] = {
        {"upright", 0, 320, 240, true, 320, 240, 0},
        {"turned a quarter", 90, 320, 240, false, 240, 320, 90},
        {"turned back", 270, 320, 240, true, 240, 320, 270},
        {"upside down", 180, 320, 240, false, 320, 240, 180},
        {"stored already turned", 90, 240, 320, false, 240, 320, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PdxbHeaderSpec header;
        header.columns = 640; // before the turn
        header.rows = 480;
        header.rotation = c.rotation;
        PdxbBuilder builder(header);
        builder.AddImage(Jpeg(c.columns, c.rows, c.withExif ? &exif : nullptr), kPdxbIma2);
        const FString path = Write("turned.kvr", builder.Build().bytes);
        CET_ExifData info;
        int size[2] = {};
        const auto dib = Load(path, kEmbeddedPreviewFullSize, 0, size, &info);
        ASSERT_NE(dib, nullptr);
        EXPECT_EQ(dib->GetWidth(), c.width);
        EXPECT_EQ(dib->GetHeight(), c.height);
        EXPECT_EQ(Corners(*dib), TurnedCorners(c.turn));
        EXPECT_EQ(size[0], c.width);
        EXPECT_EQ(size[1], c.height);
        EXPECT_EQ(info.GetImageWidth(), c.width);
        EXPECT_EQ(info.GetImageHeight(), c.height);
        EXPECT_EQ(info.FindItem(kExifTagExifVersion) != nullptr, c.withExif);
    }
}

TEST_F(EmbeddedImagesTest, ExtractionCopiesThePreviewExactlyOrWritesNothing)
{
    PdxbBuilder builder;
    const PdxbImageSpec large = Jpeg(96, 64);
    builder.AddImage(large, kPdxbIma2);
    const FString raw = Write("shot.kvr", builder.Build().bytes);

    int error = -1;
    ASSERT_EQ(KVR_ExtractEmbeddedJpeg(raw.GetText(), Native("shot.jpg").GetText(), &error), 1);
    EXPECT_EQ(error, kExtractDone);
    EXPECT_EQ(ReadFileBytes(PathOf("shot.jpg")), std::string(large.data.begin(), large.data.end()));
    EXPECT_EQ(KVR_ExtractEmbeddedJpeg(raw.GetText(), Native("again.jpg").GetText(), nullptr), 1);

    struct Case {
        const char* name;
        FString raw, output;
        int error;
    };
    WriteFileBytes(PathOf("locked.jpg"), "keep me");
    std::filesystem::permissions(PathOf("locked.jpg"), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    const Case cases[] = {
        {"a missing raw file", Native("missing.kvr"), Native("a.jpg"), kExtractReadFailed},
        {"a folder for the raw file", Native(""), Native("b.jpg"), kExtractReadFailed},
        {"a folder that does not exist", raw, Native("no/such/folder/c.jpg"), kExtractWriteFailed},
        {"a locked output file", raw, Native("locked.jpg"), kExtractWriteFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        error = -1;
        EXPECT_EQ(KVR_ExtractEmbeddedJpeg(c.raw.GetText(), c.output.GetText(), &error), 0);
        EXPECT_EQ(error, c.error);
    }
    EXPECT_FALSE(std::filesystem::exists(PathOf("a.jpg")));
    EXPECT_FALSE(std::filesystem::exists(PathOf("b.jpg")));
    EXPECT_FALSE(std::filesystem::exists(PathOf("no")));
    EXPECT_EQ(ReadFileBytes(PathOf("locked.jpg")), "keep me");
    // Only the two outputs are in the folder (no temporary file was left).
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(m_Dir.Path()))
        files += entry.path().extension() == ".jpg" || entry.path().filename().string().front() == '.';
    EXPECT_EQ(files, 3);
}
