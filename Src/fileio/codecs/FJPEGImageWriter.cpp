#include "fileio/codecs/FJPEGImageWriter.h"

#include "fileio/codecs/FJPEGLineWriter.h"
#include "foundation/FException.h"
#include "foundation/FPixmap.h"

FJPEGImageWriter::FJPEGImageWriter(const FString& path, int32_t quality, bool accurate)
    : m_pWriter(std::make_unique<FJPEGLineWriter>(path, quality, accurate))
{
}

FJPEGImageWriter::FJPEGImageWriter(std::vector<uint8_t>& output, int32_t quality, bool accurate)
    : m_pWriter(std::make_unique<FJPEGLineWriter>(output, quality, accurate))
{
}

FJPEGImageWriter::~FJPEGImageWriter() = default;

void FJPEGImageWriter::SetProfile(uint32_t size, const uint8_t* profile)
{
    m_iProfileSize = size;
    m_pProfile = profile;
}

void FJPEGImageWriter::WriteImage(const FPixmap* pixmap, const FHasProperties& properties)
{
    const int32_t sourceType = pixmap->GetPixelType();
    int32_t fileType = 0;
    switch (sourceType) {
    case FPixmap::PIXEL_8_MONO:
        fileType = FPixmap::PIXEL_8_MONO;
        break;
    case FPixmap::PIXEL_24_BGR:
    case FPixmap::PIXEL_24_RGB:
        fileType = FPixmap::PIXEL_24_RGB;
        break;
    default:
        throw FExceptionUnknownPixelType();
    }
    m_pWriter->SetDimensions(pixmap->m_iColumns, pixmap->m_iRows, fileType);
    m_pWriter->WriteTags(properties);
    if (m_pProfile != nullptr)
        m_pWriter->WriteProfile(m_iProfileSize, m_pProfile);
    for (int32_t y = 0; y < pixmap->m_iRows; ++y)
        m_pWriter->WriteLine(pixmap->GetRow(y), sourceType);
}
