#include "managers/IPManagerData.h"

#include "engine/colour/ColorSpaces.h"
#include "foundation/FPropTree.h"
#include "foundation/FWideText.h"
#include "managers/FIPMImage.h"

#include <cstdio>

namespace {

// A new empty tree of the old one's name, or null when there was none.
void RenewTree(FPropTree*& tree, const char* name)
{
    if (!tree)
        return;
    delete tree;
    tree = nullptr;
    tree = new FPropTree(nullptr, name);
}

} // namespace

int FormatVersionString(const FVersionNumber& version, char* buffer, size_t bufferSize)
{
    char text[64];
    const int length = std::snprintf(text, sizeof text, " %d.%d.%d.%04d", version.major, version.minor,
                                     version.build, version.revision);
    if (buffer && bufferSize > 0)
        std::snprintf(buffer, bufferSize, "%s", text);
    return length + 1;
}

int32_t PixelTypeOfOutputFormat(int32_t format)
{
    switch (format) {
    case kDisplay:
        return 13;
    case kRGB24:
        return 7;
    case kRGB48:
        return 15;
    default:
        return 0;
    }
}

bool IsOutputColorSpace(int32_t colorSpace)
{
    switch (colorSpace) {
    case kColorSpaceSRGB:
    case kColorSpaceAdobeRGB:
    case kColorSpaceAppleRGB:
    case kColorSpaceColorMatchRGB:
    case kColorSpaceProPhoto:
        return true;
    default:
        return false;
    }
}

void IPRequestResult::Clear()
{
    m_dProgress = 0.0;
    m_eStatus = kIPStatusNew;
    m_eError = kIPErrorNone;
    m_sErrorText.Empty();
    m_bCancel = false;
}

void IPRequestResult::Fail(int32_t error, const char* text)
{
    Fail(error, WideFromSystemText(text));
}

void IPRequestResult::Fail(int32_t error, const FString& text)
{
    Fail(error);
    m_sErrorText = text;
}

void IPRequestResult::Fail(int32_t error)
{
    m_eStatus = kIPStatusError;
    m_eError = error;
}

IPManagerData::IPManagerData()
    : m_pImageProps(new FPropTree(nullptr, "ImageProps")), m_pExtraProps(new FPropTree(nullptr, "IPManagerData"))
{
    m_Result.m_dProgress = -1.0;
}

IPManagerData::~IPManagerData()
{
    delete m_pImageProps;
    delete m_pExtraProps;
    if (m_pResultImage)
        m_pResultImage->Release();
}

void IPManagerData::Reset()
{
    priResetRequestFields();
    RenewTree(m_pImageProps, "ImageProps");
    RenewTree(m_pExtraProps, "IPManagerData");
    if (FIPMImage* image = m_pResultImage) {
        m_pResultImage = nullptr;
        image->Release();
    }
    m_pHandlingManager = nullptr;
}

void IPManagerData::priResetRequestFields()
{
    m_sURL.Empty();
    m_eKind = kIPRequestNone;
    m_Result.Clear();
    m_Result.m_dProgress = -1.0;
    m_OutputSize = FIntSize();
    m_Crop = FIntRect();
    m_eOutputFormat = kOutputFormatNone;
    m_dExposure = m_dShadow = m_dContrast = m_dHighlight = m_dSaturation = m_dSharpness = m_dFillLight = 0.0;
    m_dChromaNoise = m_dLumaNoise = 0.5;
    m_ColorAdjust = FDoubleTriple();
    m_iColorSpace = kColorSpaceSRGB;
    m_CustomNeutral = FDoubleTriple(-1.0);
    m_sWBDesc.Empty();
    m_bDumpIntermediates = false;
    m_sOutputPath.Empty();
    m_iFileType = 0;
    m_iQuality = 10;
    m_bAccurateDCT = false;
    m_bAllowNoProfile = true;
    m_sCamfileURL.Empty();
    m_iPipeFlags = 0;
}

void IPManagerData::CopyRequestFrom(const IPManagerData& other)
{
    if (&other == this)
        return;
    m_sURL = other.m_sURL;
    m_eKind = other.m_eKind;
    m_Version = other.m_Version;
    m_sSoftwareName = other.m_sSoftwareName;
    m_iSettingMode = other.m_iSettingMode;
    m_sSettingName = other.m_sSettingName;
    m_Result = other.m_Result;
    m_OutputSize = other.m_OutputSize;
    m_Crop = other.m_Crop;
    m_eOutputFormat = other.m_eOutputFormat;
    m_dExposure = other.m_dExposure;
    m_dShadow = other.m_dShadow;
    m_dContrast = other.m_dContrast;
    m_dHighlight = other.m_dHighlight;
    m_dSaturation = other.m_dSaturation;
    m_dSharpness = other.m_dSharpness;
    m_dFillLight = other.m_dFillLight;
    m_dChromaNoise = other.m_dChromaNoise;
    m_dLumaNoise = other.m_dLumaNoise;
    m_ColorAdjust = other.m_ColorAdjust;
    m_iColorSpace = other.m_iColorSpace;
    m_CustomNeutral = other.m_CustomNeutral;
    m_sWBDesc = other.m_sWBDesc;
    m_bDumpIntermediates = other.m_bDumpIntermediates;
    m_sOutputPath = other.m_sOutputPath;
    m_iFileType = other.m_iFileType;
    m_iQuality = other.m_iQuality;
    m_bAccurateDCT = other.m_bAccurateDCT;
    m_bAllowNoProfile = other.m_bAllowNoProfile;
    m_PickPoint = other.m_PickPoint;
    m_sCamfileURL = other.m_sCamfileURL;
    m_iPipeFlags = other.m_iPipeFlags;
}
