// Feeds arbitrary bytes, as a file, to the movie library's readers: the AVI
// header digest and the container probe, and, for RIFF files, the AVI frame
// grab (FFmpeg demuxes and decodes; the library picks the frame, checks its
// size and turns it into a picture). Any result code is a clean refusal;
// anything else (a crash, a sanitizer report, a hang, a runaway allocation)
// is a bug.
#include "FuzzScratchFile.h"
#include "foundation/FString.h"
#include "movie/CTMAVIFileBase.h"
#include "movie/CTMDirectShowBase.h"
#include "support/TestSupport.h"

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const FuzzScratchFile scratch("avi-fuzz");
    static const FString path = testsupport::WideFromUtf8(scratch.Path());
    scratch.Write(data, size);

    CTMAVIMediaInformation info;
    CTMAVIFileBase::GetAVIMediaData(path.GetText(), &info);
    CTMDirectShowBase::GetMediaFileType(path.GetText());
    if (size >= 4 && std::memcmp(data, "RIFF", 4) == 0) {
        CTMThumbnailData record;
        std::memcpy(record.szFileName, path.GetText(), sizeof(char16_t) * (path.GetLength() + 1));
        CTMAVIFileBase().GetTimeThumbnailImage(&record);
    }
    return 0;
}
