// The data retriever over the real loaders, each wrapped so the test sees
// which loader was made and which requests reached it.

#include "managers/FDataRetriever.h"

#include "fileio/container/CambData.h"
#include "fileio/loaders/FILoader.h"
#include "foundation/FPixmap.h"
#include "managers/FDataObject.h"
#include "ManagerTestFiles.h"
#include "support/SyntheticCamera.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

struct LoaderLog {
    std::vector<int> made; // table rows, in the order their loaders were made
    int loads = 0;         // requests that fill pixels or camera data
};

class CountingLoader : public FILoader {
public:
    CountingLoader(FILoader* inner, LoaderLog& log) : m_pInner(inner), m_Log(log) {}
    void Release() override
    {
        m_pInner->Release();
        delete this;
    }
    void Idle() override { m_pInner->Idle(); }
    void Request(FDataRetrieverRequest* request) override
    {
        if (request->GetPixmap() || (request->m_iKind >= 2 && request->m_iKind <= 3 && request->GetCamfileBuffer()))
            ++m_Log.loads;
        m_pInner->Request(request);
    }

private:
    FILoader* m_pInner;
    LoaderLog& m_Log;
};

std::vector<FLoaderTableEntry> CountingTable(LoaderLog& log)
{
    std::vector<FLoaderTableEntry> table = FDataRetriever::DefaultLoaderTable();
    for (size_t row = 0; row < table.size(); ++row) {
        auto real = table[row].factory;
        table[row].factory = [real, row, &log]() -> FILoader* {
            log.made.push_back(int(row));
            return new CountingLoader(real(), log);
        };
    }
    return table;
}

int Drive(FDataRetriever& retriever, FDataRetrieverRequest& request)
{
    retriever.Request(&request);
    for (int polls = 0; request.IsPending() && polls < 10000; ++polls)
        retriever.Idle();
    return request.GetStatus();
}

std::string ErrorText(const FDataRetrieverRequest& request) { return Utf8FromWide(request.m_sErrorText); }

class FDataRetrieverTest : public PdxbFileTest {
protected:
    LoaderLog m_Log;
    FDataRetriever m_Retriever{CountingTable(m_Log)};
};

} // namespace

TEST_F(FDataRetrieverTest, ALoaderIsMadeOncePerTableRowChosenByTheExtensionInAnyCase)
{
    struct Case {
        const char* name;
        int row; // -1: no loader
    };
    const Case cases[] = {
        {"a.KVR", 0}, {"b.pdx", 0}, {"c.Tif", 1}, {"d.tiff", 2}, {"e.JPG", 3}, {"f.jpeg", 4},
        {"g.jpe", -1}, {"kvr", -1}, {"h.jpg", 3},
    };
    for (const Case& c : cases) {
        FDataRetrieverRequest request;
        SetRetrieverRequest(request, UrlOf(c.name), kRetrieverInfo, kRetrieverInfoImageCount, 0);
        Drive(m_Retriever, request);
        if (c.row < 0) {
            EXPECT_EQ(request.GetError(), kIPErrorUnsupportedRequest) << c.name;
            EXPECT_EQ(ErrorText(request), "File type not supported.") << c.name;
        } else {
            EXPECT_NE(request.GetError(), kIPErrorUnsupportedRequest) << c.name << ": " << ErrorText(request);
        }
    }
    EXPECT_EQ(m_Log.made, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST_F(FDataRetrieverTest, ACachedImageIsHandedOutAgainWithoutALoad)
{
    const FString url = Write(BuildManagerRawFile({}));
    FDataRetrieverRequest first;
    SetRetrieverRequest(first, url, kRetrieverData, kRetrieverDataImage, 0);
    ASSERT_EQ(Drive(m_Retriever, first), kIPStatusDone) << ErrorText(first);
    FIDataObject* a = GetRetrievedObject(first);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->GetImageType(), 1);
    const PdxbImageSpec raw = ManagerRgbImage(1, 24, 16, 11);
    const FPixmap& pixmap = *a->GetPixmap();
    ASSERT_EQ(pixmap.GetPixelType(), FPixmap::PIXEL_24_RGB);
    for (int y = 0; y < 16; ++y)
        ASSERT_EQ(std::memcmp(pixmap.GetRow(y), raw.data.data() + y * 72, 72), 0) << y;
    EXPECT_EQ(m_Log.loads, 1);

    FDataRetrieverRequest second;
    SetRetrieverRequest(second, url, kRetrieverData, kRetrieverDataImage, 0);
    m_Retriever.Request(&second);
    EXPECT_EQ(second.GetStatus(), kIPStatusDone); // inside the call
    FIDataObject* b = GetRetrievedObject(second);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(b, a);
    EXPECT_EQ(b->GetPixmap()->m_pData, pixmap.m_pData);
    EXPECT_EQ(m_Log.loads, 1);
    a->Release();
    b->Release();
}

TEST_F(FDataRetrieverTest, CameraDataLoadIntoTheCacheAndParse)
{
    const FString url = Write(BuildManagerRawFile({}));
    FDataRetrieverRequest size;
    SetRetrieverRequest(size, url, kRetrieverInfo, kRetrieverInfoCambFile, 0);
    ASSERT_EQ(Drive(m_Retriever, size), kIPStatusDone) << ErrorText(size);
    EXPECT_EQ(size.m_SlotA, 2); // camera data
    EXPECT_GT(size.m_Index, 0);

    FDataRetrieverRequest data;
    SetRetrieverRequest(data, url, kRetrieverData, kRetrieverDataCambFile, 0);
    ASSERT_EQ(Drive(m_Retriever, data), kIPStatusDone) << ErrorText(data);
    FIDataObject* object = GetRetrievedObject(data);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->GetCamfileType(), 2);
    EXPECT_EQ(intptr_t(object->GetCamfileSize()), size.m_Index);
    const FCamdata camdata(object->GetCamfileData(), object->GetCamfileSize());
    EXPECT_EQ(CamdataGetRect(&camdata, "ActiveImageArea").right, 24);
    object->Release();
}

TEST_F(FDataRetrieverTest, ALoadThatDidNotEndDoneIsAskedForAgain)
{
    const FString url = Write(BuildManagerRawFile({}));
    FDataRetrieverRequest cancelled;
    SetRetrieverRequest(cancelled, url, kRetrieverData, kRetrieverDataImage, 1);
    cancelled.Cancel();
    EXPECT_EQ(Drive(m_Retriever, cancelled), kIPStatusCancelled);
    EXPECT_EQ(GetRetrievedObject(cancelled), nullptr);

    FDataRetrieverRequest again;
    SetRetrieverRequest(again, url, kRetrieverData, kRetrieverDataImage, 1);
    ASSERT_EQ(Drive(m_Retriever, again), kIPStatusDone) << ErrorText(again);
    EXPECT_EQ(m_Log.loads, 2);
    EXPECT_EQ(GetRetrievedObject(again)->GetImageType(), 2); // the dark frame
    GetRetrievedObject(again)->Release();
}

TEST_F(FDataRetrieverTest, BadRequestsAreRefusedAndOneRequestRunsAtATime)
{
    RawFileLayout big;
    big.camfilePadding = 2 << 20;
    const FString url = Write(BuildManagerRawFile(big));
    FDataRetrieverRequest unknown;
    SetRetrieverRequest(unknown, url, 7, 0, 0);
    EXPECT_EQ(Drive(m_Retriever, unknown), kIPStatusError);
    EXPECT_EQ(ErrorText(unknown), "FDataRetriever:Request unknown request");
    FDataRetrieverRequest what;
    SetRetrieverRequest(what, url, kRetrieverInfo, 9, 0);
    EXPECT_EQ(Drive(m_Retriever, what), kIPStatusError);
    EXPECT_EQ(what.GetError(), kIPErrorBadParameter);

    FDataRetrieverRequest load;
    SetRetrieverRequest(load, url, kRetrieverData, kRetrieverDataCambFile, 0);
    m_Retriever.Request(&load);
    if (load.IsPending()) {
        FDataRetrieverRequest second;
        SetRetrieverRequest(second, url, kRetrieverInfo, kRetrieverInfoImageCount, 0);
        m_Retriever.Request(&second);
        EXPECT_EQ(second.GetError(), kIPErrorBusy);
        EXPECT_EQ(ErrorText(second), "FDataRetriever");
    }
    while (load.IsPending())
        m_Retriever.Idle();
    ASSERT_EQ(load.GetStatus(), kIPStatusDone) << ErrorText(load);
    GetRetrievedObject(load)->Release();
}

TEST_F(FDataRetrieverTest, DestroyingTheRetrieverDuringALoadCancelsItAndThrowsNothing)
{
    RawFileLayout big;
    big.camfilePadding = 4 << 20;
    const FString url = Write(BuildManagerRawFile(big));
    FDataRetrieverRequest load;
    {
        FDataRetriever retriever;
        SetRetrieverRequest(load, url, kRetrieverData, kRetrieverDataCambFile, 0);
        retriever.Request(&load);
    }
    EXPECT_NE(load.GetStatus(), kIPStatusPending);
    if (load.GetStatus() != kIPStatusDone)
        EXPECT_EQ(GetRetrievedObject(load), nullptr);
    else
        GetRetrievedObject(load)->Release();

    // The entry is whole for the next retriever.
    FDataRetriever next;
    FDataRetrieverRequest again;
    SetRetrieverRequest(again, url, kRetrieverData, kRetrieverDataCambFile, 0);
    ASSERT_EQ(Drive(next, again), kIPStatusDone) << ErrorText(again);
    GetRetrievedObject(again)->Release();
}

TEST_F(FDataRetrieverTest, TheSyntheticCamerasRawFrameIsLoadedOnceAndThenServedFromTheCache)
{
    SyntheticOptions options;
    options.noise = false;
    options.previews = false;
    const SyntheticRaw shot = MakeSyntheticRaw(options);
    const FString url = Write(shot.file, "synthetic.kvr");

    FDataRetrieverRequest count;
    SetRetrieverRequest(count, url, kRetrieverInfo, kRetrieverInfoImageCount, 0);
    ASSERT_EQ(Drive(m_Retriever, count), kIPStatusDone) << ErrorText(count);
    intptr_t rawIndex = -1;
    for (intptr_t index = 0; index < count.m_Index; ++index) {
        FDataRetrieverRequest describe;
        SetRetrieverRequest(describe, url, kRetrieverInfo, kRetrieverInfoImage, index);
        ASSERT_EQ(Drive(m_Retriever, describe), kIPStatusDone) << ErrorText(describe);
        if (describe.m_iSlotC == 1 && rawIndex < 0)
            rawIndex = index;
    }
    ASSERT_GE(rawIndex, 0);

    FIDataObject* objects[2] = {};
    for (FIDataObject*& object : objects) {
        FDataRetrieverRequest load;
        SetRetrieverRequest(load, url, kRetrieverData, kRetrieverDataImage, rawIndex);
        ASSERT_EQ(Drive(m_Retriever, load), kIPStatusDone) << ErrorText(load);
        object = GetRetrievedObject(load);
    }
    EXPECT_EQ(m_Log.loads, 1);
    const FPixmap& pixmap = *objects[1]->GetPixmap();
    ASSERT_EQ(uint32_t(pixmap.m_iColumns), shot.truth.storedColumns);
    ASSERT_EQ(pixmap.GetPixelType(), FPixmap::PIXEL_48_RGB);
    for (uint32_t y = 0; y < shot.truth.storedRows; y += 37)
        ASSERT_EQ(std::memcmp(pixmap.GetRow(int(y)), shot.raw.data() + size_t(y) * shot.truth.storedColumns * 3,
                              shot.truth.storedColumns * 6),
                  0)
            << "row " << y;
    for (FIDataObject* object : objects)
        object->Release();
}
