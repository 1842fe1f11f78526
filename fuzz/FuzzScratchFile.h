#pragma once
// For targets whose readers open files by URL: one file per process in TMPDIR,
// rewritten with every input.

#include "foundation/FIStorageClass.h"
#include "foundation/FString.h"
#include "support/TestSupport.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

class FuzzScratchFile {
public:
    // The file name starts with the prefix, so that a leftover file tells its
    // target, and ends with the suffix (an extension readers go by).
    explicit FuzzScratchFile(const char* prefix, const std::string& suffix = std::string())
    {
        InitStorageClasses();
        const char* folder = std::getenv("TMPDIR");
        m_Path = std::string(folder ? folder : "/tmp") + "/" + prefix + "-XXXXXX" + suffix;
        const int fd = mkstemps(m_Path.data(), static_cast<int>(suffix.size()));
        if (fd < 0)
            std::abort();
        close(fd);
        m_URL = testsupport::UrlOfPath(m_Path);
    }

    const std::string& Path() const { return m_Path; }

    // Replaces the file's contents by the input; its URL.
    const FString& Write(const uint8_t* data, size_t size) const
    {
        FILE* file = std::fopen(m_Path.c_str(), "wb");
        if (!file)
            std::abort();
        if (size && std::fwrite(data, 1, size, file) != size)
            std::abort();
        std::fclose(file);
        return m_URL;
    }

private:
    std::string m_Path;
    FString m_URL;
};
