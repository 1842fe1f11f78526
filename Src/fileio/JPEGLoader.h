#pragma once
// The JPEG file loader: descriptions and properties at once, pixels on the
// load thread, at full size or reduced by 2, 4 or 8.

#include "fileio/FILoader.h"
#include "fileio/FLoadThread.h"

class FJPEGImageReader;

class JPEGLoader : public FIJPEGLoader {
public:
    JPEGLoader();
    ~JPEGLoader() override;
    JPEGLoader(const JPEGLoader&) = delete;
    JPEGLoader& operator=(const JPEGLoader&) = delete;

    void Release() override;
    void Idle() override;
    void Request(FDataRetrieverRequest* request) override;

    // One request from start to end, in whichever thread runs it.
    static FLoaderOutcome HandleRequest(FDataRetrieverRequest& request);

private:
    static FLoaderOutcome LoadImage(FJPEGImageReader& reader, FDataRetrieverRequest& request);
    static FLoaderOutcome GetProperties(FJPEGImageReader& reader, FDataRetrieverRequest& request);
    static FLoaderOutcome priGetUniqueID(FDataRetrieverRequest& request);

    FLoadThread m_LoadThread;
};
