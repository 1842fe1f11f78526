#pragma once
// Raw files for the managers' tests: a small camera's container with a raw
// frame, a dark frame, properties and camera data, written into a temporary
// folder and opened by "disk" URL through the real loaders; and the requests
// the tests send and poll the way the user interface does.

#include "foundation/FPropTree.h"
#include "managers/FIPManager.h"
#include "managers/IPManagerData.h"
#include "support/CamdataWriter.h"
#include "support/HuffmanM4Encoder.h"
#include "support/PdxbFileTest.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

struct RawFileLayout {
    uint32_t columns = 24;
    uint32_t rows = 16;
    uint32_t rotation = 0;
    uint8_t idSeed = 0x10; // the file's unique id starts with this byte
    std::vector<PdxbProperty> properties{{u"CAMMODEL", u"KT5R"}, {u"ISO", u"200"}};
    std::string whiteBalance = "Daylight";
    std::string colorMode = "Standard";
    bool withCameraData = true;
    bool autoNeutral = true;      // an "AutoRGBNeutral" matrix
    bool illuminantList = true;   // a "WhiteBalanceIlluminants" list
    uint32_t camfilePadding = 0;  // extra bytes of camera data, for long loads
};

// The camera data the managers read: illuminant lists, colour modes, neutral
// matrices and the image areas.
inline std::vector<uint8_t> ManagerCameraData(const RawFileLayout& layout)
{
    CamdataWriter writer;
    if (layout.illuminantList)
        writer.AddProperties("WhiteBalanceIlluminants",
                             {{"Daylight", "1"}, {"Tungsten", "2"}, {"Auto", "3"}, {"Custom", "4"}});
    writer.AddProperties("WhiteBalanceColorCorrections", {{"Flash", "1"}, {"Auto", "2"}});
    writer.AddProperties("ColorModeCompensations", {{"Standard", "0.1"}, {"Vivid", "0.2"}});
    if (layout.autoNeutral)
        writer.AddFloats("AutoRGBNeutral", {3}, {1.5f, 1.0f, 2.0f});
    // Inclusive rectangles, as the camera stores them.
    writer.AddInt32s("KeepImageArea", {4}, {0, 0, int32_t(layout.columns) - 1, int32_t(layout.rows) - 1});
    writer.AddInt32s("ActiveImageArea", {4}, {0, 0, int32_t(layout.columns) - 1, int32_t(layout.rows) - 1});
    if (layout.camfilePadding)
        writer.AddBytes("Padding", {layout.camfilePadding}, std::vector<uint8_t>(layout.camfilePadding, 7));
    return writer.BuildCamfile(false, 1);
}

inline PdxbImageSpec ManagerRgbImage(uint32_t sectionKind, uint32_t columns, uint32_t rows, uint8_t seed)
{
    PdxbImageSpec section;
    section.kind = sectionKind;
    section.pixelFormat = 3; // 24-bit R, G, B
    section.columns = columns;
    section.rows = rows;
    section.rowSize = columns * 3;
    section.data.resize(size_t(rows) * section.rowSize);
    for (size_t i = 0; i < section.data.size(); ++i)
        section.data[i] = uint8_t(i * 3 + seed);
    return section;
}

inline PdxbFile BuildManagerRawFile(const RawFileLayout& layout)
{
    PdxbHeaderSpec header;
    for (int i = 0; i < 16; ++i)
        header.uniqueId[size_t(i)] = uint8_t(layout.idSeed + i);
    header.columns = layout.columns;
    header.rows = layout.rows;
    header.rotation = layout.rotation;
    header.whiteBalance = layout.whiteBalance;
    header.colorMode = layout.colorMode;
    PdxbBuilder builder(header);
    PdxbPropertySpec properties;
    properties.pairs = layout.properties;
    builder.AddProperties(properties);
    builder.AddImage(ManagerRgbImage(1, layout.columns, layout.rows, 11)); // raw
    builder.AddImage(ManagerRgbImage(0, layout.columns, layout.rows, 5));  // dark
    if (layout.withCameraData) {
        const std::vector<uint8_t> camdata = ManagerCameraData(layout);
        PdxbCamfileSpec section;
        section.type = 4; // HuffmanM4-coded camera data
        section.data = EncodeHuffmanM4Camfile(camdata, 64, 1);
        section.dataLength = uint32_t(camdata.size());
        builder.AddCamfile(section);
    }
    return builder.Build();
}

// A develop request of the whole picture at w x h into 48-bit RGB.
inline std::unique_ptr<IPManagerData> WholePictureRequest(const FString& url, int32_t w, int32_t h)
{
    auto request = std::make_unique<IPManagerData>();
    request->SetURL(url);
    request->m_eKind = kIPRequestDevelop;
    request->m_OutputSize.Set(w, h);
    request->m_Crop.Set(0, 0, w, h);
    request->m_eOutputFormat = kRGB48;
    request->m_ColorAdjust = FDoubleTriple(1.0, 1.0, 1.0);
    return request;
}

// Sends the request and polls the manager until it has left "pending" (the
// cap only turns a hang into a failure).
inline int32_t RunRequest(FIPManager& manager, IPManagerData& request)
{
    manager.Request(&request);
    for (int polls = 0; request.m_Result.IsPending() && polls < 100000; ++polls)
        manager.Idle();
    return request.m_Result.m_eStatus;
}

inline std::string ResultText(const IPManagerData& request)
{
    return Utf8FromWide(request.m_Result.m_sErrorText);
}

inline std::string Value(const FPropTree& tree, const char* key)
{
    const FString* value = tree.GetValue(FString(key), nullptr);
    return value ? Utf8FromWide(*value) : "<none>";
}

inline std::vector<std::string> Keys(const FPropTree& tree)
{
    std::vector<std::string> keys;
    for (const FPropPair* pair = tree.GetFirstPair(); pair; pair = pair->GetNext())
        keys.push_back(Utf8FromWide(pair->m_sKey));
    return keys;
}

} // namespace testsupport
