#include "fileio/metadata/FPardexTag.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

uint32_t U32LE(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

std::vector<uint8_t> Serialise(FPardexTag& tag, bool bScramble = false)
{
    std::vector<uint8_t> buffer;
    uint32_t length = 0;
    EXPECT_TRUE(tag.GetBuffer(buffer, length, bScramble));
    EXPECT_EQ(length, buffer.size());
    EXPECT_EQ(length % 4, 0u);
    return buffer;
}

struct IndexEntry {
    uint32_t key, offset, length;
};

std::vector<IndexEntry> Index(const std::vector<uint8_t>& payload)
{
    std::vector<IndexEntry> index;
    const uint32_t n = U32LE(payload, 64);
    for (uint32_t i = 0; i < n; ++i)
        index.push_back({U32LE(payload, 68 + 12 * i), U32LE(payload, 72 + 12 * i), U32LE(payload, 76 + 12 * i)});
    return index;
}

TEST(FPardexTagTest, EmptyPayloadIsHeaderAndCount)
{
    FPardexTag tag;
    const std::vector<uint8_t> payload = Serialise(tag);
    ASSERT_EQ(payload.size(), 68u);
    EXPECT_EQ(std::memcmp(payload.data(), "1rev", 4), 0);
    EXPECT_EQ(U32LE(payload, 0), FPardexTag::kMagic);
    EXPECT_EQ(U32LE(payload, 4), 68u);
    EXPECT_EQ(U32LE(payload, 8), 0u);
    for (size_t at = 12; at < 68; at += 4)
        EXPECT_EQ(U32LE(payload, at), 0u) << at;
}

TEST(FPardexTagTest, ItemSizesAndLayout)
{
    FPardexTag tag;
    EXPECT_TRUE(tag.SetString(PardexKey("sfsp"), ""));
    EXPECT_TRUE(tag.SetString(PardexKey("sssd"), "abc"));
    EXPECT_TRUE(tag.SetString(PardexKey("came"), "abcd"));
    EXPECT_TRUE(tag.SetInt(PardexKey("imgn"), -2));
    EXPECT_TRUE(tag.SetDouble(PardexKey("focl"), 50.5));
    const std::vector<uint8_t> payload = Serialise(tag);

    const std::vector<IndexEntry> index = Index(payload);
    const uint32_t expectedLengths[] = {4, 4, 8, 4, 8};
    ASSERT_EQ(index.size(), 5u);
    uint32_t offset = 68 + 12 * 5;
    for (size_t i = 0; i < index.size(); ++i) {
        EXPECT_EQ(index[i].length, expectedLengths[i]) << i;
        EXPECT_EQ(index[i].offset, offset) << i;
        offset += index[i].length;
    }
    EXPECT_EQ(payload.size(), offset);
    EXPECT_EQ(U32LE(payload, 4), offset);
    EXPECT_EQ(index[0].key, 0x73667370u); // 'sfsp', stored little-endian
    EXPECT_EQ(std::memcmp(&payload[index[1].offset], "abc\0", 4), 0);
    EXPECT_EQ(std::memcmp(&payload[index[2].offset], "abcd\0\0\0\0", 8), 0);
    EXPECT_EQ(U32LE(payload, index[3].offset), 0xFFFFFFFEu);
    double focal = 0;
    std::memcpy(&focal, &payload[index[4].offset], 8);
    EXPECT_EQ(focal, 50.5);
}

TEST(FPardexTagTest, ReplacingKeepsThePlaceAndUnknownKeysAreRefused)
{
    FPardexTag tag;
    EXPECT_TRUE(tag.SetDouble(PardexKey("cont"), 1.0));
    EXPECT_TRUE(tag.SetString(PardexKey("lens"), "a longer lens name"));
    EXPECT_TRUE(tag.SetDouble(PardexKey("cont"), 2.0));
    EXPECT_TRUE(tag.SetString(PardexKey("lens"), "x"));
    EXPECT_FALSE(tag.SetInt(PardexKey("zzzz"), 1));
    EXPECT_FALSE(tag.SetString(PardexKey("zzzz"), "x"));
    EXPECT_EQ(tag.GetItemCount(), 2);

    const std::vector<uint8_t> payload = Serialise(tag);
    const std::vector<IndexEntry> index = Index(payload);
    ASSERT_EQ(index.size(), 2u);
    EXPECT_EQ(index[0].key, PardexKey("cont"));
    EXPECT_EQ(index[1].key, PardexKey("lens"));
    EXPECT_EQ(index[1].length, 4u); // the replaced text's length, not the old one
    double contrast = 0;
    std::memcpy(&contrast, &payload[index[0].offset], 8);
    EXPECT_EQ(contrast, 2.0);
    EXPECT_EQ(payload.size(), 68u + 24u + 8u + 4u);
}

TEST(FPardexTagTest, KeyTable)
{
    struct Case {
        uint32_t key;
        int type;
    };
    auto dis = [](uint8_t last) { return (PardexKey("dis ") & 0xFFFFFF00u) | last; };
    auto dit = [](uint8_t last) { return (PardexKey("dit ") & 0xFFFFFF00u) | last; };
    const Case cases[] = {
        {PardexKey("lens"), 3}, {PardexKey("issd"), 1}, {PardexKey("rawh"), 4}, {PardexKey("dism"), 5},
        {PardexKey("exst"), 3}, {PardexKey("exsu"), 1}, {PardexKey("npty"), 1}, {dis(0x6E), 3},
        {dis(0x78), 1},         {dis(0x83), 2},         {dis(0x86), 5},         {dis(0xFF), 5},
        {dit(0x00), 5},         {dit(0x07), 5},         {dis(0x87), 3},         {dis(0x89), 4},
        {dis(0x92), 4},         {dis(0x9A), 1},         {dis(0xA1), 4},         {dis(0xA7), 2},
        {dis(0xAA), 3},         {dis(0xAB), 5},         {dis(0xB2), 3},         {dis(0xEB), 5},
        {dis(0xF2), 3},         {dis(0xF9), 5},         {dis(0xFE), 1},         {dis(0x67), 0},
        {dit(0x08), 0},         {PardexKey("zzzz"), 0}, {PardexKey("LENS"), 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FPardexTag::GetKeyType(c.key), c.type) << std::hex << c.key;
    int known = 0;
    for (uint32_t last = 0; last < 256; ++last)
        known += FPardexTag::IsKnownKey(dis(static_cast<uint8_t>(last))) + FPardexTag::IsKnownKey(dit(static_cast<uint8_t>(last)));
    EXPECT_EQ(known, 146 + 8 + 6); // the reserved codes plus dish..dism
}

TEST(FPardexTagTest, ScrambleKeepsHeaderAndLengthAndIsReversible)
{
    FPardexTag tag;
    tag.SetString(PardexKey("exst"), "ISO\x8b" "400\x8b" "PMODE\x8b" "A");
    tag.SetInt(PardexKey("exsu"), 4);
    const std::vector<uint8_t> plain = Serialise(tag, false);
    const std::vector<uint8_t> scrambled = Serialise(tag, true);
    ASSERT_EQ(scrambled.size(), plain.size());
    EXPECT_EQ(U32LE(scrambled, 8), 1u);
    EXPECT_TRUE(std::equal(plain.begin() + 12, plain.begin() + 64, scrambled.begin() + 12));
    EXPECT_FALSE(std::equal(plain.begin() + 64, plain.end(), scrambled.begin() + 64));

    std::vector<uint8_t> restored = scrambled;
    ScramblePardexBytes(restored.data() + 64, restored.size() - 64);
    EXPECT_TRUE(std::equal(plain.begin() + 64, plain.end(), restored.begin() + 64));
}

TEST(FPardexTagTest, ValueOfAnotherTypeNeverSpillsIntoItsNeighbour)
{
    // 'focl' is a double key and 'issd' an integer key; the setters do not
    // check the table type, so the serialiser must stay inside each item.
    FPardexTag tag;
    tag.SetInt(PardexKey("focl"), 7);
    tag.SetString(PardexKey("lens"), "abc");
    tag.SetDouble(PardexKey("issd"), 1.5);
    const std::vector<uint8_t> payload = Serialise(tag);
    const std::vector<IndexEntry> index = Index(payload);
    ASSERT_EQ(index.size(), 3u);
    EXPECT_EQ(index[0].length, 4u);
    EXPECT_EQ(U32LE(payload, index[0].offset), 7u);
    EXPECT_EQ(std::memcmp(&payload[index[1].offset], "abc\0", 4), 0);
    EXPECT_EQ(index[2].length, 8u);
    double low = 1.5;
    uint32_t lowWord = 0;
    std::memcpy(&lowWord, &low, 4);
    EXPECT_EQ(U32LE(payload, index[2].offset), lowWord);
    EXPECT_EQ(U32LE(payload, index[2].offset + 4), 0u);
}

} // namespace
