#pragma once
// The TIFF file loader: descriptions and properties at once, pixels on the
// load thread, at full size or reduced by 2 to 16.

#include "fileio/FILoader.h"
#include "fileio/FLoadThread.h"

class FTiffImageReader;

class TiffLoader : public FITiffLoader {
public:
    TiffLoader();
    ~TiffLoader() override;
    TiffLoader(const TiffLoader&) = delete;
    TiffLoader& operator=(const TiffLoader&) = delete;

    void Release() override;
    void Idle() override;
    void Request(FDataRetrieverRequest* request) override;

    // One request from start to end, in whichever thread runs it.
    static FLoaderOutcome HandleRequest(FDataRetrieverRequest& request);

private:
    static FLoaderOutcome LoadImage(FTiffImageReader& reader, FDataRetrieverRequest& request);
    static FLoaderOutcome GetProperties(FTiffImageReader& reader, FDataRetrieverRequest& request);
    static FLoaderOutcome priGetUniqueID(FDataRetrieverRequest& request);

    FLoadThread m_LoadThread;
};
