#pragma once
// The raw container's loader: counts, images, camfiles, properties, the
// unique identity, and the in-place update of the header's editable fields.

#include "fileio/loaders/FILoader.h"
#include "fileio/loaders/FLoadThread.h"

class FPdxbImageReader;
class FPdxbImageWriter;

class PDXbLoader : public FThreadedLoader<FIPDXbLoader> {
public:
    PDXbLoader();

    // One request from start to end, in whichever thread runs it.
    static FLoaderOutcome HandleRequest(FDataRetrieverRequest& request);

private:
    void Route(FDataRetrieverRequest& request) override;
    static FLoaderOutcome LoadImage(FPdxbImageReader& reader, FDataRetrieverRequest& request);
    static FLoaderOutcome LoadCamfile(FPdxbImageReader& reader, FDataRetrieverRequest& request);
    static FLoaderOutcome GetProperties(FPdxbImageReader& reader, FDataRetrieverRequest& request);
    static FLoaderOutcome ModifyProperties(FDataRetrieverRequest& request);
    static FLoaderOutcome priGetUniqueID(FPdxbImageReader& reader, FDataRetrieverRequest& request);
    // Stores one extended-data value in the slot of its type, or in a free slot.
    static bool priSetPDXbExtData(FPdxbImageWriter& writer, int type, double value);
};
