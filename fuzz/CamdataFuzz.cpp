// The camera-data container on hostile input: the whole input is the buffer
// (a writable copy: big-endian data is converted in place), and every entry is
// then read through every getter.
#include "fileio/container/CambData.h"
#include "foundation/FException.h"
#include "foundation/FPropTree.h"
#include "foundation/FValueTypes.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

void ReadEverything(const FCamdata& camdata, const char* name)
{
    uint32_t n = 0;
    const uint8_t* text = CamdataGetText(&camdata, name, &n);
    if (text && n)
        (void)text[n - 1];
    if (const uint8_t* bytes = CamdataGetByteArray(&camdata, name, &n); bytes && n)
        (void)bytes[n - 1];
    if (const float* floats = CamdataGetFloatArray(&camdata, name, &n); floats && n)
        (void)floats[n - 1];
    if (const uint32_t* words = CamdataGetUInt32Array(&camdata, name, &n); words && n)
        (void)words[n - 1];
    (void)CamdataGetFloat(&camdata, name);
    (void)CamdataGetInt16Default(&camdata, name, 1);
    (void)CamdataGetInt32(&camdata, name);
    (void)CamdataGetUInt16(&camdata, name, nullptr);
    (void)CamdataGetUInt32(&camdata, name);
    double d[12];
    int32_t i[3];
    float f[27];
    CamdataGetVector3(&camdata, name, d);
    CamdataGetInt16Triple(&camdata, name, i);
    CamdataGetInt32Triple(&camdata, name, i);
    (void)CamdataGetRect(&camdata, name);
    CamdataGetMatrix3x3(&camdata, name, d);
    CamdataGetMatrix3x9(&camdata, name, f);
    CamdataGetMatrix2x3x2(&camdata, name, d);
    if (const auto lut = CamdataGetLUT16RGB(&camdata, name))
        (void)(lut->Red(0x7FFF) + lut->Blue(-1));
    if (const auto table = CamdataGetRGBTable(&camdata, name))
        (void)table->m_pTable[size_t(table->m_iRows) * table->m_iColumns * 3 - 1];
    FPropTree node(nullptr, "fuzz");
    camdata.GetPropertyList(name, &node);
    if (const CambMatrix* matrix = camdata.GetMatrix(name)) {
        const uint64_t count = matrix->ElementCount();
        if (count > 0 && matrix->iType == CAMB_MATRIX_UINT8)
            (void)static_cast<const uint8_t*>(matrix->pData)[count - 1];
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> buffer(data, data + size);
    try {
        const FCamdata camdata(buffer.empty() ? nullptr : buffer.data(), buffer.size());
        for (const CambEntry& entry : camdata.Impl().m_Entries)
            if (entry.m_pName)
                ReadEverything(camdata, entry.m_pName);
        ReadEverything(camdata, "ActiveImageArea");
    } catch (const FException&) {
    }
    return 0;
}
