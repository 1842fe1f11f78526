#pragma once
// Drives loaders the way the data retriever does: one request at a time,
// Request, then Idle until the status leaves "pending", then the results.

#include "fileio/loaders/FDataRetrieverRequest.h"
#include "fileio/loaders/FILoader.h"
#include "foundation/FPropTree.h"
#include "foundation/FString.h"
#include "support/TestPixmap.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

// Deletes a loader through Release.
struct LoaderReleaser {
    void operator()(FILoader* loader) const
    {
        if (loader)
            loader->Release();
    }
};
using LoaderPtr = std::unique_ptr<FILoader, LoaderReleaser>;

inline std::unique_ptr<FDataRetrieverRequest> NewLoaderRequest(const FString& url, int kind)
{
    auto request = std::make_unique<FDataRetrieverRequest>();
    request->m_sURL = url;
    request->m_iKind = kind;
    return request;
}

// Request, then Idle while pending (each Idle waits at most 100 ms, so the cap
// is minutes, only there to turn a hang into a failure).
inline int DriveLoaderRequest(FILoader& loader, FDataRetrieverRequest& request)
{
    loader.Request(&request);
    for (int polls = 0; request.IsPending() && polls < 3000; ++polls)
        loader.Idle();
    return request.GetStatus();
}

// A camfile request (kind 2 or 3) the way the retriever makes one: the size
// first, then the data into a buffer of that size. Returns the request that
// ended the exchange; `bytes` holds what was delivered.
inline std::unique_ptr<FDataRetrieverRequest> LoadCamfileBytes(FILoader& loader, const FString& url, int kind,
                                                              std::vector<uint8_t>& bytes)
{
    bytes.clear();
    auto size = NewLoaderRequest(url, kind);
    if (DriveLoaderRequest(loader, *size) != LOADER_STATUS_DONE)
        return size;
    bytes.resize(size_t(size->GetIndexWord()));
    auto data = NewLoaderRequest(url, kind);
    data->SetCamfileBuffer(bytes.data(), bytes.size());
    DriveLoaderRequest(loader, *data);
    return data;
}

inline std::string ErrorTextOf(const FDataRetrieverRequest& request)
{
    return Utf8FromWide(request.m_sErrorText);
}

// The first value of the key, or "<none>".
inline std::string ValueOf(const FPropTree& tree, const char* key)
{
    const FString* value = tree.GetValue(FString(key), nullptr);
    return value ? Utf8FromWide(*value) : "<none>";
}

inline std::vector<std::string> KeysOf(const FPropTree& tree)
{
    std::vector<std::string> keys;
    for (const FPropPair* pair = tree.GetFirstPair(); pair; pair = pair->GetNext())
        keys.push_back(Utf8FromWide(pair->m_sKey));
    return keys;
}

// The identity of a JPEG or TIFF file of this many bytes.
inline std::string FileSizeUniqueID(uint64_t size)
{
    char id[32];
    std::snprintf(id, sizeof id, "%X-%X", unsigned(size & 0xFFFFFFFFu), unsigned(size >> 32));
    return id;
}

// A fresh loader from the factory for every test, on top of the fixture the
// test writes its files with.
template <class FileTest, FILoader* (*CreateLoader)()>
class LoaderTest : public FileTest {
protected:
    int Drive(FDataRetrieverRequest& request) { return DriveLoaderRequest(*m_pLoader, request); }

    LoaderPtr m_pLoader{CreateLoader()};
};

// Kind 4 of a JPEG or TIFF file fills tree and gives the size words,
// "PROCESSABLE" = "0" and the identity made from the file's size (fileBytes);
// kind 6 gives that identity as its tree's one pair.
inline void ExpectCodecFileProperties(FILoader& loader, const FString& url, uint64_t fileBytes, int64_t columns,
                                      int64_t rows, FPropTree& tree)
{
    const std::string id = FileSizeUniqueID(fileBytes);
    auto properties = NewLoaderRequest(url, LOADER_REQUEST_GET_PROPERTIES);
    properties->SetPropTree(&tree);
    ASSERT_EQ(DriveLoaderRequest(loader, *properties), LOADER_STATUS_DONE) << ErrorTextOf(*properties);
    EXPECT_EQ(properties->GetFirstSizeWord(), columns);
    EXPECT_EQ(properties->GetSecondSizeWord(), rows);
    EXPECT_EQ(ValueOf(tree, "PROCESSABLE"), "0");
    EXPECT_EQ(ValueOf(tree, "UNIQUEID"), id);

    FPropTree idTree(nullptr, "UniqueIDProp");
    auto identity = NewLoaderRequest(url, LOADER_REQUEST_GET_UNIQUE_ID);
    identity->SetPropTree(&idTree);
    ASSERT_EQ(DriveLoaderRequest(loader, *identity), LOADER_STATUS_DONE) << ErrorTextOf(*identity);
    EXPECT_EQ(KeysOf(idTree), std::vector<std::string>{"UNIQUEID"});
    EXPECT_EQ(ValueOf(idTree, "UNIQUEID"), id);
}

// A reduction of a JPEG or TIFF picture: the index sent, the reader's scale
// it stands for, and the size the picture has there.
struct LoaderScaleCase {
    int index;
    int scale;
    uint32_t columns, rows;
};

// Each index is described at once without a pixmap, and loaded on the load
// thread with one: the pixels are the reader's own at that scale, read into a
// pixmap of loadType, and the load ends with its progress at 1.
template <class Reader>
void ExpectEveryScaleLoads(FILoader& loader, const FString& url, int32_t fileType, int32_t loadType,
                           const std::vector<LoaderScaleCase>& cases)
{
    for (const LoaderScaleCase& c : cases) {
        SCOPED_TRACE("index " + std::to_string(c.index));
        auto describe = NewLoaderRequest(url, LOADER_REQUEST_LOAD_IMAGE);
        describe->SetIndexWord(c.index);
        loader.Request(describe.get());
        ASSERT_EQ(describe->GetStatus(), LOADER_STATUS_DONE) << ErrorTextOf(*describe);
        EXPECT_EQ(describe->GetFirstSizeWord(), c.columns);
        EXPECT_EQ(describe->GetSecondSizeWord(), c.rows);
        EXPECT_EQ(describe->GetPixelType(), fileType);
        EXPECT_EQ(describe->GetImageKind(), 4);

        TestPixmap loaded = MakePixmap(loadType, int32_t(c.columns), int32_t(c.rows), 1);
        auto load = NewLoaderRequest(url, LOADER_REQUEST_LOAD_IMAGE);
        load->SetIndexWord(c.index);
        load->SetPixmap(loaded.get());
        ASSERT_EQ(DriveLoaderRequest(loader, *load), LOADER_STATUS_DONE) << ErrorTextOf(*load);
        EXPECT_EQ(load->GetProgress(), 1.0);

        TestPixmap expected = MakePixmap(loadType, int32_t(c.columns), int32_t(c.rows), 1);
        Reader reader(url);
        reader.SetScale(c.scale);
        uint32_t columns = 0, rows = 0;
        int32_t type = 0;
        reader.GetDimensions(columns, rows, type); // the JPEG reader reads its header here
        reader.ReadImage(expected.get());
        EXPECT_EQ(loaded.bytes, expected.bytes);
    }
}

} // namespace testsupport
