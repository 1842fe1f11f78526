#include "foundation/FException.h"

FException::FException() = default;

FException::FException(const char* message) : m_Message(message) {}

FException::FException(const FException& other) = default;

FException& FException::operator=(const FException& other) = default;

FException::~FException() = default;

const char* FException::GetDescription() const { return "Pardex exception"; }

const char* FException::GetMessage() const { return m_Message.GetText(); }

#define FEXCEPTION_DESCRIPTION(Name, Text) \
    const char* Name::GetDescription() const { return Text; }

FEXCEPTION_DESCRIPTION(FArrayException, "FArrayException")
FEXCEPTION_DESCRIPTION(FExceptionIO, "General I/O exception")
FEXCEPTION_DESCRIPTION(FExceptionFileIO, "File I/O exception")
FEXCEPTION_DESCRIPTION(FExceptionFileRead, "File read failed")
FEXCEPTION_DESCRIPTION(FExceptionEOF, "End-of-file")
FEXCEPTION_DESCRIPTION(FExceptionFileOpen, "File open failed")
FEXCEPTION_DESCRIPTION(FExceptionFileNotFound, "File or path not found")
FEXCEPTION_DESCRIPTION(FExceptionFileWrite, "File write failed")
FEXCEPTION_DESCRIPTION(FExceptionLaunchFailed, "Application Launch Failed")
FEXCEPTION_DESCRIPTION(FExceptionSyncObject, "Sync object exception")
FEXCEPTION_DESCRIPTION(FExceptionPixmap, "Pixmap exception")
FEXCEPTION_DESCRIPTION(FExceptionUnknownPixelType, "Unknown pixel type")
FEXCEPTION_DESCRIPTION(FExceptionBitDepthMismatch, "Bit depths of the two pixel types don't match.")
FEXCEPTION_DESCRIPTION(FExceptionPixelProc, "Pixel processing exception")
FEXCEPTION_DESCRIPTION(FExceptionPpUnknownPixelType, "Unknown Pixel Type")
FEXCEPTION_DESCRIPTION(FExceptionPixelProc2, "Pixel processing2 exception")
FEXCEPTION_DESCRIPTION(FExceptionProperties, "FHasProperties exception")
FEXCEPTION_DESCRIPTION(FExceptionConversion, "FHasProperties conversion exception")
FEXCEPTION_DESCRIPTION(FExceptionEndOfList, "FHasProperties end of list exception")
FEXCEPTION_DESCRIPTION(FExceptionTIFF, "General TIFF I/O exception")
FEXCEPTION_DESCRIPTION(FExceptionPixmapTooSmall, "Pixmap too small")
FEXCEPTION_DESCRIPTION(FExceptionThumbTooBig, "Thumbnail too big for Photoshop tag")
FEXCEPTION_DESCRIPTION(FExceptionWriteUninitialized, "SetDimensions() must be called before WriteLine().")
FEXCEPTION_DESCRIPTION(FExceptionJPEG, "General JPEG I/O exception")
FEXCEPTION_DESCRIPTION(FExceptionJPEGWriteUninitialized, "SetDimensions() must be called before WriteLine().")
FEXCEPTION_DESCRIPTION(FExceptionJPEGOutOfOrderOperation,
                       "Operations on JPEG writer must be executed in a specified order.")
FEXCEPTION_DESCRIPTION(FExceptionJPEGPixmapTooSmall, "Pixmap too small.")
FEXCEPTION_DESCRIPTION(FExceptionPdxbReader, "General Pdxb Reader I/O exception")
FEXCEPTION_DESCRIPTION(FExceptionNotAPdxb, "This file is not a pdxb")
FEXCEPTION_DESCRIPTION(FExceptionPdxbIncompatible, "Incompatible pdxb version")
FEXCEPTION_DESCRIPTION(FExceptionIndexOutOfRange, "Index out of range")
FEXCEPTION_DESCRIPTION(FExceptionPdxbWriter, "General Pdxb Writer I/O exception")
FEXCEPTION_DESCRIPTION(FExceptionPardexTag, "PardexTag exception")
FEXCEPTION_DESCRIPTION(FExceptionPTUnknownTag, "Unknown PardexTag")
FEXCEPTION_DESCRIPTION(FExceptionHuffman, "Huffman coding exception")
