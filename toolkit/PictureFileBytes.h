#pragma once
// The toolkit's picture and EXIF code reads and writes files by native path,
// through the storage classes: readers see only regular files, writes of an
// existing file are refused when it is locked (read-only), also for root, and
// new files are written under a temporary name beside the final one and put in
// place only when complete, so no failed save leaves a partial file. The
// storage classes must be registered (InitStorageClasses), as the program does
// at start.

#include "foundation/FIFile.h"
#include "foundation/FString.h"

#include <cstdint>
#include <memory>
#include <vector>

class FTemporaryOutputFile;

// The "disk" URL of a native path; false when the path names no file.
bool PictureFileURL(const FString& path, FString& url);

class PictureFileReader {
public:
  // Opens the file for reading, or with update for reading and writing in
  // place (never created, never truncated; refused for locked files).
  explicit PictureFileReader(const FString& path, bool update = false);

  bool IsOpen() const { return m_File != nullptr; }
  std::uint64_t Size() const { return m_Size; }
  // Exactly count bytes from offset into bytes; false when they are not there.
  bool Read(std::uint64_t offset, std::uint64_t count, std::vector<std::uint8_t>& bytes);
  bool Read(std::uint64_t offset, std::uint64_t count, std::uint8_t* bytes);
  // Writes the bytes at offset and flushes them; only files opened for update.
  bool WriteAt(std::uint64_t offset, const void* bytes, std::uint64_t count);

private:
  FFilePtr m_File;
  std::uint64_t m_Size = 0;
};

// The whole file, when it is at most limit bytes long.
bool ReadWholeFile(const FString& path, std::vector<std::uint8_t>& bytes, std::uint64_t limit);

// A new file written under a temporary name beside the final path. Nothing
// appears under the final name unless Commit succeeds; an existing file there
// is replaced only then, and a locked one never.
class PictureFileWriter {
public:
  explicit PictureFileWriter(const FString& path);
  ~PictureFileWriter();
  PictureFileWriter(const PictureFileWriter&) = delete;
  PictureFileWriter& operator=(const PictureFileWriter&) = delete;

  bool IsOpen() const { return m_File != nullptr; }
  // The open file, for codecs that write through it; null when not open.
  FIFile* File() const { return m_File.get(); }
  // False once any write failed.
  bool Write(const void* bytes, std::uint64_t count);
  // Flushes, closes and puts the file in place; false when anything failed.
  bool Commit();

private:
  std::unique_ptr<FTemporaryOutputFile> m_Temporary;
  FFilePtr m_File;
  bool m_bFailed = false;
};
