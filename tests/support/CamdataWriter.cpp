#include "support/CamdataWriter.h"

#include <cstring>

namespace testsupport {

namespace {

uint32_t Code(const char (&code)[5])
{
    return uint32_t(uint8_t(code[0])) | uint32_t(uint8_t(code[1])) << 8 | uint32_t(uint8_t(code[2])) << 16 |
           uint32_t(uint8_t(code[3])) << 24;
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}

void Set32(std::vector<uint8_t>& out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + size_t(i)] = uint8_t(v >> (8 * i));
}

void Align(std::vector<uint8_t>& out, size_t to)
{
    while (out.size() % to != 0)
        out.push_back(0);
}

template <class T>
std::vector<uint8_t> BytesOf(const std::vector<T>& values)
{
    std::vector<uint8_t> bytes(values.size() * sizeof(T));
    if (!bytes.empty())
        std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

uint32_t ElementSize(uint32_t type)
{
    switch (type) {
    case kCambInt16: case kCambUInt16: return 2;
    case kCambInt64: return 8;
    case kCambUInt8: return 1;
    default: return 4;
    }
}

void Reverse(std::vector<uint8_t>& bytes, size_t at, size_t size)
{
    for (size_t i = 0; i < size / 2; ++i)
        std::swap(bytes[at + i], bytes[at + size - 1 - i]);
}

} // namespace

CamdataWriter::Block CamdataWriter::Start(uint32_t type, uint32_t version, const std::string& name) const
{
    Block block;
    std::vector<uint8_t>& b = block.bytes;
    Put32(b, type);
    Put32(b, version << 16);
    Put32(b, 0);   // length, set by Finish
    Put32(b, 20);  // name right after the header
    Put32(b, 0);   // payload, set by the caller
    block.words = {0, 4, 8, 12, 16};
    b.insert(b.end(), name.begin(), name.end());
    b.push_back(0);
    Align(b, 8);
    Set32(b, 16, uint32_t(b.size()));
    return block;
}

void CamdataWriter::Finish(Block& block)
{
    Align(block.bytes, 4);
    Set32(block.bytes, 8, uint32_t(block.bytes.size()));
    m_Blocks.push_back(std::move(block));
}

void CamdataWriter::AddMatrix(const std::string& name, uint32_t elementType, const std::vector<uint32_t>& dims,
                              const std::vector<uint8_t>& elements, uint32_t version)
{
    Block block = Start(Code("CMbM"), version, name);
    std::vector<uint8_t>& b = block.bytes;
    const size_t head = b.size();
    Put32(b, elementType);
    Put32(b, uint32_t(dims.size()));
    Put32(b, 0);  // element offset
    for (size_t i = 0; i < 3; ++i)
        block.words.push_back(head + 4 * i);
    for (const uint32_t dim : dims) {
        for (int i = 0; i < 3; ++i)
            block.words.push_back(b.size() + 4 * size_t(i));
        Put32(b, dim);
        Put32(b, 0);
        Put32(b, 0);
    }
    Align(b, 8);
    Set32(b, head + 8, uint32_t(b.size()));
    block.elementsAt = b.size();
    block.elementSize = ElementSize(elementType);
    block.elementCount = uint32_t(elements.size() / block.elementSize);
    b.insert(b.end(), elements.begin(), elements.end());
    Finish(block);
}

void CamdataWriter::AddFloats(const std::string& name, const std::vector<uint32_t>& dims,
                              const std::vector<float>& values)
{
    AddMatrix(name, kCambFloat, dims, BytesOf(values));
}

void CamdataWriter::AddInt16s(const std::string& name, const std::vector<uint32_t>& dims,
                              const std::vector<int16_t>& values)
{
    AddMatrix(name, kCambInt16, dims, BytesOf(values));
}

void CamdataWriter::AddUInt16s(const std::string& name, const std::vector<uint32_t>& dims,
                               const std::vector<uint16_t>& values)
{
    AddMatrix(name, kCambUInt16, dims, BytesOf(values));
}

void CamdataWriter::AddInt32s(const std::string& name, const std::vector<uint32_t>& dims,
                              const std::vector<int32_t>& values)
{
    AddMatrix(name, kCambInt32, dims, BytesOf(values));
}

void CamdataWriter::AddUInt32s(const std::string& name, const std::vector<uint32_t>& dims,
                               const std::vector<uint32_t>& values)
{
    AddMatrix(name, kCambUInt32, dims, BytesOf(values));
}

void CamdataWriter::AddBytes(const std::string& name, const std::vector<uint32_t>& dims,
                             const std::vector<uint8_t>& values)
{
    AddMatrix(name, kCambUInt8, dims, values);
}

void CamdataWriter::AddInt64s(const std::string& name, const std::vector<uint32_t>& dims,
                              const std::vector<int64_t>& values)
{
    AddMatrix(name, kCambInt64, dims, BytesOf(values));
}

void CamdataWriter::AddProperties(const std::string& name,
                                  const std::vector<std::pair<std::string, std::string>>& pairs, uint32_t version)
{
    Block block = Start(Code("CMbP"), version, name);
    std::vector<uint8_t>& b = block.bytes;
    const size_t head = b.size();
    Put32(b, uint32_t(pairs.size()));
    Put32(b, 0);  // string area offset
    block.words.push_back(head);
    block.words.push_back(head + 4);
    const size_t table = b.size();
    for (size_t i = 0; i < 2 * pairs.size(); ++i) {
        block.words.push_back(b.size());
        Put32(b, 0);
    }
    const size_t area = b.size();
    Set32(b, head + 4, uint32_t(area));
    for (size_t i = 0; i < pairs.size(); ++i) {
        Set32(b, table + 8 * i, uint32_t(b.size() - area));
        b.insert(b.end(), pairs[i].first.begin(), pairs[i].first.end());
        b.push_back(0);
        Set32(b, table + 8 * i + 4, uint32_t(b.size() - area));
        b.insert(b.end(), pairs[i].second.begin(), pairs[i].second.end());
        b.push_back(0);
    }
    Finish(block);
}

void CamdataWriter::AddText(const std::string& name, const std::string& text, uint32_t version)
{
    Block block = Start(Code("CMbT"), version, name);
    block.words.push_back(block.bytes.size());
    Put32(block.bytes, uint32_t(text.size()));
    block.bytes.insert(block.bytes.end(), text.begin(), text.end());
    Finish(block);
}

void CamdataWriter::AddBlob(const std::string& name, const std::vector<uint8_t>& bytes)
{
    Block block = Start(Code("CMbB"), 1, name);
    block.bytes.insert(block.bytes.end(), bytes.begin(), bytes.end());
    Finish(block);
}

void CamdataWriter::AddRawBlock(const std::vector<uint8_t>& bytes)
{
    Block block;
    block.bytes = bytes;
    block.raw = true;
    m_Blocks.push_back(std::move(block));
}

std::vector<uint8_t> CamdataWriter::Encode(const Block& block, bool bigEndian) const
{
    std::vector<uint8_t> bytes = block.bytes;
    if (!bigEndian || block.raw)
        return bytes;
    for (const size_t at : block.words)
        Reverse(bytes, at, 4);
    if (block.elementSize > 1)
        for (uint32_t i = 0; i < block.elementCount; ++i)
            Reverse(bytes, block.elementsAt + size_t(i) * block.elementSize, block.elementSize);
    return bytes;
}

std::vector<uint8_t> CamdataWriter::BuildRun(bool bigEndian) const
{
    std::vector<uint8_t> run;
    for (const Block& block : m_Blocks) {
        const std::vector<uint8_t> bytes = Encode(block, bigEndian);
        run.insert(run.end(), bytes.begin(), bytes.end());
    }
    return run;
}

std::vector<size_t> CamdataWriter::BlockOffsets() const
{
    std::vector<size_t> offsets;
    size_t at = 0;
    for (const Block& block : m_Blocks) {
        offsets.push_back(at);
        at += block.bytes.size();
    }
    return offsets;
}

std::vector<uint8_t> CamdataWriter::BuildCamfile(bool bigEndian, int sections) const
{
    const auto word = [bigEndian](std::vector<uint8_t>& out, uint32_t v) {
        Put32(out, bigEndian ? __builtin_bswap32(v) : v);
    };
    std::vector<uint8_t> file;
    word(file, Code("FCMb"));
    word(file, 2u << 16);
    word(file, 28);
    for (int i = 0; i < 4; ++i)
        word(file, 0);

    const size_t count = m_Blocks.size();
    const size_t perSection = sections > 0 ? (count + size_t(sections) - 1) / size_t(sections) : count;
    size_t next = 0;
    for (int s = 0; s < sections; ++s) {
        std::vector<uint8_t> body;
        for (size_t i = 0; i < perSection && next < count; ++i, ++next) {
            const std::vector<uint8_t> bytes = Encode(m_Blocks[next], bigEndian);
            body.insert(body.end(), bytes.begin(), bytes.end());
        }
        word(file, Code("CMbH"));
        word(file, 1u << 16);
        word(file, uint32_t(20 + body.size()));
        word(file, 0);
        word(file, 20);
        file.insert(file.end(), body.begin(), body.end());
    }
    return file;
}

} // namespace testsupport
