#pragma once
// The glue between libtiff and the program's files: a TIFF handle reads and
// writes one FIFile, which it owns. Library messages only go to the debug
// output; callers see failed calls. Writes report what really happened, and
// TiffCloseFile tells whether any write of the handle failed, so a full disk
// can never leave a truncated file that looks saved.
//
// The binding also provides what the readers and writers need beyond stock
// libtiff: the private tag 37717 ("Pardex", an array of 32-bit words) and the
// EXIF block of tag 34665, placed in the file with its offsets relocated.

#include <cstdarg>
#include <cstdint>
#include <vector>

#include <tiffio.h>

class FIFile;
class FString;

constexpr uint32_t TIFFTAG_PARDEX = 37717;

// Opens the file of the URL: mode "r" reads, "w" (or "wa") creates or
// truncates, "a" appends a directory. Null when the mode is bad, the file
// cannot be opened or is not a TIFF (reported through the handlers).
TIFF* TiffOpenFile(const FString& url, const char* mode);
// The same over a file that is already open; the handle owns it from now on
// (it is closed on failure too). name is only used in messages.
TIFF* TiffOpenStream(FIFile* file, const char* name, const char* mode);
// Closes the handle (writing its directory) and its file. False when any
// write of the handle failed, the close included.
bool TiffCloseFile(TIFF* tif);

// The library-wide message handlers, installed before the first open.
void TiffWarningHandler(const char* module, const char* format, va_list args);
void TiffErrorHandler(const char* module, const char* format, va_list args);

// Adds position to the stored offset of every entry of the EXIF IFD at the
// block's start whose data are longer than 4 bytes, and likewise inside the
// maker note of tag 37500 (its IFD 10 bytes into its data). Entries whose
// fields lie outside the block are left alone.
void RelocateExifBlock(uint8_t* block, size_t length, uint32_t position);

// Writes an EXIF block built with offsets from its own start (BuildExif at
// index 0) at an even position P at the end of the file, relocated by P, and
// makes tag 34665 the entry {34665, LONG, 1, P}. Must come before the first
// row (strips follow the block); false when it cannot be placed or written.
bool TiffWriteExifBlock(TIFF* tif, const uint8_t* block, uint32_t length);
// The EXIF IFD's file offset and the bytes from there to the end of the file
// (at most 65535). False when the file has no EXIF block or it cannot be read.
bool TiffReadExifBlock(TIFF* tif, uint64_t& fileOffset, std::vector<uint8_t>& bytes);
