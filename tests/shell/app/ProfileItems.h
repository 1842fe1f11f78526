#pragma once
// EXIF items of a picture as the profile lookup reads them: an embedded ICC
// profile and the ColorSpace tag, in one item block.

#include "toolkit/CET_ExifData.h"

#include <cstring>
#include <string>
#include <vector>

namespace testsupport {

// iccProfile empty: no profile item; colorSpace < 0: no ColorSpace item.
inline CET_ExifData ProfileItems(const std::string& iccProfile, int colorSpace)
{
    struct Value {
        PROPID id;
        WORD type;
        std::string bytes;
    };
    std::vector<Value> values;
    if (!iccProfile.empty())
        values.push_back({kExifTagIccProfile, 7, iccProfile});
    if (colorSpace >= 0) {
        const uint16_t value = static_cast<uint16_t>(colorSpace);
        values.push_back({40961, 3, std::string(reinterpret_cast<const char*>(&value), 2)});
    }
    size_t total = values.size() * sizeof(PropertyItem);
    for (const Value& v : values)
        total += v.bytes.size();
    std::vector<unsigned char> block(total);
    auto* items = reinterpret_cast<PropertyItem*>(block.data());
    size_t at = values.size() * sizeof(PropertyItem);
    for (size_t i = 0; i < values.size(); ++i) {
        items[i] = {values[i].id, static_cast<ULONG>(values[i].bytes.size()), values[i].type, block.data() + at};
        std::memcpy(block.data() + at, values[i].bytes.data(), values[i].bytes.size());
        at += values[i].bytes.size();
    }
    CET_ExifData exif;
    exif.SetItems(static_cast<uint32_t>(total), static_cast<uint32_t>(values.size()), items);
    return exif;
}

} // namespace testsupport
