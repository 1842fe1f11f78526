#include "support/TestSupport.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unistd.h>

#include "foundation/FIStorageClass.h"

namespace testsupport {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "lumitra-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    m_Path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    // Tests may leave read-only entries behind; make them writable before removal.
    for (auto it = std::filesystem::recursive_directory_iterator(m_Path, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (!it->is_symlink(ignored))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(m_Path, ignored);
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : m_Name(name)
{
    if (const char* old = std::getenv(name))
        m_Old = old;
    setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv()
{
    if (m_Old)
        setenv(m_Name.c_str(), m_Old->c_str(), 1);
    else
        unsetenv(m_Name.c_str());
}

std::string ReadFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

FString WideFromUtf8(const std::string& text)
{
    std::unique_ptr<char16_t[]> wide = AnsiToWide(text.c_str());
    return FString(wide.get());
}

std::string Utf8FromWide(const FString& text)
{
    std::unique_ptr<char[]> narrow = WideToAnsi(text.GetText());
    return narrow ? narrow.get() : "";
}

FString UrlOfPath(const std::filesystem::path& path)
{
    FString url;
    NativePathToURL(WideFromUtf8(path.string()), url);
    return url;
}

} // namespace testsupport
