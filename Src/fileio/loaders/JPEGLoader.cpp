#include "fileio/loaders/JPEGLoader.h"

#include "fileio/codecs/FJPEGImageReader.h"

FILoader* CreateJPEGLoader() { return new JPEGLoader(); }

void JPEGLoader::Route(FDataRetrieverRequest& request)
{
    switch (request.m_iKind) {
    case LOADER_REQUEST_COUNT_IMAGES:
        // Known without opening the file.
        request.SetIndexWord(kImageCount);
        PublishOutcome(request, FLoaderOutcome::Done());
        break;
    case LOADER_REQUEST_LOAD_IMAGE:
        RunOrQueueImage(request);
        break;
    case LOADER_REQUEST_LOAD_CAMFILE:
        Refuse(request, "JPEGLoader:Request - jpegs don't have camfiles.");
        break;
    case LOADER_REQUEST_GET_PROPERTIES:
    case LOADER_REQUEST_MODIFY_PROPERTIES: // refused by HandleRequest
    case LOADER_REQUEST_GET_UNIQUE_ID:
        m_LoadThread.RunNow(request);
        break;
    default:
        Refuse(request, "JPEGLoader:Request - invalid request.");
        break;
    }
}
