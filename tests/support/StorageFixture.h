#pragma once
// Shared by the storage-class tests: native (UTF-8) text to the path layer's
// text and back, the "disk" URL of a native path, and a fixture that registers
// the storage classes around every test and gives it a folder of its own.

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "foundation/FString.h"
#include "support/TestSupport.h"

namespace testsupport {

// Short, because the tables of cases use them on nearly every line.
inline FString U(const std::string& utf8) { return PathFromNative(utf8); }

inline std::string N(const FString& text)
{
    std::string bytes;
    PathToNative(text, bytes);
    return bytes;
}

inline FString URLOf(const std::filesystem::path& path)
{
    FString url;
    EXPECT_TRUE(NativePathToURL(U(path.string()), url));
    return url;
}

class StorageTest : public ::testing::Test {
protected:
    void SetUp() override { InitStorageClasses(); }
    void TearDown() override { ReleaseStorageClasses(); }

    TempDir m_Dir;
};

} // namespace testsupport
