#pragma once
// The core's one exception family. Objects are thrown by value and caught by
// reference, by their own class, by an intermediate base, or by FException as
// the catch-all. Each carries the message chosen at the throw site and answers
// a fixed description per class.

#include "foundation/FString.h"

class FException {
public:
    FException();
    // The text is copied unchanged: it is never read as a format.
    explicit FException(const char* message);
    FException(const FException& other);
    FException& operator=(const FException& other);
    virtual ~FException();

    // Static text of the class, never freed.
    virtual const char* GetDescription() const;
    // The message; valid while the object lives.
    virtual const char* GetMessage() const;

private:
    FNarrowString m_Message;
};

// A subclass adds no data and only replaces the description.
#define FEXCEPTION_DECLARE(Name, Base)                                       \
    class Name : public Base {                                               \
    public:                                                                  \
        Name() = default;                                                    \
        explicit Name(const char* message) : Base(message) {}                \
        Name(const Name& other) = default;                                   \
        Name& operator=(const Name& other) = default;                        \
        ~Name() override = default;                                          \
        const char* GetDescription() const override;                         \
    }

FEXCEPTION_DECLARE(FArrayException, FException);
FEXCEPTION_DECLARE(FExceptionIO, FException);
FEXCEPTION_DECLARE(FExceptionFileIO, FExceptionIO);
FEXCEPTION_DECLARE(FExceptionFileRead, FExceptionFileIO);
FEXCEPTION_DECLARE(FExceptionEOF, FExceptionFileRead);
FEXCEPTION_DECLARE(FExceptionFileOpen, FExceptionFileIO);
FEXCEPTION_DECLARE(FExceptionFileNotFound, FExceptionFileOpen);
FEXCEPTION_DECLARE(FExceptionFileWrite, FExceptionFileIO);
FEXCEPTION_DECLARE(FExceptionLaunchFailed, FException);
FEXCEPTION_DECLARE(FExceptionSyncObject, FException);
FEXCEPTION_DECLARE(FExceptionPixmap, FException);
FEXCEPTION_DECLARE(FExceptionUnknownPixelType, FExceptionPixmap);
FEXCEPTION_DECLARE(FExceptionBitDepthMismatch, FExceptionPixmap);
FEXCEPTION_DECLARE(FExceptionPixelProc, FException);
FEXCEPTION_DECLARE(FExceptionPpUnknownPixelType, FExceptionPixelProc);
FEXCEPTION_DECLARE(FExceptionPixelProc2, FException);
FEXCEPTION_DECLARE(FExceptionProperties, FException);
FEXCEPTION_DECLARE(FExceptionConversion, FExceptionProperties);
FEXCEPTION_DECLARE(FExceptionEndOfList, FExceptionProperties);
FEXCEPTION_DECLARE(FExceptionTIFF, FExceptionIO);
FEXCEPTION_DECLARE(FExceptionPixmapTooSmall, FExceptionTIFF);
FEXCEPTION_DECLARE(FExceptionThumbTooBig, FExceptionTIFF);
FEXCEPTION_DECLARE(FExceptionWriteUninitialized, FExceptionTIFF);
FEXCEPTION_DECLARE(FExceptionJPEG, FExceptionIO);
FEXCEPTION_DECLARE(FExceptionJPEGWriteUninitialized, FExceptionJPEG);
FEXCEPTION_DECLARE(FExceptionJPEGOutOfOrderOperation, FExceptionJPEG);
FEXCEPTION_DECLARE(FExceptionJPEGPixmapTooSmall, FExceptionJPEG);
FEXCEPTION_DECLARE(FExceptionPdxbReader, FExceptionIO);
FEXCEPTION_DECLARE(FExceptionNotAPdxb, FExceptionPdxbReader);
FEXCEPTION_DECLARE(FExceptionPdxbIncompatible, FExceptionPdxbReader);
FEXCEPTION_DECLARE(FExceptionIndexOutOfRange, FExceptionPdxbReader);
FEXCEPTION_DECLARE(FExceptionPdxbWriter, FExceptionIO);
FEXCEPTION_DECLARE(FExceptionPardexTag, FException);
FEXCEPTION_DECLARE(FExceptionPTUnknownTag, FExceptionPardexTag);
FEXCEPTION_DECLARE(FExceptionHuffman, FException);

// Catch targets only: nothing throws them. They keep the description of their base.
class FExceptionTIFFIndexOutOfRange : public FExceptionTIFF {
public:
    using FExceptionTIFF::FExceptionTIFF;
};
class FExceptionJPEGIndexOutOfRange : public FExceptionJPEG {
public:
    using FExceptionJPEG::FExceptionJPEG;
};
