#include "support/ImageFileTest.h"

#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <jpeglib.h>


namespace testsupport {

// ---- Files

Bytes ImageFileTest::FileBytes(const std::string& name) const
{
    const std::string bytes = ReadFileBytes(PathOf(name));
    return Bytes(bytes.begin(), bytes.end());
}

void ImageFileTest::WriteBytes(const std::string& name, const Bytes& bytes) const
{
    WriteFileBytes(PathOf(name), std::string(bytes.begin(), bytes.end()));
}

FileSizeLimit::FileSizeLimit(uint64_t bytes)
{
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    m_OldSoftLimit = limit.rlim_cur;
    m_OldHandler = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit()
{
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = m_OldSoftLimit;
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, m_OldHandler);
}

// ---- TIFF

namespace {

uint32_t ReadNumber(const Bytes& file, size_t at, size_t size, bool big)
{
    if (at + size > file.size())
        throw std::out_of_range("TIFF read outside the file");
    uint32_t value = 0;
    for (size_t i = 0; i < size; ++i) {
        const uint32_t byte = file[at + (big ? i : size - 1 - i)];
        value = value << 8 | byte;
    }
    return value;
}

size_t TiffTypeSize(uint16_t type)
{
    static const size_t kSizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    return type < 13 ? kSizes[type] : 0;
}

bool BigEndianTiff(const Bytes& file) { return file.size() >= 2 && file[0] == 'M'; }

} // namespace

std::map<uint16_t, TiffEntry> ReadTiffDirectory(const Bytes& file)
{
    std::map<uint16_t, TiffEntry> entries;
    try {
        const bool big = BigEndianTiff(file);
        const uint32_t ifd = ReadNumber(file, 4, 4, big);
        const uint32_t count = ReadNumber(file, ifd, 2, big);
        for (uint32_t i = 0; i < count; ++i) {
            const size_t at = ifd + 2 + 12 * size_t{i};
            TiffEntry entry;
            entry.type = static_cast<uint16_t>(ReadNumber(file, at + 2, 2, big));
            entry.count = ReadNumber(file, at + 4, 4, big);
            entry.field = ReadNumber(file, at + 8, 4, big);
            const size_t bytes = entry.count * TiffTypeSize(entry.type);
            const size_t from = bytes <= 4 ? at + 8 : entry.field;
            if (from + bytes > file.size())
                throw std::out_of_range("TIFF value outside the file");
            entry.data.assign(file.begin() + static_cast<ptrdiff_t>(from),
                              file.begin() + static_cast<ptrdiff_t>(from + bytes));
            entries[static_cast<uint16_t>(ReadNumber(file, at, 2, big))] = entry;
        }
    } catch (const std::out_of_range&) {
        entries.clear();
    }
    return entries;
}

uint32_t TiffNumber(const Bytes& file, const TiffEntry& entry, size_t index)
{
    const size_t size = TiffTypeSize(entry.type);
    if (size == 0 || size > 4)
        throw std::invalid_argument("not an integer TIFF type");
    return ReadNumber(entry.data, index * size, size, BigEndianTiff(file));
}

// ---- JPEG

std::vector<JpegMarker> ReadJpegMarkers(const Bytes& file)
{
    std::vector<JpegMarker> markers;
    if (file.size() < 2 || file[0] != 0xFF || file[1] != 0xD8)
        return markers;
    markers.push_back({0xD8, {}});
    size_t at = 2;
    while (at + 4 <= file.size() && file[at] == 0xFF) {
        const uint8_t code = file[at + 1];
        const size_t length = size_t{file[at + 2]} << 8 | file[at + 3];
        if (length < 2 || at + 2 + length > file.size())
            break;
        markers.push_back({code, Bytes(file.begin() + static_cast<ptrdiff_t>(at + 4),
                                       file.begin() + static_cast<ptrdiff_t>(at + 2 + length))});
        if (code == 0xDA)
            break;
        at += 2 + length;
    }
    return markers;
}

namespace {

[[noreturn]] void ThrowJpegError(j_common_ptr info)
{
    char message[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, message);
    throw std::runtime_error(message);
}

void IgnoreJpegMessage(j_common_ptr) {}

} // namespace

DecodedJpeg DecodeJpeg(const Bytes& file, int n)
{
    jpeg_decompress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    error.error_exit = ThrowJpegError;
    error.output_message = IgnoreJpegMessage;
    jpeg_create_decompress(&info);
    DecodedJpeg result;
    try {
        jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
        jpeg_read_header(&info, TRUE);
        info.scale_num = 1;
        info.scale_denom = 1u << n;
        jpeg_start_decompress(&info);
        result.columns = info.output_width;
        result.rows = info.output_height;
        result.components = info.output_components;
        const size_t rowBytes = size_t{info.output_width} * static_cast<size_t>(info.output_components);
        result.pixels.resize(rowBytes * info.output_height);
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = result.pixels.data() + rowBytes * info.output_scanline;
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
    } catch (...) {
        jpeg_destroy_decompress(&info);
        throw;
    }
    jpeg_destroy_decompress(&info);
    return result;
}

// ---- Tools

bool ToolAvailable(const std::string& name)
{
    return RunTool("command -v " + name + " >/dev/null 2>&1").status == 0;
}

ToolResult RunTool(const std::string& command)
{
    ToolResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return result;
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, got);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::optional<DecodedJpeg> ReadPnm(const std::string& bytes)
{
    // "P5" or "P6", white space, width, height, maximum value 255, one white-space byte, the samples.
    if (bytes.size() < 2 || bytes[0] != 'P' || (bytes[1] != '5' && bytes[1] != '6'))
        return std::nullopt;
    size_t at = 2;
    uint32_t numbers[3] = {};
    for (uint32_t& number : numbers) {
        while (at < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[at])))
            ++at;
        while (at < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[at])))
            number = number * 10 + static_cast<uint32_t>(bytes[at++] - '0');
    }
    ++at;
    DecodedJpeg image;
    image.columns = numbers[0];
    image.rows = numbers[1];
    image.components = bytes[1] == '5' ? 1 : 3;
    const size_t size = size_t{image.columns} * image.rows * static_cast<size_t>(image.components);
    if (numbers[2] != 255 || at + size != bytes.size())
        return std::nullopt;
    image.pixels.assign(bytes.begin() + static_cast<ptrdiff_t>(at), bytes.end());
    return image;
}

} // namespace testsupport
