#pragma once
// What the JPEG and TIFF loaders share: a codec reader that describes and
// reads the picture at full size or reduced, properties without raw settings,
// and an identity made from the file size. Traits name the reader, its
// exception family, the loader's name and how many reductions the codec has.
//
// The member templates need the reader's full type; they are instantiated in
// the loader's own source file, which includes its reader.

#include "fileio/loaders/FLoadThread.h"
#include "fileio/loaders/LoaderRequestHandling.h"
#include "foundation/FPropTree.h"

#include <cstdint>

template <class Traits>
class FCodecFileLoader : public FThreadedLoader<typename Traits::Interface> {
public:
    // One request from start to end, in whichever thread runs it.
    static FLoaderOutcome HandleRequest(FDataRetrieverRequest& request);

protected:
    using Reader = typename Traits::Reader;
    // Full size and each reduction the codec decodes directly.
    static constexpr int kImageCount = Traits::kLargestScale + 1;

    FCodecFileLoader() : FThreadedLoader<typename Traits::Interface>(Traits::kName, &FCodecFileLoader::HandleRequest)
    {
    }

private:
    static FLoaderOutcome LoadImage(Reader& reader, FDataRetrieverRequest& request);
    static FLoaderOutcome GetProperties(Reader& reader, FDataRetrieverRequest& request);
    static FLoaderOutcome priGetUniqueID(FDataRetrieverRequest& request);
};

template <class Traits>
FLoaderOutcome FCodecFileLoader<Traits>::HandleRequest(FDataRetrieverRequest& request)
{
    return RunLoaderRequest<typename Traits::ReaderFamily>(Traits::kName, request, [&request](FLoaderOutcome& outcome) {
        Reader reader(request.m_sURL);
        switch (request.m_iKind) {
        case LOADER_REQUEST_COUNT_IMAGES:
            request.SetIndexWord(kImageCount);
            outcome = FLoaderOutcome::Done();
            break;
        case LOADER_REQUEST_LOAD_IMAGE:
            outcome = LoadImage(reader, request);
            break;
        case LOADER_REQUEST_LOAD_CAMFILE:
            // These files have none: done, nothing loaded.
            outcome = FLoaderOutcome::Done();
            break;
        case LOADER_REQUEST_GET_PROPERTIES:
            outcome = GetProperties(reader, request);
            break;
        case LOADER_REQUEST_GET_UNIQUE_ID:
            outcome = priGetUniqueID(request);
            break;
        default:
            outcome = FLoaderOutcome::Error(LOADER_ERROR_BAD_REQUEST,
                                            FNarrowString("%s:HandleRequest - invalid request.", Traits::kName).GetText());
            break;
        }
    });
}

template <class Traits>
FLoaderOutcome FCodecFileLoader<Traits>::LoadImage(Reader& reader, FDataRetrieverRequest& request)
{
    // The index travels in a 32-bit word; 1 up to the largest scale are the
    // reductions, any other index is full size.
    const int index = static_cast<int32_t>(request.GetIndexWord());
    try {
        reader.SetScale(index >= 1 && index <= Traits::kLargestScale ? index : 0);
        uint32_t columns = 0, rows = 0;
        int32_t pixelType = 0;
        reader.GetDimensions(columns, rows, pixelType);
        request.SetFirstSizeWord(columns);
        request.SetSecondSizeWord(rows);
        request.SetPixelType(pixelType);
        request.SetImageKind(Traits::kImageKind);
        if (FPixmap* pixmap = request.GetPixmap()) {
            // The codec reads the picture in one call, so the caller sees the
            // load go from nothing to done.
            reader.ReadImage(pixmap);
            StoreProgress(request.GetProgressStorage(), 1.0);
        }
        return FLoaderOutcome::Done();
    } catch (const typename Traits::IndexOutOfRange&) {
        return FLoaderOutcome::Error(LOADER_ERROR_BAD_REQUEST,
                                     FNarrowString("%s:LoadImage index %d", Traits::kName, index).GetText());
    }
}

template <class Traits>
FLoaderOutcome FCodecFileLoader<Traits>::GetProperties(Reader& reader, FDataRetrieverRequest& request)
{
    FPropTree* tree = request.GetPropTree();
    if (!tree)
        return NullPropTreeOutcome(Traits::kName);
    uint32_t columns = 0, rows = 0;
    int32_t pixelType = 0;
    reader.GetDimensions(columns, rows, pixelType);
    request.SetFirstSizeWord(columns);
    request.SetSecondSizeWord(rows);
    reader.GetProperties(tree);
    if (Traits::kPublishesSize) {
        tree->AddPair("COLS", FNarrowString("%d", static_cast<int>(columns)).GetText());
        tree->AddPair("ROWS", FNarrowString("%d", static_cast<int>(rows)).GetText());
    }
    tree->AddPair("PROCESSABLE", "0");
    return priGetUniqueID(request);
}

template <class Traits>
FLoaderOutcome FCodecFileLoader<Traits>::priGetUniqueID(FDataRetrieverRequest& request)
{
    return AppendFileSizeUniqueID(Traits::kName, request.m_sURL, request.GetPropTree());
}
