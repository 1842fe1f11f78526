#include "fileio/container/PdxbJPEGImage.h"

#include <atomic>
#include <filesystem>
#include <thread>

#include "foundation/FException.h"
#include "foundation/FSCDiskWin.h"
#include "support/ImageFileTest.h"

using namespace testsupport;

namespace {

class PdxbJPEGImageThreadTest : public ImageFileTest {};

// Each decode stages its stream under a name of its own: decodes running at
// the same time never read or remove each other's file.
TEST_F(PdxbJPEGImageThreadTest, ConcurrentDecodesUseTheirOwnFiles)
{
    constexpr int kThreads = 4;
    constexpr int kDecodes = 15;
    std::vector<Bytes> streams;
    std::vector<DecodedJpeg> expected;
    for (int t = 0; t < kThreads; ++t) {
        const int size = 24 + 8 * t;
        streams.push_back(EncodeJpeg(MakePixmap(FPixmap::PIXEL_24_RGB, size, size, uint32_t(t)).bytes, size, size,
                                     3, {}));
        expected.push_back(DecodeJpeg(streams.back(), 0));
    }
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kDecodes; ++i) {
                const int size = 24 + 8 * t;
                TestPixmap<> pixmap = MakePixmap(FPixmap::PIXEL_24_RGB, size, size);
                try {
                    if (!ReadImageJPEG(streams[size_t(t)].data(), streams[size_t(t)].size(), pixmap.get()) ||
                        pixmap.bytes != expected[size_t(t)].pixels)
                        ++failures;
                } catch (const FException&) {
                    ++failures;
                }
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);

    std::unique_ptr<char[]> folder = WideToAnsi(GetPrivateTempFolder().GetText());
    for (const auto& entry : std::filesystem::directory_iterator(folder.get()))
        EXPECT_NE(entry.path().filename().string().rfind("__TempPdxJPG_", 0), 0u) << entry.path();
}

} // namespace
