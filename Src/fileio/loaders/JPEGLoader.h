#pragma once
// The JPEG file loader: descriptions and properties at once, pixels on the
// load thread, at full size or reduced by 2, 4 or 8.

#include "fileio/loaders/CodecFileLoader.h"
#include "fileio/loaders/FILoader.h"

class FJPEGImageReader;

struct JPEGLoaderTraits {
    using Interface = FIJPEGLoader;
    using Reader = FJPEGImageReader;
    using ReaderFamily = FExceptionJPEG;
    using IndexOutOfRange = FExceptionJPEGIndexOutOfRange;
    static constexpr const char* kName = "JPEGLoader";
    static constexpr int kLargestScale = 3;
    static constexpr int kImageKind = 4; // shown like an embedded preview
    static constexpr bool kPublishesSize = true;
};

class JPEGLoader : public FCodecFileLoader<JPEGLoaderTraits> {
public:
    JPEGLoader() = default;

private:
    void Route(FDataRetrieverRequest& request) override;
};
