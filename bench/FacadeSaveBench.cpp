// The facade's develop-and-save job and its embedded-picture loads beside
// what they are built on, in the same run, on the synthetic camera's
// 2304 x 1536 file (with its 1536 x 1024 JPEG preview and 221 x 147 JPEG
// thumbnail).
//
// SaveJpeg: KVR_DevelopAndSave of the file as a JPEG with the file's own
// settings (open a handle, read the settings, a private worker, the save)
// beside the managers' own save of the same request on a new private worker.
// Each side starts from an empty image cache, so each loads and develops the
// file in full; they take turns going first. "x_managers" is the facade's
// time over the managers' (goal: at most 1.05). The two files' pictures are
// compared once.
//
// Thumbnail, Preview: LoadEmbeddedJpegImage of the embedded 221 x 147 JPEG
// and 1536 x 1024 JPEG at their own size, from the stream in memory, beside
// libjpeg-turbo decoding the same stream into rows of the same 24-bit
// pixels. Preview360: KVR_LoadEmbeddedImageToDIB of the preview scaled to
// 360 (the browser's second pass: the directory read, the stream read from
// the file, decoded at a quarter and resampled) beside reading the same
// stream from the file and libjpeg-turbo decoding it at the same quarter.
// "x_libjpeg" is the facade's time over libjpeg-turbo's (goal: at most 1.2).

#include <benchmark/benchmark.h>

#include <jpeglib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/colour/TransformColor.h"
#include "foundation/FByteReader.h"
#include "foundation/FCache.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "managers/FIPManager.h"
#include "managers/FIPManagerPool.h"
#include "managers/IPManagerData.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/CSaveJob.h"
#include "shell/facade/KVR_DevelopAndSave.h"
#include "shell/facade/KVR_DevelopToDIB.h"
#include "shell/facade/KVR_EmbeddedImages.h"
#include "shell/facade/KVR_EngineLock.h"
#include "shell/facade/KVR_FileSettings.h"
#include "support/BuildTree.h"
#include "support/SyntheticCamera.h"
#include "support/TestSupport.h"
#include "toolkit/CET_Dib.h"
#include "toolkit/PictureCodecs.h"
#include "shell/facade/FacadeTestSupport.h"

namespace {

using namespace testsupport;
using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "FacadeSaveBench: %s\n", what);
    std::abort();
}

double Seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Setup {
    Setup()
    {
        InitStorageClasses();
        SetColorProfileProgramPath(BuildTreeProgramPath());
        GetGlobalCache()->SetSizeLimit(kFacadeCacheLimit);
        SyntheticOptions options;
        options.size = SyntheticSize::Medium;
        shot = MakeSyntheticRaw(options);
        shot.file.WriteTo(dir.Path() / "shot.kvr");
        raw = PathFromNative((dir.Path() / "shot.kvr").string());
        std::string native;
        PathToNative(raw, native);
        rawPath = native;
        const std::string bytes = ReadFileBytes(dir.Path() / "shot.kvr");
        file.assign(bytes.begin(), bytes.end());
        source = [this](uint64_t offset, void* buffer, size_t length) {
            if (!FByteReader::Fits(file.size(), offset, length))
                return false;
            if (length > 0)
                std::memcpy(buffer, file.data() + offset, length);
            return true;
        };
        pictures = KVRFindEmbeddedPictures(source, file.size());
        if (!pictures.largeJpeg || !pictures.smallJpeg)
            Fail("the file carries no embedded JPEGs");
    }

    TempDir dir;
    SyntheticRaw shot;
    FString raw;
    std::string rawPath;
    std::vector<uint8_t> file;
    KVRByteSource source;
    KVREmbeddedPictures pictures;
};

Setup& TheSetup()
{
    static Setup setup;
    return setup;
}

// ---- SaveJpeg

void DescribeJob(CSaveJob& job, const Setup& setup, const std::string& output)
{
    job.m_nSettingMode = 1;
    job.m_nJpegQuality = 10;
    job.m_aInputs = {setup.raw};
    job.m_aOutputs = {PathFromNative((setup.dir.Path() / output).string())};
}

void SaveWithFacade(const Setup& setup)
{
    CSaveJob job;
    DescribeJob(job, setup, "facade.jpg");
    if (KVR_DevelopAndSave(&job, nullptr, nullptr, nullptr) != kSaveDone)
        Fail("the facade's save failed");
}

// The same request the facade makes (the file's settings, its noise in
// quarter steps), run on a new private worker.
void SaveWithManagers(const Setup& setup, const CKVR_FilterData& settings)
{
    CSaveJob job;
    DescribeJob(job, setup, "managers.jpg");
    const SyntheticTruth& truth = setup.shot.truth;
    IPManagerData request;
    request.Reset();
    KVR_FillSaveRequest(request, job, &settings, int(truth.outputColumns), int(truth.outputRows));
    const KVREngineLockScope lock;
    FIPManager* worker = CreateIPManager2();
    worker->Request(&request);
    while (request.m_Result.IsPending())
        worker->Idle();
    ReleaseIPManager(worker);
    if (request.m_Result.m_eStatus != kIPStatusDone)
        Fail("the managers' save failed");
}

std::vector<uint8_t> DecodedPixels(const Setup& setup, const char* name)
{
    const std::string bytes = ReadFileBytes(setup.dir.Path() / name);
    const DecodedPicture picture = DecodeJpeg(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    if (!picture)
        Fail("a saved file does not decode");
    return std::vector<uint8_t>(picture.bits.get(), picture.bits.get() + picture.ByteSize());
}

void SaveJpeg(benchmark::State& state)
{
    Setup& setup = TheSetup();
    CKVR_FilterData settings;
    {
        const KVREngineLockScope lock;
        CKVR_ImageHandle* handle = KVR_OpenHandle(setup.raw.GetText());
        KVR_GetFilterData(handle, &settings, 0, 0, nullptr, nullptr);
        KVR_CloseHandle(handle);
    }
    StartWithNewPool();
    SaveWithFacade(setup);
    StartWithNewPool();
    SaveWithManagers(setup, settings);
    if (DecodedPixels(setup, "facade.jpg") != DecodedPixels(setup, "managers.jpg"))
        Fail("the facade's file differs from the managers'");

    double facadeSeconds = 0, managerSeconds = 0;
    int iterations = 0;
    for (auto _ : state) {
        double facade = 0, managers = 0;
        const auto timeFacade = [&] {
            StartWithNewPool();
            const auto start = Clock::now();
            SaveWithFacade(setup);
            facade = Seconds(start);
        };
        const auto timeManagers = [&] {
            StartWithNewPool();
            const auto start = Clock::now();
            SaveWithManagers(setup, settings);
            managers = Seconds(start);
        };
        if (iterations++ % 2 == 0) {
            timeFacade();
            timeManagers();
        } else {
            timeManagers();
            timeFacade();
        }
        facadeSeconds += facade;
        managerSeconds += managers;
        state.SetIterationTime(facade);
    }
    state.counters["facade_ms"] = 1000 * facadeSeconds / iterations;
    state.counters["managers_ms"] = 1000 * managerSeconds / iterations;
    state.counters["x_managers"] = facadeSeconds / managerSeconds;
}
BENCHMARK(SaveJpeg)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);

// ---- Embedded pictures

// libjpeg-turbo: the stream at 1/denominator into bottom-up 24-bit B, G, R rows.
std::vector<uint8_t> DecodeWithLibjpeg(const uint8_t* data, size_t size, unsigned denominator)
{
    jpeg_decompress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGR;
    info.dct_method = JDCT_ISLOW;
    info.scale_num = 1;
    info.scale_denom = denominator;
    jpeg_start_decompress(&info);
    const size_t rowBytes = size_t(info.output_width) * 3;
    std::vector<uint8_t> rows(rowBytes * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = rows.data() + (info.output_height - 1 - info.output_scanline) * rowBytes;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return rows;
}

std::vector<uint8_t> StreamFromFile(const std::string& path, const KVREmbeddedPicture& picture)
{
    std::ifstream in(path, std::ios::binary);
    in.seekg(std::streamoff(picture.dataOffset));
    std::vector<uint8_t> stream(size_t(picture.dataLength));
    in.read(reinterpret_cast<char*>(stream.data()), std::streamsize(stream.size()));
    return stream;
}

// Times the facade's load and libjpeg-turbo's, in turn, their order swapped every iteration.
template <class Facade, class Reference>
void BesideLibjpeg(benchmark::State& state, Facade facade, Reference reference)
{
    double facadeSeconds = 0, referenceSeconds = 0;
    int iterations = 0;
    for (auto _ : state) {
        double mine = 0, theirs = 0;
        const auto timeFacade = [&] {
            const auto start = Clock::now();
            facade();
            mine = Seconds(start);
        };
        const auto timeReference = [&] {
            const auto start = Clock::now();
            reference();
            theirs = Seconds(start);
        };
        if (iterations++ % 2 == 0) {
            timeFacade();
            timeReference();
        } else {
            timeReference();
            timeFacade();
        }
        facadeSeconds += mine;
        referenceSeconds += theirs;
        state.SetIterationTime(mine);
    }
    state.counters["facade_ms"] = 1000 * facadeSeconds / iterations;
    state.counters["libjpeg_ms"] = 1000 * referenceSeconds / iterations;
    state.counters["x_libjpeg"] = facadeSeconds / referenceSeconds;
}

void AtOwnSize(benchmark::State& state, const KVREmbeddedPicture& picture)
{
    Setup& setup = TheSetup();
    const uint8_t* stream = setup.file.data() + picture.dataOffset;
    const size_t length = size_t(picture.dataLength);
    const auto load = [&] {
        BITMAPINFOHEADER header;
        BYTE* bits = LoadEmbeddedJpegImage(setup.source, &header, picture, 0);
        if (!bits || header.biHeight != int(picture.rows))
            Fail("no picture");
        DeleteDibBits(bits);
    };
    BesideLibjpeg(state, load, [&] { benchmark::DoNotOptimize(DecodeWithLibjpeg(stream, length, 1)); });
}

void Thumbnail(benchmark::State& state)
{
    AtOwnSize(state, TheSetup().pictures.smallJpeg);
}
BENCHMARK(Thumbnail)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

void Preview(benchmark::State& state)
{
    AtOwnSize(state, TheSetup().pictures.largeJpeg);
}
BENCHMARK(Preview)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

void Preview360(benchmark::State& state)
{
    Setup& setup = TheSetup();
    const auto load = [&] {
        BITMAPINFOHEADER header;
        BYTE* bits = KVR_LoadEmbeddedImageToDIB(setup.raw.GetText(), &header, kEmbeddedPreview, nullptr, nullptr, 0);
        if (!bits || std::max(header.biWidth, header.biHeight) != 360)
            Fail("no 360-pixel preview");
        DeleteDibBits(bits);
    };
    const auto reference = [&] {
        const std::vector<uint8_t> stream = StreamFromFile(setup.rawPath, setup.pictures.largeJpeg);
        benchmark::DoNotOptimize(DecodeWithLibjpeg(stream.data(), stream.size(), 4));
    };
    BesideLibjpeg(state, load, reference);
}
BENCHMARK(Preview360)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace
