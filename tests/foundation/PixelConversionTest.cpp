#include "foundation/PixelConversion.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "foundation/FException.h"
#include "foundation/FPixmap.h"
#include "foundation/FValueTypes.h"
#include "support/TestPixmap.h"

namespace {

using Bytes = std::vector<uint8_t>;
using RowConverter = void (*)(int32_t, const void*, void*);

// What one sample pixel becomes in each of the eight destination types, worked
// out by hand from the conversion rules.
struct Expected {
    Bytes to24BGR, to24RGB, to30RGBL, to30RGB, to32ARGB, to32BGRA, to48RGB, to48BGR;
};

// 8-bit colour sample R 0xC5, G 0x3A, B 0x96.
const Expected kFrom8Bit = {
    {0x96, 0x3A, 0xC5},
    {0xC5, 0x3A, 0x96},
    {0xC5, 0x3A, 0x96, 0x00},  // pack8: bytes R, G, B, 0
    {0x28, 0x86, 0x0E, 0x96},  // R << 3 | G << 14 | B << 24 = 0x960E8628
    {0xFF, 0xC5, 0x3A, 0x96},
    {0x96, 0x3A, 0xC5, 0xFF},
    {0x00, 0xC5, 0x00, 0x3A, 0x00, 0x96},
    {0x00, 0x96, 0x00, 0x3A, 0x00, 0xC5},
};

// Packed sample R 0x5A3, G 0x1C6 (11 bits), B 0x2E9 (10 bits).
const Expected kFromPacked = {
    {0xBA, 0x38, 0xB4},                                // top8: R >> 3, G >> 3, B >> 2
    {0xB4, 0x38, 0xBA},
    {0xB4, 0x38, 0xBA, 0x79},                          // byte 3: B&3 | (G&7) << 2 | (R&7) << 5
    {0xA3, 0x35, 0x4E, 0xBA},                          // 0xBA4E35A3
    {0xFF, 0xB4, 0x38, 0xBA},
    {0xBA, 0x38, 0xB4, 0xFF},
    {0x60, 0xB4, 0xC0, 0x38, 0x40, 0xBA},              // wide30: 0xB460, 0x38C0, 0xBA40
    {0x40, 0xBA, 0xC0, 0x38, 0x60, 0xB4},
};

// 16-bit sample R 0x1234, G 0xABCD, B 0x9E37.
const Expected kFrom16Bit = {
    {0x9E, 0xAB, 0x12},
    {0x12, 0xAB, 0x9E},
    {0x12, 0xAB, 0x9E, 0x38},  // pack16: R 0x091, G 0x55E, B 0x278
    {0x91, 0xF0, 0x2A, 0x9E},  // 0x9E2AF091
    {0xFF, 0x12, 0xAB, 0x9E},
    {0x9E, 0xAB, 0x12, 0xFF},
    {0x34, 0x12, 0xCD, 0xAB, 0x37, 0x9E},
    {0x37, 0x9E, 0xCD, 0xAB, 0x34, 0x12},
};

// Grey 8-bit sample 0xA7.
const Expected kFrom8Mono = {
    {0xA7, 0xA7, 0xA7},
    {0xA7, 0xA7, 0xA7},
    {0xA7, 0xA7, 0xA7, 0x00},
    {0x38, 0xC5, 0x29, 0xA7},  // R = G = 0x538, B = 0x29C
    {0xFF, 0xA7, 0xA7, 0xA7},
    {0xA7, 0xA7, 0xA7, 0xFF},
    {0x00, 0xA7, 0x00, 0xA7, 0x00, 0xA7},
    {0x00, 0xA7, 0x00, 0xA7, 0x00, 0xA7},
};

// 12-bit sample 0x9C5 (also what the low word 0xF9C5 of a 32Mono pixel gives).
const Expected kFrom12Mono = {
    {0x9C, 0x9C, 0x9C},
    {0x9C, 0x9C, 0x9C},
    {0x9C, 0x9C, 0x9C, 0x49},  // R = G = 0x4E2, B = 0x271
    {0xE2, 0x14, 0x67, 0x9C},  // 0x9C6714E2
    {0xFF, 0x9C, 0x9C, 0x9C},
    {0x9C, 0x9C, 0x9C, 0xFF},
    {0x50, 0x9C, 0x50, 0x9C, 0x50, 0x9C},
    {0x50, 0x9C, 0x50, 0x9C, 0x50, 0x9C},
};

// 16-bit grey sample 0xB3D9 (a negative signed value).
const Expected kFrom16Mono = {
    {0xB3, 0xB3, 0xB3},
    {0xB3, 0xB3, 0xB3},
    {0xB3, 0xB3, 0xB3, 0xDB},  // R = G = 0x59E, B = 0x2CF
    {0x9E, 0xF5, 0xEC, 0xB3},  // 0xB3ECF59E
    {0xFF, 0xB3, 0xB3, 0xB3},
    {0xB3, 0xB3, 0xB3, 0xFF},
    {0xD9, 0xB3, 0xD9, 0xB3, 0xD9, 0xB3},
    {0xD9, 0xB3, 0xD9, 0xB3, 0xD9, 0xB3},
};

// The samples stored in each source type. Alpha bytes hold 0x77, which must
// never reach a destination.
const Bytes k24BGR = {0x96, 0x3A, 0xC5};
const Bytes k24RGB = {0xC5, 0x3A, 0x96};
const Bytes k32ARGB = {0x77, 0xC5, 0x3A, 0x96};
const Bytes k32ABGR = {0x77, 0x96, 0x3A, 0xC5};
const Bytes k32BGRA = {0x96, 0x3A, 0xC5, 0x77};
const Bytes k32RGBA = {0xC5, 0x3A, 0x96, 0x77};
const Bytes k30RGBL = {0xB4, 0x38, 0xBA, 0x79};
const Bytes k30BGRL = {0xBA, 0x38, 0xB4, 0x79};
const Bytes k30RGB = {0xA3, 0x35, 0x4E, 0xBA};
const Bytes k48RGB = {0x34, 0x12, 0xCD, 0xAB, 0x37, 0x9E};
const Bytes k48SRGB = k48RGB;
const Bytes k48BGR = {0x37, 0x9E, 0xCD, 0xAB, 0x34, 0x12};
const Bytes k8Mono = {0xA7};
const Bytes k12Mono = {0xC5, 0x09};
const Bytes k16Mono = {0xD9, 0xB3};
const Bytes k16SMono = k16Mono;
const Bytes k32Mono = {0xC5, 0xF9, 0xEF, 0xBE};  // 0xBEEFF9C5: the high word is never read

struct ConverterCase {
    std::string name;
    RowConverter convert;
    Bytes source;
    Bytes expected;
};

#define CASE(S, D, EXPECTED) ConverterCase{#S " to " #D, ConvertRow##S##To##D, k##S, EXPECTED.to##D}
#define ALL_DESTINATIONS(S, EXPECTED)                                                             \
    CASE(S, 24BGR, EXPECTED), CASE(S, 24RGB, EXPECTED), CASE(S, 30RGBL, EXPECTED),               \
        CASE(S, 30RGB, EXPECTED), CASE(S, 32ARGB, EXPECTED), CASE(S, 32BGRA, EXPECTED),          \
        CASE(S, 48RGB, EXPECTED), CASE(S, 48BGR, EXPECTED)

const std::vector<ConverterCase>& AllConverterCases()
{
    static const std::vector<ConverterCase> cases = {
        ALL_DESTINATIONS(24BGR, kFrom8Bit),   ALL_DESTINATIONS(24RGB, kFrom8Bit),
        ALL_DESTINATIONS(32ARGB, kFrom8Bit),  ALL_DESTINATIONS(32ABGR, kFrom8Bit),
        ALL_DESTINATIONS(32BGRA, kFrom8Bit),  ALL_DESTINATIONS(32RGBA, kFrom8Bit),
        ALL_DESTINATIONS(30RGBL, kFromPacked), ALL_DESTINATIONS(30BGRL, kFromPacked),
        ALL_DESTINATIONS(30RGB, kFromPacked), ALL_DESTINATIONS(48RGB, kFrom16Bit),
        ALL_DESTINATIONS(48SRGB, kFrom16Bit), ALL_DESTINATIONS(48BGR, kFrom16Bit),
        ALL_DESTINATIONS(8Mono, kFrom8Mono),  ALL_DESTINATIONS(12Mono, kFrom12Mono),
        ALL_DESTINATIONS(16Mono, kFrom16Mono), ALL_DESTINATIONS(32Mono, kFrom12Mono),
        CASE(16SMono, 30RGBL, kFrom16Mono),   CASE(16SMono, 30RGB, kFrom16Mono),
    };
    return cases;
}

#undef ALL_DESTINATIONS
#undef CASE

// A source pixel of all-zero bytes: zero colour, and alpha 255 where the
// destination has an alpha byte (first byte of 32ARGB, last of 32BGRA).
Bytes ConvertedZero(const std::string& name, size_t size)
{
    Bytes zero(size, 0);
    if (name.ends_with("32ARGB"))
        zero.front() = 0xFF;
    if (name.ends_with("32BGRA"))
        zero.back() = 0xFF;
    return zero;
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(PixelConversionTest, EveryConverterMatchesHandComputedPixels)
{
    const auto& cases = AllConverterCases();
    ASSERT_EQ(cases.size(), 130u);
    for (const ConverterCase& c : cases) {
        SCOPED_TRACE(c.name);
        // Sample, zero pixel, sample: a wrong stride or a stray write shows up,
        // and the guard bytes behind the row must stay untouched.
        const Bytes source = Concat({c.source, Bytes(c.source.size(), 0), c.source});
        const size_t rowSize = 3 * c.expected.size();
        Bytes destination(rowSize + 8, 0xCD);
        c.convert(3, source.data(), destination.data());

        const Bytes expected =
            Concat({c.expected, ConvertedZero(c.name, c.expected.size()), c.expected, Bytes(8, 0xCD)});
        EXPECT_EQ(destination, expected);
    }
}

TEST(PixelConversionTest, ConvertersAcceptUnalignedRowsAndCountsUpToZero)
{
    for (const ConverterCase& c : AllConverterCases()) {
        SCOPED_TRACE(c.name);
        Bytes source = Concat({Bytes(1, 0), c.source});
        Bytes destination(c.expected.size() + 1, 0xCD);
        c.convert(1, source.data() + 1, destination.data() + 1);
        EXPECT_EQ(destination, Concat({Bytes(1, 0xCD), c.expected}));

        const Bytes untouched = destination;
        c.convert(0, source.data(), destination.data());
        c.convert(-5, source.data(), destination.data());
        EXPECT_EQ(destination, untouched);
    }
}

TEST(PixelConversionTest, KnownExamplesOfTheRules)
{
    const uint16_t rgb48[3] = {0x1234, 0xABCD, 0xFFFF};
    uint8_t bgr[3];
    ConvertRow48RGBTo24BGR(1, rgb48, bgr);
    EXPECT_EQ(Bytes(bgr, bgr + 3), (Bytes{0xFF, 0xAB, 0x12}));
    uint32_t packed = 0;
    ConvertRow48RGBTo30RGB(1, rgb48, &packed);
    EXPECT_EQ(packed, 0xFFEAF091u);

    const uint8_t bgra[4] = {1, 2, 3, 0};
    uint8_t display[4];
    ConvertRow32BGRATo32BGRA(1, bgra, display);
    EXPECT_EQ(Bytes(display, display + 4), (Bytes{1, 2, 3, 255}));

    const uint16_t mono12 = 4095;
    uint8_t grey[3];
    uint16_t words[3];
    ConvertRow12MonoTo24RGB(1, &mono12, grey);
    ConvertRow12MonoTo48RGB(1, &mono12, words);
    EXPECT_EQ(Bytes(grey, grey + 3), (Bytes{255, 255, 255}));
    EXPECT_EQ(words[0], 65520);
    EXPECT_EQ(words[2], 65520);

    const uint32_t mono32 = 0x12340FFF;
    ConvertRow32MonoTo24RGB(1, &mono32, grey);
    EXPECT_EQ(grey[1], 255);
}

TEST(PixelConversionTest, PackedRepackingIsLossless)
{
    std::mt19937 random(7);
    for (int i = 0; i < 10000; ++i) {
        const uint32_t word = random();
        uint32_t rgb = 0, back = 0;
        ConvertRow30RGBLTo30RGB(1, &word, &rgb);
        ConvertRow30RGBTo30RGBL(1, &rgb, &back);
        ASSERT_EQ(back, word);

        uint32_t fromBgrl = 0;
        ConvertRow30BGRLTo30RGBL(1, &word, &fromBgrl);
        ASSERT_EQ(fromBgrl >> 24, word >> 24);  // byte 3 kept
        ASSERT_EQ(fromBgrl & 0xFF, (word >> 16) & 0xFF);
        ASSERT_EQ((fromBgrl >> 16) & 0xFF, word & 0xFF);
    }
}

// --- dispatchers ------------------------------------------------------------

// A pixmap of its own bytes, each row padded by 4 guard bytes.
template <class PixelClass>
testsupport::TestPixmap<PixelClass> Guarded(int32_t columns, int32_t rows, uint8_t fill = 0xCD)
{
    return {columns, rows, 4, fill};
}

// A 48RGB source whose pixel (x, y) has R = 0x100 * (16 y + x), G = 0x1100, B = 0x2200.
testsupport::TestPixmap<FPixelClass48RGB> MakeNumberedSource(int32_t columns, int32_t rows)
{
    auto source = Guarded<FPixelClass48RGB>(columns, rows);
    for (int32_t y = 0; y < rows; ++y)
        for (int32_t x = 0; x < columns; ++x)
            *source.Get()->GetPixel(x, y) = {static_cast<uint16_t>(0x100 * (16 * y + x)), 0x1100, 0x2200};
    return source;
}

std::string MessageOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const FException& e) {
        return e.GetMessage();
    }
    return "(nothing thrown)";
}

TEST(PixelConversionTest, WholePixmapConvertsEveryRowThroughRowBytes)
{
    auto source = MakeNumberedSource(3, 2);
    auto destination = Guarded<FPixelClass24RGB>(3, 2);
    ConvertColorPixmap(source.Get(), destination.Get());
    const Bytes expected = {0x00, 0x11, 0x22, 0x01, 0x11, 0x22, 0x02, 0x11, 0x22, 0xCD, 0xCD, 0xCD, 0xCD,
                            0x10, 0x11, 0x22, 0x11, 0x11, 0x22, 0x12, 0x11, 0x22, 0xCD, 0xCD, 0xCD, 0xCD};
    EXPECT_EQ(destination.bytes, expected);
}

TEST(PixelConversionTest, CropTakesItsRowsFromItsLeftColumn)
{
    auto source = MakeNumberedSource(4, 4);
    auto destination = Guarded<FPixelClass32BGRA>(2, 2);
    const FIntRect crop(1, 2, 3, 4);
    ConvertColorPixmap(source.Get(), destination.Get(), &crop);
    const Bytes expected = {0x22, 0x11, 0x21, 0xFF, 0x22, 0x11, 0x22, 0xFF, 0xCD, 0xCD, 0xCD, 0xCD,
                            0x22, 0x11, 0x31, 0xFF, 0x22, 0x11, 0x32, 0xFF, 0xCD, 0xCD, 0xCD, 0xCD};
    EXPECT_EQ(destination.bytes, expected);
}

TEST(PixelConversionTest, GreySourcesGoThroughTheMonoDispatcher)
{
    // A signed grey row takes the 16Mono rule for 24-bit output and its own for packed output.
    auto source = Guarded<FPixelClass16SMono>(2, 1);
    *source.Get()->GetPixel(0, 0) = {-1};
    *source.Get()->GetPixel(1, 0) = {static_cast<int16_t>(0xB3D9)};
    auto grey = Guarded<FPixelClass24BGR>(2, 1);
    ConvertColorPixmap(source.Get(), grey.Get());
    EXPECT_EQ(grey.bytes, (Bytes{0xFF, 0xFF, 0xFF, 0xB3, 0xB3, 0xB3, 0xCD, 0xCD, 0xCD, 0xCD}));

    auto packed = Guarded<FPixelClass30RGB>(2, 1);
    ConvertMonoPixmap(source.Get(), packed.Get());
    EXPECT_EQ(packed.Get()->GetPixel(1, 0)->word, 0xB3ECF59Eu);
}

TEST(PixelConversionTest, DispatcherFailuresHaveTheirTextsAndWriteNothing)
{
    auto source = Guarded<FPixelClass24RGB>(640, 480, 0);
    auto wider = Guarded<FPixelClass24RGB>(641, 480);
    auto greySource = Guarded<FPixelClass8Mono>(10, 10, 0);
    auto noConverterInto = Guarded<FPixelClass30BGRL>(4, 4);
    auto floatSource = Guarded<FPixelClassFlt32RGB>(10, 10, 0);
    auto small = Guarded<FPixelClass32BGRA>(9, 10);
    const Bytes untouched = small.bytes;
    const FIntRect crop10(0, 0, 10, 10);

    struct Failure {
        const char* what;
        std::function<void()> call;
        std::string message;
    };
    const std::vector<Failure> failures = {
        {"no destination", [&] { ConvertColorPixmap(source.Get(), nullptr); },
         "The output pixmap has not been initialized: ConvertColorPixmap"},
        {"larger destination", [&] { ConvertColorPixmap(source.Get(), wider.Get()); },
         "The output pixmap is larger than the input pixmap: ConvertColorPixmap."},
        {"colour crop too large", [&] { ConvertColorPixmap(source.Get(), small.Get(), &crop10); },
         "The crop region is larger than the output pixmap: ConvertColorPixmap."},
        {"grey crop too large", [&] { ConvertColorPixmap(greySource.Get(), small.Get(), &crop10); },
         "The crop region is larger than the output pixmap: ConvertMonoPixmap."},
        {"no converter into the type", [&] { ConvertColorPixmap(source.Get(), noConverterInto.Get()); },
         "Unknown destination pixel type in ConvertColorPixmap"},
        {"grey into no converter", [&] { ConvertMonoPixmap(greySource.Get(), noConverterInto.Get()); },
         "Unknown destination pixel type in ConvertColorPixmap"},
        {"float source", [&] { ConvertColorPixmap(floatSource.Get(), small.Get()); },
         "Unknown source pixel type in ConvertColorPixmap"},
        {"colour source to the grey dispatcher", [&] { ConvertMonoPixmap(source.Get(), small.Get()); },
         "Unknown source pixel type in ConvertColorPixmap"},
        {"grey source to the colour dispatcher",
         [&] { ConvertColorSourcePixmap(greySource.Get(), small.Get()); },
         "Unknown source pixel type in ConvertColorPixmap"},
    };
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.what);
        EXPECT_EQ(MessageOf(f.call), f.message);
    }
    EXPECT_EQ(small.bytes, untouched);
}

TEST(PixelConversionTest, CropsOutsideTheSourceAreRefused)
{
    auto source = MakeNumberedSource(4, 4);
    auto destination = Guarded<FPixelClass24RGB>(4, 4);
    const Bytes untouched = destination.bytes;
    const std::vector<FIntRect> outside = {
        {-1, 0, 3, 4}, {0, -1, 4, 3}, {1, 0, 5, 4}, {0, 1, 4, 5}, {3, 0, 2, 4}, {0, 3, 4, 2},
    };
    for (const FIntRect& crop : outside) {
        SCOPED_TRACE(testing::Message() << crop.left << "," << crop.top << "," << crop.right << "," << crop.bottom);
        EXPECT_EQ(MessageOf([&] { ConvertColorSourcePixmap(source.Get(), destination.Get(), &crop); }),
                  "The crop region lies outside the input pixmap: ConvertColorPixmap.");
    }
    EXPECT_EQ(destination.bytes, untouched);
}

TEST(PixelConversionTest, ReadsAndWritesStayInsideBothPixmaps)
{
    // Buffers sized exactly (no guard bytes), so any stray access trips the
    // address sanitizer.
    const int32_t columns = 5;
    Bytes sourceBytes(static_cast<size_t>(columns) * 6 * 4, 0x40);
    FPixmapTemplate<FPixelClass48RGB> source(sourceBytes.data(), columns, 4, 0);

    // A destination shorter than the source gets only its own rows.
    Bytes shortBytes(static_cast<size_t>(columns) * 3 * 2, 0);
    FPixmapTemplate<FPixelClass24RGB> shorter(shortBytes.data(), columns, 2, 0);
    ConvertColorSourcePixmap(&source, &shorter);
    EXPECT_EQ(shortBytes, Bytes(shortBytes.size(), 0x40));

    // A crop narrower than the destination at the right edge reads no further than the edge.
    Bytes wideBytes(static_cast<size_t>(columns) * 3 * 2, 0);
    FPixmapTemplate<FPixelClass24RGB> wide(wideBytes.data(), columns, 2, 0);
    const FIntRect crop(3, 2, 5, 4);
    ConvertColorPixmap(&source, &wide, &crop);
    for (int32_t y = 0; y < 2; ++y) {
        EXPECT_EQ(wide.GetPixel(1, y)->b, 0x40);
        EXPECT_EQ(wide.GetPixel(2, y)->r, 0);  // beyond the source's edge: not written
    }

    // A destination wider than the source is refused by the dispatchers too.
    Bytes widerBytes(static_cast<size_t>(columns + 1) * 3, 0);
    FPixmapTemplate<FPixelClass24RGB> wider(widerBytes.data(), columns + 1, 1, 0);
    EXPECT_EQ(MessageOf([&] { ConvertColorSourcePixmap(&source, &wider); }),
              "The output pixmap is larger than the input pixmap: ConvertColorPixmap.");
}

}  // namespace
