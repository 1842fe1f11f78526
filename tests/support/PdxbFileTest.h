#pragma once
// Shared by the raw-container tests: files written into a temporary folder and
// opened by their "disk" URL, and the message of an expected exception.

#include "fileio/PdxbImageIO.h"
#include "foundation/FException.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FString.h"
#include "support/PdxbBuilder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <string>

namespace testsupport {

inline FString WideFromUtf8(const std::string& text)
{
    std::unique_ptr<char16_t[]> wide = AnsiToWide(text.c_str());
    return FString(wide.get());
}

inline std::string Utf8FromWide(const FString& text)
{
    std::unique_ptr<char[]> narrow = WideToAnsi(text.GetText());
    return narrow ? narrow.get() : "";
}

class PdxbFileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static const bool registered = (InitStorageClasses(), true);
        (void)registered;
    }

    std::filesystem::path PathOf(const std::string& name) const { return m_Dir.Path() / name; }

    FString UrlOf(const std::string& name) const
    {
        FString url;
        NativePathToURL(WideFromUtf8(PathOf(name).string()), url);
        return url;
    }

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

    TempDir m_Dir;
};

// The message of the exception of class E that f throws, or a marker text.
template <class E, class F>
std::string MessageOf(F&& f)
{
    try {
        f();
    } catch (const E& e) {
        return e.GetMessage();
    } catch (const FException& e) {
        return std::string("<other FException: ") + e.GetDescription() + ": " + e.GetMessage() + ">";
    }
    return "<no exception>";
}

} // namespace testsupport
