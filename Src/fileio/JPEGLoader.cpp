#include "fileio/JPEGLoader.h"

#include "fileio/FDataRetrieverRequest.h"
#include "fileio/FJPEGImageReader.h"
#include "foundation/FPropTree.h"

#include <memory>

namespace {

constexpr const char* kLoaderName = "JPEGLoader";
// Full size and the three reductions the codec decodes directly.
constexpr int kImageCount = 4;
constexpr int kEmbeddedPreviewKind = 4;

} // namespace

JPEGLoader::JPEGLoader() : m_LoadThread(kLoaderName, &JPEGLoader::HandleRequest) {}

JPEGLoader::~JPEGLoader() = default;

FILoader* CreateJPEGLoader() { return new JPEGLoader(); }

void JPEGLoader::Release() { delete this; }

void JPEGLoader::Idle() { m_LoadThread.Idle(); }

void JPEGLoader::Request(FDataRetrieverRequest* request)
{
    Idle();
    if (!request)
        return;
    switch (request->m_iKind) {
    case LOADER_REQUEST_COUNT_IMAGES:
        request->SetIndexWord(kImageCount);
        PublishOutcome(*request, FLoaderOutcome::Done());
        break;
    case LOADER_REQUEST_LOAD_IMAGE:
        if (request->GetPixmap())
            m_LoadThread.QueueRequest(*request);
        else
            m_LoadThread.RunNow(*request);
        break;
    case LOADER_REQUEST_LOAD_CAMFILE:
        PublishOutcome(*request, FLoaderOutcome::Error(LOADER_ERROR_BAD_REQUEST,
                                                       "JPEGLoader:Request - jpegs don't have camfiles."));
        break;
    case LOADER_REQUEST_GET_PROPERTIES:
    case LOADER_REQUEST_MODIFY_PROPERTIES:
    case LOADER_REQUEST_GET_UNIQUE_ID:
        m_LoadThread.RunNow(*request);
        break;
    default:
        PublishOutcome(*request,
                       FLoaderOutcome::Error(LOADER_ERROR_BAD_REQUEST, "JPEGLoader:Request - invalid request."));
        break;
    }
}

FLoaderOutcome JPEGLoader::HandleRequest(FDataRetrieverRequest& request)
{
    return RunLoaderRequest<FExceptionJPEG>(kLoaderName, request, [&request](FLoaderOutcome& outcome) {
        auto reader = std::make_unique<FJPEGImageReader>(request.m_sURL);
        switch (request.m_iKind) {
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
            outcome = FLoaderOutcome::Error(LOADER_ERROR_BAD_REQUEST, "JPEGLoader:HandleRequest - invalid request.");
            break;
        }
    });
}

FLoaderOutcome JPEGLoader::LoadImage(FJPEGImageReader& reader, FDataRetrieverRequest& request)
{
    // The index travels in a 32-bit word; 1 to 3 are the reductions by 2, 4 and 8.
    const int index = static_cast<int32_t>(request.GetIndexWord());
    try {
        reader.SetScale(index >= 1 && index <= 3 ? index : 0);
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
    } catch (const FExceptionJPEGIndexOutOfRange&) {
        return FLoaderOutcome::Error(LOADER_ERROR_BAD_REQUEST,
                                     FNarrowString("JPEGLoader:LoadImage index %d", index).GetText());
    }
}

FLoaderOutcome JPEGLoader::GetProperties(FJPEGImageReader& reader, FDataRetrieverRequest& request)
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
    tree->AddPair("COLS", FNarrowString("%d", static_cast<int>(columns)).GetText());
    tree->AddPair("ROWS", FNarrowString("%d", static_cast<int>(rows)).GetText());
    tree->AddPair("PROCESSABLE", "0");
    return priGetUniqueID(request);
}

FLoaderOutcome JPEGLoader::priGetUniqueID(FDataRetrieverRequest& request)
{
    return AppendFileSizeUniqueID(kLoaderName, request.m_sURL, request.GetPropTree());
}
