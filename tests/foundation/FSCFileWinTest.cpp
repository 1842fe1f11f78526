#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

#include "foundation/FException.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "foundation/FSCFileWin.h"
#include "support/StorageFixture.h"

namespace fs = std::filesystem;
using testsupport::N;
using testsupport::ReadFileBytes;
using testsupport::U;
using testsupport::URLOf;
using testsupport::WriteFileBytes;

namespace {

class FileTest : public testsupport::StorageTest {
protected:
    fs::path File(const char* name, const std::string& bytes)
    {
        const fs::path path = m_Dir.Path() / name;
        WriteFileBytes(path, bytes);
        return path;
    }
};

// What each open-flag value does with an existing 5-byte file and with a missing one.
TEST_F(FileTest, OpenFlagTable)
{
    const struct {
        int flags;
        bool opensExisting;
        int64_t sizeAfterOpen; // of the existing file
        int64_t position;      // after opening the existing file
        bool reads;
        bool writes;
        bool createsMissing;
    } cases[] = {
        {1, true, 5, 0, true, false, false},
        {2, true, 0, 0, true, true, true},
        {3, true, 0, 0, true, true, true},
        {6, true, 5, 5, true, true, true},
        {7, true, 5, 5, true, true, true},
        {14, true, 5, 5, true, true, false},
        {5, true, 5, 0, true, false, false},
        {4, true, 5, 0, false, false, false},
        {0, true, 5, 0, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags);
        const fs::path existing = File("existing.bin", "hello");
        FFilePtr file(OpenFileByURL(URLOf(existing), c.flags));
        ASSERT_EQ(bool(file), c.opensExisting);
        EXPECT_EQ(file->GetSize(), c.sizeAfterOpen);
        EXPECT_EQ(file->Tell(), c.position);
        file->Seek(0);
        char byte = 0;
        EXPECT_EQ(file->Read(&byte, 1) == 1, c.reads && c.sizeAfterOpen > 0);
        if (c.reads && c.sizeAfterOpen == 0) {
            EXPECT_EQ(file->Read(&byte, 1), 0);
        }
        EXPECT_EQ(file->Write("!", 1), c.writes);
        file.reset();
        if (c.writes)
            EXPECT_EQ(ReadFileBytes(existing).size(), std::max<size_t>(c.sizeAfterOpen, 1));
        else
            EXPECT_EQ(ReadFileBytes(existing), "hello");

        const fs::path missing = m_Dir.Path() / "missing.bin";
        fs::remove(missing);
        FFilePtr created(OpenFileByURL(URLOf(missing), c.flags));
        EXPECT_EQ(bool(created), c.createsMissing);
        EXPECT_EQ(fs::exists(missing), c.createsMissing);
    }
}

TEST_F(FileTest, ReadOnlyFileIsNeverOpenedForWritingEvenByRoot)
{
    const fs::path path = File("locked.kvr", "original");
    FFileInfo info;
    info.m_iFlags = FILEINFO_READONLY;
    ASSERT_TRUE(SetFileInfoByURL(URLOf(path), info));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::owner_write, fs::perms::none);

    for (int flags : {2, 3, 6, 7})
        EXPECT_EQ(OpenFileByURL(URLOf(path), flags), nullptr) << flags;
    EXPECT_EQ(ReadFileBytes(path), "original");

    FFilePtr reader(OpenFileByURL(URLOf(path), FIFile::OPEN_READ));
    ASSERT_TRUE(reader);
    FFileInfo read;
    reader->GetInfo(read);
    EXPECT_EQ(read.m_iFlags & FILEINFO_READONLY, FILEINFO_READONLY);
    reader.reset();

    info.m_iFlags = 0;
    ASSERT_TRUE(SetFileInfoByURL(URLOf(path), info));
    FFilePtr writer(OpenFileByURL(URLOf(path), 3));
    ASSERT_TRUE(writer);
    EXPECT_TRUE(writer->Write("new", 3));
    writer.reset();
    EXPECT_EQ(ReadFileBytes(path), "new");
}

TEST_F(FileTest, OnlyRegularFilesOpen)
{
    const fs::path fifo = m_Dir.Path() / "pipe.kvr";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(m_Dir.Path() / "folder.kvr");
    for (int flags : {1, 3, 7}) {
        EXPECT_EQ(OpenFileByURL(URLOf(fifo), flags), nullptr);
        EXPECT_EQ(OpenFileByURL(URLOf(m_Dir.Path() / "folder.kvr"), flags), nullptr);
    }
    EXPECT_THROW(FSCFileWin(FString(u"disk"), U(fifo.string()), 1), FExceptionFileOpen);
}

TEST_F(FileTest, TextEncodingFromTheByteOrderMark)
{
    const struct {
        std::string bytes;
        int encoding;
    } cases[] = {
        {"", FSCFileWin::TEXT_8BIT},         {"\xFF", FSCFileWin::TEXT_8BIT},
        {"\xFF\xFE", FSCFileWin::TEXT_UTF16_LE}, {"\xFE\xFF\x00\x41", FSCFileWin::TEXT_UTF16_BE},
        {"\xFE\xFE", FSCFileWin::TEXT_8BIT},
    };
    for (const auto& c : cases) {
        const fs::path path = File("bom.txt", c.bytes);
        FSCFileWin file(FString(u"disk"), U(path.string()), FIFile::OPEN_READ);
        EXPECT_EQ(file.GetTextEncoding(), c.encoding);
        EXPECT_EQ(file.Tell(), 0);
    }
}

// Text as UTF-16 units, stored in one of the three encodings.
std::string Encode(const std::u16string& text, int encoding)
{
    if (encoding == FSCFileWin::TEXT_8BIT)
        return std::string(text.begin(), text.end());
    std::string bytes = encoding == FSCFileWin::TEXT_UTF16_LE ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += encoding == FSCFileWin::TEXT_UTF16_LE ? std::string{low, high} : std::string{high, low};
    }
    return bytes;
}

TEST_F(FileTest, ReadLineKeepsTerminatorsInEveryEncoding)
{
    const struct {
        std::u16string text;
        std::vector<std::u16string> lines;
    } cases[] = {
        {u"a\r\nb", {u"a\r\n", u"b"}},
        {u"a\rb", {u"a\r", u"b"}},
        {u"a\nb\n", {u"a\n", u"b\n"}},
        {u"a\r\r\nb\n\r", {u"a\r", u"\r\n", u"b\n", u"\r"}},
        {u"\n\n", {u"\n", u"\n"}},
        {std::u16string(u"ab\bc\0d\n", 7), {u"acd\n"}}, // backspace removes, zero is dropped
        {u"", {}},
    };
    for (int encoding : {FSCFileWin::TEXT_8BIT, FSCFileWin::TEXT_UTF16_LE, FSCFileWin::TEXT_UTF16_BE}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << "encoding " << encoding << " case " << (&c - cases));
            const fs::path path = File("lines.txt", Encode(c.text, encoding));
            FFilePtr file(OpenFileByURL(URLOf(path), FIFile::OPEN_READ));
            ASSERT_TRUE(file);
            FString line;
            for (const std::u16string& expected : c.lines) {
                ASSERT_TRUE(file->ReadLine(line));
                EXPECT_EQ(std::u16string(line.View()), expected);
            }
            EXPECT_FALSE(file->ReadLine(line));
            EXPECT_EQ(line.GetLength(), 0);
        }
    }
}

TEST_F(FileTest, ReadLineOfNonAsciiText)
{
    // 8-bit text widens each byte by sign extension; UTF-16 text keeps its units.
    const fs::path narrow = File("narrow.txt", "\xE9t\xE9\n");
    FFilePtr file(OpenFileByURL(URLOf(narrow), FIFile::OPEN_READ));
    FString line;
    ASSERT_TRUE(file->ReadLine(line));
    EXPECT_EQ(std::u16string(line.View()), (std::u16string{0xFFE9, u't', 0xFFE9, u'\n'}));

    const std::u16string wide = u"\u00E9t\u00E9 \U0001F600\r\n";
    const fs::path utf16 = File("wide.txt", Encode(wide, FSCFileWin::TEXT_UTF16_BE));
    file.reset(OpenFileByURL(URLOf(utf16), FIFile::OPEN_READ));
    ASSERT_TRUE(file->ReadLine(line));
    EXPECT_EQ(std::u16string(line.View()), wide);
}

TEST_F(FileTest, BrokenUtf16TailIsNotOverRead)
{
    // A last line of one unit and a stray byte, then nothing.
    std::string bytes = Encode(u"A\nB", FSCFileWin::TEXT_UTF16_LE);
    bytes += 'Z';
    const fs::path path = File("tail.txt", bytes);
    FFilePtr file(OpenFileByURL(URLOf(path), FIFile::OPEN_READ));
    FString line;
    ASSERT_TRUE(file->ReadLine(line));
    EXPECT_EQ(std::u16string(line.View()), u"A\n");
    ASSERT_TRUE(file->ReadLine(line));
    EXPECT_EQ(std::u16string(line.View()), u"B");
    EXPECT_FALSE(file->ReadLine(line));
    EXPECT_LE(file->Tell(), file->GetSize());
}

TEST_F(FileTest, ReadExactPastTheEndThrowsAfterConsumingWhatIsThere)
{
    const fs::path path = File("short.bin", "0123456789");
    FFilePtr file(OpenFileByURL(URLOf(path), FIFile::OPEN_READ));
    file->Seek(6);
    char buffer[10] = {};
    EXPECT_THROW(file->ReadExact(buffer, 10), FExceptionEOF);
    EXPECT_EQ(file->Tell(), 10);
    EXPECT_EQ(std::string(buffer, 4), "6789");
    EXPECT_THROW(file->ReadExact(buffer, -1), FExceptionEOF);

    file->Seek(2);
    EXPECT_EQ(file->ReadExact(buffer, 3), 3);
    EXPECT_EQ(std::string(buffer, 3), "234");
    file->Seek(-5); // ignored
    EXPECT_EQ(file->Tell(), 5);
}

TEST_F(FileTest, SetSizeKeepsThePosition)
{
    const fs::path path = File("sized.bin", std::string(200, 'x'));
    FFilePtr file(OpenFileByURL(URLOf(path), 7));
    file->Seek(100);
    file->SetSize(0);
    EXPECT_EQ(file->Tell(), 100);
    EXPECT_EQ(file->GetSize(), 0);
    EXPECT_THROW(file->SetSize(-1), FExceptionFileWrite);

    FFilePtr reader(OpenFileByURL(URLOf(path), FIFile::OPEN_READ));
    EXPECT_THROW(reader->SetSize(10), FExceptionFileWrite);
}

TEST_F(FileTest, ReadsSeeWhatWasJustWritten)
{
    const fs::path path = File("mixed.txt", "line1\nline2\n");
    FFilePtr file(OpenFileByURL(URLOf(path), 6));
    file->Seek(0);
    FString line;
    ASSERT_TRUE(file->ReadLine(line)); // fills the read-ahead
    ASSERT_TRUE(file->Write("LINE2", 5));
    file->Seek(6);
    char buffer[5];
    EXPECT_EQ(file->Read(buffer, 5), 5);
    EXPECT_EQ(std::string(buffer, 5), "LINE2");
}

TEST_F(FileTest, InfoTimesAreUnixSeconds)
{
    const fs::path path = File("dated.bin", "x");
    const timeval times[2] = {{172800, 0}, {86400, 0}}; // access, write
    ASSERT_EQ(utimes(path.c_str(), times), 0);
    FFilePtr file(OpenFileByURL(URLOf(path), FIFile::OPEN_READ));
    FFileInfo info;
    info.m_iFlags = FILEINFO_HIDDEN | FILEINFO_READONLY;
    file->GetInfo(info);
    EXPECT_EQ(info.m_uLastWriteTime, 86400u);
    EXPECT_EQ(info.m_uLastAccessTime, 172800u);
    EXPECT_NE(info.m_uCreationTime, 0u);
    EXPECT_EQ(info.m_iFlags, FILEINFO_HIDDEN); // other bits are left alone
    EXPECT_EQ(N(file->GetURL()), N(URLOf(path)));
}

TEST_F(FileTest, WriteFailuresAreReported)
{
    // A file-size limit makes the kernel cut writes short and then refuse them.
    const fs::path path = File("limited.bin", "");
    FFilePtr file(OpenFileByURL(URLOf(path), 3));
    ASSERT_TRUE(file);
    rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = old;
    limited.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);

    const std::string data(10000, 'd');
    const bool wrote = file->Write(data.data(), static_cast<int64_t>(data.size()));
    bool sizeThrew = false;
    try {
        file->SetSize(100000);
    } catch (const FExceptionFileWrite&) {
        sizeThrew = true;
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(wrote);
    EXPECT_TRUE(sizeThrew);
    EXPECT_EQ(fs::file_size(path), 4096u);
}

TEST_F(FileTest, ChunkedCopy)
{
    std::string content;
    for (int i = 0; i < 10000; ++i)
        content += static_cast<char>('a' + i % 26);
    const fs::path source = File("source.kvr", content);
    FFilePtr file(OpenFileByURL(URLOf(source), FIFile::OPEN_READ));
    auto* copyable = dynamic_cast<FCopyableFile*>(file.get());
    ASSERT_NE(copyable, nullptr);

    EXPECT_THROW(copyable->CopyChunk(10), FException);
    try {
        copyable->EndCopy();
        ADD_FAILURE();
    } catch (const FException& e) {
        EXPECT_STREQ(e.GetMessage(), "Destination file not opened!");
    }

    // The destination folder is created on the way; its name needs escaping.
    const fs::path target = m_Dir.Path() / "new dir" / "copy?.kvr";
    int64_t total = -1;
    ASSERT_TRUE(copyable->BeginCopy(URLOf(target), 0, &total));
    EXPECT_EQ(total, 10000);
    try {
        copyable->BeginCopy(URLOf(target), 0, nullptr);
        ADD_FAILURE();
    } catch (const FException& e) {
        EXPECT_STREQ(e.GetMessage(), "Copy in Progress!");
    }
    int64_t copied = 0;
    while (copied < total) {
        const int64_t before = file->Tell();
        ASSERT_TRUE(copyable->CopyChunk(100000)); // cut to the 4096-byte chunk
        EXPECT_LE(file->Tell() - before, 4096);
        copied = file->Tell();
    }
    EXPECT_FALSE(copyable->CopyChunk(10)); // nothing left to copy
    copyable->EndCopy();
    EXPECT_EQ(ReadFileBytes(target), content);

    int64_t ignored = 0;
    EXPECT_FALSE(copyable->BeginCopy(FString(u"disk://Q/nowhere/x.kvr"), 16, &ignored));
    EXPECT_EQ(ignored, 0);
    // A copy onto itself would truncate the source first.
    EXPECT_FALSE(copyable->BeginCopy(URLOf(source), 16, &ignored));
    EXPECT_EQ(ReadFileBytes(source), content);
}

} // namespace
