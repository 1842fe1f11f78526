#include "fileio/codecs/JPEGIO.h"

#include "foundation/FAssert.h"
#include "foundation/FException.h"
#include "foundation/FIFile.h"

#include <jerror.h>

namespace {

constexpr size_t kBlockBytes = 4096;

struct FJPEGSource {
    jpeg_source_mgr pub;
    FIFile* stream;
    JOCTET* buffer;
    bool bStartOfFile;
};

struct FJPEGDestination {
    jpeg_destination_mgr pub;
    FIFile* stream;
    JOCTET* buffer;
};

void InitSource(j_decompress_ptr cinfo)
{
    reinterpret_cast<FJPEGSource*>(cinfo->src)->bStartOfFile = true;
}

boolean FillInputBuffer(j_decompress_ptr cinfo)
{
    FJPEGSource* src = reinterpret_cast<FJPEGSource*>(cinfo->src);
    int64_t count = src->stream->Read(src->buffer, kBlockBytes);
    if (count <= 0) {
        if (src->bStartOfFile)
            ERREXIT(cinfo, JERR_INPUT_EMPTY);
        // A file cut short ends like a complete one: libjpeg sees an EOI.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        count = 2;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = static_cast<size_t>(count);
    src->bStartOfFile = false;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr* src = cinfo->src;
    while (count > static_cast<long>(src->bytes_in_buffer)) {
        count -= static_cast<long>(src->bytes_in_buffer);
        (*src->fill_input_buffer)(cinfo);
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

void InitDestination(j_compress_ptr cinfo)
{
    FJPEGDestination* dest = reinterpret_cast<FJPEGDestination*>(cinfo->dest);
    dest->buffer = static_cast<JOCTET*>(
        (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, kBlockBytes));
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kBlockBytes;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo)
{
    FJPEGDestination* dest = reinterpret_cast<FJPEGDestination*>(cinfo->dest);
    if (!dest->stream->Write(dest->buffer, kBlockBytes))
        ERREXIT(cinfo, JERR_FILE_WRITE);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kBlockBytes;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo)
{
    FJPEGDestination* dest = reinterpret_cast<FJPEGDestination*>(cinfo->dest);
    const size_t count = kBlockBytes - dest->pub.free_in_buffer;
    if (count > 0 && !dest->stream->Write(dest->buffer, static_cast<int64_t>(count)))
        ERREXIT(cinfo, JERR_FILE_WRITE);
    // Data the system could not store is as lost as data never written.
    if (!dest->stream->Flush())
        ERREXIT(cinfo, JERR_FILE_WRITE);
}

} // namespace

void JPEGErrorExit(j_common_ptr cinfo)
{
    (*cinfo->err->output_message)(cinfo);
    char message[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, message);
    DebugPrintf("JPEGIO Error: %s\n", message);
    throw FExceptionJPEG(message);
}

void JPEGOutputMessage(j_common_ptr cinfo)
{
    char message[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, message);
    DebugPrintf("JPEGLib message: %s\n", message);
}

void jpeg_stream_src(j_decompress_ptr cinfo, FIFile* stream)
{
    if (cinfo->src == nullptr) {
        j_common_ptr common = reinterpret_cast<j_common_ptr>(cinfo);
        FJPEGSource* src =
            static_cast<FJPEGSource*>((*cinfo->mem->alloc_small)(common, JPOOL_PERMANENT, sizeof(FJPEGSource)));
        src->buffer = static_cast<JOCTET*>((*cinfo->mem->alloc_small)(common, JPOOL_PERMANENT, kBlockBytes));
        cinfo->src = &src->pub;
    }
    FJPEGSource* src = reinterpret_cast<FJPEGSource*>(cinfo->src);
    src->pub.init_source = InitSource;
    src->pub.fill_input_buffer = FillInputBuffer;
    src->pub.skip_input_data = SkipInputData;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = TermSource;
    src->pub.bytes_in_buffer = 0;
    src->pub.next_input_byte = nullptr;
    src->stream = stream;
    src->bStartOfFile = true;
}

void jpeg_stream_dest(j_compress_ptr cinfo, FIFile* stream)
{
    if (cinfo->dest == nullptr) {
        cinfo->dest = static_cast<jpeg_destination_mgr*>((*cinfo->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(FJPEGDestination)));
    }
    FJPEGDestination* dest = reinterpret_cast<FJPEGDestination*>(cinfo->dest);
    dest->pub.init_destination = InitDestination;
    dest->pub.empty_output_buffer = EmptyOutputBuffer;
    dest->pub.term_destination = TermDestination;
    dest->stream = stream;
    dest->buffer = nullptr;
}

namespace {

// libjpeg's standard error manager with our two hooks. The memory limit is
// left at the library's default: this build of libjpeg has no backing store,
// so a limit would only make large progressive files fail.
void SetUpErrorManager(jpeg_error_mgr& error)
{
    jpeg_std_error(&error);
    error.error_exit = JPEGErrorExit;
    error.output_message = JPEGOutputMessage;
}

constexpr unsigned kMaxApp1Bytes = 0xFFFF;

} // namespace

FJPEGDecompressor::FJPEGDecompressor(FIFile* stream)
{
    SetUpErrorManager(m_Error);
    m_Info.err = &m_Error;
    jpeg_create_decompress(&m_Info);
    try {
        jpeg_stream_src(&m_Info, stream);
        jpeg_save_markers(&m_Info, JPEG_APP0 + 1, kMaxApp1Bytes);
    } catch (...) {
        jpeg_destroy_decompress(&m_Info);
        throw;
    }
}

FJPEGDecompressor::~FJPEGDecompressor() { jpeg_destroy_decompress(&m_Info); }

FJPEGCompressor::FJPEGCompressor(FIFile* stream)
{
    SetUpErrorManager(m_Error);
    m_Info.err = &m_Error;
    jpeg_create_compress(&m_Info);
    try {
        jpeg_stream_dest(&m_Info, stream);
    } catch (...) {
        jpeg_destroy_compress(&m_Info);
        throw;
    }
}

FJPEGCompressor::~FJPEGCompressor() { jpeg_destroy_compress(&m_Info); }
