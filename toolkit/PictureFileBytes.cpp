#include "toolkit/PictureFileBytes.h"

#include "fileio/codecs/FTemporaryOutputFile.h"
#include "foundation/FException.h"
#include "foundation/FIStorageClass.h"

#include <limits>

bool PictureFileURL(const FString& path, FString& url) {
  return path.GetLength() > 0 && NativePathToURL(path, url);
}

PictureFileReader::PictureFileReader(const FString& path, bool update) {
  FString url;
  if (!PictureFileURL(path, url)) {
    return;
  }
  const int flags = update ? FIFile::OPEN_READ | FIFile::OPEN_WRITE | FIFile::OPEN_APPEND | FIFile::OPEN_EXISTING
                           : FIFile::OPEN_READ;
  try {
    m_File.reset(OpenFileByURL(url, flags));
  } catch (const FException&) {
    m_File.reset();
  }
  if (m_File) {
    const std::int64_t size = m_File->GetSize();
    m_Size = size > 0 ? static_cast<std::uint64_t>(size) : 0;
  }
}

bool PictureFileReader::Read(std::uint64_t offset, std::uint64_t count, std::uint8_t* bytes) {
  if (!m_File || offset > m_Size || count > m_Size - offset ||
      count > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
    return false;
  }
  m_File->Seek(static_cast<std::int64_t>(offset));
  return m_File->Read(bytes, static_cast<std::int64_t>(count)) == static_cast<std::int64_t>(count);
}

bool PictureFileReader::Read(std::uint64_t offset, std::uint64_t count, std::vector<std::uint8_t>& bytes) {
  if (!m_File || offset > m_Size || count > m_Size - offset) {
    return false;
  }
  bytes.resize(count);
  return Read(offset, count, bytes.data());
}

bool PictureFileReader::WriteAt(std::uint64_t offset, const void* bytes, std::uint64_t count) {
  if (!m_File || offset > m_Size || count > m_Size - offset) {
    return false;
  }
  m_File->Seek(static_cast<std::int64_t>(offset));
  return m_File->Write(bytes, static_cast<std::int64_t>(count)) && m_File->Flush();
}

bool ReadWholeFile(const FString& path, std::vector<std::uint8_t>& bytes, std::uint64_t limit) {
  PictureFileReader file(path);
  return file.IsOpen() && file.Size() <= limit && file.Read(0, file.Size(), bytes);
}

PictureFileWriter::PictureFileWriter(const FString& path) {
  FString url;
  if (!PictureFileURL(path, url)) {
    return;
  }
  try {
    m_Temporary = std::make_unique<FTemporaryOutputFile>(url);
    m_File.reset(OpenFileByURL(m_Temporary->GetURL(), FIFile::OPEN_READ | FIFile::OPEN_WRITE));
  } catch (const FException&) {
    m_File.reset();
  }
}

// The temporary file goes with m_Temporary unless it was committed.
PictureFileWriter::~PictureFileWriter() = default;

bool PictureFileWriter::Write(const void* bytes, std::uint64_t count) {
  if (!m_File || m_bFailed) {
    return false;
  }
  if (count > 0 && !m_File->Write(bytes, static_cast<std::int64_t>(count))) {
    m_bFailed = true;
  }
  return !m_bFailed;
}

bool PictureFileWriter::Commit() {
  if (!m_File || m_bFailed) {
    return false;
  }
  const bool flushed = m_File->Flush();
  m_File.reset();
  if (!flushed) {
    return false;
  }
  try {
    m_Temporary->Commit();
  } catch (const FException&) {
    return false;
  }
  return true;
}
