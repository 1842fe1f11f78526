#pragma once
// Writer of camera-data containers for tests: blocks "CMbP" (property
// lists), "CMbM" (matrices of every element type), "CMbT" (texts) and "CMbB"
// (blobs), as a bare block run or inside an "FCMb" camfile with "CMbH"
// sections, little-endian or with every word byte-reversed (big-endian).

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// Element types of the matrices.
enum : uint32_t {
    kCambInt16 = 0,
    kCambInt32 = 1,
    kCambUInt32 = 2,
    kCambFloat = 3,
    kCambInt64 = 4,
    kCambUInt8 = 5,
    kCambUInt16 = 6,
};

class CamdataWriter {
public:
    // Elements are given as the little-endian bytes of their type; the typed
    // helpers below build them.
    void AddMatrix(const std::string& name, uint32_t elementType, const std::vector<uint32_t>& dims,
                   const std::vector<uint8_t>& elements, uint32_t version = 2);
    void AddFloats(const std::string& name, const std::vector<uint32_t>& dims, const std::vector<float>& values);
    void AddInt16s(const std::string& name, const std::vector<uint32_t>& dims, const std::vector<int16_t>& values);
    void AddUInt16s(const std::string& name, const std::vector<uint32_t>& dims, const std::vector<uint16_t>& values);
    void AddInt32s(const std::string& name, const std::vector<uint32_t>& dims, const std::vector<int32_t>& values);
    void AddUInt32s(const std::string& name, const std::vector<uint32_t>& dims, const std::vector<uint32_t>& values);
    void AddBytes(const std::string& name, const std::vector<uint32_t>& dims, const std::vector<uint8_t>& values);
    void AddInt64s(const std::string& name, const std::vector<uint32_t>& dims, const std::vector<int64_t>& values);
    void AddProperties(const std::string& name, const std::vector<std::pair<std::string, std::string>>& pairs,
                       uint32_t version = 1);
    void AddText(const std::string& name, const std::string& text, uint32_t version = 1);
    void AddBlob(const std::string& name, const std::vector<uint8_t>& bytes);
    // Any block bytes, taken as they are (also in big-endian output).
    void AddRawBlock(const std::vector<uint8_t>& block);

    // Blocks one after another.
    std::vector<uint8_t> BuildRun(bool bigEndian = false) const;
    // An "FCMb" camfile whose blocks are spread over `sections` "CMbH" sections.
    std::vector<uint8_t> BuildCamfile(bool bigEndian = false, int sections = 1) const;

    // Where each block starts in BuildRun's output.
    std::vector<size_t> BlockOffsets() const;
    size_t BlockCount() const { return m_Blocks.size(); }

private:
    // A block whose 32-bit words at `words` (byte offsets) and elements are
    // byte-reversed in the big-endian form.
    struct Block {
        std::vector<uint8_t> bytes;
        std::vector<size_t> words;
        size_t elementsAt = 0;
        uint32_t elementCount = 0;
        uint32_t elementSize = 0;
        bool raw = false;
    };
    std::vector<uint8_t> Encode(const Block& block, bool bigEndian) const;
    Block Start(uint32_t type, uint32_t version, const std::string& name) const;
    void Finish(Block& block);

    std::vector<Block> m_Blocks;
};

} // namespace testsupport
