#pragma once
// Shared by the tests of readers and writers: files in a temporary folder,
// opened by their "disk" URL, and the message of an expected exception.

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "foundation/FException.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FString.h"
#include "support/TestSupport.h"

namespace testsupport {

class TempFileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static const bool registered = (InitStorageClasses(), true);
        (void)registered;
    }

    std::filesystem::path PathOf(const std::string& name) const { return m_Dir.Path() / name; }
    FString UrlOf(const std::string& name) const { return UrlOfPath(PathOf(name)); }

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
