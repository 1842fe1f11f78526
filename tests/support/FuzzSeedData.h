#pragma once
// Seed inputs of the decoder fuzz targets, made by our own encoders, in the
// layouts the targets read:
//   HuffmanFuzz:   mode 0: [0, format odd = 11 / even = 6, columns - 1, rows - 1] image data
//                  mode 1: [1, width - 2, chunk - 1, word count (u16)] words (u32 each), coded bytes
//                  mode 2: [2, format, columns - 1, rows - 1, row size (u16)] image data
//   HuffmanM4Fuzz: image: [0, columns - 1, rows - 1] image data
//                  camfile: [1, buffer length (u16), data length (u16)] camfile data
//   CamdataFuzz:   the camera-data buffer itself
//   CamdataDevelopFuzz: [shot] then records [entry (u16), element, value (u32)] that set values of
//                  the synthetic camera's camera data (CamdataDevelopFuzzOptions, CamdataDevelopFuzzEntries)
// Each function returns (file name, bytes) pairs for the target's corpus.

#include "support/CamdataWriter.h"
#include "support/HuffmanEncoder.h"
#include "support/HuffmanM4Encoder.h"
#include "support/PixelFormatEncoder.h"
#include "support/SyntheticCamera.h"

#include <bit>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

using FuzzSeeds = std::vector<std::pair<std::string, std::vector<uint8_t>>>;

namespace fuzzseed {

inline std::vector<uint8_t> Join(std::vector<uint8_t> head, const std::vector<uint8_t>& tail)
{
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

// A smooth test picture of 3 samples per pixel, 12-bit.
inline std::vector<uint16_t> Picture(uint32_t columns, uint32_t rows)
{
    std::vector<uint16_t> samples;
    for (uint32_t y = 0; y < rows; ++y)
        for (uint32_t x = 0; x < columns; ++x)
            for (uint32_t k = 0; k < 3; ++k)
                samples.push_back(uint16_t((100 + 7 * x + 5 * y + 50 * k) % 4096));
    return samples;
}

inline std::vector<uint8_t> Bytes16(const std::vector<uint16_t>& samples)
{
    std::vector<uint8_t> bytes;
    for (const uint16_t s : samples) {
        bytes.push_back(uint8_t(s));
        bytes.push_back(uint8_t(s >> 8));
    }
    return bytes;
}

} // namespace fuzzseed

inline FuzzSeeds HuffmanFuzzSeeds()
{
    using namespace fuzzseed;
    FuzzSeeds seeds;
    const uint32_t columns = 12, rows = 6;
    const std::vector<uint16_t> picture = Picture(columns, rows);
    const std::vector<uint8_t> wide = Bytes16(picture);
    std::vector<uint8_t> narrow;
    for (const uint16_t s : picture)
        narrow.push_back(uint8_t(s));
    seeds.push_back({"format6", Join({0, 0, columns - 1, rows - 1}, EncodeHuffmanImage(6, columns, rows, wide).data)});
    seeds.push_back({"format11", Join({0, 1, columns - 1, rows - 1}, EncodeHuffmanImage(11, columns, rows, narrow).data)});

    const HuffmanImage coded = EncodeHuffmanImage(11, columns, rows, narrow, DefaultHuffmanCurve(), 12);
    std::vector<uint8_t> words;
    for (const uint32_t w : coded.codeWords)
        for (int i = 0; i < 4; ++i)
            words.push_back(uint8_t(w >> (8 * i)));
    const std::vector<uint8_t> rowsOnly(coded.data.begin() + long(coded.huffmanStart),
                                        coded.data.end() - long(4 * rows));
    seeds.push_back({"chunks", Join(Join({1, 6, 2, 0, 1}, words), rowsOnly)});

    for (const uint32_t format : {0u, 4u, 13u, 16u, 20u, 21u, 22u}) {
        uint32_t c = columns, r = rows, storedColumns, storedRows;
        StoredSize(format, c, r, storedColumns, storedRows);
        const FixedRows stored = EncodeFixedRows(format, c, r, wide);
        seeds.push_back({"fixed" + std::to_string(format),
                         Join({2, uint8_t(format), uint8_t(storedColumns - 1), uint8_t(storedRows - 1),
                               uint8_t(stored.rowSize), uint8_t(stored.rowSize >> 8)},
                              stored.data)});
    }
    return seeds;
}

inline FuzzSeeds HuffmanM4FuzzSeeds()
{
    using namespace fuzzseed;
    FuzzSeeds seeds;
    seeds.push_back({"image", Join({0, 15, 7}, EncodeHuffmanM4Image(16, 8, Picture(16, 8), {100, 200, 300}))});
    CamdataWriter writer;
    writer.AddFloats("SpatialDQ", {1}, {4.0f});
    writer.AddText("Model", "TALVO KT9");
    const std::vector<uint8_t> run = writer.BuildRun();
    const uint16_t length = uint16_t(run.size());
    seeds.push_back({"camfile", Join({1, uint8_t(length + 8), uint8_t((length + 8) >> 8), uint8_t(length),
                                      uint8_t(length >> 8)},
                                     EncodeHuffmanM4Camfile(run, 16, 0))});
    return seeds;
}

inline FuzzSeeds CamdataFuzzSeeds()
{
    CamdataWriter w;
    w.AddText("Model", "TALVO KT9");
    w.AddFloats("CamToXYZ", {3, 3}, {1, 0, 0, 0, 1, 0, 0, 0, 1});
    w.AddInt32s("ActiveImageArea", {4}, {2, 2, 97, 97});
    w.AddInt16s("LinLUTs", {3, 4}, {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3});
    w.AddFloats("SpatialGain", {2, 2, 3}, std::vector<float>(12, 1.0f));
    w.AddUInt16s("ChromaSumShift", {1}, {3});
    w.AddBytes("BPBadness", {2}, {200, 100});
    w.AddProperties("WhiteBalanceIlluminants", {{"Daylight", "D55"}, {"Tungsten", "A"}});
    w.AddBlob("Blob", {1, 2, 3, 4});
    return {{"run-little", w.BuildRun(false)},
            {"run-big", w.BuildRun(true)},
            {"camfile-little", w.BuildCamfile(false, 2)},
            {"camfile-big", w.BuildCamfile(true, 1)}};
}

// The camera-data development target's shot from its first byte: bits 0 and 1
// the shot (3 is daylight ISO 800 "Auto" too), bit 2 the per-illuminant
// tables; the 64 x 48 file without previews.
inline SyntheticOptions CamdataDevelopFuzzOptions(uint8_t first)
{
    constexpr SyntheticShot kShots[4] = {SyntheticShot::DaylightIso100, SyntheticShot::DaylightIso800Auto,
                                         SyntheticShot::TungstenIso100, SyntheticShot::DaylightIso800Auto};
    SyntheticOptions options;
    options.shot = kShots[first & 3];
    options.perIlluminantTables = (first & 4) != 0;
    options.size = SyntheticSize::Tiny;
    options.previews = false;
    options.plainCamfile = true;
    return options;
}

// The entries a record addresses, by their index modulo the count: every
// numeric entry of the table, in order. A record's element byte, modulo the
// entry's element count plus one, picks one element or (the last) all; its
// value is a float's bits for a float entry, else the integer cut to the
// entry's type.
inline std::vector<size_t> CamdataDevelopFuzzEntries(const std::vector<CalibrationEntry>& table)
{
    std::vector<size_t> numeric;
    for (size_t i = 0; i < table.size(); ++i)
        if (table[i].type != CalibrationType::List && table[i].type != CalibrationType::Text)
            numeric.push_back(i);
    return numeric;
}

inline FuzzSeeds CamdataDevelopFuzzSeeds()
{
    FuzzSeeds seeds;
    for (uint8_t shot = 0; shot < 8; ++shot)
        seeds.push_back({"shot-" + std::to_string(shot), {shot}});
    // Values that once overflowed or emptied a list, each set in every element.
    const struct {
        uint8_t shot;
        const char* entry;
        uint32_t bits;
    } hostile[] = {{0, "SpatialDQ", std::bit_cast<uint32_t>(1e30f)},
                   {0, "BulbFrameCount", 0xFFFFFFFFu},
                   {0, "RedSharpen", std::bit_cast<uint32_t>(1e30f)},
                   {0, "FnumberGainFact", std::bit_cast<uint32_t>(1e30f)},
                   {5, "AutoWBGain", std::bit_cast<uint32_t>(-1e30f)},
                   {5, "CM_Standard", std::bit_cast<uint32_t>(-1e30f)},
                   {1, "ColorNoiseModel", 0x7FC00000u}};
    for (const auto& h : hostile) {
        const std::vector<CalibrationEntry> table = SyntheticCalibration(CamdataDevelopFuzzOptions(h.shot));
        const std::vector<size_t> numeric = CamdataDevelopFuzzEntries(table);
        for (size_t k = 0; k < numeric.size(); ++k) {
            const uint8_t every = uint8_t(table[numeric[k]].values.size());
            if (table[numeric[k]].name == h.entry)
                seeds.push_back({h.entry, {h.shot, uint8_t(k), uint8_t(k >> 8), every, uint8_t(h.bits),
                                           uint8_t(h.bits >> 8), uint8_t(h.bits >> 16), uint8_t(h.bits >> 24)}});
        }
    }
    return seeds;
}

} // namespace testsupport
