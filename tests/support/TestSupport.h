#pragma once
// Shared helpers of the tests: a temporary folder that removes itself and a
// scoped environment variable, so tests can point HOME, XDG_* and TMPDIR at
// folders of their own; and the text and URL conversions tests of files need.

#include <filesystem>
#include <optional>
#include <string>

#include "foundation/FString.h"

namespace testsupport {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return m_Path; }
    std::string Str() const { return m_Path.string(); }

private:
    std::filesystem::path m_Path;
};

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_Name;
    std::optional<std::string> m_Old;
};

// Whole file as bytes; writes bytes to a file (replacing it).
std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);

FString WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const FString& text);
// The "disk" URL of a native path, as the storage classes open it (they must
// be registered).
FString UrlOfPath(const std::filesystem::path& path);

} // namespace testsupport
