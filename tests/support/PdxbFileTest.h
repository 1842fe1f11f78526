#pragma once
// Shared by the raw-container tests: containers written into a temporary
// folder and opened by their "disk" URL.

#include "fileio/container/PdxbImageIO.h"
#include "foundation/FString.h"
#include "support/PdxbBuilder.h"
#include "support/TempFileTest.h"

#include <string>

namespace testsupport {

class PdxbFileTest : public TempFileTest {
protected:
    FString Write(const PdxbFile& file, const std::string& name = "image.kvr") const
    {
        file.WriteTo(PathOf(name));
        return UrlOf(name);
    }

    FString WriteBytes(const std::string& bytes, const std::string& name) const
    {
        WriteFileBytes(PathOf(name), bytes);
        return UrlOf(name);
    }
};

} // namespace testsupport
