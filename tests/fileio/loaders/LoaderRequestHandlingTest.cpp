// How a failure inside a loader's request becomes the request's status, error
// code and text, in the order the handlers are tried.

#include "fileio/loaders/LoaderRequestHandling.h"
#include "support/LoaderDriver.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>

using testsupport::ErrorTextOf;
using testsupport::NewLoaderRequest;

TEST(LoaderRequestHandlingTest, EachFailureMapsToItsCodeAndText)
{
    struct Case {
        const char* what;
        std::function<void()> fail;
        int error;
        std::string text;
    };
    const Case cases[] = {
        {"missing file", [] { throw FExceptionFileNotFound("ignored"); }, LOADER_ERROR_FILE_NOT_FOUND, "disk:///x.tif"},
        {"reader family", [] { throw FExceptionPixmapTooSmall("row 3"); }, LOADER_ERROR_READER_EXCEPTION,
         std::string("TiffLoader: ") + FExceptionPixmapTooSmall().GetDescription() + " (row 3)"},
        {"other exception", [] { throw FExceptionUnknownPixelType("type 99"); }, LOADER_ERROR_EXCEPTION,
         std::string("TiffLoader: ") + FExceptionUnknownPixelType().GetDescription() + " (type 99)"},
        {"out of memory", [] { throw std::bad_alloc(); }, LOADER_ERROR_OUT_OF_MEMORY, "TiffLoader: out of memory"},
        {"anything else", [] { throw 42; }, LOADER_ERROR_EXCEPTION, "TiffLoader: unknown exception"},
    };
    for (const Case& c : cases) {
        auto request = NewLoaderRequest(u"disk:///x.tif", LOADER_REQUEST_LOAD_IMAGE);
        const FLoaderOutcome outcome =
            RunLoaderRequest<FExceptionTIFF>("TiffLoader", *request, [&c](FLoaderOutcome&) { c.fail(); });
        EXPECT_TRUE(request->IsPending()) << c.what; // published only by the caller
        PublishOutcome(*request, outcome);
        EXPECT_EQ(request->GetStatus(), LOADER_STATUS_ERROR) << c.what;
        EXPECT_EQ(request->GetError(), c.error) << c.what;
        EXPECT_EQ(ErrorTextOf(*request), c.text) << c.what;
    }
}
