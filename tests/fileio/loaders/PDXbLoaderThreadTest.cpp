// The raw container's loader, driven like the data retriever drives it, on
// containers written by the test builder.

#include "fileio/container/CambData.h"
#include "fileio/loaders/PDXbLoader.h"
#include "fileio/container/PdxbImageIO.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "foundation/FValueTypes.h"
#include "support/CamdataWriter.h"
#include "support/HuffmanM4Encoder.h"
#include "support/LoaderDriver.h"
#include "support/PdxbFileTest.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

constexpr uint32_t kColumns = 8;
constexpr uint32_t kRows = 4;
constexpr size_t kCamfileSize = 300000; // more than one read chunk

PdxbBytes Counting(size_t size, unsigned seed = 0)
{
    PdxbBytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = uint8_t(i * 7 + i / 251 + seed);
    return bytes;
}

// A 24-bit RGB image stored row by row as it decodes.
PdxbImageSpec RgbImage(uint32_t sectionKind, uint32_t columns = kColumns, uint32_t rows = kRows)
{
    PdxbImageSpec section;
    section.kind = sectionKind;
    section.pixelFormat = 3;
    section.columns = columns;
    section.rows = rows;
    section.rowSize = columns * 3;
    section.data = Counting(size_t(rows) * section.rowSize, sectionKind);
    return section;
}

PdxbCamfileSpec Camfile(uint32_t type, const PdxbBytes& data)
{
    PdxbCamfileSpec section;
    section.type = type;
    section.dataLength = uint32_t(data.size());
    section.data = data;
    return section;
}

PdxbPropertySpec Props(std::vector<PdxbProperty> pairs)
{
    PdxbPropertySpec section;
    section.pairs = std::move(pairs);
    return section;
}

PdxbHeaderSpec Header()
{
    PdxbHeaderSpec header;
    for (int i = 0; i < 16; ++i)
        header.uniqueId[i] = uint8_t(0xA0 + i * 5);
    header.columns = 40;
    header.rows = 30;
    return header;
}

std::unique_ptr<FPropTree> NewTree() { return std::make_unique<FPropTree>(nullptr, "ImageProps"); }

std::string ExceptionText(const FException& e, const std::string& message)
{
    return std::string("PDXbLoader: ") + e.GetDescription() + " (" + message + ")";
}

// Files of the "gated" scheme are the "disk" files of the same path; the
// n-th read of 64 KiB or more waits until the test releases it.
class ReadGate {
public:
    static ReadGate& Install(int heldRead)
    {
        static ReadGate* gate = [] {
            auto* created = new ReadGate();
            RegisterStorageClass(FString("gated"), new Storage(*created));
            return created;
        }();
        std::lock_guard lock(gate->m_Mutex);
        gate->m_iHeldRead = heldRead;
        gate->m_iLargeReads = 0;
        gate->m_bHeld = gate->m_bReleased = false;
        return *gate;
    }

    // False when no read came to the gate (the cap only turns a hang into a failure).
    bool WaitUntilHeld()
    {
        std::unique_lock lock(m_Mutex);
        return m_Changed.wait_for(lock, std::chrono::minutes(1), [this] { return m_bHeld; });
    }

    void Release()
    {
        std::lock_guard lock(m_Mutex);
        m_bReleased = true;
        m_Changed.notify_all();
    }

private:
    void BeforeRead(int64_t count)
    {
        if (count < 65536)
            return;
        std::unique_lock lock(m_Mutex);
        if (++m_iLargeReads != m_iHeldRead)
            return;
        m_bHeld = true;
        m_Changed.notify_all();
        m_Changed.wait(lock, [this] { return m_bReleased; });
    }

    class File : public FIFile {
    public:
        File(ReadGate& gate, FIFile* inner) : m_Gate(gate), m_pInner(inner) {}
        void Seek(int64_t position) override { m_pInner->Seek(position); }
        int64_t Tell() const override { return m_pInner->Tell(); }
        bool ReadLine(FString& line) override { return m_pInner->ReadLine(line); }
        int64_t ReadExact(void* buffer, int64_t count) override
        {
            m_Gate.BeforeRead(count);
            return m_pInner->ReadExact(buffer, count);
        }
        int64_t Read(void* buffer, int64_t count) override
        {
            m_Gate.BeforeRead(count);
            return m_pInner->Read(buffer, count);
        }
        bool Write(const void* buffer, int64_t count) override { return m_pInner->Write(buffer, count); }
        bool Flush() override { return m_pInner->Flush(); }
        void SetSize(int64_t size) override { m_pInner->SetSize(size); }
        int64_t GetSize() const override { return m_pInner->GetSize(); }
        FString GetURL() const override { return m_pInner->GetURL(); }
        void GetInfo(FFileInfo& info) const override { m_pInner->GetInfo(info); }
        bool SetInfo(const FFileInfo& info) override { return m_pInner->SetInfo(info); }

    private:
        ReadGate& m_Gate;
        FFilePtr m_pInner;
    };

    class Storage : public FIStorageClass {
    public:
        explicit Storage(ReadGate& gate) : m_Gate(gate) {}
        FIFile* OpenFile(const FString& path, int flags) override
        {
            FString diskUrl("disk://");
            diskUrl += path;
            FIFile* inner = OpenFileByURL(diskUrl, flags);
            return inner ? new File(m_Gate, inner) : nullptr;
        }
        FIFolder* OpenFolder(const FString&, FString&, bool) override { return nullptr; }
        bool GetSpecialFolderURL(int, FString&) override { return false; }
        bool ToNativePath(const FString&, FString&) override { return false; }
        bool FromNativePath(const FString&, FString&) override { return false; }
        FString GetName() override { return FString("gated"); }
        FString GetDescription() override { return FString("gated"); }
        void Launch(const FString&, const FString&) override {}
        bool Exists(const FString&, bool*) override { return false; }
        void MoveToTrash(const FString&) override {}

    private:
        ReadGate& m_Gate;
    };

    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    int m_iHeldRead = 0;
    int m_iLargeReads = 0;
    bool m_bHeld = false;
    bool m_bReleased = false;
};

class PDXbLoaderTest : public LoaderTest<PdxbFileTest, CreatePDXbLoader> {
protected:
    FString WriteStandardFile(const std::string& name = "image.kvr")
    {
        PdxbBuilder builder(Header());
        builder.AddProperties(Props({{u"CAMMODEL", u"KT6M"}, {u"ISO", u"100"}}));
        builder.AddImage(RgbImage(1));
        builder.AddImage(RgbImage(0, 4, 2));
        builder.AddCamfile(Camfile(0, Counting(kCamfileSize)));
        builder.AddCamfile(Camfile(2, PdxbScrambledCamfileData(FourCC("CAMb"), 0x00010000, 0, Counting(64))));
        return Write(builder.Build(), name);
    }

    FString WriteHeaderOnly(const PdxbHeaderSpec& header, const PdxbPropertySpec* props = nullptr,
                            const std::string& name = "image.kvr")
    {
        PdxbBuilder builder(header);
        if (props)
            builder.AddProperties(*props);
        builder.AddImage(RgbImage(1));
        return Write(builder.Build(), name);
    }

    // Properties of the file by a kind-4 request.
    std::unique_ptr<FPropTree> PropertiesOf(const FString& url)
    {
        auto tree = NewTree();
        auto request = NewLoaderRequest(url, LOADER_REQUEST_GET_PROPERTIES);
        request->SetPropTree(tree.get());
        EXPECT_EQ(Drive(*request), LOADER_STATUS_DONE) << ErrorTextOf(*request);
        return tree;
    }

    // Runs a kind-5 request with the given pairs.
    std::unique_ptr<FDataRetrieverRequest> Modify(const FString& url,
                                                  const std::vector<std::pair<const char*, const char*>>& pairs)
    {
        auto tree = NewTree();
        for (const auto& [key, value] : pairs)
            tree->AddPair(key, value);
        auto request = NewLoaderRequest(url, LOADER_REQUEST_MODIFY_PROPERTIES);
        request->SetPropTree(tree.get());
        Drive(*request);
        request->SetPropTree(nullptr);
        return request;
    }
};

} // namespace

// ---------------------------------------------------------------------------
// Counting, describing and loading images

TEST_F(PDXbLoaderTest, CountsAndDescribesImagesWithTheirKindCodes)
{
    // Section kinds 0 to 3 map to the managers' codes 2, 1, 4, 3; others to 0.
    const uint32_t sectionKinds[] = {0, 1, 2, 3, 9};
    const int kindCodes[] = {2, 1, 4, 3, 0};
    PdxbBuilder builder(Header());
    for (uint32_t sectionKind : sectionKinds)
        builder.AddImage(RgbImage(sectionKind, 6 + sectionKind, 2 + sectionKind));
    const FString url = Write(builder.Build());

    auto count = NewLoaderRequest(url, LOADER_REQUEST_COUNT_IMAGES);
    EXPECT_EQ(Drive(*count), LOADER_STATUS_DONE);
    EXPECT_EQ(count->GetIndexWord(), 5);

    for (int index = 0; index < 5; ++index) {
        auto describe = NewLoaderRequest(url, LOADER_REQUEST_LOAD_IMAGE);
        describe->SetIndexWord(index);
        m_pLoader->Request(describe.get()); // no pixmap: answered inside the call
        ASSERT_EQ(describe->GetStatus(), LOADER_STATUS_DONE) << ErrorTextOf(*describe);
        EXPECT_EQ(describe->GetFirstSizeWord(), 6 + sectionKinds[index]);
        EXPECT_EQ(describe->GetSecondSizeWord(), 2 + sectionKinds[index]);
        EXPECT_EQ(describe->GetPixelType(), FPixmap::PIXEL_24_RGB);
        EXPECT_EQ(describe->GetImageKind(), kindCodes[index]) << "index " << index;
    }

    auto outside = NewLoaderRequest(url, LOADER_REQUEST_LOAD_IMAGE);
    outside->SetIndexWord(5);
    EXPECT_EQ(Drive(*outside), LOADER_STATUS_ERROR);
    EXPECT_EQ(outside->GetError(), LOADER_ERROR_BAD_REQUEST);
    EXPECT_EQ(ErrorTextOf(*outside), "PDXbLoader:LoadImage index 5");
}

TEST_F(PDXbLoaderTest, LoadsImagePixelsOnTheLoadThread)
{
    const FString url = WriteStandardFile();
    std::vector<uint8_t> pixels(kColumns * kRows * 3, 0xEE);
    FPixmapTemplate<FPixelClass24RGB> pixmap(pixels.data(), kColumns, kRows, 0);
    auto load = NewLoaderRequest(url, LOADER_REQUEST_LOAD_IMAGE);
    load->SetIndexWord(0);
    load->SetPixmap(&pixmap);

    ASSERT_EQ(Drive(*load), LOADER_STATUS_DONE) << ErrorTextOf(*load);
    EXPECT_EQ(load->GetFirstSizeWord(), kColumns);
    EXPECT_EQ(load->GetSecondSizeWord(), kRows);
    EXPECT_EQ(load->GetImageKind(), 1);
    EXPECT_EQ(pixels, RgbImage(1).data);
}

TEST_F(PDXbLoaderTest, ACancelledLoadEndsCancelled)
{
    const FString url = WriteStandardFile();
    std::vector<uint8_t> pixels(kColumns * kRows * 3);
    FPixmapTemplate<FPixelClass24RGB> pixmap(pixels.data(), kColumns, kRows, 0);
    std::vector<uint8_t> camfile(kCamfileSize);

    auto image = NewLoaderRequest(url, LOADER_REQUEST_LOAD_IMAGE);
    image->SetPixmap(&pixmap);
    auto data = NewLoaderRequest(url, LOADER_REQUEST_LOAD_CAMFILE);
    data->SetCamfileBuffer(camfile.data(), camfile.size());
    data->Cancel();
    EXPECT_EQ(Drive(*data), LOADER_STATUS_CANCELLED) << ErrorTextOf(*data);

    image->Cancel();
    EXPECT_EQ(Drive(*image), LOADER_STATUS_CANCELLED) << ErrorTextOf(*image);
}

// ---------------------------------------------------------------------------
// Camfiles

TEST_F(PDXbLoaderTest, LoadsThePlainCamfileWithItsSizeFirst)
{
    const FString url = WriteStandardFile();
    auto size = NewLoaderRequest(url, LOADER_REQUEST_LOAD_CAMFILE);
    ASSERT_EQ(Drive(*size), LOADER_STATUS_DONE) << ErrorTextOf(*size);
    EXPECT_EQ(size->GetIndexWord(), int64_t(kCamfileSize));
    EXPECT_EQ(size->GetFirstSizeWord(), 1);

    std::vector<uint8_t> buffer(kCamfileSize);
    auto data = NewLoaderRequest(url, LOADER_REQUEST_LOAD_CAMFILE);
    data->SetCamfileBuffer(buffer.data(), buffer.size());
    ASSERT_EQ(Drive(*data), LOADER_STATUS_DONE) << ErrorTextOf(*data);
    EXPECT_EQ(buffer, Counting(kCamfileSize));
    EXPECT_DOUBLE_EQ(data->GetProgress(), 1.0);
}

// Camera data the way the retriever asks for it: stored plain (kind 2) and
// HuffmanM4-coded (kind 3) in sections of either version, each sized first and
// then parsed as the container it holds.
TEST_F(PDXbLoaderTest, CameraDataRoundTripsThroughBothCamfileKinds)
{
    CamdataWriter plainWriter;
    plainWriter.AddFloats("Gain", {1}, {2.0f});
    CamdataWriter codedWriter;
    codedWriter.AddFloats("Gain", {1}, {3.0f});
    codedWriter.AddInt32s("ActiveImageArea", {4}, {0, 0, 9, 9});
    const PdxbBytes plain = plainWriter.BuildCamfile(false, 1);
    const PdxbBytes coded = codedWriter.BuildCamfile(false, 2);

    for (const uint32_t version : {PdxbVersion(2, 0), PdxbVersion(3, 0)}) {
        SCOPED_TRACE("section version " + std::to_string(version >> 16));
        PdxbBuilder builder(Header());
        PdxbCamfileSpec codedSection = Camfile(4, EncodeHuffmanM4Camfile(coded, 64, 1));
        codedSection.dataLength = uint32_t(coded.size());
        codedSection.version = version;
        builder.AddCamfile(codedSection); // first, so kind 2 must pass over it
        PdxbCamfileSpec plainSection = Camfile(0, plain);
        plainSection.version = version;
        builder.AddCamfile(plainSection);
        const FString url = Write(builder.Build());

        std::vector<uint8_t> bytes;
        auto plainRequest = LoadCamfileBytes(*m_pLoader, url, LOADER_REQUEST_LOAD_CAMFILE, bytes);
        ASSERT_EQ(plainRequest->GetStatus(), LOADER_STATUS_DONE) << ErrorTextOf(*plainRequest);
        EXPECT_EQ(plainRequest->GetFirstSizeWord(), 1);
        EXPECT_EQ(bytes, plain);
        const FCamdata plainData(bytes.data(), bytes.size());
        EXPECT_EQ(CamdataGetFloat(&plainData, "Gain"), 2.0f);

        auto codedRequest = LoadCamfileBytes(*m_pLoader, url, LOADER_REQUEST_LOAD_CAMB_FILE, bytes);
        ASSERT_EQ(codedRequest->GetStatus(), LOADER_STATUS_DONE) << ErrorTextOf(*codedRequest);
        EXPECT_EQ(codedRequest->GetFirstSizeWord(), 2);
        ASSERT_GT(bytes.size(), coded.size()) << "the decoded size covers whole rows";
        EXPECT_TRUE(std::equal(coded.begin(), coded.end(), bytes.begin()));
        const FCamdata codedData(bytes.data(), bytes.size());
        EXPECT_EQ(CamdataGetFloat(&codedData, "Gain"), 3.0f);
        EXPECT_EQ(CamdataGetRect(&codedData, "ActiveImageArea").bottom, 10);
    }
}

// The caller sizes its buffer by an earlier request. When the file changes
// before the read, the loader writes only into that buffer: a file that grew
// is a failed read whose size word tells the size needed now.
TEST_F(PDXbLoaderTest, ACamfileThatGrewAfterTheSizeQueryFailsWithoutOverrun)
{
    struct Case {
        const char* what;
        int kind;
        size_t before, after;
        int status;
    };
    const Case cases[] = {
        {"plain camfile grew", LOADER_REQUEST_LOAD_CAMFILE, 1000, 5000, LOADER_STATUS_ERROR},
        {"coded camfile grew", LOADER_REQUEST_LOAD_CAMB_FILE, 960, 4800, LOADER_STATUS_ERROR},
        {"plain camfile shrank", LOADER_REQUEST_LOAD_CAMFILE, 5000, 1000, LOADER_STATUS_DONE},
    };
    constexpr size_t kGuard = 4096;
    const auto write = [&](const Case& c, size_t size) {
        PdxbBuilder builder(Header());
        if (c.kind == LOADER_REQUEST_LOAD_CAMFILE) {
            builder.AddCamfile(Camfile(0, Counting(size)));
        } else {
            PdxbCamfileSpec section = Camfile(4, EncodeHuffmanM4Camfile(Counting(size), 64, 1)); // whole rows
            section.dataLength = uint32_t(size);
            builder.AddCamfile(section);
        }
        return Write(builder.Build());
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const FString url = write(c, c.before);
        auto size = NewLoaderRequest(url, c.kind);
        ASSERT_EQ(Drive(*size), LOADER_STATUS_DONE) << ErrorTextOf(*size);
        const size_t capacity = size_t(size->GetIndexWord());
        ASSERT_EQ(capacity, c.before);

        write(c, c.after);
        std::vector<uint8_t> storage(capacity + kGuard, 0xEE);
        auto read = NewLoaderRequest(url, c.kind);
        read->SetCamfileBuffer(storage.data(), capacity);
        EXPECT_EQ(Drive(*read), c.status) << ErrorTextOf(*read);
        EXPECT_EQ(read->GetIndexWord(), int64_t(c.after));
        if (c.status == LOADER_STATUS_ERROR) {
            EXPECT_EQ(read->GetError(), LOADER_ERROR_READER_EXCEPTION);
            EXPECT_EQ(ErrorTextOf(*read), "PDXbLoader:LoadCamfile - error reading camfile.");
        } else {
            EXPECT_TRUE(std::equal(storage.begin(), storage.begin() + long(c.after), Counting(c.after).begin()));
        }
        EXPECT_TRUE(std::all_of(storage.begin() + long(capacity), storage.end(), [](uint8_t b) { return b == 0xEE; }))
            << "nothing is written past the buffer";
    }
}

// While a queued read runs, the caller's thread sees its progress move, and a
// second queued request is refused as busy (the running record sent again is
// left alone) without disturbing the read. The read is
// held in the middle by a storage class whose files stop before a chosen large
// read until the test lets them go on.
TEST_F(PDXbLoaderTest, AQueuedReadShowsProgressAndRefusesTheNextAsBusy)
{
    constexpr size_t kLarge = 1u << 20; // eight read chunks
    PdxbBuilder builder(Header());
    builder.AddCamfile(Camfile(0, Counting(kLarge)));
    builder.AddImage(RgbImage(1));
    const FString diskUrl = Write(builder.Build());
    FString url("gated");
    url += diskUrl.GetText() + 4; // "disk://..." -> "gated://..."

    std::vector<uint8_t> buffer(kLarge);
    auto request = NewLoaderRequest(url, LOADER_REQUEST_LOAD_CAMFILE);
    request->SetCamfileBuffer(buffer.data(), buffer.size());
    std::vector<uint8_t> pixels(kColumns * kRows * 3, 0xEE);
    FPixmapTemplate<FPixelClass24RGB> pixmap(pixels.data(), kColumns, kRows, 0);
    auto second = NewLoaderRequest(diskUrl, LOADER_REQUEST_LOAD_IMAGE);
    second->SetPixmap(&pixmap);

    ReadGate& gate = ReadGate::Install(3); // two chunks pass, the third waits
    m_pLoader->Request(request.get());
    const bool held = gate.WaitUntilHeld();
    const bool pending = request->IsPending();
    const double progress = request->GetProgress();
    m_pLoader->Request(second.get());
    m_pLoader->Request(request.get()); // the running record itself, sent again
    const bool stillPending = request->IsPending();
    gate.Release();
    ASSERT_TRUE(held);
    EXPECT_TRUE(pending);
    EXPECT_DOUBLE_EQ(progress, 2.0 / 8.0);
    EXPECT_TRUE(stillPending);
    EXPECT_EQ(second->GetStatus(), LOADER_STATUS_ERROR);
    EXPECT_EQ(second->GetError(), LOADER_ERROR_BUSY);
    EXPECT_EQ(ErrorTextOf(*second), "PDXbLoader");
    EXPECT_EQ(pixels, std::vector<uint8_t>(pixels.size(), 0xEE));

    EXPECT_EQ(DriveLoaderRequest(*m_pLoader, *request), LOADER_STATUS_DONE) << ErrorTextOf(*request);
    EXPECT_EQ(request->GetProgress(), 1.0);
    EXPECT_EQ(buffer, Counting(kLarge));
    EXPECT_EQ(Drive(*second), LOADER_STATUS_DONE) << ErrorTextOf(*second);
    EXPECT_EQ(pixels, RgbImage(1).data);
}

TEST_F(PDXbLoaderTest, CamfileRequestsReportWhatIsMissing)
{
    PdxbBuilder scrambledOnly(Header());
    scrambledOnly.AddCamfile(
        Camfile(2, PdxbScrambledCamfileData(FourCC("CAMb"), 0x00010000, 0, Counting(64))));
    const FString scrambledUrl = Write(scrambledOnly.Build(), "scrambled.kvr");
    const FString noCamfileUrl = WriteHeaderOnly(Header(), nullptr, "none.kvr");

    auto plain = NewLoaderRequest(scrambledUrl, LOADER_REQUEST_LOAD_CAMFILE);
    EXPECT_EQ(Drive(*plain), LOADER_STATUS_ERROR);
    EXPECT_EQ(plain->GetError(), LOADER_ERROR_NOT_IN_FILE);
    EXPECT_EQ(ErrorTextOf(*plain), "PDXbLoader:LoadCamfile - no camfile of the requested type found.");

    auto none = NewLoaderRequest(noCamfileUrl, LOADER_REQUEST_LOAD_CAMB_FILE);
    EXPECT_EQ(Drive(*none), LOADER_STATUS_ERROR);
    EXPECT_EQ(none->GetError(), LOADER_ERROR_NOT_IN_FILE);
    EXPECT_EQ(ErrorTextOf(*none), "PDXbLoader:LoadCamfile - no camfiles found in this file.");

    // The scrambled camera data is found and sized, but its bytes cannot be
    // recovered: the read fails instead of handing out scrambled bytes.
    auto size = NewLoaderRequest(scrambledUrl, LOADER_REQUEST_LOAD_CAMB_FILE);
    ASSERT_EQ(Drive(*size), LOADER_STATUS_DONE) << ErrorTextOf(*size);
    EXPECT_EQ(size->GetIndexWord(), 64);
    EXPECT_EQ(size->GetFirstSizeWord(), 2);
    std::vector<uint8_t> buffer(64);
    auto read = NewLoaderRequest(scrambledUrl, LOADER_REQUEST_LOAD_CAMB_FILE);
    read->SetCamfileBuffer(buffer.data(), buffer.size());
    EXPECT_EQ(Drive(*read), LOADER_STATUS_ERROR);
    EXPECT_EQ(read->GetError(), LOADER_ERROR_READER_EXCEPTION);
    EXPECT_EQ(ErrorTextOf(*read).rfind("PDXbLoader: General Pdxb Reader I/O exception (", 0), 0u)
        << ErrorTextOf(*read);
}

// ---------------------------------------------------------------------------
// Properties and identity

TEST_F(PDXbLoaderTest, PublishesHeaderFieldsAndTheIdentity)
{
    PdxbHeaderSpec header = Header();
    header.markBits = 0x80000005;
    header.rotation = 90;
    const FString url = WriteHeaderOnly(header);
    auto tree = PropertiesOf(url);

    EXPECT_EQ(ValueOf(*tree, "MARKBITS"), "-2147483643");
    EXPECT_EQ(ValueOf(*tree, "ROTATION"), "90");
    EXPECT_EQ(ValueOf(*tree, "PROCESSABLE"), "1");
    EXPECT_EQ(ValueOf(*tree, "COLS"), "30"); // exchanged for a quarter turn
    EXPECT_EQ(ValueOf(*tree, "ROWS"), "40");
    const std::string id = "A0A5AAAFB4B9BEC3C8CDD2D7DCE1E6EB";
    EXPECT_EQ(ValueOf(*tree, "UNIQUEID"), id);
    EXPECT_EQ(ValueOf(*tree, "rpUniqueID"), id);

    auto idTree = NewTree();
    auto identity = NewLoaderRequest(url, LOADER_REQUEST_GET_UNIQUE_ID);
    identity->SetPropTree(idTree.get());
    ASSERT_EQ(Drive(*identity), LOADER_STATUS_DONE);
    EXPECT_EQ(KeysOf(*idTree), (std::vector<std::string>{"UNIQUEID", "rpUniqueID"}));
    EXPECT_EQ(ValueOf(*idTree, "UNIQUEID"), id);
}

struct NameOverrideCase {
    const char* recorded; // in the property list, or null
    const char* header;   // in the file header
    const char* expectedValue;
    const char* expectedOrig;
};

class PDXbLoaderNameOverride : public PDXbLoaderTest, public ::testing::WithParamInterface<NameOverrideCase> {};

TEST_P(PDXbLoaderNameOverride, TheHeaderNameWinsAndTheRecordedOneStaysVisible)
{
    const NameOverrideCase& c = GetParam();
    PdxbHeaderSpec header = Header();
    header.whiteBalance = c.header;
    header.colorMode = c.header;
    PdxbPropertySpec props;
    if (c.recorded) {
        const std::u16string recorded(c.recorded, c.recorded + std::strlen(c.recorded));
        props = Props({{u"WB_DESC", recorded}, {u"CM_DESC", recorded}});
    }
    auto tree = PropertiesOf(WriteHeaderOnly(header, &props));

    const std::string expectedWBOrig = c.expectedOrig && std::string(c.expectedOrig) == "<default>"
                                           ? "Auto" : (c.expectedOrig ? c.expectedOrig : "<none>");
    const std::string expectedCMOrig = c.expectedOrig && std::string(c.expectedOrig) == "<default>"
                                           ? "Standard" : (c.expectedOrig ? c.expectedOrig : "<none>");
    EXPECT_EQ(ValueOf(*tree, "WB_DESC"), c.expectedValue);
    EXPECT_EQ(ValueOf(*tree, "WB_DESC_ORIG"), expectedWBOrig);
    EXPECT_EQ(ValueOf(*tree, "CM_DESC"), c.expectedValue);
    EXPECT_EQ(ValueOf(*tree, "CM_DESC_ORIG"), expectedCMOrig);
    // Exactly one current pair each, whatever the case.
    const std::vector<std::string> keys = KeysOf(*tree);
    EXPECT_LE(std::count(keys.begin(), keys.end(), "WB_DESC"), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PDXbLoaderNameOverride,
    ::testing::Values(NameOverrideCase{"Daylight", "Cloudy", "Cloudy", "Daylight"},
                      NameOverrideCase{"Daylight", "", "Daylight", "Daylight"},
                      NameOverrideCase{nullptr, "Cloudy", "Cloudy", "<default>"},
                      NameOverrideCase{nullptr, "", "<none>", nullptr}));

TEST_F(PDXbLoaderTest, PublishesExtendedSlotsAsAdjustmentKeys)
{
    struct Case {
        const char* name;
        std::vector<std::pair<uint8_t, float>> slots;
        std::vector<std::pair<const char*, const char*>> expected;
    };
    const Case cases[] = {
        {"scalars",
         {{1, 0.5f}, {2, -1.25f}, {3, 2.0f}, {4, 0.0f}, {5, 1.0f}, {6, -0.5f}, {10, 0.75f}, {12, 0.25f}, {13, 1.5f}},
         {{"rpExposureCompensation", "0.5000"}, {"rpContrast", "-1.2500"}, {"rpShadow", "2.0000"},
          {"rpHighlight", "0.0000"}, {"rpSaturation", "1.0000"}, {"rpSharpness", "-0.5000"},
          {"rpFillFlash", "0.7500"}, {"rpChromaNoise", "0.2500"}, {"rpLumaNoise", "1.5000"},
          {"rpColorAdjust", "<none>"}}},
        {"colour adjust", {{7, 0.5f}, {8, 1.0f}, {9, 1.0f}}, {{"rpColorAdjust", "30C"}}},
        {"a zero factor makes all three 1", {{7, 0.5f}, {8, 0.0f}, {9, 1.0f}}, {{"rpColorAdjust", "0"}}},
        {"a missing factor gives no text", {{7, 0.5f}, {9, 1.0f}}, {{"rpColorAdjust", "<none>"}}},
        {"unknown types are skipped", {{11, 3.0f}, {200, 4.0f}}, {{"rpExposureCompensation", "<none>"}}},
    };
    int fileNumber = 0;
    for (const Case& c : cases) {
        PdxbHeaderSpec header = Header();
        for (size_t i = 0; i < c.slots.size(); ++i) {
            header.extTypes[i + 3] = c.slots[i].first;
            header.extValues[i + 3] = c.slots[i].second;
        }
        auto tree = PropertiesOf(WriteHeaderOnly(header, nullptr, "ext" + std::to_string(fileNumber++) + ".kvr"));
        for (const auto& [key, value] : c.expected)
            EXPECT_EQ(ValueOf(*tree, key), value) << c.name << ": " << key;
    }
}

// ---------------------------------------------------------------------------
// Modifying the header

TEST_F(PDXbLoaderTest, RotationChangesAreRelativeWhenSignedAndAlwaysWithinOneTurn)
{
    struct Case {
        uint32_t current;
        const char* text;
        uint32_t expected;
    };
    const Case cases[] = {{270, "+90", 0}, {0, "-90", 270}, {0, "450", 90}, {180, "90", 90}, {90, "-450", 0}};
    for (const Case& c : cases) {
        PdxbHeaderSpec header = Header();
        header.rotation = c.current;
        const FString url = WriteHeaderOnly(header);
        auto request = Modify(url, {{"ROTATION", c.text}});
        ASSERT_EQ(request->GetStatus(), LOADER_STATUS_DONE) << ErrorTextOf(*request);
        EXPECT_EQ(FPdxbImageReader(url).GetRotation(), c.expected) << c.current << " " << c.text;
    }
}

TEST_F(PDXbLoaderTest, ModifiedSettingsReadBackAsPublished)
{
    const FString url = WriteHeaderOnly(Header());
    auto request = Modify(url, {{"WB_DESC", "Shade"},
                                {"CM_DESC", "Vivid"},
                                {"MARKBITS", "3"},
                                {"rpExposureCompensation", "0.7"},
                                {"rpContrast", "-1"},
                                {"rpShadow", "0.3"},
                                {"rpHighlight", "0.4"},
                                {"rpSaturation", "-0.6"},
                                {"rpSharpness", "1.5"},
                                {"rpFillFlash", "0.25"},
                                {"rpChromaNoise", "0.5"},
                                {"rpLumaNoise", "0.75"},
                                {"rpColorAdjust", "9M+30Y"}});
    ASSERT_EQ(request->GetStatus(), LOADER_STATUS_DONE) << ErrorTextOf(*request);

    auto tree = PropertiesOf(url);
    const std::pair<const char*, const char*> expected[] = {
        {"WB_DESC", "Shade"},          {"CM_DESC", "Vivid"},       {"MARKBITS", "3"},
        {"rpExposureCompensation", "0.7000"}, {"rpContrast", "-1.0000"}, {"rpShadow", "0.3000"},
        {"rpHighlight", "0.4000"},    {"rpSaturation", "-0.6000"}, {"rpSharpness", "1.5000"},
        {"rpFillFlash", "0.2500"},    {"rpChromaNoise", "0.5000"}, {"rpLumaNoise", "0.7500"},
        {"rpColorAdjust", "9M+30Y"},
    };
    for (const auto& [key, value] : expected)
        EXPECT_EQ(ValueOf(*tree, key), value) << key;
}

TEST_F(PDXbLoaderTest, AValueGoesToTheSlotOfItsTypeAndDuplicatesAreFreed)
{
    PdxbHeaderSpec header = Header();
    header.extTypes[3] = 2;
    header.extTypes[7] = 2;
    const FString url = WriteHeaderOnly(header);
    auto request = Modify(url, {{"rpContrast", "0.5"}, {"rpShadow", "1"}});
    ASSERT_EQ(request->GetStatus(), LOADER_STATUS_DONE) << ErrorTextOf(*request);

    FPdxbImageReader reader(url);
    EXPECT_EQ(reader.GetExtDataType(3), 2);
    EXPECT_FLOAT_EQ(reader.GetExtDataValue(3), 0.5f);
    EXPECT_EQ(reader.GetExtDataType(7), 0);
    EXPECT_EQ(reader.GetExtDataType(0), 3); // the first free slot
    EXPECT_FLOAT_EQ(reader.GetExtDataValue(0), 1.0f);
}

TEST_F(PDXbLoaderTest, FailedChangesNameWhatFailedAndStopThere)
{
    PdxbHeaderSpec full = Header();
    for (int slot = 0; slot < 32; ++slot)
        full.extTypes[slot] = slot % 2 ? 1 : 3;
    const FString fullUrl = WriteHeaderOnly(full, nullptr, "full.kvr");
    auto contrast = Modify(fullUrl, {{"rpContrast", "1"}, {"rpLumaNoise", "1"}});
    EXPECT_EQ(contrast->GetStatus(), LOADER_STATUS_ERROR);
    EXPECT_EQ(contrast->GetError(), LOADER_ERROR_MODIFY_FAILED);
    EXPECT_EQ(ErrorTextOf(*contrast),
              "PDXbLoader::ModifyProperties: Error setting CONTRAST in file " + Utf8FromWide(fullUrl));

    // A refused white balance still tries the colour mode, then ends the changes.
    const FString url = WriteHeaderOnly(Header());
    const std::string tooLong(40, 'W');
    auto names = Modify(url, {{"WB_DESC", tooLong.c_str()}, {"CM_DESC", "Vivid"}, {"MARKBITS", "7"}});
    EXPECT_EQ(names->GetStatus(), LOADER_STATUS_ERROR);
    EXPECT_EQ(names->GetError(), LOADER_ERROR_MODIFY_FAILED);
    EXPECT_EQ(ErrorTextOf(*names),
              "PDXbLoader::ModifyProperties: Error setting WHITE BALANCE in file " + Utf8FromWide(url));
    FPdxbImageReader reader(url);
    EXPECT_STREQ(reader.GetColorMode(), "Vivid");
    EXPECT_EQ(reader.GetMarkBits(), 0u);
}

TEST_F(PDXbLoaderTest, ALockedFileIsNeverChanged)
{
    const FString url = WriteHeaderOnly(Header());
    const std::string before = ReadFileBytes(PathOf("image.kvr"));
    ASSERT_EQ(chmod(PathOf("image.kvr").c_str(), 0444), 0);

    auto nothingToDo = Modify(url, {{"ISO", "200"}});
    EXPECT_EQ(nothingToDo->GetStatus(), LOADER_STATUS_DONE);

    auto refused = Modify(url, {{"ROTATION", "90"}});
    EXPECT_EQ(refused->GetStatus(), LOADER_STATUS_ERROR);
    EXPECT_EQ(refused->GetError(), LOADER_ERROR_EXCEPTION);
    EXPECT_EQ(ErrorTextOf(*refused), ExceptionText(FExceptionPdxbWriter(), "Error openning file for write."));
    EXPECT_EQ(ReadFileBytes(PathOf("image.kvr")), before);
}

// ---------------------------------------------------------------------------
// Failures of every kind leave the loader usable

TEST_F(PDXbLoaderTest, FailuresBecomeStatusAndErrorCodes)
{
    const FString missingUrl = UrlOf("missing.kvr");
    const FString corruptUrl = WriteBytes("JUNKJUNKJUNKJUNK", "corrupt.kvr");
    const FString goodUrl = WriteStandardFile();
    PdxbBuilder unknownFormat(Header());
    PdxbImageSpec section = RgbImage(1);
    section.pixelFormat = 99;
    unknownFormat.AddImage(section);
    const FString unknownFormatUrl = Write(unknownFormat.Build(), "format99.kvr");
    std::vector<uint8_t> pixels(kColumns * kRows * 3);
    FPixmapTemplate<FPixelClass24RGB> pixmap(pixels.data(), kColumns, kRows, 0);
    auto tree = NewTree();
    const std::string missingText = Utf8FromWide(missingUrl);
    const std::string corruptText = ExceptionText(FExceptionNotAPdxb(), Utf8FromWide(corruptUrl));
    const std::string nullTree = "PDXbLoader: Property list pointer is NULL";
    const std::string invalid = "PDXbLoader:Request - invalid request.";

    struct Case {
        FString url;
        int kind;
        bool withPixmap;
        bool withTree;
        int error;
        std::string text;
    };
    const Case cases[] = {
        {missingUrl, LOADER_REQUEST_COUNT_IMAGES, false, false, LOADER_ERROR_FILE_NOT_FOUND, missingText},
        {missingUrl, LOADER_REQUEST_LOAD_IMAGE, true, false, LOADER_ERROR_FILE_NOT_FOUND, missingText},
        {missingUrl, LOADER_REQUEST_LOAD_CAMFILE, false, false, LOADER_ERROR_FILE_NOT_FOUND, missingText},
        {missingUrl, LOADER_REQUEST_MODIFY_PROPERTIES, false, true, LOADER_ERROR_FILE_NOT_FOUND, missingText},
        {corruptUrl, LOADER_REQUEST_GET_PROPERTIES, false, true, LOADER_ERROR_READER_EXCEPTION, corruptText},
        {corruptUrl, LOADER_REQUEST_LOAD_IMAGE, true, false, LOADER_ERROR_READER_EXCEPTION, corruptText},
        {unknownFormatUrl, LOADER_REQUEST_LOAD_IMAGE, true, false, LOADER_ERROR_READER_EXCEPTION,
         ExceptionText(FExceptionPdxbReader(), "GetImage() : pixmap has incompatible pixel type")},
        {goodUrl, LOADER_REQUEST_GET_PROPERTIES, false, false, LOADER_ERROR_BAD_REQUEST, nullTree},
        {goodUrl, LOADER_REQUEST_GET_UNIQUE_ID, false, false, LOADER_ERROR_BAD_REQUEST, nullTree},
        {goodUrl, 7, false, true, LOADER_ERROR_BAD_REQUEST, invalid},
        {goodUrl, -1, false, true, LOADER_ERROR_BAD_REQUEST, invalid},
    };
    for (const Case& c : cases) {
        auto request = NewLoaderRequest(c.url, c.kind);
        if (c.withPixmap)
            request->SetPixmap(&pixmap);
        if (c.withTree)
            request->SetPropTree(tree.get());
        EXPECT_EQ(Drive(*request), LOADER_STATUS_ERROR) << "kind " << c.kind;
        EXPECT_EQ(request->GetError(), c.error) << "kind " << c.kind;
        EXPECT_EQ(ErrorTextOf(*request), c.text) << "kind " << c.kind;
    }

    auto after = NewLoaderRequest(goodUrl, LOADER_REQUEST_COUNT_IMAGES);
    EXPECT_EQ(Drive(*after), LOADER_STATUS_DONE);
    EXPECT_EQ(after->GetIndexWord(), 2);
}

// Releasing the loader right after queueing a long read: whether the read is
// still running (and is cancelled) or has just finished, the request gets its
// final status and nothing the thread uses is freed under it.
TEST_F(PDXbLoaderTest, ReleasingDuringALoadEndsTheLoadFirst)
{
    PdxbBuilder builder(Header());
    constexpr size_t kLarge = 16u << 20;
    builder.AddCamfile(Camfile(0, Counting(kLarge)));
    const FString url = Write(builder.Build());
    std::vector<uint8_t> buffer(kLarge);
    LoaderPtr loader(CreatePDXbLoader());
    auto request = NewLoaderRequest(url, LOADER_REQUEST_LOAD_CAMFILE);
    request->SetCamfileBuffer(buffer.data(), buffer.size());
    loader->Request(request.get());
    loader.reset();
    const int status = request->GetStatus();
    EXPECT_TRUE(status == LOADER_STATUS_DONE || status == LOADER_STATUS_CANCELLED) << status;
}
