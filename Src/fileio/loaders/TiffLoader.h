#pragma once
// The TIFF file loader: descriptions and properties at once, pixels on the
// load thread, at full size or reduced by 2 to 16.

#include "fileio/loaders/CodecFileLoader.h"
#include "fileio/loaders/FILoader.h"

class FTiffImageReader;

struct TiffLoaderTraits {
    using Interface = FITiffLoader;
    using Reader = FTiffImageReader;
    using ReaderFamily = FExceptionTIFF;
    using IndexOutOfRange = FExceptionTIFFIndexOutOfRange;
    static constexpr const char* kName = "TiffLoader";
    static constexpr int kLargestScale = 4;
    static constexpr int kImageKind = 4; // shown like an embedded preview
    static constexpr bool kPublishesSize = false;
};

class TiffLoader : public FCodecFileLoader<TiffLoaderTraits> {
public:
    TiffLoader() = default;

private:
    void Route(FDataRetrieverRequest& request) override;
};
