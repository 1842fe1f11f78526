#include "support/PdxbBuilder.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace testsupport {

void PutU8(PdxbBytes& out, uint8_t value) { out.push_back(value); }

void PutU16(PdxbBytes& out, uint16_t value)
{
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void PutU32(PdxbBytes& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(uint8_t(value >> shift));
}

void PutF32(PdxbBytes& out, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    PutU32(out, bits);
}

void PutCode(PdxbBytes& out, uint32_t code) { PutU32(out, code); }

void PutBytes(PdxbBytes& out, const PdxbBytes& bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

void PatchU32(PdxbBytes& bytes, uint64_t position, uint32_t value)
{
    if (position + 4 > bytes.size())
        throw std::out_of_range("PatchU32 outside the bytes");
    for (int i = 0; i < 4; ++i)
        bytes[position + i] = uint8_t(value >> (8 * i));
}

uint32_t PeekU32(const PdxbBytes& bytes, uint64_t position)
{
    if (position + 4 > bytes.size())
        throw std::out_of_range("PeekU32 outside the bytes");
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= uint32_t(bytes[position + i]) << (8 * i);
    return value;
}

namespace {

bool IsMajor3(uint32_t version) { return version >> 16 == 3; }

void PutPadding(PdxbBytes& out, uint64_t count) { out.insert(out.end(), count, 0); }

// A name field: at most 31 bytes of text, zero-filled to 32.
void PutName(PdxbBytes& out, const std::string& text)
{
    const size_t n = std::min<size_t>(text.size(), 31);
    out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
    PutPadding(out, 32 - n);
}

void PutUnits(PdxbBytes& out, const std::u16string& text)
{
    for (char16_t unit : text)
        PutU16(out, unit);
}

} // namespace

PdxbHeaderOffsets PdxbHeaderLayout(uint32_t version)
{
    if (IsMajor3(version))
        return {272, 32, 36, 40, 44, 48, 80, 112, 144};
    if (version == PdxbVersion(2, 3))
        return {264, 24, 28, 32, 36, 40, 72, 104, 136};
    return {232, 24, 28, 32, 36, 40, 0, 72, 104};
}

PdxbBytes BuildPdxbHeader(const PdxbHeaderSpec& desc)
{
    const PdxbHeaderOffsets layout = PdxbHeaderLayout(desc.version);
    PdxbBytes out;
    PutCode(out, desc.magic);
    PutU32(out, desc.version);
    if (IsMajor3(desc.version)) {
        PutU32(out, desc.v3HeaderSize);
        PutU32(out, desc.v3Reserved);
    }
    out.insert(out.end(), desc.uniqueId.begin(), desc.uniqueId.end());
    PutU32(out, desc.markBits);
    PutU32(out, desc.columns);
    PutU32(out, desc.rows);
    PutU32(out, desc.rotation);
    PutName(out, desc.whiteBalance);
    if (layout.colorMode)
        PutName(out, desc.colorMode);
    out.insert(out.end(), desc.extTypes.begin(), desc.extTypes.end());
    for (float value : desc.extValues)
        PutF32(out, value);
    if (IsMajor3(desc.version) && desc.v3HeaderSize > out.size())
        PutPadding(out, desc.v3HeaderSize - out.size());
    return out;
}

PdxbBytes BuildPdxbPropertySection(const PdxbPropertySpec& desc)
{
    const bool oldLayout = desc.version == kPdxbVersion1_0;
    PdxbBytes entries;
    PdxbBytes area;
    uint32_t units = 0;
    for (const PdxbProperty& pair : desc.pairs) {
        if (oldLayout) {
            PutU32(entries, units);
            PutU32(entries, uint32_t(pair.name.size()));
            PutU32(entries, uint32_t(pair.value.size()));
            PutUnits(area, pair.name);
            PutUnits(area, pair.value);
            units += uint32_t(pair.name.size() + pair.value.size());
        } else {
            PutU32(entries, units);
            PutUnits(area, pair.name);
            PutU16(area, 0);
            units += uint32_t(pair.name.size() + 1);
            PutU32(entries, units);
            PutUnits(area, pair.value);
            PutU16(area, 0);
            units += uint32_t(pair.value.size() + 1);
        }
    }
    PdxbBytes out;
    PutCode(out, FourCC("SECp"));
    PutU32(out, desc.version);
    PutU32(out, uint32_t(desc.pairs.size()));
    PutU32(out, desc.characterType);
    PutU32(out, desc.encryption);
    PutU32(out, units);
    PutBytes(out, entries);
    PutBytes(out, area);
    return out;
}

PdxbImageSpec PdxbEmbeddedPicture(uint32_t pixelFormat, uint32_t columns, uint32_t rows, PdxbBytes data,
                                  uint32_t rowSize)
{
    PdxbImageSpec image;
    image.kind = 2;
    image.pixelFormat = pixelFormat;
    image.columns = columns;
    image.rows = rows;
    image.rowSize = rowSize;
    image.data = std::move(data);
    return image;
}

PdxbBytes BuildPdxbImageSection(const PdxbImageSpec& desc)
{
    PdxbBytes out;
    PutCode(out, FourCC("SECi"));
    PutU32(out, desc.version);
    if (IsMajor3(desc.version))
        PutU32(out, desc.headerSize);
    PutU32(out, desc.kind);
    PutU32(out, desc.pixelFormat);
    PutU32(out, desc.columns);
    PutU32(out, desc.rows);
    PutU32(out, desc.rowSize);
    if (IsMajor3(desc.version)) {
        PutU32(out, desc.reserved);
        if (desc.headerSize > out.size())
            PutPadding(out, desc.headerSize - out.size());
    }
    PutBytes(out, desc.data);
    return out;
}

PdxbBytes BuildPdxbCamfileSection(const PdxbCamfileSpec& desc)
{
    PdxbBytes out;
    PutCode(out, FourCC("SECc"));
    PutU32(out, desc.version);
    if (IsMajor3(desc.version)) {
        PutU32(out, desc.headerSize);
        PutU32(out, desc.reserved);
        PutU32(out, desc.dataLength);
        PutU32(out, desc.type);
        if (desc.headerSize > out.size())
            PutPadding(out, desc.headerSize - out.size());
    } else {
        PutU32(out, desc.type);
        PutU32(out, desc.dataLength);
    }
    PutBytes(out, desc.data);
    return out;
}

PdxbBytes PdxbScrambledCamfileData(uint32_t magic, uint32_t version, uint32_t parameter, const PdxbBytes& payload)
{
    PdxbBytes out;
    PutCode(out, magic);
    PutU32(out, version);
    PutU32(out, parameter);
    PutBytes(out, payload);
    return out;
}

PdxbBytes PdxbHuffmanM4CamfileData(uint32_t predictor, uint32_t columns, uint32_t rows, const PdxbBytes& coded)
{
    PdxbBytes out;
    PutU32(out, predictor);
    PutU32(out, columns);
    PutU32(out, rows);
    PutPadding(out, 26 + 2 + 4); // code table, unused, not interpreted
    PutBytes(out, coded);
    return out;
}

uint64_t PdxbDirectorySize(const PdxbDirectorySpec& desc, size_t entryCount)
{
    if (IsMajor3(desc.version))
        return std::max<uint32_t>(desc.headerSize, 16) + uint64_t(std::max<uint32_t>(desc.entrySize, 20)) * entryCount;
    return 12 + 12 * uint64_t(entryCount);
}

PdxbBytes BuildPdxbDirectorySection(const PdxbDirectorySpec& desc, const std::vector<PdxbEntry>& entries)
{
    PdxbBytes out;
    PutCode(out, FourCC("SECd"));
    PutU32(out, desc.version);
    if (!IsMajor3(desc.version)) {
        PutU32(out, uint32_t(entries.size()));
        for (const PdxbEntry& entry : entries) {
            PutU32(out, uint32_t(entry.offset));
            PutU32(out, entry.length);
            PutCode(out, entry.type);
        }
        return out;
    }
    const uint32_t headerSize = std::max<uint32_t>(desc.headerSize, 16);
    const uint32_t entrySize = std::max<uint32_t>(desc.entrySize, 20);
    PutU32(out, desc.headerSize);
    PutU32(out, uint32_t(entries.size()));
    PutPadding(out, headerSize - 16);
    for (const PdxbEntry& entry : entries) {
        PutU32(out, desc.entrySize);
        PutU32(out, uint32_t(entry.offset >> 32));
        PutU32(out, uint32_t(entry.offset));
        PutU32(out, entry.length);
        PutCode(out, entry.type);
        PutPadding(out, entrySize - 20);
    }
    return out;
}

void PdxbFile::WriteTo(const std::filesystem::path& path) const
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file)
        throw std::runtime_error("cannot write " + path.string());
}

namespace {

// Position of the offset word(s) of an entry: v3 entries hold the offset at +4
// (high word) and +8 (low word), v2 entries at +0.
bool EntryIsMajor3(const PdxbBytes& bytes, uint64_t directoryOffset)
{
    return PeekU32(bytes, directoryOffset + 4) >> 16 == 3;
}

} // namespace

void PdxbFile::RetargetEntry(int directory, int entry, uint64_t offset)
{
    const uint64_t at = entryPositions.at(directory).at(entry);
    if (EntryIsMajor3(bytes, directoryOffsets.at(directory))) {
        PatchU32(bytes, at + 4, uint32_t(offset >> 32));
        PatchU32(bytes, at + 8, uint32_t(offset));
    } else {
        PatchU32(bytes, at, uint32_t(offset));
    }
}

void PdxbFile::SetEntryLength(int directory, int entry, uint32_t length)
{
    const uint64_t at = entryPositions.at(directory).at(entry);
    PatchU32(bytes, at + (EntryIsMajor3(bytes, directoryOffsets.at(directory)) ? 12 : 4), length);
}

PdxbBuilder::PdxbBuilder(const PdxbHeaderSpec& header, const PdxbDirectorySpec& top) : m_Header(header)
{
    m_Directories.push_back({top, {}});
}

int PdxbBuilder::AddDirectory(const PdxbDirectorySpec& desc, int parent)
{
    const int id = int(m_Directories.size());
    m_Directories.at(parent).items.push_back({Item::Directory, kPdxbDirp, id, 0, 0});
    m_Directories.push_back({desc, {}});
    return id;
}

int PdxbBuilder::AddSection(uint32_t entryType, PdxbBytes section, int directory)
{
    const int id = int(m_Sections.size());
    m_Directories.at(directory).items.push_back({Item::Section, entryType, id, 0, 0});
    m_Sections.push_back(std::move(section));
    return id;
}

int PdxbBuilder::AddProperties(const PdxbPropertySpec& desc, int directory)
{
    return AddSection(kPdxbProp, BuildPdxbPropertySection(desc), directory);
}

int PdxbBuilder::AddImage(const PdxbImageSpec& desc, uint32_t entryType, int directory)
{
    return AddSection(entryType, BuildPdxbImageSection(desc), directory);
}

int PdxbBuilder::AddCamfile(const PdxbCamfileSpec& desc, int directory)
{
    return AddSection(kPdxbCamf, BuildPdxbCamfileSection(desc), directory);
}

void PdxbBuilder::AddRawEntry(uint32_t type, uint64_t offset, uint32_t length, int directory)
{
    m_Directories.at(directory).items.push_back({Item::Raw, type, -1, offset, length});
}

PdxbFile PdxbBuilder::Build() const
{
    PdxbFile file;
    file.bytes = BuildPdxbHeader(m_Header);
    for (const PdxbBytes& section : m_Sections) {
        file.sectionOffsets.push_back(file.bytes.size());
        PutBytes(file.bytes, section);
    }

    // Nested directories first, the top one last, so every offset is known
    // before the directory that refers to it is written.
    const size_t count = m_Directories.size();
    file.directoryOffsets.assign(count, 0);
    file.entryPositions.assign(count, {});
    uint64_t next = file.bytes.size();
    for (size_t i = 1; i <= count; ++i) {
        const size_t id = i % count;
        file.directoryOffsets[id] = next;
        next += PdxbDirectorySize(m_Directories[id].desc, m_Directories[id].items.size());
    }
    for (size_t i = 1; i <= count; ++i) {
        const Dir& dir = m_Directories[i % count];
        std::vector<PdxbEntry> entries;
        for (const Item& item : dir.items) {
            switch (item.kind) {
            case Item::Section:
                entries.push_back({item.type, file.sectionOffsets[item.id], uint32_t(m_Sections[item.id].size())});
                break;
            case Item::Directory: {
                const Dir& child = m_Directories[item.id];
                entries.push_back({item.type, file.directoryOffsets[item.id],
                                   uint32_t(PdxbDirectorySize(child.desc, child.items.size()))});
                break;
            }
            case Item::Raw:
                entries.push_back({item.type, item.offset, item.length});
                break;
            }
        }
        const PdxbBytes bytes = BuildPdxbDirectorySection(dir.desc, entries);
        const uint64_t start = file.bytes.size();
        const bool major3 = dir.desc.version >> 16 == 3;
        const uint64_t first = major3 ? std::max<uint32_t>(dir.desc.headerSize, 16) : 12;
        const uint64_t step = major3 ? std::max<uint32_t>(dir.desc.entrySize, 20) : 12;
        for (size_t e = 0; e < entries.size(); ++e)
            file.entryPositions[i % count].push_back(start + first + step * e);
        PutBytes(file.bytes, bytes);
    }

    file.pointerPosition = file.bytes.size();
    const uint64_t top = file.directoryOffsets[0];
    if (IsMajor3(m_Header.version)) {
        PutU32(file.bytes, uint32_t(top >> 32));
        PutU32(file.bytes, uint32_t(top));
    } else {
        PutU32(file.bytes, uint32_t(top));
    }
    return file;
}

} // namespace testsupport
