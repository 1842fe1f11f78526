#include "fileio/loaders/TiffLoader.h"

#include "fileio/codecs/FTiffImageReader.h"

FILoader* CreateTiffLoader() { return new TiffLoader(); }

void TiffLoader::Route(FDataRetrieverRequest& request)
{
    switch (request.m_iKind) {
    case LOADER_REQUEST_LOAD_IMAGE:
        RunOrQueueImage(request);
        break;
    case LOADER_REQUEST_COUNT_IMAGES: // opens the file, so a missing one is reported
    case LOADER_REQUEST_LOAD_CAMFILE:
    case LOADER_REQUEST_GET_PROPERTIES:
    case LOADER_REQUEST_MODIFY_PROPERTIES: // refused by HandleRequest
    case LOADER_REQUEST_GET_UNIQUE_ID:
        m_LoadThread.RunNow(request);
        break;
    default:
        Refuse(request, "TiffLoader:Request - invalid request.");
        break;
    }
}
