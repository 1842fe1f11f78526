// Saving a developed 20-megapixel picture: the JPEG line writer at the save
// path's default quality index (10) with the accurate transform, and the TIFF
// line writer writing 48-bit rows. Each is measured beside its reference in the
// same run, timed alternately inside one benchmark: the JPEG writer beside
// libjpeg's own encoder called directly on the same pixels with the same
// settings into a stdio file, and the TIFF writer beside a plain write of the
// same bytes in the writer's own chunks (the TIFF library's write buffer of
// 1 MiB). Every reference file is flushed to the disk at its end, as the file
// layer flushes a saved file before it reports it written. The counter
// "x_reference" is the writer's time over the reference's.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>

#include "fileio/codecs/FJPEGLineWriter.h"
#include "fileio/codecs/FTiffLineWriter.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPixmap.h"
#include "foundation/FString.h"
#include "support/TestSupport.h"

namespace {

// 5472 x 3656: a 20-megapixel picture.
constexpr int32_t kColumns = 5472;
constexpr int32_t kRows = 3656;
constexpr int32_t kQualityIndex = 10;
constexpr int kQuality = 93;  // what index 10 stands for; colour at full resolution

using Clock = std::chrono::steady_clock;

// Photograph-like content: smooth gradients with fine texture, so that the
// encoder does the work of a real picture.
std::vector<uint8_t> MakePicture(int bytesPerSample)
{
    std::vector<uint8_t> pixels(size_t(kColumns) * kRows * 3 * size_t(bytesPerSample));
    uint32_t state = 12345;
    size_t at = 0;
    for (int32_t y = 0; y < kRows; ++y)
        for (int32_t x = 0; x < kColumns; ++x)
            for (int c = 0; c < 3; ++c) {
                state = state * 1664525u + 1013904223u;
                const uint32_t value = uint32_t((x / 7 + y / 5) * (c + 1) + (x * y >> 12)) + (state >> 29);
                for (int b = 0; b < bytesPerSample; ++b)
                    pixels[at++] = uint8_t(value >> (8 * (bytesPerSample - 1 - b)));
            }
    return pixels;
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void EncodeWithLibjpeg(const std::vector<uint8_t>& pixels, const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = kColumns;
    info.image_height = kRows;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    info.dct_method = JDCT_ISLOW;
    info.comp_info[0].h_samp_factor = 1;
    info.comp_info[0].v_samp_factor = 1;
    jpeg_set_quality(&info, kQuality, TRUE);
    jpeg_start_compress(&info, TRUE);
    for (int32_t y = 0; y < kRows; ++y) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + size_t(y) * kColumns * 3);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fflush(file);
    ::fsync(::fileno(file));
    std::fclose(file);
}

void EncodeWithLineWriter(const std::vector<uint8_t>& pixels, const FString& url)
{
    FJPEGLineWriter writer(url, kQualityIndex, true);
    writer.SetDimensions(kColumns, kRows, FPixmap::PIXEL_24_RGB);
    for (int32_t y = 0; y < kRows; ++y)
        writer.WriteLine(pixels.data() + size_t(y) * kColumns * 3, FPixmap::PIXEL_24_RGB);
}

void BM_JpegLineWriter20MP(benchmark::State& state)
{
    InitStorageClasses();
    testsupport::TempDir dir;
    const std::vector<uint8_t> pixels = MakePicture(1);
    const std::string ours = (dir.Path() / "ours.jpg").string();
    const std::string reference = (dir.Path() / "reference.jpg").string();
    const FString url = testsupport::UrlOfPath(ours);
    double oursSeconds = 0;
    double referenceSeconds = 0;
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        EncodeWithLineWriter(pixels, url);
        oursSeconds += Seconds(start);
        state.PauseTiming();
        start = Clock::now();
        EncodeWithLibjpeg(pixels, reference);
        referenceSeconds += Seconds(start);
        state.ResumeTiming();
    }
    state.counters["x_reference"] = oursSeconds / referenceSeconds;
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(pixels.size()));
}

// The TIFF line writer's strip buffer: the library gathers the rows in it and
// writes it whenever it is full.
constexpr size_t kWriterChunkBytes = size_t(1) << 20;

// The same bytes through a buffer of the same size, without the TIFF library.
void WritePlainly(const std::vector<uint8_t>& pixels, const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<uint8_t> chunk(kWriterChunkBytes);
    const size_t rowBytes = size_t(kColumns) * 6;
    size_t held = 0;
    const auto writeHeld = [&] {
        const bool ok = ::write(fd, chunk.data(), held) == ssize_t(held);
        held = 0;
        return ok;
    };
    for (size_t row = 0; row < pixels.size(); row += rowBytes)
        for (size_t at = row; at < row + rowBytes;) {
            const size_t take = std::min(row + rowBytes - at, kWriterChunkBytes - held);
            std::memcpy(chunk.data() + held, pixels.data() + at, take);
            held += take;
            at += take;
            if (held == kWriterChunkBytes && !writeHeld())
                break;
        }
    if (held > 0)
        writeHeld();
    ::fsync(fd);
    ::close(fd);
}

void WriteWithTiffWriter(const std::vector<uint8_t>& pixels, const FString& url)
{
    FTiffLineWriter writer(url, false);
    writer.SetDimensions(kColumns, kRows, FPixmap::PIXEL_48_RGB);
    for (int32_t y = 0; y < kRows; ++y)
        writer.WriteLine(pixels.data() + size_t(y) * kColumns * 6, FPixmap::PIXEL_48_RGB);
}

void BM_TiffLineWriter20MP48Bit(benchmark::State& state)
{
    InitStorageClasses();
    testsupport::TempDir dir;
    const std::vector<uint8_t> pixels = MakePicture(2);
    const std::string ours = (dir.Path() / "ours.tif").string();
    const std::string reference = (dir.Path() / "reference.raw").string();
    const FString url = testsupport::UrlOfPath(ours);
    // Both files exist before timing starts, so each timed write replaces a
    // file of the same size.
    WriteWithTiffWriter(pixels, url);
    WritePlainly(pixels, reference);
    double oursSeconds = 0;
    double referenceSeconds = 0;
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        WriteWithTiffWriter(pixels, url);
        oursSeconds += Seconds(start);
        state.PauseTiming();
        start = Clock::now();
        WritePlainly(pixels, reference);
        referenceSeconds += Seconds(start);
        state.ResumeTiming();
    }
    state.counters["x_reference"] = oursSeconds / referenceSeconds;
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(pixels.size()));
}

}  // namespace

BENCHMARK(BM_JpegLineWriter20MP)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_TiffLineWriter20MP48Bit)->Unit(benchmark::kMillisecond)->Iterations(5);
