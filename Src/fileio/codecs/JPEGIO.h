#pragma once
// The glue between libjpeg and the program's files: every byte of a JPEG file
// moves through an FIFile, in 4096-byte blocks. Codec errors leave as
// FExceptionJPEG thrown from the error hook (the codec object stays
// destroyable); exceptions of the FIFile pass through unchanged. A failed
// write (full disk, I/O error) always fails the codec, so a JPEG can never be
// reported as written when its file is truncated.

#include <cstddef>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>

class FIFile;

// Error-manager hooks: the error hook formats the message, sends it to the
// debug output and throws FExceptionJPEG with it; messages and warnings only
// go to the debug output.
void JPEGErrorExit(j_common_ptr cinfo);
void JPEGOutputMessage(j_common_ptr cinfo);

// Source and destination managers over a stream the caller keeps open for as
// long as the codec uses it. The records live in the codec's pools.
void jpeg_stream_src(j_decompress_ptr cinfo, FIFile* stream);
void jpeg_stream_dest(j_compress_ptr cinfo, FIFile* stream);

// A decompressor set up the way the JPEG reader needs it: our error hooks, the
// stream source, and the APP1 markers (the EXIF block) kept up to 65535 bytes.
class FJPEGDecompressor {
public:
    explicit FJPEGDecompressor(FIFile* stream);
    ~FJPEGDecompressor();
    FJPEGDecompressor(const FJPEGDecompressor&) = delete;
    FJPEGDecompressor& operator=(const FJPEGDecompressor&) = delete;

    jpeg_decompress_struct* Get() { return &m_Info; }

private:
    jpeg_error_mgr m_Error{};
    jpeg_decompress_struct m_Info{};
};

// A compressor with our error hooks and the stream destination.
class FJPEGCompressor {
public:
    explicit FJPEGCompressor(FIFile* stream);
    ~FJPEGCompressor();
    FJPEGCompressor(const FJPEGCompressor&) = delete;
    FJPEGCompressor& operator=(const FJPEGCompressor&) = delete;

    jpeg_compress_struct* Get() { return &m_Info; }

private:
    jpeg_error_mgr m_Error{};
    jpeg_compress_struct m_Info{};
};
