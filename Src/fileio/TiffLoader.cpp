#include "fileio/TiffLoader.h"

#include "fileio/FDataRetrieverRequest.h"
#include "fileio/FTiffImageReader.h"
#include "foundation/FPropTree.h"

#include <memory>

namespace {

constexpr const char* kLoaderName = "TiffLoader";
// Full size and the four reductions by 2, 4, 8 and 16.
constexpr int kImageCount = 5;
constexpr int kEmbeddedPreviewKind = 4;

} // namespace

TiffLoader::TiffLoader() : m_LoadThread(kLoaderName, &TiffLoader::HandleRequest) {}

TiffLoader::~TiffLoader() = default;

FILoader* CreateTiffLoader() { return new TiffLoader(); }

void TiffLoader::Release() { delete this; }

void TiffLoader::Idle() { m_LoadThread.Idle(); }

void TiffLoader::Request(FDataRetrieverRequest* request)
{
    Idle();
    if (!request)
        return;
    switch (request->m_iKind) {
    case LOADER_REQUEST_LOAD_IMAGE:
        if (request->GetPixmap())
            m_LoadThread.QueueRequest(*request);
        else
            m_LoadThread.RunNow(*request);
        break;
    case LOADER_REQUEST_COUNT_IMAGES:
    case LOADER_REQUEST_LOAD_CAMFILE:
    case LOADER_REQUEST_GET_PROPERTIES:
    case LOADER_REQUEST_MODIFY_PROPERTIES:
    case LOADER_REQUEST_GET_UNIQUE_ID:
        m_LoadThread.RunNow(*request);
        break;
    default:
        PublishOutcome(*request,
                       FLoaderOutcome::Error(LOADER_ERROR_BAD_REQUEST, "TiffLoader:Request - invalid request."));
        break;
    }
}

FLoaderOutcome TiffLoader::HandleRequest(FDataRetrieverRequest& request)
{
    return RunLoaderRequest<FExceptionTIFF>(kLoaderName, request, [&request](FLoaderOutcome& outcome) {
        auto reader = std::make_unique<FTiffImageReader>(request.m_sURL);
        switch (request.m_iKind) {
        case LOADER_REQUEST_COUNT_IMAGES:
            request.SetIndexWord(kImageCount);
            outcome = FLoaderOutcome::Done();
            break;
        case LOADER_REQUEST_LOAD_IMAGE:
            outcome = LoadImage(*reader, request);
            break;
        case LOADER_REQUEST_LOAD_CAMFILE:
            outcome = FLoaderOutcome::Done();
            break;
        case LOADER_REQUEST_GET_PROPERTIES:
            outcome = GetProperties(*reader, request);
            break;
        case LOADER_REQUEST_GET_UNIQUE_ID:
            outcome = priGetUniqueID(request);
            break;
        default:
            outcome = FLoaderOutcome::Error(LOADER_ERROR_BAD_REQUEST, "TiffLoader:HandleRequest - invalid request.");
            break;
        }
    });
}

FLoaderOutcome TiffLoader::LoadImage(FTiffImageReader& reader, FDataRetrieverRequest& request)
{
    // The index travels in a 32-bit word; 1 to 4 are the reduced levels.
    const int index = static_cast<int32_t>(request.GetIndexWord());
    try {
        reader.SetScale(index >= 1 && index <= 4 ? index : 0);
        uint32_t columns = 0, rows = 0;
        int32_t pixelType = 0;
        reader.GetDimensions(columns, rows, pixelType);
        request.SetFirstSizeWord(columns);
        request.SetSecondSizeWord(rows);
        request.SetPixelType(pixelType);
        request.SetImageKind(kEmbeddedPreviewKind);
        if (FPixmap* pixmap = request.GetPixmap())
            reader.ReadImage(pixmap);
        return FLoaderOutcome::Done();
    } catch (const FExceptionTIFFIndexOutOfRange&) {
        return FLoaderOutcome::Error(LOADER_ERROR_BAD_REQUEST,
                                     FNarrowString("TiffLoader:LoadImage index %d", index).GetText());
    }
}

FLoaderOutcome TiffLoader::GetProperties(FTiffImageReader& reader, FDataRetrieverRequest& request)
{
    FPropTree* tree = request.GetPropTree();
    if (!tree)
        return NullPropTreeOutcome(kLoaderName);
    uint32_t columns = 0, rows = 0;
    int32_t pixelType = 0;
    reader.GetDimensions(columns, rows, pixelType);
    request.SetFirstSizeWord(columns);
    request.SetSecondSizeWord(rows);
    reader.GetProperties(tree);
    tree->AddPair("PROCESSABLE", "0");
    return priGetUniqueID(request);
}

FLoaderOutcome TiffLoader::priGetUniqueID(FDataRetrieverRequest& request)
{
    return AppendFileSizeUniqueID(kLoaderName, request.m_sURL, request.GetPropTree());
}
