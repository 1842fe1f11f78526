#include "engine/stages/Stage2Calibration.h"

#include "engine/core/CamdataValues.h"
#include "fileio/container/CambData.h"
#include "foundation/FAssert.h"
#include "foundation/FPropTree.h"
#include "foundation/FUnicode.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr const char* kModelPrefix = "KT5_";

struct ModelWord {
    const char* word;
    int cameraClass;
};
// Longer names first where one contains the other ("KT5R" before "KT5").
constexpr ModelWord kModelWords[] = {
    {"HV24", 4}, {"HV7", 1}, {"HV4", 1}, {"HV20", 3}, {"HV25", 10}, {"KT5R", 7},
    {"KT6M", 8}, {"KT5", 5}, {"KT6", 6}, {"KT9", 9}, {"QM44", 2},
};
constexpr int kUnknownCameraClass = 1;

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

} // namespace

int CameraClassFromModel(const FString& model)
{
    // Only characters below 128 are upper-cased; others can never match a model word.
    std::string upper;
    for (const char16_t c : model.View())
        upper += c < 128 ? AsciiUpper(char(c)) : '\x80';
    for (const ModelWord& m : kModelWords)
        if (upper.find(m.word) != std::string::npos)
            return m.cameraClass;
    DebugPrintf("This here be an unknown camera Image!\n");
    return kUnknownCameraClass;
}

bool Stage2EqualNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i]))
            return false;
    return true;
}

Stage2List ReadStage2List(const FCamdata* camdata, const char* name)
{
    Stage2List list;
    if (camdata == nullptr)
        return list;
    FPropTree pairs(nullptr, "List");
    if (!camdata->GetPropertyList(name, &pairs))
        return list;
    for (const FPropPair* pair = pairs.GetFirstPair(); pair != nullptr; pair = pair->GetNext())
        list.emplace_back(Utf16ToUtf8(pair->m_sKey.View()).value_or(std::string()),
                          Utf16ToUtf8(pair->m_sValue.View()).value_or(std::string()));
    return list;
}

Stage2List ReadPrefixedStage2List(const FCamdata* camdata, const char* name)
{
    Stage2List list = ReadStage2List(camdata, (std::string(kModelPrefix) + name).c_str());
    return list.empty() ? ReadStage2List(camdata, name) : list;
}

std::string Stage2ListValue(const Stage2List& list, const std::string& key)
{
    for (const auto& [name, value] : list)
        if (Stage2EqualNoCase(name, key))
            return value;
    return {};
}

ColorMatrix3x3 ReadStage2Matrix(const FCamdata* camdata, const std::string& name)
{
    ColorMatrix3x3 m;
    if (!name.empty())
        CamdataGetMatrix3x3(camdata, name.c_str(), m.m);
    if (!std::all_of(std::begin(m.m), std::end(m.m), [](double v) { return kCamdataCoefficient.Holds(v); }))
        return ColorMatrix3x3();
    return m;
}

FDoubleTriple ReadStage2Vector(const FCamdata* camdata, const std::string& name)
{
    return ReadStage2VectorOr(camdata, name, kCamdataCoefficient, FDoubleTriple(0.0));
}

FDoubleTriple ReadStage2VectorOr(const FCamdata* camdata, const std::string& name, const CamdataRange& range,
                                 const FDoubleTriple& fallback)
{
    double v[3];
    const double defaults[3] = {fallback.r, fallback.g, fallback.b};
    CamdataGetVector3Default(camdata, name.c_str(), v, defaults);
    return CheckedCamdataValue(FDoubleTriple(v[0], v[1], v[2]), range, fallback);
}

void ReadPrefixedMatrixAndGain(const FCamdata* camdata, const std::string& matrixName, const std::string& gainName,
                               ColorMatrix3x3& matrix, FDoubleTriple& gain)
{
    matrix = ReadStage2Matrix(camdata, kModelPrefix + matrixName);
    if (matrix.m[0] != 0.0) {
        gain = ReadStage2Vector(camdata, kModelPrefix + gainName);
        return;
    }
    matrix = ReadStage2Matrix(camdata, matrixName);
    gain = ReadStage2Vector(camdata, gainName);
}

bool ReadStage2FlexibleInt(const FCamdata* camdata, const char* name, int64_t& value)
{
    if (camdata == nullptr)
        return false;
    const CambMatrix* m = camdata->GetMatrix(name);
    if (m == nullptr || m->pData == nullptr || m->ElementCount() < 1)
        return false;
    switch (m->iType) {
    case CAMB_MATRIX_INT32: value = *static_cast<const int32_t*>(m->pData); return true;
    case CAMB_MATRIX_UINT32: value = *static_cast<const uint32_t*>(m->pData); return true;
    case CAMB_MATRIX_FLOAT: {
        const float f = *static_cast<const float*>(m->pData);
        if (!std::isfinite(f) || std::fabs(f) > 1e15f)
            return false;
        value = static_cast<int64_t>(f);
        return true;
    }
    default: return false;
    }
}
