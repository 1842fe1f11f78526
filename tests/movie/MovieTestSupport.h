#pragma once
// Shared by the movie library's tests: movies generated into a temporary
// folder, records pointed at them, their pictures read back, and the messages
// the library posts to an owner window.

#include "movie/CTMThumbnailData.h"
#include "movie/TMOwnerWindow.h"
#include "support/MovieWriter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace movietest {

using testsupport::MovieColour;
using testsupport::MovieShape;

// The caller's window as the library sees it: a pointer it hands to the post
// sink and never follows.
inline CWnd* TestOwner()
{
    static int window;
    return reinterpret_cast<CWnd*>(&window);
}

inline std::u16string WidePath(const std::filesystem::path& path)
{
    return std::u16string(testsupport::WideFromUtf8(path.string()).View());
}

inline void SetFileName(CTMThumbnailData& record, const std::filesystem::path& path)
{
    const std::u16string wide = WidePath(path);
    std::fill(std::begin(record.szFileName), std::end(record.szFileName), u'\0');
    std::copy_n(wide.begin(), std::min<size_t>(wide.size(), TM_MAX_PATH - 1), record.szFileName);
}

// Seconds in the library's 100-nanosecond units.
constexpr int64_t Seconds(double seconds) { return int64_t(seconds * 10000000); }

struct PostedMessage {
    const void* owner; // the window object or handle posted to
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Collects what the library posts, from any thread, while it lives.
class PostedMessages {
public:
    PostedMessages()
    {
        tkrmovie::SetOwnerPostSink([this](const void* owner, UINT message, WPARAM wParam, LPARAM lParam) {
            std::lock_guard<std::mutex> lock(m_Lock);
            m_Messages.push_back({owner, message, wParam, lParam});
            m_Arrived.notify_all();
        });
    }
    ~PostedMessages() { tkrmovie::SetOwnerPostSink({}); }
    PostedMessages(const PostedMessages&) = delete;
    PostedMessages& operator=(const PostedMessages&) = delete;

    // What has arrived once count messages have, or after a minute.
    std::vector<PostedMessage> WaitFor(size_t count)
    {
        std::unique_lock<std::mutex> lock(m_Lock);
        m_Arrived.wait_for(lock, std::chrono::minutes(1), [&] { return m_Messages.size() >= count; });
        return m_Messages;
    }
    std::vector<PostedMessage> Taken()
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        return m_Messages;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_Messages.clear();
    }

private:
    std::mutex m_Lock;
    std::condition_variable m_Arrived;
    std::vector<PostedMessage> m_Messages;
};

class MovieTest : public ::testing::Test {
protected:
    std::filesystem::path Write(const std::string& name, const MovieShape& shape)
    {
        const std::filesystem::path path = m_Dir.Path() / name;
        testsupport::WriteMovie(path, shape);
        return path;
    }
    std::filesystem::path PathOf(const std::string& name) const { return m_Dir.Path() / name; }

    testsupport::TempDir m_Dir;
};

// The pixel at (x, y), y counted from the top, of the record's 24-bit picture.
inline MovieColour PixelAt(const CTMThumbnailData& record, int x, int y)
{
    const BITMAPINFOHEADER& header = record.bmInfo.bmiHeader;
    const int64_t row = header.biHeight > 0 ? header.biHeight - 1 - y : y;
    const BYTE* p = record.pBits + row * DibRowBytes(header.biWidth, 24) + x * 3;
    return MovieColour{p[2], p[1], p[0]};
}

// The frame number whose colour the picture's centre shows (frames repeat
// their colours every 20).
inline int FrameShown(const CTMThumbnailData& record)
{
    const BITMAPINFOHEADER& header = record.bmInfo.bmiHeader;
    const MovieColour seen = PixelAt(record, header.biWidth / 2, std::abs(header.biHeight) / 2);
    int best = -1;
    int bestDistance = 1 << 30;
    for (int frame = 0; frame < 20; ++frame) {
        const MovieColour c = testsupport::MovieFrameColour(frame);
        const int distance = std::abs(c.red - seen.red) + std::abs(c.green - seen.green) + std::abs(c.blue - seen.blue);
        if (distance < bestDistance) {
            best = frame;
            bestDistance = distance;
        }
    }
    return bestDistance < 40 ? best : -1;
}

} // namespace movietest
